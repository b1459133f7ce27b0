// The timeline a person reads: one line per event.
#pragma once

#include <string>

#include "sim/trace.h"

namespace pexasim {

std::string TimelineLine(const sim::TraceEvent& event);
// The name of a control code of the driver, or its number in hex.
std::string ControlCodeName(uint32_t code);

}  // namespace pexasim
