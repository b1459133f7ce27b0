// The 16550-compatible UART on its own: divisor latch, line control, line status,
// receive FIFO, line-rate matching and transmit timing.
#include <gtest/gtest.h>

#include "sim/hw/uart16550.h"

namespace {

using namespace hw::uart;

class HwUart : public testing::Test {
protected:
    void Program(uint16_t divisor, uint8_t format)
    {
        uart.Write(kRegLineControl, kLcrDivisorLatch);
        uart.Write(kRegData, uint8_t(divisor));
        uart.Write(kRegInterruptEnable, uint8_t(divisor >> 8));
        uart.Write(kRegLineControl, format);
    }

    hw::Clock clock;
    hw::Uart16550 uart{clock};
};

TEST_F(HwUart, DivisorLatchSwitchesOffsetsZeroAndOne)
{
    uart.Write(kRegInterruptEnable, 0x05);
    uart.Write(kRegLineControl, 0x83);
    uart.Write(kRegData, 0x03);
    uart.Write(kRegInterruptEnable, 0x01);
    EXPECT_EQ(uart.Read(kRegData), 0x03);
    EXPECT_EQ(uart.Read(kRegInterruptEnable), 0x01);
    EXPECT_EQ(uart.Read(kRegLineControl), 0x83);
    EXPECT_EQ(uart.divisor(), 0x0103);
    EXPECT_EQ(uart.state().bytesTransmitted, 0u);

    uart.Write(kRegLineControl, 0x03);
    EXPECT_EQ(uart.Read(kRegInterruptEnable), 0x05);
    uart.Write(kRegData, 0x41);  // now the transmit register
    EXPECT_EQ(uart.state().bytesTransmitted, 1u);
    EXPECT_EQ(uart.state().lastTransmitted, 0x41);
    EXPECT_EQ(uart.divisor(), 0x0103);
}

TEST_F(HwUart, FrameTimeAndLineMatchFollowDivisorAndFormat)
{
    struct Row {
        uint16_t divisor;
        uint8_t lcr;
        hw::Nanoseconds frame;
        bool matches38400;
    };
    const Row rows[] = {
        {3, 0x03, 260416, true},     // 38400 8N1
        {3, 0x83, 260416, true},     // latch open does not change the line
        {12, 0x03, 1041666, false},  // 9600
        {1, 0x03, 86805, false},     // 115200
        {3, 0x07, 286458, false},    // two stop bits
        {3, 0x0B, 286458, false},    // odd parity
        {3, 0x02, 234375, false},    // 7 data bits
        {3, 0x04, 195312, false},    // 5 data bits, one and a half stop bits
        {0, 0x03, 5688888888, false},
    };
    for (const Row& row : rows) {
        Program(row.divisor, row.lcr);
        EXPECT_EQ(uart.FrameTime(), row.frame) << row.divisor << " " << int(row.lcr);
        EXPECT_EQ(uart.MatchesLine(38400), row.matches38400) << row.divisor << " " << int(row.lcr);
    }
}

TEST_F(HwUart, LineStatusShowsDataAndClearsErrorsWhenRead)
{
    Program(3, 0x03);
    EXPECT_EQ(uart.Read(kRegLineStatus), kLsrTransmitHoldingEmpty | kLsrTransmitterEmpty);
    uart.ReceiveFromLine(0x11, 38400);
    uart.ReceiveFromLine(0x22, 38400);
    EXPECT_EQ(uart.Read(kRegLineStatus), 0x61);
    EXPECT_EQ(uart.Read(kRegData), 0x11);
    EXPECT_EQ(uart.Read(kRegData), 0x22);
    EXPECT_EQ(uart.Read(kRegLineStatus), 0x60);
    EXPECT_EQ(uart.Read(kRegData), 0x22);  // an empty FIFO repeats the last byte

    Program(12, 0x03);  // the line still runs at 38400
    uart.ReceiveFromLine(0x11, 38400);
    uint8_t status = uart.Read(kRegLineStatus);
    EXPECT_EQ(status, kLsrDataReady | kLsrFramingError | kLsrFifoError | 0x60);
    EXPECT_NE(uart.Read(kRegData), 0x11);
    EXPECT_EQ(uart.Read(kRegLineStatus), 0x60);
    EXPECT_EQ(uart.state().framingErrors, 1u);
}

TEST_F(HwUart, ErrorOfALaterByteShowsWhenItReachesTheHead)
{
    uart.ReceiveFromLine(0x11, 38400);  // BIOS rate 9600: garbage
    Program(3, 0x03);
    uart.ReceiveFromLine(0x22, 38400);
    EXPECT_EQ(uart.Read(kRegLineStatus), 0xE9);  // framing error of the head, FIFO error
    uart.Read(kRegData);
    EXPECT_EQ(uart.Read(kRegLineStatus), 0x61);
    EXPECT_EQ(uart.Read(kRegData), 0x22);
}

TEST_F(HwUart, FullFifoDropsNewBytesAndReportsOverrunOnce)
{
    Program(3, 0x03);
    for (int i = 0; i < kFifoDepth + 2; ++i)
        uart.ReceiveFromLine(uint8_t(i), 38400);
    EXPECT_EQ(uart.state().rxCount, kFifoDepth);
    EXPECT_EQ(uart.state().overruns, 2u);
    EXPECT_EQ(uart.Read(kRegLineStatus), kLsrDataReady | kLsrOverrun | 0x60);
    EXPECT_EQ(uart.Read(kRegLineStatus), kLsrDataReady | 0x60);
    for (int i = 0; i < kFifoDepth; ++i)
        EXPECT_EQ(uart.Read(kRegData), i);
    EXPECT_EQ(uart.Read(kRegLineStatus) & kLsrDataReady, 0);
}

TEST_F(HwUart, TransmitterIsBusyForOneFrame)
{
    Program(3, 0x03);
    clock.now = 1000;
    uart.Write(kRegData, 0x55);
    EXPECT_EQ(uart.Read(kRegLineStatus) & 0x60, 0);
    clock.now = 1000 + 260415;
    EXPECT_EQ(uart.Read(kRegLineStatus) & 0x60, 0);
    clock.now = 1000 + 260416;
    EXPECT_EQ(uart.Read(kRegLineStatus) & 0x60, 0x60);
}

TEST_F(HwUart, LoopbackReceivesOwnBytesAndNotTheLine)
{
    Program(3, 0x03);
    uart.Write(kRegModemControl, kMcrLoopback);
    uart.ReceiveFromLine(0x11, 38400);
    uart.Write(kRegData, 0x77);
    EXPECT_EQ(uart.Read(kRegData), 0x77);
    EXPECT_EQ(uart.Read(kRegLineStatus) & kLsrDataReady, 0);
}

TEST_F(HwUart, InterruptIdentificationTellsHighestCause)
{
    EXPECT_EQ(uart.Read(kRegInterruptId), kIirNonePending);
    uart.Write(kRegInterruptId, kFcrEnable);
    uart.Write(kRegInterruptEnable, kIerReceivedData | kIerLineStatus);
    uart.ReceiveFromLine(0x11, 38400);  // divisor 12 at reset: framing error
    EXPECT_EQ(uart.Read(kRegInterruptId), kIirFifosEnabled | kIirLineStatus);
    uart.Read(kRegLineStatus);
    EXPECT_EQ(uart.Read(kRegInterruptId), kIirFifosEnabled | kIirReceivedData);
    uart.Read(kRegData);
    EXPECT_EQ(uart.Read(kRegInterruptId), kIirFifosEnabled | kIirNonePending);
}

}  // namespace
