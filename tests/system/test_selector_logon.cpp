// The log-on scenarios shipped in scenarios/ (the README's demo among them), run as
// pexa-sim runs them: the selector starts the right program, remote codes become keys,
// and pexaro -c ends the tray program; every program ends with exit code 0.
#include <gtest/gtest.h>

#include <filesystem>

#include "scenario_helpers.h"

using namespace pexatest;

namespace {

std::string ScenarioPath(const char* file)
{
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
            "scenarios" / file)
        .string();
}

struct LogonCase {
    const char* file;
    const char* command;       // what the selector starts
    std::vector<int> keys;     // virtual keys the focused application receives, in order
};

void PrintTo(const LogonCase& c, std::ostream* os)
{
    *os << c.file;
}

class LogonScenario : public ::testing::TestWithParam<LogonCase> {};

TEST_P(LogonScenario, RunsToTheEnd)
{
    const LogonCase& c = GetParam();
    pexasim::Runner runner(pexasim::Scenario::FromFile(ScenarioPath(c.file)));
    RunResult r = runner.Run();

    auto launched = Events(r, "winexec");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].fields["cmd"], c.command);

    std::vector<int> pressed;
    for (const auto& key : Events(r, "key"))
        if (!key.fields["up"].get<bool>())
            pressed.push_back(key.fields["vk"]);
    EXPECT_EQ(pressed, c.keys);

    EXPECT_EQ(r.crashes, 0);
    EXPECT_TRUE(r.stillRunning.empty());
    for (const auto& exit : Events(r, "exit"))
        EXPECT_EQ(exit.fields["code"], 0) << exit.fields["program"];
    auto tray = Events(r, "tray");
    if (!tray.empty()) {
        EXPECT_EQ(tray.back().fields["op"], "delete") << "the icon is removed at the close";
    }
}

const int kPageUp = 0x21, kPageDown = 0x22, kLeft = 0x25, kRight = 0x27;

INSTANTIATE_TEST_SUITE_P(
    Files, LogonScenario,
    ::testing::Values(
        LogonCase{"demo.json", "C:\\Pexa\\pexasmsc2k.exe -4 -b4", {kPageUp, kPageDown, kLeft, kRight}},
        LogonCase{"logon_win98.json", "C:\\Pexa\\pexasmsc98.exe -4 -b4", {kPageDown}},
        LogonCase{"logon_product_name.json", "C:\\Pexa\\pexaro21.exe", {}},
        LogonCase{"logon_program_files.json", "\"C:\\Program Files\\Pexa\\pexasmsc2k.exe\" -4 -b4",
                  {kPageUp}}),
    [](const auto& info) {
        std::string name;
        for (const char* c = info.param.file; *c != '.'; ++c)
            if (*c != '_')
                name += *c;
        return name;
    });

}  // namespace
