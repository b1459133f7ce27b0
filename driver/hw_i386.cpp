// Hardware access of the i386 build: the processor's port instructions and flags.
#include "hw_access.h"

unsigned char PortReadByte(unsigned short port)
{
    unsigned char value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port) : "memory");
    return value;
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port) : "memory");
}

CpuFlags SaveFlagsAndDisableInterrupts()
{
    unsigned long flags;
    __asm__ __volatile__("pushfl\n\tpopl %0\n\tcli" : "=r"(flags) : : "memory");
    return flags;
}

void RestoreFlags(CpuFlags saved)
{
    unsigned long flags = (unsigned long)saved;
    __asm__ __volatile__("pushl %0\n\tpopfl" : : "r"(flags) : "memory", "cc");
}
