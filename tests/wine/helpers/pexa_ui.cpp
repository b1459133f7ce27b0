// What a user sees and does, for the run under Wine: windows, message boxes, the popup
// menu of the notification icon, the notification icons themselves, and the exit code
// of a program found by its window.
//
//   pexa-ui title CLASS MS                 waits for the window, prints its title
//   pexa-ui wait-gone CLASS MS             waits until no window of the class exists
//   pexa-ui count CLASS                    prints how many top-level windows have it
//   pexa-ui answer CAPTION BUTTON MS       waits for the message box, prints its caption
//                                          and text, clicks yes|no|ok|cancel
//   pexa-ui no-box CAPTION MS              fails if such a message box shows up in time
//   pexa-ui menu POSITION MS               opens the tray program's popup menu as a
//                                          right click on its icon does, and picks the
//                                          item at POSITION (0 = first) by keyboard
//   pexa-ui icons                          prints the notification icons
//   pexa-ui wait-icons N MS                waits until exactly N icons are shown
//   pexa-ui wait-icon crossed|plain MS     waits until one icon is shown, crossed out
//                                          (normal-mode picture) or not
//   pexa-ui watch-exit CLASS MS            waits for the window, then for its process to
//                                          end; prints "exit CODE"
//   pexa-ui post CLASS MESSAGE WPARAM LPARAM
// Exit code 0 when the command saw what it waits for, 1 otherwise, 2 for a bad command.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const DWORD kPollMs = 25;
const char kTrayClass[] = "Pexaro Control";
const UINT kTrayCallbackMessage = WM_USER + 256;
const WPARAM kTrayIconId = 0x3456;
const char kMenuClass[] = "#32768";
const char kDialogClass[] = "#32770";
const int kMessageBoxTextId = 0xFFFF;

// Wine's X11 driver shows notification icons, when the X server has no tray of its
// own, as children of one stand-alone tray window.
const char kStandaloneTrayClass[] = "__winex11_standalone_tray";
const char kTrayIconClass[] = "__winex11_tray_icon";
// An icon counts as crossed out (the normal-mode picture) with this many red pixels.
const int kCrossedRedPixels = 10;
const DWORD kRedrawMs = 100;

// Calls `find` until it gives a window or the time is up.
template <typename Find>
HWND WaitFor(DWORD timeoutMs, Find find)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = find();
        if (window != NULL || GetTickCount() - start >= timeoutMs)
            return window;
        Sleep(kPollMs);
    }
}

DWORD ParseNumber(const char* text)
{
    return DWORD(strtoul(text, NULL, 0));
}

int Title(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const char* windowClass = argv[0];
    HWND window = WaitFor(ParseNumber(argv[1]), [&] { return FindWindowA(windowClass, NULL); });
    if (window == NULL) {
        printf("no window of class \"%s\"\n", windowClass);
        return 1;
    }
    char title[512] = "";
    GetWindowTextA(window, title, sizeof(title));
    printf("%s\n", title);
    return 0;
}

int WaitGone(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const char* windowClass = argv[0];
    DWORD start = GetTickCount();
    while (FindWindowA(windowClass, NULL) != NULL) {
        if (GetTickCount() - start >= ParseNumber(argv[1])) {
            printf("window of class \"%s\" still there\n", windowClass);
            return 1;
        }
        Sleep(kPollMs);
    }
    return 0;
}

int Count(int argc, char** argv)
{
    if (argc != 1)
        return 2;
    int count = 0;
    for (HWND window = FindWindowExA(NULL, NULL, argv[0], NULL); window != NULL;
         window = FindWindowExA(NULL, window, argv[0], NULL))
        ++count;
    printf("%d\n", count);
    return 0;
}

HWND FindMessageBox(const char* caption)
{
    return FindWindowA(kDialogClass, caption);
}

void PrintMessageBox(HWND box)
{
    char caption[256] = "";
    char text[1024] = "";
    GetWindowTextA(box, caption, sizeof(caption));
    GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof(text));
    printf("caption: %s\ntext: %s\n", caption, text);
}

int ButtonId(const char* name)
{
    if (strcmp(name, "yes") == 0)
        return IDYES;
    if (strcmp(name, "no") == 0)
        return IDNO;
    if (strcmp(name, "ok") == 0)
        return IDOK;
    if (strcmp(name, "cancel") == 0)
        return IDCANCEL;
    return 0;
}

int Answer(int argc, char** argv)
{
    if (argc != 3 || ButtonId(argv[1]) == 0)
        return 2;
    const char* caption = argv[0];
    HWND box = WaitFor(ParseNumber(argv[2]), [&] { return FindMessageBox(caption); });
    if (box == NULL) {
        printf("no message box \"%s\"\n", caption);
        return 1;
    }
    PrintMessageBox(box);
    HWND button = GetDlgItem(box, ButtonId(argv[1]));
    if (button == NULL) {
        printf("message box has no %s button\n", argv[1]);
        return 1;
    }
    SendMessageA(button, BM_CLICK, 0, 0);
    printf("answered: %s\n", argv[1]);
    return 0;
}

int NoBox(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const char* caption = argv[0];
    HWND box = WaitFor(ParseNumber(argv[1]), [&] { return FindMessageBox(caption); });
    if (box != NULL) {
        PrintMessageBox(box);
        return 1;
    }
    return 0;
}

void PressKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

int Menu(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    int position = int(ParseNumber(argv[0]));
    DWORD timeout = ParseNumber(argv[1]);
    HWND tray = FindWindowA(kTrayClass, NULL);
    if (tray == NULL) {
        printf("no window of class \"%s\"\n", kTrayClass);
        return 1;
    }
    PostMessageA(tray, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
    HWND menu = WaitFor(timeout, [] {
        HWND found = FindWindowA(kMenuClass, NULL);
        return found != NULL && IsWindowVisible(found) ? found : NULL;
    });
    if (menu == NULL) {
        printf("no popup menu\n");
        return 1;
    }
    for (int i = 0; i <= position; ++i)
        PressKey(menu, VK_DOWN);
    PressKey(menu, VK_RETURN);
    printf("menu item %d chosen\n", position);
    return 0;
}

// ---- notification icons ------------------------------------------------------------

// Reads the tip of the icon `icon` from the tooltip window of the process that shows the
// icons; the tool texts live in that process, so they are fetched through its memory.
bool ReadIconTip(HWND icon, char* tip, size_t size)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(icon, &pid);
    HWND tooltip = NULL;
    for (;;) {
        tooltip = FindWindowExA(NULL, tooltip, TOOLTIPS_CLASSA, NULL);
        DWORD owner = 0;
        if (tooltip == NULL || (GetWindowThreadProcessId(tooltip, &owner), owner == pid))
            break;
    }
    if (tooltip == NULL)
        return false;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process == NULL)
        return false;
    const SIZE_T kTextOffset = 1024;
    const SIZE_T kRemoteSize = 4096;
    BYTE* remote = (BYTE*)VirtualAllocEx(process, NULL, kRemoteSize, MEM_COMMIT, PAGE_READWRITE);
    bool found = false;
    LRESULT tools = SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; remote != NULL && i < tools && !found; ++i) {
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.lpszText = (LPWSTR)(remote + kTextOffset);
        WCHAR empty = 0;
        WriteProcessMemory(process, remote, &info, sizeof(info), NULL);
        WriteProcessMemory(process, remote + kTextOffset, &empty, sizeof(empty), NULL);
        if (!SendMessageW(tooltip, TTM_ENUMTOOLSW, WPARAM(i), LPARAM(remote)))
            continue;
        TOOLINFOW back = {};
        ReadProcessMemory(process, remote, &back, sizeof(back), NULL);
        if (back.hwnd != icon && HWND(back.uId) != icon)
            continue;
        WCHAR text[256] = {};
        ReadProcessMemory(process, remote + kTextOffset, text, sizeof(text) - sizeof(WCHAR), NULL);
        WideCharToMultiByte(CP_ACP, 0, text, -1, tip, int(size), NULL, NULL);
        found = true;
    }
    if (remote != NULL)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return found;
}

// Makes the tray's icons readable off the screen: above other windows, and freshly
// drawn, since Wine draws a changed icon over the old picture without erasing it first
// (the old picture would show through the new one's transparent pixels).
void RaiseTray(HWND tray)
{
    SetWindowPos(tray, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(tray, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(kRedrawMs);  // the tray belongs to another process, which draws in its own time
}

// Red pixels of the icon as it is on the screen.
int RedPixels(HWND icon)
{
    RECT rect;
    GetWindowRect(icon, &rect);
    HDC screen = GetDC(NULL);
    int red = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
            COLORREF color = GetPixel(screen, x, y);
            if (color != CLR_INVALID && GetRValue(color) > 150 && GetGValue(color) < 80 &&
                GetBValue(color) < 80)
                ++red;
        }
    }
    ReleaseDC(NULL, screen);
    return red;
}

int CountIcons(HWND* first)
{
    int count = 0;
    *first = NULL;
    HWND tray = FindWindowA(kStandaloneTrayClass, NULL);
    for (HWND icon = tray ? FindWindowExA(tray, NULL, kTrayIconClass, NULL) : NULL; icon != NULL;
         icon = FindWindowExA(tray, icon, kTrayIconClass, NULL)) {
        if (!IsWindowVisible(icon))
            continue;
        if (count++ == 0)
            *first = icon;
    }
    return count;
}

void PrintIcons()
{
    HWND tray = FindWindowA(kStandaloneTrayClass, NULL);
    int count = 0;
    for (HWND icon = tray ? FindWindowExA(tray, NULL, kTrayIconClass, NULL) : NULL; icon != NULL;
         icon = FindWindowExA(tray, icon, kTrayIconClass, NULL)) {
        if (!IsWindowVisible(icon))
            continue;
        ++count;
        RaiseTray(tray);
        char tip[256] = "";
        bool hasTip = ReadIconTip(icon, tip, sizeof(tip));
        int red = RedPixels(icon);
        printf("icon: tip \"%s\"%s, %d red pixels: %s\n", tip, hasTip ? "" : " (not found)", red,
               red >= kCrossedRedPixels ? "crossed out" : "not crossed out");
    }
    printf("icons: %d\n", count);
}

int Icons(int argc, char**)
{
    if (argc != 0)
        return 2;
    PrintIcons();
    return 0;
}

int WaitIcons(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    int wanted = int(ParseNumber(argv[0]));
    DWORD start = GetTickCount();
    HWND first = NULL;
    while (CountIcons(&first) != wanted && GetTickCount() - start < ParseNumber(argv[1]))
        Sleep(kPollMs);
    PrintIcons();
    return CountIcons(&first) == wanted ? 0 : 1;
}

int WaitIcon(int argc, char** argv)
{
    if (argc != 2 || (strcmp(argv[0], "crossed") != 0 && strcmp(argv[0], "plain") != 0))
        return 2;
    bool wantCrossed = strcmp(argv[0], "crossed") == 0;
    DWORD start = GetTickCount();
    for (;;) {
        HWND icon = NULL;
        if (CountIcons(&icon) == 1) {
            RaiseTray(GetParent(icon));
            if ((RedPixels(icon) >= kCrossedRedPixels) == wantCrossed)
                break;
        }
        if (GetTickCount() - start >= ParseNumber(argv[1])) {
            PrintIcons();
            return 1;
        }
        Sleep(kPollMs * 4);
    }
    PrintIcons();
    return 0;
}

// ---- processes -----------------------------------------------------------------------

int WatchExit(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const char* windowClass = argv[0];
    DWORD timeout = ParseNumber(argv[1]);
    HWND window = WaitFor(timeout, [&] { return FindWindowA(windowClass, NULL); });
    DWORD pid = 0;
    if (window != NULL)
        GetWindowThreadProcessId(window, &pid);
    HANDLE process = pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid) : NULL;
    if (process == NULL) {
        printf("no process with a window of class \"%s\"\n", windowClass);
        return 1;
    }
    char image[MAX_PATH] = "?";
    DWORD imageSize = sizeof(image);
    QueryFullProcessImageNameA(process, 0, image, &imageSize);
    printf("watching process %lu (%s)\n", (unsigned long)pid, image);
    fflush(stdout);
    DWORD code = 0;
    bool ended = WaitForSingleObject(process, timeout) == WAIT_OBJECT_0;
    if (ended)
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ended) {
        printf("still running\n");
        return 1;
    }
    printf("exit %lu\n", (unsigned long)code);
    return 0;
}

int Post(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    HWND window = FindWindowA(argv[0], NULL);
    if (window == NULL) {
        printf("no window of class \"%s\"\n", argv[0]);
        return 1;
    }
    return PostMessageA(window, ParseNumber(argv[1]), ParseNumber(argv[2]), ParseNumber(argv[3]))
               ? 0
               : 1;
}

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"title", Title},   {"wait-gone", WaitGone}, {"count", Count},
    {"answer", Answer}, {"no-box", NoBox},       {"menu", Menu},
    {"icons", Icons},   {"wait-icons", WaitIcons}, {"wait-icon", WaitIcon},
    {"watch-exit", WatchExit}, {"post", Post},
};

}  // namespace

int main(int argc, char** argv)
{
    int result = 2;
    for (const Command& command : kCommands) {
        if (argc >= 2 && strcmp(argv[1], command.name) == 0)
            result = command.run(argc - 2, argv + 2);
    }
    if (result == 2)
        printf("pexa-ui: bad command line (see the comment at the top of pexa_ui.cpp)\n");
    fflush(stdout);
    return result;
}
