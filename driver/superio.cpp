// Configuration cycles of the Super I/O chip, and the configuration read request.
#include "superio.h"

#include "hw_access.h"
#include "requests.h"

static const UCHAR kEnterConfigKey = 0x55;
static const UCHAR kExitConfigKey = 0xAA;
static const UCHAR kRegLogicalDevice = 0x07;
static const UCHAR kInfraredDevice = 5;
static const UCHAR kRegUartBase = 0x25;
static const USHORT kUartBaseScale = 4;

static USHORT DataPort(USHORT port)
{
    return port + 1;
}

// Opens configuration mode with interrupts off and addresses `reg`.
static CpuFlags OpenCycle(USHORT port, UCHAR reg)
{
    CpuFlags flags = SaveFlagsAndDisableInterrupts();
    PortWriteByte(port, kEnterConfigKey);
    PortWriteByte(port, reg);
    return flags;
}

// Opens configuration mode with interrupts off, selects the infrared logical device and
// addresses its register `reg`.
static CpuFlags OpenLdnCycle(USHORT port, UCHAR reg)
{
    CpuFlags flags = SaveFlagsAndDisableInterrupts();
    PortWriteByte(port, kEnterConfigKey);
    PortWriteByte(port, kRegLogicalDevice);
    PortWriteByte(DataPort(port), kInfraredDevice);
    PortWriteByte(port, reg);
    return flags;
}

static void CloseCycle(USHORT port, CpuFlags flags)
{
    PortWriteByte(port, kExitConfigKey);
    RestoreFlags(flags);
}

UCHAR CfgRead(USHORT port, UCHAR reg)
{
    CpuFlags flags = OpenCycle(port, reg);
    UCHAR value = PortReadByte(DataPort(port));
    CloseCycle(port, flags);
    return value;
}

void CfgWrite(USHORT port, UCHAR reg, UCHAR value)
{
    CpuFlags flags = OpenCycle(port, reg);
    PortWriteByte(DataPort(port), value);
    CloseCycle(port, flags);
}

UCHAR LdnCfgRead(USHORT port, UCHAR reg)
{
    CpuFlags flags = OpenLdnCycle(port, reg);
    UCHAR value = PortReadByte(DataPort(port));
    CloseCycle(port, flags);
    return value;
}

void LdnCfgWrite(USHORT port, UCHAR reg, UCHAR value)
{
    CpuFlags flags = OpenLdnCycle(port, reg);
    PortWriteByte(DataPort(port), value);
    CloseCycle(port, flags);
}

USHORT ReadUartBase(USHORT port)
{
    return (USHORT)(CfgRead(port, kRegUartBase) * kUartBaseScale);
}

USHORT ConfigPortOf(ULONG code, ULONG code4E)
{
    return code == code4E ? kConfigPort4E : kConfigPort2E;
}

// Byte 0 of the request names a flat-model register; its value comes back in its place.
NTSTATUS ReadConfigRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    if (stack->Parameters.DeviceIoControl.InputBufferLength == 0 ||
        stack->Parameters.DeviceIoControl.OutputBufferLength == 0)
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    USHORT port = ConfigPortOf(stack->Parameters.DeviceIoControl.IoControlCode,
                               IOCTL_IR_READ_CONFIG_4E);
    PUCHAR buffer = (PUCHAR)irp->AssociatedIrp.SystemBuffer;
    buffer[0] = CfgRead(port, buffer[0]);
    return CompleteRequest(irp, STATUS_SUCCESS, 1);
}
