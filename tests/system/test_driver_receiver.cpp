// The remote code receiver: codes whole and partial, the 40 ms window, bytes left for the
// next request, the UART base read on every request, line errors, an absent chip, and a
// press of the simulated remote coming back through DeviceIoControl.
#include <windows.h>

#include "driver_fixture.h"

namespace drivertest {
namespace {

using hw::kMillisecond;

const hw::Nanoseconds kFrame = hw::RemoteControl::FramesTime(1);

class Receiver : public DriverTest {
protected:
    // A machine in remote mode with the UART set up, as after the tray program's start.
    void BootInRemoteMode(const hw::NotebookConfig& hardware = FlatChipAt(0x2E))
    {
        Boot(hardware);
        const uint32_t remoteOn =
            hardware.chipPort == 0x4E ? IOCTL_IR_REMOTE_ON_4E : IOCTL_IR_REMOTE_ON_2E;
        ASSERT_TRUE(Send(remoteOn, {}, 0).ok);
        // A 40 ms window polls the UART tens of thousands of times; tests that look at
        // the bus turn the port trace on again.
        machine->trace.portsEnabled = false;
    }

    // Sends bytes from the remote now and lets the first `waiting` of them arrive.
    void Burst(const std::vector<uint8_t>& bytes, size_t waiting = 1)
    {
        ASSERT_TRUE(notebook().SendRawBurst(machine->clock.now, bytes.data(), bytes.size()));
        AdvanceClock(hw::RemoteControl::FramesTime(waiting) + 1);
    }

    Reply ReadCode() { return Send(IOCTL_IR_READ_CODE_2E, {0, 0, 0}, 3); }
};

TEST_F(Receiver, NothingWaiting)
{
    BootInRemoteMode();
    const uint64_t timeQueries = machine->io.TimeQueries();
    Reply reply = ReadCode();
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.returned, 0u);
    EXPECT_EQ(reply.out, (std::vector<uint8_t>{0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(machine->io.TimeQueries(), timeQueries) << "the time was read";
}

TEST_F(Receiver, WholeCodeReturnsAsSoonAsItIsIn)
{
    BootInRemoteMode();
    Burst({0x11, 0x22, 0x33});
    const hw::Nanoseconds start = machine->clock.now;
    Reply reply = ReadCode();
    EXPECT_EQ(reply.returned, 3u);
    EXPECT_EQ(reply.out, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    EXPECT_LT(machine->clock.now - start, 2 * kFrame + 100 * hw::kMicrosecond);
}

struct PartialCase {
    const char* name;
    std::vector<uint8_t> sent;
    std::vector<uint8_t> code;
};

void PrintTo(const PartialCase& c, std::ostream* os)
{
    *os << c.name;
}

class PartialCode : public Receiver, public ::testing::WithParamInterface<PartialCase> {};

TEST_P(PartialCode, WindowEndsItWithZeros)
{
    BootInRemoteMode();
    Burst(GetParam().sent);
    const hw::Nanoseconds start = machine->clock.now;
    Reply reply = ReadCode();
    const hw::Nanoseconds took = machine->clock.now - start;
    EXPECT_EQ(reply.returned, 3u);
    EXPECT_EQ(reply.out, GetParam().code);
    EXPECT_GE(took, 40 * kMillisecond);
    EXPECT_LT(took, 41 * kMillisecond);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, PartialCode,
    ::testing::Values(PartialCase{"OneByte", {0x11}, {0x11, 0x00, 0x00}},
                      PartialCase{"TwoBytes", {0x11, 0x22}, {0x11, 0x22, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

// The system time can be set back while a request polls; the window must still end.
TEST_F(Receiver, WindowIgnoresTheSystemTimeGoingBack)
{
    BootInRemoteMode();
    Burst({0x11});
    bool shifted = false;
    machine->trace.portsEnabled = true;
    machine->trace.AddListener([&](const sim::TraceEvent& e) {
        if (e.event == "port" && !shifted && machine->io.TimeQueries() > 0) {
            shifted = true;
            machine->io.ShiftSystemTime(-10'000'000);  // one second back
            machine->trace.portsEnabled = false;      // keeps a stretched window cheap
        }
    });
    const uint64_t queriesBefore = machine->io.TimeQueries();
    const hw::Nanoseconds start = machine->clock.now;
    Reply reply = ReadCode();
    EXPECT_EQ(reply.out, (std::vector<uint8_t>{0x11, 0x00, 0x00}));
    EXPECT_GT(machine->io.TimeQueries(), queriesBefore);
    EXPECT_LT(machine->clock.now - start, 41 * kMillisecond);
}

TEST_F(Receiver, FourthByteStartsTheNextCode)
{
    BootInRemoteMode();
    Burst({0x11, 0x22, 0x33, 0x44}, 4);
    Reply first = ReadCode();
    EXPECT_EQ(first.returned, 3u);
    EXPECT_EQ(first.out, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    Reply second = ReadCode();
    EXPECT_EQ(second.returned, 3u);
    EXPECT_EQ(second.out, (std::vector<uint8_t>{0x44, 0x00, 0x00}));
    EXPECT_EQ(ReadCode().returned, 0u);
}

TEST_F(Receiver, LongBuffersGetThreeBytes)
{
    BootInRemoteMode();
    Burst({0x11, 0x22, 0x33}, 3);
    Reply reply = Send(IOCTL_IR_READ_CODE_2E, std::vector<uint8_t>(16, 0), 16, 0xEE);
    EXPECT_EQ(reply.returned, 3u);
    EXPECT_EQ(std::vector<uint8_t>(reply.out.begin(), reply.out.begin() + 4),
              (std::vector<uint8_t>{0x11, 0x22, 0x33, 0xEE}));
}

TEST_F(Receiver, BaseIsReadForEveryRequest)
{
    BootInRemoteMode();
    machine->trace.portsEnabled = true;
    EXPECT_EQ(PortsOf(IOCTL_IR_READ_CODE_2E, {0, 0, 0}, 3),
              (std::vector<PortAccess>{Out(0x2E, 0x55), Out(0x2E, 0x25), In(0x2F, 0xFE),
                                       Out(0x2E, 0xAA), In(0x3FD, 0x60)}));
    chip().SetGlobalRegister(0x25, 0xBE);
    std::vector<PortAccess> ports = PortsOf(IOCTL_IR_READ_CODE_2E, {0, 0, 0}, 3);
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[4].port, 0x2FD);
    // The legacy read polls the base that request found.
    ports = PortsOf(IOCTL_IR_LEGACY_READ_CODE, {0, 0, 0}, 3);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].port, 0x2FD);
}

// Bytes sent at 38400 baud into a UART left at its power-on 9600 baud arrive as garbage
// with the framing-error bit; the driver does not look at error bits and takes them.
TEST_F(Receiver, LineErrorsAreIgnored)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x12;  // remote mode, without the driver's UART set-up
    hardware.globalRegisters[0x02] = 0x84;
    Boot(hardware);
    Burst({0x11, 0x22, 0x33}, 3);
    uint8_t lineStatus = 0;
    machine->trace.AddListener([&](const sim::TraceEvent& e) {
        if (e.event == "port" && e.fields["port"] == 0x3FD && !lineStatus)
            lineStatus = e.fields["value"].get<uint8_t>();
    });
    Reply reply = ReadCode();
    EXPECT_NE(lineStatus & 0x08, 0) << "no framing error to ignore";
    EXPECT_EQ(reply.returned, 3u);
}

// With no chip the bus floats at 0xFF, and a line status of 0xFF would say "data ready"
// for ever; the tray program's drain loop would never end.
TEST_F(Receiver, AbsentChipGivesNoCodes)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.chipPort = 0;
    Boot(hardware);
    ASSERT_TRUE(Send(IOCTL_IR_REMOTE_ON_2E, {}, 0).ok);
    const hw::Nanoseconds start = machine->clock.now;
    for (int i = 0; i < 5; ++i) {
        Reply reply = ReadCode();
        EXPECT_TRUE(reply.ok);
        EXPECT_EQ(reply.returned, 0u);
    }
    EXPECT_LT(machine->clock.now - start, kMillisecond);
}

// The whole road: a button pressed on the remote comes back through the Win32 calls.
struct PressCase {
    uint16_t chipPort;
    bool remoteMode;
};

void PrintTo(const PressCase& c, std::ostream* os)
{
    *os << std::hex << c.chipPort << (c.remoteMode ? " remote mode" : " normal mode");
}

class RemotePress : public ::testing::TestWithParam<PressCase> {};

TEST_P(RemotePress, CodeArrivesOnlyInRemoteMode)
{
    const PressCase& c = GetParam();
    sim::MachineConfig config;
    config.installDir = "";
    config.hardware = FlatChipAt(c.chipPort);
    sim::Machine machine(config);
    const DWORD offset = c.chipPort == 0x4E ? 4 : 0;

    HANDLE device = CreateFileA(PEXACTRL_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    if (c.remoteMode) {
        ASSERT_TRUE(DeviceIoControl(device, IOCTL_IR_REMOTE_ON_2E + offset, nullptr, 0, nullptr,
                                    0, &returned, nullptr));
    }
    const uint8_t press[3] = {0x5A, 0xC3, 0x0F};
    ASSERT_TRUE(machine.notebook->PressRemote(machine.clock.now + kMillisecond, press));
    machine.clock.AdvanceTo(machine.clock.now + 2 * kMillisecond + 3 * kFrame);

    BYTE code[3] = {0xEE, 0xEE, 0xEE};
    ASSERT_TRUE(DeviceIoControl(device, IOCTL_IR_READ_CODE_2E + offset, code, 3, code, 3,
                                &returned, nullptr));
    if (c.remoteMode) {
        EXPECT_EQ(returned, 3u);
        EXPECT_EQ(std::vector<uint8_t>(code, code + 3), std::vector<uint8_t>(press, press + 3));
    } else {
        EXPECT_EQ(returned, 0u);
        EXPECT_EQ(machine.notebook->remoteBytesLost(), 3u);
    }
    CloseHandle(device);
}

INSTANTIATE_TEST_SUITE_P(Driver, RemotePress,
                         ::testing::Values(PressCase{0x2E, true}, PressCase{0x4E, true},
                                           PressCase{0x2E, false}),
                         [](const auto& info) {
                             return std::string(info.param.chipPort == 0x4E ? "At4E" : "At2E") +
                                    (info.param.remoteMode ? "RemoteMode" : "NormalMode");
                         });

}  // namespace
}  // namespace drivertest
