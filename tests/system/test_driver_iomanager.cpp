// The simulated I/O manager as a driver sees it, with a stand-in driver whose behaviour
// each test chooses: the METHOD_BUFFERED system buffer, what comes back to the caller,
// the completion check, the file name, the clocks and the status-to-error mapping.
#include <ntddk.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "sim/io_objects.h"
#include "sim/machine.h"

namespace {

// What the stand-in driver does with the next request, and what it saw.
struct Behaviour {
    int completions = 1;
    NTSTATUS status = STATUS_SUCCESS;
    NTSTATUS returned = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    std::vector<uint8_t> fill;  // written to the system buffer

    std::vector<UCHAR> majors;
    ULONG inLength = 0;
    ULONG outLength = 0;
    bool hadSystemBuffer = false;
    std::vector<uint8_t> systemBufferSeen;
    std::string fileName;
};
Behaviour g_driver;

NTSTATUS NTAPI StandInDispatch(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    g_driver.majors.push_back(stack->MajorFunction);
    if (stack->MajorFunction == IRP_MJ_CREATE)
        g_driver.fileName = sim::NarrowName(&stack->FileObject->FileName);
    if (stack->MajorFunction != IRP_MJ_DEVICE_CONTROL) {
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    }
    g_driver.inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    g_driver.outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    g_driver.hadSystemBuffer = buffer != nullptr;
    if (buffer) {
        const ULONG size = std::max(g_driver.inLength, g_driver.outLength);
        g_driver.systemBufferSeen.assign(buffer, buffer + size);
        std::memcpy(buffer, g_driver.fill.data(), std::min<size_t>(size, g_driver.fill.size()));
    }
    irp->IoStatus.Status = g_driver.status;
    irp->IoStatus.Information = g_driver.information;
    for (int i = 0; i < g_driver.completions; ++i)
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    return g_driver.returned;
}

class IoManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_driver = Behaviour();
        sim::MachineConfig config;
        config.installDir = "";
        config.driver = false;
        machine = std::make_unique<sim::Machine>(config);

        sim::IoManager::Impl& io = machine->io.Kernel();
        auto driver = std::make_unique<sim::DriverRecord>();
        driver->name = "STANDIN";
        for (auto& routine : driver->object.MajorFunction)
            routine = StandInDispatch;
        PDRIVER_OBJECT driverObject = &driver->object;
        io.drivers["STANDIN"] = std::move(driver);

        UNICODE_STRING deviceName;
        UNICODE_STRING linkName;
        RtlInitUnicodeString(&deviceName, u"\\Device\\StandIn");
        RtlInitUnicodeString(&linkName, u"\\DosDevices\\STANDIN");
        PDEVICE_OBJECT device = nullptr;
        ASSERT_EQ(IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
                  STATUS_SUCCESS);
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        ASSERT_EQ(IoCreateSymbolicLink(&linkName, &deviceName), STATUS_SUCCESS);
        uint32_t error = 0;
        file = machine->io.Open("\\\\.\\STANDIN", error);
        ASSERT_NE(file, nullptr);
    }

    struct Result {
        bool ok;
        uint32_t returned;
        uint32_t error;
        std::vector<uint8_t> out;
    };

    Result Request(std::vector<uint8_t> in, uint32_t outLength, uint32_t code = 0x222004)
    {
        Result r{false, 0, 0, std::vector<uint8_t>(outLength, 0xEE)};
        r.ok = machine->io.DeviceControl(file, code, in.empty() ? nullptr : in.data(),
                                         static_cast<uint32_t>(in.size()),
                                         outLength ? r.out.data() : nullptr, outLength,
                                         r.returned, r.error);
        return r;
    }

    std::unique_ptr<sim::Machine> machine;
    void* file = nullptr;
};

TEST_F(IoManagerTest, SystemBufferHoldsTheInputAndIsMaxOfBothLengths)
{
    g_driver.fill = {9, 8, 7, 6, 5};
    g_driver.information = 4;
    Result r = Request({1, 2, 3}, 5);
    EXPECT_EQ(g_driver.inLength, 3u);
    EXPECT_EQ(g_driver.outLength, 5u);
    ASSERT_EQ(g_driver.systemBufferSeen.size(), 5u);
    EXPECT_EQ(std::vector<uint8_t>(g_driver.systemBufferSeen.begin(), g_driver.systemBufferSeen.begin() + 3),
              (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.returned, 4u);
    EXPECT_EQ(r.out, (std::vector<uint8_t>{9, 8, 7, 6, 0xEE}));
}

TEST_F(IoManagerTest, NoBuffersNoSystemBuffer)
{
    g_driver.hadSystemBuffer = true;
    EXPECT_TRUE(Request({}, 0).ok);
    EXPECT_FALSE(g_driver.hadSystemBuffer);
}

TEST_F(IoManagerTest, InformationIsCappedAtTheOutputLength)
{
    g_driver.fill = {1, 2, 3, 4, 5, 6, 7, 8};
    g_driver.information = 8;
    Result r = Request(std::vector<uint8_t>(8, 0), 2);
    EXPECT_EQ(r.returned, 2u);
    EXPECT_EQ(r.out, (std::vector<uint8_t>{1, 2}));
}

TEST_F(IoManagerTest, ErrorStatusCopiesNothingBack)
{
    g_driver.fill = {1, 2};
    g_driver.information = 2;
    g_driver.status = g_driver.returned = STATUS_DEVICE_DATA_ERROR;
    Result r = Request({0, 0}, 2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 23u);
    EXPECT_EQ(r.returned, 0u);
    EXPECT_EQ(r.out, (std::vector<uint8_t>{0xEE, 0xEE}));
}

TEST_F(IoManagerTest, WarningStatusCopiesBackAndFails)
{
    g_driver.fill = {1, 2};
    g_driver.information = 2;
    g_driver.status = g_driver.returned = STATUS_BUFFER_OVERFLOW;
    Result r = Request({0, 0}, 2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 234u);
    EXPECT_EQ(r.out, (std::vector<uint8_t>{1, 2}));
}

TEST_F(IoManagerTest, CallerBuffersAreProbed)
{
    uint32_t returned = 0;
    uint32_t error = 0;
    EXPECT_FALSE(machine->io.DeviceControl(file, 0x222004, nullptr, 4, nullptr, 0, returned, error));
    EXPECT_EQ(error, 998u);
    EXPECT_EQ(g_driver.majors, std::vector<UCHAR>{IRP_MJ_CREATE}) << "the driver saw the request";
}

struct FaultCase {
    const char* name;
    int completions;
    NTSTATUS completedWith;
    NTSTATUS returned;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class CompletionFault : public IoManagerTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CompletionFault, IsReportedAtOnce)
{
    g_driver.completions = GetParam().completions;
    g_driver.status = GetParam().completedWith;
    g_driver.returned = GetParam().returned;
    EXPECT_THROW(Request({}, 0), std::logic_error);
    // The manager is still usable afterwards.
    g_driver = Behaviour();
    EXPECT_TRUE(Request({}, 0).ok);
}

INSTANTIATE_TEST_SUITE_P(
    IoManager, CompletionFault,
    ::testing::Values(FaultCase{"CompletedTwice", 2, STATUS_SUCCESS, STATUS_SUCCESS},
                      FaultCase{"NeverCompleted", 0, STATUS_SUCCESS, STATUS_SUCCESS},
                      FaultCase{"LeftPending", 0, STATUS_PENDING, STATUS_PENDING},
                      FaultCase{"ReturnedOtherStatus", 1, STATUS_SUCCESS, STATUS_UNSUCCESSFUL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IoManagerTest, CreateSeesTheRestOfTheName)
{
    EXPECT_EQ(g_driver.fileName, "");
    uint32_t error = 0;
    void* second = machine->io.Open("\\\\.\\standin\\sub", error);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(g_driver.fileName, "\\sub");
    machine->io.Close(second);
}

TEST_F(IoManagerTest, CloseSendsCleanupThenClose)
{
    g_driver.majors.clear();
    machine->io.Close(file);
    EXPECT_EQ(g_driver.majors, (std::vector<UCHAR>{IRP_MJ_CLEANUP, IRP_MJ_CLOSE}));
    EXPECT_FALSE(machine->io.IsFile(file));
}

TEST_F(IoManagerTest, ClocksOfTheKernel)
{
    LARGE_INTEGER before;
    LARGE_INTEGER frequency;
    KeQuerySystemTime(&before);
    const LONGLONG counterBefore = KeQueryPerformanceCounter(&frequency).QuadPart;
    const ULONGLONG interruptBefore = KeQueryInterruptTime();

    machine->clock.AdvanceTo(machine->clock.now + hw::kSecond);
    machine->io.ShiftSystemTime(-36'000'000'000LL);  // an hour back

    LARGE_INTEGER after;
    KeQuerySystemTime(&after);
    EXPECT_LT(after.QuadPart, before.QuadPart);
    const LONGLONG counterAfter = KeQueryPerformanceCounter(nullptr).QuadPart;
    EXPECT_NEAR(static_cast<double>(counterAfter - counterBefore),
                static_cast<double>(frequency.QuadPart), frequency.QuadPart / 1000.0);
    EXPECT_NEAR(static_cast<double>(KeQueryInterruptTime() - interruptBefore), 10'000'000.0, 100.0);
    EXPECT_GE(machine->io.TimeQueries(), 6u);
}

struct MappingCase {
    uint32_t status;
    uint32_t error;
};

void PrintTo(const MappingCase& c, std::ostream* os)
{
    *os << std::hex << c.status;
}

class StatusMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(StatusMapping, AsWindowsReportsIt)
{
    EXPECT_EQ(sim::IoManager::Win32ErrorFromStatus(static_cast<int32_t>(GetParam().status)),
              GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(IoManager, StatusMapping,
                         ::testing::Values(MappingCase{0x00000000, 0},
                                           MappingCase{0x00000103, 0},  // pending is no failure
                                           MappingCase{0xC0000010, 1},
                                           MappingCase{0xC000009C, 23},
                                           MappingCase{0xC0000034, 2},
                                           MappingCase{0xC0000022, 5},
                                           MappingCase{0x80000005, 234},
                                           MappingCase{0xC0070057, 87},  // Win32 facility
                                           MappingCase{0xC0001234, 317}));

}  // namespace
