// Stand-in NT kernel: mapping physical memory.
//
// The machine's physical memory is the notebook's (low memory with the BIOS data area,
// the BIOS ROM, and the page of a firmware entry outside it); a mapping is a pointer
// into it. Every call is recorded so that tests can see what a driver mapped and
// whether it let go of it. Unmapping what is not mapped stops the machine, as the real
// kernel stops with a bug check.
#include <ntddk.h>

#include <stdexcept>

#include "sim/io_objects.h"
#include "sim/machine.h"

namespace {

std::vector<sim::PhysicalMapping>& Mappings()
{
    return sim::CurrentMachine().io.Kernel().mappings;
}

}  // namespace

extern "C" {

PVOID NTAPI MmMapIoSpace(PHYSICAL_ADDRESS physicalAddress, SIZE_T numberOfBytes,
                         MEMORY_CACHING_TYPE cacheType)
{
    sim::PhysicalMapping mapping;
    mapping.physical = static_cast<uint64_t>(physicalAddress.QuadPart);
    mapping.length = numberOfBytes;
    mapping.cacheType = cacheType;
    if (physicalAddress.QuadPart >= 0 && numberOfBytes > 0)
        mapping.address = sim::CurrentMachine().notebook->firmware().memory().Map(mapping.physical,
                                                                                  numberOfBytes);
    mapping.live = mapping.address != nullptr;
    Mappings().push_back(mapping);
    return mapping.address;
}

void NTAPI MmUnmapIoSpace(PVOID baseAddress, SIZE_T numberOfBytes)
{
    for (sim::PhysicalMapping& mapping : Mappings()) {
        if (mapping.live && mapping.address == baseAddress && mapping.length == numberOfBytes) {
            mapping.live = false;
            return;
        }
    }
    throw std::logic_error("kernel: MmUnmapIoSpace of memory that is not mapped");
}

}  // extern "C"
