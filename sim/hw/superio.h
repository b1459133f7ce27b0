// The Super I/O chip: configuration registers behind an index/data port pair.
//
// Writing the key 0x55 to the index port opens configuration mode; then the index port
// takes a register index and the data port reads or writes that register; 0xAA written
// to the index port closes the mode again. Outside configuration mode the chip does not
// decode its ports at all: reads float to 0xFF and every write except the key is lost.
// Inside it, a read of the index port gives back the index last written.
//
// Two register models exist on different machines:
//   flat            every index addresses one global register;
//   logical-device  indices below 0x30 are global, register 0x07 selects a logical
//                   device, and indices from 0x30 up address a register of that device.
//                   Only logical device 5, the infrared function, is modelled; the
//                   registers of the others read 0x00 and ignore writes.
//
// The chip also tells where its infrared UART is decoded and whether the infrared
// function is in remote mode; the rules are next to InRemoteMode and UartDecoded.
#pragma once

#include <stdint.h>

#include "sim/hw/bus.h"

namespace hw {

enum class RegisterModel : uint8_t { kFlat, kLogicalDevice };

namespace superio {

const uint8_t kEnterKey = 0x55;
const uint8_t kExitKey = 0xAA;
const uint16_t kDataPortOffset = 1;

// Global registers
const uint8_t kRegConfigControl = 0x02;
const uint8_t kConfigControlIrRemote = 0x80;  // flat model: set in remote mode
const uint8_t kRegLogicalDevice = 0x07;
const uint8_t kRegIrMode = 0x0C;              // flat model
const uint8_t kIrModeMask = 0x38;             // bits 5..3
const uint8_t kIrModeShift = 3;
const uint8_t kIrModeNormal = 1;
const uint8_t kIrModeRemote = 2;
const uint8_t kRegUartBase = 0x25;            // flat model: UART base = value * 4
const uint16_t kUartBaseScale = 4;

// Logical device 5, the infrared function
const uint8_t kFirstDeviceRegister = 0x30;
const uint8_t kInfraredDevice = 5;
const uint8_t kRegActivate = 0x30;
const uint8_t kActivateBit = 0x01;
const uint8_t kRegBaseHigh = 0x60;
const uint8_t kRegBaseLow = 0x61;
const uint8_t kRegIrFunction = 0xF1;
const uint8_t kIrFunctionRemote = 0x50;
const uint8_t kIrFunctionNormal = 0x4E;

// The chip's decoder ignores UART bases below this: those ports belong to the
// motherboard's own devices (DMA, interrupt and timer chips).
const uint16_t kLowestUartBase = 0x100;

}  // namespace superio

// How the configuration cycles of the driver treated the processor's interrupt flag.
// A cycle runs from the 0x55 key to the 0xAA key; it counts as "with interrupts
// enabled" when any of its accesses, keys included, found the flag set.
struct ConfigCycleRecord {
    uint32_t completed = 0;
    uint32_t withInterruptsEnabled = 0;
    bool lastRanWithInterruptsDisabled = false;
};

class SuperIoChip : public PortDevice {
public:
    static constexpr int kRegisterCount = 256;

    // `interruptFlag` is the processor's flag, read at every access for the record.
    explicit SuperIoChip(const bool* interruptFlag);

    void Configure(uint16_t indexPort, RegisterModel model,
                   const uint8_t globalRegisters[kRegisterCount],
                   const uint8_t infraredRegisters[kRegisterCount]);

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;

    uint16_t indexPort() const { return indexPort_; }
    RegisterModel model() const { return model_; }
    bool InConfigMode() const { return configMode_; }
    const ConfigCycleRecord& cycles() const { return cycles_; }

    // Direct access for tests and set-up; the bus never goes through these.
    uint8_t GlobalRegister(uint8_t index) const { return global_[index]; }
    void SetGlobalRegister(uint8_t index, uint8_t value) { global_[index] = value; }
    uint8_t InfraredRegister(uint8_t index) const { return infrared_[index]; }
    void SetInfraredRegister(uint8_t index, uint8_t value) { infrared_[index] = value; }

    // Remote mode, in which the infrared front end passes the remote's bytes on:
    //   flat            mode field of 0x0C == 2 and bit 7 of 0x02 set;
    //   logical-device  device 5 activated (0x30 bit 0) and its 0xF1 == 0x50.
    bool InRemoteMode() const;
    // Where the infrared UART answers: flat model at 0x25 * 4; logical-device model at
    // 0x60:0x61 of device 5, only while the device is activated. False when the UART
    // is not decoded (deactivated, or a base below kLowestUartBase).
    bool UartDecoded(uint16_t* base) const;

private:
    uint8_t ReadRegister(uint8_t index) const;
    void WriteRegister(uint8_t index, uint8_t value);
    bool SelectsInfraredDevice() const;
    void NoteAccess();
    void OpenCycle();
    void CloseCycle();

    const bool* interruptFlag_;
    uint16_t indexPort_ = 0;
    RegisterModel model_ = RegisterModel::kFlat;
    bool configMode_ = false;
    bool cycleSawInterruptsEnabled_ = false;
    uint8_t index_ = 0;
    uint8_t global_[kRegisterCount] = {};
    uint8_t infrared_[kRegisterCount] = {};
    ConfigCycleRecord cycles_;
};

}  // namespace hw
