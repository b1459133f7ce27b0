// Suspend, standby and resume: the chip's mode is saved before the sleep and, in remote
// mode, restored and switched on again after it; no code is read in between.
#include "tray_fixture.h"

using namespace traytest;

namespace {

using Effects_t = std::vector<std::string>;

struct PowerCase {
    const char* name;
    bool remoteMode;
    bool port4E;
    const char* sleep;
    const char* wake;
    Effects_t atSleep;
    Effects_t atWake;
};

void PrintTo(const PowerCase& c, std::ostream* os)
{
    *os << c.name;
}

class TrayPower : public ::testing::TestWithParam<PowerCase> {};

TEST_P(TrayPower, SavesAndRestoresTheMode)
{
    const PowerCase& c = GetParam();
    Json registry = Json::array();
    if (!c.remoteMode)
        registry.push_back(RegDword(kServiceKey, "ASK", 0));
    Json machine = MachineOn("win2000", {{"registry", registry}});
    if (c.port4E)
        machine["superio"] = {{"port", "0x4E"}};
    std::string program = std::string(kTray2k) + (c.port4E ? " -b4" : "");
    // Sleep at 420, a button pressed during the sleep, wake at 680; ticks fall at 450
    // and 600 while asleep.
    TrayRun run = RunTray(machine, Json::array({Step(0, "run", program),
                                                Step(420, "power", c.sleep),
                                                Step(500, "remote", "33 33 33"),
                                                Step(680, "power", c.wake),
                                                Step(1000, "post", "WM_CLOSE")}));
    EXPECT_EQ(EffectsAt(run.result, 420), c.atSleep);
    EXPECT_EQ(Effects(run.result, 421000, 680000), Effects_t{});  // no read while asleep
    EXPECT_EQ(EffectsAt(run.result, 680), c.atWake);
    // Polling goes on with the next tick after the wake; the timer was never touched.
    auto after = Effects(run.result, 681000, 1000000);
    const std::string read = c.port4E ? "READ_CODE_4E:" : "READ_CODE_2E:";
    EXPECT_EQ(Count(after, read + "3") + Count(after, read + "0"), c.remoteMode ? 2u : 0u);
    // No icon, mode value or Plug and Play change at either end.
    for (const auto& effect : Effects(run.result, 420000, 681000))
        EXPECT_TRUE(effect.rfind("tray", 0) != 0 && effect.rfind("set", 0) != 0 &&
                    effect.rfind("pnp", 0) != 0)
            << effect;
}

INSTANTIATE_TEST_SUITE_P(
    Events, TrayPower,
    ::testing::Values(
        PowerCase{"SuspendInRemoteMode", true, false, "PBT_APMSUSPEND", "PBT_APMRESUMESUSPEND",
                  {"SAVE_MODE_2E"}, {"RESTORE_MODE_2E", "REMOTE_ON_2E", "RESUMED"}},
        PowerCase{"StandbyInRemoteMode", true, false, "PBT_APMSTANDBY", "PBT_APMRESUMESTANDBY",
                  {"SAVE_MODE_2E"}, {"RESTORE_MODE_2E", "REMOTE_ON_2E", "RESUMED"}},
        PowerCase{"CriticalResume", true, false, "PBT_APMSUSPEND", "PBT_APMRESUMECRITICAL",
                  {"SAVE_MODE_2E"}, {"RESTORE_MODE_2E", "REMOTE_ON_2E", "RESUMED"}},
        PowerCase{"SuspendWithPort4E", true, true, "PBT_APMSUSPEND", "PBT_APMRESUMESUSPEND",
                  {"SAVE_MODE_4E"}, {"RESTORE_MODE_4E", "REMOTE_ON_4E", "RESUMED"}},
        PowerCase{"SuspendInNormalMode", false, false, "PBT_APMSUSPEND", "PBT_APMRESUMESUSPEND",
                  {"SAVE_MODE_2E"}, {}},
        PowerCase{"StandbyInNormalModeWithPort4E", false, true, "PBT_APMSTANDBY",
                  "PBT_APMRESUMESTANDBY", {"SAVE_MODE_4E"}, {}}));

// Queries and other notices do nothing; a wake reported only as an automatic resume
// leaves polling stopped until a resume the program knows arrives.
TEST(TrayPowerEvents, OnlySuspendStandbyAndTheThreeResumesAct)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k),
                                       Step(320, "power", "PBT_APMQUERYSUSPEND"),
                                       Step(340, "power", "PBT_APMBATTERYLOW"),
                                       Step(360, "power", "PBT_APMPOWERSTATUSCHANGE"),
                                       Step(380, "power", "PBT_APMQUERYSUSPENDFAILED"),
                                       Step(420, "power", "PBT_APMSUSPEND"),
                                       Step(520, "power", "PBT_APMRESUMEAUTOMATIC"),
                                       Step(980, "power", "PBT_APMRESUMESUSPEND"),
                                       Step(1100, "post", "WM_CLOSE")}));
    EXPECT_EQ(Effects(run.result, 301000, 420000), (Effects_t{}));
    EXPECT_EQ(Effects(run.result, 421000, 980000), (Effects_t{}));
    EXPECT_EQ(EffectsAt(run.result, 980), (Effects_t{"RESTORE_MODE_2E", "REMOTE_ON_2E", "RESUMED"}));
    EXPECT_EQ(Count(Effects(run.result, 981000, 1100000), "READ_CODE_2E:0"), 1u);
}

// Each resume runs the whole sequence; a wake that brings two sends it twice.
TEST(TrayPowerEvents, TwoResumeNoticesRestoreTwice)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(420, "power", "PBT_APMSUSPEND"),
                                       Step(520, "power", "PBT_APMRESUMECRITICAL"),
                                       Step(520, "power", "PBT_APMRESUMESUSPEND"),
                                       Step(560, "post", "WM_CLOSE")}));
    EXPECT_EQ(EffectsAt(run.result, 520),
              (Effects_t{"RESTORE_MODE_2E", "REMOTE_ON_2E", "RESUMED", "RESTORE_MODE_2E",
                         "REMOTE_ON_2E", "RESUMED"}));
}

}  // namespace
