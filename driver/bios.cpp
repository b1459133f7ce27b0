// The firmware service call.
//
// The notebook's firmware has a 32-bit service that user programs cannot reach. Its
// header lies on a 16-byte boundary in the system BIOS area: the signature "B!U0", one
// byte, then the entry's physical address. The driver finds it on the first request
// that needs it, keeps the mappings for its life, and calls the entry with the
// registers of the request's IR_BIOS_REGS block.
#include "hw_access.h"
#include "requests.h"

// The system BIOS area, searched for the header and kept mapped: the entry may lie in it.
static const uint64_t kBiosWindowBase = 0xF0000;
static const uint32_t kBiosWindowSize = 0x10000;
static const uint32_t kWindowOffsetMask = 0xFFFF;
static const uint32_t kHeaderAlignment = 16;
static const UCHAR kSignature[4] = {'B', '!', 'U', '0'};
static const uint32_t kHeaderEntryOffset = 5;
static const uint32_t kHeaderLength = kHeaderEntryOffset + 4;

// An entry below the window gets a page of its own.
static const uint32_t kEntryPageSize = 0x4000;
static const uint32_t kEntryPageMask = kEntryPageSize - 1;

// The BIOS data area onward, handed to the service in EBP.
static const uint64_t kBiosDataBase = 0x400;
static const uint32_t kBiosDataSize = 0x10000;

// Driver globals: null until the service has been found, then kept for the driver's life.
static PUCHAR BiosEntry;
static PUCHAR BiosDataMap;
static PUCHAR BiosWindow;
static PUCHAR BiosEntryPage;  // null when the entry lies in the window

static uint32_t ReadLittleEndian32(const UCHAR* bytes)
{
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

// The first header in the window; false when there is none.
static bool FindHeader(const UCHAR* window, uint32_t* headerOffset)
{
    for (uint32_t offset = 0; offset + kHeaderLength <= kBiosWindowSize; offset += kHeaderAlignment) {
        const UCHAR* at = window + offset;
        if (at[0] == kSignature[0] && at[1] == kSignature[1] && at[2] == kSignature[2] &&
            at[3] == kSignature[3]) {
            *headerOffset = offset;
            return true;
        }
    }
    return false;
}

// Where the service is found, it is mapped for good; a search that fails lets go of
// what it mapped, since every later request searches anew.
static bool FindBiosService()
{
    if (BiosEntry != NULL)
        return true;
    PUCHAR window = (PUCHAR)MapPhysicalMemory(kBiosWindowBase, kBiosWindowSize);
    if (window == NULL)
        return false;
    uint32_t header = 0;
    if (!FindHeader(window, &header)) {
        UnmapPhysicalMemory(window, kBiosWindowSize);
        return false;
    }
    uint32_t entry = ReadLittleEndian32(window + header + kHeaderEntryOffset);

    PUCHAR entryPage = NULL;
    PUCHAR entryAddress;
    if (entry >= kBiosWindowBase) {
        entryAddress = window + (entry & kWindowOffsetMask);
    } else {
        entryPage = (PUCHAR)MapPhysicalMemory(entry & ~kEntryPageMask, kEntryPageSize);
        if (entryPage == NULL) {
            UnmapPhysicalMemory(window, kBiosWindowSize);
            return false;
        }
        entryAddress = entryPage + (entry & kEntryPageMask);
    }

    PUCHAR dataMap = (PUCHAR)MapPhysicalMemory(kBiosDataBase, kBiosDataSize);
    if (dataMap == NULL) {
        if (entryPage != NULL)
            UnmapPhysicalMemory(entryPage, kEntryPageSize);
        UnmapPhysicalMemory(window, kBiosWindowSize);
        return false;
    }
    BiosWindow = window;
    BiosEntryPage = entryPage;
    BiosDataMap = dataMap;
    BiosEntry = entryAddress;
    return true;
}

void ReleaseBiosService()
{
    if (BiosEntry == NULL)
        return;
    UnmapPhysicalMemory(BiosDataMap, kBiosDataSize);
    if (BiosEntryPage != NULL)
        UnmapPhysicalMemory(BiosEntryPage, kEntryPageSize);
    UnmapPhysicalMemory(BiosWindow, kBiosWindowSize);
    BiosEntry = NULL;
    BiosDataMap = NULL;
    BiosWindow = NULL;
    BiosEntryPage = NULL;
}

static uintptr_t RegisterValue(ULONG value, ULONG isOffset, PUCHAR request)
{
    return isOffset ? (uintptr_t)request + value : (uintptr_t)value;
}

// Calls the service with the block at the start of `request` and updates the block. An
// Esi or Edi offset becomes the address of that byte of the request, so the service
// reads or fills the data area after the block.
static void CallBiosService(PUCHAR request)
{
    IR_BIOS_REGS* block = (IR_BIOS_REGS*)request;
    block->Carry = 1;
    if (!FindBiosService())
        return;
    IR_BIOS_REGS copy = *block;
    FirmwareRegisters registers;
    registers.eax = copy.Eax;
    registers.ebx = copy.Ebx;
    registers.ecx = copy.Ecx;
    registers.edx = copy.Edx;
    registers.esi = RegisterValue(copy.Esi, copy.EsiIsOffset, request);
    registers.edi = RegisterValue(copy.Edi, copy.EdiIsOffset, request);
    registers.ebp = (uintptr_t)BiosDataMap;
    bool carry = CallFirmwareEntry(BiosEntry, &registers);
    copy.Eax = registers.eax;
    copy.Ebx = registers.ebx;
    copy.Ecx = registers.ecx;
    copy.Edx = registers.edx;
    copy.Esi = (ULONG)registers.esi;  // an address now, not turned back into an offset
    copy.Edi = (ULONG)registers.edi;
    if (!carry)
        copy.Carry = 0;
    *block = copy;
}

// An offset must leave a whole data area of the request behind it: the service writes
// through the pointer as far as the data area of its function reaches, and anything past
// the request would be memory the driver does not own.
static bool OffsetLeavesDataArea(ULONG value, ULONG isOffset, ULONG length)
{
    return !isOffset || (value <= length && length - value >= IR_BIOS_DATA_AREA);
}

NTSTATUS BiosCallRequest(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.DeviceIoControl.InputBufferLength;
    if (length != stack->Parameters.DeviceIoControl.OutputBufferLength ||
        length < sizeof(IR_BIOS_REGS))
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    PUCHAR request = (PUCHAR)irp->AssociatedIrp.SystemBuffer;
    const IR_BIOS_REGS* block = (const IR_BIOS_REGS*)request;
    if (!OffsetLeavesDataArea(block->Esi, block->EsiIsOffset, length) ||
        !OffsetLeavesDataArea(block->Edi, block->EdiIsOffset, length))
        return CompleteRequest(irp, STATUS_DEVICE_DATA_ERROR, 0);
    CallBiosService(request);
    return CompleteRequest(irp, STATUS_SUCCESS, length);
}
