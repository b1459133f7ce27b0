// Fault scenarios: absent or broken hardware, odd files and registry values, missing
// system parts, and awkward timing. In each the system must go on without hanging or
// crashing, keep the persisted mode ("ASK" in the driver's service key), and show the
// user what the case calls for.
#include <gtest/gtest.h>

#include <filesystem>

#include "tray_fixture.h"

using namespace traytest;

namespace {

constexpr char kSelector[] = "C:\\Pexa\\pexaro.exe";
constexpr char kDefaultTitleIcon[] = "tray add 133";

// The mode value as the program left it; -1 when there is none.
int64_t Ask(TrayRun& run)
{
    std::vector<uint8_t> data = run.Value(kServiceKey, "ASK");
    if (data.size() != 4 || run.Type(kServiceKey, "ASK") != 4 /* REG_DWORD */)
        return -1;
    return int64_t(data[0]) | int64_t(data[1]) << 8 | int64_t(data[2]) << 16 | int64_t(data[3]) << 24;
}

// No crash, no hang (a hang ends the run with an error), and the mode value as expected.
void ExpectSound(TrayRun& run, int64_t ask, const std::string& name)
{
    EXPECT_EQ(run.result.crashes, 0) << name;
    EXPECT_TRUE(Events(run.result, "crash").empty()) << name;
    EXPECT_EQ(Ask(run), ask) << name;
}

// A right click on the icon that picks the menu item at `position` (0: Enable or Disable,
// 1: Help, 2: Cancel), whatever the texts say.
Json ClickAt(uint64_t atMs, int position)
{
    return Json{{"at_ms", atMs}, {"tray_click", "right"}, {"choose", position}};
}

std::vector<std::string> Keys(const RunResult& r)
{
    return KeyEffects(r);
}

size_t CountStarting(const std::vector<std::string>& effects, const std::string& prefix)
{
    size_t n = 0;
    for (const auto& e : effects)
        n += e.rfind(prefix, 0) == 0;
    return n;
}

// ---- Hardware ----

// With no chip the bus floats at 0xFF: the program starts, shows its icon, drains nothing,
// polls nothing into keys, and closes when asked.
TEST(FaultHardware, NoChipAtThePort)
{
    for (const char* os : {"win2000", "win98"}) {
        const char* program = std::string(os) == "win98" ? kTray98 : kTray2k;
        TrayRun run = RunTray(MachineOn(os, {{"superio", nullptr}}),
                              Json::array({Step(0, "run", program + std::string(" -V")),
                                           Step(100, "remote", "33 33 33"),
                                           Step(1000, "post", "WM_CLOSE")}));
        ExpectSound(run, 1, os);
        EXPECT_EQ(Count(Effects(run.result), kDefaultTitleIcon), 1u) << os;
        EXPECT_EQ(Count(Effects(run.result), "READ_CODE_2E:3"), 0u) << os;
        EXPECT_TRUE(Keys(run.result).empty()) << os;
        EXPECT_TRUE(run.result.stillRunning.empty()) << os;
    }
}

// A receiver whose line status always says "data ready" reads zeros for ever: the drain
// gives up, the start completes, the zero codes give no key, and WM_CLOSE ends it.
TEST(FaultHardware, LineStatusAlwaysDataReady)
{
    TrayRun run = RunTray(MachineOn("win2000", {{"superio", {{"stuck_data_ready", true}}}}),
                          Json::array({Step(0, "run", kTray2k), Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, 1, "stuck");
    auto start = EffectsAt(run.result, 0);
    EXPECT_LE(Count(start, "READ_CODE_2E:3"), 16u);
    EXPECT_EQ(start.back(), kDefaultTitleIcon);
    EXPECT_TRUE(Keys(run.result).empty());
    EXPECT_EQ(EffectsAt(run.result, 1000).back(), "exit");
}

// Noise and broken codes between presses never stop the next clean press from giving its
// key: each burst is read (and padded) within one poll, so the framing starts afresh.
TEST(FaultHardware, NoiseAndBrokenCodesBetweenPresses)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(400, "remote", "33 33 33"),
                                       Step(700, "remote", "5A"), Step(1000, "remote", "CC CC"),
                                       Step(1300, "remote", "00 FF 12 34 56"),
                                       Step(1600, "remote", "FF FF FF FF FF FF FF"),
                                       Step(2200, "remote", "CC CC CC"),
                                       Step(2600, "post", "WM_CLOSE")}));
    ExpectSound(run, 1, "noise");
    auto keys = Keys(run.result);
    ASSERT_GE(keys.size(), 4u);
    EXPECT_EQ(keys[0], "key PageUp down");
    EXPECT_EQ(keys[1], "key PageUp up");
    EXPECT_EQ(keys[keys.size() - 2], "key PageDown down");
    EXPECT_EQ(keys.back(), "key PageDown up");
    // Every key pressed is released at once.
    for (size_t i = 0; i + 1 < keys.size(); i += 2)
        EXPECT_EQ(keys[i].substr(0, keys[i].size() - 5) + " up", keys[i + 1]);
}

// Codes come faster than the 150 ms poll until the 16-byte FIFO overflows: what did not
// fit is lost, nothing hangs, and the next press after the flood gives its key.
TEST(FaultHardware, CodesFasterThanThePollOverflowTheFifo)
{
    Json steps = Json::array({Step(0, "run", kTray2k)});
    for (int i = 0; i < 12; ++i)
        steps.push_back(Step(400 + i, "remote", i % 2 ? "CC CC CC" : "33 33 33"));
    steps.push_back(Step(1500, "remote", "33 33 33"));
    steps.push_back(Step(1900, "post", "WM_CLOSE"));
    TrayRun run = RunTray(MachineOn("win2000"), steps);
    ExpectSound(run, 1, "flood");
    EXPECT_GT(run.machine().notebook->uart().state().overruns, 0u);
    auto keys = Keys(run.result);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_LE(keys.size(), 2u * 7);  // at most the five codes the FIFO kept, a padded rest, and the last
    EXPECT_EQ(keys[keys.size() - 2], "key PageUp down");
    EXPECT_EQ(keys.back(), "key PageUp up");
}

// Without a firmware service, or with one answering nonsense, the selector recognises no
// model: it starts no tray program, and ends.
TEST(FaultHardware, FirmwareAbsentOrAnsweringGarbage)
{
    const Json firmwares[] = {nullptr, {{"garbage", true}, {"oem", {"_Tov", "____", "_Lum", "____"}}},
                              {{"garbage", true}, {"product", "Skerry 21"}}};
    for (const Json& firmware : firmwares) {
        TrayRun run = RunTray(MachineOn("win2000", {{"firmware", firmware}}),
                              Json::array({Step(0, "run", kSelector)}));
        ExpectSound(run, -1, firmware.dump());
        for (const auto& e : Events(run.result, "start"))
            EXPECT_EQ(e.fields["program"], "pexaro.exe") << firmware.dump();
        EXPECT_TRUE(run.result.stillRunning.empty()) << firmware.dump();
        for (const auto& e : Events(run.result, "ioctl"))
            EXPECT_EQ(e.fields["status"], 0) << firmware.dump();
    }
}

// ---- Files ----

const std::string kUsTable = "C:\\Pexa\\str_us.txt";
const char kBinaryTable[] = "\0\xFF[\x01=\r\n]\0=";

std::string HugeTable()
{
    std::string text = "[Proj]\r\nNameVersion=Huge\r\n";
    text += "[String]\r\n";
    for (int i = 0; i < 40000; ++i)
        text += "Filler" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
    text += "[Menu]\r\nEnable=&On\r\n";
    return text;
}

// String tables empty, huge, with CR-only line ends, with a line longer than any buffer,
// or not text at all: the program starts, shows its icon and menu, and switches modes.
TEST(FaultFiles, OddStringTables)
{
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"Empty", ""},
        {"Huge", HugeTable()},
        {"CrOnly", "[Proj]\rNameVersion=Cr\r[Menu]\rEnable=&On\rDisable=&Off\r"},
        {"LongLine", "[Menu]\r\nEnable=" + std::string(70000, 'E') + "\r\n"},
        {"Binary", std::string(kBinaryTable, sizeof kBinaryTable - 1)},
        {"NoSectionEnd", "[Menu"},
    };
    for (const Case& c : cases) {
        TrayRun run = RunTray(MachineOn("win98"),
                              Json::array({Step(0, "run", kTray98 + std::string(" -V")),
                                           ClickAt(420, 0), Step(1000, "post", "WM_CLOSE")}),
                              [&c](sim::Machine& m) { m.files.AddFile(kUsTable, c.text); });
        ExpectSound(run, 0, c.name);
        EXPECT_EQ(Count(Effects(run.result), kDefaultTitleIcon), 1u) << c.name;
        EXPECT_EQ(Count(Effects(run.result), "tray modify 132"), 1u) << c.name;
        EXPECT_TRUE(run.result.stillRunning.empty()) << c.name;
    }
}

// No string tables and no readmes anywhere: the menu still works (from built-in texts or
// empty ones), Help starts nothing or a viewer, and nothing fails.
TEST(FaultFiles, TablesAndReadmesMissing)
{
    TrayRun run = RunTray(MachineOn("win98", {{"install_dir", nullptr}}),
                          Json::array({Step(0, "run", kTray98),
                                       ClickAt(420, 1), ClickAt(520, 0),
                                       Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, 0, "missing");
    EXPECT_EQ(Count(Effects(run.result), kDefaultTitleIcon), 1u);
    EXPECT_EQ(Events(run.result, "menu").size(), 2u);
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// ---- Registry ----

// The mode value of every type and size: read as something, rewritten as a DWORD at
// start-up, and from then on exactly the mode switched to last.
TEST(FaultRegistry, ModeValueOfOtherTypesAndSizes)
{
    struct Case {
        const char* name;
        const char* type;
        Json data;
    };
    const Case cases[] = {
        {"Sz", "REG_SZ", "0"},
        {"EmptySz", "REG_SZ", ""},
        {"LongSz", "REG_SZ", std::string(5000, '1')},
        {"EmptyBinary", "REG_BINARY", ""},
        {"OneByte", "REG_BINARY", "01"},
        {"EightBytes", "REG_BINARY", "00 00 00 00 01 00 00 00"},
        {"HugeBinary", "REG_BINARY", [] {
             std::string hex;
             for (int i = 0; i < 4096; ++i) hex += "7F ";
             return hex;
         }()},
        {"ShortDword", "REG_DWORD", "01 00"},
        {"MultiSz", "REG_MULTI_SZ", "31 00 00"},
    };
    for (const Case& c : cases) {
        for (const char* os : {"win98", "win2000"}) {
            const bool win98 = std::string(os) == "win98";
            Json machine = MachineOn(os, {{"registry", {{{"key", kServiceKey}, {"name", "ASK"},
                                                         {"type", c.type}, {"data", c.data}}}}});
            TrayRun run = RunTray(machine, Json::array({Step(0, "run", win98 ? kTray98 : kTray2k),
                                                        Step(420, "answer", "no"),
                                                        Click(420, "right", "Disable"),
                                                        Step(520, "post", "WM_REMOTEOFF"),
                                                        Click(680, "right", "Enable"),
                                                        Step(1000, "post", "WM_CLOSE")}));
            ExpectSound(run, 1, std::string(c.name) + " " + os);
            EXPECT_TRUE(run.result.stillRunning.empty()) << c.name << " " << os;
        }
    }
}

// The driver's service key missing: the program never creates it, and runs.
TEST(FaultRegistry, ServiceKeyMissing)
{
    TrayRun run = RunTray(MachineOn("win98", {{"driver", false}}),
                          Json::array({Step(0, "run", kTray98), Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, -1, "no service key");
    EXPECT_FALSE(run.KeyExists(kServiceKey));
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// ---- Plug and Play ----

// No controller device, or two that both carry the controller's ids: the mode switches as
// the user asks, and with two only the first one is changed.
TEST(FaultDevices, NoDeviceOrTwo)
{
    const Json first = {{"hardware_ids", {"ACPI\\SMCF010", "*SMCF010"}}, {"instance", "ACPI\\SMCF010\\4&7AF5D03&0"}};
    const Json second = {{"hardware_ids", {"ACPI\\SMCF010", "*SMCF010"}}, {"instance", "ACPI\\SMCF010\\5&1&1"}};
    struct Case {
        const char* name;
        const char* os;
        Json devices;
        size_t maxPnp;
    };
    const Case cases[] = {
        {"NtNone", "win2000", Json::array(), 0},
        {"NtTwo", "win2000", Json::array({first, second}), 100},
        {"98None", "win98", Json::array(), 100},
        {"98Two", "win98", Json::array({first, second}), 100},
    };
    for (const Case& c : cases) {
        const bool win98 = std::string(c.os) == "win98";
        TrayRun run = RunTray(MachineOn(c.os, {{"devices", c.devices}}),
                              Json::array({Step(0, "run", win98 ? kTray98 : kTray2k),
                                           Step(420, "answer", "no"), Click(420, "right", "Disable"),
                                           Step(520, "post", "WM_REMOTEOFF"),
                                           Click(680, "right", "Enable"), Step(1000, "post", "WM_CLOSE")}));
        ExpectSound(run, 1, c.name);
        EXPECT_LE(Pnp(run.result).size(), c.maxPnp) << c.name;
        for (const auto& e : Pnp(run.result)) {
            if (e.fields["via"] == "setupapi") {
                EXPECT_EQ(e.fields["device"], "ACPI\\SMCF010\\4&7AF5D03&0") << c.name;
            }
        }
        EXPECT_TRUE(run.result.stillRunning.empty()) << c.name;
    }
}

// Windows 98 without the Configuration Manager's branch in HKEY_DYN_DATA: no devnode is
// found, the mode switches anyway.
TEST(FaultDevices, DynDataBranchMissing)
{
    TrayRun run = RunTray(MachineOn("win98", {{"devices", Json::array()}}),
                          Json::array({Step(0, "run", kTray98), Click(420, "right", "Disable"),
                                       Click(680, "right", "Enable"), Step(1000, "post", "WM_CLOSE")}),
                          [](sim::Machine& m) {
                              m.registry.DeleteBelow(m.registry.Root("HKDD"), "Config Manager", true);
                          });
    ExpectSound(run, 1, "no HKDD branch");
    EXPECT_FALSE(run.KeyExists("HKDD\\Config Manager"));
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// ---- The system around ----

// A shell that refuses every notification icon: the program goes on without one, polls
// and turns codes into keys, and closes when asked.
TEST(FaultSystem, NoNotificationArea)
{
    TrayRun run = RunTray(MachineOn("win2000", {{"notification_area", false}}),
                          Json::array({Step(0, "run", kTray2k), Step(400, "remote", "33 33 33"),
                                       Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, 1, "no tray");
    for (const auto& e : Events(run.result, "tray"))
        EXPECT_FALSE(e.fields["ok"].get<bool>());
    EXPECT_EQ(Keys(run.result), (std::vector<std::string>{"key PageUp down", "key PageUp up"}));
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// The driver is unloaded while the program runs. Its open handle keeps the driver until
// the program closes it, so the program goes on as before (presses give keys, the menu
// switches); a start after that finds no driver, warns once and ends without an icon.
TEST(FaultSystem, DriverUnloadedWhileTheTrayRuns)
{
    for (const char* os : {"win98", "win2000"}) {
        const bool win98 = std::string(os) == "win98";
        const char* program = win98 ? kTray98 : kTray2k;
        TrayRun run = RunTray(MachineOn(os),
                              Json::array({Step(0, "run", program), Step(300, "unload_driver", true),
                                           Step(400, "remote", "33 33 33"),
                                           Step(620, "power", "PBT_APMSUSPEND"),
                                           Step(660, "power", "PBT_APMRESUMESUSPEND"),
                                           Step(820, "answer", "no"), ClickAt(820, 0),
                                           Step(900, "post", "WM_REMOTEOFF"), Step(1000, "post", "WM_CLOSE"),
                                           Step(1200, "run", program)}));
        ExpectSound(run, 0, os);
        EXPECT_EQ(Keys(run.result), (std::vector<std::string>{"key PageUp down", "key PageUp up"})) << os;
        auto boxes = Events(run.result, "msgbox");
        ASSERT_FALSE(boxes.empty()) << os;
        EXPECT_EQ(boxes.back().fields["text"], "Can not load driver PEXACTRL.SYS") << os;
        EXPECT_EQ(CountStarting(Effects(run.result), "tray add"), 1u) << os;
        EXPECT_EQ(Events(run.result, "exit").size(), 2u) << os;
        EXPECT_TRUE(run.result.stillRunning.empty()) << os;
    }
}

// Power notices out of order: suspend never followed by resume, resume never preceded by
// suspend, twice each. Nothing hangs; the mode stays; presses still give keys.
TEST(FaultSystem, SuspendWithoutResumeAndResumeWithoutSuspend)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k),
                                       Step(320, "power", "PBT_APMRESUMESUSPEND"),
                                       Step(340, "power", "PBT_APMRESUMEAUTOMATIC"),
                                       Step(400, "remote", "CC CC CC"),
                                       Step(620, "power", "PBT_APMSUSPEND"),
                                       Step(640, "power", "PBT_APMSUSPEND"),
                                       Step(700, "power", "PBT_APMSTANDBY"),
                                       Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, 1, "power");
    EXPECT_EQ(Keys(run.result), (std::vector<std::string>{"key PageDown down", "key PageDown up"}));
    EXPECT_TRUE(run.result.stillRunning.empty());
}

// A second start of the tray program while the first switches modes ends at once; the
// first goes on, with one icon, and the mode is the one switched to.
TEST(FaultSystem, SecondStartDuringAModeSwitch)
{
    TrayRun run = RunTray(MachineOn("win98"),
                          Json::array({Step(0, "run", kTray98), Click(420, "right", "Disable"),
                                       Step(420, "run", kTray98), Click(680, "right", "Enable"),
                                       Step(680, "run", kTray98), Step(1000, "post", "WM_CLOSE")}));
    ExpectSound(run, 1, "second start");
    EXPECT_EQ(Events(run.result, "start").size(), 3u);
    auto exits = Events(run.result, "exit");
    ASSERT_EQ(exits.size(), 3u);
    EXPECT_EQ(exits[0].fields["code"], 0);
    EXPECT_EQ(exits[1].fields["code"], 0);
    EXPECT_EQ(Count(Effects(run.result), kDefaultTitleIcon), 1u);
    EXPECT_EQ(CountStarting(Effects(run.result), "tray add"), 1u);
}

// The shipped fault scenarios run through without crash and keep their mode.
TEST(FaultScenarios, ShippedFilesRun)
{
    const auto dir = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                     "scenarios" / "faults";
    for (const char* file : {"no_chip.json", "stuck_data_ready.json", "noise_and_flood.json",
                             "driver_unloaded.json", "odd_mode_value.json"}) {
        auto runner = std::make_unique<pexasim::Runner>(pexasim::Scenario::FromFile((dir / file).string()));
        RunResult result = runner->Run();
        EXPECT_EQ(result.crashes, 0) << file;
        EXPECT_TRUE(Events(result, "crash").empty()) << file;
        auto ask = runner->Machine().registry.GetValue(kServiceKey, "ASK");
        ASSERT_TRUE(ask.has_value()) << file;
        EXPECT_EQ(ask->type, 4u) << file;
    }
}

}  // namespace
