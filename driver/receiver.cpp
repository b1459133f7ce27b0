// The remote code receiver: one three-byte code per request, polled from the UART.
#include "hw_access.h"
#include "requests.h"
#include "superio.h"
#include "uart.h"

// A code's three bytes need under 1 ms at 38400 baud; the window bounds a code whose
// last bytes never come.
static const LONGLONG kReceiveWindowMs = 40;
static const LONGLONG kMillisecondsPerSecond = 1000;

// A line status of all ones is a floating bus, not a UART with a byte waiting. Taking it
// for data ready would turn an absent chip into an endless stream of 0xFF codes, and the
// tray program drains codes until none is left.
static BOOLEAN ByteWaiting(USHORT base)
{
    UCHAR lineStatus = PortReadByte(base + kUartLineStatus);
    return lineStatus != kFloatingBus && (lineStatus & kLineStatusDataReady) != 0;
}

// The window is measured on the performance counter, which never goes back. The system
// time can be set back (by the user, by time synchronisation) while a request polls, and
// the window would then last as much longer as the time went back.
static LONGLONG Now()
{
    return KeQueryPerformanceCounter(NULL).QuadPart;
}

// Fills `code` and returns TRUE when a byte was waiting; bytes that do not arrive within
// the window are 0. Returns FALSE, with `code` untouched, when nothing was waiting or no
// UART is known.
static BOOLEAN ReceiveCode(PUCHAR code)
{
    if (!UartBaseUsable(UartBase) || !ByteWaiting(UartBase))
        return FALSE;

    LARGE_INTEGER frequency;
    LONGLONG start = KeQueryPerformanceCounter(&frequency).QuadPart;
    LONGLONG window = frequency.QuadPart * kReceiveWindowMs / kMillisecondsPerSecond;
    ULONG received = 0;
    LONGLONG now = Now();
    while (now - start <= window) {
        if (ByteWaiting(UartBase)) {
            code[received++] = PortReadByte(UartBase + kUartReceive);
            if (received == IR_CODE_LENGTH)
                return TRUE;
        }
        now = Now();
    }
    while (received < IR_CODE_LENGTH)
        code[received++] = 0;
    return TRUE;
}

static ULONG_PTR CodeInformation(BOOLEAN received)
{
    return received ? IR_CODE_LENGTH : 0;
}

NTSTATUS ReadCodeRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    if (stack->Parameters.DeviceIoControl.InputBufferLength < IR_CODE_LENGTH ||
        stack->Parameters.DeviceIoControl.OutputBufferLength < IR_CODE_LENGTH)
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    UartBase = ReadUartBase(
        ConfigPortOf(stack->Parameters.DeviceIoControl.IoControlCode, IOCTL_IR_READ_CODE_4E));
    BOOLEAN received = ReceiveCode((PUCHAR)irp->AssociatedIrp.SystemBuffer);
    return CompleteRequest(irp, STATUS_SUCCESS, CodeInformation(received));
}

// Reads at the UART found last, by a legacy open or a read-code request.
NTSTATUS LegacyReadCodeRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    if (stack->Parameters.DeviceIoControl.InputBufferLength != IR_CODE_LENGTH ||
        stack->Parameters.DeviceIoControl.OutputBufferLength != IR_CODE_LENGTH)
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    BOOLEAN received = ReceiveCode((PUCHAR)irp->AssociatedIrp.SystemBuffer);
    return CompleteRequest(irp, STATUS_SUCCESS, CodeInformation(received));
}
