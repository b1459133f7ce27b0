#include "sim/hw/notebook.h"

#include <string.h>

namespace hw {

using namespace superio;

NotebookConfig::NotebookConfig()
{
    memset(globalRegisters, 0, sizeof(globalRegisters));
    memset(infraredRegisters, 0, sizeof(infraredRegisters));
    globalRegisters[kRegConfigControl] = 0x04;
    globalRegisters[kRegIrMode] = 0x02 | (kIrModeNormal << kIrModeShift);
    globalRegisters[kRegUartBase] = 0xFE;
    infraredRegisters[kRegActivate] = 0x00;
    infraredRegisters[kRegBaseHigh] = 0x03;
    infraredRegisters[kRegBaseLow] = 0xF8;
    infraredRegisters[kRegIrFunction] = kIrFunctionNormal;
}

Notebook::Notebook(Clock& clock, const NotebookConfig& config)
    : clock_(clock), config_(config), chip_(&interruptsEnabled), uart_(clock)
{
    bus_.Claim(&dma_, DmaController::kFirstPort, DmaController::kPortCount);
    if (HasChip()) {
        chip_.Configure(config_.chipPort, config_.registerModel, config_.globalRegisters,
                        config_.infraredRegisters);
        bus_.Claim(&chip_, config_.chipPort, 1 + kDataPortOffset);
        uartClaim_ = bus_.Claim(&uart_, 0, 0);
        uart_.SetStuckDataReady(config_.uartStuckDataReady);
    }
    firmware_.Configure(config_.firmware);
}

void Notebook::SetPortObserver(PortObserver observer, void* context)
{
    bus_.SetObserver(observer, context);
}

bool Notebook::UartBase(uint16_t* base) const
{
    return HasChip() && chip_.UartDecoded(base);
}

void Notebook::Sync()
{
    Nanoseconds arrival;
    while (remote_.NextArrival(&arrival) && arrival <= clock_.now) {
        uint8_t byte = remote_.TakeNext();
        if (InRemoteMode())
            uart_.ReceiveFromLine(byte, RemoteControl::kBaud);
        else
            ++remoteBytesLost_;
    }
}

void Notebook::BeginBusCycle()
{
    clock_.Advance(kBusCycle);
    ++portAccesses_;
    Sync();
    // Registers may have changed since the last cycle, through the bus or directly.
    uint16_t base = 0;
    if (UartBase(&base)) {
        uart_.SetBase(base);
        bus_.Move(uartClaim_, base, uart::kPortCount);
    } else {
        bus_.Move(uartClaim_, 0, 0);
    }
}

uint8_t Notebook::PortIn(uint16_t port)
{
    BeginBusCycle();
    return bus_.In(port);
}

void Notebook::PortOut(uint16_t port, uint8_t value)
{
    BeginBusCycle();
    bus_.Out(port, value);
}

bool Notebook::PressRemote(Nanoseconds at, const uint8_t code[3])
{
    return SendRawBurst(at, code, RemoteControl::kCodeLength);
}

bool Notebook::SendRawBurst(Nanoseconds at, const uint8_t* bytes, size_t length)
{
    return remote_.Schedule(at > clock_.now ? at : clock_.now, bytes, length);
}

}  // namespace hw
