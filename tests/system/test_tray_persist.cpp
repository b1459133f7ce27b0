// The persisted mode ("ASK" in the driver's service key) and the hardware-profile
// clean-up on both families.
#include <windows.h>

#include "tray_fixture.h"

using namespace traytest;

namespace {

using Effects_t = std::vector<std::string>;

// What the start makes of a stored value, and what is stored afterwards.
TEST(TrayPersist, ModeValueOfAnyTypeIsReadAndRewrittenAsDword)
{
    struct Case {
        const char* what;
        const char* type;
        const char* data;  // nullptr: no value
        bool remoteMode;
    };
    const Case cases[] = {
        {"no value", nullptr, nullptr, true},
        {"dword 0", "REG_DWORD", "00 00 00 00", false},
        {"dword 1", "REG_DWORD", "01 00 00 00", true},
        {"dword 7", "REG_DWORD", "07 00 00 00", true},
        {"high byte only", "REG_DWORD", "00 00 00 80", true},
        {"binary one byte 0", "REG_BINARY", "00", false},
        {"binary two bytes", "REG_BINARY", "00 01", true},
        {"text \"0\"", "REG_SZ", "0", true},  // the bytes 30 00 are not zero
        {"five bytes", "REG_BINARY", "00 00 00 00 00", true},  // unreadable: on
        {"empty binary", "REG_BINARY", "", true},  // no byte read: the preset 1 stays
    };
    for (const Case& c : cases) {
        Json registry = Json::array();
        if (c.data)
            registry.push_back(RegValue(kServiceKey, "ASK", c.type, c.data));
        TrayRun run = RunTray(MachineOn("win2000", {{"registry", registry}}),
                              Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_CLOSE")}));
        auto adds = Events(run.result, "tray");
        ASSERT_FALSE(adds.empty()) << c.what;
        EXPECT_EQ(adds[0].fields["icon"], c.remoteMode ? kIconOn : kIconOff) << c.what;
        EXPECT_EQ(run.Type(kServiceKey, "ASK"), REG_DWORD) << c.what;
        EXPECT_EQ(run.Value(kServiceKey, "ASK"),
                  (std::vector<uint8_t>{uint8_t(c.remoteMode ? 1 : 0), 0, 0, 0}))
            << c.what;
    }
}

// Without the driver's service key nothing is written and the start reads remote mode.
TEST(TrayPersist, MissingServiceKeyIsNeverCreated)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_REMOTEOFF"),
                                       Step(520, "post", "WM_CLOSE")}),
                          [](sim::Machine& m) {
                              m.registry.DeleteBelow(
                                  m.registry.Find("HKLM\\SYSTEM\\CurrentControlSet\\Services"),
                                  "PEXACTRL", true);
                          });
    EXPECT_EQ(Count(Effects(run.result), "set ASK=1"), 0u);
    EXPECT_EQ(Count(Effects(run.result), "set ASK=0"), 0u);
    EXPECT_FALSE(run.KeyExists(kServiceKey));
    EXPECT_EQ(Events(run.result, "tray")[0].fields["icon"], kIconOn);
}

// NT family: CSConfigFlags becomes REG_DWORD 0 whatever it was; a missing value is
// created, a missing key is not. Cancel from the menu runs the clean-up alone.
TEST(TrayPersist, ProfileCleanUpOnTheNtFamily)
{
    struct Case {
        const char* what;
        Json registry;
        Json devices;
        bool written;
    };
    const std::string key = kControllerProfileKey;
    const Case cases[] = {
        {"flags 1", Json::array({RegDword(key, "CSConfigFlags", 1)}), nullptr, true},
        {"binary flags", Json::array({RegValue(key.c_str(), "CSConfigFlags", "REG_BINARY", "01 02")}),
         nullptr, true},
        {"no value", Json::array(), nullptr, true},
        {"no key", Json::array(), Json::array({Json{{"hardware_ids", {"ACPI\\SMCF010"}},
                                                    {"instance", "ACPI\\SMCF010\\5&1234&0"}}}),
         false},
    };
    for (const Case& c : cases) {
        Json machine = MachineOn("win2000", {{"registry", c.registry}});
        machine["registry"].push_back(RegDword(kServiceKey, "ASK", 0));
        if (!c.devices.is_null())
            machine["devices"] = c.devices;
        TrayRun run = RunTray(machine, Json::array({Step(0, "run", kTray2k),
                                                    Click(420, "left", "Cancel"),
                                                    Step(520, "post", "WM_CLOSE")}));
        Effects_t expected = {"menu 2"};
        if (c.written)
            expected.push_back("set CSConfigFlags=0");
        EXPECT_EQ(EffectsAt(run.result, 420), expected) << c.what;
        if (c.written) {
            EXPECT_EQ(run.Type(key, "CSConfigFlags"), REG_DWORD) << c.what;
            EXPECT_EQ(run.Value(key, "CSConfigFlags"), (std::vector<uint8_t>{0, 0, 0, 0})) << c.what;
        } else {
            EXPECT_FALSE(run.KeyExists(key)) << c.what;
        }
    }
}

// Windows 98: "*SMCF010" goes, with everything below it, from profiles 1, 2, ... until a
// profile number has no key; a profile without it is skipped.
TEST(TrayPersist, ProfileCleanUpOnWindows98)
{
    const std::string config = "HKLM\\Config\\";
    auto controller = [&](const char* profile) {
        return config + profile + "\\Enum\\ACPI\\*SMCF010";
    };
    struct Case {
        const char* what;
        std::vector<std::string> keys;  // made besides the default profile 0001
        bool keepProfile1;
        Effects_t deleted;
    };
    const Case cases[] = {
        {"profiles 1 and 2",
         {controller("0002") + "\\0", config + "0002\\Enum\\ACPI\\*PNP0501"},
         true,
         {"delete " + controller("0001"), "delete " + controller("0002")}},
        {"profile 2 without the controller, profile 3 with it",
         {config + "0002\\Enum\\ACPI\\*PNP0501", controller("0003")},
         true,
         {"delete " + controller("0001"), "delete " + controller("0003")}},
        {"profile 3 missing stops before 4", {config + "0002", controller("0004")}, true,
         {"delete " + controller("0001")}},
        {"no profile 1", {controller("0002")}, false, {}},
    };
    for (const Case& c : cases) {
        TrayRun run = RunTray(
            MachineOn("win98", {{"registry", Json::array({RegDword(kServiceKey, "ASK", 0)})}}),
            Json::array({Step(0, "run", kTray98), Click(420, "right", "Cancel"),
                         Step(520, "post", "WM_CLOSE")}),
            [&](sim::Machine& m) {
                if (!c.keepProfile1)
                    m.registry.DeleteBelow(m.registry.Find("HKLM\\Config"), "0001", true);
                for (const auto& key : c.keys)
                    m.registry.Create(key);
            });
        Effects_t expected = {"menu 2"};
        expected.insert(expected.end(), c.deleted.begin(), c.deleted.end());
        EXPECT_EQ(EffectsAt(run.result, 420), expected) << c.what;
        for (const auto& gone : c.deleted)
            EXPECT_FALSE(run.KeyExists(gone.substr(7))) << c.what;
        for (const auto& key : c.keys) {
            bool removed = false;
            for (const auto& gone : c.deleted)
                removed = removed || key.rfind(gone.substr(7), 0) == 0;
            EXPECT_EQ(run.KeyExists(key), !removed) << c.what << ": " << key;
        }
        // CSConfigFlags is not written on Windows 98.
        EXPECT_EQ(Count(Effects(run.result, 0, 520000), "set CSConfigFlags=0"), 0u) << c.what;
    }
}

}  // namespace
