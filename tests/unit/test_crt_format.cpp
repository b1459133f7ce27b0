// The run-time's counted printf family of the stand-in layer: Windows conversions and
// sizes, and the Windows contract for results that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <iterator>
#include <string>

#include "win/crt.h"

namespace {

std::u16string Wide(const WCHAR* format, ...) {
    WCHAR buffer[256];
    va_list args;
    va_start(args, format);
    const int written = _vsnwprintf(buffer, 255, format, args);
    va_end(args);
    EXPECT_GE(written, 0);
    return written < 0 ? u"<failed>" : std::u16string(buffer, static_cast<size_t>(written));
}

std::string Narrow(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int written = _vsnprintf(buffer, 255, format, args);
    va_end(args);
    EXPECT_GE(written, 0);
    return written < 0 ? "<failed>" : std::string(buffer, static_cast<size_t>(written));
}

TEST(CrtFormat, WideConversions) {
    const int64_t big = -1234567890123LL;
    const uint32_t dword = 0xDEADBEEF;
    struct Case {
        std::u16string result;
        std::u16string expected;
    };
    const Case cases[] = {
        {Wide(u"str_%s.txt", u"US"), u"str_US.txt"},
        {Wide(u"[%S]", "8-bit"), u"[8-bit]"},
        {Wide(u"[%hs|%ls|%ws]", "h", u"l", u"w"), u"[h|l|w]"},
        {Wide(u"[%c%C%hc%lc]", u'\u00FC', 'b', 'c', u'\u2500'), u"[\u00FCbc\u2500]"},
        {Wide(u"[%5s|%-5s|%.2s|%*s]", u"ab", u"ab", u"abc", 3, u"x"), u"[   ab|ab   |ab|  x]"},
        {Wide(u"%d %i %u", -5, 7, 4000000000u), u"-5 7 4000000000"},
        {Wide(u"%08X %x %#x %o", dword, 255u, 255u, 8u), u"DEADBEEF ff 0xff 10"},
        {Wide(u"%+d % d %05d %-4d|", 3, 3, -42, 7), u"+3  3 -0042 7   |"},
        {Wide(u"%hd %hu", 70000, 70000), u"4464 4464"},
        {Wide(u"%lu %ld", dword, -1), u"3735928559 -1"},
        {Wide(u"%I64d %lld %I64X", big, big, uint64_t{0x123456789A}),
         u"-1234567890123 -1234567890123 123456789A"},
        {Wide(u"%.3d %*d %-*d|", 5, -4, 1, 3, 2), u"005 1    2  |"},
        {Wide(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)"},
        {Wide(u"100%% %y"), u"100% y"},
        {Wide(u"%.2f", 2.5), u"2.50"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, c.expected);
    }
    const std::u16string pointer = Wide(u"%p", reinterpret_cast<void*>(uintptr_t{0xAB}));
    EXPECT_EQ(pointer, std::u16string(2 * sizeof(void*) - 2, u'0') + u"AB");
}

TEST(CrtFormat, EightBitConversions) {
    EXPECT_EQ(Narrow("%S|%ls|%s", u"wide", u"\u00FC", "narrow"), "wide|\xFC|narrow");
    EXPECT_EQ(Narrow("%C|%lu", u'x', 0xFFFFFFFFu), "x|4294967295");
    EXPECT_EQ(Narrow("[%02X][%02X][%02X]=", 0x12u, 0xABu, 0x5u), "[12][AB][05]=");
    EXPECT_EQ(Narrow("Config\\%04d\\Enum\\ACPI", 1), "Config\\0001\\Enum\\ACPI");
}

TEST(CrtFormat, WideTextThatEightBitCannotHoldFailsTheCall) {
    char buffer[16] = {};
    // Through a variable: the host compiler checks a literal against the host's rules.
    const std::string format = "a%Sb";
    EXPECT_EQ(_snprintf(buffer, 16, format.c_str(), u"\u263A"), -1);
}

TEST(CrtFormat, CountedResultFollowsTheWindowsContract) {
    struct Case {
        size_t count;
        int result;
        const char16_t* stored;  // what the buffer holds, terminator (if any) included
        size_t storedSize;
    };
    // "abcd" into buffers of various sizes prefilled with '#'.
    const Case cases[] = {
        {8, 4, u"abcd\0", 5},  // room for the terminator
        {4, 4, u"abcd#", 5},   // exactly fits: no terminator
        {3, -1, u"abc##", 5},  // too small: count characters, no terminator
        {0, -1, u"#####", 5},
    };
    for (const Case& c : cases) {
        WCHAR wide[8];
        std::fill(std::begin(wide), std::end(wide), u'#');
        EXPECT_EQ(_snwprintf(wide, c.count, u"%s", u"abcd"), c.result) << c.count;
        EXPECT_EQ(std::u16string(wide, c.storedSize), std::u16string(c.stored, c.storedSize))
            << c.count;

        char narrow[8];
        std::fill(std::begin(narrow), std::end(narrow), '#');
        EXPECT_EQ(_snprintf(narrow, c.count, "%s", "abcd"), c.result) << c.count;
        for (size_t i = 0; i < c.storedSize; ++i) {
            EXPECT_EQ(narrow[i], static_cast<char>(c.stored[i])) << c.count << " at " << i;
        }
    }
}

}  // namespace
