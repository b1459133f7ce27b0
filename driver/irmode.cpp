// Switching the chip's infrared function between normal mode and remote mode, saving
// and restoring its mode register, and setting its UART up for polled reception.
#include "hw_access.h"
#include "requests.h"
#include "superio.h"
#include "uart.h"

USHORT UartBase;
UCHAR SavedMode;

// Flat model
static const UCHAR kRegConfigControl = 0x02;
static const UCHAR kConfigControlRemote = 0x80;
static const UCHAR kRegIrMode = 0x0C;
static const UCHAR kIrModeKeep = 0xC7;    // everything but the mode field, bits 5..3
static const UCHAR kIrModeRemote = 0x10;  // mode field 2
static const UCHAR kIrModeNormal = 0x08;  // mode field 1

// Logical device 5
static const UCHAR kRegActivate = 0x30;
static const UCHAR kActivate = 0x01;
static const UCHAR kDeactivate = 0x00;
static const UCHAR kRegBaseHigh = 0x60;
static const UCHAR kRegBaseLow = 0x61;
static const UCHAR kRegIrFunction = 0xF1;
static const UCHAR kIrFunctionRemote = 0x50;
static const UCHAR kIrFunctionNormal = 0x4E;

// UART set-up
static const UCHAR kLineControlDivisorLatch = 0x80;
static const UCHAR kLineControl8N1 = 0x03;
static const UCHAR kDivisor38400Low = 0x03;
static const UCHAR kDivisor38400High = 0x00;
static const UCHAR kUartInterruptsOff = 0x00;

void ProgramUart(USHORT base)
{
    if (!UartBaseUsable(base))
        return;
    PortWriteByte(base + kUartLineControl, kLineControlDivisorLatch);
    PortWriteByte(base + kUartReceive, kDivisor38400Low);
    PortWriteByte(base + kUartInterruptEnable, kDivisor38400High);
    PortWriteByte(base + kUartLineControl, kLineControl8N1);
    PortWriteByte(base + kUartInterruptEnable, kUartInterruptsOff);
}

// The mode field is set before bit 7 of register 0x02 when switching on, and bit 7 is
// cleared before the mode field when switching off.
static void RemoteOn(USHORT port)
{
    ProgramUart(ReadUartBase(port));
    UCHAR mode = CfgRead(port, kRegIrMode);
    CfgWrite(port, kRegIrMode, (UCHAR)((mode & kIrModeKeep) | kIrModeRemote));
    UCHAR control = CfgRead(port, kRegConfigControl);
    CfgWrite(port, kRegConfigControl, (UCHAR)(control | kConfigControlRemote));
}

static void RemoteOff(USHORT port)
{
    UCHAR control = CfgRead(port, kRegConfigControl);
    CfgWrite(port, kRegConfigControl, (UCHAR)(control & ~kConfigControlRemote));
    UCHAR mode = CfgRead(port, kRegIrMode);
    CfgWrite(port, kRegIrMode, (UCHAR)((mode & kIrModeKeep) | kIrModeNormal));
}

static void LegacyOpen(USHORT port)
{
    LdnCfgWrite(port, kRegActivate, kActivate);
    UartBase = (USHORT)(LdnCfgRead(port, kRegBaseHigh) << 8);
    UartBase |= LdnCfgRead(port, kRegBaseLow);
    LdnCfgWrite(port, kRegIrFunction, kIrFunctionRemote);
    ProgramUart(UartBase);
}

static void LegacyClose(USHORT port)
{
    LdnCfgWrite(port, kRegActivate, kDeactivate);
    LdnCfgWrite(port, kRegIrFunction, kIrFunctionNormal);
}

static ULONG CodeOf(PIO_STACK_LOCATION stack)
{
    return stack->Parameters.DeviceIoControl.IoControlCode;
}

NTSTATUS RemoteOnRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    RemoteOn(ConfigPortOf(CodeOf(stack), IOCTL_IR_REMOTE_ON_4E));
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS RemoteOffRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    RemoteOff(ConfigPortOf(CodeOf(stack), IOCTL_IR_REMOTE_OFF_4E));
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS SaveModeRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    SavedMode = CfgRead(ConfigPortOf(CodeOf(stack), IOCTL_IR_SAVE_MODE_4E), kRegIrMode);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS RestoreModeRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    CfgWrite(ConfigPortOf(CodeOf(stack), IOCTL_IR_RESTORE_MODE_4E), kRegIrMode, SavedMode);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS LegacyOpen2ERequest(PIRP irp)
{
    LegacyOpen(kConfigPort2E);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS LegacyOpen4ERequest(PIRP irp)
{
    LegacyOpen(kConfigPort4E);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS LegacyClose2ERequest(PIRP irp)
{
    LegacyClose(kConfigPort2E);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS LegacyClose4ERequest(PIRP irp)
{
    LegacyClose(kConfigPort4E);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}
