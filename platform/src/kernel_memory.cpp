// Stand-in NT kernel: mapping physical memory.
#include <ntddk.h>

extern "C" {

// The simulated machine's physical memory is not mapped yet: every mapping fails, as it
// does for a driver whose request the memory manager cannot satisfy.
PVOID NTAPI MmMapIoSpace(PHYSICAL_ADDRESS physicalAddress, SIZE_T numberOfBytes,
                         MEMORY_CACHING_TYPE cacheType)
{
    (void)physicalAddress;
    (void)numberOfBytes;
    (void)cacheType;
    return nullptr;
}

void NTAPI MmUnmapIoSpace(PVOID baseAddress, SIZE_T numberOfBytes)
{
    (void)baseAddress;
    (void)numberOfBytes;
}

}  // extern "C"
