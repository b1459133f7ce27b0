// Window classes, windows, messages and timers of the stand-in layer.
#include <algorithm>
#include <stdexcept>
#include <cstring>
#include <strings.h>

#include "api_common.h"
#include "text_for_trace.h"

using namespace sim;

namespace {

// Sent by the system at a restart so that the owner destroys its window on its own
// thread, as Windows does at the end of a session.
const UINT kSystemDestroy = 0x7FFF0001;

// A program that takes this many messages without virtual time moving on never waits:
// it would keep the run busy for ever, so it is stopped and reported.
const uint64_t kMaxMessagesWithoutTime = 200000;

WindowEntry* LiveWindow(HWND window)
{
    return M().desktop.FindLive(window);
}

Process* Owner(const WindowEntry& w)
{
    return M().scheduler.Find(w.pid);
}

LRESULT CallProc(WindowEntry& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    return w.proc ? w.proc(w.handle, message, wParam, lParam) : 0;
}

bool TakeMessage(Process& self, MSG& msg)
{
    for (;;) {
        if (self.killed)
            throw ProcessKilled{};
        if (!self.queue.empty() && self.queue.front().sent) {
            QueuedMessage sent = self.queue.front();
            self.queue.pop_front();
            LRESULT result = 0;
            WindowEntry* w = LiveWindow(sent.window);
            if (w && sent.message == kSystemDestroy)
                DestroyWindow(sent.window);
            else if (w)
                result = CallProc(*w, sent.message, sent.wParam, sent.lParam);
            M().scheduler.CompleteSend(sent.sendId, result);
            continue;
        }
        auto posted = std::find_if(self.queue.begin(), self.queue.end(),
                                   [](const QueuedMessage& m) { return !m.sent; });
        if (posted != self.queue.end()) {
            msg = MSG{posted->window, posted->message, posted->wParam, posted->lParam,
                      GetTickCount(), M().desktop.cursor};
            self.queue.erase(posted);
            return true;
        }
        if (self.quitPosted) {
            self.quitPosted = false;
            msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(self.quitCode), 0, GetTickCount(), {}};
            return true;
        }
        uint64_t now = M().clock.now;
        for (auto& timer : self.timers) {
            if (timer.dueNs <= now) {
                timer.dueNs = now + timer.periodNs;
                msg = MSG{timer.window, WM_TIMER, timer.id, 0, GetTickCount(), {}};
                return true;
            }
        }
        self.wait = Process::Wait::Message;
        M().scheduler.Yield(self);
        self.wait = Process::Wait::None;
    }
}

}  // namespace

namespace sim {

void SendSystemDestroy(HWND window)
{
    M().scheduler.SendFromSystem(window, kSystemDestroy, 0, 0);
}

}  // namespace sim

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc)
        return Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    auto& classes = M().desktop.classes;
    uint32_t pid = P().pid;
    for (const auto& c : classes)
        if (c.pid == pid && strcasecmp(c.name.c_str(), windowClass->lpszClassName) == 0)
            return Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    classes.push_back(WindowClassEntry{windowClass->lpszClassName, windowClass->lpfnWndProc, pid});
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int, int, int,
                            int, HWND, HMENU, HINSTANCE, LPVOID)
{
    uint32_t pid = P().pid;
    const WindowClassEntry* found = nullptr;
    for (const auto& c : M().desktop.classes)
        if (c.pid == pid && className && strcasecmp(c.name.c_str(), className) == 0)
            found = &c;
    if (!found)
        return Fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    auto entry = std::make_unique<WindowEntry>();
    entry->handle = M().desktop.NewWindowHandle();
    entry->className = found->name;
    entry->title = windowName ? windowName : "";
    entry->proc = found->proc;
    entry->pid = pid;
    entry->visible = (style & WS_VISIBLE) != 0;
    WindowEntry& w = *entry;
    M().desktop.windows.push_back(std::move(entry));
    M().Emit("window", {{"op", "create"}, {"class", w.className}, {"title", TraceText(w.title)},
                        {"pid", pid}});
    if (CallProc(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(w.handle);
        return nullptr;
    }
    return w.handle;
}

BOOL WINAPI ShowWindow(HWND window, int show)
{
    WindowEntry* w = LiveWindow(window);
    if (!w)
        return FALSE;
    BOOL wasVisible = w->visible;
    w->visible = show != SW_HIDE;
    if (w->visible != (wasVisible != 0))
        M().Emit("window", {{"op", w->visible ? "show" : "hide"}, {"class", w->className},
                            {"pid", w->pid}});
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    return LiveWindow(window) != nullptr;
}

BOOL WINAPI IsWindow(HWND window)
{
    return LiveWindow(window) != nullptr;
}

BOOL WINAPI DestroyWindow(HWND window)
{
    WindowEntry* w = LiveWindow(window);
    if (!w)
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    w->destroyed = true;  // before WM_DESTROY, so the window cannot be destroyed twice
    if (Process* owner = Owner(*w)) {
        auto& timers = owner->timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(),
                                    [window](const WindowTimer& t) { return t.window == window; }),
                     timers.end());
    }
    M().Emit("window", {{"op", "destroy"}, {"class", w->className}, {"pid", w->pid}});
    if (w->proc)
        w->proc(window, WM_DESTROY, 0, 0);
    if (M().desktop.foreground == window)
        M().desktop.foreground = nullptr;
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
    case WM_POWERBROADCAST:
        return TRUE;
    default:
        return 0;
    }
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT)
{
    Process& self = P();
    if (!InSimulatedProcess())
        return -1;
    TakeMessage(self, *msg);
    uint64_t now = M().clock.now;
    self.messagesWithoutTime = now == self.lastMessageNs ? self.messagesWithoutTime + 1 : 0;
    self.lastMessageNs = now;
    if (self.messagesWithoutTime > kMaxMessagesWithoutTime)
        throw std::runtime_error("the program keeps taking messages without ever waiting");
    return msg->message != WM_QUIT;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    WindowEntry* w = LiveWindow(msg->hwnd);
    if (!w || w->pid != P().pid)
        return 0;
    return CallProc(*w, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Process* target = nullptr;
    if (!window) {
        target = &P();
    } else {
        WindowEntry* w = LiveWindow(window);
        if (!w)
            return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        target = Owner(*w);
    }
    if (!target || target->state == ProcessState::Exited)
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    target->queue.push_back(QueuedMessage{window, message, wParam, lParam, false, 0});
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowEntry* w = LiveWindow(window);
    if (!w)
        return Fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    Process& self = P();
    if (w->pid == self.pid || !InSimulatedProcess())
        return CallProc(*w, message, wParam, lParam);
    Process* owner = Owner(*w);
    if (!owner)
        return 0;
    return M().scheduler.SendAcross(self, *owner,
                                    QueuedMessage{window, message, wParam, lParam, true, 0});
}

void WINAPI PostQuitMessage(int exitCode)
{
    P().quitPosted = true;
    P().quitCode = exitCode;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    for (auto& w : M().desktop.windows) {
        if (w->destroyed)
            continue;
        if (className && strcasecmp(w->className.c_str(), className) != 0)
            continue;
        if (windowName && strcasecmp(w->title.c_str(), windowName) != 0)
            continue;
        return w->handle;
    }
    return nullptr;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    WindowEntry* w = LiveWindow(window);
    if (!w)
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    w->title = text ? text : "";
    M().Emit("title", {{"text", TraceText(w->title)}, {"pid", w->pid}});
    return TRUE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int max)
{
    WindowEntry* w = LiveWindow(window);
    if (!w || !text || max <= 0)
        return 0;
    int count = std::min<int>(static_cast<int>(w->title.size()), max - 1);
    std::memcpy(text, w->title.data(), static_cast<size_t>(count));
    text[count] = '\0';
    return count;
}

BOOL WINAPI SetForegroundWindow(HWND window)
{
    if (!LiveWindow(window))
        return FALSE;
    M().desktop.foreground = window;
    return TRUE;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    Process* owner = &P();
    if (window) {
        WindowEntry* w = LiveWindow(window);
        if (!w)
            return Fail<UINT_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
        owner = Owner(*w);
    }
    const uint64_t period = uint64_t(std::max<UINT>(elapse, 10)) * hw::kMillisecond;
    (void)proc;  // the programs use window timers only
    if (!window)
        id = 0x7000 + owner->timers.size();
    for (auto& t : owner->timers) {
        if (t.window == window && t.id == id) {
            t.periodNs = period;
            t.dueNs = M().clock.now + period;
            return id;
        }
    }
    owner->timers.push_back(WindowTimer{window, id, period, M().clock.now + period, false});
    return window ? 1 : id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    Process& self = P();
    auto& timers = self.timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const WindowTimer& t) {
        return t.window == window && t.id == id;
    });
    if (it == timers.end())
        return FALSE;
    timers.erase(it);
    return TRUE;
}

}  // extern "C"
