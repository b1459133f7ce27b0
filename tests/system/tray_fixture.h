// Helpers for the tray program's system tests: machines, scenario runs that keep the
// machine for a look afterwards, and the observable effects of a run in a compact form
// that a test can compare with a list ("set ASK=1", "pnp disable", "REMOTE_ON_2E",
// "READ_CODE_2E:0", "tray modify 133", ...).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runner.h"
#include "scenario_helpers.h"
#include "timeline.h"

namespace traytest {

using pexatest::Events;
using pexasim::RunResult;
using sim::Json;
using sim::TraceEvent;

constexpr char kTray2k[] = "C:\\Pexa\\pexasmsc2k.exe";
constexpr char kTray98[] = "C:\\Pexa\\pexasmsc98.exe";

constexpr char kServiceKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\PEXACTRL";
constexpr char kControllerProfileKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\"
    "ACPI\\SMCF010\\4&7AF5D03&0";
constexpr char kDefaultDevnode[] = "HKDD\\Config Manager\\Enum\\C29A5E40";

constexpr int kIconOff = 132;
constexpr int kIconOn = 133;
constexpr unsigned kVkPageUp = 0x21;
constexpr unsigned kVkPageDown = 0x22;
constexpr unsigned kVkLeft = 0x25;
constexpr unsigned kVkRight = 0x27;

// {"os": os} with more settings merged in.
inline Json MachineOn(const char* os, Json more = Json::object())
{
    Json machine{{"os", os}};
    for (auto it = more.begin(); it != more.end(); ++it)
        machine[it.key()] = it.value();
    return machine;
}

inline Json Step(uint64_t atMs, const char* action, Json value)
{
    return Json{{"at_ms", atMs}, {action, value}};
}

// A click on the notification icon that picks `choose` from the menu.
inline Json Click(uint64_t atMs, const char* button, const char* choose)
{
    return Json{{"at_ms", atMs}, {"tray_click", button}, {"choose", choose}};
}

inline Json RegDword(const std::string& key, const char* name, uint32_t value)
{
    return Json{{"key", key}, {"name", name}, {"type", "REG_DWORD"}, {"data", value}};
}

inline Json RegValue(const std::string& key, const char* name, const char* type, const char* data)
{
    return Json{{"key", key}, {"name", name}, {"type", type}, {"data", data}};
}

// A run whose machine stays for inspection; `prepare` may change the machine first.
struct TrayRun {
    std::unique_ptr<pexasim::Runner> runner;
    RunResult result;

    sim::Machine& machine() { return runner->Machine(); }
    // A value's bytes after the run; empty when there is none.
    std::vector<uint8_t> Value(const std::string& key, const char* name)
    {
        auto value = machine().registry.GetValue(key, name);
        return value ? value->data : std::vector<uint8_t>{};
    }
    uint32_t Type(const std::string& key, const char* name)
    {
        auto value = machine().registry.GetValue(key, name);
        return value ? value->type : 0;
    }
    bool KeyExists(const std::string& key) { return machine().registry.Find(key) != nullptr; }
};

template <typename Prepare>
TrayRun RunTray(const Json& machine, const Json& steps, Prepare prepare)
{
    TrayRun run;
    run.runner = std::make_unique<pexasim::Runner>(
        pexasim::Scenario::FromText(pexatest::ScenarioText(machine, steps)));
    prepare(run.runner->Machine());
    run.result = run.runner->Run();
    return run;
}

inline TrayRun RunTray(const Json& machine, const Json& steps)
{
    return RunTray(machine, steps, [](sim::Machine&) {});
}

inline std::string KeyName(unsigned vk)
{
    switch (vk) {
    case kVkPageUp: return "PageUp";
    case kVkPageDown: return "PageDown";
    case kVkLeft: return "Left";
    case kVkRight: return "Right";
    default: return std::to_string(vk);
    }
}

inline std::string DwordOrHex(const Json& fields)
{
    const std::string hex = fields["data"];
    std::vector<uint8_t> bytes;
    sim::ParseHexBytes(hex, bytes);
    if (fields["type"] == "REG_DWORD" && bytes.size() == 4)
        return std::to_string(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                              uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    return hex;
}

// One event as an effect, or "" for events that are not effects of the program.
inline std::string Effect(const TraceEvent& e)
{
    const Json& f = e.fields;
    if (e.event == "reg_set")
        return "set " + f["name"].get<std::string>() + "=" + DwordOrHex(f);
    if (e.event == "reg_delete")
        return "delete " + f["key"].get<std::string>();
    if (e.event == "pnp")
        return "pnp " + f["change"].get<std::string>();
    if (e.event == "ioctl") {
        std::string name = pexasim::ControlCodeName(f["code"]);
        if (name.rfind("IOCTL_IR_", 0) == 0)
            name = name.substr(9);
        if (name.find("READ_CODE") != std::string::npos)
            name += ":" + std::to_string(f["info"].get<int>());
        return name;
    }
    if (e.event == "tray") {
        std::string text = "tray " + f["op"].get<std::string>();
        if (f.contains("icon") && !f["icon"].is_null())
            text += " " + std::to_string(f["icon"].get<int>());
        return text;
    }
    if (e.event == "msgbox")
        return "msgbox " + f["button"].get<std::string>();
    if (e.event == "menu")
        return "menu " + (f["choice"].is_null() ? std::string("none") : std::to_string(f["choice"].get<int>()));
    if (e.event == "key")
        return "key " + KeyName(f["vk"]) + (f["up"].get<bool>() ? " up" : " down");
    if (e.event == "title")
        return "title " + f["text"].get<std::string>();
    if (e.event == "exitwindows" || e.event == "privilege" || e.event == "reboot" ||
        e.event == "exit")
        return e.event;
    return "";
}

// The effects from `fromUs` up to (not including) `toUs`, in order.
inline std::vector<std::string> Effects(const RunResult& r, uint64_t fromUs = 0,
                                        uint64_t toUs = UINT64_MAX)
{
    std::vector<std::string> effects;
    for (const auto& e : r.events) {
        if (e.t_us < fromUs || e.t_us >= toUs)
            continue;
        std::string text = Effect(e);
        if (!text.empty())
            effects.push_back(text);
    }
    return effects;
}

// The effects of a step at `ms`: what happened within the millisecond that follows.
// Steps are placed away from the poll timer's ticks, so no poll falls in.
inline std::vector<std::string> EffectsAt(const RunResult& r, uint64_t ms)
{
    return Effects(r, ms * 1000, ms * 1000 + 1000);
}

inline size_t Count(const std::vector<std::string>& effects, const std::string& effect)
{
    size_t n = 0;
    for (const auto& e : effects)
        n += e == effect;
    return n;
}

// Key events only, as effects.
inline std::vector<std::string> KeyEffects(const RunResult& r)
{
    std::vector<std::string> keys;
    for (const auto& e : Events(r, "key"))
        keys.push_back(Effect(e));
    return keys;
}

inline std::vector<TraceEvent> Pnp(const RunResult& r)
{
    return Events(r, "pnp");
}

}  // namespace traytest
