// Configuration access to the Super I/O chip through its index port P and data port P + 1.
// Each routine is one complete cycle with interrupts disabled: open configuration mode,
// one access, close configuration mode. The chip is never left in configuration mode.
#ifndef PEXACTRL_SUPERIO_H
#define PEXACTRL_SUPERIO_H

#include <ntddk.h>

const USHORT kConfigPort2E = 0x2E;
const USHORT kConfigPort4E = 0x4E;

// Flat register model: the index addresses a global configuration register.
UCHAR CfgRead(USHORT port, UCHAR reg);
void CfgWrite(USHORT port, UCHAR reg, UCHAR value);

// Logical-device model: the index addresses a register of logical device 5, the
// infrared function.
UCHAR LdnCfgRead(USHORT port, UCHAR reg);
void LdnCfgWrite(USHORT port, UCHAR reg, UCHAR value);

// Register 0x25 of the flat model holds bits 9..2 of the UART's base port.
USHORT ReadUartBase(USHORT port);

#endif  // PEXACTRL_SUPERIO_H
