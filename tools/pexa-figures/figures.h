// The system's own figures, measured on the simulated notebook in virtual time.
//
// Every figure comes from pexa-sim scenarios built here: the tray program runs with the
// driver on a machine, the remote sends codes at scripted times, and the trace tells
// when keys reached the focused application and what the driver did on the bus. The
// scenarios are deterministic (fixed seeds, virtual time); only the simulator's own
// speed depends on the computer running it.
#pragma once

#include <cstdint>
#include <string>

#include "sim/trace.h"

namespace figures {

using sim::Json;

// The 38400-baud line: 10 bits a byte, three bytes a code.
constexpr double kCodeAirUs = 3 * 10 * 1e6 / 38400;  // 781.25 µs
constexpr double kPollPeriodUs = 150000;
constexpr double kReceiveWindowUs = 40000;
constexpr int kFifoBytes = 16;

struct Options {
    int latencyPresses = 2000;
    double lossSecondsPerRate = 30;
    double speedSeconds = 3600;
    uint32_t seed = 1;
    std::string scenarioDir;  // when set, every scenario is also written there as JSON
};

// Button-to-key latency over presses at random times, and the driver's work per
// request seen in the same run (port accesses, time, clock reads).
Json LatencyAndDriverWork(const Options& options);
// Codes lost as the press rate rises: evenly spaced and random presses.
Json LostCodes(const Options& options);
// A code cut short after its first byte: the receive window runs to its end.
Json CutShortCode(const Options& options);
// Virtual time per wall second for a long run of ordinary use.
Json SimulatorSpeed(const Options& options);

}  // namespace figures
