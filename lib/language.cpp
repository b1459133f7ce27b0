// (Minimal until the text tables land: version record and empty texts.)
#include "language.h"

namespace {

OSVERSIONINFOA QueryOsVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info;
}

}  // namespace

OSVERSIONINFOA g_osVersion = QueryOsVersion();
LanguageSelection g_language = {SWStr(), SWStr(), 0, 0};
SStr g_title;

int32_t SystemLanguageId()
{
    return 0;
}

void ParseLanguageTable(const char*) {}

void LoadTexts() {}

SStr GetText(const char*, const char*)
{
    return SStr();
}
