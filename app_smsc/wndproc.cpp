// The main window's message dispatch: every action of the program starts here.
#include "tray.h"
#include "language.h"

namespace {

LRESULT EndingSession(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CleanUpHardwareProfiles();
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        CleanUpHardwareProfiles();
        PostQuitMessage(static_cast<int>(wParam));
        return 0;
    case WM_QUERYENDSESSION:
        return EndingSession(window, message, wParam, lParam);
    case WM_COMMAND:
        // The whole wParam is compared: only menu commands (high word 0) match.
        if (wParam == IDM_ENABLE) {
            RemoteOn();
        } else if (wParam == IDM_DISABLE) {
            if (g_osVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
                RemoteOff();
            else
                AskReboot();
        } else if (wParam == IDM_HELP) {
            ShowHelp();
        } else {
            return EndingSession(window, message, wParam, lParam);
        }
        return 0;
    case WM_TIMER:
        PollCode();
        return 0;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_TRAYICON:
        ShowTrayMenu(wParam, lParam);
        return 0;
    case WM_REMOTEOFF:
        RemoteOff();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
