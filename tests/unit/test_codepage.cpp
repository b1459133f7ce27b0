// Code page conversions of the stand-in layer: the OEM code page 437 and the ANSI code
// page 1252, with the Windows rules for counts, size queries and errors.
#include <gtest/gtest.h>

#include <string>

#include "sim/machine.h"
#include "win/kernel32.h"

namespace {

class CodePage : public ::testing::Test {
protected:
    sim::Machine machine{sim::MachineConfig{}};
};

std::u16string ToWide(UINT codePage, const std::string& text) {
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::u16string out(static_cast<size_t>(size), u'\0');
    if (size > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), size),
                  size);
    }
    return out;
}

std::string ToBytes(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr) {
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    if (size > 0) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), size, nullptr, usedDefault),
                  size);
    }
    return out;
}

TEST_F(CodePage, OemBytesMapToTheirCharactersAndBack) {
    struct Case {
        unsigned char byte;
        char16_t ch;
    };
    const Case cases[] = {
        {0x41, u'A'},      {0x7F, 0x007F},    {0x01, 0x0001},    {0x80, 0x00C7},
        {0x81, 0x00FC},    {0x84, 0x00E4},    {0x8E, 0x00C4},    {0x94, 0x00F6},
        {0x99, 0x00D6},    {0x9A, 0x00DC},    {0x9E, 0x20A7},    {0xA4, 0x00F1},
        {0xB0, 0x2591},    {0xB3, 0x2502},    {0xBA, 0x2551},    {0xC4, 0x2500},
        {0xC9, 0x2554},    {0xDA, 0x250C},    {0xDB, 0x2588},    {0xE1, 0x00DF},
        {0xE6, 0x00B5},    {0xEA, 0x03A9},    {0xF8, 0x00B0},    {0xFE, 0x25A0},
        {0xFF, 0x00A0},
    };
    for (UINT codePage : {UINT{CP_OEMCP}, UINT{437}}) {
        for (const Case& c : cases) {
            const std::string byte(1, static_cast<char>(c.byte));
            EXPECT_EQ(ToWide(codePage, byte), std::u16string(1, c.ch)) << std::hex << +c.byte;
            EXPECT_EQ(ToBytes(codePage, std::u16string(1, c.ch)), byte) << std::hex << +c.byte;
        }
    }
}

TEST_F(CodePage, AnsiBytesMapToTheirCharactersAndBack) {
    struct Case {
        unsigned char byte;
        char16_t ch;
    };
    const Case cases[] = {{0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x96, 0x2013},
                          {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xDF, 0x00DF}, {0xE9, 0x00E9},
                          {0xFC, 0x00FC}, {0xFF, 0x00FF}};
    for (UINT codePage : {UINT{CP_ACP}, UINT{1252}}) {
        for (const Case& c : cases) {
            const std::string byte(1, static_cast<char>(c.byte));
            EXPECT_EQ(ToWide(codePage, byte), std::u16string(1, c.ch)) << std::hex << +c.byte;
            EXPECT_EQ(ToBytes(codePage, std::u16string(1, c.ch)), byte) << std::hex << +c.byte;
        }
    }
}

TEST_F(CodePage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    for (UINT codePage : {UINT{CP_OEMCP}, UINT{CP_ACP}}) {
        const std::u16string wide = ToWide(codePage, all);
        ASSERT_EQ(wide.size(), all.size());
        BOOL usedDefault = TRUE;
        EXPECT_EQ(ToBytes(codePage, wide, &usedDefault), all) << codePage;
        EXPECT_FALSE(usedDefault);
    }
}

TEST_F(CodePage, CharactersOutsideTheCodePageBecomeTheDefaultCharacter) {
    BOOL usedDefault = FALSE;
    // U+00C0 exists in 1252 but not in 437; U+263A and U+0100 in neither.
    EXPECT_EQ(ToBytes(CP_OEMCP, u"a\u00C0\u263Az", &usedDefault), "a??z");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToBytes(CP_ACP, u"\u00C0\u0100"), "\xC0?");

    char out[4] = {};
    const char star = '*';
    EXPECT_EQ(WideCharToMultiByte(CP_OEMCP, 0, u"\u263A", 1, out, 4, &star, nullptr), 1);
    EXPECT_EQ(out[0], '*');
}

TEST_F(CodePage, MinusOneCountsTheTerminatorToo) {
    EXPECT_EQ(MultiByteToWideChar(CP_OEMCP, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_OEMCP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);

    WCHAR wide[8];
    EXPECT_EQ(MultiByteToWideChar(CP_OEMCP, 0, "\x81x", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide), u"\u00FCx");
    char bytes[8];
    EXPECT_EQ(WideCharToMultiByte(CP_OEMCP, 0, u"\u00DF", -1, bytes, 8, nullptr, nullptr), 2);
    EXPECT_STREQ(bytes, "\xE1");
}

TEST_F(CodePage, RefusedCallsReturnZeroWithTheReason) {
    struct Case {
        const char* name;
        int (*call)();
        DWORD error;
    };
    static WCHAR wide[2];
    static char bytes[2];
    const Case cases[] = {
        {"empty source", [] { return MultiByteToWideChar(CP_OEMCP, 0, "ab", 0, wide, 2); },
         ERROR_INVALID_PARAMETER},
        {"null source", [] { return MultiByteToWideChar(CP_OEMCP, 0, nullptr, 2, wide, 2); },
         ERROR_INVALID_PARAMETER},
        {"unknown code page", [] { return MultiByteToWideChar(932, 0, "ab", 2, wide, 2); },
         ERROR_INVALID_PARAMETER},
        {"count below -1", [] { return MultiByteToWideChar(CP_OEMCP, 0, "ab", -2, wide, 2); },
         ERROR_INVALID_PARAMETER},
        {"null output with a size",
         [] { return MultiByteToWideChar(CP_OEMCP, 0, "ab", 2, nullptr, 2); },
         ERROR_INVALID_PARAMETER},
        {"wide output too small", [] { return MultiByteToWideChar(CP_OEMCP, 0, "abc", 3, wide, 2); },
         ERROR_INSUFFICIENT_BUFFER},
        {"empty wide source",
         [] { return WideCharToMultiByte(CP_OEMCP, 0, u"ab", 0, bytes, 2, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"8-bit output too small",
         [] { return WideCharToMultiByte(CP_OEMCP, 0, u"abc", -1, bytes, 2, nullptr, nullptr); },
         ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(c.call(), 0) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
}

}  // namespace
