// The 16550-compatible UART of the chip's infrared function, as the driver uses it:
// programmed once for polled reception, then read byte by byte.
#ifndef PEXACTRL_UART_H
#define PEXACTRL_UART_H

#include <ntddk.h>

// Register offsets from the UART's base port.
const USHORT kUartReceive = 0;        // receive buffer; divisor low byte while the latch is open
const USHORT kUartInterruptEnable = 1;  // divisor high byte while the latch is open
const USHORT kUartLineControl = 3;
const USHORT kUartLineStatus = 5;

const UCHAR kLineStatusDataReady = 0x01;
// What a port reads when nothing decodes it: no UART answers at this base.
const UCHAR kFloatingBus = 0xFF;

// Ports below 0x100 belong to the motherboard's own devices (DMA controller, interrupt
// controllers, timer, keyboard controller); a UART is never decoded there. A base in that
// range (a chip register reading 0, a legacy read before any open) means "no UART", and
// the driver must not write or read those ports.
const USHORT kLowestUartBase = 0x100;
// The UART's eight registers must lie below the top of the I/O space: a base above this
// (0xFFFF is what registers read with no chip there) would wrap its register ports
// around to 0 and reach the DMA controller.
const USHORT kUartRegisterCount = 8;
const USHORT kHighestUartBase = (USHORT)(0x10000 - kUartRegisterCount);

inline BOOLEAN UartBaseUsable(USHORT base)
{
    return base >= kLowestUartBase && base <= kHighestUartBase;
}

// Sets the UART at `base` up for polled reception at 38400 baud, 8 data bits, no parity,
// 1 stop bit. Touches nothing when the base is not usable.
void ProgramUart(USHORT base);

#endif  // PEXACTRL_UART_H
