// The built-in language table, matching rows against a language id, and the Windows
// 98/ME system language in the registry. (The process-wide selection built from them
// at static initialisation is seen through programs in the simulated machine.)
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lib/language_table.h"
#include "sim/machine.h"

namespace {

std::string Narrow(const SWStr& s) {
    std::string out;
    for (const char16_t* p = s.Chars(); *p != 0; ++p)
        out += static_cast<char>(*p);
    return out;
}

struct Row {
    std::string code;
    std::string id;
    std::string name;
};

// Splits the built-in table into rows, checking the layout of each.
std::vector<Row> BuiltInRows() {
    std::vector<Row> rows;
    const std::string text = kBuiltInLanguageTable;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "row without CR LF at " << start;
        if (end == std::string::npos)
            break;
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_GT(line.size(), 10u) << line;
        rows.push_back({line.substr(0, 4), line.substr(4, 4), line.substr(9)});
        EXPECT_EQ(line[8], ' ') << line;
        start = end + 2;
    }
    return rows;
}

TEST(BuiltInLanguageTable, HasTheRowsOfEveryCodeInOrder) {
    // Ids by code; the blank code stands for the rows with an empty code column.
    const std::map<std::string, std::string> idsByCode = {
        {"US  ", "0000"},
        {"    ", "0400 0409 0809 0c09 1009 1409 1809 1c09 2009 2409 2809 2c09 "
                 "0423 0424 0425 0426 0427 0429 042a 042d 0436 0438"},
        {"AR  ", "0401 0801 0c01 1001 1401 1801 1c01 2001 2401 2801 2c01 3001 3401 3801 3c01 4001"},
        {"BU  ", "0402"}, {"CA  ", "0403"}, {"TCH ", "0404 0c04 1004"}, {"SCH ", "0804"},
        {"CZ  ", "0405"}, {"DK  ", "0406"}, {"GR  ", "0407 0807 0c07 1007 1407"},
        {"GK  ", "0408"},
        {"SP  ", "040a 080a 0c0a 100a 140a 180a 1c0a 200a 240a 280a 2c0a 300a 340a 380a "
                 "3c0a 400a 440a 480a 4c0a 500a"},
        {"FI  ", "040b"}, {"FR  ", "040c 080c 0c0c 100c 140c"}, {"HW  ", "040d"},
        {"HU  ", "040e"}, {"IC  ", "040f"}, {"IT  ", "0410 0810"}, {"JP  ", "0411"},
        {"KO  ", "0412 0812"}, {"NE  ", "0413 0813"}, {"NO  ", "0414 0814"}, {"PO  ", "0415"},
        {"PT  ", "0416 0816"}, {"RO  ", "0418"}, {"RU  ", "0419"}, {"CR  ", "041a"},
        {"SB  ", "081a 0c1a"}, {"SV  ", "041b"}, {"AB  ", "041c"}, {"SW  ", "041d 081d"},
        {"TA  ", "041e"}, {"TK  ", "041f"}, {"ID  ", "0421"}, {"UR  ", "0422"},
    };
    std::map<std::string, std::string> seen;
    std::vector<std::string> runs;  // codes in order, one per run of rows ("-": blank)
    const std::vector<Row> rows = BuiltInRows();
    for (const Row& row : rows) {
        std::string& ids = seen[row.code];
        ids += (ids.empty() ? "" : " ") + row.id;
        const std::string code = row.code == "    " ? "-" : row.code.substr(0, row.code.find(' '));
        if (runs.empty() || runs.back() != code)
            runs.push_back(code);
    }
    EXPECT_EQ(rows.size(), 107u);
    EXPECT_EQ(::testing::PrintToString(runs),
              ::testing::PrintToString(std::vector<std::string>{
                  "US", "-",  "AR", "BU", "CA", "TCH", "SCH", "TCH", "CZ", "DK", "GR", "GK",
                  "-",  "SP", "FI", "FR", "HW", "HU", "IC", "IT",  "JP",  "KO",  "NE", "NO",
                  "PO", "PT", "RO", "RU", "CR", "SB", "SV", "AB", "SW", "TA",  "TK",  "ID",
                  "UR", "-"}));
    for (const auto& [code, ids] : idsByCode)
        EXPECT_EQ(seen[code], ids) << "'" << code << "'";
    EXPECT_EQ(seen.size(), idsByCode.size());
    ASSERT_EQ(rows.size(), 107u);
    EXPECT_EQ(rows[0].name, "Language Neutral");
    EXPECT_EQ(rows[1].name, "Process Default Language");
    EXPECT_EQ(rows.back().name, "Faeroese");
}

TEST(BuiltInLanguageTable, NamesTheLanguagesInEnglish) {
    const std::vector<std::string> quoted = {
        "TCH 0404 Chinese (Taiwan Region)\r\n", "    0409 English (United States)\r\n",
        "SP  0c0a Spanish (Modern Sort)\r\n",   "SV  041b Slovak\r\n",
        "SW  041d Swedish\r\n",                 "    0438 Faeroese\r\n",
        "GR  0407 German (Standard)\r\n",        "JP  0411 Japanese\r\n",
    };
    for (const std::string& row : quoted)
        EXPECT_NE(std::strstr(kBuiltInLanguageTable, row.c_str()), nullptr) << row;
}

LanguageSelection Selection(int32_t systemId, const char* code = "", const char* neutral = "") {
    LanguageSelection s{SWStr(), SWStr(), systemId, 0};
    s.code.AssignConverted(code, static_cast<int32_t>(std::strlen(code)));
    s.neutralCode.AssignConverted(neutral, static_cast<int32_t>(std::strlen(neutral)));
    return s;
}

TEST(LanguageRows, TheBuiltInTableChoosesTheCodeOfTheSystemLanguage) {
    struct Case {
        int32_t systemId;
        const char* code;
    };
    const Case cases[] = {
        {0x0407, "GR"}, {0x0807, "GR"}, {0x1407, "GR"}, {0x0409, "US"}, {0x0809, "US"},
        {0x0423, "US"}, {0x0438, "US"}, {0x0404, "TCH"}, {0x0804, "SCH"}, {0x1004, "TCH"},
        {0x0c0a, "SP"}, {0x500a, "SP"}, {0x040c, "FR"}, {0x0410, "IT"}, {0x0411, "JP"},
        {0x0413, "NE"}, {0x0816, "PT"}, {0x041d, "SW"}, {0x081d, "SW"}, {0x0422, "UR"},
        {0x0400, "US"}, {0x1234, "US"}, {0x0417, "US"}, {0, "US"}, {-1, "US"},
    };
    for (const Case& c : cases) {
        LanguageSelection s = Selection(c.systemId);
        MatchLanguageRows(s, kBuiltInLanguageTable);
        EXPECT_EQ(Narrow(s.code), c.code) << std::hex << c.systemId;
        EXPECT_EQ(Narrow(s.neutralCode), "US") << std::hex << c.systemId;
    }
}

// A second table (the US table's "language id" section) read over a selection made
// from the built-in table.
TEST(LanguageRows, LaterRowsOverrideAndUnmatchedRowsKeepTheCodes) {
    struct Case {
        const char* name;
        const char* rows;
        const char* code;
        const char* neutral;
    };
    const Case cases[] = {
        {"RowForTheSystem", "FR  0407 German read as French\r\n", "FR", "US"},
        {"NeutralRowOnly", "IT  0000 Neutral\r\n", "GR", "IT"},
        {"OtherIdsOnly", "IT  0410 Italian\r\nJP  0411\r\n", "GR", "US"},
        {"LastRowWins", "FR  0407\r\nIT  0407\r\n", "IT", "US"},
        {"LfOnlyAndTab", "FR\t0407\nIT 0000\n", "FR", "IT"},
        {"LowerCaseCode", "fr 407\r\n", "fr", "US"},
        {"LastRowWithoutLineEnd", "\r\nFR 0407", "FR", "US"},
        {"BlankCodeColumnIgnored", "    0407 Blank\r\n  FR 0407\r\n1FR 0407\r\n", "GR", "US"},
        {"IdThatDoesNotParseIsNeutral", "Enable=Turn on\r\n", "GR", "Enable=Turn"},
        // Line ends after the code are skipped like blanks: the id comes from the next
        // line, and that line is not read as a row of its own.
        {"IdOnTheNextLine", "FR\r\n0407 German\r\nIT 0407\r\n", "IT", "US"},
        {"NextLineConsumed", "FR\r\nIT 0407\r\n", "GR", "FR"},
        {"Empty", "", "GR", "US"},
    };
    for (const Case& c : cases) {
        LanguageSelection s = Selection(0x0407, "GR", "US");
        MatchLanguageRows(s, c.rows);
        EXPECT_EQ(Narrow(s.code), c.code) << c.name;
        EXPECT_EQ(Narrow(s.neutralCode), c.neutral) << c.name;
    }
}

TEST(LanguageRows, AnEmptyCodeBecomesTheNeutralCode) {
    LanguageSelection s = Selection(0x0407);
    MatchLanguageRows(s, "XX  0000\r\n");
    EXPECT_EQ(Narrow(s.code), "XX");
    LanguageSelection none = Selection(0x0407);
    MatchLanguageRows(none, "");
    EXPECT_EQ(Narrow(none.code), "");
}

// ---- the Windows 98/ME system language ----

const char kLocaleKey[] = "HKU\\.DEFAULT\\Control Panel\\Desktop\\ResourceLocale";

sim::MachineConfig Win98(uint16_t language) {
    sim::MachineConfig config;
    config.os = "win98";
    config.language = language;
    config.installDir = "";
    return config;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ResourceLocale, IsReadAsHexadecimalText) {
    sim::Machine machine(Win98(0x0c0a));
    EXPECT_EQ(ResourceLocaleLanguageId(), 0x0c0a);

    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
        int32_t id;
    };
    const std::string padded = std::string("00000407") + std::string(250, ' ');
    const Case cases[] = {
        {"Text", REG_SZ, Bytes(std::string("00000407", 9)), 0x0407},
        {"WithoutTerminator", REG_SZ, Bytes("0411"), 0x0411},
        {"AnyType", REG_BINARY, Bytes("040c"), 0x040c},
        {"Dword", REG_DWORD, {0x09, 0x04, 0x00, 0x00}, 0},
        {"NotHex", REG_SZ, Bytes(std::string("German", 7)), 0},
        {"Empty", REG_SZ, {}, 0},
        {"LongestRead", REG_SZ, Bytes(padded + '\0'), 0x0407},  // 259 bytes
        {"OneByteTooLong", REG_SZ, Bytes(padded + " " + '\0'), 0},
        {"FarTooLong", REG_SZ, Bytes(padded + std::string(100, ' ') + '\0'), 0},
    };
    ASSERT_EQ(padded.size() + 1, 259u);
    for (const Case& c : cases) {
        machine.registry.SetValue(kLocaleKey, "", c.type, c.data);
        EXPECT_EQ(ResourceLocaleLanguageId(), c.id) << c.name;
    }
}

TEST(ResourceLocale, IsZeroWhenTheKeyOrValueIsMissing) {
    {
        sim::Machine machine(Win98(0x0407));
        sim::RegKey* desktop = machine.registry.Find("HKU\\.DEFAULT\\Control Panel\\Desktop");
        ASSERT_NE(desktop, nullptr);
        desktop->subkeys["ResourceLocale"]->values.clear();
        EXPECT_EQ(ResourceLocaleLanguageId(), 0);
        machine.registry.DeleteBelow(desktop, "ResourceLocale", false);
        EXPECT_EQ(ResourceLocaleLanguageId(), 0);
    }
    sim::MachineConfig nt;
    nt.installDir = "";
    sim::Machine ntMachine(nt);  // the NT family keeps no such value
    EXPECT_EQ(ResourceLocaleLanguageId(), 0);
}

}  // namespace
