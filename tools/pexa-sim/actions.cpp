#include "actions.h"

#include <windows.h>

#include <map>
#include <vector>

#include "sim/machine.h"

namespace pexasim {

namespace {

const char kTrayClass[] = "Pexaro Control";

const std::map<std::string, UINT>& MessageNames()
{
    static const std::map<std::string, UINT> names = {
        {"WM_CLOSE", WM_CLOSE},
        {"WM_DESTROY", WM_DESTROY},
        {"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
        {"WM_ENDSESSION", WM_ENDSESSION},
        {"WM_COMMAND", WM_COMMAND},
        {"WM_TIMER", WM_TIMER},
        {"WM_POWERBROADCAST", WM_POWERBROADCAST},
        {"WM_TRAYICON", WM_USER + 256},
        {"WM_REMOTEOFF", WM_USER + 1000},
        {"WM_QUIT", WM_QUIT},
    };
    return names;
}

const std::map<std::string, UINT>& PowerEventNames()
{
    static const std::map<std::string, UINT> names = {
        {"PBT_APMQUERYSUSPEND", PBT_APMQUERYSUSPEND},
        {"PBT_APMQUERYSTANDBY", PBT_APMQUERYSTANDBY},
        {"PBT_APMQUERYSUSPENDFAILED", PBT_APMQUERYSUSPENDFAILED},
        {"PBT_APMQUERYSTANDBYFAILED", PBT_APMQUERYSTANDBYFAILED},
        {"PBT_APMSUSPEND", PBT_APMSUSPEND},
        {"PBT_APMSTANDBY", PBT_APMSTANDBY},
        {"PBT_APMRESUMECRITICAL", PBT_APMRESUMECRITICAL},
        {"PBT_APMRESUMESUSPEND", PBT_APMRESUMESUSPEND},
        {"PBT_APMRESUMESTANDBY", PBT_APMRESUMESTANDBY},
        {"PBT_APMBATTERYLOW", PBT_APMBATTERYLOW},
        {"PBT_APMPOWERSTATUSCHANGE", PBT_APMPOWERSTATUSCHANGE},
        {"PBT_APMOEMEVENT", PBT_APMOEMEVENT},
        {"PBT_APMRESUMEAUTOMATIC", PBT_APMRESUMEAUTOMATIC},
    };
    return names;
}

void Note(sim::Machine& m, const Step& step, const std::string& text)
{
    m.Emit("note", {{"step", step.where}, {"text", text}});
}

std::vector<HWND> TopLevelWindows(sim::Machine& m)
{
    std::vector<HWND> windows;
    for (auto& w : m.desktop.windows)
        if (!w->destroyed)
            windows.push_back(w->handle);
    return windows;
}

void Run(sim::Machine& m, const Step& step)
{
    const Json& a = step.args;
    std::string cmd = a["run"];
    std::map<std::string, std::string> env;
    if (a.contains("env"))
        for (auto it = a["env"].begin(); it != a["env"].end(); ++it)
            env[it.key()] = it.value().get<std::string>();
    std::string programPath = sim::Scheduler::ProgramPath(cmd);
    std::string full = sim::FileSystem::Resolve("C:\\", programPath);
    if (sim::Scheduler::IsSystemProgram(cmd) && !m.files.IsFile(full) && !m.files.IsFile(full + ".exe"))
        m.files.AddFile(full, std::string("MZ"));  // the program lives where the step says
    if (!m.scheduler.Start(cmd, a.value("cwd", ""), env))
        m.Emit("launch", {{"cmd", cmd}, {"simulated", false}});
}

UINT MouseMessage(const std::string& button)
{
    static const std::map<std::string, UINT> messages = {
        {"left", WM_LBUTTONUP},         {"right", WM_RBUTTONUP},
        {"left_down", WM_LBUTTONDOWN},  {"right_down", WM_RBUTTONDOWN},
        {"left_double", WM_LBUTTONDBLCLK}, {"right_double", WM_RBUTTONDBLCLK},
        {"move", WM_MOUSEMOVE}};
    return messages.at(button);
}

sim::MenuChoice ChoiceOf(const Json& choose)
{
    sim::MenuChoice choice;
    if (choose.is_number_integer()) {
        choice.kind = sim::MenuChoice::ByPosition;
        choice.position = choose.get<int>();
    } else if (choose.is_string()) {
        const std::string text = choose;
        if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
            choice.kind = sim::MenuChoice::ByPosition;
            choice.position = std::stoi(text);
        } else {
            choice.kind = sim::MenuChoice::ByText;
            choice.text = text;
        }
    }
    return choice;
}

void TrayClick(sim::Machine& m, const Step& step)
{
    const Json& a = step.args;
    auto& icons = m.desktop.trayIcons;
    if (icons.empty()) {
        Note(m, step, "no notification icon to click");
        return;
    }
    const sim::TrayIconEntry icon = icons.front();
    std::string button = a["tray_click"];
    UINT mouse = MouseMessage(button);
    m.desktop.menuChoices.clear();
    m.desktop.menuChoices.push_back(a.contains("choose") ? ChoiceOf(a["choose"]) : sim::MenuChoice{});
    m.Emit("click", {{"button", button}, {"choose", a.value("choose", Json(nullptr))}});
    // The shell reports the press and the release, as a real click makes them.
    if (mouse == WM_LBUTTONUP)
        PostMessageA(icon.window, icon.callbackMessage, icon.id, WM_LBUTTONDOWN);
    if (mouse == WM_RBUTTONUP)
        PostMessageA(icon.window, icon.callbackMessage, icon.id, WM_RBUTTONDOWN);
    PostMessageA(icon.window, icon.callbackMessage, icon.id, mouse);
}

void Power(sim::Machine& m, const Step& step)
{
    const Json& v = step.args["power"];
    UINT event = 0;
    if (v.is_string() && PowerEventNames().count(v))
        event = PowerEventNames().at(v);
    else
        event = static_cast<UINT>(ParseNumber(v, step.where + ".power"));
    m.Emit("power", {{"event", event}});
    for (HWND w : TopLevelWindows(m))
        m.scheduler.SendFromSystem(w, WM_POWERBROADCAST, event, 0);
}

void Post(sim::Machine& m, const Step& step)
{
    const Json& a = step.args;
    UINT message = 0;
    if (!(a["post"].is_string() && MessageByName(a["post"], message)))
        message = static_cast<UINT>(ParseNumber(a["post"], step.where + ".post"));
    WPARAM wParam = a.contains("wParam") ? ParseNumber(a["wParam"], step.where + ".wParam") : 0;
    LPARAM lParam = a.contains("lParam")
                        ? static_cast<LPARAM>(ParseNumber(a["lParam"], step.where + ".lParam"))
                        : 0;
    HWND window = FindWindowA(kTrayClass, nullptr);
    m.Emit("post", {{"message", message}, {"wParam", wParam}, {"lParam", lParam},
                    {"delivered", window != nullptr}});
    if (window)
        PostMessageA(window, message, wParam, lParam);
}

void Answer(sim::Machine& m, const Step& step)
{
    static const std::map<std::string, int> buttons = {
        {"ok", IDOK}, {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
        {"ignore", IDIGNORE}, {"yes", IDYES}, {"no", IDNO}};
    const Json& v = step.args["answer"];
    int button = v.is_string() ? buttons.at(v) : v.get<int>();
    m.desktop.messageBoxAnswers.push_back(button);
}

// A small probe program sends one raw request, as any program could.
void Ioctl(sim::Machine& m, const Step& step)
{
    const Json& v = step.args["ioctl"];
    auto code = static_cast<DWORD>(ParseNumber(v["code"], step.where + ".ioctl.code"));
    std::vector<uint8_t> in;
    if (v.contains("in"))
        sim::ParseHexBytes(v["in"], in);
    size_t outLength = v.contains("out") ? ParseNumber(v["out"], step.where + ".ioctl.out") : 0;
    std::string device = v.value("device", "\\\\.\\PEXACTRL");
    m.scheduler.StartBuiltin("probe.exe", [&m, code, in, outLength, device]() mutable {
        HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            m.Emit("probe", {{"device", device}, {"opened", false}, {"error", GetLastError()}});
            return 1;
        }
        std::vector<uint8_t> out(outLength);
        DWORD returned = 0;
        BOOL ok = DeviceIoControl(h, code, in.empty() ? nullptr : in.data(),
                                  static_cast<DWORD>(in.size()), out.empty() ? nullptr : out.data(),
                                  static_cast<DWORD>(out.size()), &returned, nullptr);
        m.Emit("probe", {{"device", device},
                         {"opened", true},
                         {"ok", ok != 0},
                         {"error", ok ? 0 : GetLastError()},
                         {"returned", returned},
                         {"out_data", sim::HexBytes(out.data(), std::min<size_t>(returned, out.size()))}});
        CloseHandle(h);
        return 0;
    });
}

// A log-off: every program is asked, told and its windows destroyed; the machine stays.
void Logoff(sim::Machine& m)
{
    m.Emit("logoff");
    auto windows = TopLevelWindows(m);
    for (HWND w : windows)
        m.scheduler.SendFromSystem(w, WM_QUERYENDSESSION, 0, 0);
    for (HWND w : windows)
        m.scheduler.SendFromSystem(w, WM_ENDSESSION, TRUE, 0);
    for (HWND w : windows)
        sim::SendSystemDestroy(w);
}

}  // namespace

bool MessageByName(const std::string& name, UINT& message)
{
    auto it = MessageNames().find(name);
    if (it == MessageNames().end())
        return false;
    message = it->second;
    return true;
}

void ScheduleRemote(sim::Machine& m, uint64_t atNs, const std::string& hexCode)
{
    std::vector<uint8_t> bytes;
    sim::ParseHexBytes(hexCode, bytes);
    if (bytes.size() == 3)
        m.notebook->PressRemote(atNs, bytes.data());
    else
        m.notebook->SendRawBurst(atNs, bytes.data(), bytes.size());
}

void ApplyDevices(sim::Machine& m, const Json& devices)
{
    if (devices.is_null())
        return;  // the machine keeps its default devices
    std::vector<sim::PnpDevice> list;
    std::vector<std::string> devnodes;
    for (const Json& entry : devices) {
        sim::PnpDevice device;
        for (const Json& id : entry.value("hardware_ids", Json::array()))
            device.hardwareIds.push_back(id.get<std::string>());
        device.instance = entry.value("instance", "");
        device.present = entry.value("present", true);
        device.enabled = entry.value("enabled", true);
        list.push_back(device);
        devnodes.push_back(entry.value("devnode", ""));
    }
    m.devices.Replace(m, list, devnodes);
}

void PerformStep(sim::Machine& m, const Step& step)
{
    const std::string& action = step.action;
    if (action == "run")
        Run(m, step);
    else if (action == "remote")
        m.Emit("remote", {{"code", step.args["remote"]}});
    else if (action == "tray_click")
        TrayClick(m, step);
    else if (action == "power")
        Power(m, step);
    else if (action == "post")
        Post(m, step);
    else if (action == "answer")
        Answer(m, step);
    else if (action == "ioctl")
        Ioctl(m, step);
    else if (action == "logoff")
        Logoff(m);
    else if (action == "unload_driver")
        m.Emit("driver", {{"op", "unload"}, {"ok", m.io.UnloadDriver("PEXACTRL")}});
    else if (action == "load_driver")
        m.Emit("driver", {{"op", "load"}, {"status", m.io.LoadDriver("PEXACTRL")}});
    else if (action == "set_cursor") {
        const Json& v = step.args["set_cursor"];
        m.desktop.cursor = POINT{v.at(0).get<LONG>(), v.at(1).get<LONG>()};
    }
}

}  // namespace pexasim
