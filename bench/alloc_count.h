// Heap allocations made through the global operator new, counted for the benchmarks.
//
// The benchmark programs replace the global operator new and delete (alloc_count.cpp):
// every C++ allocation of the code under measurement, the string classes' records,
// SBuf's block and the standard containers', passes through them. The C library's
// malloc is left alone; none of the measured code calls it directly.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace bench {

uint64_t AllocationCount();

// Counts the allocations made between its construction and Publish, and reports them per
// iteration as the counter "allocs".
class AllocationMeter {
public:
    AllocationMeter() : m_start(AllocationCount()) {}
    void Publish(benchmark::State& state) const
    {
        state.counters["allocs"] = benchmark::Counter(
            static_cast<double>(AllocationCount() - m_start), benchmark::Counter::kAvgIterations);
    }

private:
    uint64_t m_start;
};

}  // namespace bench
