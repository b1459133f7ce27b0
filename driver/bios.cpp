// The firmware service call.
#include "requests.h"

// The service is not searched for yet: every well-formed request is answered as on a
// machine without it, Carry set and every other field as sent.
NTSTATUS BiosCallRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.DeviceIoControl.InputBufferLength;
    if (length != stack->Parameters.DeviceIoControl.OutputBufferLength ||
        length < sizeof(IR_BIOS_REGS))
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    IR_BIOS_REGS* regs = (IR_BIOS_REGS*)irp->AssociatedIrp.SystemBuffer;
    regs->Carry = 1;
    return CompleteRequest(irp, STATUS_SUCCESS, length);
}
