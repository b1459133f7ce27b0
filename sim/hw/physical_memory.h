// The parts of the notebook's physical memory that the driver can map.
//
// Three regions, none overlapping:
//   low    0x00000-0x13FFF  interrupt vectors, BIOS data area at 0x400 and the 64 KB
//                           from 0x400 that the firmware service is handed;
//   rom    0xF0000-0xFFFFF  the system BIOS, where the service header lies;
//   page   one 16 KB page anywhere else, for a service entry outside the BIOS area.
// Every region starts and ends on a 16 KB boundary, so a 16 KB mapping lies wholly in
// one region or wholly outside all of them. Anything else is unmapped: reads and maps
// of it fail.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace hw {

class PhysicalMemory {
public:
    static constexpr uint64_t kLowBase = 0x00000;
    static constexpr size_t kLowSize = 0x14000;
    static constexpr uint64_t kRomBase = 0xF0000;
    static constexpr size_t kRomSize = 0x10000;
    static constexpr size_t kPageSize = 0x4000;
    static constexpr uint8_t kRomFill = 0xFF;

    // Low memory zeroed, the ROM erased (0xFF), no extra page.
    void Clear();
    // Adds the 16 KB page at the boundary at or below `address`. True when the page is
    // mapped afterwards (also when a region already held it); false when another extra
    // page is already there.
    bool AddPage(uint64_t address);

    bool Covers(uint64_t address, size_t length) const;
    // Host pointer to `length` bytes at `address`, or null when they are not all mapped
    // within one region.
    uint8_t* Map(uint64_t address, size_t length);
    // Copies bytes out of or into memory; false, and nothing copied, when any of the
    // range is unmapped.
    bool Read(uint64_t address, void* out, size_t length) const;
    bool Write(uint64_t address, const void* in, size_t length);
    // The physical address of a host pointer into this memory; false for any other.
    bool AddressOf(const void* pointer, uint64_t* address) const;

private:
    struct Region {
        uint64_t base;
        size_t size;
        const uint8_t* bytes;
    };

    int Regions(Region out[3]) const;
    // Bytes at `address`, with how many follow in the same region; null when unmapped.
    const uint8_t* Locate(uint64_t address, size_t* available) const;

    uint8_t low_[kLowSize];
    uint8_t rom_[kRomSize];
    uint8_t page_[kPageSize];
    bool hasPage_ = false;
    uint64_t pageBase_ = 0;
};

}  // namespace hw
