#include "sim/hw/physical_memory.h"

#include <string.h>

namespace hw {

void PhysicalMemory::Clear()
{
    memset(low_, 0, sizeof(low_));
    memset(rom_, kRomFill, sizeof(rom_));
    memset(page_, 0, sizeof(page_));
    hasPage_ = false;
    pageBase_ = 0;
}

int PhysicalMemory::Regions(Region out[3]) const
{
    out[0] = Region{kLowBase, kLowSize, low_};
    out[1] = Region{kRomBase, kRomSize, rom_};
    if (!hasPage_)
        return 2;
    out[2] = Region{pageBase_, kPageSize, page_};
    return 3;
}

const uint8_t* PhysicalMemory::Locate(uint64_t address, size_t* available) const
{
    Region regions[3];
    int count = Regions(regions);
    for (int i = 0; i < count; ++i) {
        if (address >= regions[i].base && address - regions[i].base < regions[i].size) {
            size_t offset = static_cast<size_t>(address - regions[i].base);
            *available = regions[i].size - offset;
            return regions[i].bytes + offset;
        }
    }
    return nullptr;
}

bool PhysicalMemory::AddPage(uint64_t address)
{
    uint64_t base = address & ~uint64_t(kPageSize - 1);
    if (Covers(base, kPageSize))
        return true;
    if (hasPage_)
        return false;
    hasPage_ = true;
    pageBase_ = base;
    memset(page_, 0, sizeof(page_));
    return true;
}

bool PhysicalMemory::Covers(uint64_t address, size_t length) const
{
    while (length > 0) {
        size_t available = 0;
        if (Locate(address, &available) == nullptr)
            return false;
        size_t step = available < length ? available : length;
        address += step;
        length -= step;
    }
    return true;
}

uint8_t* PhysicalMemory::Map(uint64_t address, size_t length)
{
    size_t available = 0;
    const uint8_t* bytes = Locate(address, &available);
    if (bytes == nullptr || available < length)
        return nullptr;
    return const_cast<uint8_t*>(bytes);
}

bool PhysicalMemory::Read(uint64_t address, void* out, size_t length) const
{
    if (!Covers(address, length))
        return false;
    uint8_t* to = static_cast<uint8_t*>(out);
    while (length > 0) {
        size_t available = 0;
        const uint8_t* from = Locate(address, &available);
        size_t step = available < length ? available : length;
        memcpy(to, from, step);
        to += step;
        address += step;
        length -= step;
    }
    return true;
}

bool PhysicalMemory::Write(uint64_t address, const void* in, size_t length)
{
    if (!Covers(address, length))
        return false;
    const uint8_t* from = static_cast<const uint8_t*>(in);
    while (length > 0) {
        size_t available = 0;
        uint8_t* to = const_cast<uint8_t*>(Locate(address, &available));
        size_t step = available < length ? available : length;
        memcpy(to, from, step);
        from += step;
        address += step;
        length -= step;
    }
    return true;
}

bool PhysicalMemory::AddressOf(const void* pointer, uint64_t* address) const
{
    uintptr_t p = reinterpret_cast<uintptr_t>(pointer);
    Region regions[3];
    int count = Regions(regions);
    for (int i = 0; i < count; ++i) {
        uintptr_t start = reinterpret_cast<uintptr_t>(regions[i].bytes);
        if (p >= start && p - start < regions[i].size) {
            *address = regions[i].base + (p - start);
            return true;
        }
    }
    return false;
}

}  // namespace hw
