#include "language_table.h"

#include <windows.h>

namespace {

const char kResourceLocaleKey[] = ".DEFAULT\\Control Panel\\Desktop\\ResourceLocale";
// The longest locale text read; a longer value counts as unreadable.
constexpr DWORD kMaxLocaleText = 259;

bool IsAsciiLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool IsWhiteSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

// The start of the next row, or null when the text ends before one.
const char* NextRow(const char* p)
{
    while (*p != 0 && *p != '\n')
        ++p;
    return *p == '\n' && p[1] != 0 ? p + 1 : nullptr;
}

// Reads the row at p, which begins with a letter; returns where the reading stopped.
const char* MatchRow(LanguageSelection& selection, const char* p)
{
    const char* code = p;
    while (*p != 0 && !IsWhiteSpace(*p))
        ++p;
    const int32_t codeLength = static_cast<int32_t>(p - code);
    // Line ends are skipped too: a row without an id takes the next line's digits.
    while (IsWhiteSpace(*p))
        ++p;
    const int32_t id = static_cast<int32_t>(ParseHex(p));
    if (id == selection.neutralId)
        selection.neutralCode.AssignConverted(code, codeLength);
    else if (id == selection.systemId)
        selection.code.AssignConverted(code, codeLength);
    return p;
}

}  // namespace

const char kBuiltInLanguageTable[] =
    "US  0000 Language Neutral\r\n"
    "    0400 Process Default Language\r\n"
    "AR  0401 Arabic (Saudi Arabia)\r\n"
    "AR  0801 Arabic (Iraq)\r\n"
    "AR  0c01 Arabic (Egypt)\r\n"
    "AR  1001 Arabic (Libya)\r\n"
    "AR  1401 Arabic (Algeria)\r\n"
    "AR  1801 Arabic (Morocco)\r\n"
    "AR  1c01 Arabic (Tunisia)\r\n"
    "AR  2001 Arabic (Oman)\r\n"
    "AR  2401 Arabic (Yemen)\r\n"
    "AR  2801 Arabic (Syria)\r\n"
    "AR  2c01 Arabic (Jordan)\r\n"
    "AR  3001 Arabic (Lebanon)\r\n"
    "AR  3401 Arabic (Kuwait)\r\n"
    "AR  3801 Arabic (U.A.E.)\r\n"
    "AR  3c01 Arabic (Bahrain)\r\n"
    "AR  4001 Arabic (Qatar)\r\n"
    "BU  0402 Bulgarian\r\n"
    "CA  0403 Catalan\r\n"
    "TCH 0404 Chinese (Taiwan Region)\r\n"
    "SCH 0804 Chinese (PRC)\r\n"
    "TCH 0c04 Chinese (Hong Kong SAR)\r\n"
    "TCH 1004 Chinese (Singapore)\r\n"
    "CZ  0405 Czech\r\n"
    "DK  0406 Danish\r\n"
    "GR  0407 German (Standard)\r\n"
    "GR  0807 German (Swiss)\r\n"
    "GR  0c07 German (Austrian)\r\n"
    "GR  1007 German (Luxembourg)\r\n"
    "GR  1407 German (Liechtenstein)\r\n"
    "GK  0408 Greek\r\n"
    "    0409 English (United States)\r\n"
    "    0809 English (United Kingdom)\r\n"
    "    0c09 English (Australian)\r\n"
    "    1009 English (Canadian)\r\n"
    "    1409 English (New Zealand)\r\n"
    "    1809 English (Ireland)\r\n"
    "    1c09 English (South Africa)\r\n"
    "    2009 English (Jamaica)\r\n"
    "    2409 English (Caribbean)\r\n"
    "    2809 English (Belize)\r\n"
    "    2c09 English (Trinidad)\r\n"
    "SP  040a Spanish (Traditional Sort)\r\n"
    "SP  080a Spanish (Mexican)\r\n"
    "SP  0c0a Spanish (Modern Sort)\r\n"
    "SP  100a Spanish (Guatemala)\r\n"
    "SP  140a Spanish (Costa Rica)\r\n"
    "SP  180a Spanish (Panama)\r\n"
    "SP  1c0a Spanish (Dominican Republic)\r\n"
    "SP  200a Spanish (Venezuela)\r\n"
    "SP  240a Spanish (Colombia)\r\n"
    "SP  280a Spanish (Peru)\r\n"
    "SP  2c0a Spanish (Argentina)\r\n"
    "SP  300a Spanish (Ecuador)\r\n"
    "SP  340a Spanish (Chile)\r\n"
    "SP  380a Spanish (Uruguay)\r\n"
    "SP  3c0a Spanish (Paraguay)\r\n"
    "SP  400a Spanish (Bolivia)\r\n"
    "SP  440a Spanish (El Salvador)\r\n"
    "SP  480a Spanish (Honduras)\r\n"
    "SP  4c0a Spanish (Nicaragua)\r\n"
    "SP  500a Spanish (Puerto Rico)\r\n"
    "FI  040b Finnish\r\n"
    "FR  040c French (Standard)\r\n"
    "FR  080c French (Belgian)\r\n"
    "FR  0c0c French (Canadian)\r\n"
    "FR  100c French (Swiss)\r\n"
    "FR  140c French (Luxembourg)\r\n"
    "HW  040d Hebrew\r\n"
    "HU  040e Hungarian\r\n"
    "IC  040f Icelandic\r\n"
    "IT  0410 Italian (Standard)\r\n"
    "IT  0810 Italian (Swiss)\r\n"
    "JP  0411 Japanese\r\n"
    "KO  0412 Korean\r\n"
    "KO  0812 Korean (Johab)\r\n"
    "NE  0413 Dutch (Standard)\r\n"
    "NE  0813 Dutch (Belgian)\r\n"
    "NO  0414 Norwegian (Bokmal)\r\n"
    "NO  0814 Norwegian (Nynorsk)\r\n"
    "PO  0415 Polish\r\n"
    "PT  0416 Portuguese (Brazilian)\r\n"
    "PT  0816 Portuguese (Standard)\r\n"
    "RO  0418 Romanian\r\n"
    "RU  0419 Russian\r\n"
    "CR  041a Croatian\r\n"
    "SB  081a Serbian (Latin)\r\n"
    "SB  0c1a Serbian (Cyrillic)\r\n"
    "SV  041b Slovak\r\n"
    "AB  041c Albanian\r\n"
    "SW  041d Swedish\r\n"
    "SW  081d Swedish (Finland)\r\n"
    "TA  041e Thai\r\n"
    "TK  041f Turkish\r\n"
    "ID  0421 Indonesian\r\n"
    "UR  0422 Ukrainian\r\n"
    "    0423 Belarusian\r\n"
    "    0424 Slovenian\r\n"
    "    0425 Estonian\r\n"
    "    0426 Latvian\r\n"
    "    0427 Lithuanian\r\n"
    "    0429 Farsi\r\n"
    "    042a Vietnamese\r\n"
    "    042d Basque\r\n"
    "    0436 Afrikaans\r\n"
    "    0438 Faeroese\r\n";

void MatchLanguageRows(LanguageSelection& selection, const char* text)
{
    for (const char* row = text; row != nullptr && *row != 0; row = NextRow(row)) {
        if (IsAsciiLetter(*row))
            row = MatchRow(selection, row);
    }
    if (selection.code.Length() == 0)
        selection.code = selection.neutralCode;
}

int32_t ResourceLocaleLanguageId()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_USERS, kResourceLocaleKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    // Read as text whatever the value's type; the zero after the room stays.
    char text[kMaxLocaleText + 1] = {};
    DWORD size = kMaxLocaleText;
    const LONG result =
        RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? static_cast<int32_t>(ParseHex(text)) : 0;
}
