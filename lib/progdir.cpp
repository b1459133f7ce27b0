// The program's directory is found from the program name on the command line: an
// absolute name gives it at once, a relative one is looked for in the current directory
// and along the PATH. Windows 98/ME implement few wide calls; the attribute test and
// the directory change repeat a wide call that answers ERROR_CALL_NOT_IMPLEMENTED with
// its 8-bit twin, the other calls have no such fallback.
#include "progdir.h"

#include "wide.h"

namespace {

const WCHAR kExe[] = WIDE(".exe");
constexpr int32_t kExeLength = 4;

bool IsSeparatorOfUnquotedName(WCHAR ch)
{
    return ch == ' ' || ch == '/' || ch == '-' || ch == '\t';
}

WCHAR LowerAscii(WCHAR ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<WCHAR>(ch - 'A' + 'a') : ch;
}

bool EndsWithExe(const SWStr& name)
{
    const int32_t length = name.Length();
    if (length <= kExeLength)
        return false;
    const WCHAR* tail = name.Chars() + length - kExeLength;
    for (int32_t i = 0; i < kExeLength; ++i) {
        if (LowerAscii(tail[i]) != kExe[i])
            return false;
    }
    return true;
}

// The program name as the command line gives it: a quoted name up to the closing quote
// (or the end), otherwise up to the first blank, slash, hyphen or tab.
SWStr ProgramName(const SWStr& commandLine)
{
    const WCHAR* text = commandLine.Chars();
    SWStr name;
    if (text[0] == '"') {
        name.AssignUpTo(text + 1, '"');
    } else {
        int32_t length = 0;
        while (text[length] != 0 && !IsSeparatorOfUnquotedName(text[length]))
            ++length;
        name.AssignLeft(text, length);
    }
    if (!EndsWithExe(name))
        name.Append(kExe, nullptr);
    return name;
}

// Position of the last backslash of text, or -1.
int32_t LastBackslash(const WCHAR* text, int32_t length)
{
    for (int32_t i = length - 1; i >= 0; --i) {
        if (text[i] == '\\')
            return i;
    }
    return -1;
}

bool IsDotComponent(const WCHAR* p)
{
    return p[0] == '.' && (p[1] == '\\' || p[1] == '.');
}

}  // namespace

void ChangeToProgramDirectory()
{
    const SWStr dir = GetProgramDirectory();
    if (!SetCurrentDirectoryW(dir.Chars()) && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        const SStr narrowDir(dir);
        SetCurrentDirectoryA(narrowDir.Chars());
    }
}

SWStr GetProgramDirectory()
{
    const SWStr commandLine(GetCommandLineW());
    const SWStr name = ProgramName(commandLine);
    if (IsAbsolutePath(name.Chars()))
        return DirectoryPart(name.Chars());
    const SWStr found = FindProgramFile(name.Chars());
    return DirectoryPart(found.Chars());
}

bool IsExistingFile(const WCHAR* name)
{
    DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return false;
        const SStr narrowName(name);
        attributes = GetFileAttributesA(narrowName.Chars());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return false;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsAbsolutePath(const WCHAR* path)
{
    if (path == nullptr || path[0] == 0 || path[1] != ':' || path[2] != '\\')
        return false;
    // Each component starts after the drive prefix and after every backslash.
    for (const WCHAR* p = path + 3; *p != 0; ++p) {
        const bool componentStart = p[-1] == '\\';
        if (componentStart && IsDotComponent(p))
            return false;
    }
    return true;
}

SWStr FindProgramFile(const WCHAR* name)
{
    if (IsAbsolutePath(name))
        return IsExistingFile(name) ? SWStr(name) : SWStr();

    SWStr cwd;
    cwd.AssignCurrentDir();
    SWStr candidate = JoinPath(cwd.Chars(), name);
    if (IsExistingFile(candidate.Chars()))
        return candidate;

    // Entries are used as they stand: no quotes removed, no references expanded.
    SWStr path;
    path.AssignEnv(WIDE("PATH"));
    SWStr entry;
    for (const WCHAR* cursor = path.Chars();;) {
        while (*cursor == ';')
            ++cursor;
        if (*cursor == 0)
            return SWStr();
        entry.AssignUpTo(cursor, ';');
        cursor += entry.Length();
        candidate = JoinPath(entry.Chars(), name);
        if (!IsAbsolutePath(candidate.Chars()))
            candidate = JoinPath(cwd.Chars(), candidate.Chars());
        if (IsExistingFile(candidate.Chars()))
            return candidate;
    }
}

SWStr JoinPath(const WCHAR* directory, const WCHAR* name)
{
    static const WCHAR kNothing[] = WIDE("");
    SWStr result(directory);
    const WCHAR* rest = name != nullptr ? name : kNothing;
    for (;;) {
        if (rest[0] == '.' && rest[1] == '\\') {
            rest += 2;
        } else if (rest[0] == '.' && rest[1] == '.' && rest[2] == '\\') {
            rest += 3;
            if (result.LastChar() == '\\')
                result.Truncate(result.Length() - 1);
            const int32_t cut = LastBackslash(result.Chars(), result.Length());
            if (cut < 0)
                return result;  // above the drive: the rest of the name is dropped
            result.Truncate(cut);
        } else {
            break;
        }
    }
    result.AppendPath(rest);
    return result;
}

SWStr DirectoryPart(const WCHAR* path)
{
    SWStr directory;
    if (path == nullptr)
        return directory;
    int32_t length = 0;
    while (path[length] != 0)
        ++length;
    const int32_t cut = LastBackslash(path, length);
    if (cut > 0)
        directory.AssignLeft(path, cut);
    return directory;
}
