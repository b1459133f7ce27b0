// Device configuration: which device the NT family's class installer changes, how the
// controller's state is read on both families, the Windows 98/ME devnode walk and its
// cache.
#include <windows.h>

#include <cstring>

#include "tray_fixture.h"

using namespace traytest;

namespace {

using Effects_t = std::vector<std::string>;

Json Device(std::vector<std::string> ids, const char* instance, bool present = true)
{
    return Json{{"hardware_ids", ids}, {"instance", instance}, {"present", present}};
}

std::vector<std::string> ChangedDevices(const RunResult& r)
{
    std::vector<std::string> devices;
    for (const auto& e : Pnp(r))
        devices.push_back(e.fields["device"].get<std::string>() + " " +
                          e.fields["change"].get<std::string>());
    return devices;
}

// Enable at start, WM_REMOTEOFF, then a preset CSConfigFlags of 1 makes the second
// switch hand the controller back.
TEST(TrayDevicesNt, OnlyTheFirstPresentDeviceWithTheExactFirstIdIsChanged)
{
    Json devices = Json::array({
        Device({"PCI\\VEN_8086&DEV_7110"}, "PCI\\VEN_8086&DEV_7110\\3&61AAA01&0"),
        Device({"ACPI\\SMCF010"}, "ACPI\\SMCF010\\GONE", false),    // not present
        Device({"ACPI\\PNP0510", "ACPI\\SMCF010"}, "ACPI\\PNP0510\\1"),  // second ID only
        Device({"acpi\\smcf010"}, "ACPI\\SMCF010\\LOWER"),                // lower case
        Device({"ACPI\\SMCF010\\X"}, "ACPI\\SMCF010X\\1"),                // longer ID
        Device({"ACPI\\SMCF010", "*SMCF010"}, "ACPI\\SMCF010\\FIRST"),
        Device({"ACPI\\SMCF010"}, "ACPI\\SMCF010\\SECOND"),
    });
    TrayRun run = RunTray(MachineOn("win2000", {{"devices", devices}}),
                          Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_CLOSE")}));
    EXPECT_EQ(ChangedDevices(run.result), (Effects_t{"ACPI\\SMCF010\\FIRST disable"}));
    EXPECT_FALSE(run.machine().devices.FindInstance("ACPI\\SMCF010\\FIRST")->enabled);
    EXPECT_TRUE(run.machine().devices.FindInstance("ACPI\\SMCF010\\SECOND")->enabled);
    EXPECT_TRUE(run.machine().devices.sets.empty());  // the list was destroyed
}

TEST(TrayDevicesNt, NoControllerMeansNoChange)
{
    TrayRun run = RunTray(MachineOn("win2000", {{"devices", Json::array()}}),
                          Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_CLOSE")}));
    EXPECT_TRUE(Pnp(run.result).empty());
    EXPECT_EQ(run.machine().devices.setsBuilt, 1u);
    EXPECT_TRUE(run.machine().devices.sets.empty());
}

// No state test on this path: each switch reaches the class installer.
TEST(TrayDevicesNt, DisableTwiceReachesTheClassInstallerTwice)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k),
                                       Json{{"at_ms", 420}, {"post", "WM_COMMAND"}, {"wParam", 32771}},
                                       Step(520, "post", "WM_CLOSE")}));
    EXPECT_EQ(ChangedDevices(run.result),
              (Effects_t{"ACPI\\SMCF010\\4&7AF5D03&0 disable", "ACPI\\SMCF010\\4&7AF5D03&0 disable"}));
    EXPECT_EQ(Count(Effects(run.result), "set CSConfigFlags=1"), 2u);
}

// What IsControllerEnabled answers on the NT family, seen through WM_REMOTEOFF: only a
// controller that reads as disabled gets remote-off and the enable.
TEST(TrayDevicesNt, CsConfigFlagsAnswers)
{
    struct Case {
        const char* what;
        Json registry;
        Json devices;
        bool disabled;
    };
    const std::string key = kControllerProfileKey;
    const Case cases[] = {
        {"flags 1", Json::array({RegDword(key, "CSConfigFlags", 1)}), nullptr, true},
        {"flags 0", Json::array({RegDword(key, "CSConfigFlags", 0)}), nullptr, false},
        {"flags 2", Json::array({RegDword(key, "CSConfigFlags", 2)}), nullptr, false},
        {"flags 0x101", Json::array({RegDword(key, "CSConfigFlags", 0x101)}), nullptr, false},
        {"one byte 01", Json::array({RegValue(key.c_str(), "CSConfigFlags", "REG_BINARY", "01")}),
         nullptr, true},
        {"five bytes", Json::array({RegValue(key.c_str(), "CSConfigFlags", "REG_BINARY",
                                             "01 00 00 00 00")}),
         nullptr, false},
        {"no value", Json::array(), nullptr, false},
        {"another instance",
         Json::array({RegDword("HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
                               "CurrentControlSet\\Enum\\ACPI\\SMCF010\\5&1234&0",
                               "CSConfigFlags", 1)}),
         Json::array({Device({"ACPI\\SMCF010"}, "ACPI\\SMCF010\\5&1234&0")}), false},
    };
    for (const Case& c : cases) {
        Json machine = MachineOn("win2000", {{"registry", c.registry}});
        machine["registry"].push_back(RegDword(kServiceKey, "ASK", 0));
        if (!c.devices.is_null())
            machine["devices"] = c.devices;
        TrayRun run = RunTray(machine, Json::array({Step(0, "run", kTray2k),
                                                    Step(420, "post", "WM_CLOSE")}));
        Effects_t expected = {"set ASK=0", "tray add 132"};
        if (c.disabled)
            expected = {"set ASK=0", "REMOTE_OFF_2E", "set CSConfigFlags=0", "pnp enable",
                        "tray add 132"};
        EXPECT_EQ(EffectsAt(run.result, 0), expected) << c.what;
    }
}

// Windows 98: which devnode answers, seen through the pexa32 calls.
struct DevnodeCase {
    const char* what;
    Json devices;    // the devnodes, in enumeration order
    const char* found;  // the key text pexa32 is given, or nullptr: no devnode found
};

void PrintTo(const DevnodeCase& c, std::ostream* os)
{
    *os << c.what;
}

void SetHardwareKey(sim::Machine& m, const std::string& devnodeKey, const char* text)
{
    m.registry.SetValue(devnodeKey, "HardWareKey", REG_SZ,
                        std::vector<uint8_t>(text, text + std::strlen(text) + 1));
}

Json Devnode(const char* name, const char* hardwareKey)
{
    return Json{{"hardware_ids", Json::array()}, {"instance", hardwareKey}, {"devnode", name}};
}

class TrayDevnodeWalk : public ::testing::TestWithParam<DevnodeCase> {};

TEST_P(TrayDevnodeWalk, FindsTheFirstControllerDevnode)
{
    const DevnodeCase& c = GetParam();
    TrayRun run = RunTray(MachineOn("win98", {{"devices", c.devices}}),
                          Json::array({Step(0, "run", kTray98), Step(420, "post", "WM_CLOSE")}));
    auto pnp = Pnp(run.result);
    if (!c.found) {
        EXPECT_TRUE(pnp.empty());
        return;
    }
    ASSERT_EQ(pnp.size(), 1u);
    EXPECT_EQ(pnp[0].fields["device"], c.found);
    EXPECT_EQ(pnp[0].fields["length"], std::string(c.found).size());
    EXPECT_TRUE(pnp[0].fields["ok"].get<bool>());
}

INSTANTIATE_TEST_SUITE_P(
    Devnodes, TrayDevnodeWalk,
    ::testing::Values(
        DevnodeCase{"FirstOfTwo",
                    Json::array({Devnode("C1000000", "ROOT\\PCI\\0000"),
                                 Devnode("C1000040", "ACPI\\*SMCF010\\0"),
                                 Devnode("C1000080", "ACPI\\*SMCF010\\1")}),
                    "Enum\\ACPI\\*SMCF010\\0"},
        DevnodeCase{"ExactlyThirteenCharacters",
                    Json::array({Devnode("C1000000", "ACPI\\*SMCF010")}), "Enum\\ACPI\\*SMCF010"},
        DevnodeCase{"ShorterKey", Json::array({Devnode("C1000000", "ACPI\\*SMCF01")}), nullptr},
        DevnodeCase{"LowerCase", Json::array({Devnode("C1000000", "acpi\\*smcf010\\0")}), nullptr},
        DevnodeCase{"LowerCaseNumberStillReads",
                    Json::array({Devnode("c1000000", "ACPI\\*SMCF010\\0")}),
                    "Enum\\ACPI\\*SMCF010\\0"},
        // Names that do not read as a devnode number end the walk.
        DevnodeCase{"ZeroNameEndsTheWalk",
                    Json::array({Devnode("00000000", "ROOT\\X\\0"),
                                 Devnode("C1000040", "ACPI\\*SMCF010\\0")}),
                    nullptr},
        DevnodeCase{"NonHexNameEndsTheWalk",
                    Json::array({Devnode("XYZ", "ROOT\\X\\0"),
                                 Devnode("C1000040", "ACPI\\*SMCF010\\0")}),
                    nullptr},
        DevnodeCase{"NineCharacterNameEndsTheWalk",
                    Json::array({Devnode("C10000000", "ROOT\\X\\0"),
                                 Devnode("C1000040", "ACPI\\*SMCF010\\0")}),
                    nullptr}));

// Windows 98 Status answers, seen at start in normal mode (hand back when not enabled)
// and at start in remote mode (take away only when enabled).
TEST(TrayDevices98, StatusAnswers)
{
    struct Case {
        const char* what;
        const char* status;  // nullptr: no Status value
        bool enabled;
    };
    const Case cases[] = {
        {"running", "0A 60 00 00", true},
        {"problem bit", "02 64 00 00", false},
        {"only the problem bit", "00 04 00 00", false},
        {"zero", "00 00 00 00", true},
        {"two bytes", "0A 60", true},
        {"five bytes", "0A 60 00 00 00", false},  // longer than four: unreadable
        {"missing", nullptr, false},
    };
    for (const Case& c : cases) {
        for (bool remoteMode : {false, true}) {
            TrayRun run = RunTray(
                MachineOn("win98",
                          {{"registry", Json::array({RegDword(kServiceKey, "ASK", remoteMode)})}}),
                Json::array({Step(0, "run", kTray98), Step(420, "post", "WM_CLOSE")}),
                [&](sim::Machine& m) {
                    auto* key = m.registry.Find(kDefaultDevnode);
                    key->values.erase("Status");
                    if (c.status) {
                        std::vector<uint8_t> bytes;
                        sim::ParseHexBytes(c.status, bytes);
                        key->values["Status"] = sim::RegValue{REG_BINARY, bytes};
                    }
                });
            auto effects = EffectsAt(run.result, 0);
            const std::string what = std::string(c.what) + (remoteMode ? " remote" : " normal");
            if (remoteMode) {
                EXPECT_EQ(Count(effects, "pnp disable"), c.enabled ? 1u : 0u) << what;
            } else {
                EXPECT_EQ(Count(effects, "pnp enable"), c.enabled ? 0u : 1u) << what;
                EXPECT_EQ(Count(effects, "REMOTE_OFF_2E"), c.enabled ? 0u : 1u) << what;
            }
        }
    }
}

// The found devnode is kept: while it still carries the controller's key, a later lookup
// does not walk (an earlier devnode that now matches is not seen); once it carries
// another key, the walk starts again from the first devnode.
TEST(TrayDevices98, CachedDevnodeIsUsedUntilItChanges)
{
    const std::string first = "HKDD\\Config Manager\\Enum\\C1000000";
    const std::string second = "HKDD\\Config Manager\\Enum\\C1000040";
    Json devices = Json::array({Devnode("C1000000", "ROOT\\PCI\\0000"),
                                Devnode("C1000040", "ACPI\\*SMCF010\\0")});
    TrayRun run = RunTray(
        MachineOn("win98", {{"devices", devices}}),
        Json::array({Step(0, "run", kTray98), Step(420, "post", "WM_REMOTEOFF"),
                     Step(620, "post", "WM_REMOTEOFF"), Step(720, "post", "WM_CLOSE")}),
        [&](sim::Machine& m) {
            sim::Machine* machine = &m;
            // Before the first WM_REMOTEOFF the first devnode becomes a controller too, and
            // a disabled one.
            m.scheduler.At(300 * hw::kMillisecond, [machine, first] {
                SetHardwareKey(*machine, first, "ACPI\\*SMCF010\\1");
                machine->registry.SetValue(first, "Status", REG_BINARY, {0x02, 0x64, 0, 0});
            });
            // Before the second the cached devnode carries another key.
            m.scheduler.At(610 * hw::kMillisecond, [machine, second] {
                SetHardwareKey(*machine, second, "ROOT\\OTHER\\0");
            });
        });
    EXPECT_EQ(ChangedDevices(run.result),
              (Effects_t{"Enum\\ACPI\\*SMCF010\\0 disable", "Enum\\ACPI\\*SMCF010\\0 enable",
                         "Enum\\ACPI\\*SMCF010\\1 enable"}));
    EXPECT_EQ(Count(Effects(run.result), "REMOTE_OFF_2E"), 2u);
}

// A scenario's devices are checked when it is read; the message names the place.
TEST(TrayDevicesScenario, MalformedDevicesAreRefused)
{
    const char* const bad[][2] = {
        {R"({"devices": {"instance": "X"}})", "machine.devices"},
        {R"({"devices": [{"hardware_ids": "ACPI\\SMCF010", "instance": "X"}]})",
         "machine.devices[0].hardware_ids"},
        {R"({"devices": [{"hardware_ids": ["A"]}]})", "machine.devices[0]"},
        {R"({"devices": [{"instance": "X", "present": "yes"}]})", "machine.devices[0].present"},
        {R"({"devices": [{"instance": "X"}, {"instance": "Y", "colour": 1}]})",
         "machine.devices[1].colour"},
    };
    for (const auto& c : bad) {
        try {
            pexasim::Scenario::FromText(std::string(R"({"machine": )") + c[0] + "}");
            ADD_FAILURE() << "accepted: " << c[0];
        } catch (const pexasim::ScenarioError& e) {
            EXPECT_NE(std::string(e.what()).find(c[1]), std::string::npos) << e.what();
        }
    }
}

}  // namespace
