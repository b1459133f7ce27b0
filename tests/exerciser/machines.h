// The machines the exerciser sends its requests on: the chip at either port or absent,
// with the firmware service present, absent or answering nonsense.
#pragma once

#include <string>
#include <vector>

#include "sim/machine.h"

namespace exerciser {

struct MachineKind {
    std::string name;
    hw::NotebookConfig hardware;
    bool firmwarePresent = false;
};

std::vector<MachineKind> MachineKinds();

}  // namespace exerciser
