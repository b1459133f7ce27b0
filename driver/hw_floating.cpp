// Hardware access of the x86_64 Windows build run under Wine, where port instructions
// would end the driver host: a bus with nothing on it. Reads float to 0xFF, writes are
// lost, and the interrupt flag is kept in software.
#include "hw_access.h"

static const unsigned char kFloatingBusValue = 0xFF;
static CpuFlags g_flags = kCpuInterruptFlag;

unsigned char PortReadByte(unsigned short port)
{
    (void)port;
    return kFloatingBusValue;
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    (void)port;
    (void)value;
}

CpuFlags SaveFlagsAndDisableInterrupts()
{
    CpuFlags saved = g_flags;
    g_flags &= ~kCpuInterruptFlag;
    return saved;
}

void RestoreFlags(CpuFlags saved)
{
    g_flags = saved;
}

// No physical memory can be mapped here, so the firmware service is never found and its
// entry never called.
void* MapPhysicalMemory(uint64_t physical, uint32_t length)
{
    (void)physical;
    (void)length;
    return nullptr;
}

void UnmapPhysicalMemory(void* mapped, uint32_t length)
{
    (void)mapped;
    (void)length;
}

bool CallFirmwareEntry(void* entry, FirmwareRegisters* registers)
{
    (void)entry;
    (void)registers;
    return true;
}
