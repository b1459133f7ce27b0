#include "scenario.h"

#include <fstream>
#include <set>
#include <sstream>

#include "hardware_config.h"

namespace pexasim {

namespace {

[[noreturn]] void Error(const std::string& where, const std::string& what)
{
    throw ScenarioError(where + ": " + what);
}

const std::set<std::string> kActions = {"run",    "remote", "tray_click", "power",       "post",
                                        "answer", "ioctl",  "logoff",     "unload_driver", "load_driver",
                                        "set_cursor"};

// Keys a step may carry besides its action.
const std::map<std::string, std::set<std::string>> kModifiers = {
    {"run", {"cwd", "env"}},
    {"tray_click", {"choose"}},
    {"post", {"wParam", "lParam"}},
    {"ioctl", {}},
};

uint32_t RegistryType(const Json& value, const std::string& where)
{
    static const std::map<std::string, uint32_t> names = {
        {"REG_NONE", 0}, {"REG_SZ", 1},       {"REG_EXPAND_SZ", 2},
        {"REG_BINARY", 3}, {"REG_DWORD", 4}, {"REG_MULTI_SZ", 7}};
    if (value.is_string()) {
        auto it = names.find(value.get<std::string>());
        if (it != names.end())
            return it->second;
    }
    if (value.is_number_unsigned())
        return value.get<uint32_t>();
    Error(where, "unknown registry type " + value.dump());
}

std::vector<uint8_t> RegistryData(uint32_t type, const Json& data, const std::string& where)
{
    std::vector<uint8_t> bytes;
    if (type == 4 && !data.is_string()) {  // REG_DWORD given as a number
        uint32_t v = static_cast<uint32_t>(ParseNumber(data, where));
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    if (!data.is_string())
        Error(where, "data must be text (REG_SZ) or a hex string");
    const std::string text = data.get<std::string>();
    if (type == 1 || type == 2) {
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
        return bytes;
    }
    if (!sim::ParseHexBytes(text, bytes))
        Error(where, "data is not a hex byte string: \"" + text + "\"");
    return bytes;
}

void ParseRegistry(const Json& list, Scenario& s)
{
    if (!list.is_array())
        Error("machine.registry", "must be a list");
    for (size_t i = 0; i < list.size(); ++i) {
        std::string where = "machine.registry[" + std::to_string(i) + "]";
        const Json& entry = list[i];
        if (!entry.is_object() || !entry.contains("key") || !entry["key"].is_string())
            Error(where, "needs a \"key\"");
        RegistryPreset preset;
        preset.key = entry["key"];
        std::string root = preset.key.substr(0, preset.key.find('\\'));
        if (root != "HKLM" && root != "HKU" && root != "HKDD" && root != "HKCU")
            Error(where, "the key's root must be HKLM, HKU, HKCU or HKDD");
        if (entry.contains("name")) {
            preset.name = entry["name"].get<std::string>();
            if (!entry.contains("type"))
                Error(where, "a value needs a \"type\"");
            preset.type = RegistryType(entry["type"], where + ".type");
            preset.data = RegistryData(preset.type, entry.value("data", Json("")), where + ".data");
        }
        s.registry.push_back(preset);
    }
}

bool IsTextList(const Json& value)
{
    if (!value.is_array())
        return false;
    for (const Json& item : value)
        if (!item.is_string())
            return false;
    return true;
}

// The machine's devices: [{"hardware_ids": [...], "instance": "...", "present": true,
// "enabled": true, "devnode": "C29A5000"}]; null keeps the default devices.
Json ParseDevices(const Json& list)
{
    if (list.is_null())
        return list;
    if (!list.is_array())
        Error("machine.devices", "must be a list of devices");
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string where = "machine.devices[" + std::to_string(i) + "]";
        const Json& entry = list[i];
        if (!entry.is_object())
            Error(where, "must be an object");
        for (auto it = entry.begin(); it != entry.end(); ++it) {
            const std::string& key = it.key();
            bool ok = (key == "hardware_ids" && IsTextList(it.value())) ||
                      ((key == "instance" || key == "devnode") && it.value().is_string()) ||
                      ((key == "present" || key == "enabled") && it.value().is_boolean());
            if (!ok)
                Error(where + "." + key,
                      "devices take hardware_ids (a list of texts), instance and devnode "
                      "(texts), present and enabled (true or false)");
        }
        if (!entry.contains("instance"))
            Error(where, "needs an \"instance\"");
    }
    return list;
}

void ParseMachine(const Json& m, Scenario& s)
{
    static const std::set<std::string> keys = {
        "os",    "language", "superio",           "firmware",    "driver",     "files",
        "registry", "devices", "notification_area", "install_dir", "trace_ports"};
    if (!m.is_object())
        Error("machine", "must be an object");
    for (auto it = m.begin(); it != m.end(); ++it)
        if (!keys.count(it.key()))
            Error("machine." + it.key(), "unknown machine setting");
    sim::MachineConfig& config = s.machine;
    if (m.contains("os")) {
        sim::OsInfo os;
        if (!m["os"].is_string() || !sim::OsInfo::FromName(m["os"], os))
            Error("machine.os", "must be one of win98, winme, nt4, win2000, winxp");
        config.os = m["os"];
    }
    if (m.contains("language")) {
        uint64_t id = ParseNumber(m["language"], "machine.language");
        if (id > 0xFFFF)
            Error("machine.language", "a language id has 16 bits");
        config.language = static_cast<uint16_t>(id);
    }
    if (m.contains("driver")) {
        if (!m["driver"].is_boolean())
            Error("machine.driver", "must be true or false");
        config.driver = m["driver"];
    }
    if (m.contains("notification_area"))
        config.notificationArea = m["notification_area"].get<bool>();
    if (m.contains("install_dir"))
        config.installDir = m["install_dir"].is_null() ? "" : m["install_dir"].get<std::string>();
    if (m.contains("trace_ports"))
        s.tracePorts = m["trace_ports"].get<bool>();
    if (m.contains("files")) {
        if (!m["files"].is_object())
            Error("machine.files", "must map paths to texts");
        for (auto it = m["files"].begin(); it != m["files"].end(); ++it) {
            if (!it.value().is_string())
                Error("machine.files." + it.key(), "must be text");
            std::string text = it.value();
            s.files[it.key()] = std::vector<uint8_t>(text.begin(), text.end());
        }
    }
    if (m.contains("registry"))
        ParseRegistry(m["registry"], s);
    if (m.contains("devices"))
        s.devices = ParseDevices(m["devices"]);
    ParseHardware(m, config.hardware);
}

void CheckStep(const Step& step)
{
    const Json& a = step.args;
    const std::string where = step.where + "." + step.action;
    const Json& v = a[step.action];
    if (step.action == "run" && !v.is_string())
        Error(where, "must be a command line");
    if (step.action == "remote") {
        std::vector<uint8_t> bytes;
        if (!v.is_string() || !sim::ParseHexBytes(v, bytes) || bytes.empty())
            Error(where, "must be the code's bytes in hex, e.g. \"33 33 33\"");
    }
    if (step.action == "tray_click") {
        static const std::set<std::string> buttons = {"left",  "right",       "left_down",
                                                      "right_down", "left_double", "right_double",
                                                      "move"};
        if (!v.is_string() || !buttons.count(v))
            Error(where, "must be \"left\" or \"right\" (or left_down, right_down, left_double, "
                         "right_double, move)");
    }
    if (step.action == "answer") {
        static const std::set<std::string> names = {"ok", "cancel", "abort", "retry",
                                                    "ignore", "yes", "no"};
        if (!(v.is_number_unsigned() || (v.is_string() && names.count(v))))
            Error(where, "must be ok, yes, no, cancel, abort, retry, ignore or a button number");
    }
    if (step.action == "ioctl") {
        if (!v.is_object() || !v.contains("code"))
            Error(where, "needs a \"code\"");
        ParseNumber(v["code"], where + ".code");
        std::vector<uint8_t> bytes;
        if (v.contains("in") && (!v["in"].is_string() || !sim::ParseHexBytes(v["in"], bytes)))
            Error(where + ".in", "must be a hex byte string");
        if (v.contains("out"))
            ParseNumber(v["out"], where + ".out");
    }
}

Step ParseStep(const Json& j, size_t index)
{
    Step step;
    step.where = "steps[" + std::to_string(index) + "]";
    if (!j.is_object())
        Error(step.where, "must be an object");
    if (!j.contains("at_ms"))
        Error(step.where, "needs \"at_ms\"");
    step.atMs = ParseNumber(j["at_ms"], step.where + ".at_ms");
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (it.key() == "at_ms" || it.key() == "comment")
            continue;
        if (kActions.count(it.key())) {
            if (!step.action.empty())
                Error(step.where, "has two actions: " + step.action + " and " + it.key());
            step.action = it.key();
        }
    }
    if (step.action.empty())
        Error(step.where, "has no known action (run, remote, tray_click, power, post, answer, "
                          "ioctl, logoff, unload_driver, load_driver, set_cursor)");
    auto allowed = kModifiers.find(step.action);
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& key = it.key();
        if (key == "at_ms" || key == "comment" || key == step.action)
            continue;
        if (allowed == kModifiers.end() || !allowed->second.count(key))
            Error(step.where + "." + key, "unknown key for a " + step.action + " step");
    }
    step.args = j;
    CheckStep(step);
    return step;
}

}  // namespace

uint64_t ParseNumber(const Json& value, const std::string& where)
{
    if (value.is_number_unsigned())
        return value.get<uint64_t>();
    if (value.is_number_integer() && value.get<int64_t>() >= 0)
        return static_cast<uint64_t>(value.get<int64_t>());
    if (value.is_string()) {
        const std::string text = value;
        try {
            size_t used = 0;
            uint64_t n = std::stoull(text, &used, 0);
            if (used == text.size() && !text.empty())
                return n;
        } catch (const std::exception&) {
        }
    }
    Error(where, "must be a non-negative number, got " + value.dump());
}

Scenario Scenario::FromJson(const Json& json)
{
    Scenario s;
    if (!json.is_object())
        Error("scenario", "must be a JSON object with \"machine\" and \"steps\"");
    for (auto it = json.begin(); it != json.end(); ++it)
        if (it.key() != "machine" && it.key() != "steps" && it.key() != "name" &&
            it.key() != "description")
            Error(it.key(), "unknown scenario key");
    s.name = json.value("name", "");
    ParseMachine(json.value("machine", Json::object()), s);
    const Json steps = json.value("steps", Json::array());
    if (!steps.is_array())
        Error("steps", "must be a list");
    uint64_t last = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        Step step = ParseStep(steps[i], i);
        if (step.atMs < last)
            Error(step.where + ".at_ms",
                  "is in the past: " + std::to_string(step.atMs) + " comes after " +
                      std::to_string(last));
        last = step.atMs;
        s.steps.push_back(step);
    }
    return s;
}

Scenario Scenario::FromText(const std::string& text)
{
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& e) {
        throw ScenarioError(std::string("bad JSON: ") + e.what());
    }
    return FromJson(json);
}

Scenario Scenario::FromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ScenarioError(path + ": cannot read the scenario file");
    std::stringstream text;
    text << in.rdbuf();
    try {
        return FromText(text.str());
    } catch (const ScenarioError& e) {
        throw ScenarioError(path + ": " + e.what());
    }
}

}  // namespace pexasim
