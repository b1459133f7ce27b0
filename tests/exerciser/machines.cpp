#include "machines.h"

namespace exerciser {

namespace {

const uint16_t kNoChip = 0;

MachineKind Kind(const char* name, uint16_t chipPort, hw::RegisterModel model, bool firmware,
                 bool garbage)
{
    MachineKind kind;
    kind.name = name;
    kind.hardware.chipPort = chipPort;
    kind.hardware.registerModel = model;
    kind.firmwarePresent = firmware;
    if (firmware) {
        kind.hardware.firmware.present = true;
        kind.hardware.firmware.answersGarbage = garbage;
        kind.hardware.firmware.SetOemId("_Tov", "____", "_Lum", "____");
        kind.hardware.firmware.SetProductName("Skerry 46");
    }
    return kind;
}

}  // namespace

std::vector<MachineKind> MachineKinds()
{
    using hw::RegisterModel;
    return {
        Kind("chip 0x2E flat, firmware", 0x2E, RegisterModel::kFlat, true, false),
        Kind("chip 0x2E flat, no firmware", 0x2E, RegisterModel::kFlat, false, false),
        Kind("chip 0x4E ldn, firmware garbage", 0x4E, RegisterModel::kLogicalDevice, true, true),
        Kind("chip 0x4E ldn, no firmware", 0x4E, RegisterModel::kLogicalDevice, false, false),
        Kind("no chip, firmware", kNoChip, RegisterModel::kFlat, true, false),
        Kind("no chip, no firmware", kNoChip, RegisterModel::kFlat, false, false),
    };
}

}  // namespace exerciser
