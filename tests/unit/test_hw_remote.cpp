// The presentation remote through the infrared front end into the UART: line timing,
// the remote-mode gate of both register models, wrong UART set-ups and overruns.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sim/hw/notebook.h"

namespace {

using hw::Nanoseconds;
using hw::Notebook;
using hw::RemoteControl;

const uint8_t kCode[3] = {0x11, 0x22, 0x33};
const uint16_t kUart = 0x3F8;
const uint16_t kLineStatus = kUart + 5;

// One configuration cycle each, as the driver makes them.
uint8_t CfgRead(Notebook& n, uint16_t port, uint8_t reg)
{
    n.PortOut(port, 0x55);
    n.PortOut(port, reg);
    uint8_t value = n.PortIn(port + 1);
    n.PortOut(port, 0xAA);
    return value;
}

void CfgWrite(Notebook& n, uint16_t port, uint8_t reg, uint8_t value)
{
    n.PortOut(port, 0x55);
    n.PortOut(port, reg);
    n.PortOut(port + 1, value);
    n.PortOut(port, 0xAA);
}

void LdnCfgWrite(Notebook& n, uint16_t port, uint8_t reg, uint8_t value)
{
    n.PortOut(port, 0x55);
    n.PortOut(port, 0x07);
    n.PortOut(port + 1, 0x05);
    n.PortOut(port, reg);
    n.PortOut(port + 1, value);
    n.PortOut(port, 0xAA);
}

void ProgramUart(Notebook& n, uint16_t base, uint16_t divisor, uint8_t format)
{
    n.PortOut(base + 3, 0x80);
    n.PortOut(base + 0, uint8_t(divisor));
    n.PortOut(base + 1, uint8_t(divisor >> 8));
    n.PortOut(base + 3, format);
    n.PortOut(base + 1, 0x00);
}

void FlatModeSwitch(Notebook& n, uint16_t port, bool remote)
{
    uint8_t mode = CfgRead(n, port, 0x0C);
    CfgWrite(n, port, 0x0C, (mode & 0xC7) | (remote ? 0x10 : 0x08));
    uint8_t control = CfgRead(n, port, 0x02);
    CfgWrite(n, port, 0x02, remote ? control | 0x80 : control & 0x7F);
}

struct Received {
    uint8_t byte;
    uint8_t status;
    Nanoseconds seen;
};

// Polls the line status until `count` bytes came or the clock passed `until`.
std::vector<Received> Collect(Notebook& n, size_t count, Nanoseconds until)
{
    std::vector<Received> got;
    while (got.size() < count && n.clock().now < until) {
        uint8_t status = n.PortIn(kLineStatus);
        if (status & 0x01) {
            Nanoseconds seen = n.clock().now;
            got.push_back(Received{n.PortIn(kUart), status, seen});
        }
    }
    return got;
}

class HwRemote : public testing::Test {
protected:
    void SetUp() override { Build(hw::NotebookConfig()); }
    void Build(const hw::NotebookConfig& config)
    {
        notebook = std::make_unique<Notebook>(clock, config);
    }
    void RemoteOn()
    {
        ProgramUart(*notebook, kUart, 3, 0x03);
        FlatModeSwitch(*notebook, 0x2E, true);
    }
    Nanoseconds Soon() const { return clock.now + hw::kMillisecond; }

    hw::Clock clock;
    std::unique_ptr<Notebook> notebook;
};

TEST_F(HwRemote, CodeArrivesAt38400BaudAndIsReadFromTheFifo)
{
    RemoteOn();
    Nanoseconds press = Soon();
    ASSERT_TRUE(notebook->PressRemote(press, kCode));

    std::vector<Received> got = Collect(*notebook, 3, press + 10 * hw::kMillisecond);
    ASSERT_EQ(got.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(got[k].byte, kCode[k]);
        EXPECT_EQ(got[k].status, 0x61) << k;
        // Byte k is complete k + 1 frames after the press; a poll takes one bus cycle.
        Nanoseconds arrival = press + (k + 1) * 10 * hw::kSecond / 38400;
        EXPECT_GE(got[k].seen, arrival) << k;
        EXPECT_LE(got[k].seen, arrival + 2 * Notebook::kBusCycle) << k;
    }
    EXPECT_EQ(notebook->PortIn(kLineStatus) & 0x01, 0);
}

TEST_F(HwRemote, NormalModeLosesPressesForGood)
{
    ProgramUart(*notebook, kUart, 3, 0x03);
    Nanoseconds press = Soon();
    notebook->PressRemote(press, kCode);
    clock.AdvanceTo(press + 5 * hw::kMillisecond);
    EXPECT_EQ(notebook->PortIn(kLineStatus) & 0x01, 0);
    EXPECT_EQ(notebook->remoteBytesLost(), 3u);

    FlatModeSwitch(*notebook, 0x2E, true);
    clock.AdvanceTo(clock.now + 5 * hw::kMillisecond);
    EXPECT_EQ(notebook->PortIn(kLineStatus) & 0x01, 0);
    EXPECT_EQ(notebook->uart().state().bytesReceived, 0u);
}

TEST_F(HwRemote, SwitchingToNormalMidCodeCutsIt)
{
    RemoteOn();
    Nanoseconds press = Soon();
    notebook->PressRemote(press, kCode);
    clock.AdvanceTo(press + RemoteControl::FramesTime(1));
    FlatModeSwitch(*notebook, 0x2E, false);  // takes a few µs, well inside frame 2
    clock.AdvanceTo(press + 5 * hw::kMillisecond);
    std::vector<Received> got = Collect(*notebook, 3, clock.now + hw::kMillisecond);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].byte, 0x11);
    EXPECT_EQ(notebook->remoteBytesLost(), 2u);
}

TEST_F(HwRemote, WrongRateOrFormatGivesFramingErrors)
{
    struct Row {
        uint16_t divisor;
        uint8_t format;
        bool clean;
    };
    const Row rows[] = {{3, 0x03, true}, {12, 0x03, false}, {1, 0x03, false},
                        {3, 0x07, false}, {3, 0x1B, false}, {3, 0x02, false}};
    for (const Row& row : rows) {
        Build(hw::NotebookConfig());
        ProgramUart(*notebook, kUart, row.divisor, row.format);
        FlatModeSwitch(*notebook, 0x2E, true);
        Nanoseconds press = Soon();
        notebook->PressRemote(press, kCode);
        std::vector<Received> got = Collect(*notebook, 3, press + 10 * hw::kMillisecond);
        ASSERT_EQ(got.size(), 3u) << row.divisor << " " << int(row.format);
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(got[k].byte == kCode[k], row.clean) << row.divisor << " " << k;
            EXPECT_EQ((got[k].status & 0x08) != 0, !row.clean) << row.divisor << " " << k;
        }
    }
}

TEST_F(HwRemote, UnreadPressesOverrunTheFifo)
{
    RemoteOn();
    Nanoseconds start = Soon();
    for (uint8_t i = 0; i < 6; ++i) {
        const uint8_t code[3] = {uint8_t(3 * i), uint8_t(3 * i + 1), uint8_t(3 * i + 2)};
        notebook->PressRemote(start + i * 10 * hw::kMillisecond, code);
    }
    clock.AdvanceTo(start + hw::kSecond);
    EXPECT_EQ(notebook->PortIn(kLineStatus), 0x63);  // data ready and overrun
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(notebook->PortIn(kUart), i);
    EXPECT_EQ(notebook->PortIn(kLineStatus), 0x60);
    EXPECT_EQ(notebook->uart().state().overruns, 2u);
}

TEST_F(HwRemote, LogicalDeviceModelReceivesWhileDeviceFiveIsOpen)
{
    hw::NotebookConfig config;
    config.chipPort = 0x4E;
    config.registerModel = hw::RegisterModel::kLogicalDevice;
    config.infraredRegisters[0x60] = 0x02;
    Build(config);
    uint16_t base = 0;
    EXPECT_FALSE(notebook->UartBase(&base));  // device 5 not activated

    LdnCfgWrite(*notebook, 0x4E, 0x30, 0x01);
    LdnCfgWrite(*notebook, 0x4E, 0xF1, 0x50);
    ASSERT_TRUE(notebook->UartBase(&base));
    EXPECT_EQ(base, 0x2F8);
    ProgramUart(*notebook, 0x2F8, 3, 0x03);
    EXPECT_TRUE(notebook->InRemoteMode());
    Nanoseconds press = Soon();
    notebook->PressRemote(press, kCode);
    clock.AdvanceTo(press + hw::kMillisecond);
    EXPECT_EQ(notebook->PortIn(0x2F8 + 5), 0x61);
    EXPECT_EQ(notebook->PortIn(0x3F8 + 5), 0xFF);  // nothing at the flat model's base

    LdnCfgWrite(*notebook, 0x4E, 0x30, 0x00);
    LdnCfgWrite(*notebook, 0x4E, 0xF1, 0x4E);
    EXPECT_FALSE(notebook->InRemoteMode());
    EXPECT_EQ(notebook->PortIn(0x2F8 + 5), 0xFF);  // deactivated: not decoded
}

TEST(HwRemoteScript, BurstsKeepTimeOrderAndQueueOnABusyLine)
{
    RemoteControl remote;
    const uint8_t a[3] = {0xA1, 0xA2, 0xA3}, b[1] = {0xB1}, c[2] = {0xC1, 0xC2};
    const Nanoseconds t = 10 * hw::kMillisecond;
    ASSERT_TRUE(remote.Schedule(t + 5 * hw::kMillisecond, c, 2));
    ASSERT_TRUE(remote.Schedule(t + 100 * hw::kMicrosecond, b, 1));  // while a is on the air
    ASSERT_TRUE(remote.Schedule(t, a, 3));

    const struct {
        uint8_t byte;
        Nanoseconds at;
    } expected[] = {
        {0xA1, t + RemoteControl::FramesTime(1)},
        {0xA2, t + RemoteControl::FramesTime(2)},
        {0xA3, t + RemoteControl::FramesTime(3)},
        {0xB1, t + RemoteControl::FramesTime(3) + RemoteControl::FramesTime(1)},
        {0xC1, t + 5 * hw::kMillisecond + RemoteControl::FramesTime(1)},
        {0xC2, t + 5 * hw::kMillisecond + RemoteControl::FramesTime(2)},
    };
    for (const auto& e : expected) {
        Nanoseconds at = 0;
        ASSERT_TRUE(remote.NextArrival(&at));
        EXPECT_EQ(at, e.at);
        EXPECT_EQ(remote.TakeNext(), e.byte);
    }
    Nanoseconds at = 0;
    EXPECT_FALSE(remote.NextArrival(&at));
    EXPECT_EQ(RemoteControl::FramesTime(1), 260416u);
}

TEST(HwRemoteScript, CapacityIsBounded)
{
    auto remote = std::make_unique<RemoteControl>();
    EXPECT_FALSE(remote->Schedule(0, kCode, 0));
    for (size_t i = 0; i < RemoteControl::kMaxBursts; ++i)
        ASSERT_TRUE(remote->Schedule(i * hw::kMillisecond, kCode, 3)) << i;
    EXPECT_FALSE(remote->Schedule(0, kCode, 3));

    auto raw = std::make_unique<RemoteControl>();
    std::vector<uint8_t> burst(RemoteControl::kMaxBytes, 0x5A);
    EXPECT_TRUE(raw->Schedule(0, burst.data(), burst.size()));
    EXPECT_FALSE(raw->Schedule(0, kCode, 1));
}

TEST_F(HwRemote, PressInThePastIsSentNow)
{
    RemoteOn();
    clock.AdvanceTo(50 * hw::kMillisecond);
    notebook->PressRemote(hw::kMillisecond, kCode);
    Nanoseconds now = clock.now;
    std::vector<Received> got = Collect(*notebook, 3, now + 10 * hw::kMillisecond);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_GE(got[0].seen, now + RemoteControl::FramesTime(1));
}

}  // namespace
