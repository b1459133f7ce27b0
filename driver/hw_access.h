// The driver's only door to the hardware, and the only code that differs between builds:
//   win32      the processor's port instructions and flags register (hw_i386.cpp);
//   host       the simulated notebook of the running machine (hw_sim.cpp);
//   win64-sim  for now a bus with nothing on it (hw_floating.cpp).
#ifndef PEXACTRL_HW_ACCESS_H
#define PEXACTRL_HW_ACCESS_H

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

#endif  // PEXACTRL_HW_ACCESS_H
