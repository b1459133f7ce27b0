// The machine description of the driver built for the run under Wine: what a test writes
// must give exactly that machine, and anything else must stop the driver with a reason
// instead of running a machine nobody asked for. Host test (built with the host tests).
#include <gtest/gtest.h>

#include <string>

#include "driver/sim_config_wine.h"

namespace {

using simwine::ParseError;
using simwine::RemoteScript;

struct Parsed {
    bool ok;
    hw::NotebookConfig config;
    RemoteScript script;
    ParseError error;
};

Parsed Parse(const std::string& text)
{
    Parsed parsed;
    parsed.script.count = 0;
    parsed.ok = simwine::ParseMachineDescription(text.data(), text.size(), parsed.config,
                                                 parsed.script, parsed.error);
    return parsed;
}

std::string Describe(const Parsed& parsed)
{
    char text[256];
    simwine::DescribeMachine(parsed.config, parsed.script, text, sizeof(text));
    return text;
}

TEST(SimConfigWine, NoSettingsIsTheDefaultMachine)
{
    for (const char* text : {"", "\n\n", "# only a comment\r\n", " ; ; "}) {
        Parsed parsed = Parse(text);
        ASSERT_TRUE(parsed.ok) << text;
        EXPECT_EQ(parsed.config.chipPort, 0x2E);
        EXPECT_EQ(parsed.config.registerModel, hw::RegisterModel::kFlat);
        EXPECT_FALSE(parsed.config.firmware.present);
        EXPECT_EQ(parsed.script.count, 0u);
        EXPECT_EQ(Describe(parsed), "chip 0x2E flat, no firmware, 0 presses");
    }
}

TEST(SimConfigWine, EverySettingReachesTheMachine)
{
    Parsed parsed = Parse(
        "chip = 0x4E\r\n"
        "REGISTERS = LDN   # names and words without regard to case\r\n"
        "global = 25 0  ; ldn5 = 0x60 02\n"
        "oem = _J57,____,_Vol,d___\n"
        "product = \"Skerry 46 #2  \"\n"
        "press = 800 33 33 33\n"
        "press=1100 cc CC 0xCC\n"
        "press = 0 12\n");
    ASSERT_TRUE(parsed.ok) << parsed.error.message;
    const hw::NotebookConfig& config = parsed.config;
    EXPECT_EQ(config.chipPort, 0x4E);
    EXPECT_EQ(config.registerModel, hw::RegisterModel::kLogicalDevice);
    EXPECT_EQ(config.globalRegisters[0x25], 0x00);
    EXPECT_EQ(config.infraredRegisters[0x60], 0x02);
    EXPECT_EQ(config.infraredRegisters[0x61], 0xF8) << "untouched registers keep their default";
    EXPECT_TRUE(config.firmware.present);
    EXPECT_EQ(std::string(config.firmware.oemId, 16), "_J57_____Vold___");
    EXPECT_STREQ(config.firmware.productName, "Skerry 46 #2  ");

    ASSERT_EQ(parsed.script.count, 3u);
    const simwine::RemotePress* presses = parsed.script.presses;
    EXPECT_EQ(presses[0].atMs, 800u);
    EXPECT_EQ(std::string((const char*)presses[0].bytes, presses[0].length), "\x33\x33\x33");
    EXPECT_EQ(presses[1].atMs, 1100u);
    EXPECT_EQ(std::string((const char*)presses[1].bytes, presses[1].length), "\xCC\xCC\xCC");
    EXPECT_EQ(presses[2].length, 1) << "a burst of any length, for fault tests";

    EXPECT_EQ(Describe(parsed),
              "chip 0x4E ldn, firmware oem _J57_____Vold___ product \"Skerry 46 #2  \", 3 presses");
}

TEST(SimConfigWine, FirmwareAndChipCanBeAbsent)
{
    Parsed parsed = Parse("oem = _Tov,____,_Lum,____\nfirmware = none\nchip = none");
    ASSERT_TRUE(parsed.ok);
    EXPECT_FALSE(parsed.config.firmware.present);
    EXPECT_FALSE(parsed.config.firmware.hasOemId);
    EXPECT_EQ(parsed.config.chipPort, 0);
    EXPECT_EQ(Describe(parsed), "no chip, no firmware, 0 presses");

    parsed = Parse("firmware = garbage");
    ASSERT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.config.firmware.answersGarbage);
    EXPECT_EQ(Describe(parsed), "chip 0x2E flat, firmware garbage, 0 presses");
}

TEST(SimConfigWine, WrongSettingsNameTheirLineAndReason)
{
    struct Case {
        const char* text;
        uint32_t line;
        const char* message;
    };
    const Case cases[] = {
        {"chip = 0x3F", 1, "chip must be 0x2E, 0x4E or none: 0x3F"},
        {"chip = 0x2E\nchip", 2, "expected name = value: chip"},
        {"chip = 0x2E;colour = red", 2, "unknown setting: colour"},
        {"registers = paged", 1, "registers must be flat or ldn: paged"},
        {"global = 100 00", 1, "expected a register and its value in hex: 100 00"},
        {"global = 25", 1, "expected a register and its value in hex: 25"},
        {"ldn5 = 60 03 F8", 1, "expected a register and its value in hex: 60 03 F8"},
        {"oem = _Tov,____,_Lum", 1, "oem needs four chunks of four characters: _Tov,____,_Lum"},
        {"oem = _Tov,____,_Lum,_____", 1,
         "oem needs four chunks of four characters: _Tov,____,_Lum,_____"},
        {"product = \"\"", 1, "product name empty or longer than 63 characters: "},
        {"firmware = old", 1, "firmware must be none or garbage: old"},
        {"press = soon 33 33 33", 1, "press needs a time in ms, then hex bytes: soon 33 33 33"},
        {"press = 99999999999 33", 1, "press needs a time in ms, then hex bytes: 99999999999 33"},
        {"press = 100", 1, "press without bytes: 100"},
        {"press = 100 333", 1, "press bytes must be up to 16 hex bytes: 100 333"},
        {"press = 100 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10", 1,
         "press bytes must be up to 16 hex bytes: 100 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D "
         "0E 0F 10"},
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.text);
        EXPECT_FALSE(parsed.ok) << c.text;
        EXPECT_EQ(parsed.error.line, c.line) << c.text;
        EXPECT_STREQ(parsed.error.message, c.message) << c.text;
    }
}

TEST(SimConfigWine, ThePressTableHasALimit)
{
    std::string text;
    for (size_t i = 0; i < RemoteScript::kMaxPresses; ++i)
        text += "press = " + std::to_string(i) + " 33 33 33\n";
    EXPECT_TRUE(Parse(text).ok);
    Parsed parsed = Parse(text + "press = 9999 33 33 33\n");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error.line, RemoteScript::kMaxPresses + 1);
    EXPECT_STREQ(parsed.error.message, "too many presses");
}

TEST(SimConfigWine, TheDescriptionOfTheMachineIsCutToItsBuffer)
{
    Parsed parsed = Parse("product = \"" + std::string(63, 'x') + "\"");
    ASSERT_TRUE(parsed.ok);
    char small[16];
    simwine::DescribeMachine(parsed.config, parsed.script, small, sizeof(small));
    EXPECT_STREQ(small, "chip 0x2E flat,");
}

}  // namespace
