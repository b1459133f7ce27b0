// The machine's hardware settings of a scenario: the Super I/O chip and the firmware.
#pragma once

#include "sim/hw/notebook.h"
#include "sim/trace.h"

namespace pexasim {

// Reads "superio" and "firmware" of a scenario's machine into the notebook's settings;
// throws ScenarioError naming the place of a bad value.
void ParseHardware(const sim::Json& machine, hw::NotebookConfig& config);

}  // namespace pexasim
