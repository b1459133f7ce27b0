// The focused application of the run under Wine: a plain window that takes the focus and
// writes every key message it receives to a file, one line each, as it arrives:
//   down 21      WM_KEYDOWN with wParam 0x21
//   up 21        WM_KEYUP with wParam 0x21
//   # ready      the window is shown and has the focus
//   # focus lost / # focus   the focus went away or came back (keys may go elsewhere)
//   # deactivated for CLASS "TITLE"   another window became the active one
//   # focus taken back
// The window takes the focus back when it loses it, as a user would click on the
// presentation again: under Wine with a window manager the notification area's window
// takes the focus each time it appears, which is when the tray program adds its icon.
// Usage: pexa-keys OUTPUT_FILE. Ends on WM_CLOSE.
#include <windows.h>

#include <stdio.h>

namespace {

const char kClassName[] = "PexaKeyRecorder";
const char kTitle[] = "Pexa key recorder";
const UINT kTakeFocusBack = WM_APP + 1;
const int kMaxFocusTakeBacks = 20;  // never an endless fight over the focus

int g_focusTakeBacks;

FILE* g_log;

void Record(const char* line)
{
    fprintf(g_log, "%s\n", line);
    fflush(g_log);
}

void RecordKey(const char* direction, WPARAM key)
{
    fprintf(g_log, "%s %02X\n", direction, unsigned(key));
    fflush(g_log);
}

// Says which window took the activation, so that a run whose keys went elsewhere tells
// where they went.
void RecordOtherWindow(HWND other)
{
    char windowClass[128] = "";
    char title[128] = "";
    if (other != NULL) {
        GetClassNameA(other, windowClass, sizeof(windowClass));
        GetWindowTextA(other, title, sizeof(title));
    }
    fprintf(g_log, "# deactivated for %s \"%s\"\n", other ? windowClass : "(none)", title);
    fflush(g_log);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        RecordKey("down", wParam);
        return 0;
    case WM_KEYUP:
        RecordKey("up", wParam);
        return 0;
    case WM_SETFOCUS:
        Record("# focus");
        return 0;
    case WM_KILLFOCUS:
        Record("# focus lost");
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            RecordOtherWindow((HWND)lParam);
            if (g_focusTakeBacks < kMaxFocusTakeBacks)
                PostMessageA(window, kTakeFocusBack, 0, 0);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case kTakeFocusBack:
        ++g_focusTakeBacks;
        SetForegroundWindow(window);
        SetFocus(window);
        Record("# focus taken back");
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (commandLine == NULL || commandLine[0] == '\0')
        return 2;
    g_log = fopen(commandLine, "a");
    if (g_log == NULL)
        return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, 100, 100, 320, 200,
                                  NULL, NULL, instance, NULL);
    if (window == NULL)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
    // The pointer rests on this window: with a window manager whose focus follows the
    // mouse, a window appearing elsewhere (the notification area's) then takes no focus.
    RECT rect;
    GetWindowRect(window, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Record("# ready");

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    fclose(g_log);
    return 0;
}
