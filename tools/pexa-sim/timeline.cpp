#include "timeline.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace pexasim {

namespace {

std::string Hex(uint64_t value, int digits = 0)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string Str(const sim::Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_null())
        return "-";
    return value.dump();
}

std::string StatusText(int64_t status)
{
    switch (static_cast<uint32_t>(status)) {
    case 0: return "success";
    case 0xC0000010: return "invalid device request";
    case 0xC000009C: return "device data error";
    default: return Hex(static_cast<uint32_t>(status), 8);
    }
}

std::string KeyName(int vk)
{
    static const std::map<int, std::string> names = {
        {0x21, "PageUp"}, {0x22, "PageDown"}, {0x25, "Left"}, {0x27, "Right"}};
    auto it = names.find(vk);
    return it == names.end() ? Hex(static_cast<uint64_t>(vk), 2) : it->second;
}

const uint32_t kBiosCallCode = 0x222040;  // IOCTL_IR_BIOS_CALL

std::vector<uint8_t> BytesOfHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 3)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    return bytes;
}

uint32_t Field(const std::vector<uint8_t>& block, size_t offset)
{
    return block[offset] | block[offset + 1] << 8 | block[offset + 2] << 16 |
           static_cast<uint32_t>(block[offset + 3]) << 24;
}

// Characters as a person reads them; anything unprintable as a dot.
std::string Printable(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (uint8_t b : bytes)
        text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    return text;
}

// A BIOS call told by its register block (offsets of IR_BIOS_REGS): what was asked for
// and what came back, with the four registers of an answer as the text they carry (the
// first character in the most significant byte) and the text at an Esi offset.
std::string DescribeBiosCall(const sim::Json& f)
{
    const size_t kBlock = 40, kEsi = 16, kCarry = 28, kEsiIsOffset = 32;
    std::vector<uint8_t> in = BytesOfHex(Str(f["in"]));
    std::vector<uint8_t> out = BytesOfHex(Str(f["out_data"]));
    std::string text = ControlCodeName(f["code"].get<uint32_t>());
    if (in.size() < kBlock)
        return "";
    text += " Eax " + Hex(Field(in, 0), 4) + " Ebx " + Hex(Field(in, 4), 4);
    const bool esiIsOffset = Field(in, kEsiIsOffset) != 0;
    if (esiIsOffset)
        text += " Esi at byte " + std::to_string(Field(in, kEsi));
    text += " (" + std::to_string(in.size()) + " bytes) -> " + StatusText(f["status"].get<int64_t>()) +
            ", " + Str(f["info"]) + " bytes";
    if (out.size() < kBlock)
        return text;
    text += ": Carry " + std::to_string(Field(out, kCarry));
    const size_t kRegisters = 16;
    if (!std::equal(in.begin(), in.begin() + kRegisters, out.begin())) {
        text += ", Eax..Edx";
        for (size_t offset = 0; offset < kRegisters; offset += 4) {
            std::vector<uint8_t> chunk;
            for (int shift = 24; shift >= 0; shift -= 8)
                chunk.push_back(static_cast<uint8_t>(Field(out, offset) >> shift));
            text += " \"" + Printable(chunk) + "\"";
        }
    }
    const size_t at = Field(in, kEsi);
    if (esiIsOffset && at >= kBlock && at < out.size()) {
        std::vector<uint8_t> data(out.begin() + static_cast<std::ptrdiff_t>(at), out.end());
        size_t end = 0;
        while (end < data.size() && data[end] != 0)
            ++end;
        data.resize(end);
        text += ", at Esi \"" + Printable(data) + "\"";
    }
    return text;
}

std::string Describe(const sim::TraceEvent& e)
{
    const sim::Json& f = e.fields;
    const std::string& name = e.event;
    if (name == "start")
        return Str(f["program"]) + " (pid " + Str(f["pid"]) + "): " + Str(f["cmd"]);
    if (name == "exit")
        return Str(f["program"]) + " exited with code " + Str(f["code"]);
    if (name == "ioctl" && f["code"] == kBiosCallCode) {
        std::string text = DescribeBiosCall(f);
        if (!text.empty())
            return text;
    }
    if (name == "ioctl") {
        std::string text = ControlCodeName(f["code"].get<uint32_t>()) + " in " +
                           Str(f["in"].get<std::string>().empty() ? sim::Json("-") : f["in"]) +
                           " out " + Str(f["out"]) + " -> " +
                           StatusText(f["status"].get<int64_t>()) + ", " + Str(f["info"]) + " bytes";
        if (f.contains("out_data") && !f["out_data"].get<std::string>().empty())
            text += " [" + Str(f["out_data"]) + "]";
        return text;
    }
    if (name == "port")
        return Str(f["op"]) + " " + Hex(f["port"].get<uint32_t>(), 2) + " = " +
               Hex(f["value"].get<uint32_t>(), 2);
    if (name == "key")
        return KeyName(f["vk"].get<int>()) + (f["up"].get<bool>() ? " released" : " pressed");
    if (name == "tray") {
        std::string text = Str(f["op"]);
        if (f.contains("icon") && !f["icon"].is_null())
            text += " icon " + Str(f["icon"]);
        if (f.contains("tip") && !f["tip"].is_null())
            text += " tip \"" + Str(f["tip"]) + "\"";
        if (!f["ok"].get<bool>())
            text += " (refused)";
        return text;
    }
    if (name == "msgbox")
        return "\"" + Str(f["text"]) + "\" caption \"" + Str(f["caption"]) + "\" answered " +
               Str(f["button"]);
    if (name == "reg_set")
        return Str(f["key"]) + " " + Str(f["name"]) + " = " + Str(f["type"]) + " [" +
               Str(f["data"]) + "]";
    if (name == "reg_delete")
        return Str(f["key"]);
    if (name == "winexec")
        return Str(f["cmd"]);
    if (name == "title")
        return "\"" + Str(f["text"]) + "\"";
    if (name == "menu") {
        std::string text;
        for (const auto& item : f["items"])
            text += (text.empty() ? "" : " | ") + Str(item["text"]) + " (" + Str(item["id"]) + ")";
        return text + " -> " + (f["choice"].is_null() ? std::string("closed") : "chose " + Str(f["choice"]));
    }
    std::string text;
    for (auto it = f.begin(); it != f.end(); ++it)
        text += (text.empty() ? "" : " ") + it.key() + "=" + Str(it.value());
    return text;
}

}  // namespace

std::string ControlCodeName(uint32_t code)
{
    static const std::map<uint32_t, std::string> names = {
        {0x222004, "IOCTL_IR_RESUMED"},         {0x222008, "IOCTL_IR_NOP"},
        {0x22200C, "IOCTL_IR_ECHO2"},           {0x222040, "IOCTL_IR_BIOS_CALL"},
        {0x222080, "IOCTL_IR_LEGACY_OPEN_2E"},  {0x222084, "IOCTL_IR_LEGACY_CLOSE_2E"},
        {0x222088, "IOCTL_IR_LEGACY_READ_CODE"}, {0x22208C, "IOCTL_IR_LEGACY_OPEN_4E"},
        {0x222090, "IOCTL_IR_LEGACY_CLOSE_4E"}, {0x222094, "IOCTL_IR_LEGACY_READ_CODE2"},
        {0x2220C0, "IOCTL_IR_READ_CONFIG_2E"},  {0x2220C4, "IOCTL_IR_READ_CONFIG_4E"},
        {0x2220C8, "IOCTL_IR_REMOTE_ON_2E"},    {0x2220CC, "IOCTL_IR_REMOTE_ON_4E"},
        {0x2220D0, "IOCTL_IR_REMOTE_OFF_2E"},   {0x2220D4, "IOCTL_IR_REMOTE_OFF_4E"},
        {0x2220D8, "IOCTL_IR_READ_CODE_2E"},    {0x2220DC, "IOCTL_IR_READ_CODE_4E"},
        {0x2220E0, "IOCTL_IR_SAVE_MODE_2E"},    {0x2220E4, "IOCTL_IR_SAVE_MODE_4E"},
        {0x2220E8, "IOCTL_IR_RESTORE_MODE_2E"}, {0x2220EC, "IOCTL_IR_RESTORE_MODE_4E"},
    };
    auto it = names.find(code);
    return it == names.end() ? Hex(code, 6) : it->second;
}

std::string TimelineLine(const sim::TraceEvent& event)
{
    char time[32];
    std::snprintf(time, sizeof time, "%10.3f ms", static_cast<double>(event.t_us) / 1000.0);
    char name[16];
    std::snprintf(name, sizeof name, "%-10s", event.event.c_str());
    return std::string(time) + "  " + name + " " + Describe(event);
}

}  // namespace pexasim

namespace pexasim {

namespace {

bool IsIdlePoll(const sim::TraceEvent& e)
{
    if (e.event != "ioctl")
        return false;
    uint32_t code = e.fields["code"].get<uint32_t>();
    bool readCode = code == 0x2220D8 || code == 0x2220DC;  // IOCTL_IR_READ_CODE_2E / _4E
    return readCode && e.fields["status"].get<int64_t>() == 0 && e.fields["info"].get<int64_t>() == 0;
}

}  // namespace

void IdlePollFolder::Print(const sim::TraceEvent& event)
{
    if (!printAll_ && IsIdlePoll(event)) {
        if (count_++ == 0)
            firstUs_ = event.t_us;
        lastUs_ = event.t_us;
        return;
    }
    Flush();
    out_ << TimelineLine(event) << "\n";
}

void IdlePollFolder::Flush()
{
    if (count_ == 0)
        return;
    char line[160];
    if (count_ == 1)
        std::snprintf(line, sizeof line, "%10.3f ms  %-10s 1 idle poll (no code waiting)",
                      firstUs_ / 1000.0, "ioctl");
    else
        std::snprintf(line, sizeof line,
                      "%10.3f ms  %-10s %llu idle polls (no code waiting) up to %.3f ms",
                      firstUs_ / 1000.0, "ioctl", static_cast<unsigned long long>(count_),
                      lastUs_ / 1000.0);
    out_ << line << "\n";
    count_ = 0;
}

}  // namespace pexasim
