#include "sim/desktop.h"

#include <algorithm>
#include <strings.h>

namespace sim {

Desktop::Desktop() = default;
Desktop::~Desktop() = default;

WindowEntry* Desktop::Find(HWND window)
{
    for (auto& w : windows)
        if (w->handle == window)
            return w.get();
    return nullptr;
}

WindowEntry* Desktop::FindLive(HWND window)
{
    WindowEntry* w = Find(window);
    return w && !w->destroyed ? w : nullptr;
}

HWND Desktop::NewWindowHandle()
{
    nextHandle_ += 0x10;
    return reinterpret_cast<HWND>(nextHandle_);
}

HMENU Desktop::NewMenu(std::unique_ptr<MenuEntry> menu)
{
    nextHandle_ += 0x10;
    HMENU handle = reinterpret_cast<HMENU>(nextHandle_);
    menus[handle] = std::move(menu);
    return handle;
}

HICON Desktop::NewIcon(int resource)
{
    nextHandle_ += 0x10;
    HICON handle = reinterpret_cast<HICON>(nextHandle_);
    icons[handle] = std::make_unique<IconEntry>(IconEntry{resource});
    return handle;
}

WindowEntry* Desktop::FindByClass(const std::string& className, const char* title)
{
    for (auto& w : windows) {
        if (w->destroyed || strcasecmp(w->className.c_str(), className.c_str()) != 0)
            continue;
        if (title && w->title != title)
            continue;
        return w.get();
    }
    return nullptr;
}

}  // namespace sim

namespace sim {

void Desktop::OnProcessExit(uint32_t pid)
{
    for (auto& w : windows)
        if (w->pid == pid)
            w->destroyed = true;
    trayIcons.erase(std::remove_if(trayIcons.begin(), trayIcons.end(),
                                   [pid](const TrayIconEntry& icon) { return icon.pid == pid; }),
                    trayIcons.end());
    classes.erase(std::remove_if(classes.begin(), classes.end(),
                                 [pid](const WindowClassEntry& c) { return c.pid == pid; }),
                  classes.end());
    if (foreground && !FindLive(foreground))
        foreground = nullptr;
}

}  // namespace sim
