// The tray program's start-up, single instance, missing driver, options and exit, run
// in the simulated machine.
#include <gtest/gtest.h>

#include "scenario_helpers.h"

using namespace pexatest;

namespace {

const char kTray[] = "C:\\Pexa\\pexasmsc2k.exe";

Json Win2000(bool driver = true)
{
    return Json{{"os", "win2000"}, {"driver", driver}};
}

TEST(TraySpine, SecondStartExitsAtOnceAndTouchesNothing)
{
    RunResult r = RunSteps(Win2000(), Json::array({{{"at_ms", 0}, {"run", kTray}},
                                              {{"at_ms", 500}, {"run", kTray}},
                                              {{"at_ms", 900}, {"post", "WM_CLOSE"}}}));
    auto starts = Events(r, "start");
    ASSERT_EQ(starts.size(), 2u);
    int secondPid = starts[1].fields["pid"];
    for (const auto& e : r.events) {
        if (e.t_us < 500000 || e.t_us >= 900000)
            continue;
        // Between the second start and the close the first instance only polls; the
        // second makes no request, writes nothing and shows nothing.
        if (e.event == "ioctl")
            EXPECT_EQ(e.fields["code"], 0x2220D8) << e.ToJson().dump();  // IOCTL_IR_READ_CODE_2E
        else
            EXPECT_TRUE(e.event == "start" || e.event == "exit") << e.ToJson().dump();
    }
    auto exits = Events(r, "exit");
    ASSERT_EQ(exits.size(), 2u);
    EXPECT_EQ(exits[0].fields["pid"], secondPid);
    EXPECT_EQ(exits[0].fields["code"], 0);
    EXPECT_EQ(exits[0].t_us, 500000u);
    EXPECT_EQ(Events(r, "window").size(), 2u);  // the first instance's create and destroy
}

TEST(TraySpine, MissingDriverShowsTheWarningOnceAndExits)
{
    RunResult r = RunSteps(Win2000(false), Json::array({{{"at_ms", 0}, {"run", kTray}}}));
    auto boxes = Events(r, "msgbox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].fields["text"], "Can not load driver PEXACTRL.SYS");
    EXPECT_EQ(boxes[0].fields["caption"], "Pexaro");
    EXPECT_EQ(boxes[0].fields["type"], 0x30);  // MB_OK | MB_ICONWARNING
    auto exits = Events(r, "exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].fields["code"], 0);
    EXPECT_TRUE(Events(r, "window").empty());
    EXPECT_TRUE(Events(r, "tray").empty());
    EXPECT_TRUE(r.stillRunning.empty());
}

TEST(TraySpine, CloseEndsTheProgramWithCodeZeroAndRemovesTheIcon)
{
    RunResult r = RunSteps(Win2000(), Json::array({{{"at_ms", 0}, {"run", kTray}},
                                              {{"at_ms", 300}, {"post", "WM_CLOSE"}}}));
    auto exits = Events(r, "exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].fields["code"], 0);
    EXPECT_EQ(exits[0].t_us, 300000u);
    auto tray = Events(r, "tray");
    ASSERT_GE(tray.size(), 2u);
    EXPECT_EQ(tray.front().fields["op"], "add");
    EXPECT_EQ(tray.back().fields["op"], "delete");
    EXPECT_TRUE(r.stillRunning.empty());
}

// What each option does is seen from outside: -V shows the window, -b4 sends the 0x4E
// members of the control codes, -4 maps a Left code to a key.
struct OptionCase {
    const char* commandLine;
    bool visible;
    bool port4E;
    bool fourKeys;
};

class TrayOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(TrayOptions, AreRecognisedAsSpecified)
{
    const OptionCase& c = GetParam();
    Json machine = Win2000();
    machine["superio"] = {{"port", c.port4E ? "0x4E" : "0x2E"}};  // the chip where the program looks
    RunResult r = RunSteps(machine, Json::array({{{"at_ms", 0}, {"run", c.commandLine}},
                                              {{"at_ms", 200}, {"remote", "69 69 69"}},
                                              {{"at_ms", 600}, {"post", "WM_CLOSE"}}}));
    bool shown = false;
    for (const auto& e : Events(r, "window"))
        shown = shown || e.fields["op"] == "show";
    EXPECT_EQ(shown, c.visible);
    auto ioctls = Events(r, "ioctl");
    ASSERT_FALSE(ioctls.empty());
    uint32_t firstCode = ioctls.front().fields["code"];
    EXPECT_EQ(firstCode, c.port4E ? 0x2220CCu : 0x2220C8u);  // IOCTL_IR_REMOTE_ON_4E / _2E
    bool left = false;
    for (const auto& e : Events(r, "key"))
        left = left || e.fields["vk"] == 0x25;
    EXPECT_EQ(left, c.fourKeys);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, TrayOptions,
    ::testing::Values(
        OptionCase{"C:\\Pexa\\pexasmsc2k.exe", false, false, false},
        OptionCase{"\"C:\\Pexa\\pexasmsc2k.exe\" -v", true, false, false},
        OptionCase{"C:\\Pexa\\pexasmsc2k.exe /B4", false, true, false},
        OptionCase{"C:\\Pexa\\pexasmsc2k.exe -4 -b4", false, true, true},
        OptionCase{"\"C:\\Pexa\\pexasmsc2k.exe -V -4 -b4", false, false, false},  // no closing quote
        OptionCase{"\"C:\\Program Files\\Pexa\\pexasmsc2k.exe\" /V /4", true, false, true},
        // An unquoted path is searched from its first blank, slash or dash on.
        OptionCase{"C:\\x-v4\\pexasmsc2k.exe", true, false, false},
        OptionCase{"C:\\tools-4\\pexasmsc2k.exe", false, false, true}));

}  // namespace
