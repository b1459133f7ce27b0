// Remote buttons become keys in the focused application: the two-key mapping (default)
// and the four-key mapping ("-4"), one press and release per code, nothing for a tie;
// with "-V" the window title shows the last four codes.
#include "tray_fixture.h"

using namespace traytest;

namespace {

struct KeyCase {
    const char* code;
    const char* key;  // nullptr: nothing is sent
};

void PrintTo(const KeyCase& c, std::ostream* os)
{
    *os << c.code;
}

std::vector<std::string> KeysForCode(const char* options, const char* code)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", std::string(kTray2k) + options),
                                       Step(100, "remote", code),
                                       Step(420, "post", "WM_CLOSE")}));
    // The code was read, whatever it maps to.
    EXPECT_EQ(Count(Effects(run.result), "READ_CODE_2E:3"), 1u) << code;
    return KeyEffects(run.result);
}

std::vector<std::string> Press(const char* key)
{
    if (!key)
        return {};
    return {std::string("key ") + key + " down", std::string("key ") + key + " up"};
}

class TwoKeyMapping : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TwoKeyMapping, SendsOnePressAndRelease)
{
    EXPECT_EQ(KeysForCode("", GetParam().code), Press(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, TwoKeyMapping,
    ::testing::Values(KeyCase{"33 33 33", "PageUp"}, KeyCase{"CC CC CC", "PageDown"},
                      KeyCase{"12 CC 33", "PageDown"},  // byte 1 is found before byte 2
                      KeyCase{"33 CC 00", "PageUp"},    // byte 0 decides
                      KeyCase{"37 3B 77", "PageUp"},    // counts 3 to 0
                      KeyCase{"CE DC 4C", "PageDown"},  // counts 1 to 3
                      KeyCase{"00 00 00", nullptr}, KeyCase{"FF FF FF", nullptr},
                      KeyCase{"69 69 69", nullptr}, KeyCase{"96 96 96", nullptr}));

class FourKeyMapping : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FourKeyMapping, SendsOnePressAndRelease)
{
    EXPECT_EQ(KeysForCode(" -4", GetParam().code), Press(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FourKeyMapping,
    ::testing::Values(KeyCase{"33 33 33", "PageUp"}, KeyCase{"CC CC CC", "PageDown"},
                      KeyCase{"69 69 69", "Left"}, KeyCase{"96 96 96", "Right"},
                      KeyCase{"69 3C 00", "Left"},    // votes 1 / 1 / 2 / 0
                      KeyCase{"0C 0C 0C", "PageDown"},
                      KeyCase{"12 CC 33", nullptr},   // 2 / 2 tie
                      KeyCase{"69 96 00", nullptr},   // Left and Right tie
                      KeyCase{"3C 3C 3C", nullptr}, KeyCase{"00 00 00", nullptr}));

// One code per tick at most: codes pressed close together come out on later ticks, each
// as its own press and release, never held or repeated.
TEST(TrayKeys, CodesInQuickSuccessionGiveOneKeyPerTick)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(100, "remote", "33 33 33"),
                                       Step(102, "remote", "CC CC CC"),
                                       Step(700, "post", "WM_CLOSE")}));
    auto keys = Events(run.result, "key");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(KeyEffects(run.result), (std::vector<std::string>{"key PageUp down", "key PageUp up",
                                                                "key PageDown down",
                                                                "key PageDown up"}));
    EXPECT_EQ(keys[0].t_us, keys[1].t_us);
    EXPECT_GE(keys[2].t_us - keys[0].t_us, 150000u);
    for (const auto& k : keys) {
        EXPECT_EQ(k.fields["scan"], 0);
        EXPECT_EQ(k.fields["flags"], k.fields["up"].get<bool>() ? 2 : 0);  // KEYEVENTF_KEYUP
    }
}

TEST(TrayKeys, VisibleWindowTitleShowsTheLastFourCodes)
{
    const char* codes[] = {"33 33 33", "CC CC CC", "12 34 56", "69 69 69", "96 96 96"};
    Json steps = Json::array({Step(0, "run", kTray2k + std::string(" -V"))});
    for (int i = 0; i < 5; ++i)
        steps.push_back(Step(100 + 150 * i, "remote", codes[i]));
    steps.push_back(Step(1000, "post", "WM_CLOSE"));
    TrayRun run = RunTray(MachineOn("win2000"), steps);
    auto titles = Events(run.result, "title");
    ASSERT_EQ(titles.size(), 5u);
    EXPECT_EQ(titles[0].fields["text"], "[00][00][00]=[00][00][00]=[00][00][00]=[33][33][33]=");
    // A code that maps to nothing is still shown.
    EXPECT_EQ(titles[2].fields["text"], "[00][00][00]=[33][33][33]=[CC][CC][CC]=[12][34][56]=");
    // The fifth code pushes the first one out.
    EXPECT_EQ(titles[4].fields["text"], "[CC][CC][CC]=[12][34][56]=[69][69][69]=[96][96][96]=");
    for (const auto& t : titles)
        EXPECT_EQ(t.fields["text"].get<std::string>().size(), 52u);
}

TEST(TrayKeys, HiddenWindowKeepsItsTitle)
{
    TrayRun run = RunTray(MachineOn("win2000"),
                          Json::array({Step(0, "run", kTray2k), Step(100, "remote", "33 33 33"),
                                       Step(420, "post", "WM_CLOSE")}));
    EXPECT_TRUE(Events(run.result, "title").empty());
    EXPECT_EQ(KeyEffects(run.result).size(), 2u);
}

// A code that arrives in normal mode is not read at all: no timer, no request.
TEST(TrayKeys, NormalModeSendsNoKey)
{
    TrayRun run = RunTray(
        MachineOn("win2000", {{"registry", Json::array({RegDword(kServiceKey, "ASK", 0)})}}),
        Json::array({Step(0, "run", kTray2k), Step(100, "remote", "33 33 33"),
                     Step(700, "post", "WM_CLOSE")}));
    EXPECT_TRUE(Events(run.result, "key").empty());
    EXPECT_EQ(Count(Effects(run.result), "READ_CODE_2E:0"), 0u);
}

}  // namespace
