// Observable events of a simulated run.
//
// Every effect that a user or another program could observe is reported here as one
// event: a name, the virtual time and a few fields. pexa-sim prints them as a timeline
// and writes them as JSON lines; tests read them back and assert on them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

using Json = nlohmann::ordered_json;

struct TraceEvent {
    uint64_t t_us = 0;
    std::string event;
    Json fields;  // an object; never holds "t_us" or "event"

    // The JSON line form: {"t_us":..., "event":..., fields...}
    Json ToJson() const;
};

class Trace {
public:
    using Listener = std::function<void(const TraceEvent&)>;

    // Records an event at the given virtual time.
    void Emit(uint64_t t_us, const std::string& event, Json fields = Json::object());

    const std::vector<TraceEvent>& Events() const { return events_; }
    std::vector<TraceEvent> Named(const std::string& event) const;
    void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
    void Clear() { events_.clear(); }

    // Port accesses are many; they are recorded only when asked for.
    bool portsEnabled = false;

private:
    std::vector<TraceEvent> events_;
    std::vector<Listener> listeners_;
};

// Hex text of a byte string, two digits per byte separated by blanks ("33 CC 00").
std::string HexBytes(const void* data, size_t length);
// Parses "33 CC 00" (blanks optional); returns false on a malformed text.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out);

}  // namespace sim
