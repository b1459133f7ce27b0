#include "text_for_trace.h"

#include <cstdint>

namespace sim {

namespace {

// windows-1252 0x80..0x9F; the rest of the upper half is Latin-1.
const uint16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string TraceText(const std::string& ansi)
{
    std::string out;
    for (unsigned char c : ansi) {
        uint32_t code = c;
        if (c >= 0x80 && c < 0xA0)
            code = k1252High[c - 0x80];
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace sim
