// The simulated desktop: window classes and windows, the notification area, menus,
// message boxes with scripted answers, the mouse cursor and the focused application
// that receives key presses.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/resources.h"
#include "win/types.h"
#include "win/user32.h"

namespace sim {

struct WindowClassEntry {
    std::string name;
    WNDPROC proc = nullptr;
    uint32_t pid = 0;
};

struct WindowEntry {
    HWND handle = nullptr;
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    uint32_t pid = 0;
    bool visible = false;
    bool destroyed = false;
};

struct TrayIconEntry {
    HWND window = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    int icon = 0;  // resource number of the icon shown
    std::string tip;
    uint32_t pid = 0;
};

struct MenuItemEntry {
    UINT_PTR id = 0;
    std::string text;
    HMENU popup = nullptr;
};

struct MenuEntry {
    std::vector<MenuItemEntry> items;
};

struct IconEntry {
    int resource = 0;
};

// What the next popup menu should do: choose an item (by command text, by position or by
// identifier) or close without a choice.
struct MenuChoice {
    enum Kind { None, ByText, ByPosition } kind = None;
    std::string text;
    int position = 0;
};

class Desktop {
public:
    Desktop();
    ~Desktop();

    std::vector<WindowClassEntry> classes;
    std::vector<std::unique_ptr<WindowEntry>> windows;
    std::vector<TrayIconEntry> trayIcons;
    std::map<HMENU, std::unique_ptr<MenuEntry>> menus;
    std::map<HICON, std::unique_ptr<IconEntry>> icons;
    bool notificationArea = true;
    POINT cursor{800, 580};
    std::deque<int> messageBoxAnswers;  // button ids queued by scenario steps
    std::deque<MenuChoice> menuChoices;  // one per expected popup
    HWND foreground = nullptr;

    WindowEntry* Find(HWND window);
    WindowEntry* FindLive(HWND window);
    HWND NewWindowHandle();
    HMENU NewMenu(std::unique_ptr<MenuEntry> menu);
    HICON NewIcon(int resource);
    // The first live window with this class (and title, when given), in creation order.
    WindowEntry* FindByClass(const std::string& className, const char* title = nullptr);
    // A process ended: its windows, timers and notification icons go with it.
    void OnProcessExit(uint32_t pid);

private:
    uintptr_t nextHandle_ = 0x10010;
};

// Has the owner of a window destroy it on its own thread, as Windows does at the end of a
// session (defined with the window services).
void SendSystemDestroy(HWND window);

}  // namespace sim
