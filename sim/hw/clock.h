// Virtual time of the simulated notebook.
//
// Every model reads the same clock; nothing in the simulation reads the host's time.
// The hardware models (bus, chip, UART, remote, firmware) are written so that they can
// also be compiled into a Windows kernel driver: no heap, no exceptions, no standard
// library containers. That is why the clock is a plain struct.
#pragma once

#include <stdint.h>

namespace hw {

typedef uint64_t Nanoseconds;

const Nanoseconds kMicrosecond = 1000;
const Nanoseconds kMillisecond = 1000 * kMicrosecond;
const Nanoseconds kSecond = 1000 * kMillisecond;

// A clock that only goes forward. The host simulation owns one per machine; each port
// access advances it by the bus cycle time, the scheduler jumps it to the next event.
struct Clock {
    Nanoseconds now = 0;

    void Advance(Nanoseconds by) { now += by; }
    void AdvanceTo(Nanoseconds t)
    {
        if (t > now)
            now = t;
    }
};

}  // namespace hw
