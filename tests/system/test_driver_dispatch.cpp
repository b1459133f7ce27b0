// PEXACTRL's request dispatch: every control code with right and wrong buffer lengths,
// the codes next to the table, create and close, unload and reload.
#include <windows.h>
#include <ntddk.h>

#include "driver_fixture.h"

namespace drivertest {
namespace {

struct LengthCase {
    const char* name;
    uint32_t code;
    uint32_t in;
    uint32_t out;
    uint32_t error;     // 0: success
    uint32_t returned;  // bytes the caller gets back
};

// A machine with the chip at 0x2E and nothing waiting at its UART.
const LengthCase kLengthCases[] = {
    {"Resumed", IOCTL_IR_RESUMED, 0, 0, 0, 0},
    {"Nop", IOCTL_IR_NOP, 0, 0, 0, 0},
    {"Echo2", IOCTL_IR_ECHO2, 2, 2, 0, 2},
    {"Echo2Longer", IOCTL_IR_ECHO2, 8, 8, 0, 2},
    {"Echo2ShortIn", IOCTL_IR_ECHO2, 1, 2, kErrorCrc, 0},
    {"Echo2ShortOut", IOCTL_IR_ECHO2, 2, 1, kErrorCrc, 0},
    {"Echo2NoBuffers", IOCTL_IR_ECHO2, 0, 0, kErrorCrc, 0},
    {"BiosCall40", IOCTL_IR_BIOS_CALL, 40, 40, 0, 40},
    {"BiosCall104", IOCTL_IR_BIOS_CALL, 104, 104, 0, 104},
    {"BiosCallOutLonger", IOCTL_IR_BIOS_CALL, 40, 104, kErrorCrc, 0},
    {"BiosCallShort", IOCTL_IR_BIOS_CALL, 39, 39, kErrorCrc, 0},
    {"LegacyOpen2E", IOCTL_IR_LEGACY_OPEN_2E, 0, 0, 0, 0},
    {"LegacyClose2E", IOCTL_IR_LEGACY_CLOSE_2E, 0, 0, 0, 0},
    {"LegacyOpen4E", IOCTL_IR_LEGACY_OPEN_4E, 0, 0, 0, 0},
    {"LegacyClose4E", IOCTL_IR_LEGACY_CLOSE_4E, 0, 0, 0, 0},
    {"LegacyReadCode", IOCTL_IR_LEGACY_READ_CODE, 3, 3, 0, 0},
    {"LegacyReadCode4", IOCTL_IR_LEGACY_READ_CODE, 4, 4, kErrorCrc, 0},
    {"LegacyReadCodeOut4", IOCTL_IR_LEGACY_READ_CODE, 3, 4, kErrorCrc, 0},
    {"LegacyReadCode2", IOCTL_IR_LEGACY_READ_CODE2, 3, 3, 0, 0},
    {"LegacyReadCode2In2", IOCTL_IR_LEGACY_READ_CODE2, 2, 3, kErrorCrc, 0},
    {"ReadConfig2E", IOCTL_IR_READ_CONFIG_2E, 1, 1, 0, 1},
    {"ReadConfig2E8", IOCTL_IR_READ_CONFIG_2E, 8, 8, 0, 1},
    {"ReadConfig2ENoOut", IOCTL_IR_READ_CONFIG_2E, 1, 0, kErrorCrc, 0},
    {"ReadConfig4ENoIn", IOCTL_IR_READ_CONFIG_4E, 0, 1, kErrorCrc, 0},
    {"ReadConfig4ENoOut", IOCTL_IR_READ_CONFIG_4E, 1, 0, kErrorCrc, 0},
    {"RemoteOn2E", IOCTL_IR_REMOTE_ON_2E, 0, 0, 0, 0},
    {"RemoteOn4E", IOCTL_IR_REMOTE_ON_4E, 0, 0, 0, 0},
    {"RemoteOff2E", IOCTL_IR_REMOTE_OFF_2E, 0, 0, 0, 0},
    {"RemoteOff4E", IOCTL_IR_REMOTE_OFF_4E, 0, 0, 0, 0},
    {"ReadCode2E", IOCTL_IR_READ_CODE_2E, 3, 3, 0, 0},
    {"ReadCode2E4", IOCTL_IR_READ_CODE_2E, 4, 4, 0, 0},
    {"ReadCode2EShortOut", IOCTL_IR_READ_CODE_2E, 3, 2, kErrorCrc, 0},
    {"ReadCode4EShortOut", IOCTL_IR_READ_CODE_4E, 3, 2, kErrorCrc, 0},
    {"ReadCode4EShortIn", IOCTL_IR_READ_CODE_4E, 2, 3, kErrorCrc, 0},
    {"ReadCode4E16", IOCTL_IR_READ_CODE_4E, 16, 16, 0, 0},
    {"SaveMode2E", IOCTL_IR_SAVE_MODE_2E, 0, 0, 0, 0},
    {"SaveMode4E", IOCTL_IR_SAVE_MODE_4E, 0, 0, 0, 0},
    {"RestoreMode2E", IOCTL_IR_RESTORE_MODE_2E, 0, 0, 0, 0},
    {"RestoreMode4E", IOCTL_IR_RESTORE_MODE_4E, 0, 0, 0, 0},
    {"Function800", PexaCode(0x800), 0, 0, kErrorInvalidFunction, 0},
    {"Function804", PexaCode(0x804), 0, 0, kErrorInvalidFunction, 0},
    {"Function83C", PexaCode(0x83C), 4, 4, kErrorInvalidFunction, 0},
    {"ReadCodeOtherMethod", PexaCode(0x836, METHOD_NEITHER), 3, 3, kErrorInvalidFunction, 0},
};

void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class LengthRules : public DriverTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(LengthRules, StatusAndBytesReturned)
{
    const LengthCase& c = GetParam();
    Boot();
    Reply reply = Send(c.code, std::vector<uint8_t>(c.in, 0x00), c.out);
    EXPECT_EQ(reply.ok, c.error == 0);
    EXPECT_EQ(reply.error, c.error);
    EXPECT_EQ(reply.returned, c.returned);
    if (c.error != 0) {
        EXPECT_TRUE(TakePorts().empty()) << "a refused request touched the hardware";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCode, LengthRules, ::testing::ValuesIn(kLengthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, RequestsWithoutHardwareTouchNoPort)
{
    Boot();
    for (uint32_t code : {IOCTL_IR_NOP, IOCTL_IR_RESUMED, IOCTL_IR_ECHO2, PexaCode(0x800)}) {
        Send(code, {0x12, 0x34}, 2);
        EXPECT_TRUE(TakePorts().empty()) << std::hex << code;
    }
}

TEST_F(DriverTest, Echo2GivesBackTheFirstTwoBytes)
{
    Boot();
    Reply reply = Send(IOCTL_IR_ECHO2, {0x12, 0x34, 0x56}, 3);
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.returned, 2u);
    EXPECT_EQ(reply.out, (std::vector<uint8_t>{0x12, 0x34, 0xEE}));
}

TEST_F(DriverTest, RefusedRequestLeavesTheOutputBuffer)
{
    Boot();
    Reply reply = Send(IOCTL_IR_READ_CONFIG_4E, {}, 4);
    EXPECT_EQ(reply.error, kErrorCrc);
    EXPECT_EQ(reply.out, std::vector<uint8_t>(4, 0xEE));
}

TEST_F(DriverTest, EveryRequestIsTraced)
{
    Boot();
    Send(IOCTL_IR_ECHO2, {0x12, 0x34}, 2);
    Send(PexaCode(0x83C), {0xAB}, 1);
    auto events = machine->trace.Named("ioctl");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].fields["code"], IOCTL_IR_ECHO2);
    EXPECT_EQ(events[0].fields["in"], "12 34");
    EXPECT_EQ(events[0].fields["out"], 2);
    EXPECT_EQ(events[0].fields["status"], 0);
    EXPECT_EQ(events[0].fields["info"], 2);
    EXPECT_EQ(events[0].fields["out_data"], "12 34");
    EXPECT_EQ(events[1].fields["status"], 0xC0000010u);
    EXPECT_EQ(events[1].fields["info"], 0);
    EXPECT_EQ(events[1].fields["out_data"], "");
}

TEST_F(DriverTest, SeveralHandlesAtOnce)
{
    Boot();
    uint32_t error = 99;
    void* second = machine->io.Open("\\\\.\\pexactrl", error);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(error, 0u);
    uint32_t returned = 0;
    EXPECT_TRUE(machine->io.DeviceControl(second, IOCTL_IR_NOP, nullptr, 0, nullptr, 0, returned,
                                          error));
    machine->io.Close(second);
    EXPECT_FALSE(machine->io.IsFile(second));
    EXPECT_TRUE(Send(IOCTL_IR_NOP, {}, 0).ok);
}

TEST_F(DriverTest, OnlyTheDevicesLinkOpens)
{
    Boot();
    uint32_t error = 0;
    EXPECT_EQ(machine->io.Open("\\\\.\\PEXACTL2", error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST_F(DriverTest, UnloadRemovesTheDeviceAndReloadStartsAfresh)
{
    hw::NotebookConfig hardware = FlatChipAt(0x2E);
    hardware.globalRegisters[0x0C] = 0x5A;
    Boot(hardware);
    ASSERT_TRUE(Send(IOCTL_IR_SAVE_MODE_2E, {}, 0).ok);
    machine->io.Close(file);
    file = nullptr;

    ASSERT_TRUE(machine->io.UnloadDriver("PEXACTRL"));
    EXPECT_FALSE(machine->io.IsDriverLoaded("PEXACTRL"));
    uint32_t error = 0;
    EXPECT_EQ(machine->io.Open(PEXACTRL_USER_PATH, error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);

    ASSERT_EQ(machine->io.LoadDriver("PEXACTRL"), STATUS_SUCCESS);
    file = machine->io.Open(PEXACTRL_USER_PATH, error);
    ASSERT_NE(file, nullptr);
    // The new load remembers no saved mode: restore writes 0.
    chip().SetGlobalRegister(0x0C, 0x11);
    ASSERT_TRUE(Send(IOCTL_IR_RESTORE_MODE_2E, {}, 0).ok);
    EXPECT_EQ(chip().GlobalRegister(0x0C), 0x00);
}

TEST_F(DriverTest, UnloadWaitsForTheLastHandle)
{
    Boot();
    ASSERT_TRUE(machine->io.UnloadDriver("PEXACTRL"));
    uint32_t error = 0;
    EXPECT_EQ(machine->io.Open(PEXACTRL_USER_PATH, error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
    EXPECT_TRUE(Send(IOCTL_IR_NOP, {}, 0).ok) << "an open handle keeps working";
    EXPECT_TRUE(machine->io.IsDriverLoaded("PEXACTRL"));

    machine->io.Close(file);
    file = nullptr;
    EXPECT_FALSE(machine->io.IsDriverLoaded("PEXACTRL"));
    EXPECT_EQ(machine->io.LoadDriver("PEXACTRL"), STATUS_SUCCESS);
}

TEST_F(DriverTest, SecondLoadIsRefused)
{
    Boot();
    EXPECT_EQ(machine->io.LoadDriver("PEXACTRL"), STATUS_IMAGE_ALREADY_LOADED);
    EXPECT_TRUE(Send(IOCTL_IR_NOP, {}, 0).ok);
}

// A link left behind (by an earlier instance that never unloaded) makes the start fail;
// the device made just before must not stay behind.
TEST(DriverStart, FailedLinkLeavesNoDevice)
{
    sim::MachineConfig config;
    config.installDir = "";
    config.driver = false;
    sim::Machine machine(config);
    UNICODE_STRING link;
    UNICODE_STRING target;
    RtlInitUnicodeString(&link, u"\\DosDevices\\PEXACTRL");
    RtlInitUnicodeString(&target, u"\\Device\\Stale");
    ASSERT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);

    EXPECT_EQ(machine.io.LoadDriver("PEXACTRL"), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_FALSE(machine.io.IsDriverLoaded("PEXACTRL"));

    // With the stale link gone the driver starts, so its device name was freed.
    ASSERT_EQ(IoDeleteSymbolicLink(&link), STATUS_SUCCESS);
    EXPECT_EQ(machine.io.LoadDriver("PEXACTRL"), STATUS_SUCCESS);
    uint32_t error = 0;
    void* file = machine.io.Open(PEXACTRL_USER_PATH, error);
    EXPECT_NE(file, nullptr);
    machine.io.Close(file);
}

TEST(DriverStart, ThroughTheWin32Calls)
{
    sim::MachineConfig config;
    config.installDir = "";
    sim::Machine machine(config);
    HANDLE device = CreateFileA(PEXACTRL_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    BYTE buffer[2] = {0x12, 0x34};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, IOCTL_IR_ECHO2, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(returned, 2u);
    EXPECT_FALSE(DeviceIoControl(device, PexaCode(0x804), nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
    EXPECT_FALSE(DeviceIoControl(device, IOCTL_IR_READ_CODE_2E, buffer, 2, buffer, 2, &returned, nullptr));
    EXPECT_EQ(GetLastError(), kErrorCrc);
    EXPECT_TRUE(CloseHandle(device));
}

}  // namespace
}  // namespace drivertest
