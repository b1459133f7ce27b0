// Start-up of the tray program and its message loop.
#include <string.h>

#include <pexactrl.h>

#include "language.h"
#include "progdir.h"
#include "strings.h"
#include "tray.h"

TrayState g_tray = {nullptr, nullptr, INVALID_HANDLE_VALUE, false, false, false, false,
                    false, false, false, {0}, 0};

bool IsAlreadyRunning()
{
    return FindWindowA(TRAY_WINDOW_CLASS, TRAY_WINDOW_TITLE) != nullptr;
}

bool OpenDriver()
{
    g_tray.device = CreateFileA(PEXACTRL_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_tray.device != INVALID_HANDLE_VALUE;
}

void ParseCommandLine()
{
    const char* commandLine = GetCommandLineA();
    const char* options = nullptr;
    if (commandLine[0] == '"') {
        const char* closingQuote = strchr(commandLine + 1, '"');
        if (closingQuote)
            options = closingQuote + 1;
    } else {
        options = strpbrk(commandLine, " /-\t");
    }
    if (!options)
        return;
    if (FindNoCase(options, "-V") || FindNoCase(options, "/V"))
        g_tray.visible = true;
    if (strstr(options, "/4") || strstr(options, "-4"))
        g_tray.fourKeyMap = true;
    if (FindNoCase(options, "/b4") || FindNoCase(options, "-b4"))
        g_tray.port4E = true;
}

bool CreateMainWindow()
{
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = g_tray.instance;
    windowClass.lpszClassName = TRAY_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass))
        return false;
    g_tray.window = CreateWindowExA(0, TRAY_WINDOW_CLASS, TRAY_WINDOW_TITLE, WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, g_tray.instance, nullptr);
    if (!g_tray.window)
        return false;
    if (g_tray.visible) {
        ShowWindow(g_tray.window, SW_SHOWNORMAL);
        UpdateWindow(g_tray.window);
    }
    return true;
}

int TrayMain(HINSTANCE instance)
{
    g_tray.instance = instance;
    if (IsAlreadyRunning())
        return 0;
    ChangeToProgramDirectory();
    LoadTexts();
    if (!OpenDriver()) {
        MessageBoxA(nullptr, "Can not load driver PEXACTRL.SYS", "Pexaro",
                    MB_OK | MB_ICONWARNING);
        return 0;
    }
    ParseCommandLine();
    if (!CreateMainWindow())
        return 0;

    int startIcon = IDI_REMOTE_OFF;
    if (RemoteModeValue(true, true)) {
        RemoteOn();
        startIcon = IDI_REMOTE_ON;
    } else {
        RemoteOff();
    }
    SetTrayIcon(NIM_ADD, startIcon, g_title.Chars());
    g_tray.iconAdded = true;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    SetTrayIcon(NIM_DELETE, 0, nullptr);
    CloseHandle(g_tray.device);
    return static_cast<int>(msg.wParam);
}
