// Whole-file buffers and text tables, loaded from the simulated machine's file system.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <ostream>
#include <string>

#include "lib/textfile.h"
#include "lib/wide.h"
#include "sim/machine.h"

namespace {

const char16_t kTablePath[] = u"C:\\t.txt";
const char kTableFile[] = "C:\\t.txt";

class TextFile : public ::testing::Test {
protected:
    TextFile() { machine.hostProcess.cwd = "C:\\"; }

    void Put(const std::string& path, const std::string& bytes) { machine.files.AddFile(path, bytes); }

    sim::Machine machine{sim::MachineConfig{}};
};

// ---- SBuf ----

TEST_F(TextFile, LoadGrowsInWholeKilobytesAndZeroesThePadding) {
    struct Case {
        int32_t fileSize;
        int32_t extra;
        int32_t capacity;
        int32_t length;
    };
    const Case cases[] = {
        {1000, 2, 1024, 1002}, {1023, 2, 2048, 1025}, {1022, 2, 1024, 1024},
        {0, 2, 1024, 2},       {2048, 0, 2048, 2048}, {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string contents(static_cast<size_t>(c.fileSize), 'x');
        Put(kTableFile, contents);
        SBuf buffer;
        ASSERT_TRUE(buffer.LoadPadded(kTablePath, c.extra)) << c.fileSize;
        EXPECT_EQ(buffer.Capacity(), c.capacity) << c.fileSize;
        EXPECT_EQ(buffer.Length(), c.length) << c.fileSize;
        EXPECT_EQ(buffer.Data() == nullptr, c.capacity == 0) << c.fileSize;
        if (buffer.Data() == nullptr)
            continue;
        EXPECT_EQ(std::string(buffer.Data(), static_cast<size_t>(c.fileSize)), contents);
        for (int32_t i = c.fileSize; i < c.length; ++i)
            EXPECT_EQ(buffer.Data()[i], 0) << c.fileSize << " byte " << i;
    }
}

TEST_F(TextFile, AFailedOpenKeepsWhatWasLoaded) {
    Put(kTableFile, "first");
    machine.files.AddDirectory("C:\\dir.txt");
    SBuf buffer;
    ASSERT_TRUE(buffer.LoadPadded(kTablePath, 2));
    const char* block = buffer.Data();
    for (const char16_t* path : {u"C:\\missing.txt", u"C:\\nodir\\t.txt", u"C:\\dir.txt", u""}) {
        EXPECT_FALSE(buffer.LoadPadded(path, 2));
        EXPECT_EQ(buffer.Data(), block);
        EXPECT_EQ(buffer.Length(), 7);
        EXPECT_STREQ(buffer.Data(), "first");
    }
}

TEST_F(TextFile, ALoadOfTheSameCapacityReusesTheBlock) {
    Put("C:\\a.txt", std::string(500, 'a'));
    Put("C:\\b.txt", std::string(900, 'b'));
    Put("C:\\c.txt", std::string(1500, 'c'));
    SBuf buffer;
    ASSERT_TRUE(buffer.Load(u"C:\\a.txt", 2));
    const char* block = buffer.Data();
    ASSERT_TRUE(buffer.Load(u"b.txt", 2));  // relative to the current directory
    EXPECT_EQ(buffer.Data(), block);
    EXPECT_EQ(buffer.Length(), 902);
    EXPECT_EQ(buffer.Data()[899], 'b');
    ASSERT_TRUE(buffer.Load(u"C:\\c.txt", 2));
    EXPECT_EQ(buffer.Capacity(), 2048);
    buffer.Free();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.Length(), 0);
}

TEST_F(TextFile, ResizeKeepsAnEqualCapacityAndRefusesLengthsBeyondTheField) {
    SBuf buffer;
    buffer.Resize(10);
    std::memcpy(const_cast<char*>(buffer.Data()), "kept", 5);
    buffer.Resize(1000);
    EXPECT_EQ(buffer.Capacity(), 1024);
    EXPECT_STREQ(buffer.Data(), "kept");
    buffer.Resize(-5);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Data(), nullptr);

    buffer.Resize(1);
    for (int32_t n : {SBuf::kMaxLength + 1, INT32_MAX}) {
        EXPECT_THROW(buffer.Resize(n), std::bad_alloc) << n;
        EXPECT_EQ(buffer.Capacity(), 1024);
        EXPECT_EQ(buffer.Length(), 1);
    }
}

// A file whose size plus the room asked for does not fit the buffer's 32-bit fields is
// refused, not wrapped into a small buffer that the read would overrun.
TEST(TextFileSize, OnlySizesThatFitTheBufferAreLoaded) {
    struct Case {
        DWORD low;
        DWORD high;
        int32_t extra;
        bool fits;
        int32_t length;
    };
    const DWORD largest = static_cast<DWORD>(SBuf::kMaxLength);
    const Case cases[] = {
        {0, 0, 2, true, 2},
        {1000, 0, 2, true, 1002},
        {largest - 2, 0, 2, true, SBuf::kMaxLength},
        {largest - 1, 0, 2, false, 0},
        {0x7FFFFFFF, 0, 0, false, 0},
        {0x7FFFFFFF, 0, 2, false, 0},    // would wrap to a negative length
        {0xFFFFFFFF, 0, 2, false, 0},    // INVALID_FILE_SIZE, or a 4 GB file
        {0xFFFFFFFE, 0, 2, false, 0},    // would wrap to a length of 0
        {16, 1, 2, false, 0},            // above 4 GB: the low part alone is small
        {10, 0, -1, false, 0},
    };
    for (const Case& c : cases) {
        int32_t length = 0;
        EXPECT_EQ(SBuf::LoadLength(c.low, c.high, c.extra, &length), c.fits)
            << std::hex << c.high << ":" << c.low << " + " << std::dec << c.extra;
        if (c.fits) {
            EXPECT_EQ(length, c.length);
        }
    }
}

// ---- SIni ----

struct LookupCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    bool found;
    const char* value;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

const LookupCase kLookups[] = {
    {"SectionUpperCase", "[STRING]\r\nEnable=x\r\n", "String", "Enable", true, "x"},
    {"SectionLowerCaseLfOnly", "[string]\nEnable=x\n", "String", "Enable", true, "x"},
    {"LongerSectionName", "[Strings]\r\nEnable=x\r\n", "String", "Enable", false, ""},
    {"BlankInHeader", "[String ]\r\nEnable=x\r\n", "String", "Enable", false, ""},
    {"IndentedHeader", " [String]\r\nEnable=x\r\n", "String", "Enable", false, ""},
    {"TextAfterHeader", "[String] of the menu\r\nEnable=x\r\n", "String", "Enable", true, "x"},
    {"NameWithBlank", "[language id]\r\nGR=1\r\n", "LANGUAGE ID", "gr", true, "1"},
    {"KeyLowerCaseAtEnd", "[String]\r\nenable=x", "String", "Enable", true, "x"},
    {"KeyIndented", "[String]\r\n  \tENABLE=x\r\n", "String", "Enable", true, "x"},
    {"BlankBeforeEquals", "[String]\r\nEnable =x\r\n", "String", "Enable", false, ""},
    {"LongerKey", "[String]\r\nEnableAll=x\r\n", "String", "Enable", false, ""},
    {"EmptyValue", "[String]\r\nEnable=\r\n", "String", "Enable", true, ""},
    {"ValueTakenExactly", "[String]\r\nCancel= \"a=b\"; c \r\n", "String", "Cancel", true,
     " \"a=b\"; c "},
    {"ValueBytesAsTheyAre", "[String]\r\nHelp=Hj\xE4lp\r\n", "String", "Help", true, "Hj\xE4lp"},
    {"BlankLinesInBody", "[String]\r\n\r\n\n  \r\nEnable=x", "String", "Enable", true, "x"},
    {"CommentLine", "[String]\r\n; Enable=x\r\nEnable=y\r\n", "String", "Enable", true, "y"},
    {"FirstOfTwoEntries", "[String]\r\nEnable=1\r\nEnable=2\r\n", "String", "Enable", true, "1"},
    {"OnlyTheFirstSection", "[String]\r\nA=1\r\n[String]\r\nEnable=2\r\n", "String", "Enable",
     false, ""},
    {"EntryBeforeFirstHeader", "Enable=0\r\n[String]\r\nA=1\r\n", "String", "Enable", false, ""},
    {"IndentedHeaderEndsSection", "[String]\r\n  [Other]\r\nEnable=x\r\n", "String", "Enable",
     false, ""},
    {"NextSectionNotSearched", "[Proj]\r\nA=1\r\n[String]\r\nEnable=x\r\n", "Proj", "Enable",
     false, ""},
    {"LaterSection", "[Proj]\r\nNameVersion=Remote 1.0\r\n\r\n[String]\r\nEnable=x\r\n",
     "String", "Enable", true, "x"},
    {"CrOnlyLineEnds", "[String]\rEnable=x\r", "String", "Enable", false, ""},
    {"HeaderOnLastLine", "[Proj]\r\nA=1\r\n[String]", "String", "Enable", false, ""},
    {"EmptyBody", "[String]\r\n", "String", "Enable", false, ""},
    {"EmptyFile", "", "String", "Enable", false, ""},
};

class TextTableLookup : public TextFile, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(TextTableLookup, FindsTheValueByTheTableRules) {
    const LookupCase& c = GetParam();
    Put(kTableFile, c.text);
    SIni table;
    ASSERT_TRUE(table.LoadPadded(kTablePath, 2));
    SStr out;
    out.Assign("previous");
    EXPECT_EQ(table.GetValue(out, c.section, c.key, nullptr), c.found);
    EXPECT_STREQ(out.Chars(), c.found ? c.value : "previous");
}

INSTANTIATE_TEST_SUITE_P(Cases, TextTableLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextFile, TheFallbackIsAssignedOnlyWhenTheKeyIsMissing) {
    Put(kTableFile, "[String]\r\nEnable=\r\n");
    SIni table;
    ASSERT_TRUE(table.LoadPadded(kTablePath, 2));
    SStr out;
    out.Assign("previous");
    EXPECT_TRUE(table.GetValue(out, "String", "Enable", "fallback"));
    EXPECT_STREQ(out.Chars(), "");
    EXPECT_FALSE(table.GetValue(out, "String", "Help", "fallback"));
    EXPECT_STREQ(out.Chars(), "fallback");
    EXPECT_FALSE(table.GetValue(out, "Missing", "Enable", "other"));
    EXPECT_STREQ(out.Chars(), "other");

    SIni empty;  // never loaded
    EXPECT_EQ(empty.FindSection("String"), nullptr);
    EXPECT_FALSE(empty.GetValue(out, "String", "Enable", nullptr));
    EXPECT_STREQ(out.Chars(), "other");
}

TEST_F(TextFile, ASectionRunsFromTheLineAfterItsHeaderToTheNextHeaderLine) {
    struct Case {
        const char* text;
        const char* body;  // from FindSection to SectionEnd
    };
    const Case cases[] = {
        {"[language id]\r\nGR 0407\r\n[Proj]\r\nA=1\r\n", "GR 0407\r\n"},
        {"[language id]\r\nGR 0407\r\n\r\n  [Proj]\r\n", "GR 0407\r\n\r\n"},
        {"[Proj]\r\nA=1\r\n[language id]\r\nGR 0407\r\nIT 0410", "GR 0407\r\nIT 0410"},
        {"[language id]\r\n[Proj]\r\n", ""},
        {"[language id]\r\n", ""},
    };
    for (const Case& c : cases) {
        Put(kTableFile, c.text);
        SIni table;
        ASSERT_TRUE(table.LoadPadded(kTablePath, 2));
        const char* body = table.FindSection("Language ID");
        ASSERT_NE(body, nullptr) << c.text;
        EXPECT_EQ(body, std::strstr(table.Data(), "[language id]") + 15) << c.text;
        EXPECT_EQ(std::string(body, table.SectionEnd(body)), c.body) << c.text;
    }
}

}  // namespace
