// The simulated notebook: I/O bus, Super I/O chip, infrared UART, presentation remote,
// DMA controller and firmware, all on one virtual clock.
//
// Every port access is one bus cycle: the clock moves on by kBusCycle, everything that
// happened up to the new time is brought up to date (remote bytes that have arrived by
// then reach the UART), and then the access is made. Time is thus modelled lazily; a
// test that looks at the UART without a port access calls Sync first.
//
// The infrared front end passes a byte from the remote to the UART only if the chip is
// in remote mode when the byte arrives (SuperIoChip::InRemoteMode gives the rule of
// each register model); a byte arriving in normal mode is lost for good. The UART
// decodes at the base the chip's registers give at the moment of the access.
//
// Nothing here allocates or throws: the same models build into a Windows driver.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/bus.h"
#include "sim/hw/clock.h"
#include "sim/hw/dma.h"
#include "sim/hw/firmware.h"
#include "sim/hw/remote.h"
#include "sim/hw/superio.h"
#include "sim/hw/uart16550.h"

namespace hw {

struct NotebookConfig {
    static constexpr int kRegisterCount = SuperIoChip::kRegisterCount;

    uint16_t chipPort = 0x2E;  // index port: 0x2E, 0x4E, or 0 for a machine without the chip
    RegisterModel registerModel = RegisterModel::kFlat;
    // Power-on values. In the flat model every index addresses globalRegisters; in the
    // logical-device model indices below 0x30 do, and infraredRegisters are those of
    // logical device 5.
    uint8_t globalRegisters[kRegisterCount];
    uint8_t infraredRegisters[kRegisterCount];
    FirmwareConfig firmware;  // absent unless firmware.present is set
    bool uartStuckDataReady = false;  // fault: the UART's line status always says data ready

    // A plausible machine: UART at 0x3F8 in both models, infrared in normal mode.
    //   flat:    0x02 = 0x04, 0x0C = 0x0A (mode field 1), 0x25 = 0xFE
    //   device5: 0x30 = 0x00, 0x60 = 0x03, 0x61 = 0xF8, 0xF1 = 0x4E
    NotebookConfig();
};

class Notebook {
public:
    static constexpr Nanoseconds kBusCycle = kMicrosecond;

    Notebook(Clock& clock, const NotebookConfig& config);
    Notebook(const Notebook&) = delete;
    Notebook& operator=(const Notebook&) = delete;

    uint8_t PortIn(uint16_t port);               // one bus cycle
    void PortOut(uint16_t port, uint8_t value);  // one bus cycle

    bool interruptsEnabled = true;  // the processor's interrupt flag

    typedef void (*PortObserver)(void* context, uint16_t port, bool isWrite, uint8_t value);
    void SetPortObserver(PortObserver observer, void* context);

    // Remote: a button press sends its 3-byte code starting at virtual time `at`; a raw
    // burst sends any bytes the same way (fault tests). A time already past counts as
    // now. False when the script is full.
    bool PressRemote(Nanoseconds at, const uint8_t code[3]);
    bool SendRawBurst(Nanoseconds at, const uint8_t* bytes, size_t length);

    // Brings the UART up to the clock without a bus cycle.
    void Sync();

    // Accessors for tests and the host.
    Clock& clock() { return clock_; }
    const NotebookConfig& config() const { return config_; }
    bool HasChip() const { return config_.chipPort != 0; }
    SuperIoChip& chip() { return chip_; }
    Uart16550& uart() { return uart_; }
    // The UART's current base, or false when the chip does not decode it now.
    bool UartBase(uint16_t* base) const;
    bool InRemoteMode() const { return HasChip() && chip_.InRemoteMode(); }
    RemoteControl& remote() { return remote_; }
    uint32_t remoteBytesLost() const { return remoteBytesLost_; }  // arrived in normal mode
    DmaController& dma() { return dma_; }
    IoBus& bus() { return bus_; }
    uint64_t portAccesses() const { return portAccesses_; }

    Firmware& firmware() { return firmware_; }  // physical memory + service call

private:
    void BeginBusCycle();

    Clock& clock_;
    NotebookConfig config_;
    IoBus bus_;
    SuperIoChip chip_;
    Uart16550 uart_;
    DmaController dma_;
    RemoteControl remote_;
    Firmware firmware_;
    int uartClaim_ = IoBus::kNoClaim;
    uint32_t remoteBytesLost_ = 0;
    uint64_t portAccesses_ = 0;
};

}  // namespace hw
