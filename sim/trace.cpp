#include "sim/trace.h"

#include <cctype>
#include <cstdio>

namespace sim {

Json TraceEvent::ToJson() const
{
    Json line = Json::object();
    line["t_us"] = t_us;
    line["event"] = event;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        line[it.key()] = it.value();
    return line;
}

void Trace::Emit(uint64_t t_us, const std::string& event, Json fields)
{
    TraceEvent e{t_us, event, fields.is_object() ? std::move(fields) : Json::object()};
    events_.push_back(e);
    for (auto& listener : listeners_)
        listener(events_.back());
}

std::vector<TraceEvent> Trace::Named(const std::string& event) const
{
    std::vector<TraceEvent> found;
    for (const auto& e : events_)
        if (e.event == event)
            found.push_back(e);
    return found;
}

std::string HexBytes(const void* data, size_t length)
{
    std::string text;
    const auto* bytes = static_cast<const uint8_t*>(data);
    char digits[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        if (i)
            text += ' ';
        text += digits;
    }
    return text;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out)
{
    out.clear();
    int pending = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (pending >= 0)
                return false;  // a lone digit
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                               : std::toupper(c) - 'A' + 10;
        if (pending < 0) {
            pending = digit;
        } else {
            out.push_back(static_cast<uint8_t>(pending * 16 + digit));
            pending = -1;
        }
    }
    return pending < 0;
}

}  // namespace sim
