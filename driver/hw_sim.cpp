// Hardware access of the host build: the simulated notebook of the running machine.
// The processor's interrupt flag is the notebook's, so the chip model can see whether a
// configuration cycle ran with interrupts off.
#include "hw_access.h"

#include <ntddk.h>

#include <algorithm>

#include "sim/io_objects.h"
#include "sim/machine.h"

static hw::Notebook& Notebook()
{
    return *sim::CurrentMachine().notebook;
}

unsigned char PortReadByte(unsigned short port)
{
    return Notebook().PortIn(port);
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    Notebook().PortOut(port, value);
}

CpuFlags SaveFlagsAndDisableInterrupts()
{
    hw::Notebook& notebook = Notebook();
    CpuFlags saved = notebook.interruptsEnabled ? kCpuInterruptFlag : 0;
    notebook.interruptsEnabled = false;
    return saved;
}

void RestoreFlags(CpuFlags saved)
{
    Notebook().interruptsEnabled = (saved & kCpuInterruptFlag) != 0;
}

void* MapPhysicalMemory(uint64_t physical, uint32_t length)
{
    PHYSICAL_ADDRESS address;
    address.QuadPart = static_cast<LONGLONG>(physical);
    return MmMapIoSpace(address, length, MmCached);
}

void UnmapPhysicalMemory(void* mapped, uint32_t length)
{
    MmUnmapIoSpace(mapped, length);
}

namespace {

// A physical address no memory answers at: a call there reaches no service.
const uint64_t kNowhere = ~uint64_t(0);

size_t SystemBufferSize(const sim::IrpRecord& request)
{
    const auto& parameters = request.stack.Parameters.DeviceIoControl;
    if (METHOD_FROM_CTL_CODE(parameters.IoControlCode) == METHOD_BUFFERED)
        return std::max(parameters.InputBufferLength, parameters.OutputBufferLength);
    return parameters.InputBufferLength;
}

bool Inside(uintptr_t address, size_t length, const void* start, size_t size)
{
    uintptr_t begin = reinterpret_cast<uintptr_t>(start);
    return start != nullptr && address >= begin && address - begin <= size &&
           length <= size - (address - begin);
}

// The service may write only into memory that the driver could hand it: the system
// buffer of a request in progress, or the notebook's physical memory. Anything else is
// a wild pointer, which the firmware refuses and counts.
bool DriverMemory(void* context, uintptr_t address, size_t length)
{
    sim::Machine& machine = *static_cast<sim::Machine*>(context);
    for (const sim::IrpRecord* request : machine.io.Kernel().activeIrps)
        if (Inside(address, length, request->systemBuffer.get(), SystemBufferSize(*request)))
            return true;
    const hw::PhysicalMemory& memory = machine.notebook->firmware().memory();
    uint64_t first = 0, last = 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(address);
    return length > 0 && memory.AddressOf(bytes, &first) &&
           memory.AddressOf(bytes + length - 1, &last) && last - first == length - 1;
}

}  // namespace

bool CallFirmwareEntry(void* entry, FirmwareRegisters* registers)
{
    sim::Machine& machine = sim::CurrentMachine();
    hw::Firmware& firmware = machine.notebook->firmware();
    uint64_t entryAddress = kNowhere;
    if (!firmware.memory().AddressOf(entry, &entryAddress))
        entryAddress = kNowhere;
    hw::BiosRegisters call = {registers->eax, registers->ebx, registers->ecx, registers->edx,
                              registers->esi, registers->edi, registers->ebp, false};
    firmware.SetMemoryCheck(&DriverMemory, &machine);
    firmware.Call(entryAddress, call);
    registers->eax = call.eax;
    registers->ebx = call.ebx;
    registers->ecx = call.ecx;
    registers->edx = call.edx;
    registers->esi = call.esi;
    registers->edi = call.edi;
    return call.carry;
}
