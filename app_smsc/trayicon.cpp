// The notification icon and its popup menu.
#include <string.h>

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

void ShowTrayMenu(WPARAM, LPARAM) {}
