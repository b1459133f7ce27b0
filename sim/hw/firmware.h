// The notebook's firmware: its physical memory and its 32-bit service.
//
// A machine with the service carries a header in memory: the signature "B!U0", one
// unused byte, then the service entry's physical address (32 bits, little endian).
// Normally the header lies on a 16-byte boundary in the BIOS area; tests place it
// elsewhere too. An entry below the BIOS area gets its own 16 KB page of memory.
//
// The service answers function 0x9610 (in EAX) with a subfunction in EBX:
//   0x200  the OEM identifier, 16 characters in EAX, EBX, ECX, EDX, four per register
//          with the first character in the most significant byte; carry clear;
//   0x0C   the product name written NUL-terminated to the memory ESI points at;
//          carry clear.
// Everything else, and an answer the machine does not have, comes back with carry set
// and the registers unchanged. ESI, EDI and EBP are pointer-sized because on a 64-bit
// host they carry host pointers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/physical_memory.h"

namespace hw {

struct BiosRegisters {
    uint32_t eax, ebx, ecx, edx;
    uintptr_t esi, edi, ebp;
    bool carry;
};

namespace bios {

const uint8_t kSignature[4] = {0x42, 0x21, 0x55, 0x30};  // "B!U0"
const size_t kHeaderLength = 9;
const size_t kEntryOffset = 5;

const uint32_t kServiceFunction = 0x9610;
const uint32_t kOemIdSubfunction = 0x200;
const uint32_t kProductNameSubfunction = 0x0C;

const size_t kOemIdLength = 16;
const size_t kProductNameSize = 64;  // 63 characters and the NUL

// Four characters in one register, the first in the most significant byte.
uint32_t PackChunk(const char* fourCharacters);

}  // namespace bios

struct FirmwareConfig {
    static constexpr uint32_t kDefaultHeaderAddress = 0xFE410;
    static constexpr uint32_t kDefaultEntryAddress = 0xFE5A0;

    bool present = false;
    uint32_t headerAddress = kDefaultHeaderAddress;
    uint32_t entryAddress = kDefaultEntryAddress;
    // Answers every known subfunction with carry clear and nonsense, for fault tests:
    // junk in the four registers, and 64 bytes of '#' without a NUL as product name.
    bool answersGarbage = false;

    bool hasOemId = false;
    char oemId[bios::kOemIdLength] = {};
    char productName[bios::kProductNameSize] = {};  // empty: the machine has none

    // Four chunks of four characters each ("_Tov", "____", ...).
    void SetOemId(const char* chunk0, const char* chunk1, const char* chunk2, const char* chunk3);
    // Longer names are cut to 63 characters.
    void SetProductName(const char* name);
};

struct FirmwareRecord {
    uint32_t calls = 0;            // every call, wherever it went
    uint32_t wrongEntryCalls = 0;  // calls that did not go to the entry
    uint32_t refusedWrites = 0;    // product names not written: ESI was no usable address
    BiosRegisters lastAtEntry = {};  // registers as the last call at the entry brought them
};

class Firmware {
public:
    // Decides whether the service may write `length` bytes at a host address.
    typedef bool (*MemoryCheck)(void* context, uintptr_t address, size_t length);

    void Configure(const FirmwareConfig& config);

    const FirmwareConfig& config() const { return config_; }
    PhysicalMemory& memory() { return memory_; }
    const PhysicalMemory& memory() const { return memory_; }
    // False when the header could not be put into memory (no memory at its address).
    bool headerPlaced() const { return headerPlaced_; }

    bool ReadPhysical(uint64_t address, void* out, size_t length) const
    {
        return memory_.Read(address, out, length);
    }

    // A near call at physical `address`. Anything but the entry of a present service
    // returns with carry set and the registers otherwise unchanged.
    void Call(uint64_t address, BiosRegisters& registers);

    // Without a check, the service refuses only addresses in the first 64 KB, where no
    // host or driver memory ever lies.
    void SetMemoryCheck(MemoryCheck check, void* context);

    const FirmwareRecord& record() const { return record_; }

private:
    void PlaceHeader();
    bool Serve(BiosRegisters& registers);
    bool AnswerOemId(BiosRegisters& registers) const;
    bool WriteProductName(const BiosRegisters& registers);
    bool MayWrite(uintptr_t address, size_t length) const;

    FirmwareConfig config_;
    PhysicalMemory memory_;
    bool headerPlaced_ = false;
    MemoryCheck memoryCheck_ = nullptr;
    void* memoryCheckContext_ = nullptr;
    FirmwareRecord record_;
};

}  // namespace hw
