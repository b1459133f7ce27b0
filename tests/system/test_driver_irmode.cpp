// Infrared mode switching: the chip's register values, the UART set-up, save and restore,
// the legacy open and close, and a UART base that no UART can have.
#include "driver_fixture.h"

namespace drivertest {
namespace {

struct RegisterCase {
    const char* name;
    uint32_t code;
    uint8_t reg;
    uint8_t before;
    uint8_t after;
};

const RegisterCase kRegisterCases[] = {
    {"OnMode0xFF", IOCTL_IR_REMOTE_ON_2E, 0x0C, 0xFF, 0xD7},
    {"OnMode0x00", IOCTL_IR_REMOTE_ON_2E, 0x0C, 0x00, 0x10},
    {"OffMode0xFF", IOCTL_IR_REMOTE_OFF_2E, 0x0C, 0xFF, 0xCF},
    {"OffMode0x00", IOCTL_IR_REMOTE_OFF_2E, 0x0C, 0x00, 0x08},
    {"OnControl0x00", IOCTL_IR_REMOTE_ON_2E, 0x02, 0x00, 0x80},
    {"OnControl0x7F", IOCTL_IR_REMOTE_ON_2E, 0x02, 0x7F, 0xFF},
    {"OffControl0xFF", IOCTL_IR_REMOTE_OFF_2E, 0x02, 0xFF, 0x7F},
    {"OffControl0x80", IOCTL_IR_REMOTE_OFF_2E, 0x02, 0x80, 0x00},
};

void PrintTo(const RegisterCase& c, std::ostream* os)
{
    *os << c.name;
}

class ModeRegisters : public DriverTest, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(ModeRegisters, ValueWritten)
{
    const RegisterCase& c = GetParam();
    for (uint16_t port : {0x2E, 0x4E}) {
        SCOPED_TRACE(port);
        hw::NotebookConfig hardware = FlatChipAt(port);
        hardware.globalRegisters[c.reg] = c.before;
        Boot(hardware);
        uint32_t code = port == 0x4E ? c.code + 4 : c.code;
        ASSERT_TRUE(Send(code, {}, 0).ok);
        EXPECT_EQ(chip().GlobalRegister(c.reg), c.after);
        TearDown();
    }
}

INSTANTIATE_TEST_SUITE_P(RemoteOnOff, ModeRegisters, ::testing::ValuesIn(kRegisterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, RemoteOnProgramsTheUartThenSwitchesMode)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x0A;
    hardware.globalRegisters[0x02] = 0x04;
    Boot(hardware);
    EXPECT_EQ(PortsOf(IOCTL_IR_REMOTE_ON_2E),
              (std::vector<PortAccess>{
                  Out(0x2E, 0x55), Out(0x2E, 0x25), In(0x2F, 0xFE), Out(0x2E, 0xAA),
                  Out(0x3FB, 0x80), Out(0x3F8, 0x03), Out(0x3F9, 0x00), Out(0x3FB, 0x03),
                  Out(0x3F9, 0x00),
                  Out(0x2E, 0x55), Out(0x2E, 0x0C), In(0x2F, 0x0A), Out(0x2E, 0xAA),
                  Out(0x2E, 0x55), Out(0x2E, 0x0C), Out(0x2F, 0x12), Out(0x2E, 0xAA),
                  Out(0x2E, 0x55), Out(0x2E, 0x02), In(0x2F, 0x04), Out(0x2E, 0xAA),
                  Out(0x2E, 0x55), Out(0x2E, 0x02), Out(0x2F, 0x84), Out(0x2E, 0xAA),
              }));
    EXPECT_EQ(notebook().uart().divisor(), 3);
    EXPECT_EQ(notebook().uart().state().lcr, 0x03);
    EXPECT_EQ(notebook().uart().state().ier, 0x00);
    EXPECT_TRUE(notebook().InRemoteMode());
}

TEST_F(DriverTest, RemoteOffClearsControlFirstAndLeavesTheUart)
{
    hw::NotebookConfig hardware = FlatChipAt(0x4E);
    hardware.globalRegisters[0x0C] = 0x12;
    hardware.globalRegisters[0x02] = 0x84;
    Boot(hardware);
    EXPECT_EQ(PortsOf(IOCTL_IR_REMOTE_OFF_4E),
              (std::vector<PortAccess>{
                  Out(0x4E, 0x55), Out(0x4E, 0x02), In(0x4F, 0x84), Out(0x4E, 0xAA),
                  Out(0x4E, 0x55), Out(0x4E, 0x02), Out(0x4F, 0x04), Out(0x4E, 0xAA),
                  Out(0x4E, 0x55), Out(0x4E, 0x0C), In(0x4F, 0x12), Out(0x4E, 0xAA),
                  Out(0x4E, 0x55), Out(0x4E, 0x0C), Out(0x4F, 0x0A), Out(0x4E, 0xAA),
              }));
    EXPECT_FALSE(notebook().InRemoteMode());
}

TEST_F(DriverTest, RemoteOnLeavesTheLegacyBase)
{
    Boot();
    ASSERT_TRUE(Send(IOCTL_IR_REMOTE_ON_2E, {}, 0).ok);
    // No legacy open and no read-code request yet: the legacy read knows no UART.
    EXPECT_TRUE(PortsOf(IOCTL_IR_LEGACY_READ_CODE, {0, 0, 0}, 3).empty());
}

TEST_F(DriverTest, RestoreBeforeAnySaveWritesZero)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x5A;
    Boot(hardware);
    ASSERT_TRUE(Send(IOCTL_IR_RESTORE_MODE_2E, {}, 0).ok);
    EXPECT_EQ(chip().GlobalRegister(0x0C), 0x00);
}

TEST_F(DriverTest, SaveAt2ERestoreAt4E)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x5A;
    Boot(hardware);
    EXPECT_EQ(PortsOf(IOCTL_IR_SAVE_MODE_2E),
              (std::vector<PortAccess>{Out(0x2E, 0x55), Out(0x2E, 0x0C), In(0x2F, 0x5A),
                                       Out(0x2E, 0xAA)}));
    chip().SetGlobalRegister(0x0C, 0x00);
    EXPECT_EQ(PortsOf(IOCTL_IR_RESTORE_MODE_4E),
              (std::vector<PortAccess>{Out(0x4E, 0x55), Out(0x4E, 0x0C), Out(0x4F, 0x5A),
                                       Out(0x4E, 0xAA)}));
    ASSERT_TRUE(Send(IOCTL_IR_RESTORE_MODE_2E, {}, 0).ok);
    EXPECT_EQ(chip().GlobalRegister(0x0C), 0x5A) << "the whole register comes back";
}

TEST_F(DriverTest, LegacyOpenFindsTheUartAndSetsItUp)
{
    hw::NotebookConfig hardware = LogicalDeviceChipAt(0x2E);
    hardware.infraredRegisters[0x60] = 0x02;
    hardware.infraredRegisters[0x61] = 0xF8;
    Boot(hardware);
    std::vector<PortAccess> ports = PortsOf(IOCTL_IR_LEGACY_OPEN_2E);
    ASSERT_EQ(ports.size(), 4 * 6 + 5u);
    EXPECT_EQ(std::vector<PortAccess>(ports.begin(), ports.begin() + 6),
              (std::vector<PortAccess>{Out(0x2E, 0x55), Out(0x2E, 0x07), Out(0x2F, 0x05),
                                       Out(0x2E, 0x30), Out(0x2F, 0x01), Out(0x2E, 0xAA)}));
    EXPECT_EQ(std::vector<PortAccess>(ports.begin() + 18, ports.begin() + 24),
              (std::vector<PortAccess>{Out(0x2E, 0x55), Out(0x2E, 0x07), Out(0x2F, 0x05),
                                       Out(0x2E, 0xF1), Out(0x2F, 0x50), Out(0x2E, 0xAA)}));
    EXPECT_EQ(std::vector<PortAccess>(ports.begin() + 24, ports.end()),
              (std::vector<PortAccess>{Out(0x2FB, 0x80), Out(0x2F8, 0x03), Out(0x2F9, 0x00),
                                       Out(0x2FB, 0x03), Out(0x2F9, 0x00)}));
    EXPECT_EQ(chip().InfraredRegister(0x30), 0x01);
    EXPECT_TRUE(notebook().InRemoteMode());

    // The legacy read now polls the UART that the open found.
    EXPECT_EQ(PortsOf(IOCTL_IR_LEGACY_READ_CODE2, {0, 0, 0}, 3),
              (std::vector<PortAccess>{In(0x2FD, 0x60)}));

    ASSERT_TRUE(Send(IOCTL_IR_LEGACY_CLOSE_2E, {}, 0).ok);
    EXPECT_EQ(chip().InfraredRegister(0x30), 0x00);
    EXPECT_EQ(chip().InfraredRegister(0xF1), 0x4E);
    EXPECT_FALSE(notebook().InRemoteMode());
}

// Ports below 0x100 are the motherboard's (the DMA controller at 0 to 0xF): a UART base
// there is no UART, and the driver must not write or read them.
struct LowBaseCase {
    const char* name;
    uint8_t register25;
    bool uartUsed;
};

const LowBaseCase kLowBaseCases[] = {
    {"Zero", 0x00, false},
    {"Timer", 0x10, false},  // 0x40: the interval timer
    {"Highest", 0x3F, false},
    {"Lowest", 0x40, true},  // 0x100
};

void PrintTo(const LowBaseCase& c, std::ostream* os)
{
    *os << c.name;
}

class LowUartBase : public DriverTest, public ::testing::WithParamInterface<LowBaseCase> {};

TEST_P(LowUartBase, NeitherProgrammedNorPolled)
{
    const LowBaseCase& c = GetParam();
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x25] = c.register25;
    Boot(hardware);
    ASSERT_TRUE(Send(IOCTL_IR_REMOTE_ON_2E, {}, 0).ok);
    Reply reply = Send(IOCTL_IR_READ_CODE_2E, {0, 0, 0}, 3);
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.returned, 0u);
    reply = Send(IOCTL_IR_LEGACY_READ_CODE, {0, 0, 0}, 3);
    EXPECT_EQ(reply.returned, 0u);

    bool uartTouched = false;
    for (const PortAccess& a : TakePorts()) {
        if (a.port != 0x2E && a.port != 0x2F) {
            uartTouched = true;
            EXPECT_GE(a.port, 0x100) << "touched port " << std::hex << a.port;
        }
    }
    EXPECT_EQ(uartTouched, c.uartUsed);
    EXPECT_EQ(notebook().dma().writeCount(), 0u);
    EXPECT_EQ(notebook().dma().readCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Register25, LowUartBase, ::testing::ValuesIn(kLowBaseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, LegacyOpenWithBaseZeroLeavesTheDmaController)
{
    hw::NotebookConfig hardware = LogicalDeviceChipAt(0x2E);
    hardware.infraredRegisters[0x60] = 0x00;
    hardware.infraredRegisters[0x61] = 0x00;
    Boot(hardware);
    ASSERT_TRUE(Send(IOCTL_IR_LEGACY_OPEN_2E, {}, 0).ok);
    EXPECT_EQ(Send(IOCTL_IR_LEGACY_READ_CODE, {0, 0, 0}, 3).returned, 0u);
    EXPECT_EQ(notebook().dma().writeCount(), 0u);
    EXPECT_EQ(notebook().dma().readCount(), 0u);
}

// Nothing answers at 0x4E: the base registers read 0xFF 0xFF, and the UART's registers at
// 0xFFFF + offset would wrap around to the DMA controller's ports 0 to 6.
TEST_F(DriverTest, LegacyOpenWhereNoChipAnswersLeavesTheDmaController)
{
    Boot(FlatChipAt(0x2E));
    ASSERT_TRUE(Send(IOCTL_IR_LEGACY_OPEN_4E, {}, 0).ok);
    EXPECT_EQ(Send(IOCTL_IR_LEGACY_READ_CODE, {0, 0, 0}, 3).returned, 0u);
    EXPECT_EQ(notebook().dma().writeCount(), 0u);
    EXPECT_EQ(notebook().dma().readCount(), 0u);
}

}  // namespace
}  // namespace drivertest
