// The Super I/O chip: configuration-mode keys, both register models at both port pairs,
// the remote-mode rule and where the UART is decoded.
#include <gtest/gtest.h>

#include <memory>

#include "sim/hw/notebook.h"

namespace {

using hw::RegisterModel;

struct ChipCase {
    uint16_t port;
    RegisterModel model;
};

std::string CaseName(const testing::TestParamInfo<ChipCase>& info)
{
    return std::string(info.param.model == RegisterModel::kFlat ? "Flat" : "Ldn") +
           (info.param.port == 0x2E ? "2E" : "4E");
}

class HwSuperIoPorts : public testing::TestWithParam<ChipCase> {
protected:
    void SetUp() override
    {
        hw::NotebookConfig config;
        config.chipPort = GetParam().port;
        config.registerModel = GetParam().model;
        notebook = std::make_unique<hw::Notebook>(clock, config);
    }
    uint16_t Index() const { return GetParam().port; }
    uint16_t Data() const { return GetParam().port + 1; }

    hw::Clock clock;
    std::unique_ptr<hw::Notebook> notebook;
};

TEST_P(HwSuperIoPorts, ChipDecodesOnlyBetweenTheKeys)
{
    hw::SuperIoChip& chip = notebook->chip();
    // Closed: nothing answers, nothing is written.
    notebook->PortOut(Index(), 0x26);
    notebook->PortOut(Data(), 0x42);
    EXPECT_EQ(notebook->PortIn(Index()), 0xFF);
    EXPECT_EQ(notebook->PortIn(Data()), 0xFF);
    EXPECT_EQ(chip.GlobalRegister(0x26), 0x00);

    notebook->PortOut(Index(), 0x55);
    EXPECT_TRUE(chip.InConfigMode());
    notebook->PortOut(Index(), 0x26);
    EXPECT_EQ(notebook->PortIn(Index()), 0x26);  // the index reads back
    notebook->PortOut(Data(), 0x42);
    EXPECT_EQ(notebook->PortIn(Data()), 0x42);
    notebook->PortOut(Index(), 0x25);
    EXPECT_EQ(notebook->PortIn(Data()), 0xFE);
    notebook->PortOut(Index(), 0xAA);
    EXPECT_FALSE(chip.InConfigMode());

    EXPECT_EQ(chip.GlobalRegister(0x26), 0x42);
    EXPECT_EQ(notebook->PortIn(Data()), 0xFF);
    EXPECT_EQ(chip.cycles().completed, 1u);
}

TEST_P(HwSuperIoPorts, OtherPortPairFloats)
{
    uint16_t other = Index() == 0x2E ? 0x4E : 0x2E;
    notebook->PortOut(other, 0x55);
    notebook->PortOut(other, 0x25);
    EXPECT_EQ(notebook->PortIn(other + 1), 0xFF);
    EXPECT_FALSE(notebook->chip().InConfigMode());
}

TEST_P(HwSuperIoPorts, LogicalDeviceSequenceReachesDeviceFiveOnlyInThatModel)
{
    // Write 0x50 to register 0xF1 of logical device 5, then read it back.
    const uint8_t write[][2] = {{0, 0x55}, {0, 0x07}, {1, 0x05}, {0, 0xF1}, {1, 0x50}, {0, 0xAA}};
    for (auto& w : write)
        notebook->PortOut(Index() + w[0], w[1]);
    const uint8_t select[][2] = {{0, 0x55}, {0, 0x07}, {1, 0x05}, {0, 0xF1}};
    for (auto& w : select)
        notebook->PortOut(Index() + w[0], w[1]);
    uint8_t value = notebook->PortIn(Data());
    notebook->PortOut(Index(), 0xAA);

    EXPECT_EQ(value, 0x50);
    hw::SuperIoChip& chip = notebook->chip();
    if (GetParam().model == RegisterModel::kLogicalDevice) {
        EXPECT_EQ(chip.InfraredRegister(0xF1), 0x50);
        EXPECT_EQ(chip.GlobalRegister(0xF1), 0x00);
    } else {
        EXPECT_EQ(chip.GlobalRegister(0xF1), 0x50);
        EXPECT_EQ(chip.InfraredRegister(0xF1), 0x4E);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModelsBothPorts, HwSuperIoPorts,
                         testing::Values(ChipCase{0x2E, RegisterModel::kFlat},
                                         ChipCase{0x4E, RegisterModel::kFlat},
                                         ChipCase{0x2E, RegisterModel::kLogicalDevice},
                                         ChipCase{0x4E, RegisterModel::kLogicalDevice}),
                         CaseName);

TEST(HwSuperIo, OtherLogicalDevicesReadZeroAndIgnoreWrites)
{
    bool interrupts = false;
    hw::NotebookConfig config;
    hw::SuperIoChip chip(&interrupts);
    chip.Configure(0x2E, RegisterModel::kLogicalDevice, config.globalRegisters,
                   config.infraredRegisters);
    const uint8_t write[][2] = {
        {0x2E, 0x55}, {0x2E, 0x07}, {0x2F, 0x03}, {0x2E, 0x60}, {0x2F, 0x12}};
    for (auto& w : write)
        chip.Out(w[0], w[1]);
    EXPECT_EQ(chip.In(0x2F), 0x00);
    EXPECT_EQ(chip.InfraredRegister(0x60), 0x03);
    chip.Out(0x2E, 0x25);  // a global register stays reachable with any device selected
    EXPECT_EQ(chip.In(0x2F), 0xFE);
}

TEST(HwSuperIo, RemoteModeRuleOfEachModel)
{
    struct Row {
        RegisterModel model;
        uint8_t reg02, reg0C;     // flat
        uint8_t activate, regF1;  // logical device 5
        bool remote;
    };
    const Row rows[] = {
        {RegisterModel::kFlat, 0x80, 0x10, 0, 0, true},
        {RegisterModel::kFlat, 0xFF, 0xD7, 0, 0, true},
        {RegisterModel::kFlat, 0x7F, 0xD7, 0, 0, false},  // bit 7 of 0x02 clear
        {RegisterModel::kFlat, 0x80, 0x08, 0, 0, false},  // mode field normal
        {RegisterModel::kFlat, 0x80, 0x18, 0, 0, false},  // mode field 3
        {RegisterModel::kFlat, 0x80, 0x10, 1, 0x4E, true},
        {RegisterModel::kLogicalDevice, 0x80, 0x10, 0x01, 0x50, true},
        {RegisterModel::kLogicalDevice, 0x00, 0x00, 0x01, 0x50, true},
        {RegisterModel::kLogicalDevice, 0x80, 0x10, 0x00, 0x50, false},  // not activated
        {RegisterModel::kLogicalDevice, 0x80, 0x10, 0x01, 0x4E, false},
    };
    hw::NotebookConfig config;
    bool interrupts = true;
    for (const Row& row : rows) {
        hw::SuperIoChip chip(&interrupts);
        chip.Configure(0x2E, row.model, config.globalRegisters, config.infraredRegisters);
        chip.SetGlobalRegister(0x02, row.reg02);
        chip.SetGlobalRegister(0x0C, row.reg0C);
        chip.SetInfraredRegister(0x30, row.activate);
        chip.SetInfraredRegister(0xF1, row.regF1);
        EXPECT_EQ(chip.InRemoteMode(), row.remote)
            << int(row.model) << " " << std::hex << int(row.reg02) << " " << int(row.reg0C)
            << " " << int(row.activate) << " " << int(row.regF1);
    }
}

TEST(HwSuperIo, UartDecodeFollowsTheRegisters)
{
    struct Row {
        RegisterModel model;
        uint8_t reg25, activate, high, low;
        bool decoded;
        uint16_t base;
    };
    const Row rows[] = {
        {RegisterModel::kFlat, 0xFE, 0, 0, 0, true, 0x3F8},
        {RegisterModel::kFlat, 0xBE, 0, 0, 0, true, 0x2F8},
        {RegisterModel::kFlat, 0x40, 0, 0, 0, true, 0x100},
        {RegisterModel::kFlat, 0x3F, 0, 0, 0, false, 0},  // below 0x100
        {RegisterModel::kFlat, 0x00, 0, 0, 0, false, 0},
        {RegisterModel::kLogicalDevice, 0xFE, 1, 0x02, 0xF8, true, 0x2F8},
        {RegisterModel::kLogicalDevice, 0xFE, 0, 0x02, 0xF8, false, 0},
        {RegisterModel::kLogicalDevice, 0xFE, 1, 0x00, 0x00, false, 0},
    };
    hw::NotebookConfig config;
    bool interrupts = true;
    for (const Row& row : rows) {
        hw::SuperIoChip chip(&interrupts);
        chip.Configure(0x4E, row.model, config.globalRegisters, config.infraredRegisters);
        chip.SetGlobalRegister(0x25, row.reg25);
        chip.SetInfraredRegister(0x30, row.activate);
        chip.SetInfraredRegister(0x60, row.high);
        chip.SetInfraredRegister(0x61, row.low);
        uint16_t base = 0;
        EXPECT_EQ(chip.UartDecoded(&base), row.decoded) << std::hex << int(row.reg25);
        EXPECT_EQ(base, row.base);
    }
}

TEST(HwSuperIo, RecordsWhetherEachCycleRanWithInterruptsDisabled)
{
    hw::Clock clock;
    auto notebook = std::make_unique<hw::Notebook>(clock, hw::NotebookConfig());
    auto cycle = [&](bool interruptsDuringAccess) {
        notebook->interruptsEnabled = false;
        notebook->PortOut(0x2E, 0x55);
        notebook->interruptsEnabled = interruptsDuringAccess;
        notebook->PortOut(0x2E, 0x25);
        notebook->interruptsEnabled = false;
        notebook->PortIn(0x2F);
        notebook->PortOut(0x2E, 0xAA);
        notebook->interruptsEnabled = true;
    };
    cycle(false);
    EXPECT_TRUE(notebook->chip().cycles().lastRanWithInterruptsDisabled);
    cycle(true);
    EXPECT_FALSE(notebook->chip().cycles().lastRanWithInterruptsDisabled);
    cycle(false);
    EXPECT_EQ(notebook->chip().cycles().completed, 3u);
    EXPECT_EQ(notebook->chip().cycles().withInterruptsEnabled, 1u);
}

}  // namespace
