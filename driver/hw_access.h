// The driver's only door to the hardware, and the only code that differs between builds:
//   win32      the processor's port instructions and flags register (hw_i386.cpp);
//   host       the simulated notebook of the running machine (hw_sim.cpp);
//   win64-sim  the simulated notebook inside the driver (hw_wine.cpp).
#ifndef PEXACTRL_HW_ACCESS_H
#define PEXACTRL_HW_ACCESS_H

#include <stdint.h>

// The processor flags saved around a configuration cycle. Only the interrupt flag is
// looked at, but the whole register is saved so that restoring it changes nothing else.
typedef unsigned long long CpuFlags;
const CpuFlags kCpuInterruptFlag = 0x200;  // IF, bit 9 of EFLAGS

unsigned char PortReadByte(unsigned short port);
void PortWriteByte(unsigned short port, unsigned char value);

// Saves the flags, then disables interrupts on the current processor.
CpuFlags SaveFlagsAndDisableInterrupts();
// Puts saved flags back: interrupts come on again only if they were on when saved.
void RestoreFlags(CpuFlags saved);

// ---- Physical memory and the firmware's service entry ----------------------------

// The processor registers of a call into the firmware. ESI, EDI and EBP are
// pointer-sized because they carry addresses of the driver's memory; on i386 the block
// is seven 32-bit words in this order, which the call thunk relies on.
struct FirmwareRegisters {
    uint32_t eax, ebx, ecx, edx;
    uintptr_t esi, edi;
    uintptr_t ebp;
};

// Maps `length` bytes of physical memory, cached, into system space; null when they
// cannot be mapped.
void* MapPhysicalMemory(uint64_t physical, uint32_t length);
void UnmapPhysicalMemory(void* mapped, uint32_t length);

// A near call to `entry` with EAX to EDI and EBP loaded from `registers`. EAX to EDI
// are stored back as the service left them (EBP is not); the result is the carry flag
// the service returned with.
bool CallFirmwareEntry(void* entry, FirmwareRegisters* registers);

#endif  // PEXACTRL_HW_ACCESS_H
