// What the steps of a scenario do in the simulated machine.
#pragma once

#include "scenario.h"

namespace pexasim {

void PerformStep(sim::Machine& machine, const Step& step);
// Remote presses go to the hardware ahead of time: the UART receives their bytes at
// their virtual times even while a program is busy in the driver.
void ScheduleRemote(sim::Machine& machine, uint64_t atNs, const std::string& hexCode);
// The machine's Plug and Play devices from a scenario: the SetupAPI device list on the
// NT family, devnodes on Windows 98/ME. Null keeps the default devices.
void ApplyDevices(sim::Machine& machine, const Json& devices);

// Message names a scenario may post.
bool MessageByName(const std::string& name, UINT& message);

}  // namespace pexasim
