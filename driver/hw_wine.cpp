// Hardware access of the x86_64 build that runs under Wine. Port instructions would end
// Wine's driver host, so the simulated notebook (the same chip, UART, remote and firmware
// models as the host build) runs inside the driver: every port access goes to it, a
// physical mapping is a pointer into its memory, and the firmware entry is its service.
//
// The notebook's clock follows the real time since the driver was loaded, read from the
// performance counter; each port access still costs its bus cycle on top, so a busy wait
// on port reads ends even if the real time were to stand still. The machine description
// and the remote script come from the driver's service key (format in
// sim_config_wine.h):
//   SimMachine      REG_SZ or REG_MULTI_SZ: the description itself;
//   SimMachineFile  REG_SZ: an NT path of a file holding it (\??\C:\..., \??\Z:\tmp\...);
//   SimStatus       written by the driver: what it simulates, or why it refused to start;
//                   at unload, what happened on the bus.
// With neither value the notebook has the default chip at 0x2E and no firmware.
#include <ntddk.h>

#include <new>

#include "hw_access.h"
#include "sim/hw/notebook.h"
#include "sim_config_wine.h"

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace {

const WCHAR kMachineValue[] = L"SimMachine";
const WCHAR kMachineFileValue[] = L"SimMachineFile";
const WCHAR kStatusValue[] = L"SimStatus";

const size_t kMaxDescription = 16384;  // bytes of description text, file or value
const size_t kMaxStatus = 512;
const size_t kMaxRegistryPath = 512;   // characters
const LONGLONG kNanosecondsPerSecond = 1000000000;
const hw::Nanoseconds kNotYet = ~hw::Nanoseconds(0);

struct Simulation {
    explicit Simulation(const hw::NotebookConfig& config) : notebook(clock, config) {}

    hw::Clock clock;
    hw::Notebook notebook;
    LONGLONG counterAtLoad = 0;
    hw::Nanoseconds remoteModeAt = kNotYet;  // when the chip first went into remote mode
};

// Static storage only: the driver has no C run-time that would construct static objects,
// so the simulation is built in place when the driver starts.
alignas(Simulation) unsigned char g_simulationStorage[sizeof(Simulation)];
Simulation* g_simulation;
simwine::RemoteScript g_script;
PDRIVER_UNLOAD g_productUnload;
WCHAR g_registryPathText[kMaxRegistryPath];
UNICODE_STRING g_registryPath;

char g_description[kMaxDescription];
// Registry value read buffer: the information header and the longest accepted value.
alignas(8) UCHAR g_valueBuffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 2 * kMaxDescription];
WCHAR g_pathText[kMaxDescription];
WCHAR g_statusText[kMaxStatus];

// ---- time --------------------------------------------------------------------------

hw::Nanoseconds RealTimeSinceLoad(const Simulation& simulation)
{
    LARGE_INTEGER frequency;
    LONGLONG elapsed = KeQueryPerformanceCounter(&frequency).QuadPart - simulation.counterAtLoad;
    if (elapsed <= 0 || frequency.QuadPart <= 0)
        return 0;
    // Split so that the product cannot overflow however long the driver runs.
    LONGLONG seconds = elapsed / frequency.QuadPart;
    LONGLONG rest = elapsed % frequency.QuadPart;
    return hw::Nanoseconds(seconds) * kNanosecondsPerSecond +
           hw::Nanoseconds(rest * kNanosecondsPerSecond / frequency.QuadPart);
}

// The remote's presses count from the chip's first switch into remote mode.
void StartRemoteScriptOnRemoteMode(Simulation& simulation)
{
    if (simulation.remoteModeAt != kNotYet || !simulation.notebook.InRemoteMode())
        return;
    simulation.remoteModeAt = simulation.clock.now;
    for (size_t i = 0; i < g_script.count; ++i) {
        const simwine::RemotePress& press = g_script.presses[i];
        simulation.notebook.SendRawBurst(simulation.remoteModeAt + press.atMs * hw::kMillisecond,
                                         press.bytes, press.length);
    }
}

// ---- text helpers ----------------------------------------------------------------

// Wide registry text to the 8-bit description: NULs of a multi-string end settings, and
// anything outside ASCII becomes '?' (the format uses ASCII only).
size_t NarrowText(const WCHAR* text, size_t characters, char* out, size_t size)
{
    size_t used = 0;
    for (size_t i = 0; i < characters && used < size; ++i) {
        WCHAR c = text[i];
        out[used++] = c == 0 ? '\n' : (c < 0x80 ? char(c) : '?');
    }
    return used;
}

void SetUnicode(UNICODE_STRING& string, WCHAR* text, size_t characters)
{
    string.Buffer = text;
    string.Length = USHORT(characters * sizeof(WCHAR));
    string.MaximumLength = string.Length;
}

// ---- registry and files ------------------------------------------------------------

NTSTATUS OpenServiceKey(PUNICODE_STRING registryPath, ACCESS_MASK access, HANDLE* key)
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    return ZwOpenKey(key, access, &attributes);
}

// A text value of the key: its characters without the terminating NULs.
bool QueryTextValue(HANDLE key, const WCHAR* name, const WCHAR** text, size_t* characters)
{
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ULONG resultLength = 0;
    NTSTATUS status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, g_valueBuffer,
                                      sizeof(g_valueBuffer), &resultLength);
    if (!NT_SUCCESS(status))
        return false;
    const KEY_VALUE_PARTIAL_INFORMATION* info = (const KEY_VALUE_PARTIAL_INFORMATION*)g_valueBuffer;
    if (info->Type != REG_SZ && info->Type != REG_EXPAND_SZ && info->Type != REG_MULTI_SZ)
        return false;
    *text = (const WCHAR*)info->Data;
    *characters = info->DataLength / sizeof(WCHAR);
    while (*characters > 0 && (*text)[*characters - 1] == 0)
        --*characters;
    return true;
}

void WriteStatus(HANDLE key, const char* status)
{
    size_t length = 0;
    while (status[length] != '\0' && length + 1 < kMaxStatus) {
        g_statusText[length] = WCHAR((unsigned char)status[length]);
        ++length;
    }
    g_statusText[length] = 0;
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, kStatusValue);
    ZwSetValueKey(key, &valueName, 0, REG_SZ, g_statusText, ULONG((length + 1) * sizeof(WCHAR)));
}

// Reads the whole file into g_description; a file that fills the buffer is too long.
NTSTATUS ReadDescriptionFile(const WCHAR* path, size_t characters, size_t* length)
{
    if (characters == 0 || characters >= kMaxDescription)
        return STATUS_OBJECT_NAME_INVALID;
    RtlCopyMemory(g_pathText, path, characters * sizeof(WCHAR));
    UNICODE_STRING name;
    SetUnicode(name, g_pathText, characters);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    IO_STATUS_BLOCK io;
    HANDLE file = NULL;
    NTSTATUS status = ZwCreateFile(&file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, NULL,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, FILE_OPEN,
                                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
    if (!NT_SUCCESS(status))
        return status;
    size_t total = 0;
    while (NT_SUCCESS(status) && total < kMaxDescription) {
        status = ZwReadFile(file, NULL, NULL, NULL, &io, g_description + total,
                            ULONG(kMaxDescription - total), NULL, NULL);
        if (NT_SUCCESS(status) && io.Information == 0)
            break;
        if (NT_SUCCESS(status))
            total += io.Information;
    }
    ZwClose(file);
    if (status == STATUS_END_OF_FILE)
        status = STATUS_SUCCESS;
    if (NT_SUCCESS(status) && total >= kMaxDescription)
        status = STATUS_FILE_TOO_LARGE;
    *length = total;
    return status;
}

// The description from the key: the file named there, else the value itself, else none.
NTSTATUS ReadDescription(HANDLE key, size_t* length, simwine::TextWriter& source)
{
    const WCHAR* text = NULL;
    size_t characters = 0;
    *length = 0;
    if (QueryTextValue(key, kMachineFileValue, &text, &characters)) {
        source.Add(" from file ");
        char path[kMaxStatus / 2];
        path[NarrowText(text, characters < sizeof(path) - 1 ? characters : sizeof(path) - 1, path,
                        sizeof(path) - 1)] = '\0';
        source.Add(path);
        return ReadDescriptionFile(text, characters, length);
    }
    if (QueryTextValue(key, kMachineValue, &text, &characters)) {
        source.Add(" from SimMachine");
        if (characters > kMaxDescription)
            return STATUS_FILE_TOO_LARGE;
        *length = NarrowText(text, characters, g_description, kMaxDescription);
        return STATUS_SUCCESS;
    }
    source.Add(" (default machine)");
    return STATUS_SUCCESS;
}

// ---- start and stop ---------------------------------------------------------------

// Reads the description, builds the notebook and leaves a status in the service key.
NTSTATUS StartSimulation(PUNICODE_STRING registryPath)
{
    HANDLE key = NULL;
    NTSTATUS status = OpenServiceKey(registryPath, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (!NT_SUCCESS(status))
        return status;

    char statusText[kMaxStatus];
    char sourceText[kMaxStatus / 2];
    simwine::TextWriter source(sourceText, sizeof(sourceText));
    simwine::TextWriter writer(statusText, sizeof(statusText));
    size_t length = 0;
    status = ReadDescription(key, &length, source);
    if (!NT_SUCCESS(status)) {
        writer.Add("error: description not readable (status 0x");
        for (int shift = 24; shift >= 0; shift -= 8)
            writer.AddHexByte(UCHAR(ULONG(status) >> shift));
        writer.Add(")");
        writer.Add(sourceText);
        WriteStatus(key, statusText);
        ZwClose(key);
        return status;
    }

    hw::NotebookConfig config;
    simwine::ParseError error;
    g_script.count = 0;
    if (!simwine::ParseMachineDescription(g_description, length, config, g_script, error)) {
        writer.Add("error: line ");
        writer.AddDecimal(error.line);
        writer.Add(": ");
        writer.Add(error.message);
        writer.Add(sourceText);
        WriteStatus(key, statusText);
        ZwClose(key);
        return STATUS_INVALID_PARAMETER;
    }

    g_simulation = new (g_simulationStorage) Simulation(config);
    LARGE_INTEGER frequency;
    g_simulation->counterAtLoad = KeQueryPerformanceCounter(&frequency).QuadPart;

    writer.Add("running: ");
    char machine[kMaxStatus / 2];
    simwine::DescribeMachine(config, g_script, machine, sizeof(machine));
    writer.Add(machine);
    writer.Add(sourceText);
    WriteStatus(key, statusText);
    ZwClose(key);
    return STATUS_SUCCESS;
}

// What the bus saw, for the test that reads the status after stopping the driver.
void ReportSimulation()
{
    HANDLE key = NULL;
    if (g_simulation == NULL || !NT_SUCCESS(OpenServiceKey(&g_registryPath, KEY_SET_VALUE, &key)))
        return;
    Simulation& simulation = *g_simulation;
    char statusText[kMaxStatus];
    simwine::TextWriter writer(statusText, sizeof(statusText));
    writer.Add("stopped: ");
    writer.AddDecimal(simulation.notebook.portAccesses());
    writer.Add(" port accesses, remote mode ");
    if (simulation.remoteModeAt == kNotYet) {
        writer.Add("never on");
    } else {
        writer.Add("first on at ");
        writer.AddDecimal(simulation.remoteModeAt / hw::kMillisecond);
        writer.Add(" ms");
    }
    writer.Add(", ");
    writer.AddDecimal(simulation.notebook.remote().bytesSent());
    writer.Add(" remote bytes sent, ");
    writer.AddDecimal(simulation.notebook.remoteBytesLost());
    writer.Add(" lost in normal mode");
    WriteStatus(key, statusText);
    ZwClose(key);
}

VOID NTAPI SimDriverUnload(PDRIVER_OBJECT driverObject)
{
    if (g_productUnload != NULL)
        g_productUnload(driverObject);
    ReportSimulation();
    g_simulation = NULL;
}

void KeepRegistryPath(PUNICODE_STRING registryPath)
{
    size_t characters = registryPath->Length / sizeof(WCHAR);
    if (characters > kMaxRegistryPath)
        characters = kMaxRegistryPath;
    RtlCopyMemory(g_registryPathText, registryPath->Buffer, characters * sizeof(WCHAR));
    SetUnicode(g_registryPath, g_registryPathText, characters);
}

Simulation* Current()
{
    return g_simulation;
}

}  // namespace

// The image's entry under Wine: the simulated machine is set up before the driver's own
// entry runs, and reports what happened after its unload.
extern "C" NTSTATUS NTAPI SimDriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    g_simulation = NULL;
    g_productUnload = NULL;
    KeepRegistryPath(registryPath);
    NTSTATUS status = StartSimulation(registryPath);
    if (!NT_SUCCESS(status))
        return status;
    status = DriverEntry(driverObject, registryPath);
    if (!NT_SUCCESS(status)) {
        g_simulation = NULL;
        return status;
    }
    g_productUnload = driverObject->DriverUnload;
    driverObject->DriverUnload = SimDriverUnload;
    return status;
}

unsigned char PortReadByte(unsigned short port)
{
    Simulation* simulation = Current();
    if (simulation == NULL)
        return hw::kFloatingBus;
    simulation->clock.AdvanceTo(RealTimeSinceLoad(*simulation));
    return simulation->notebook.PortIn(port);
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    Simulation* simulation = Current();
    if (simulation == NULL)
        return;
    simulation->clock.AdvanceTo(RealTimeSinceLoad(*simulation));
    simulation->notebook.PortOut(port, value);
    StartRemoteScriptOnRemoteMode(*simulation);
}

CpuFlags SaveFlagsAndDisableInterrupts()
{
    Simulation* simulation = Current();
    if (simulation == NULL)
        return kCpuInterruptFlag;
    CpuFlags saved = simulation->notebook.interruptsEnabled ? kCpuInterruptFlag : 0;
    simulation->notebook.interruptsEnabled = false;
    return saved;
}

void RestoreFlags(CpuFlags saved)
{
    Simulation* simulation = Current();
    if (simulation != NULL)
        simulation->notebook.interruptsEnabled = (saved & kCpuInterruptFlag) != 0;
}

// Physical memory is the simulated notebook's, and the firmware entry its service: a
// mapping is a pointer into that memory, and a call at such a pointer reaches the
// service at the physical address it stands for.
void* MapPhysicalMemory(uint64_t physical, uint32_t length)
{
    Simulation* simulation = Current();
    if (simulation == NULL || length == 0)
        return NULL;
    return simulation->notebook.firmware().memory().Map(physical, length);
}

void UnmapPhysicalMemory(void* mapped, uint32_t length)
{
    (void)mapped;
    (void)length;
}

bool CallFirmwareEntry(void* entry, FirmwareRegisters* registers)
{
    Simulation* simulation = Current();
    if (simulation == NULL)
        return true;
    hw::Firmware& firmware = simulation->notebook.firmware();
    uint64_t entryAddress = ~uint64_t(0);  // outside the memory: reaches no service
    if (!firmware.memory().AddressOf(entry, &entryAddress))
        entryAddress = ~uint64_t(0);
    hw::BiosRegisters call = {registers->eax, registers->ebx, registers->ecx, registers->edx,
                              registers->esi, registers->edi, registers->ebp, false};
    firmware.Call(entryAddress, call);
    registers->eax = call.eax;
    registers->ebx = call.ebx;
    registers->ecx = call.ecx;
    registers->edx = call.edx;
    registers->esi = call.esi;
    registers->edi = call.edi;
    return call.carry;
}
