#include "sim/hw/superio.h"

#include <string.h>

namespace hw {

using namespace superio;

SuperIoChip::SuperIoChip(const bool* interruptFlag) : interruptFlag_(interruptFlag) {}

void SuperIoChip::Configure(uint16_t indexPort, RegisterModel model,
                            const uint8_t globalRegisters[kRegisterCount],
                            const uint8_t infraredRegisters[kRegisterCount])
{
    indexPort_ = indexPort;
    model_ = model;
    configMode_ = false;
    index_ = 0;
    memcpy(global_, globalRegisters, sizeof(global_));
    memcpy(infrared_, infraredRegisters, sizeof(infrared_));
    cycles_ = ConfigCycleRecord();
}

uint8_t SuperIoChip::In(uint16_t port)
{
    if (!configMode_)
        return kFloatingBus;
    NoteAccess();
    if (port == indexPort_)
        return index_;
    return ReadRegister(index_);
}

void SuperIoChip::Out(uint16_t port, uint8_t value)
{
    if (port == indexPort_) {
        if (!configMode_) {
            if (value == kEnterKey)
                OpenCycle();
            return;
        }
        NoteAccess();
        if (value == kExitKey)
            CloseCycle();
        else
            index_ = value;
        return;
    }
    if (configMode_) {
        NoteAccess();
        WriteRegister(index_, value);
    }
}

void SuperIoChip::OpenCycle()
{
    configMode_ = true;
    cycleSawInterruptsEnabled_ = false;
    NoteAccess();
}

void SuperIoChip::CloseCycle()
{
    configMode_ = false;
    ++cycles_.completed;
    if (cycleSawInterruptsEnabled_)
        ++cycles_.withInterruptsEnabled;
    cycles_.lastRanWithInterruptsDisabled = !cycleSawInterruptsEnabled_;
}

void SuperIoChip::NoteAccess()
{
    if (interruptFlag_ != nullptr && *interruptFlag_)
        cycleSawInterruptsEnabled_ = true;
}

bool SuperIoChip::SelectsInfraredDevice() const
{
    return global_[kRegLogicalDevice] == kInfraredDevice;
}

uint8_t SuperIoChip::ReadRegister(uint8_t index) const
{
    if (model_ == RegisterModel::kFlat || index < kFirstDeviceRegister)
        return global_[index];
    return SelectsInfraredDevice() ? infrared_[index] : 0x00;
}

void SuperIoChip::WriteRegister(uint8_t index, uint8_t value)
{
    if (model_ == RegisterModel::kFlat || index < kFirstDeviceRegister)
        global_[index] = value;
    else if (SelectsInfraredDevice())
        infrared_[index] = value;
}

bool SuperIoChip::InRemoteMode() const
{
    if (model_ == RegisterModel::kFlat) {
        uint8_t mode = (global_[kRegIrMode] & kIrModeMask) >> kIrModeShift;
        return mode == kIrModeRemote && (global_[kRegConfigControl] & kConfigControlIrRemote);
    }
    return (infrared_[kRegActivate] & kActivateBit) &&
           infrared_[kRegIrFunction] == kIrFunctionRemote;
}

bool SuperIoChip::UartDecoded(uint16_t* base) const
{
    uint16_t at;
    if (model_ == RegisterModel::kFlat) {
        at = static_cast<uint16_t>(global_[kRegUartBase] * kUartBaseScale);
    } else {
        if (!(infrared_[kRegActivate] & kActivateBit))
            return false;
        at = static_cast<uint16_t>((infrared_[kRegBaseHigh] << 8) | infrared_[kRegBaseLow]);
    }
    if (at < kLowestUartBase)
        return false;
    *base = at;
    return true;
}

}  // namespace hw
