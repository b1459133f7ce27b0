// The string classes: records, sharing, growth, the assign/append family, Format, and
// the two free helpers on 8-bit text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/strings.h"
#include "lib/wide.h"

namespace {

// The record header sits right before the first character (the documented layout).
template <typename Char>
const SStrHeader& Header(const Char* chars) {
    return *reinterpret_cast<const SStrHeader*>(reinterpret_cast<const char*>(chars) -
                                                 sizeof(SStrHeader));
}

// On the host build WCHAR is char16_t.
std::u16string Text(const SWStr& s) { return std::u16string(s.Chars()); }

std::string Text(const SStr& s) { return std::string(s.Chars()); }

// Both sides of an SStr's length bookkeeping agree with its characters.
void ExpectConsistent(const SStr& s) {
    EXPECT_EQ(static_cast<size_t>(s.Length()), std::string(s.Chars()).size());
}

void ExpectConsistent(const SWStr& s) {
    EXPECT_EQ(static_cast<size_t>(s.Length()), Text(s).size());
}

template <typename Str>
bool OnEmptyRecord(const Str& s) {
    const SStrHeader& header = Header(s.Chars());
    return header.capacity == 0 && header.references == 0 && header.length == 0 &&
           s.Chars()[0] == 0;
}

// A static constructor that runs before the string below is defined may already use it:
// a string starts out constant-initialized on the static empty record.
extern SWStr g_definedLater;
struct UsesStringEarly {
    UsesStringEarly() { g_definedLater.Assign(WIDE("set early")); }
} g_usesStringEarly;
SWStr g_definedLater;

TEST(StringRecords, StringsAreUsableBeforeStaticConstructorsRun) {
    EXPECT_EQ(Text(g_definedLater), u"set early");
}

// ---- records and capacity classes ----

TEST(StringRecords, ReserveRoundsUpToCapacityClasses) {
    struct Case {
        int32_t n;
        int32_t capacity;
    };
    const Case cases[] = {{1, 8},     {7, 8},     {8, 16},    {15, 16},   {16, 32},
                          {31, 32},   {32, 64},   {63, 64},   {64, 128},  {127, 128},
                          {128, 256}, {255, 256}, {256, 257}, {300, 301}, {1000, 1001}};
    for (const Case& c : cases) {
        SWStr wide;
        SStr narrow;
        ASSERT_NE(wide.Reserve(c.n), nullptr);
        ASSERT_NE(narrow.Reserve(c.n), nullptr);
        EXPECT_EQ(Header(wide.Chars()).capacity, c.capacity) << "n=" << c.n;
        EXPECT_EQ(Header(narrow.Chars()).capacity, c.capacity) << "n=" << c.n;
        EXPECT_EQ(Header(wide.Chars()).references, 1);
        EXPECT_EQ(wide.Length(), 0);
        EXPECT_EQ(wide.Chars()[0], 0);
    }
}

TEST(StringRecords, ReserveOfNothingGivesTheSharedEmptyRecord) {
    for (int32_t n : {0, -1, -1000}) {
        SStr s;
        s.Assign("something");
        EXPECT_EQ(s.Reserve(n), nullptr) << n;
        EXPECT_TRUE(OnEmptyRecord(s));
    }
}

TEST(StringRecords, DefaultAndEmptiedStringsShareOneStaticRecordPerClass) {
    SWStr a;
    SWStr b;
    SStr c;
    EXPECT_EQ(a.Chars(), b.Chars());
    EXPECT_TRUE(OnEmptyRecord(a));
    EXPECT_TRUE(OnEmptyRecord(c));
    EXPECT_EQ(a.LastChar(), 0);

    b.Assign(WIDE("text"));
    b.Empty();
    EXPECT_EQ(b.Chars(), a.Chars());
    // Copies of the empty record never touch its count.
    SWStr copy(a);
    EXPECT_EQ(Header(a.Chars()).references, 0);
}

TEST(StringRecords, UnsharedRecordIsReusedOnlyForTheSameCapacityClass) {
    SStr s;
    s.Assign("0123456789");  // capacity 16
    const char* record = s.Chars();
    s.Assign("abcdefghijkl");  // 12 characters: still class 16
    EXPECT_EQ(s.Chars(), record);
    EXPECT_EQ(Text(s), "abcdefghijkl");

    s.Assign("abc");  // class 8: a new record, not the larger one
    EXPECT_NE(s.Chars(), record);
    EXPECT_EQ(Header(s.Chars()).capacity, 8);
    EXPECT_EQ(Text(s), "abc");

    s.Reserve(300);
    const char* big = s.Chars();
    s.Reserve(299);  // exact capacities above 256 must match exactly too
    EXPECT_NE(s.Chars(), big);
    EXPECT_EQ(Header(s.Chars()).capacity, 300);
}

TEST(StringRecords, ReserveWithKeepCopiesWhatFits) {
    SWStr s;
    s.Assign(WIDE("0123456789"));
    s.Reserve(20, true);
    EXPECT_EQ(Text(s), u"0123456789");
    EXPECT_EQ(s.Length(), 10);

    s.Reserve(4, true);
    EXPECT_EQ(Text(s), u"0123456");  // capacity 8 keeps 7 characters
    EXPECT_EQ(s.Length(), 7);
}

TEST(StringRecords, CallerFillsThroughReserveAndSetsTheLength) {
    SStr s;
    char* area = s.Reserve(5);
    std::memcpy(area, "hello!!", 7);
    s.SetLength(100);  // never past the record's last slot
    EXPECT_EQ(s.Length(), 7);
    EXPECT_EQ(Text(s), "hello!!");
    s.SetLength(5);
    EXPECT_EQ(Text(s), "hello");
    EXPECT_EQ(s.Length(), 5);
    ExpectConsistent(s);
}

// ---- sharing and copy-on-write ----

TEST(StringSharing, CopiesShareUntilOneChanges) {
    SWStr a(WIDE("hello"));
    SWStr b;
    b.Assign(a);
    EXPECT_EQ(a.Chars(), b.Chars());
    EXPECT_EQ(Header(a.Chars()).references, 2);
    {
        SWStr c(b);
        EXPECT_EQ(Header(a.Chars()).references, 3);
    }
    EXPECT_EQ(Header(a.Chars()).references, 2);

    b.Append(WIDE("!"), nullptr);
    EXPECT_NE(a.Chars(), b.Chars());
    EXPECT_EQ(Text(a), u"hello");
    EXPECT_EQ(Text(b), u"hello!");
    EXPECT_EQ(Header(a.Chars()).references, 1);
    EXPECT_EQ(Header(b.Chars()).references, 1);
}

TEST(StringSharing, AssigningAStringToItselfChangesNothing) {
    SStr a;
    a.Assign("abc");
    const char* record = a.Chars();
    a.Assign(a);
    a = a;
    EXPECT_EQ(a.Chars(), record);
    EXPECT_EQ(Header(record).references, 1);
    EXPECT_EQ(Text(a), "abc");
}

TEST(StringSharing, EveryModifierCopiesASharedRecordFirst) {
    struct Case {
        const char* name;
        void (*change)(SStr&);
        const char* result;
    };
    const Case cases[] = {
        {"Assign", [](SStr& s) { s.Assign("other"); }, "other"},
        {"AssignLeft", [](SStr& s) { s.AssignLeft("xyz", 2); }, "xy"},
        {"Append", [](SStr& s) { s.Append("+", nullptr); }, "shared+"},
        {"Truncate", [](SStr& s) { s.Truncate(3); }, "sha"},
        {"Format", [](SStr& s) { s.Format("%d", 42); }, "42"},
        {"Reserve", [](SStr& s) { s.Reserve(6, true); }, "shared"},
        {"Empty", [](SStr& s) { s.Empty(); }, ""},
    };
    for (const Case& c : cases) {
        SStr original;
        original.Assign("shared");
        SStr copy(original);
        c.change(copy);
        EXPECT_EQ(Text(original), "shared") << c.name;
        EXPECT_EQ(Text(copy), c.result) << c.name;
        EXPECT_EQ(Header(original.Chars()).references, 1) << c.name;
        ExpectConsistent(copy);
    }
}

// ---- Append and AppendPath ----

TEST(StringAppend, TakesUpToNinePieces) {
    SStr s;
    s.Assign(">");
    s.Append("1", "2", "3", "4", "5", "6", "7", "8", "9", nullptr);
    EXPECT_EQ(Text(s), ">123456789");
    EXPECT_EQ(s.Length(), 10);

    SWStr w;
    w.Append(WIDE("a"), WIDE(""), WIDE("bc"), nullptr);
    EXPECT_EQ(Text(w), u"abc");
    ExpectConsistent(w);
}

TEST(StringAppend, TenPiecesThrowBeforeTheStringChanges) {
    SStr s;
    s.Assign("keep");
    const char* record = s.Chars();
    SExcept* thrown = nullptr;
    try {
        s.Append("1", "2", "3", "4", "5", "6", "7", "8", "9", "10", nullptr);
    } catch (SExcept* e) {
        thrown = e;
    }
    ASSERT_NE(thrown, nullptr);
    EXPECT_STREQ(thrown->source, "app_smsc\\str");
    EXPECT_GT(thrown->line, 0);
    delete thrown;
    EXPECT_EQ(s.Chars(), record);
    EXPECT_EQ(Text(s), "keep");

    SWStr w(WIDE("keep"));
    thrown = nullptr;
    try {
        w.Append(WIDE("1"), WIDE("2"), WIDE("3"), WIDE("4"), WIDE("5"), WIDE("6"), WIDE("7"),
                 WIDE("8"), WIDE("9"), WIDE("10"), WIDE("11"), nullptr);
    } catch (SExcept* e) {
        thrown = e;
    }
    EXPECT_NE(thrown, nullptr);
    delete thrown;
    EXPECT_EQ(Text(w), u"keep");
}

TEST(StringAppend, NothingToAppendLeavesASharedRecordShared) {
    SStr a;
    a.Assign("text");
    SStr b(a);
    b.Append("", "", nullptr);
    b.Append(nullptr);
    EXPECT_EQ(a.Chars(), b.Chars());
    EXPECT_EQ(Header(a.Chars()).references, 2);
}

TEST(StringAppend, GrowsThroughTheCapacityClassesKeepingTheText) {
    SStr s;
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        s.Append("0123456789", nullptr);
        expected += "0123456789";
    }
    EXPECT_EQ(Text(s), expected);
    EXPECT_EQ(s.Length(), 400);
    EXPECT_EQ(Header(s.Chars()).capacity, 401);
}

TEST(StringAppend, AppendPathPutsExactlyOneBackslashBetween) {
    struct Case {
        const char16_t* path;
        const char16_t* component;
        const char16_t* result;
    };
    const Case cases[] = {
        {u"C:\\a", u"b", u"C:\\a\\b"},       {u"C:\\a\\", u"\\b", u"C:\\a\\b"},
        {u"C:\\a", u"\\b", u"C:\\a\\b"},     {u"C:\\a\\", u"\\\\b", u"C:\\a\\\\b"},
        {u"", u"b", u"b"},                   {u"", u"\\b", u"\\b"},
        {u"C:\\a\\", u"b", u"C:\\a\\b"},     {u"C:", u"x.txt", u"C:\\x.txt"},
        {u"C:\\a", u"", u"C:\\a\\"},
    };
    for (const Case& c : cases) {
        SWStr s(c.path);
        s.AppendPath(c.component);
        EXPECT_EQ(Text(s), c.result) << "component of length "
                                     << std::u16string(c.component).size();
        ExpectConsistent(s);
    }
}

TEST(StringAppend, LastCharIsTheFinalCharacter) {
    EXPECT_EQ(SWStr(WIDE("C:\\dir\\")).LastChar(), '\\');
    EXPECT_EQ(SWStr(WIDE("x")).LastChar(), 'x');
    EXPECT_EQ(SWStr(WIDE("")).LastChar(), 0);
}

// ---- partial assignments ----

TEST(StringAssign, AssignLeftTakesAtMostNCharacters) {
    struct Case {
        const char* text;
        int32_t n;
        const char* result;
    };
    const Case cases[] = {{"abc", 5, "abc"}, {"abc", 3, "abc"}, {"abcdef", 2, "ab"},
                          {"abc", 0, ""},    {"abc", -4, ""},   {"", 3, ""}};
    for (const Case& c : cases) {
        SStr s;
        s.Assign("previous");
        s.AssignLeft(c.text, c.n);
        EXPECT_EQ(Text(s), c.result) << c.text << " " << c.n;
        ExpectConsistent(s);
    }
    SWStr w;
    w.AssignLeft(WIDE("abcdef"), 4);
    EXPECT_EQ(Text(w), u"abcd");
}

TEST(StringAssign, AssignUpToStopsBeforeTheCharacter) {
    struct Case {
        const char16_t* text;
        const char16_t* result;
    };
    const Case cases[] = {{u"a;b", u"a"}, {u";b", u""}, {u"ab", u"ab"}, {u"a;b;c", u"a"},
                          {u"", u""}};
    for (const Case& c : cases) {
        SWStr s;
        s.AssignUpTo(c.text, ';');
        EXPECT_EQ(Text(s), c.result);
        ExpectConsistent(s);
    }
}

TEST(StringAssign, TruncateKeepsTheFirstCharacters) {
    struct Case {
        int32_t n;
        const char* result;
    };
    const Case cases[] = {{0, ""}, {2, "ab"}, {5, "abcde"}, {9, "abcde"}, {-1, ""}};
    for (const Case& c : cases) {
        SStr s;
        s.Assign("abcde");
        const char* record = s.Chars();
        s.Truncate(c.n);
        EXPECT_EQ(Text(s), c.result) << c.n;
        EXPECT_EQ(s.Chars(), record) << "an unshared record is cut in place";
        ExpectConsistent(s);
    }
}

TEST(StringAssign, TextTakenFromTheStringItselfStaysValid) {
    SStr s;
    s.Assign("0123456789abcdefghij");  // capacity 32
    s.Assign(s.Chars() + 15);          // "fghij": capacity 8, the old record goes
    EXPECT_EQ(Text(s), "fghij");

    s.Append(s.Chars(), s.Chars(), s.Chars(), nullptr);
    EXPECT_EQ(Text(s), "fghijfghijfghijfghij");

    SWStr w(WIDE("C:\\some\\longer\\directory\\name"));
    w.AssignLeft(w.Chars() + 3, 4);
    EXPECT_EQ(Text(w), u"some");
    w.AppendPath(w.Chars());
    EXPECT_EQ(Text(w), u"some\\some");
}

// ---- conversions through the OEM code page ----

TEST(StringConvert, WideAndEightBitTextConvertThroughCodePage437) {
    const char oem[] = "\x81\xE1 \xC4\xB3\xDA ok";
    const char16_t wide[] = u"\u00FC\u00DF \u2500\u2502\u250C ok";

    SWStr w;
    w.AssignConverted(oem, 10);
    EXPECT_EQ(Text(w), wide);
    EXPECT_EQ(w.Length(), 10);

    SStr fromObject(w);
    EXPECT_EQ(Text(fromObject), oem);
    SStr fromText(wide);
    EXPECT_EQ(Text(fromText), oem);
    SStr assigned;
    assigned.Assign(w);
    EXPECT_EQ(Text(assigned), oem);
    EXPECT_EQ(assigned.Length(), 10);
}

TEST(StringConvert, CountsAreExactAndNothingGivesEmpty) {
    SWStr w;
    w.AssignConverted("abcdef", 3);
    EXPECT_EQ(Text(w), u"abc");
    w.AssignConverted("abc", 0);
    EXPECT_TRUE(OnEmptyRecord(w));

    SStr s;
    s.AssignConverted(WIDE("wide text"), 4);
    EXPECT_EQ(Text(s), "wide");
    s.Assign(SWStr());
    EXPECT_TRUE(OnEmptyRecord(s));
}

TEST(StringConvert, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    SStr s(WIDE("a\u263Ab\u0100"));
    EXPECT_EQ(Text(s), "a?b?");
}

// ---- Format ----

TEST(StringFormat, ResultLengthDecidesBetweenStackAndRecord) {
    struct Case {
        int length;
        int32_t capacity;
    };
    // Up to 127 characters from the stack buffer, sized to the result; above that the
    // request of 256, 512, ... characters is formatted straight into the record.
    const Case cases[] = {{1, 8}, {100, 128}, {127, 128}, {128, 257}, {256, 257}, {257, 513},
                          {300, 513}, {1500, 2049}};
    for (const Case& c : cases) {
        const std::string text(static_cast<size_t>(c.length), 'x');
        SStr s;
        s.Format("%s", text.c_str());
        EXPECT_EQ(Text(s), text) << c.length;
        EXPECT_EQ(s.Length(), c.length);
        EXPECT_EQ(Header(s.Chars()).capacity, c.capacity) << c.length;

        const std::u16string wideText(static_cast<size_t>(c.length), u'y');
        SWStr w;
        w.Format(WIDE("%s"), wideText.c_str());
        EXPECT_EQ(Text(w), wideText) << c.length;
        EXPECT_EQ(Header(w.Chars()).capacity, c.capacity) << c.length;
    }
}

TEST(StringFormat, WideStringArgumentsAreWideText) {
    SWStr code(WIDE("US"));
    SWStr name;
    name.Format(WIDE("str_%s.txt"), code.Chars());
    EXPECT_EQ(Text(name), u"str_US.txt");

    SStr key;
    key.Format("Config Manager\\Enum\\%08X [%02X] %04d", 0xC29A0u, 0x7u, 3);
    EXPECT_EQ(Text(key), "Config Manager\\Enum\\000C29A0 [07] 0003");
}

TEST(StringFormat, EmptyResultGivesTheEmptyRecord) {
    SStr s;
    s.Assign("before");
    s.Format("%s", "");
    EXPECT_TRUE(OnEmptyRecord(s));
}

TEST(StringFormat, ArgumentsFromTheStringItselfSurviveTheGrowth) {
    SStr s;
    s.Assign(std::string(100, 'a').c_str());
    s.Format("%s|%s", s.Chars(), s.Chars());
    EXPECT_EQ(Text(s), std::string(100, 'a') + "|" + std::string(100, 'a'));
    s.Format("%s%s", s.Chars(), s.Chars());
    EXPECT_EQ(s.Length(), 402);
}

TEST(StringFormat, AFormatterThatNeverSucceedsEndsWithAnEmptyString) {
    // The 8-bit formatter cannot write a wide character above 0xFF whatever the room.
    const std::string wideTextFormat = "%S";  // not a literal: the host's check reads %S
    SStr s;                                   // as wchar_t text
    s.Assign("before");
    s.Format(wideTextFormat.c_str(), WIDE("\u263A"));
    EXPECT_TRUE(OnEmptyRecord(s));
}

// ---- free helpers ----

TEST(StringHelpers, ParseHexReadsTheLeadingDigits) {
    struct Case {
        const char* text;
        DWORD value;
    };
    const Case cases[] = {{"00000409", 0x409},     {"0c0a Spanish", 0xC0A}, {"x1", 0},
                          {"", 0},                 {"FfEe", 0xFFEE},        {"0x10", 0},
                          {"123456789", 0x23456789}, {"9g", 9}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseHex(c.text), c.value) << c.text;
    }
}

TEST(StringHelpers, FindNoCaseFindsTheFirstOccurrence) {
    struct Case {
        const char* text;
        const char* pattern;
        int position;  // -1: not found
    };
    const Case cases[] = {{"prog -v", "-V", 5}, {"prog /B4 -b4", "-B4", 9},
                          {"abcabc", "CA", 2},  {"abc", "abcd", -1},
                          {"", "", -1},         {"abc", "", 0},
                          {"", "a", -1},        {"ABC", "abc", 0},
                          {"aab", "ab", 1}};
    for (const Case& c : cases) {
        const char* found = FindNoCase(c.text, c.pattern);
        const int position = found == nullptr ? -1 : static_cast<int>(found - c.text);
        EXPECT_EQ(position, c.position) << '"' << c.text << "\" / \"" << c.pattern << '"';
    }
}

}  // namespace
