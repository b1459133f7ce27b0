// Benchmarks that need the simulated machine: reading the built-in language table into
// the process-wide selection, and device-control round trips through the stand-in I/O
// manager into the driver.
#include <benchmark/benchmark.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "alloc_count.h"
#include "lib/language.h"
#include "lib/language_table.h"
#include "pexactrl.h"
#include "sim/machine.h"

namespace {

using bench::AllocationMeter;

// language.cpp fills g_osVersion and g_language while the program's statics are
// constructed, through the stand-in Windows layer, which acts on the simulated machine:
// so the machine is made before them. It has the driver loaded and nothing installed.
std::unique_ptr<sim::Machine> MakeMachine()
{
    sim::MachineConfig config;
    config.installDir = "";
    config.driver = true;
    config.language = 0x0407;
    return std::make_unique<sim::Machine>(config);
}

__attribute__((init_priority(101))) std::unique_ptr<sim::Machine> g_machine = MakeMachine();

// ---- the built-in language table ----

void ParseBuiltInTable(benchmark::State& state)
{
    AllocationMeter meter;
    for (auto _ : state) {
        ParseLanguageTable(kBuiltInLanguageTable);
        benchmark::DoNotOptimize(g_language);
    }
    meter.Publish(state);
}

// The obvious way with standard streams: read each row's code and hexadecimal id.
struct StreamSelection {
    std::string code;
    std::string neutralCode;
};

StreamSelection ParseWithStreams(const char* text, int systemId, int neutralId)
{
    StreamSelection selection;
    std::istringstream rows(text);
    std::string row;
    while (std::getline(rows, row)) {
        if (row.empty() || row[0] == ' ')
            continue;  // rows without a code never match
        std::istringstream fields(row);
        std::string code;
        int id = -1;
        fields >> code >> std::hex >> id;
        if (id == neutralId)
            selection.neutralCode = code;
        else if (id == systemId)
            selection.code = code;
    }
    if (selection.code.empty())
        selection.code = selection.neutralCode;
    return selection;
}

void ParseBuiltInTableStreams(benchmark::State& state)
{
    const int systemId = SystemLanguageId();
    AllocationMeter meter;
    for (auto _ : state) {
        StreamSelection selection = ParseWithStreams(kBuiltInLanguageTable, systemId, 0);
        benchmark::DoNotOptimize(selection);
    }
    meter.Publish(state);
}

BENCHMARK(ParseBuiltInTable)->Name("language table/ParseLanguageTable");
BENCHMARK(ParseBuiltInTableStreams)->Name("language table/std::istringstream rows");

// ---- device-control round trips ----

void* OpenDriver()
{
    uint32_t error = 0;
    void* file = g_machine->io.Open(PEXACTRL_USER_PATH, error);
    if (file == nullptr) {
        std::fprintf(stderr, "bench: cannot open the driver (error %u); is PEXACTRL built?\n",
                     error);
        std::exit(1);
    }
    return file;
}

// One request per iteration; the trace keeps every request as an event, so it is
// emptied each time (part of the simulator's cost of a request).
void RoundTrip(benchmark::State& state, uint32_t code, uint32_t length)
{
    void* file = OpenDriver();
    unsigned char in[4] = {};
    unsigned char out[4] = {};
    const uint64_t portsBefore = g_machine->notebook->portAccesses();
    AllocationMeter meter;
    for (auto _ : state) {
        uint32_t returned = 0;
        uint32_t error = 0;
        g_machine->io.DeviceControl(file, code, length ? in : nullptr, length,
                                    length ? out : nullptr, length, returned, error);
        g_machine->trace.Clear();
        benchmark::DoNotOptimize(out);
    }
    meter.Publish(state);
    state.counters["ports"] = benchmark::Counter(
        static_cast<double>(g_machine->notebook->portAccesses() - portsBefore),
        benchmark::Counter::kAvgIterations);
    g_machine->io.Close(file);
}

// The port accesses of an idle read-code request, made straight on the hardware model:
// a configuration cycle for register 0x25 (the UART base) and one line-status read.
void IdleReadPortsOnly(benchmark::State& state)
{
    hw::Notebook& notebook = *g_machine->notebook;
    const uint16_t kIndex = 0x2E;
    const uint16_t kData = 0x2F;
    const uint16_t kLineStatus = 0x3F8 + 5;
    AllocationMeter meter;
    for (auto _ : state) {
        notebook.PortOut(kIndex, 0x55);
        notebook.PortOut(kIndex, 0x25);
        uint8_t base = notebook.PortIn(kData);
        notebook.PortOut(kIndex, 0xAA);
        uint8_t status = notebook.PortIn(kLineStatus);
        benchmark::DoNotOptimize(base);
        benchmark::DoNotOptimize(status);
    }
    meter.Publish(state);
    state.counters["ports"] = 5;
}

BENCHMARK_CAPTURE(RoundTrip, read, IOCTL_IR_READ_CODE_2E, 3)
    ->Name("device control idle read/IoManager round trip");
BENCHMARK(IdleReadPortsOnly)->Name("device control idle read/port accesses alone");
BENCHMARK_CAPTURE(RoundTrip, nop, IOCTL_IR_NOP, 0)
    ->Name("device control no-op/IoManager round trip");

}  // namespace
