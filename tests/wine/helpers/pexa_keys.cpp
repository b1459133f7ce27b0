// The focused application of the run under Wine: a plain window that takes the focus and
// writes every key message it receives to a file, one line each, as it arrives:
//   down 21      WM_KEYDOWN with wParam 0x21
//   up 21        WM_KEYUP with wParam 0x21
//   # ready      the window is shown and has the focus
//   # focus lost / # focus   the focus went away or came back (keys may go elsewhere)
// Usage: pexa-keys OUTPUT_FILE. Ends on WM_CLOSE.
#include <windows.h>

#include <stdio.h>

namespace {

const char kClassName[] = "PexaKeyRecorder";
const char kTitle[] = "Pexa key recorder";

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
    Record("# ready");

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    fclose(g_log);
    return 0;
}
