#include "textfile.h"

#include <cstring>
#include <new>

const SClassRecord SBuf::kClassRecord = {"SBuf"};
const SClassRecord SIni::kClassRecord = {"SIni"};

namespace {

constexpr int32_t kCapacityStep = 1024;

// Whole kilobytes; n is at most SBuf::kMaxLength, so the sum cannot overflow.
int32_t CapacityFor(int32_t n)
{
    return (n + kCapacityStep - 1) & ~(kCapacityStep - 1);
}

// ---- scanning a table's text: it ends at the first zero byte or at the end of the
// buffer, whichever comes first ----

bool AtEnd(const char* p, const char* end)
{
    return p >= end || *p == 0;
}

char UpperAscii(char ch)
{
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// Whether the text at p starts with the n characters of pattern, ignoring case.
bool StartsWithNoCase(const char* p, const char* end, const char* pattern, size_t n)
{
    if (static_cast<size_t>(end - p) < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (UpperAscii(p[i]) != UpperAscii(pattern[i]))
            return false;
    }
    return true;
}

// The start of the line after the next LF, or null when there is none.
const char* AfterNextLf(const char* p, const char* end)
{
    while (!AtEnd(p, end) && *p != '\n')
        ++p;
    return AtEnd(p, end) ? nullptr : p + 1;
}

const char* SkipBlanks(const char* p, const char* end)
{
    while (!AtEnd(p, end) && (*p == ' ' || *p == '\t'))
        ++p;
    return p;
}

const char* LineEnd(const char* p, const char* end)
{
    while (!AtEnd(p, end) && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The next non-empty line of a section body (CR and LF both end lines there), or null
// at the end of the text.
const char* NextBodyLine(const char* p, const char* end)
{
    p = LineEnd(p, end);
    if (AtEnd(p, end))
        return nullptr;
    while (!AtEnd(p, end) && (*p == '\r' || *p == '\n'))
        ++p;
    return p;
}

// "[name]" at the start of line.
bool IsHeaderOf(const char* line, const char* end, const char* name, size_t n)
{
    if (AtEnd(line, end) || line[0] != '[')
        return false;
    const char* afterName = line + 1 + n;
    return StartsWithNoCase(line + 1, end, name, n) && !AtEnd(afterName, end) && *afterName == ']';
}

}  // namespace

// ---- SBuf ----

SBuf::~SBuf()
{
    Free();
}

void SBuf::Free()
{
    delete[] m_data;
    m_data = nullptr;
    m_capacity = 0;
    m_length = 0;
}

void SBuf::Resize(int32_t n)
{
    if (n < 0)
        n = 0;
    if (n > kMaxLength)
        throw std::bad_alloc();
    const int32_t capacity = CapacityFor(n);
    if (capacity != m_capacity) {
        Free();
        if (capacity > 0) {
            // Zero-filled, so the room past a file's contents never holds stale bytes.
            m_data = new char[static_cast<size_t>(capacity)]();
            m_capacity = capacity;
        }
    }
    m_length = n;
}

bool SBuf::LoadLength(DWORD sizeLow, DWORD sizeHigh, int32_t extra, int32_t* length)
{
    if (sizeHigh != 0 || extra < 0)
        return false;
    const uint64_t total = static_cast<uint64_t>(sizeLow) + static_cast<uint64_t>(extra);
    if (total > static_cast<uint64_t>(kMaxLength))
        return false;
    *length = static_cast<int32_t>(total);
    return true;
}

bool SBuf::Load(const WCHAR* path, int32_t extra)
{
    const SStr name(path);
    HANDLE file = CreateFileA(name.Chars(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // A size that GetFileSize cannot report (INVALID_FILE_SIZE) is refused as too large.
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    int32_t length = 0;
    bool loaded = LoadLength(size, sizeHigh, extra, &length);
    if (loaded) {
        try {
            Resize(length);
        } catch (const std::bad_alloc&) {
            loaded = false;
        }
    }
    if (loaded && size > 0) {
        DWORD read = 0;
        loaded = ReadFile(file, m_data, size, &read, nullptr) && read == size;
        if (!loaded)
            Free();  // never half a file
    }
    CloseHandle(file);
    return loaded;
}

bool SBuf::LoadPadded(const WCHAR* path, int32_t extra)
{
    if (!Load(path, extra))
        return false;
    if (extra > 0)
        std::memset(m_data + m_length - extra, 0, static_cast<size_t>(extra));
    return true;
}

// ---- SIni ----

const char* SIni::FindSection(const char* name) const
{
    if (m_data == nullptr || name == nullptr)
        return nullptr;
    const char* end = m_data + m_length;
    const size_t n = std::strlen(name);
    for (const char* line = m_data; line != nullptr; line = AfterNextLf(line, end)) {
        if (IsHeaderOf(line, end, name, n))
            return AfterNextLf(line + 1 + n + 1, end);
    }
    return nullptr;
}

const char* SIni::SectionEnd(const char* body) const
{
    if (m_data == nullptr || body == nullptr)
        return nullptr;
    const char* end = m_data + m_length;
    const char* line = body;
    for (const char* next = body; next != nullptr; next = NextBodyLine(next, end)) {
        line = next;
        const char* first = SkipBlanks(line, end);
        if (!AtEnd(first, end) && *first == '[')
            return line;
    }
    while (!AtEnd(line, end))
        ++line;
    return line;
}

bool SIni::GetValue(SStr& out, const char* section, const char* key, const char* fallback) const
{
    const char* end = m_data + m_length;
    const size_t n = key != nullptr ? std::strlen(key) : 0;
    const char* line = key != nullptr ? FindSection(section) : nullptr;
    for (; line != nullptr; line = NextBodyLine(line, end)) {
        const char* p = SkipBlanks(line, end);
        if (AtEnd(p, end) || *p == '[')
            break;
        if (StartsWithNoCase(p, end, key, n) && !AtEnd(p + n, end) && p[n] == '=') {
            const char* value = p + n + 1;
            out.AssignLeft(value, static_cast<int32_t>(LineEnd(value, end) - value));
            return true;
        }
    }
    if (fallback != nullptr)
        out.Assign(fallback);
    return false;
}
