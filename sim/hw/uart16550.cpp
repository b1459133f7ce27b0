#include "sim/hw/uart16550.h"

namespace hw {

using namespace uart;

uint16_t Uart16550::divisor() const
{
    return static_cast<uint16_t>((state_.divisorHigh << 8) | state_.divisorLow);
}

uint8_t Uart16550::WordMask() const
{
    int dataBits = 5 + (state_.lcr & kLcrWordLengthMask);
    return static_cast<uint8_t>((1u << dataBits) - 1);
}

Nanoseconds Uart16550::FrameTime() const
{
    // Counted in half bits: five data bits with "two" stop bits send one and a half.
    int dataBits = 5 + (state_.lcr & kLcrWordLengthMask);
    int halfBits = 2 * (1 + dataBits) + 2;
    if (state_.lcr & kLcrParityEnable)
        halfBits += 2;
    if (state_.lcr & kLcrTwoStopBits)
        halfBits += dataBits == 5 ? 1 : 2;
    // A divisor of 0 behaves as the largest one.
    uint64_t effectiveDivisor = divisor() != 0 ? divisor() : 0x10000;
    return halfBits * effectiveDivisor * kSecond / (2 * kBaseClockBaud);
}

bool Uart16550::MatchesLine(uint32_t lineBaud) const
{
    return divisor() != 0 && uint64_t(divisor()) * lineBaud == kBaseClockBaud &&
           (state_.lcr & kLcrFormatMask) == kLcrFormat8N1;
}

void Uart16550::ReceiveFromLine(uint8_t byte, uint32_t lineBaud)
{
    if (state_.mcr & kMcrLoopback)
        return;  // the receiver listens to its own transmitter, not to the line
    if (MatchesLine(lineBaud)) {
        PushReceived(byte, 0);
        return;
    }
    // A receiver clocked at another rate or expecting another frame samples the wrong
    // bits and misses the stop bit.
    ++state_.framingErrors;
    PushReceived(static_cast<uint8_t>((byte ^ 0xA5) & WordMask()), kLsrFramingError);
}

void Uart16550::PushReceived(uint8_t value, uint8_t errors)
{
    if (state_.rxCount == kFifoDepth) {
        ++state_.overruns;
        state_.pendingErrors |= kLsrOverrun;
        return;
    }
    int tail = (state_.rxHead + state_.rxCount) % kFifoDepth;
    state_.rxData[tail] = value;
    state_.rxErrors[tail] = errors;
    ++state_.rxCount;
    ++state_.bytesReceived;
}

uint8_t Uart16550::PopReceived()
{
    if (state_.rxCount == 0)
        return state_.lastRead;
    state_.lastRead = state_.rxData[state_.rxHead];
    state_.rxHead = (state_.rxHead + 1) % kFifoDepth;
    --state_.rxCount;
    return state_.lastRead;
}

uint8_t Uart16550::ReadLineStatus()
{
    uint8_t status = state_.pendingErrors;
    bool fifoError = false;
    for (int i = 0; i < state_.rxCount; ++i)
        fifoError = fifoError || state_.rxErrors[(state_.rxHead + i) % kFifoDepth] != 0;
    if (state_.rxCount > 0) {
        status |= kLsrDataReady | state_.rxErrors[state_.rxHead];
        state_.rxErrors[state_.rxHead] = 0;  // shown once, as for the head byte of a 16550
    }
    if (fifoError)
        status |= kLsrFifoError;
    if (stuckDataReady_)
        status |= kLsrDataReady;
    if (TransmitterIdle())
        status |= kLsrTransmitHoldingEmpty | kLsrTransmitterEmpty;
    state_.pendingErrors = 0;
    return status;
}

uint8_t Uart16550::InterruptId() const
{
    uint8_t fifoBits = (state_.fcr & kFcrEnable) ? kIirFifosEnabled : 0;
    bool errors = state_.pendingErrors != 0 ||
                  (state_.rxCount > 0 && state_.rxErrors[state_.rxHead] != 0);
    if ((state_.ier & kIerLineStatus) && errors)
        return fifoBits | kIirLineStatus;
    if ((state_.ier & kIerReceivedData) && state_.rxCount > 0)
        return fifoBits | kIirReceivedData;
    if ((state_.ier & kIerTransmitEmpty) && TransmitterIdle())
        return fifoBits | kIirTransmitEmpty;
    return fifoBits | kIirNonePending;
}

void Uart16550::Transmit(uint8_t value)
{
    ++state_.bytesTransmitted;
    state_.lastTransmitted = value;
    Nanoseconds start = TransmitterIdle() ? clock_.now : state_.transmitterBusyUntil;
    state_.transmitterBusyUntil = start + FrameTime();
    if (state_.mcr & kMcrLoopback)
        PushReceived(value, 0);
}

uint8_t Uart16550::Read(uint16_t offset)
{
    switch (offset) {
    case kRegData:
        return DivisorLatchOpen() ? state_.divisorLow : PopReceived();
    case kRegInterruptEnable:
        return DivisorLatchOpen() ? state_.divisorHigh : state_.ier;
    case kRegInterruptId:
        return InterruptId();
    case kRegLineControl:
        return state_.lcr;
    case kRegModemControl:
        return state_.mcr;
    case kRegLineStatus:
        return ReadLineStatus();
    case kRegModemStatus:
        return 0x00;  // the infrared function has no modem lines
    case kRegScratch:
        return state_.scratch;
    default:
        return 0xFF;
    }
}

void Uart16550::Write(uint16_t offset, uint8_t value)
{
    switch (offset) {
    case kRegData:
        if (DivisorLatchOpen())
            state_.divisorLow = value;
        else
            Transmit(value);
        break;
    case kRegInterruptEnable:
        if (DivisorLatchOpen())
            state_.divisorHigh = value;
        else
            state_.ier = value & 0x0F;
        break;
    case kRegInterruptId:
        state_.fcr = value;
        if (value & kFcrClearReceive)
            state_.rxCount = 0;
        break;
    case kRegLineControl:
        state_.lcr = value;
        break;
    case kRegModemControl:
        state_.mcr = value & 0x1F;
        break;
    case kRegScratch:
        state_.scratch = value;
        break;
    default:
        break;  // line and modem status are read-only
    }
}

}  // namespace hw
