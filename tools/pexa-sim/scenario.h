// Scenarios of pexa-sim: a machine and a list of timed steps, read from JSON.
//
// The format is a public interface (see the README): checks outside this repository
// drive the system through it.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/trace.h"

namespace pexasim {

using sim::Json;

// A malformed scenario; the message names the place ("steps[3].post: ...").
struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct RegistryPreset {
    std::string key;   // "HKLM\..."
    std::optional<std::string> name;  // none: only create the key
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct Step {
    uint64_t atMs = 0;
    std::string action;  // run, remote, tray_click, power, post, answer, ioctl, ...
    Json args;           // the whole step object
    std::string where;   // "steps[3]" for messages
};

struct Scenario {
    std::string name;
    sim::MachineConfig machine;
    std::map<std::string, std::vector<uint8_t>> files;
    std::vector<RegistryPreset> registry;
    Json devices;  // the machine's Plug and Play devices, when given (null: the defaults)
    bool tracePorts = false;
    std::vector<Step> steps;

    static Scenario FromJson(const Json& json);
    static Scenario FromText(const std::string& text);
    static Scenario FromFile(const std::string& path);
};

// Numbers in scenarios may be JSON numbers or text ("0x2E", "1024").
uint64_t ParseNumber(const Json& value, const std::string& where);

}  // namespace pexasim
