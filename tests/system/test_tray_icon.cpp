// The notification icon and its popup menu: which clicks open it, what it offers in
// each mode, its localized texts, the tip, and a machine without a notification area.
#include "tray_fixture.h"

using namespace traytest;

namespace {

using Effects_t = std::vector<std::string>;

TEST(TrayIcon, OnlyButtonReleasesOpenTheMenu)
{
    struct Case {
        const char* click;
        bool opens;
    };
    const Case cases[] = {{"left", true},         {"right", true},         {"left_down", false},
                          {"right_down", false},  {"left_double", false},  {"right_double", false},
                          {"move", false}};
    for (const Case& c : cases) {
        TrayRun run = RunTray(MachineOn("win2000"),
                              Json::array({Step(0, "run", kTray2k), Step(420, "tray_click", c.click),
                                           Step(520, "post", "WM_CLOSE")}));
        EXPECT_EQ(Events(run.result, "menu").size(), c.opens ? 1u : 0u) << c.click;
        // Closing the menu without a choice sends nothing.
        EXPECT_EQ(EffectsAt(run.result, 420), c.opens ? Effects_t{"menu none"} : Effects_t{})
            << c.click;
    }
}

// The menu opens at the cursor with the three items of the mode, their texts from the
// string table, tracked with the left button only.
TEST(TrayIcon, MenuOffersTheModesCommandWithLocalizedTexts)
{
    const char table[] =
        "[Proj]\r\nNameVersion=Fernbedienung 1.0\r\n\r\n[String]\r\nEnable=Einschalten\r\n"
        "Disable=Ausschalten\r\nHelp=Hilfe\r\nCancel=Abbrechen\r\n";
    TrayRun run = RunTray(
        MachineOn("win2000", {{"files", {{"C:\\Pexa\\str_us.txt", table}}}}),
        Json::array({Step(0, "run", kTray2k), Step(400, "set_cursor", {640, 470}),
                     Step(420, "tray_click", "right"), Step(520, "post", "WM_REMOTEOFF"),
                     Step(620, "tray_click", "left"), Step(720, "post", "WM_CLOSE")}));
    auto menus = Events(run.result, "menu");
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].fields["items"],
              Json::parse(R"([{"id": 32772, "text": "Ausschalten"}, {"id": 32774, "text": "Hilfe"},
                              {"id": 2, "text": "Abbrechen"}])"));
    EXPECT_EQ(menus[1].fields["items"],
              Json::parse(R"([{"id": 32771, "text": "Einschalten"}, {"id": 32774, "text": "Hilfe"},
                              {"id": 2, "text": "Abbrechen"}])"));
    for (const auto& menu : menus) {
        EXPECT_EQ(menu.fields["x"], 640);
        EXPECT_EQ(menu.fields["y"], 470);
        EXPECT_EQ(menu.fields["flags"], 0);  // left-top at the cursor, left button
    }
    EXPECT_EQ(Events(run.result, "tray")[0].fields["tip"], "Fernbedienung 1.0");
    // Every menu loaded was destroyed again.
    EXPECT_TRUE(run.machine().desktop.menus.empty());
}

TEST(TrayIcon, LongTipIsCutTo63Characters)
{
    const std::string name(70, 'x');
    const std::string table = "[Proj]\r\nNameVersion=" + name + "\r\n";
    TrayRun run = RunTray(MachineOn("win2000", {{"files", {{"C:\\Pexa\\str_us.txt", table}}}}),
                          Json::array({Step(0, "run", kTray2k), Step(420, "post", "WM_CLOSE")}));
    auto tray = Events(run.result, "tray");
    ASSERT_FALSE(tray.empty());
    EXPECT_EQ(tray[0].fields["tip"], name.substr(0, 63));
}

// The tip is given once, at the add; changes carry only the icon.
TEST(TrayIcon, ModeChangesSwapTheIconOnly)
{
    TrayRun run = RunTray(MachineOn("win98"),
                          Json::array({Step(0, "run", kTray98), Step(420, "post", "WM_REMOTEOFF"),
                                       Click(520, "left", "Enable"), Step(700, "post", "WM_CLOSE")}));
    auto tray = Events(run.result, "tray");
    ASSERT_EQ(tray.size(), 4u);
    EXPECT_EQ(tray[1].fields["icon"], kIconOff);
    EXPECT_TRUE(tray[1].fields["tip"].is_null());
    EXPECT_EQ(tray[2].fields["icon"], kIconOn);
    EXPECT_TRUE(tray[2].fields["tip"].is_null());
    for (const auto& t : tray) {
        EXPECT_EQ(t.fields["id"], 0x3456);
        EXPECT_TRUE(t.fields["ok"].get<bool>());
    }
}

// Without a notification area the program runs all the same: the add fails, later
// changes fail silently, and the mode still switches.
TEST(TrayIcon, NoNotificationArea)
{
    TrayRun run = RunTray(MachineOn("win98", {{"notification_area", false}}),
                          Json::array({Step(0, "run", kTray98), Step(100, "remote", "33 33 33"),
                                       Step(420, "post", "WM_REMOTEOFF"),
                                       Step(520, "post", "WM_CLOSE")}));
    for (const auto& t : Events(run.result, "tray"))
        EXPECT_FALSE(t.fields["ok"].get<bool>());
    EXPECT_EQ(EffectsAt(run.result, 420), (Effects_t{"set ASK=0", "REMOTE_OFF_2E",
                                                     "set CSConfigFlags=0", "pnp enable",
                                                     "tray modify 132"}));
    EXPECT_EQ(KeyEffects(run.result).size(), 2u);
    EXPECT_EQ(Events(run.result, "exit")[0].fields["code"], 0);
}

}  // namespace
