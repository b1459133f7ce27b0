// The scenario format: malformed scenarios are refused with the place named, and a
// simulated program that never lets virtual time move on is reported, not waited for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <windows.h>

#include "scenario_helpers.h"
#include "sim/module.h"

using namespace pexatest;

namespace {

struct BadScenario {
    const char* text;
    const char* place;  // what the message must name
};

class MalformedScenario : public ::testing::TestWithParam<BadScenario> {};

TEST_P(MalformedScenario, IsRefusedNamingThePlace)
{
    const BadScenario& c = GetParam();
    try {
        pexasim::Scenario::FromText(c.text);
        FAIL() << "accepted: " << c.text;
    } catch (const pexasim::ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find(c.place), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedScenario,
    ::testing::Values(
        BadScenario{"{\"steps\": [", "bad JSON"},
        BadScenario{"[]", "scenario"},
        BadScenario{"{\"machine\": {\"os\": \"win31\"}}", "machine.os"},
        BadScenario{"{\"machine\": {\"colour\": 1}}", "machine.colour"},
        BadScenario{"{\"machine\": {\"language\": \"0x10000\"}}", "machine.language"},
        BadScenario{"{\"machine\": {\"superio\": {\"port\": \"0x3E\"}}}", "machine.superio.port"},
        BadScenario{"{\"machine\": {\"superio\": {\"registers\": \"round\"}}}", "machine.superio.registers"},
        BadScenario{"{\"machine\": {\"firmware\": {\"oem\": [\"_Tov\"]}}}", "machine.firmware.oem"},
        BadScenario{"{\"machine\": {\"registry\": [{\"key\": \"HKXX\\\\a\"}]}}", "machine.registry[0]"},
        BadScenario{"{\"machine\": {\"registry\": [{\"key\": \"HKLM\\\\a\", \"name\": \"v\", \"type\": \"REG_BINARY\", \"data\": \"zz\"}]}}",
                    "machine.registry[0].data"},
        BadScenario{"{\"steps\": [{\"run\": \"x.exe\"}]}", "steps[0]"},
        BadScenario{"{\"steps\": [{\"at_ms\": 5, \"jump\": 1}]}", "steps[0]"},
        BadScenario{"{\"steps\": [{\"at_ms\": 5, \"run\": \"a\", \"post\": \"WM_CLOSE\"}]}", "steps[0]"},
        BadScenario{"{\"steps\": [{\"at_ms\": 10, \"run\": \"a\"}, {\"at_ms\": 5, \"run\": \"b\"}]}",
                    "steps[1].at_ms"},
        BadScenario{"{\"steps\": [{\"at_ms\": 0, \"remote\": \"3G\"}]}", "steps[0].remote"},
        BadScenario{"{\"steps\": [{\"at_ms\": 0, \"tray_click\": \"middle\"}]}", "steps[0].tray_click"},
        BadScenario{"{\"steps\": [{\"at_ms\": 0, \"answer\": \"maybe\"}]}", "steps[0].answer"},
        BadScenario{"{\"steps\": [{\"at_ms\": 0, \"run\": \"a\", \"choose\": 1}]}", "steps[0].choose"},
        BadScenario{"{\"steps\": [{\"at_ms\": -1, \"run\": \"a\"}]}", "steps[0].at_ms"}));

TEST(PexaSim, MalformedScenarioExitsWithCodeTwo)
{
    const std::string path = ::testing::TempDir() + "bad-scenario.json";
    std::ofstream(path) << "{\"steps\": [{\"at_ms\": 1, \"fly\": true}]}";
    int status = std::system((sim::BinDirectory() + "/pexa-sim " + path + " > /dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(Scheduler, AProgramThatNeverWaitsIsReportedInsteadOfHanging)
{
    sim::Machine machine{sim::MachineConfig{}};
    machine.scheduler.StartBuiltin("busy.exe", [] {
        MSG msg;
        for (;;) {  // posts to itself for ever: virtual time never moves on
            PostMessageA(nullptr, WM_USER, 0, 0);
            GetMessageA(&msg, nullptr, 0, 0);
        }
        return 0;
    });
    machine.scheduler.RunUntil(hw::kSecond);
    auto crashes = machine.trace.Named("crash");
    ASSERT_EQ(crashes.size(), 1u);
    EXPECT_NE(crashes[0].fields["what"].get<std::string>().find("without ever waiting"),
              std::string::npos);
    EXPECT_TRUE(machine.scheduler.Running().empty());
}

TEST(Scheduler, TimersCostNoWallTimeAndFireAtTheirPeriod)
{
    sim::Machine machine{sim::MachineConfig{}};
    std::vector<uint64_t> ticks;
    machine.scheduler.StartBuiltin("timer.exe", [&] {
        SetTimer(nullptr, 0, 150, nullptr);
        MSG msg;
        while (ticks.size() < 5 && GetMessageA(&msg, nullptr, 0, 0))
            if (msg.message == WM_TIMER)
                ticks.push_back(sim::CurrentMachine().clock.now / hw::kMillisecond);
        return 0;
    });
    machine.scheduler.RunUntil(10 * hw::kSecond);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{150, 300, 450, 600, 750}));
    EXPECT_TRUE(machine.scheduler.Running().empty());
}

}  // namespace
