// Configuration cycles on the bus: exact sequences, 0xAA closing every cycle, only the
// chip's two ports touched, interrupts off inside a cycle and restored after it.
#include "driver_fixture.h"

namespace drivertest {
namespace {

TEST_F(DriverTest, FlatReadAt4E)
{
    hw::NotebookConfig hardware = FlatChipAt(0x4E);
    hardware.globalRegisters[0x25] = 0xBE;
    Boot(hardware);
    TakePorts();
    Reply reply = Send(IOCTL_IR_READ_CONFIG_4E, {0x25}, 1);
    EXPECT_EQ(reply.returned, 1u);
    EXPECT_EQ(reply.out[0], 0xBE);
    EXPECT_EQ(TakePorts(), (std::vector<PortAccess>{Out(0x4E, 0x55), Out(0x4E, 0x25),
                                                   In(0x4F, 0xBE), Out(0x4E, 0xAA)}));
}

TEST_F(DriverTest, FlatReadAt2EWithLongBuffers)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x5A;
    Boot(hardware);
    TakePorts();
    Reply reply = Send(IOCTL_IR_READ_CONFIG_2E, {0x0C, 1, 2, 3, 4, 5, 6, 7}, 8);
    EXPECT_EQ(reply.returned, 1u);
    EXPECT_EQ(reply.out, (std::vector<uint8_t>{0x5A, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(TakePorts(), (std::vector<PortAccess>{Out(0x2E, 0x55), Out(0x2E, 0x0C),
                                                   In(0x2F, 0x5A), Out(0x2E, 0xAA)}));
}

TEST_F(DriverTest, FlatWriteCycles)
{
    hw::NotebookConfig hardware = FlatChipAt(0x4E);
    hardware.globalRegisters[0x0C] = 0x33;
    Boot(hardware);
    Send(IOCTL_IR_SAVE_MODE_4E, {}, 0);
    chip().SetGlobalRegister(0x0C, 0x00);
    EXPECT_EQ(PortsOf(IOCTL_IR_RESTORE_MODE_4E),
              (std::vector<PortAccess>{Out(0x4E, 0x55), Out(0x4E, 0x0C), Out(0x4F, 0x33),
                                       Out(0x4E, 0xAA)}));
}

TEST_F(DriverTest, LogicalDeviceWriteCycles)
{
    Boot(LogicalDeviceChipAt(0x2E));
    EXPECT_EQ(PortsOf(IOCTL_IR_LEGACY_CLOSE_2E),
              (std::vector<PortAccess>{
                  Out(0x2E, 0x55), Out(0x2E, 0x07), Out(0x2F, 0x05), Out(0x2E, 0x30),
                  Out(0x2F, 0x00), Out(0x2E, 0xAA),  // deactivate
                  Out(0x2E, 0x55), Out(0x2E, 0x07), Out(0x2F, 0x05), Out(0x2E, 0xF1),
                  Out(0x2F, 0x4E), Out(0x2E, 0xAA),  // normal infrared function
              }));
}

TEST_F(DriverTest, LogicalDeviceReadCycles)
{
    hw::NotebookConfig hardware = LogicalDeviceChipAt(0x4E);
    hardware.infraredRegisters[0x60] = 0x02;
    hardware.infraredRegisters[0x61] = 0xF8;
    Boot(hardware);
    std::vector<PortAccess> ports = PortsOf(IOCTL_IR_LEGACY_OPEN_4E);
    ASSERT_GE(ports.size(), 24u);
    const std::vector<PortAccess> readHigh = {Out(0x4E, 0x55), Out(0x4E, 0x07), Out(0x4F, 0x05),
                                              Out(0x4E, 0x60), In(0x4F, 0x02), Out(0x4E, 0xAA)};
    const std::vector<PortAccess> readLow = {Out(0x4E, 0x55), Out(0x4E, 0x07), Out(0x4F, 0x05),
                                             Out(0x4E, 0x61), In(0x4F, 0xF8), Out(0x4E, 0xAA)};
    EXPECT_EQ(std::vector<PortAccess>(ports.begin() + 6, ports.begin() + 12), readHigh);
    EXPECT_EQ(std::vector<PortAccess>(ports.begin() + 12, ports.begin() + 18), readLow);
}

// Every request that works on the chip, at both ports: each cycle opens with 0x55 and
// closes with 0xAA at P, and nothing but P, P + 1 and the UART is touched.
struct CycleCase {
    const char* name;
    uint32_t code2E;
    uint32_t code4E;
    hw::RegisterModel model;
    uint32_t length;
};

const CycleCase kCycleCases[] = {
    {"ReadConfig", IOCTL_IR_READ_CONFIG_2E, IOCTL_IR_READ_CONFIG_4E, hw::RegisterModel::kFlat, 1},
    {"RemoteOn", IOCTL_IR_REMOTE_ON_2E, IOCTL_IR_REMOTE_ON_4E, hw::RegisterModel::kFlat, 0},
    {"RemoteOff", IOCTL_IR_REMOTE_OFF_2E, IOCTL_IR_REMOTE_OFF_4E, hw::RegisterModel::kFlat, 0},
    {"ReadCode", IOCTL_IR_READ_CODE_2E, IOCTL_IR_READ_CODE_4E, hw::RegisterModel::kFlat, 3},
    {"SaveMode", IOCTL_IR_SAVE_MODE_2E, IOCTL_IR_SAVE_MODE_4E, hw::RegisterModel::kFlat, 0},
    {"RestoreMode", IOCTL_IR_RESTORE_MODE_2E, IOCTL_IR_RESTORE_MODE_4E, hw::RegisterModel::kFlat, 0},
    {"LegacyOpen", IOCTL_IR_LEGACY_OPEN_2E, IOCTL_IR_LEGACY_OPEN_4E,
     hw::RegisterModel::kLogicalDevice, 0},
    {"LegacyClose", IOCTL_IR_LEGACY_CLOSE_2E, IOCTL_IR_LEGACY_CLOSE_4E,
     hw::RegisterModel::kLogicalDevice, 0},
};

void PrintTo(const CycleCase& c, std::ostream* os)
{
    *os << c.name;
}

class Cycles : public DriverTest,
               public ::testing::WithParamInterface<std::tuple<CycleCase, uint16_t, bool>> {};

TEST_P(Cycles, CloseEveryCycleAndRestoreInterrupts)
{
    const auto& [c, port, interruptsBefore] = GetParam();
    hw::NotebookConfig hardware = port == 0x2E ? FlatChipAt(0x2E) : FlatChipAt(0x4E);
    hardware.registerModel = c.model;
    Boot(hardware);

    // What the processor's interrupt flag was at each access to the chip's ports.
    std::vector<bool> interruptsAtChipAccess;
    std::vector<bool> interruptsAtOtherAccess;
    machine->trace.AddListener([&](const sim::TraceEvent& e) {
        if (e.event != "port")
            return;
        const bool chipPort = e.fields["port"] == port || e.fields["port"] == port + 1;
        (chipPort ? interruptsAtChipAccess : interruptsAtOtherAccess)
            .push_back(notebook().interruptsEnabled);
    });
    notebook().interruptsEnabled = interruptsBefore;
    const uint32_t cyclesBefore = chip().cycles().completed;
    std::vector<PortAccess> ports =
        PortsOf(port == 0x2E ? c.code2E : c.code4E, std::vector<uint8_t>(c.length, 0x25), c.length);

    EXPECT_EQ(notebook().interruptsEnabled, interruptsBefore);
    EXPECT_FALSE(chip().InConfigMode());
    EXPECT_EQ(chip().cycles().withInterruptsEnabled, 0u);
    ASSERT_FALSE(ports.empty());
    bool open = false;
    int cycles = 0;
    for (const PortAccess& a : ports) {
        const bool chipPort = a.port == port || a.port == port + 1;
        const bool uartPort = a.port >= 0x3F8 && a.port < 0x400;
        EXPECT_TRUE(chipPort || uartPort) << "touched port " << std::hex << a.port;
        if (a.port == port && a.write && a.value == 0x55 && !open) {
            open = true;
            ++cycles;
        } else if (a.port == port && a.write && a.value == 0xAA) {
            EXPECT_TRUE(open) << "0xAA outside a cycle";
            open = false;
        } else if (chipPort) {
            EXPECT_TRUE(open) << "chip access outside a cycle";
        } else {
            EXPECT_FALSE(open) << "UART access inside a cycle";
        }
    }
    EXPECT_FALSE(open) << "the last cycle was not closed";
    EXPECT_EQ(chip().cycles().completed - cyclesBefore, static_cast<uint32_t>(cycles));
    for (bool enabled : interruptsAtChipAccess)
        EXPECT_FALSE(enabled) << "a chip access ran with interrupts on";
    for (bool enabled : interruptsAtOtherAccess)
        EXPECT_EQ(enabled, interruptsBefore) << "interrupts changed outside a cycle";
}

INSTANTIATE_TEST_SUITE_P(
    BothPorts, Cycles,
    ::testing::Combine(::testing::ValuesIn(kCycleCases), ::testing::Values(0x2E, 0x4E),
                       ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == 0x2E ? "_2E" : "_4E") +
               (std::get<2>(info.param) ? "_InterruptsOn" : "_InterruptsOff");
    });

}  // namespace
}  // namespace drivertest
