// Stand-in NT kernel: the clocks, all read from the machine's virtual clock.
//
// The system time starts at a fixed date and can be shifted like a real one; the
// interrupt time, the tick count and the performance counter count from the machine's
// start and never go back. Reading a clock costs a little virtual time, as reading the
// timer hardware does, so a driver that spins on the time alone still sees it pass.
#include <ntddk.h>

#include "sim/io_objects.h"
#include "sim/machine.h"

namespace {

// 2001-01-01 00:00:00 UTC in 100 ns units since 1601-01-01.
const int64_t kSystemTimeAtStart = 126227808000000000LL;
const uint64_t kNanosecondsPer100ns = 100;
const uint64_t kNanosecondsPerSecond = 1000000000;
const uint64_t kTimeReadCostNs = 100;
// One clock tick of 15.625 ms, in 100 ns units.
const ULONG kTimeIncrement = 156250;
// The interval timer's input clock, what a uniprocessor HAL of the time counts in.
const uint64_t kPerformanceFrequency = 1193182;

// Counts the query and charges its cost; returns the virtual time in nanoseconds.
uint64_t ReadClock()
{
    sim::Machine& machine = sim::CurrentMachine();
    ++machine.io.Kernel().timeQueries;
    machine.clock.Advance(kTimeReadCostNs);
    return machine.clock.now;
}

int64_t Interrupt100ns(uint64_t nowNs)
{
    return static_cast<int64_t>(nowNs / kNanosecondsPer100ns);
}

}  // namespace

extern "C" {

void NTAPI KeQuerySystemTime(PLARGE_INTEGER currentTime)
{
    const uint64_t now = ReadClock();
    currentTime->QuadPart = kSystemTimeAtStart + Interrupt100ns(now) +
                            sim::CurrentMachine().io.Kernel().systemTimeShift;
}

ULONGLONG NTAPI KeQueryInterruptTime(void)
{
    return static_cast<ULONGLONG>(Interrupt100ns(ReadClock()));
}

void NTAPI KeQueryTickCount(PLARGE_INTEGER tickCount)
{
    tickCount->QuadPart = Interrupt100ns(ReadClock()) / kTimeIncrement;
}

ULONG NTAPI KeQueryTimeIncrement(void)
{
    return kTimeIncrement;
}

LARGE_INTEGER NTAPI KeQueryPerformanceCounter(PLARGE_INTEGER frequency)
{
    const unsigned __int128 now = ReadClock();
    LARGE_INTEGER counter;
    counter.QuadPart = static_cast<LONGLONG>(now * kPerformanceFrequency / kNanosecondsPerSecond);
    if (frequency)
        frequency->QuadPart = static_cast<LONGLONG>(kPerformanceFrequency);
    return counter;
}

}  // extern "C"
