// The timeline a person reads: one line per event.
#pragma once

#include <ostream>
#include <string>

#include "sim/trace.h"

namespace pexasim {

std::string TimelineLine(const sim::TraceEvent& event);
// The name of a control code of the driver, or its number in hex.
std::string ControlCodeName(uint32_t code);

// Prints timeline lines, folding each run of idle polls (read-code requests that found
// nothing waiting, every 150 ms while remote mode is on) into one line.
class IdlePollFolder {
public:
    IdlePollFolder(std::ostream& out, bool printAll) : out_(out), printAll_(printAll) {}
    void Print(const sim::TraceEvent& event);
    void Flush();

private:
    std::ostream& out_;
    bool printAll_;
    uint64_t count_ = 0;
    uint64_t firstUs_ = 0;
    uint64_t lastUs_ = 0;
};

}  // namespace pexasim
