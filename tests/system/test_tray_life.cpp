// The whole life of the tray program on a Windows 2000 and a Windows 98 machine: first
// start in remote mode, the menu's Enable, Disable and Cancel, the restart question,
// WM_REMOTEOFF, WM_CLOSE, log-off and the next start with the mode kept, with the exact
// order of registry writes, driver requests, Plug and Play changes and icon changes.
#include <filesystem>
#include <set>

#include "tray_fixture.h"

using namespace traytest;

namespace {

using Effects_t = std::vector<std::string>;

const char kWin98ProfileController[] = "delete HKLM\\Config\\0001\\Enum\\ACPI\\*SMCF010";

// Steps sit away from the poll timer's ticks (150 ms after each Enable), so each step's
// millisecond holds only its own effects.
TEST(TrayLife, Windows2000)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k),
                                       Step(420, "answer", "no"),
                                       Click(420, "right", "Disable"),
                                       Step(520, "post", "WM_REMOTEOFF"),
                                       Click(680, "left", "Enable"),
                                       Click(770, "left", "Cancel"),
                                       Step(880, "answer", "yes"),
                                       Click(880, "left", "Disable")}));
    const RunResult& r = run.result;
    // First start: no mode recorded yet, so remote mode. The icon is added last.
    EXPECT_EQ(EffectsAt(r, 0), (Effects_t{"set ASK=1", "set CSConfigFlags=1", "pnp disable",
                                          "REMOTE_ON_2E", "READ_CODE_2E:0", "set CSConfigFlags=0",
                                          "tray add 133"}));
    // Disable asks for a restart; No changes nothing.
    EXPECT_EQ(EffectsAt(r, 420), (Effects_t{"menu 32772", "msgbox no"}));
    // The clean-up after remote on made the controller read as enabled, so WM_REMOTEOFF
    // neither sends remote-off nor touches Plug and Play.
    EXPECT_EQ(EffectsAt(r, 520), (Effects_t{"set ASK=0", "tray modify 132"}));
    EXPECT_EQ(EffectsAt(r, 680), (Effects_t{"menu 32771", "set ASK=1", "set CSConfigFlags=1",
                                            "pnp disable", "REMOTE_ON_2E", "tray modify 133",
                                            "READ_CODE_2E:0", "set CSConfigFlags=0"}));
    EXPECT_EQ(EffectsAt(r, 770), (Effects_t{"menu 2", "set CSConfigFlags=0"}));
    // Yes: off recorded and profiles cleaned before the restart; the restart's
    // WM_QUERYENDSESSION and WM_DESTROY clean once more each.
    EXPECT_EQ(EffectsAt(r, 880),
              (Effects_t{"menu 32772", "msgbox yes", "set ASK=0", "set CSConfigFlags=0", "privilege",
                         "exitwindows", "set CSConfigFlags=0", "set CSConfigFlags=0", "tray delete",
                         "exit", "reboot"}));
    EXPECT_TRUE(r.rebooted);

    auto boxes = Events(r, "msgbox");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].fields["caption"], "Pexaro Control 1.0");
    EXPECT_EQ(boxes[0].fields["type"], 4);  // MB_YESNO, no icon
    EXPECT_EQ(Events(r, "exitwindows")[0].fields["flags"], 2);  // EWX_REBOOT
    EXPECT_EQ(Pnp(r)[0].fields["device"], "ACPI\\SMCF010\\4&7AF5D03&0");
    EXPECT_EQ(Pnp(r)[0].fields["via"], "setupapi");

    // The next start finds off recorded and the controller enabled: no request at all.
    run.runner.reset();  // one machine at a time
    TrayRun next = RunTray(
        MachineOn("win2000", {{"registry", Json::array({RegDword(kServiceKey, "ASK", 0)})}}),
        Json::array({Step(0, "run", kTray2k), Step(100, "remote", "33 33 33"),
                     Step(420, "post", "WM_CLOSE")}));
    EXPECT_EQ(EffectsAt(next.result, 0), (Effects_t{"set ASK=0", "tray add 132"}));
    EXPECT_TRUE(Events(next.result, "ioctl").empty());
    EXPECT_TRUE(Events(next.result, "key").empty());
    EXPECT_EQ(EffectsAt(next.result, 420), (Effects_t{"set CSConfigFlags=0", "tray delete", "exit"}));
}

TEST(TrayLife, Windows98)
{
    TrayRun run = RunTray(MachineOn("win98"),
                          Json::array({Step(0, "run", kTray98),
                                       Click(420, "right", "Disable"),
                                       Click(520, "left", "Enable"),
                                       Step(680, "post", "WM_REMOTEOFF"),
                                       Click(770, "left", "Cancel"),
                                       Step(880, "post", "WM_CLOSE")}));
    const RunResult& r = run.result;
    // pexa32 disables the devnode and records it in the current profile; the clean-up
    // removes the controller's profile key with everything below it.
    EXPECT_EQ(EffectsAt(r, 0), (Effects_t{"set ASK=1", "set CSConfigFlags=1", "pnp disable",
                                          "REMOTE_ON_2E", "READ_CODE_2E:0", kWin98ProfileController,
                                          "tray add 133"}));
    // Disable switches off at once, without a question.
    EXPECT_EQ(EffectsAt(r, 420), (Effects_t{"menu 32772", "set ASK=0", "REMOTE_OFF_2E",
                                            "set CSConfigFlags=0", "pnp enable", "tray modify 132"}));
    EXPECT_EQ(EffectsAt(r, 520), (Effects_t{"menu 32771", "set ASK=1", "set CSConfigFlags=1",
                                            "pnp disable", "REMOTE_ON_2E", "tray modify 133",
                                            "READ_CODE_2E:0", kWin98ProfileController}));
    EXPECT_EQ(EffectsAt(r, 680), (Effects_t{"set ASK=0", "REMOTE_OFF_2E", "set CSConfigFlags=0",
                                            "pnp enable", "tray modify 132"}));
    EXPECT_EQ(EffectsAt(r, 770), (Effects_t{"menu 2", kWin98ProfileController}));
    EXPECT_EQ(EffectsAt(r, 880), (Effects_t{"tray delete", "exit"}));
    EXPECT_TRUE(Events(r, "msgbox").empty());
    EXPECT_FALSE(r.rebooted);

    auto pnp = Pnp(r);
    ASSERT_EQ(pnp.size(), 4u);
    EXPECT_EQ(pnp[0].fields["device"], "Enum\\ACPI\\*SMCF010\\0");
    EXPECT_EQ(pnp[0].fields["via"], "pexa32");
    EXPECT_EQ(pnp[0].fields["class"], "Net");
    EXPECT_EQ(pnp[0].fields["length"], 20);
    // The devnode runs again, without a problem.
    EXPECT_EQ(run.Value(kDefaultDevnode, "Status")[1] & 0x04, 0);
    EXPECT_EQ(run.Value(kServiceKey, "ASK"), (std::vector<uint8_t>{0, 0, 0, 0}));
}

// The next start on Windows 98 with off recorded: the chip is switched back only when the
// controller is not enabled (say, the machine went down in remote mode).
TEST(TrayLife, Windows98StartInNormalModeHandsTheControllerBackOnlyWhenNeeded)
{
    struct Case {
        const char* status;
        Effects_t start;
    };
    const Case cases[] = {
        {"0A 60 00 00", {"set ASK=0", "tray add 132"}},
        {"02 64 00 00", {"set ASK=0", "REMOTE_OFF_2E", "set CSConfigFlags=0", "pnp enable",
                         "tray add 132"}},
    };
    for (const Case& c : cases) {
        TrayRun run = RunTray(
            MachineOn("win98", {{"registry", Json::array({RegDword(kServiceKey, "ASK", 0),
                                                          RegValue(kDefaultDevnode, "Status",
                                                                   "REG_BINARY", c.status)})}}),
            Json::array({Step(0, "run", kTray98), Step(300, "post", "WM_CLOSE")}));
        EXPECT_EQ(EffectsAt(run.result, 0), c.start) << c.status;
    }
}

TEST(TrayLife, LogOffCleansTwiceAndLeavesRemoteModeRecorded)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(420, "logoff", true)}));
    EXPECT_EQ(EffectsAt(run.result, 420), (Effects_t{"set CSConfigFlags=0", "set CSConfigFlags=0",
                                                     "tray delete", "exit"}));
    EXPECT_EQ(Count(Effects(run.result), "REMOTE_OFF_2E"), 0u);
    EXPECT_EQ(run.Value(kServiceKey, "ASK"), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_TRUE(run.machine().notebook->InRemoteMode());
}

// The two builds differ on Windows 98/ME only.
TEST(TrayLife, EachBuildOnTheOtherFamily)
{
    struct Case {
        const char* os;
        const char* program;
        size_t pnpChanges;
        const char* via;
        bool remoteOffSent;
    };
    const Case cases[] = {
        // The Windows 2000 build leaves a Windows 98 controller alone; with the devnode
        // never disabled the controller reads as enabled, so Disable sends no remote-off.
        {"win98", kTray2k, 0, "", false},
        {"winme", kTray2k, 0, "", false},
        {"win98", kTray98, 2, "pexa32", true},
        {"win2000", kTray98, 1, "setupapi", false},
        {"winxp", kTray98, 1, "setupapi", false},
        {"nt4", kTray2k, 1, "setupapi", false},
    };
    for (const Case& c : cases) {
        TrayRun run = RunTray(MachineOn(c.os), Json::array({Step(0, "run", c.program),
                                                            Step(420, "post", "WM_REMOTEOFF"),
                                                            Step(520, "post", "WM_CLOSE")}));
        const std::string what = std::string(c.program) + " on " + c.os;
        auto pnp = Pnp(run.result);
        ASSERT_EQ(pnp.size(), c.pnpChanges) << what;
        for (const auto& change : pnp)
            EXPECT_EQ(change.fields["via"], c.via) << what;
        auto effects = Effects(run.result);
        EXPECT_EQ(Count(effects, "REMOTE_ON_2E"), 1u) << what;
        EXPECT_EQ(Count(effects, "REMOTE_OFF_2E"), c.remoteOffSent ? 1u : 0u) << what;
        // The Windows 2000 build on Windows 98 never builds a SetupAPI device list.
        if (c.pnpChanges == 0) {
            EXPECT_EQ(run.machine().devices.setsBuilt, 0u) << what;
        }
    }
}

// Three codes waiting when Enable is chosen: four reads, no key. On Windows 2000
// WM_REMOTEOFF leaves the chip in remote mode, so the codes reach the UART meanwhile.
TEST(TrayLife, EnableDrainsWaitingCodesWithoutKeys)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k + std::string(" -V")),
                                       Step(420, "post", "WM_REMOTEOFF"),
                                       Step(540, "remote", "33 33 33"),
                                       Step(560, "remote", "CC CC CC"),
                                       Step(580, "remote", "69 69 69"),
                                       Click(680, "left", "Enable"),
                                       Step(900, "post", "WM_CLOSE")}));
    EXPECT_EQ(EffectsAt(run.result, 680),
              (Effects_t{"menu 32771", "set ASK=1", "set CSConfigFlags=1", "pnp disable",
                         "REMOTE_ON_2E", "tray modify 133", "READ_CODE_2E:3", "READ_CODE_2E:3",
                         "READ_CODE_2E:3", "READ_CODE_2E:0", "set CSConfigFlags=0"}));
    EXPECT_TRUE(Events(run.result, "key").empty());
    EXPECT_TRUE(Events(run.result, "title").empty());
}

// "-b4": every request goes through configuration port 0x4E.
TEST(TrayLife, PortOption4EUsesEvery4ECode)
{
    Json machine = MachineOn("win98", {{"superio", {{"port", "0x4E"}}}});
    TrayRun run = RunTray(machine, Json::array({Step(0, "run", kTray98 + std::string(" -b4")),
                                                Step(100, "remote", "33 33 33"),
                                                Step(420, "power", "PBT_APMSUSPEND"),
                                                Step(520, "power", "PBT_APMRESUMESUSPEND"),
                                                Step(680, "post", "WM_REMOTEOFF"),
                                                Step(700, "post", "WM_CLOSE")}));
    std::set<std::string> codes;
    for (const auto& e : Events(run.result, "ioctl"))
        codes.insert(pexasim::ControlCodeName(e.fields["code"]));
    EXPECT_EQ(codes, (std::set<std::string>{"IOCTL_IR_REMOTE_ON_4E", "IOCTL_IR_READ_CODE_4E",
                                            "IOCTL_IR_SAVE_MODE_4E", "IOCTL_IR_RESTORE_MODE_4E",
                                            "IOCTL_IR_RESUMED", "IOCTL_IR_REMOTE_OFF_4E"}));
    EXPECT_EQ(KeyEffects(run.result), (Effects_t{"key PageUp down", "key PageUp up"}));
}

// The shipped tray scenarios run to their end as pexa-sim runs them.
TEST(TrayLife, ShippedScenarios)
{
    const auto dir = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                     "scenarios";
    struct Case {
        const char* file;
        Effects_t keys;
        bool rebooted;
    };
    const Case cases[] = {
        {"tray_win2000.json",
         {"key PageUp down", "key PageUp up", "key PageDown down", "key PageDown up"}, true},
        {"tray_win98.json", {"key Left down", "key Left up", "key Right down", "key Right up"}, false},
    };
    for (const Case& c : cases) {
        pexasim::Runner runner(pexasim::Scenario::FromFile((dir / c.file).string()));
        RunResult r = runner.Run();
        EXPECT_EQ(KeyEffects(r), c.keys) << c.file;
        EXPECT_EQ(r.rebooted, c.rebooted) << c.file;
        EXPECT_EQ(r.crashes, 0) << c.file;
        EXPECT_TRUE(r.stillRunning.empty()) << c.file;
        ASSERT_EQ(Events(r, "exit").size(), 1u) << c.file;
        EXPECT_EQ(Events(r, "exit")[0].fields["code"], 0) << c.file;
    }
}

}  // namespace
