#include "sim/hw/firmware.h"

#include <string.h>

namespace hw {

using namespace bios;

uint32_t bios::PackChunk(const char* fourCharacters)
{
    const uint8_t* c = reinterpret_cast<const uint8_t*>(fourCharacters);
    return (uint32_t(c[0]) << 24) | (uint32_t(c[1]) << 16) | (uint32_t(c[2]) << 8) | c[3];
}

static size_t BoundedLength(const char* text, size_t limit)
{
    size_t length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    return length;
}

void FirmwareConfig::SetOemId(const char* chunk0, const char* chunk1, const char* chunk2,
                              const char* chunk3)
{
    const char* chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    memset(oemId, 0, sizeof(oemId));
    for (int i = 0; i < 4; ++i)
        memcpy(oemId + 4 * i, chunks[i], BoundedLength(chunks[i], 4));
    hasOemId = true;
}

void FirmwareConfig::SetProductName(const char* name)
{
    memset(productName, 0, sizeof(productName));
    memcpy(productName, name, BoundedLength(name, kProductNameSize - 1));
}

void Firmware::Configure(const FirmwareConfig& config)
{
    config_ = config;
    config_.productName[kProductNameSize - 1] = '\0';
    record_ = FirmwareRecord();
    memory_.Clear();
    headerPlaced_ = false;
    if (config_.present)
        PlaceHeader();
}

void Firmware::PlaceHeader()
{
    memory_.AddPage(config_.entryAddress);
    uint32_t entry = config_.entryAddress;
    uint8_t header[kHeaderLength] = {kSignature[0], kSignature[1], kSignature[2], kSignature[3],
                                     0x00,
                                     uint8_t(entry), uint8_t(entry >> 8), uint8_t(entry >> 16),
                                     uint8_t(entry >> 24)};
    headerPlaced_ = memory_.Write(config_.headerAddress, header, sizeof(header));
}

void Firmware::SetMemoryCheck(MemoryCheck check, void* context)
{
    memoryCheck_ = check;
    memoryCheckContext_ = context;
}

void Firmware::Call(uint64_t address, BiosRegisters& registers)
{
    ++record_.calls;
    if (!config_.present || address != config_.entryAddress) {
        ++record_.wrongEntryCalls;
        registers.carry = true;
        return;
    }
    record_.lastAtEntry = registers;
    registers.carry = !(registers.eax == kServiceFunction && Serve(registers));
}

bool Firmware::Serve(BiosRegisters& registers)
{
    switch (registers.ebx) {
    case kOemIdSubfunction:
        return AnswerOemId(registers);
    case kProductNameSubfunction:
        return WriteProductName(registers);
    default:
        return false;
    }
}

bool Firmware::AnswerOemId(BiosRegisters& registers) const
{
    if (config_.answersGarbage) {
        registers.eax = 0xDEADBEEF;
        registers.ebx = 0x00000000;
        registers.ecx = 0xFFFFFFFF;
        registers.edx = 0x0A0D0A0D;
        return true;
    }
    if (!config_.hasOemId)
        return false;
    registers.eax = PackChunk(config_.oemId);
    registers.ebx = PackChunk(config_.oemId + 4);
    registers.ecx = PackChunk(config_.oemId + 8);
    registers.edx = PackChunk(config_.oemId + 12);
    return true;
}

bool Firmware::WriteProductName(const BiosRegisters& registers)
{
    char name[kProductNameSize];
    size_t length;
    if (config_.answersGarbage) {
        memset(name, '#', sizeof(name));
        length = sizeof(name);
    } else {
        if (config_.productName[0] == '\0')
            return false;
        length = BoundedLength(config_.productName, kProductNameSize - 1) + 1;
        memcpy(name, config_.productName, length);
    }
    if (!MayWrite(registers.esi, length)) {
        ++record_.refusedWrites;
        return false;
    }
    memcpy(reinterpret_cast<void*>(registers.esi), name, length);
    return true;
}

bool Firmware::MayWrite(uintptr_t address, size_t length) const
{
    if (address + length < address)
        return false;
    if (memoryCheck_ != nullptr)
        return memoryCheck_(memoryCheckContext_, address, length);
    const uintptr_t kFirstUsableAddress = 0x10000;
    return address >= kFirstUsableAddress;
}

}  // namespace hw
