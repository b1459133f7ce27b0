// The I/O bus of the simulated notebook: claims, the floating bus, bus-cycle time, the
// access observer and the DMA controller that a UART base of 0 would hit.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sim/hw/notebook.h"

namespace {

struct Access {
    uint16_t port;
    bool isWrite;
    uint8_t value;
    bool operator==(const Access& other) const
    {
        return port == other.port && isWrite == other.isWrite && value == other.value;
    }
};

void Record(void* context, uint16_t port, bool isWrite, uint8_t value)
{
    static_cast<std::vector<Access>*>(context)->push_back(Access{port, isWrite, value});
}

class ConstantDevice : public hw::PortDevice {
public:
    explicit ConstantDevice(uint8_t value) : value_(value) {}
    uint8_t In(uint16_t) override { return value_; }

private:
    uint8_t value_;
};

TEST(HwBus, FirstActiveClaimAnswersAndReleasedPortsFloat)
{
    hw::IoBus bus;
    ConstantDevice low(0x11), high(0x22);
    int lowClaim = bus.Claim(&low, 0x100, 8);
    bus.Claim(&high, 0x104, 8);

    EXPECT_EQ(bus.In(0x0FF), 0xFF);
    EXPECT_EQ(bus.In(0x100), 0x11);
    EXPECT_EQ(bus.In(0x104), 0x11);  // overlap: the earlier claim wins
    EXPECT_EQ(bus.In(0x10B), 0x22);
    EXPECT_EQ(bus.In(0x10C), 0xFF);

    bus.Move(lowClaim, 0x200, 2);
    EXPECT_EQ(bus.In(0x100), 0xFF);
    EXPECT_EQ(bus.In(0x104), 0x22);
    EXPECT_EQ(bus.In(0x201), 0x11);
    bus.Release(lowClaim);
    EXPECT_EQ(bus.In(0x201), 0xFF);
}

TEST(HwBus, ClaimTableIsBounded)
{
    hw::IoBus bus;
    ConstantDevice device(0);
    for (int i = 0; i < hw::IoBus::kMaxClaims; ++i)
        EXPECT_NE(bus.Claim(&device, uint16_t(i), 1), hw::IoBus::kNoClaim);
    EXPECT_EQ(bus.Claim(&device, 0x300, 1), hw::IoBus::kNoClaim);
}

TEST(HwBus, MachineWithoutChipFloatsOnEveryChipAndUartPort)
{
    hw::Clock clock;
    hw::NotebookConfig config;
    config.chipPort = 0;
    auto notebook = std::make_unique<hw::Notebook>(clock, config);

    // Remote-on as a driver would send it, then reads of every port it could look at.
    const uint16_t writes[][2] = {{0x2E, 0x55}, {0x2E, 0x0C}, {0x2F, 0x10}, {0x2E, 0xAA},
                                  {0x3FB, 0x80}, {0x3F8, 0x03}};
    for (auto& w : writes)
        notebook->PortOut(w[0], uint8_t(w[1]));
    for (uint16_t port : {0x2E, 0x2F, 0x4E, 0x4F, 0x3F8, 0x3FB, 0x3FD})
        EXPECT_EQ(notebook->PortIn(port), 0xFF) << std::hex << port;
    EXPECT_FALSE(notebook->InRemoteMode());
}

TEST(HwBus, EveryAccessIsOneMicrosecondAndObserved)
{
    hw::Clock clock;
    clock.now = 5 * hw::kMillisecond;
    auto notebook = std::make_unique<hw::Notebook>(clock, hw::NotebookConfig());
    std::vector<Access> seen;
    notebook->SetPortObserver(&Record, &seen);

    notebook->PortOut(0x2E, 0x55);
    notebook->PortOut(0x2E, 0x25);
    uint8_t base = notebook->PortIn(0x2F);
    notebook->PortOut(0x2E, 0xAA);
    notebook->PortIn(0x80);

    EXPECT_EQ(base, 0xFE);
    EXPECT_EQ(clock.now, 5 * hw::kMillisecond + 5 * hw::kMicrosecond);
    EXPECT_EQ(notebook->portAccesses(), 5u);
    const std::vector<Access> expected = {{0x2E, true, 0x55}, {0x2E, true, 0x25},
                                          {0x2F, false, 0xFE}, {0x2E, true, 0xAA},
                                          {0x80, false, 0xFF}};
    EXPECT_EQ(seen, expected);
}

TEST(HwBus, UartBaseZeroLeavesPortsToTheDmaController)
{
    hw::Clock clock;
    hw::NotebookConfig config;
    config.globalRegisters[0x25] = 0x00;
    auto notebook = std::make_unique<hw::Notebook>(clock, config);

    uint16_t base = 0;
    EXPECT_FALSE(notebook->UartBase(&base));
    // The UART programming a driver would send to base 0.
    const uint8_t program[][2] = {{3, 0x80}, {0, 0x03}, {1, 0x00}, {3, 0x03}, {1, 0x00}};
    for (auto& w : program)
        notebook->PortOut(w[0], w[1]);
    EXPECT_EQ(notebook->PortIn(5), 0x00);  // never written: no "data ready"
    EXPECT_EQ(notebook->PortIn(3), 0x03);  // DMA registers give back the last write

    const hw::DmaController& dma = notebook->dma();
    ASSERT_EQ(dma.writeCount(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(dma.LoggedWrite(i).port, program[i][0]);
        EXPECT_EQ(dma.LoggedWrite(i).value, program[i][1]);
    }
    EXPECT_EQ(dma.readCount(), 2u);
    EXPECT_EQ(notebook->uart().state().bytesTransmitted, 0u);
}

}  // namespace
