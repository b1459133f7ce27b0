// The tray program's key mapping, taken from its source (app_smsc/polling.cpp): time per
// code and heap allocations, which must be none.
//
// The program's state and its read request are defined here, and the key events go to a
// counter instead of the simulated desktop, so that only the mapping is measured.
#include <benchmark/benchmark.h>

#include "alloc_count.h"
#include "tray.h"

TrayState g_tray = {};

DWORD ReadCode(unsigned char*)
{
    return 0;
}

namespace {

uint64_t g_keyEvents = 0;

// Codes of both mappings: whole patterns, a spoilt byte, a tie, nibble votes.
const unsigned char kCodes[][3] = {
    {0x33, 0x33, 0x33}, {0xCC, 0xCC, 0xCC}, {0x12, 0xCC, 0x33}, {0x37, 0x3B, 0x77},
    {0x00, 0x00, 0x00}, {0x99, 0x99, 0x99}, {0x66, 0x66, 0x66}, {0x39, 0x69, 0x93},
};
constexpr size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];

void MapTwoKeys(benchmark::State& state)
{
    bench::AllocationMeter meter;
    size_t i = 0;
    for (auto _ : state)
        MapCodeTwoKeys(kCodes[i++ % kCodeCount]);
    meter.Publish(state);
    benchmark::DoNotOptimize(g_keyEvents);
}

void MapFourKeys(benchmark::State& state)
{
    bench::AllocationMeter meter;
    size_t i = 0;
    for (auto _ : state)
        MapCodeFourKeys(kCodes[i++ % kCodeCount]);
    meter.Publish(state);
    benchmark::DoNotOptimize(g_keyEvents);
}

BENCHMARK(MapTwoKeys)->Name("map code to key two-key/MapCodeTwoKeys");
BENCHMARK(MapFourKeys)->Name("map code to key four-key/MapCodeFourKeys");

}  // namespace

extern "C" void WINAPI keybd_event(BYTE, BYTE, DWORD, ULONG_PTR)
{
    ++g_keyEvents;
}
