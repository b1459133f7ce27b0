// Notification area, icons, menus, message boxes, key input and shutdown of the
// stand-in layer.
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "api_common.h"
#include "text_for_trace.h"

using namespace sim;

namespace sim {
void SendSystemDestroy(HWND window);
}

namespace {

const DWORD kResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
const DWORD kPrivilegeNotHeld = 1314;  // ERROR_PRIVILEGE_NOT_HELD

Process* ProcessOf(HINSTANCE instance)
{
    for (Process* p : M().scheduler.Processes())
        if (reinterpret_cast<HINSTANCE>(p) == instance)
            return p;
    return nullptr;
}

int IconResource(HICON icon)
{
    auto& icons = M().desktop.icons;
    auto it = icons.find(icon);
    return it == icons.end() ? 0 : it->second->resource;
}

HMENU BuildMenu(const std::vector<MenuItemResource>& items)
{
    auto menu = std::make_unique<MenuEntry>();
    for (const auto& item : items) {
        MenuItemEntry entry;
        entry.text = item.text;
        entry.id = item.id;
        if (item.isPopup)
            entry.popup = BuildMenu(item.popup);
        menu->items.push_back(entry);
    }
    return M().desktop.NewMenu(std::move(menu));
}

MenuEntry* MenuOf(HMENU menu)
{
    auto& menus = M().desktop.menus;
    auto it = menus.find(menu);
    return it == menus.end() ? nullptr : it->second.get();
}

// The commands a scenario can choose by name, whatever the item's localized text.
struct NamedCommand {
    const char* name;
    UINT_PTR id;
};
const NamedCommand kNamedCommands[] = {
    {"Enable", 32771}, {"Disable", 32772}, {"Help", 32774}, {"Cancel", 2}};

const MenuItemEntry* Chosen(const MenuEntry& menu, const MenuChoice& choice)
{
    if (choice.kind == MenuChoice::ByPosition) {
        if (choice.position >= 0 && choice.position < static_cast<int>(menu.items.size()))
            return &menu.items[static_cast<size_t>(choice.position)];
        return nullptr;
    }
    if (choice.kind != MenuChoice::ByText)
        return nullptr;
    for (const auto& command : kNamedCommands)
        if (strcasecmp(command.name, choice.text.c_str()) == 0)
            for (const auto& item : menu.items)
                if (item.id == command.id)
                    return &item;
    for (const auto& item : menu.items)
        if (item.text == choice.text)
            return &item;
    return nullptr;
}

const char* ButtonName(int button)
{
    static const char* const names[] = {"", "ok", "cancel", "abort", "retry", "ignore", "yes", "no"};
    return button >= 1 && button <= 7 ? names[button] : "";
}

std::vector<int> Buttons(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

void ShutDownSession()
{
    Machine& m = M();
    std::vector<HWND> windows;
    for (auto& w : m.desktop.windows)
        if (!w->destroyed)
            windows.push_back(w->handle);
    for (HWND w : windows)
        m.scheduler.SendFromSystem(w, WM_QUERYENDSESSION, 0, 0);
    for (HWND w : windows)
        m.scheduler.SendFromSystem(w, WM_ENDSESSION, TRUE, 0);
    for (HWND w : windows)
        SendSystemDestroy(w);
    m.Emit("reboot");
    m.rebootRequested = true;
}

}  // namespace

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    Process* p = ProcessOf(instance);
    if (!p || !name)
        return Fail<HICON>(kResourceNotFound, nullptr);
    if (IS_INTRESOURCE(name)) {
        int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
        if (!p->resources.icons.count(id))
            return Fail<HICON>(kResourceNotFound, nullptr);
        return M().desktop.NewIcon(id);
    }
    if (!p->resources.namedIcons.count(name))
        return Fail<HICON>(kResourceNotFound, nullptr);
    return M().desktop.NewIcon(-1);
}

BOOL WINAPI DestroyIcon(HICON icon)
{
    return M().desktop.icons.erase(icon) > 0;
}

HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name)
{
    Process* p = ProcessOf(instance);
    if (!p || !IS_INTRESOURCE(name))
        return Fail<HMENU>(kResourceNotFound, nullptr);
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    auto it = p->resources.menus.find(id);
    if (it == p->resources.menus.end())
        return Fail<HMENU>(kResourceNotFound, nullptr);
    return BuildMenu(it->second);
}

HMENU WINAPI GetSubMenu(HMENU menu, int position)
{
    MenuEntry* m = MenuOf(menu);
    if (!m || position < 0 || position >= static_cast<int>(m->items.size()))
        return nullptr;
    return m->items[static_cast<size_t>(position)].popup;
}

BOOL WINAPI ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newId, LPCSTR text)
{
    MenuEntry* m = MenuOf(menu);
    if (!m || !(flags & MF_BYPOSITION) || position >= m->items.size())
        return FALSE;
    MenuItemEntry& item = m->items[position];
    item.id = newId;
    item.text = text ? text : "";
    item.popup = nullptr;
    return TRUE;
}

BOOL WINAPI DestroyMenu(HMENU menu)
{
    return M().desktop.menus.erase(menu) > 0;
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    MenuEntry* m = MenuOf(menu);
    if (!m)
        return FALSE;
    MenuChoice choice;
    auto& choices = M().desktop.menuChoices;
    if (!choices.empty()) {
        choice = choices.front();
        choices.pop_front();
    }
    const MenuItemEntry* chosen = Chosen(*m, choice);
    Json items = Json::array();
    for (const auto& item : m->items)
        items.push_back({{"id", item.id}, {"text", TraceText(item.text)}});
    M().Emit("menu", {{"items", items},
                      {"x", x},
                      {"y", y},
                      {"flags", flags},
                      {"choice", chosen ? Json(chosen->id) : Json(nullptr)}});
    if (chosen)
        PostMessageA(owner, WM_COMMAND, chosen->id, 0);
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT point)
{
    if (!point)
        return FALSE;
    *point = M().desktop.cursor;
    return TRUE;
}

void WINAPI keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR)
{
    M().Emit("key", {{"vk", vk}, {"up", (flags & KEYEVENTF_KEYUP) != 0}, {"scan", scan},
                     {"flags", flags}});
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    std::vector<int> buttons = Buttons(type);
    size_t defaultIndex = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
    int answer = buttons[std::min(defaultIndex, buttons.size() - 1)];
    auto& answers = M().desktop.messageBoxAnswers;
    bool scripted = false;
    if (!answers.empty()) {
        int queued = answers.front();
        answers.pop_front();
        if (std::find(buttons.begin(), buttons.end(), queued) != buttons.end()) {
            answer = queued;
            scripted = true;
        }
    }
    M().Emit("msgbox", {{"text", TraceText(text ? text : "")},
                        {"caption", TraceText(caption ? caption : "")},
                        {"type", type},
                        {"answer", answer},
                        {"button", ButtonName(answer)},
                        {"scripted", scripted},
                        {"pid", P().pid}});
    return answer;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason)
{
    Machine& m = M();
    if (!m.IsWin9x() && !P().shutdownPrivilege) {
        m.Emit("exitwindows", {{"flags", flags}, {"reason", reason}, {"ok", false}});
        return Fail<BOOL>(kPrivilegeNotHeld, FALSE);
    }
    m.Emit("exitwindows", {{"flags", flags}, {"reason", reason}, {"ok", true}});
    // Windows ends the session after the call returns.
    m.scheduler.At(m.clock.now, ShutDownSession);
    return TRUE;
}

BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data)
{
    Machine& m = M();
    if (!data)
        return FALSE;
    static const char* const ops[] = {"add", "modify", "delete"};
    const char* op = message <= NIM_DELETE ? ops[message] : "?";
    auto& icons = m.desktop.trayIcons;
    auto it = std::find_if(icons.begin(), icons.end(), [data](const TrayIconEntry& e) {
        return e.window == data->hWnd && e.id == data->uID;
    });
    bool ok = m.desktop.notificationArea && data->cbSize >= sizeof(NOTIFYICONDATAA);
    if (ok && message == NIM_ADD)
        ok = it == icons.end();
    if (ok && (message == NIM_MODIFY || message == NIM_DELETE))
        ok = it != icons.end();
    if (ok && message > NIM_DELETE)
        ok = false;
    TrayIconEntry entry = it == icons.end() ? TrayIconEntry{} : *it;
    if (ok && message != NIM_DELETE) {
        entry.window = data->hWnd;
        entry.id = data->uID;
        entry.pid = P().pid;
        if (data->uFlags & NIF_MESSAGE)
            entry.callbackMessage = data->uCallbackMessage;
        if (data->uFlags & NIF_ICON)
            entry.icon = IconResource(data->hIcon);
        if (data->uFlags & NIF_TIP)
            entry.tip.assign(data->szTip, strnlen(data->szTip, sizeof data->szTip - 1));
        if (it == icons.end())
            icons.push_back(entry);
        else
            *it = entry;
    }
    if (ok && message == NIM_DELETE)
        icons.erase(it);
    Json fields{{"op", op}, {"ok", ok}, {"id", data->uID}};
    if (message != NIM_DELETE) {
        fields["icon"] = (data->uFlags & NIF_ICON) ? Json(IconResource(data->hIcon)) : Json(nullptr);
        fields["tip"] = (data->uFlags & NIF_TIP)
                            ? Json(TraceText(std::string(data->szTip, strnlen(data->szTip, 63))))
                            : Json(nullptr);
    }
    m.Emit("tray", fields);
    return ok;
}

}  // extern "C"
