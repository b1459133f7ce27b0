// Language choice, string tables and the Help command of the tray program, run in the
// simulated machine (each program start gets fresh statics, so its language is chosen
// for that machine). The notification icon's tip is the loaded title, which tells which
// table a run read; Help shows as the command WinExec was given.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runner.h"

namespace {

using pexasim::RunResult;
using sim::Json;
using sim::TraceEvent;

std::vector<TraceEvent> Events(const RunResult& result, const std::string& name) {
    std::vector<TraceEvent> found;
    for (const TraceEvent& e : result.events) {
        if (e.event == name)
            found.push_back(e);
    }
    return found;
}

std::string ScenarioText(const Json& machine, const Json& steps) {
    return Json{{"machine", machine}, {"steps", steps}}.dump();
}

constexpr int kHelpCommand = 32774;  // IDM_HELP

const char kDir[] = "C:\\T";

bool IsWin9x(const std::string& os) { return os == "win98" || os == "winme"; }

std::string TrayProgram(const std::string& os, const std::string& dir = kDir) {
    return dir + "\\" + (IsWin9x(os) ? "pexasmsc98.exe" : "pexasmsc2k.exe");
}

// A table whose title names it.
std::string Table(const std::string& title) { return "[Proj]\r\nNameVersion=" + title + "\r\n"; }

struct TrayRun {
    std::string os = "win2000";
    int language = 0x0409;
    std::string programDir = kDir;
    std::map<std::string, std::string> files;  // by name in programDir, or by full path
    std::function<void(sim::Machine&)> prepare;
    Json runStep = Json::object();               // extra fields of the run step
    bool help = false;

    RunResult Go() const {
        Json fileMap = Json::object();
        fileMap[TrayProgram(os, programDir)] = "MZ";
        for (const auto& [name, text] : files)
            fileMap[name.find('\\') == std::string::npos ? programDir + "\\" + name : name] = text;
        char language16[8];
        std::snprintf(language16, sizeof language16, "0x%04X", language);
        const Json machine = {{"os", os}, {"language", language16}, {"install_dir", nullptr},
                              {"files", fileMap}};
        Json run = runStep;
        run["at_ms"] = 0;
        if (!run.contains("run"))
            run["run"] = TrayProgram(os, programDir);
        Json steps = Json::array({run});
        if (help)
            steps.push_back({{"at_ms", 200}, {"post", "WM_COMMAND"}, {"wParam", kHelpCommand}});
        steps.push_back({{"at_ms", 400}, {"post", "WM_CLOSE"}});
        pexasim::Runner runner(pexasim::Scenario::FromText(ScenarioText(machine, steps)));
        if (prepare)
            prepare(runner.Machine());
        RunResult result = runner.Run();
        EXPECT_EQ(result.crashes, 0);
        return result;
    }
};

// The tip of the icon added at start, or nothing when none was added.
std::optional<std::string> Tip(const RunResult& result) {
    for (const TraceEvent& e : Events(result, "tray")) {
        if (e.fields["op"] == "add")
            return e.fields["tip"].get<std::string>();
    }
    return std::nullopt;
}

std::string Title(const RunResult& result) {
    const std::optional<std::string> tip = Tip(result);
    EXPECT_TRUE(tip.has_value()) << "no icon was added";
    return tip.value_or("(no icon)");
}

// The language tables of a few codes, each titled by its code.
std::map<std::string, std::string> TablesTitledByCode() {
    std::map<std::string, std::string> files = {{"str_us.txt", Table("title us")}};
    for (const char* code : {"GR", "FR", "IT", "SP", "JP", "SW", "TCH", "SCH"})
        files[std::string("str_") + code + ".txt"] = Table(std::string("title ") + code);
    return files;
}

const char kLocaleKey[] = "HKU\\.DEFAULT\\Control Panel\\Desktop\\ResourceLocale";

void SetResourceLocale(sim::Machine& machine, const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    machine.registry.SetValue(kLocaleKey, "", 1, bytes);
}

// ---- which language ----

struct LanguageCase {
    const char* name;
    const char* os;
    int language;
    const char* resourceLocale;  // Windows 98/ME's registry value, replaced; null: as set up
    const char* title;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class TextsLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(TextsLanguage, TheSystemLanguageChoosesTheTable) {
    const LanguageCase& c = GetParam();
    TrayRun run;
    run.os = c.os;
    run.language = c.language;
    run.files = TablesTitledByCode();
    if (c.resourceLocale) {
        const std::string locale = c.resourceLocale;
        run.prepare = [locale](sim::Machine& m) { SetResourceLocale(m, locale); };
    }
    EXPECT_EQ(Title(run.Go()), c.title);
}

// On Windows 98/ME the language is the registry's resource locale, on the NT family the
// system's default language; either is looked up in the built-in table.
const LanguageCase kLanguageCases[] = {
    {"German", "win2000", 0x0407, nullptr, "title GR"},
    {"SwissGerman", "winxp", 0x0807, nullptr, "title GR"},
    {"EnglishUsHasNoCode", "win2000", 0x0409, nullptr, "title us"},
    {"BelarusianHasNoCode", "win2000", 0x0423, nullptr, "title us"},
    {"NotInTheTable", "nt4", 0x0417, nullptr, "title us"},
    {"ChineseTaiwan", "win2000", 0x0404, nullptr, "title TCH"},
    {"ChinesePrc", "win2000", 0x0804, nullptr, "title SCH"},
    {"NtIgnoresTheLocaleValue", "win2000", 0x0407, "0000040c", "title GR"},
    {"Win98Spanish", "win98", 0x0c0a, nullptr, "title SP"},
    {"WinMeJapanese", "winme", 0x0411, nullptr, "title JP"},
    {"Win98Swedish", "win98", 0x041d, nullptr, "title SW"},
    {"Win98ReadsTheLocaleValue", "win98", 0x0407, "0000040c", "title FR"},
    {"Win98LocaleNotHex", "win98", 0x0407, "German", "title us"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextsLanguage, ::testing::ValuesIn(kLanguageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextsLanguage, Win98WithoutTheLocaleKeyUsesTheNeutralCode) {
    TrayRun run;
    run.os = "win98";
    run.language = 0x0407;
    run.files = TablesTitledByCode();
    run.prepare = [](sim::Machine& m) {
        m.registry.DeleteBelow(m.registry.Find("HKU\\.DEFAULT\\Control Panel\\Desktop"),
                               "ResourceLocale", false);
    };
    EXPECT_EQ(Title(run.Go()), "title us");
}

// ---- the "language id" section of the US table ----

TEST(TextsLanguage, TheUsTableCanOverrideTheCode) {
    struct Case {
        const char* name;
        const char* os;
        int language;
        const char* usTable;
        const char* title;
    };
    const Case cases[] = {
        {"RowForTheSystemLanguage", "win2000", 0x0407,
         "[language id]\r\nFR  0407 German shown in French\r\n\r\n[Proj]\r\nNameVersion=title us\r\n",
         "title FR"},
        {"OnWin98", "win98", 0x0c0a, "[Language ID]\r\nIT  0c0a\r\n", "title IT"},
        {"RowForAnotherLanguage", "win2000", 0x0407, "[language id]\r\nIT  0410\r\n", "title GR"},
        {"LastMatchingRowWins", "win2000", 0x0407, "[language id]\r\nFR  0407\r\nIT  0407\r\n",
         "title IT"},
        // The rows end at the next header: the later section's line is not a row.
        {"RowsEndAtTheNextHeader", "win2000", 0x0407,
         "[language id]\r\nFR  0407\r\n[Other]\r\nIT  0407\r\n", "title FR"},
        {"RowsEndAtAnIndentedHeader", "win2000", 0x0407,
         "[language id]\r\nFR  0407\r\n  [Other]\r\nIT  0407\r\n", "title FR"},
        {"SectionPlacedLast", "win2000", 0x0407,
         "[Proj]\r\nNameVersion=title us\r\n[language id]\r\nSP  0407\r\n", "title SP"},
    };
    for (const Case& c : cases) {
        TrayRun run;
        run.os = c.os;
        run.language = c.language;
        run.files = TablesTitledByCode();
        run.files["str_us.txt"] = c.usTable;
        EXPECT_EQ(Title(run.Go()), c.title) << c.name;
    }
}

// ---- which table answers ----

TEST(TextsTables, TheLanguageTableIsAskedFirstThenTheUsTable) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> files;
        const char* title;
    };
    const Case cases[] = {
        {"Both", {{"str_us.txt", Table("us")}, {"str_GR.txt", Table("GR")}}, "GR"},
        {"KeyOnlyInUs", {{"str_us.txt", Table("us")}, {"str_GR.txt", "[String]\r\nHelp=Hilfe\r\n"}}, "us"},
        {"NoLanguageTable", {{"str_us.txt", Table("us")}}, "us"},
        {"NoUsTable", {{"str_GR.txt", Table("GR")}}, "GR"},
        {"KeyInNeither", {{"str_us.txt", "[String]\r\n"}, {"str_GR.txt", "[Proj]\r\nOther=x\r\n"}}, ""},
        {"NoTables", {}, ""},
        {"EmptyValueCounts", {{"str_us.txt", Table("us")}, {"str_GR.txt", Table("")}}, ""},
    };
    for (const Case& c : cases) {
        TrayRun run;
        run.language = 0x0407;
        run.files = c.files;
        EXPECT_EQ(Title(run.Go()), c.title) << c.name;
    }
}

// A program run from a setup medium finds its tables two levels up, under disk1.
TEST(TextsTables, TablesMissingBesideTheProgramAreTakenFromDisk1) {
    const std::string programDir = "C:\\CD\\Pexa\\Bin";
    const std::string disk1 = "C:\\CD\\disk1\\";
    struct Case {
        const char* name;
        std::map<std::string, std::string> files;
        const char* title;
    };
    const Case cases[] = {
        {"LanguageTable", {{"str_us.txt", Table("us")}, {disk1 + "str_GR.txt", Table("GR disk1")}},
         "GR disk1"},
        {"UsTable", {{disk1 + "str_us.txt", Table("us disk1")}}, "us disk1"},
        {"BesideTheProgramFirst",
         {{"str_GR.txt", Table("GR")}, {disk1 + "str_GR.txt", Table("GR disk1")}}, "GR"},
        {"OverrideFromDisk1",
         {{disk1 + "str_us.txt", "[language id]\r\nFR  0407\r\n"}, {"str_FR.txt", Table("FR")}}, "FR"},
        {"OnlyThere", {{"C:\\CD\\str_GR.txt", Table("GR one level up")}}, ""},
    };
    for (const Case& c : cases) {
        TrayRun run;
        run.language = 0x0407;
        run.programDir = programDir;
        run.files = c.files;
        EXPECT_EQ(Title(run.Go()), c.title) << c.name;
    }
}

// The tables are read from the program's directory wherever the program was started
// from; a relative program name is found along the PATH (the NT family reads it).
TEST(TextsTables, TheProgramDirectoryHoldsTheTables) {
    TrayRun elsewhere;
    elsewhere.files = {{"str_us.txt", Table("us")}};
    elsewhere.runStep = {{"cwd", "C:\\"}};
    EXPECT_EQ(Title(elsewhere.Go()), "us");

    for (const char* os : {"win2000", "win98"}) {
        TrayRun onPath;
        onPath.os = os;
        onPath.files = {{"str_us.txt", Table("us")}};
        const std::string program = IsWin9x(os) ? "pexasmsc98.exe" : "pexasmsc2k.exe";
        onPath.runStep = {{"run", program + " -V"}, {"cwd", "C:\\bin"}, {"env", {{"PATH", "C:\\bin;C:\\T"}}}};
        onPath.prepare = [](sim::Machine& m) { m.files.AddDirectory("C:\\bin"); };
        // Windows 98/ME give the program no wide environment: it stays where it started.
        EXPECT_EQ(Title(onPath.Go()), IsWin9x(os) ? "" : "us") << os;
    }
}

// ---- Help ----

std::vector<TraceEvent> HelpLaunches(const RunResult& result) { return Events(result, "winexec"); }

struct HelpCase {
    const char* name;
    const char* os;
    int language;
    std::map<std::string, std::string> files;
    std::vector<std::string> directories;  // in the program directory
    const char* command;                   // null: nothing is started
};

void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class TextsHelp : public ::testing::TestWithParam<HelpCase> {};

TEST_P(TextsHelp, OpensTheReadmeOfTheLanguageElseTheFallback) {
    const HelpCase& c = GetParam();
    TrayRun run;
    run.os = c.os;
    run.language = c.language;
    run.files = c.files;
    run.help = true;
    const std::vector<std::string> directories = c.directories;
    run.prepare = [directories](sim::Machine& m) {
        for (const std::string& d : directories)
            m.files.AddDirectory(std::string(kDir) + "\\" + d);
    };
    const RunResult result = run.Go();
    const std::vector<TraceEvent> launches = HelpLaunches(result);
    if (c.command == nullptr) {
        EXPECT_TRUE(launches.empty()) << launches.front().ToJson().dump();
        return;
    }
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].fields["cmd"], c.command);
    EXPECT_EQ(launches[0].fields["show"], 1);  // SW_SHOWNORMAL
}

const std::string kReadme = "Readme\r\n";

const HelpCase kHelpCases[] = {
    {"BothReadmes", "win2000", 0x0407, {{"readme_GR.txt", kReadme}, {"readme_US.txt", kReadme}}, {},
     "notepad readme_GR.txt"},
    {"FallbackReadme", "win2000", 0x0407, {{"readme_US.txt", kReadme}}, {}, "notepad readme_US.txt"},
    {"NoReadme", "win2000", 0x0407, {{"readme_FR.txt", kReadme}}, {}, nullptr},
    {"SameCodeTwice", "win2000", 0x0409, {{"readme_GR.txt", kReadme}}, {}, nullptr},
    {"DirectoryIsNoReadme", "win2000", 0x0407, {{"readme_US.txt", kReadme}}, {"readme_GR.txt"},
     "notepad readme_US.txt"},
    {"DirectoryOnly", "win2000", 0x0407, {}, {"readme_GR.txt", "readme_US.txt"}, nullptr},
    {"Win98", "win98", 0x0407, {{"readme_GR.txt", kReadme}}, {}, "notepad readme_GR.txt"},
    {"Win98Fallback", "winme", 0x0407, {{"readme_US.txt", kReadme}}, {"readme_GR.txt"},
     "notepad readme_US.txt"},
    {"OverriddenNeutralCode", "win2000", 0x0407,
     {{"str_us.txt", "[language id]\r\nIT  0000\r\n"}, {"readme_IT.txt", kReadme}, {"readme_US.txt", kReadme}},
     {}, "notepad readme_IT.txt"},
    {"OverriddenCode", "win2000", 0x0409,
     {{"str_us.txt", "[language id]\r\nSW  0409\r\n"}, {"readme_SW.txt", kReadme}, {"readme_US.txt", kReadme}},
     {}, "notepad readme_SW.txt"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextsHelp, ::testing::ValuesIn(kHelpCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the shipped tables and readmes ----

TEST(TextsShipped, TheInstalledTablesAndReadmesServeEachLanguage) {
    struct Case {
        const char* os;
        int language;
        const char* readme;
    };
    const Case cases[] = {
        {"win2000", 0x0407, "readme_GR.txt"}, {"winxp", 0x0411, "readme_JP.txt"},
        {"win98", 0x0c0a, "readme_SP.txt"},   {"win2000", 0x0405, "readme_US.txt"},
        {"winme", 0x0816, "readme_PT.txt"},
    };
    for (const Case& c : cases) {
        char language16[8];
        std::snprintf(language16, sizeof language16, "0x%04X", c.language);
        const Json machine = {{"os", c.os}, {"language", language16}};
        const Json steps = Json::array({
            {{"at_ms", 0}, {"run", TrayProgram(c.os, "C:\\Pexa")}},
            {{"at_ms", 200}, {"post", "WM_COMMAND"}, {"wParam", kHelpCommand}},
            {{"at_ms", 400}, {"post", "WM_CLOSE"}},
        });
        const RunResult result = pexasim::RunScenario(ScenarioText(machine, steps));
        EXPECT_EQ(Title(result), "Pexaro Control 1.0") << c.os << " " << language16;
        const std::vector<TraceEvent> launches = HelpLaunches(result);
        ASSERT_EQ(launches.size(), 1u) << c.os << " " << language16;
        EXPECT_EQ(launches[0].fields["cmd"], std::string("notepad ") + c.readme);
    }
}

}  // namespace
