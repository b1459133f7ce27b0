// The string classes against the standard strings and snprintf, with the heap
// allocations per operation.
//
// Names are "operation/implementation"; the first implementation of an operation is the
// system's own, the others are the alternatives the report compares it with.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "alloc_count.h"
#include "lib/strings.h"
#include "lib/wide.h"

namespace {

using bench::AllocationMeter;

// A short text fits the standard string's inline buffer; one of 39 characters does not.
const char kShortText[] = "Help";
const char kLongText[] = "C:\\Program Files\\Pexa\\readme_US.txt.bak";
const WCHAR kLongWide[] = WIDE("C:\\Program Files\\Pexa\\readme_US.txt.bak");
// Two texts of one capacity class (32 slots): refilling one with the other reuses it.
const char* const kRefills[] = {"Pexaro Control 1.0 abc", "Pexaro Steuerung 1.0 abcd"};
const WCHAR* const kWideRefills[] = {WIDE("C:\\Pexa\\str_GR.txt xyz"),
                                     WIDE("C:\\Pexa\\str_us.txt uvwxyz")};
const char kDirectory[] = "C:\\Program Files\\Pexa";
const WCHAR kWideDirectory[] = WIDE("C:\\Program Files\\Pexa");

// ---- copy: the string classes share the record ----

template <typename Str>
void Copy(benchmark::State& state, const Str& source)
{
    AllocationMeter meter;
    for (auto _ : state) {
        Str copy(source);
        benchmark::DoNotOptimize(copy);
    }
    meter.Publish(state);
}

void CopySStr(benchmark::State& state, const char* text)
{
    SStr source;
    source.Assign(text);
    Copy(state, source);
}

void CopyStdString(benchmark::State& state, const char* text)
{
    Copy(state, std::string(text));
}

void CopySWStr(benchmark::State& state)
{
    Copy(state, SWStr(kLongWide));
}

void CopyU16String(benchmark::State& state)
{
    Copy(state, std::u16string(kLongWide));
}

BENCHMARK_CAPTURE(CopySStr, short, kShortText)->Name("copy 4 chars/SStr");
BENCHMARK_CAPTURE(CopyStdString, short, kShortText)->Name("copy 4 chars/std::string");
BENCHMARK_CAPTURE(CopySStr, long, kLongText)->Name("copy 39 chars/SStr");
BENCHMARK_CAPTURE(CopyStdString, long, kLongText)->Name("copy 39 chars/std::string");
BENCHMARK(CopySWStr)->Name("copy 39 wide chars/SWStr");
BENCHMARK(CopyU16String)->Name("copy 39 wide chars/std::u16string");

// ---- assignment between strings that hold text ----

void AssignBetweenStdString(benchmark::State& state)
{
    const std::string first = kLongText;
    const std::string second = kDirectory;
    std::string target = kRefills[0];
    AllocationMeter meter;
    bool flip = false;
    for (auto _ : state) {
        target = flip ? first : second;
        flip = !flip;
        benchmark::DoNotOptimize(target);
    }
    meter.Publish(state);
}

void AssignBetweenSStr(benchmark::State& state)
{
    SStr first;
    SStr second;
    first.Assign(kLongText);
    second.Assign(kDirectory);
    SStr target;
    target.Assign(kRefills[0]);
    AllocationMeter meter;
    bool flip = false;
    for (auto _ : state) {
        target = flip ? first : second;
        flip = !flip;
        benchmark::DoNotOptimize(target);
    }
    meter.Publish(state);
}

BENCHMARK(AssignBetweenSStr)->Name("assign string/SStr");
BENCHMARK(AssignBetweenStdString)->Name("assign string/std::string");

// ---- refill from text of the same capacity class ----

// The one call each implementation fills a string with.
void AssignText(SStr& target, const char* text) { target.Assign(text); }
void AssignText(SWStr& target, const WCHAR* text) { target.Assign(text); }
template <typename Char>
void AssignText(std::basic_string<Char>& target, const Char* text) { target.assign(text); }

// Alternates between two texts of one capacity class.
template <typename Str, typename Char>
void Refill(benchmark::State& state, const Char* const* texts)
{
    Str target;
    AssignText(target, texts[0]);
    AllocationMeter meter;
    size_t i = 0;
    for (auto _ : state) {
        AssignText(target, texts[++i & 1]);
        benchmark::DoNotOptimize(target);
    }
    meter.Publish(state);
}

void RefillSStr(benchmark::State& state) { Refill<SStr>(state, kRefills); }
void RefillStdString(benchmark::State& state) { Refill<std::string>(state, kRefills); }
void RefillSWStr(benchmark::State& state) { Refill<SWStr>(state, kWideRefills); }
void RefillU16String(benchmark::State& state) { Refill<std::u16string>(state, kWideRefills); }

BENCHMARK(RefillSStr)->Name("refill within class/SStr");
BENCHMARK(RefillStdString)->Name("refill within class/std::string");
BENCHMARK(RefillSWStr)->Name("refill within class wide/SWStr");
BENCHMARK(RefillU16String)->Name("refill within class wide/std::u16string");

// ---- Append: a file name put together from pieces, into a fresh string ----

void AppendSStr(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        SStr path;
        path.Assign(kDirectory);
        path.Append("\\", "str_", "GR", ".txt");
        benchmark::DoNotOptimize(path);
    }
    meter.Publish(state);
}

void AppendStdString(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        std::string path = kDirectory;
        path += "\\";
        path += "str_";
        path += "GR";
        path += ".txt";
        benchmark::DoNotOptimize(path);
    }
    meter.Publish(state);
}

void AppendSWStr(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        SWStr path;
        path.Assign(kWideDirectory);
        path.Append(WIDE("\\"), WIDE("str_"), WIDE("GR"), WIDE(".txt"));
        benchmark::DoNotOptimize(path);
    }
    meter.Publish(state);
}

void AppendU16String(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        std::u16string path = kWideDirectory;
        path += WIDE("\\");
        path += WIDE("str_");
        path += WIDE("GR");
        path += WIDE(".txt");
        benchmark::DoNotOptimize(path);
    }
    meter.Publish(state);
}

BENCHMARK(AppendSStr)->Name("append 4 pieces/SStr");
BENCHMARK(AppendStdString)->Name("append 4 pieces/std::string");
BENCHMARK(AppendSWStr)->Name("append 4 pieces wide/SWStr");
BENCHMARK(AppendU16String)->Name("append 4 pieces wide/std::u16string");

// ---- Format into a fresh string: one group of the code history in the title (13
// characters), and a text of 200 characters, past the 127 the stack buffer takes ----

const char kCodeFormat[] = "[%02X][%02X][%02X]=";
const std::string kLongArgument(191, 'x');
const char kLongFormat[] = "text: %s!!!";  // 200 characters with the argument

void FormatShortSStr(benchmark::State& state)
{
    AllocationMeter meter;
    unsigned byte = 0;
    for (auto _ : state) {
        SStr text;
        text.Format(kCodeFormat, byte & 0xFF, 0xCCu, 0x33u);
        ++byte;
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatShortSnprintf(benchmark::State& state)
{
    AllocationMeter meter;
    unsigned byte = 0;
    for (auto _ : state) {
        char text[128];
        std::snprintf(text, sizeof text, kCodeFormat, byte & 0xFF, 0xCCu, 0x33u);
        ++byte;
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

// The usual way to a standard string of unknown length: measure, then format.
template <typename... Args>
std::string FormatStdString(const char* format, Args... args)
{
    const int needed = std::snprintf(nullptr, 0, format, args...);
    std::string text(static_cast<size_t>(needed), '\0');
    std::snprintf(&text[0], text.size() + 1, format, args...);
    return text;
}

void FormatShortStdString(benchmark::State& state)
{
    AllocationMeter meter;
    unsigned byte = 0;
    for (auto _ : state) {
        std::string text = FormatStdString(kCodeFormat, byte & 0xFF, 0xCCu, 0x33u);
        ++byte;
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatLongSStr(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        SStr text;
        text.Format(kLongFormat, kLongArgument.c_str());
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatLongSnprintf(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        char text[256];
        std::snprintf(text, sizeof text, kLongFormat, kLongArgument.c_str());
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatLongStdString(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        std::string text = FormatStdString(kLongFormat, kLongArgument.c_str());
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

// The largest result that stays within the stack buffer, and the smallest past it.
void FormatAtLimitSStr(benchmark::State& state, size_t length)
{
    const std::string argument(length, 'y');
    AllocationMeter meter;
    for (auto _ : state) {
        SStr text;
        text.Format("%s", argument.c_str());
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatAtLimitSnprintf(benchmark::State& state, size_t length)
{
    const std::string argument(length, 'y');
    AllocationMeter meter;
    for (auto _ : state) {
        char text[256];
        std::snprintf(text, sizeof text, "%s", argument.c_str());
        benchmark::DoNotOptimize(text);
    }
    meter.Publish(state);
}

void FormatWideSWStr(benchmark::State& state)
{
    const WCHAR code[] = WIDE("GR");
    AllocationMeter meter;
    for (auto _ : state) {
        SWStr name;
        name.Format(WIDE("str_%s.txt"), code);
        benchmark::DoNotOptimize(name);
    }
    meter.Publish(state);
}

void FormatWideU16String(benchmark::State& state)
{
    const std::u16string code = WIDE("GR");
    AllocationMeter meter;
    for (auto _ : state) {
        std::u16string name = WIDE("str_") + code + WIDE(".txt");
        benchmark::DoNotOptimize(name);
    }
    meter.Publish(state);
}

BENCHMARK(FormatShortSStr)->Name("format 13 chars/SStr");
BENCHMARK(FormatShortSnprintf)->Name("format 13 chars/snprintf");
BENCHMARK(FormatShortStdString)->Name("format 13 chars/std::string");
BENCHMARK(FormatLongSStr)->Name("format 200 chars/SStr");
BENCHMARK(FormatLongSnprintf)->Name("format 200 chars/snprintf");
BENCHMARK(FormatLongStdString)->Name("format 200 chars/std::string");
BENCHMARK_CAPTURE(FormatAtLimitSStr, in, 127)->Name("format 127 chars/SStr");
BENCHMARK_CAPTURE(FormatAtLimitSnprintf, in, 127)->Name("format 127 chars/snprintf");
BENCHMARK_CAPTURE(FormatAtLimitSStr, past, 128)->Name("format 128 chars/SStr");
BENCHMARK_CAPTURE(FormatAtLimitSnprintf, past, 128)->Name("format 128 chars/snprintf");
BENCHMARK(FormatWideSWStr)->Name("format file name wide/SWStr");
BENCHMARK(FormatWideU16String)->Name("format file name wide/std::u16string");

}  // namespace
