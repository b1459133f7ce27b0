// A 16550-compatible UART: the infrared function's serial port.
//
// Register decode follows the usual layout (offsets from the base); the divisor latch bit
// of the line control register switches offsets 0 and 1 to the divisor. Receive side:
// bytes come from the line through ReceiveFromLine into a 16-byte FIFO. The FIFO is
// always on, whatever the FIFO control register says, because the infrared function
// keeps it enabled; when it is full a new byte is lost and the overrun bit is set.
// A byte sent at another rate or line format than the UART is programmed for is
// received as garbage with the framing-error bit. The error bits of a byte show in the
// line status once it is at the head of the FIFO; reading the line status clears them.
// Transmit side: a byte written to the transmit register is counted and keeps the
// transmitter busy for one frame time at the programmed rate; nothing goes on a line.
// No interrupt line is modelled: the interrupt identification register only tells the
// highest-priority pending cause.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/bus.h"
#include "sim/hw/clock.h"

namespace hw {

namespace uart {

const uint16_t kPortCount = 8;

// Register offsets
const uint16_t kRegData = 0;             // receive buffer / transmit holding; divisor low
const uint16_t kRegInterruptEnable = 1;  // divisor high while the latch is open
const uint16_t kRegInterruptId = 2;      // read; FIFO control on write
const uint16_t kRegLineControl = 3;
const uint16_t kRegModemControl = 4;
const uint16_t kRegLineStatus = 5;
const uint16_t kRegModemStatus = 6;
const uint16_t kRegScratch = 7;

// Line control
const uint8_t kLcrWordLengthMask = 0x03;  // 5 + value data bits
const uint8_t kLcrTwoStopBits = 0x04;
const uint8_t kLcrParityEnable = 0x08;
const uint8_t kLcrFormatMask = 0x3F;      // word length, stop bits, parity bits
const uint8_t kLcrFormat8N1 = 0x03;
const uint8_t kLcrDivisorLatch = 0x80;

// Line status
const uint8_t kLsrDataReady = 0x01;
const uint8_t kLsrOverrun = 0x02;
const uint8_t kLsrParityError = 0x04;
const uint8_t kLsrFramingError = 0x08;
const uint8_t kLsrBreak = 0x10;
const uint8_t kLsrTransmitHoldingEmpty = 0x20;
const uint8_t kLsrTransmitterEmpty = 0x40;
const uint8_t kLsrFifoError = 0x80;
const uint8_t kLsrByteErrors = kLsrParityError | kLsrFramingError | kLsrBreak;

// Interrupt enable
const uint8_t kIerReceivedData = 0x01;
const uint8_t kIerTransmitEmpty = 0x02;
const uint8_t kIerLineStatus = 0x04;

// Interrupt identification
const uint8_t kIirNonePending = 0x01;
const uint8_t kIirLineStatus = 0x06;
const uint8_t kIirReceivedData = 0x04;
const uint8_t kIirTransmitEmpty = 0x02;
const uint8_t kIirFifosEnabled = 0xC0;

// FIFO control
const uint8_t kFcrEnable = 0x01;
const uint8_t kFcrClearReceive = 0x02;

// Modem control
const uint8_t kMcrLoopback = 0x10;

const uint32_t kBaseClockBaud = 115200;  // rate at divisor 1
const int kFifoDepth = 16;

}  // namespace uart

struct UartState {
    uint8_t rxData[uart::kFifoDepth] = {};
    uint8_t rxErrors[uart::kFifoDepth] = {};  // byte error bits (kLsrByteErrors) per entry
    uint8_t rxHead = 0;
    uint8_t rxCount = 0;
    uint8_t lastRead = 0;          // what the receive buffer gives when the FIFO is empty
    uint8_t pendingErrors = 0;     // overrun and shown byte errors, until the status is read

    // Values a BIOS leaves for a 9600-baud infrared port.
    uint8_t divisorLow = 12;
    uint8_t divisorHigh = 0;
    uint8_t ier = 0;
    uint8_t lcr = uart::kLcrFormat8N1;
    uint8_t fcr = 0;
    uint8_t mcr = 0;
    uint8_t scratch = 0;

    Nanoseconds transmitterBusyUntil = 0;

    // Counters for tests
    uint32_t bytesReceived = 0;     // put into the FIFO
    uint32_t overruns = 0;          // lost because the FIFO was full
    uint32_t framingErrors = 0;     // received as garbage
    uint32_t bytesTransmitted = 0;
    uint8_t lastTransmitted = 0;
};

class Uart16550 : public PortDevice {
public:
    explicit Uart16550(const Clock& clock) : clock_(clock) {}

    void Reset() { state_ = UartState(); }

    // Fault switch: the line status says "data ready" whatever the FIFO holds, as a
    // broken receiver or a foreign device at these ports may answer; reads of an empty
    // FIFO give the last byte again.
    void SetStuckDataReady(bool stuck) { stuckDataReady_ = stuck; }

    // Register decode by offset 0..7 from the base.
    uint8_t Read(uint16_t offset);
    void Write(uint16_t offset, uint8_t value);

    // Bus side: the port numbers are taken relative to the base the chip gives.
    uint8_t In(uint16_t port) override { return Read(Offset(port)); }
    void Out(uint16_t port, uint8_t value) override { Write(Offset(port), value); }
    void SetBase(uint16_t base) { base_ = base; }
    uint16_t base() const { return base_; }

    // A byte arrives from a line running at `lineBaud`, 8 data bits, no parity, one
    // stop bit.
    void ReceiveFromLine(uint8_t byte, uint32_t lineBaud);

    uint16_t divisor() const;
    // Time of one character frame (start, data, parity and stop bits) as programmed.
    Nanoseconds FrameTime() const;
    bool MatchesLine(uint32_t lineBaud) const;
    const UartState& state() const { return state_; }

private:
    uint16_t Offset(uint16_t port) const { return static_cast<uint16_t>(port - base_); }
    bool DivisorLatchOpen() const { return state_.lcr & uart::kLcrDivisorLatch; }
    void PushReceived(uint8_t value, uint8_t errors);
    uint8_t PopReceived();
    uint8_t ReadLineStatus();
    uint8_t InterruptId() const;
    void Transmit(uint8_t value);
    bool TransmitterIdle() const { return clock_.now >= state_.transmitterBusyUntil; }
    uint8_t WordMask() const;

    const Clock& clock_;
    uint16_t base_ = 0;
    UartState state_;
    bool stuckDataReady_ = false;
};

}  // namespace hw
