// Hardware access of the i386 build: the processor's port instructions and flags.
#include <ntddk.h>
#include <stddef.h>

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

void* MapPhysicalMemory(uint64_t physical, uint32_t length)
{
    PHYSICAL_ADDRESS address;
    address.QuadPart = (LONGLONG)physical;
    return MmMapIoSpace(address, length, MmCached);
}

void UnmapPhysicalMemory(void* mapped, uint32_t length)
{
    MmUnmapIoSpace(mapped, length);
}

// bios_thunk_i386.S reads the block as seven 32-bit words.
static_assert(sizeof(FirmwareRegisters) == 28, "FirmwareRegisters is seven 32-bit words");
static_assert(offsetof(FirmwareRegisters, esi) == 16 && offsetof(FirmwareRegisters, ebp) == 24,
              "FirmwareRegisters in the thunk's order");

extern "C" unsigned int __attribute__((stdcall)) PexaBiosThunk(void* entry,
                                                                FirmwareRegisters* registers);

bool CallFirmwareEntry(void* entry, FirmwareRegisters* registers)
{
    return PexaBiosThunk(entry, registers) != 0;
}
