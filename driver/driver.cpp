// PEXACTRL: a legacy NT driver with one device and no hardware resources of its own.
// It reaches the Super I/O chip and its UART through port I/O; every request is
// synchronous and completes before its dispatch routine returns.
#include <ntddk.h>

#include "pexactrl.h"
#include "requests.h"

// Wide literals of the kernel's 16-bit characters on every build.
#ifdef _WIN32
#define KERNEL_TEXT_(text) L##text
#else
#define KERNEL_TEXT_(text) u##text
#endif
#define KERNEL_TEXT(text) KERNEL_TEXT_(text)

static const WCHAR kDeviceName[] = KERNEL_TEXT(PEXACTRL_DEVICE_NAME);
static const WCHAR kLinkName[] = KERNEL_TEXT(PEXACTRL_LINK_NAME);

// Both buffers of IOCTL_IR_ECHO2 must hold the two bytes it reports.
static const ULONG kEchoLength = 2;

// Kept as a hook for debugging builds; prints nothing.
static void DebugTrace(PCSTR format, PUNICODE_STRING argument)
{
    UNREFERENCED_PARAMETER(format);
    UNREFERENCED_PARAMETER(argument);
}

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT deviceObject, PIRP irp)
{
    UNREFERENCED_PARAMETER(deviceObject);
    DebugTrace("Create File is %T", &IoGetCurrentIrpStackLocation(irp)->FileObject->FileName);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT deviceObject, PIRP irp)
{
    UNREFERENCED_PARAMETER(deviceObject);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NothingRequest(PIRP irp)
{
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

// Gives back the first two bytes of the request. With shorter buffers there would be
// nothing of the caller's to give back: the missing bytes would be whatever the system
// buffer held before, or there would be no system buffer at all.
static NTSTATUS Echo2Request(PIRP irp, PIO_STACK_LOCATION stack)
{
    if (stack->Parameters.DeviceIoControl.InputBufferLength < kEchoLength ||
        stack->Parameters.DeviceIoControl.OutputBufferLength < kEchoLength)
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    return CompleteRequest(irp, STATUS_SUCCESS, kEchoLength);
}

static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT deviceObject, PIRP irp)
{
    UNREFERENCED_PARAMETER(deviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_IR_RESUMED:
    case IOCTL_IR_NOP:
        return NothingRequest(irp);
    case IOCTL_IR_ECHO2:
        return Echo2Request(irp, stack);
    case IOCTL_IR_BIOS_CALL:
        return BiosCallRequest(irp, stack);
    case IOCTL_IR_LEGACY_OPEN_2E:
        return LegacyOpen2ERequest(irp);
    case IOCTL_IR_LEGACY_CLOSE_2E:
        return LegacyClose2ERequest(irp);
    case IOCTL_IR_LEGACY_OPEN_4E:
        return LegacyOpen4ERequest(irp);
    case IOCTL_IR_LEGACY_CLOSE_4E:
        return LegacyClose4ERequest(irp);
    case IOCTL_IR_LEGACY_READ_CODE:
    case IOCTL_IR_LEGACY_READ_CODE2:
        return LegacyReadCodeRequest(irp, stack);
    case IOCTL_IR_READ_CONFIG_2E:
    case IOCTL_IR_READ_CONFIG_4E:
        return ReadConfigRequest(irp, stack);
    case IOCTL_IR_REMOTE_ON_2E:
    case IOCTL_IR_REMOTE_ON_4E:
        return RemoteOnRequest(irp, stack);
    case IOCTL_IR_REMOTE_OFF_2E:
    case IOCTL_IR_REMOTE_OFF_4E:
        return RemoteOffRequest(irp, stack);
    case IOCTL_IR_READ_CODE_2E:
    case IOCTL_IR_READ_CODE_4E:
        return ReadCodeRequest(irp, stack);
    case IOCTL_IR_SAVE_MODE_2E:
    case IOCTL_IR_SAVE_MODE_4E:
        return SaveModeRequest(irp, stack);
    case IOCTL_IR_RESTORE_MODE_2E:
    case IOCTL_IR_RESTORE_MODE_4E:
        return RestoreModeRequest(irp, stack);
    default:
        return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static VOID NTAPI DriverUnload(PDRIVER_OBJECT driverObject)
{
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, kLinkName);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
    ReleaseBiosService();
}

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    DebugTrace("RegistryPath is %T", registryPath);

    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, kDeviceName);
    PDEVICE_OBJECT deviceObject = NULL;
    NTSTATUS status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE,
                                     &deviceObject);
    if (!NT_SUCCESS(status))
        return status;

    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, kLinkName);
    driverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driverObject->DriverUnload = DriverUnload;

    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(deviceObject);  // a failed start leaves no device behind
    return status;
}
