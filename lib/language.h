// Operating-system version, language selection and localized texts.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "strings.h"
#include "textfile.h"

// Filled by GetVersionExA while the statics are constructed, before g_language.
// dwPlatformId 1 means Windows 98/ME; any other value the NT family.
extern OSVERSIONINFOA g_osVersion;

struct LanguageSelection {
    SWStr code;         // the chosen language code, used in file names
    SWStr neutralCode;  // the code of the row whose id is 0: the fallback
    int32_t systemId;
    int32_t neutralId;
};

extern LanguageSelection g_language;
extern SIni g_langTable;  // "str_XX.txt" of the chosen code; asked first
extern SIni g_usTable;    // "str_us.txt"
extern SStr g_title;  // section Proj, key NameVersion

int32_t SystemLanguageId();
void ParseLanguageTable(const char* text);
void LoadTexts();
SStr GetText(const char* section, const char* key);
