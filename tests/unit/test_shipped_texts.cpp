// The string tables and readmes in data/, as they ship: 8-bit text in the ANSI code
// page of a Windows of their language (never UTF-8), CR LF line ends, every key the
// programs look up, in that language. Each file is decoded with its code page and its
// texts compared with what they should read, so a file saved in another encoding fails.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "lib/textfile.h"
#include "sim/machine.h"

namespace {

const std::filesystem::path kDataDir = std::filesystem::path(__FILE__).parent_path() / "../../data";

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The text in UTF-8; false when the bytes are not valid in the code page.
bool Decode(const std::string& bytes, const char* codePage, std::string& text) {
    iconv_t converter = iconv_open("UTF-8", codePage);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = bytes;
    std::vector<char> out(bytes.size() * 4 + 16);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    text.assign(out.data(), out.size() - outLeft);
    return result != static_cast<size_t>(-1) && inLeft == 0;
}

bool IsUtf8WithNonAscii(const std::string& bytes) {
    bool nonAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t follow = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
            follow = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            follow = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            follow = 3;
        else if (lead >= 0x80)
            return false;
        if (i + follow >= bytes.size())
            return false;
        for (size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        nonAscii = nonAscii || follow > 0;
        i += follow + 1;
    }
    return nonAscii;
}

struct Language {
    const char* code;      // as in the file names
    const char* codePage;  // the ANSI code page of a Windows in that language
    const char* enable;
    const char* disable;
    const char* help;
    const char* cancel;
    const char* askRebootStart;
};

void PrintTo(const Language& c, std::ostream* os) { *os << c.code; }

const Language kLanguages[] = {
    {"us", "CP1252", "Enable", "Disable", "Help", "Cancel", "The infrared port will work"},
    {"GR", "CP1252", "Aktivieren", "Deaktivieren", "Hilfe", "Abbrechen", "Die Infrarotschnittstelle"},
    {"FR", "CP1252", "Activer", "Désactiver", "Aide", "Annuler", "Le port infrarouge ne fonctionnera"},
    {"SP", "CP1252", "Activar", "Desactivar", "Ayuda", "Cancelar", "El puerto de infrarrojos no volverá"},
    {"IT", "CP1252", "Attiva", "Disattiva", "Guida", "Annulla", "La porta a infrarossi tornerà"},
    {"NE", "CP1252", "Inschakelen", "Uitschakelen", "Help", "Annuleren", "De infraroodpoort werkt"},
    {"PT", "CP1252", "Ativar", "Desativar", "Ajuda", "Cancelar", "A porta de infravermelho só"},
    {"JP", "CP932", "有効にする", "無効にする", "ヘルプ", "キャンセル", "赤外線ポートは"},
    {"SW", "CP1252", "Aktivera", "Inaktivera", "Hjälp", "Avbryt", "IR-porten fungerar"},
};

std::string ReadmeCode(const Language& language) {
    return std::string(language.code) == "us" ? "US" : language.code;
}

// Checks what every shipped file shares and gives its text in UTF-8.
std::string CheckedText(const std::string& name, const char* codePage) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadBytes(kDataDir / name);
    EXPECT_FALSE(bytes.empty());
    EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "byte-order mark";
    EXPECT_FALSE(IsUtf8WithNonAscii(bytes)) << "saved as UTF-8";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at " << i;
        }
        if (bytes[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "CR without LF at " << i;
        }
        EXPECT_NE(bytes[i], '\0') << "zero byte at " << i;
    }
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    std::string text;
    EXPECT_TRUE(Decode(bytes, codePage, text)) << "not " << codePage;
    return text;
}

class ShippedTexts : public ::testing::TestWithParam<Language> {};

TEST_P(ShippedTexts, StringTableHasEveryKeyInItsLanguage) {
    const Language& language = GetParam();
    const std::string name = std::string("str_") + language.code + ".txt";
    CheckedText(name, language.codePage);

    sim::MachineConfig config;
    config.installDir = "";
    sim::Machine machine(config);
    machine.files.AddFile("C:\\table.txt", ReadBytes(kDataDir / name));
    SIni table;
    ASSERT_TRUE(table.LoadPadded(u"C:\\table.txt", 2));
    struct Key {
        const char* section;
        const char* key;
        std::string expected;
        bool whole;  // false: the value starts with it
    };
    const Key keys[] = {
        {"Proj", "NameVersion", "Pexaro Control 1.0", true},
        {"String", "Enable", language.enable, true},
        {"String", "Disable", language.disable, true},
        {"String", "Help", language.help, true},
        {"String", "Cancel", language.cancel, true},
        {"String", "ASKREBOOT", language.askRebootStart, false},
    };
    for (const Key& key : keys) {
        SStr value;
        ASSERT_TRUE(table.GetValue(value, key.section, key.key, nullptr)) << name << " " << key.key;
        std::string text;
        ASSERT_TRUE(Decode(value.Chars(), language.codePage, text)) << name << " " << key.key;
        const std::string compared = key.whole ? text : text.substr(0, key.expected.size());
        EXPECT_EQ(compared, key.expected) << name << " " << key.key;
    }
    SStr question;
    table.GetValue(question, "String", "ASKREBOOT", nullptr);
    EXPECT_NE(std::string(question.Chars()).find("Windows"), std::string::npos) << name;
}

// A readme names the menu items as the string table of its language spells them.
TEST_P(ShippedTexts, ReadmeExplainsTheMenuInItsLanguage) {
    const Language& language = GetParam();
    const std::string name = "readme_" + ReadmeCode(language) + ".txt";
    const std::string text = CheckedText(name, language.codePage);
    for (const char* item : {language.enable, language.disable, language.help, language.cancel})
        EXPECT_NE(text.find(item), std::string::npos) << name << " lacks " << item;
    for (const char* word : {"Pexaro Control", "Windows 98", "Windows 2000"})
        EXPECT_NE(text.find(word), std::string::npos) << name << " lacks " << word;
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedTexts, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.code); });

TEST(ShippedTextFiles, AreExactlyTheTablesAndReadmesListed) {
    std::vector<std::string> expected;
    for (const Language& language : kLanguages) {
        expected.push_back(std::string("str_") + language.code + ".txt");
        expected.push_back("readme_" + ReadmeCode(language) + ".txt");
    }
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".txt" && (name.rfind("str_", 0) == 0 || name.rfind("readme_", 0) == 0))
            found.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

}  // namespace
