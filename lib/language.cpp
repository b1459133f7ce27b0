// The process-wide language selection and string tables, and the texts they answer.
//
// The statics below are constructed in the order written, and the order matters:
// g_language reads the system language through g_osVersion, so the version record is
// filled first; constructed later, every system would look like the NT family.
#include "language.h"

#include "language_table.h"
#include "textfile.h"
#include "wide.h"

namespace {

// Both string tables end in two zero bytes after the file's contents.
constexpr int32_t kTablePadding = 2;

const WCHAR kUsTable[] = WIDE("str_us.txt");
const WCHAR kUsTableOnDisk1[] = WIDE("..\\..\\disk1\\str_us.txt");
const WCHAR kLanguageTableFormat[] = WIDE("str_%s.txt");
const WCHAR kLanguageTableOnDisk1Format[] = WIDE("..\\..\\disk1\\str_%s.txt");
const char kOverrideSection[] = "language id";

OSVERSIONINFOA QueryOsVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info;
}

void ParseLanguageTableInto(LanguageSelection& selection, const char* text)
{
    selection.neutralId = 0;
    selection.systemId = SystemLanguageId();
    MatchLanguageRows(selection, text);
}

LanguageSelection BuiltInSelection()
{
    LanguageSelection selection = {SWStr(), SWStr(), 0, 0};
    ParseLanguageTableInto(selection, kBuiltInLanguageTable);
    return selection;
}

}  // namespace

OSVERSIONINFOA g_osVersion = QueryOsVersion();
LanguageSelection g_language = BuiltInSelection();
SIni g_langTable;
SIni g_usTable;
SStr g_title;

int32_t SystemLanguageId()
{
    if (g_osVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return ResourceLocaleLanguageId();
    return static_cast<int32_t>(static_cast<uint16_t>(GetSystemDefaultLangID()));
}

void ParseLanguageTable(const char* text)
{
    ParseLanguageTableInto(g_language, text);
}

namespace {

// The US table's "language id" section may choose the code for the system's language
// and the neutral code. Its rows end where the section does, at the next header line,
// so lines of later sections are never read as rows.
void ApplyLanguageOverride()
{
    const char* body = g_usTable.FindSection(kOverrideSection);
    if (body == nullptr)
        return;
    SStr rows;
    rows.AssignLeft(body, static_cast<int32_t>(g_usTable.SectionEnd(body) - body));
    ParseLanguageTable(rows.Chars());
}

bool LoadLanguageTable(const WCHAR* format)
{
    SWStr name;
    name.Format(format, g_language.code.Chars());
    return g_langTable.LoadPadded(name.Chars(), kTablePadding);
}

}  // namespace

void LoadTexts()
{
    if (!g_usTable.LoadPadded(kUsTable, kTablePadding))
        g_usTable.LoadPadded(kUsTableOnDisk1, kTablePadding);
    ApplyLanguageOverride();
    if (!LoadLanguageTable(kLanguageTableFormat))
        LoadLanguageTable(kLanguageTableOnDisk1Format);
    g_title = GetText("Proj", "NameVersion");
}

SStr GetText(const char* section, const char* key)
{
    SStr text;
    if (!g_langTable.GetValue(text, section, key, nullptr))
        g_usTable.GetValue(text, section, key, nullptr);
    return text;
}
