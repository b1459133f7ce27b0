// The driver's request handlers and the state they share.
//
// Every handler completes its request exactly once, through CompleteRequest, and returns
// the status it completed it with.
#ifndef PEXACTRL_REQUESTS_H
#define PEXACTRL_REQUESTS_H

#include <ntddk.h>

#include "pexactrl.h"

// Driver globals: zero at load, kept for the driver's life.
extern USHORT UartBase;  // the infrared UART found last (legacy open, read code)
extern UCHAR SavedMode;  // register 0x0C as the last save mode read it

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);

// The configuration port a paired request works through: the _4E member of a pair selects
// 0x4E, any other code 0x2E.
USHORT ConfigPortOf(ULONG code, ULONG code4E);

// Super I/O configuration (superio.cpp)
NTSTATUS ReadConfigRequest(PIRP irp, PIO_STACK_LOCATION stack);

// Infrared mode switching (irmode.cpp)
NTSTATUS RemoteOnRequest(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS RemoteOffRequest(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS SaveModeRequest(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS RestoreModeRequest(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS LegacyOpen2ERequest(PIRP irp);
NTSTATUS LegacyOpen4ERequest(PIRP irp);
NTSTATUS LegacyClose2ERequest(PIRP irp);
NTSTATUS LegacyClose4ERequest(PIRP irp);

// Remote code receiver (receiver.cpp)
NTSTATUS ReadCodeRequest(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS LegacyReadCodeRequest(PIRP irp, PIO_STACK_LOCATION stack);

// Firmware service call (bios.cpp)
NTSTATUS BiosCallRequest(PIRP irp, PIO_STACK_LOCATION stack);
// Lets go of the service's mappings (at unload).
void ReleaseBiosService();

#endif  // PEXACTRL_REQUESTS_H
