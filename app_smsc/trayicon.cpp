// The notification icon and its popup menu.
#include <string.h>

#include "language.h"
#include "tray.h"

BOOL SetTrayIcon(DWORD operation, int icon, const char* tip)
{
    HICON loaded = nullptr;
    if (icon) {
        loaded = LoadIconA(g_tray.instance, MAKEINTRESOURCEA(icon));
        if (!loaded)
            return FALSE;
    }
    NOTIFYICONDATAA data;
    memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    data.hWnd = g_tray.window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_TRAYICON;
    if (loaded) {
        data.uFlags |= NIF_ICON;
        data.hIcon = loaded;
    }
    if (tip) {
        data.uFlags |= NIF_TIP;
        strncpy(data.szTip, tip, sizeof data.szTip - 1);  // the last byte stays zero
    }
    BOOL result = Shell_NotifyIconA(operation, &data);
    if (loaded)
        DestroyIcon(loaded);
    return result;
}

namespace {

// Menu positions of the popup's three items.
const UINT kModeItem = 0;
const UINT kHelpItem = 1;
const UINT kCancelItem = 2;

// Gives an item its command and its localized text, fetched just before the change.
void SetMenuItem(HMENU menu, UINT position, UINT_PTR command, const char* textKey)
{
    SStr text = GetText("String", textKey);
    ModifyMenuA(menu, position, MF_BYPOSITION | MF_STRING, command, text.Chars());
}

}  // namespace

void ShowTrayMenu(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != TRAY_ICON_ID)
        return;
    if (mouseMessage != WM_LBUTTONUP && mouseMessage != WM_RBUTTONUP)
        return;
    // Remote mode offers Disable, normal mode Enable.
    const int menuId = g_tray.remoteOn ? IDR_TRAY_DISABLE : IDR_TRAY_ENABLE;
    const UINT_PTR modeCommand = g_tray.remoteOn ? IDM_DISABLE : IDM_ENABLE;
    const char* modeText = g_tray.remoteOn ? "Disable" : "Enable";

    HMENU menu = LoadMenuA(g_tray.instance, MAKEINTRESOURCEA(menuId));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup) {
        DestroyMenu(menu);
        return;
    }
    SetMenuItem(popup, kModeItem, modeCommand, modeText);
    SetMenuItem(popup, kHelpItem, IDM_HELP, "Help");
    SetMenuItem(popup, kCancelItem, IDCANCEL, "Cancel");

    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(g_tray.window);
    // The chosen item comes back as WM_COMMAND once the menu has closed.
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0,
                   g_tray.window, nullptr);
    DestroyMenu(popup);
    DestroyMenu(menu);
}
