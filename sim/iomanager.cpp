#include "sim/iomanager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sim/io_objects.h"
#include "sim/machine.h"

namespace sim {

namespace {

const char kRegistryServices[] = "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\";
const char kDriverDirectory[] = "\\Driver\\";
const char kUserDevicePrefix[] = "\\\\.\\";
const char kDosDevicesPrefix[] = "\\??\\";
const char kDriverEntryName[] = "DriverEntry";

// Pool memory is not cleared: the part of a system buffer past the input holds whatever
// was there before. A fixed pattern keeps runs repeatable and makes a leak of it visible.
const uint8_t kStalePoolByte = 0xCD;

const NTSTATUS kStatusInvalidImageFormat = static_cast<NTSTATUS>(0xC000007B);
const uint32_t kErrorNoAccess = 998;
const uint32_t kErrorMrMidNotFound = 317;  // Windows' answer for a status it cannot map
const uint32_t kFacilityWin32 = 7;

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    return !NoCaseLess()(text.substr(0, prefix.size()), prefix) &&
           !NoCaseLess()(prefix, text.substr(0, prefix.size()));
}

std::string Hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Every major function a driver does not handle ends here, as in the real I/O manager.
NTSTATUS NTAPI InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp)
{
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

void SetUnicode(UNICODE_STRING& target, std::u16string& text)
{
    target.Buffer = text.empty() ? nullptr : reinterpret_cast<PWSTR>(&text[0]);
    target.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    target.MaximumLength = target.Length;
}

struct StatusMapping {
    uint32_t status;
    uint32_t error;
};

// What DeviceIoControl and CreateFile report for the statuses a driver or the I/O
// manager can end a request with.
const StatusMapping kStatusToWin32[] = {
    {0x80000005, 234},   // STATUS_BUFFER_OVERFLOW: ERROR_MORE_DATA
    {0xC0000001, 31},    // STATUS_UNSUCCESSFUL: ERROR_GEN_FAILURE
    {0xC0000002, 1},     // STATUS_NOT_IMPLEMENTED: ERROR_INVALID_FUNCTION
    {0xC0000005, 998},   // STATUS_ACCESS_VIOLATION: ERROR_NOACCESS
    {0xC0000008, 6},     // STATUS_INVALID_HANDLE: ERROR_INVALID_HANDLE
    {0xC000000D, 87},    // STATUS_INVALID_PARAMETER: ERROR_INVALID_PARAMETER
    {0xC000000E, 2},     // STATUS_NO_SUCH_DEVICE: ERROR_FILE_NOT_FOUND
    {0xC000000F, 2},     // STATUS_NO_SUCH_FILE: ERROR_FILE_NOT_FOUND
    {0xC0000010, 1},     // STATUS_INVALID_DEVICE_REQUEST: ERROR_INVALID_FUNCTION
    {0xC0000022, 5},     // STATUS_ACCESS_DENIED: ERROR_ACCESS_DENIED
    {0xC0000023, 122},   // STATUS_BUFFER_TOO_SMALL: ERROR_INSUFFICIENT_BUFFER
    {0xC0000033, 123},   // STATUS_OBJECT_NAME_INVALID: ERROR_INVALID_NAME
    {0xC0000034, 2},     // STATUS_OBJECT_NAME_NOT_FOUND: ERROR_FILE_NOT_FOUND
    {0xC0000035, 183},   // STATUS_OBJECT_NAME_COLLISION: ERROR_ALREADY_EXISTS
    {0xC000003A, 3},     // STATUS_OBJECT_PATH_NOT_FOUND: ERROR_PATH_NOT_FOUND
    {0xC0000043, 32},    // STATUS_SHARING_VIOLATION: ERROR_SHARING_VIOLATION
    {0xC0000056, 5},     // STATUS_DELETE_PENDING: ERROR_ACCESS_DENIED
    {0xC000007B, 193},   // STATUS_INVALID_IMAGE_FORMAT: ERROR_BAD_EXE_FORMAT
    {0xC000009A, 1450},  // STATUS_INSUFFICIENT_RESOURCES: ERROR_NO_SYSTEM_RESOURCES
    {0xC000009C, 23},    // STATUS_DEVICE_DATA_ERROR: ERROR_CRC
    {0xC00000A3, 21},    // STATUS_DEVICE_NOT_READY: ERROR_NOT_READY
    {0xC00000BB, 50},    // STATUS_NOT_SUPPORTED: ERROR_NOT_SUPPORTED
    {0xC000010E, 1056},  // STATUS_IMAGE_ALREADY_LOADED: ERROR_SERVICE_ALREADY_RUNNING
    {0xC0000185, 1117},  // STATUS_IO_DEVICE_ERROR: ERROR_IO_DEVICE
};

}  // namespace

// ---- names -----------------------------------------------------------------------

std::string CanonicalObjectName(const std::string& name)
{
    static const std::string dosDevices = "\\DosDevices\\";
    if (StartsWithNoCase(name, dosDevices))
        return kDosDevicesPrefix + name.substr(dosDevices.size());
    return name;
}

std::string NarrowName(PCUNICODE_STRING name)
{
    if (!name)
        throw std::logic_error("kernel: a name argument is null");
    if (name->Length % sizeof(WCHAR) != 0 || (name->Length && !name->Buffer))
        throw std::logic_error("kernel: a UNICODE_STRING is malformed");
    std::string text;
    for (USHORT i = 0; i < name->Length / sizeof(WCHAR); ++i) {
        char16_t c = name->Buffer[i];
        text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
}

// ---- the kernel side ---------------------------------------------------------------

DriverRecord& IoManager::Impl::DriverOf(PDRIVER_OBJECT driverObject)
{
    for (auto& entry : drivers)
        if (&entry.second->object == driverObject)
            return *entry.second;
    throw std::logic_error("kernel: a driver passed a driver object the I/O manager does not know");
}

DeviceRecord* IoManager::Impl::DeviceNamed(const std::string& name)
{
    for (auto& device : devices)
        if (!device->name.empty() && !NoCaseLess()(device->name, name) &&
            !NoCaseLess()(name, device->name))
            return device.get();
    return nullptr;
}

DeviceRecord& IoManager::Impl::RecordOf(PDEVICE_OBJECT deviceObject)
{
    for (auto& device : devices)
        if (&device->object == deviceObject)
            return *device;
    throw std::logic_error("kernel: a device object the I/O manager does not know (deleted twice?)");
}

NTSTATUS IoManager::Impl::CreateDevice(PDRIVER_OBJECT driverObject, ULONG extensionSize,
                                       const std::string& name, DEVICE_TYPE type,
                                       ULONG characteristics, BOOLEAN exclusive,
                                       PDEVICE_OBJECT* deviceObject)
{
    DriverRecord& driver = DriverOf(driverObject);
    if (!name.empty() && (DeviceNamed(name) || links.count(CanonicalObjectName(name))))
        return STATUS_OBJECT_NAME_COLLISION;
    auto device = std::make_unique<DeviceRecord>();
    device->name = name;
    device->driver = &driver;
    device->extension.assign(extensionSize, 0);
    DEVICE_OBJECT& object = device->object;
    object.Size = sizeof(DEVICE_OBJECT);
    object.DriverObject = driverObject;
    object.DeviceType = type;
    object.Characteristics = characteristics;
    object.DeviceExtension = extensionSize ? device->extension.data() : nullptr;
    object.Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
    object.StackSize = 1;
    object.NextDevice = driverObject->DeviceObject;
    driverObject->DeviceObject = &object;
    *deviceObject = &object;
    devices.push_back(std::move(device));
    return STATUS_SUCCESS;
}

void IoManager::Impl::DeleteDevice(PDEVICE_OBJECT deviceObject)
{
    DeviceRecord& device = RecordOf(deviceObject);
    if (device.deletePending)
        throw std::logic_error("kernel: IoDeleteDevice called twice for " + device.name);
    PDRIVER_OBJECT driverObject = deviceObject->DriverObject;
    for (PDEVICE_OBJECT* link = &driverObject->DeviceObject; *link; link = &(*link)->NextDevice) {
        if (*link == deviceObject) {
            *link = deviceObject->NextDevice;
            break;
        }
    }
    // The name goes at once; the object stays while files are open on it.
    device.name.clear();
    device.deletePending = true;
    FreeDeviceIfUnused(device);
}

NTSTATUS IoManager::Impl::CreateLink(const std::string& link, const std::string& target)
{
    const std::string name = CanonicalObjectName(link);
    if (links.count(name) || DeviceNamed(link))
        return STATUS_OBJECT_NAME_COLLISION;
    links[name] = target;
    return STATUS_SUCCESS;
}

NTSTATUS IoManager::Impl::DeleteLink(const std::string& link)
{
    return links.erase(CanonicalObjectName(link)) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}

void IoManager::Impl::Complete(PIRP irp)
{
    auto active = std::find_if(activeIrps.begin(), activeIrps.end(),
                               [irp](IrpRecord* r) { return &r->irp == irp; });
    if (active == activeIrps.end())
        throw std::logic_error("kernel: IofCompleteRequest on a request that is not in progress");
    IrpRecord& request = **active;
    if (request.completions > 0)
        throw std::logic_error("kernel: request " + Hex32(request.stack.MajorFunction) +
                               " completed twice (MULTIPLE_IRP_COMPLETE_REQUESTS)");
    if (irp->IoStatus.Status == STATUS_PENDING)
        throw std::logic_error("kernel: request completed with STATUS_PENDING");
    ++request.completions;
}

// ---- the manager's side -----------------------------------------------------------

NTSTATUS IoManager::Impl::Send(DeviceRecord& device, IrpRecord& request)
{
    request.irp.Size = sizeof(IRP);
    request.irp.RequestorMode = UserMode;
    request.irp.IoStatus.Status = STATUS_PENDING;
    request.irp.Tail.Overlay.CurrentStackLocation = &request.stack;
    request.stack.DeviceObject = &device.object;
    PDRIVER_DISPATCH routine = device.object.DriverObject->MajorFunction[request.stack.MajorFunction];

    activeIrps.push_back(&request);
    struct Done {
        std::vector<IrpRecord*>& active;
        ~Done() { active.pop_back(); }
    } done{activeIrps};
    const NTSTATUS returned = routine(&device.object, &request.irp);

    const std::string what = "driver " + device.driver->name + ": request " +
                             Hex32(request.stack.MajorFunction);
    if (request.completions == 0)
        throw std::logic_error(what + " returned " + Hex32(static_cast<uint32_t>(returned)) +
                               " without completing the request");
    if (returned != request.irp.IoStatus.Status)
        throw std::logic_error(what + " returned " + Hex32(static_cast<uint32_t>(returned)) +
                               " but completed it with " +
                               Hex32(static_cast<uint32_t>(request.irp.IoStatus.Status)));
    return returned;
}

void IoManager::Impl::FreeDevice(DeviceRecord& device)
{
    devices.erase(std::find_if(devices.begin(), devices.end(),
                               [&device](const auto& d) { return d.get() == &device; }));
}

void IoManager::Impl::FreeDeviceIfUnused(DeviceRecord& device)
{
    if (device.deletePending && device.object.ReferenceCount == 0)
        FreeDevice(device);
}

bool IoManager::Impl::DriverBusy(const DriverRecord& driver) const
{
    for (const auto& device : devices)
        if (device->driver == &driver && device->object.ReferenceCount > 0)
            return true;
    return false;
}

void IoManager::Impl::FinishUnload(DriverRecord& driver)
{
    const std::string name = driver.name;
    driver.object.DriverUnload(&driver.object);
    for (const auto& device : devices)
        if (device->driver == &driver && !device->deletePending)
            throw std::logic_error("driver " + name +
                                   ": DriverUnload left a device object behind");
    drivers.erase(name);
}

void IoManager::Impl::ReleaseFile(FileRecord& file)
{
    DeviceRecord& device = *file.device;
    DriverRecord& driver = *device.driver;
    --device.object.ReferenceCount;
    files.erase(&file);
    FreeDeviceIfUnused(device);
    if (driver.unloadPending && !DriverBusy(driver))
        FinishUnload(driver);
}

// ---- IoManager ---------------------------------------------------------------------

namespace {

void TracePort(void* context, uint16_t port, bool isWrite, uint8_t value)
{
    Machine& machine = *static_cast<Machine*>(context);
    if (machine.trace.portsEnabled)
        machine.Emit("port", Json{{"port", port}, {"op", isWrite ? "out" : "in"}, {"value", value}});
}

}  // namespace

IoManager::IoManager(Machine& machine) : impl_(new Impl(machine))
{
    if (machine.notebook)
        machine.notebook->SetPortObserver(TracePort, &machine);
}

// The machine is switched off, not shut down: no driver is asked to unload.
IoManager::~IoManager() = default;

IoManager::Impl& IoManager::Kernel()
{
    return *impl_;
}

uint64_t IoManager::TimeQueries() const
{
    return impl_->timeQueries;
}

void IoManager::ShiftSystemTime(int64_t by100ns)
{
    impl_->systemTimeShift += by100ns;
}

int32_t IoManager::LoadDriver(const std::string& name)
{
    Impl& io = *impl_;
    if (io.drivers.count(name))
        return STATUS_IMAGE_ALREADY_LOADED;
    auto driver = std::make_unique<DriverRecord>();
    driver->name = name;
    try {
        driver->module = LoadedModule::Load(name);
    } catch (const std::runtime_error&) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(driver->module->Symbol(kDriverEntryName));
    if (!entry)
        return kStatusInvalidImageFormat;

    driver->driverName = Widen(kDriverDirectory + name);
    driver->registryPath = Widen(kRegistryServices + name);
    DRIVER_OBJECT& object = driver->object;
    object.Size = sizeof(DRIVER_OBJECT);
    SetUnicode(object.DriverName, driver->driverName);
    object.DriverInit = entry;
    for (auto& routine : object.MajorFunction)
        routine = InvalidDeviceRequest;
    UNICODE_STRING registryPath;
    SetUnicode(registryPath, driver->registryPath);

    DriverRecord& record = *driver;
    io.drivers[name] = std::move(driver);
    const NTSTATUS status = entry(&record.object, &registryPath);
    if (!NT_SUCCESS(status)) {
        for (const auto& device : io.devices)
            if (device->driver == &record && !device->deletePending)
                throw std::logic_error("driver " + name + ": DriverEntry failed with " +
                                       Hex32(static_cast<uint32_t>(status)) +
                                       " and left a device object behind");
        io.drivers.erase(name);
        return status;
    }
    // Devices made during DriverEntry are ready once it returns.
    for (PDEVICE_OBJECT device = record.object.DeviceObject; device; device = device->NextDevice)
        device->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return status;
}

bool IoManager::UnloadDriver(const std::string& name)
{
    Impl& io = *impl_;
    auto found = io.drivers.find(name);
    if (found == io.drivers.end() || found->second->unloadPending)
        return false;
    DriverRecord& driver = *found->second;
    if (!driver.object.DriverUnload)
        return false;  // a driver without an unload routine stays until the machine stops
    // With files still open the driver goes when the last of them is closed.
    driver.unloadPending = true;
    if (!io.DriverBusy(driver))
        io.FinishUnload(driver);
    return true;
}

bool IoManager::IsDriverLoaded(const std::string& name) const
{
    return impl_->drivers.count(name) != 0;
}

void* IoManager::Open(const std::string& path, uint32_t& win32Error)
{
    Impl& io = *impl_;
    win32Error = Win32ErrorFromStatus(STATUS_OBJECT_NAME_NOT_FOUND);
    if (!StartsWithNoCase(path, kUserDevicePrefix))
        return nullptr;
    const std::string rest = path.substr(std::strlen(kUserDevicePrefix));
    const size_t slash = rest.find('\\');
    const std::string linkName = kDosDevicesPrefix + rest.substr(0, slash);
    const std::string fileName = slash == std::string::npos ? "" : rest.substr(slash);

    auto link = io.links.find(linkName);
    if (link == io.links.end())
        return nullptr;
    DeviceRecord* device = io.DeviceNamed(link->second);
    if (!device)
        return nullptr;
    NTSTATUS refused = STATUS_SUCCESS;
    if (device->driver->unloadPending || (device->object.Flags & DO_DEVICE_INITIALIZING))
        refused = STATUS_NO_SUCH_DEVICE;
    else if ((device->object.Flags & DO_EXCLUSIVE) && device->object.ReferenceCount > 0)
        refused = STATUS_ACCESS_DENIED;
    if (refused != STATUS_SUCCESS) {
        win32Error = Win32ErrorFromStatus(refused);
        return nullptr;
    }

    auto file = std::make_unique<FileRecord>();
    file->device = device;
    file->fileName = Widen(fileName);
    file->object.Size = sizeof(FILE_OBJECT);
    file->object.DeviceObject = &device->object;
    SetUnicode(file->object.FileName, file->fileName);

    IrpRecord request;
    request.stack.MajorFunction = IRP_MJ_CREATE;
    request.stack.FileObject = &file->object;
    const NTSTATUS status = io.Send(*device, request);
    if (!NT_SUCCESS(status)) {
        win32Error = Win32ErrorFromStatus(status);
        return nullptr;
    }
    ++device->object.ReferenceCount;
    void* handle = file.get();
    io.files[handle] = std::move(file);
    win32Error = 0;
    return handle;
}

bool IoManager::DeviceControl(void* handle, uint32_t code, const void* in, uint32_t inLength,
                              void* out, uint32_t outLength, uint32_t& returned,
                              uint32_t& win32Error)
{
    Impl& io = *impl_;
    returned = 0;
    auto found = io.files.find(handle);
    if (found == io.files.end()) {
        win32Error = Win32ErrorFromStatus(STATUS_INVALID_HANDLE);
        return false;
    }
    // The I/O manager probes the caller's buffers before any driver sees the request.
    if ((inLength && !in) || (outLength && !out)) {
        win32Error = kErrorNoAccess;
        return false;
    }
    FileRecord& file = *found->second;

    IrpRecord request;
    request.stack.MajorFunction = IRP_MJ_DEVICE_CONTROL;
    request.stack.FileObject = &file.object;
    request.stack.Parameters.DeviceIoControl.IoControlCode = code;
    request.stack.Parameters.DeviceIoControl.InputBufferLength = inLength;
    request.stack.Parameters.DeviceIoControl.OutputBufferLength = outLength;
    const uint32_t method = METHOD_FROM_CTL_CODE(code);
    if (method == METHOD_NEITHER) {
        request.stack.Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(in);
        request.irp.UserBuffer = out;
    } else {
        // Buffered: one system buffer of exactly max(in, out) bytes, the input copied in.
        // The direct methods share its input half; their output is the caller's buffer.
        const uint32_t size = method == METHOD_BUFFERED ? std::max(inLength, outLength) : inLength;
        if (size) {
            request.systemBuffer.reset(new uint8_t[size]);
            std::memset(request.systemBuffer.get(), kStalePoolByte, size);
            if (inLength)
                std::memcpy(request.systemBuffer.get(), in, inLength);
        }
        request.irp.AssociatedIrp.SystemBuffer = request.systemBuffer.get();
        if (method != METHOD_BUFFERED)
            request.irp.UserBuffer = out;
    }
    const std::string inHex = HexBytes(in, inLength);

    const NTSTATUS status = io.Send(*file.device, request);
    const ULONG_PTR information = request.irp.IoStatus.Information;
    uint32_t copied = 0;
    if (method == METHOD_BUFFERED && !NT_ERROR(status)) {
        copied = static_cast<uint32_t>(std::min<ULONG_PTR>(information, outLength));
        if (copied)
            std::memcpy(out, request.systemBuffer.get(), copied);
    }
    returned = method == METHOD_BUFFERED ? copied : static_cast<uint32_t>(information);
    io.machine.Emit("ioctl", Json{{"code", code},
                                  {"in", inHex},
                                  {"out", outLength},
                                  {"status", static_cast<uint32_t>(status)},
                                  {"info", static_cast<uint64_t>(information)},
                                  {"out_data", HexBytes(out, copied)}});
    if (!NT_SUCCESS(status)) {
        win32Error = Win32ErrorFromStatus(status);
        return false;
    }
    win32Error = 0;
    return true;
}

void IoManager::Close(void* handle)
{
    Impl& io = *impl_;
    auto found = io.files.find(handle);
    if (found == io.files.end())
        return;
    FileRecord& file = *found->second;
    // The last handle of a file object goes: first the clean-up, then the close.
    for (UCHAR major : {static_cast<UCHAR>(IRP_MJ_CLEANUP), static_cast<UCHAR>(IRP_MJ_CLOSE)}) {
        IrpRecord request;
        request.stack.MajorFunction = major;
        request.stack.FileObject = &file.object;
        io.Send(*file.device, request);
    }
    io.ReleaseFile(file);
}

bool IoManager::IsFile(void* handle) const
{
    return impl_->files.count(handle) != 0;
}

uint32_t IoManager::Win32ErrorFromStatus(int32_t status)
{
    const uint32_t code = static_cast<uint32_t>(status);
    if (NT_SUCCESS(status))
        return 0;
    for (const auto& mapping : kStatusToWin32)
        if (mapping.status == code)
            return mapping.error;
    // A Win32 error carried in a status of the Win32 facility.
    if (((code >> 16) & 0x0FFF) == kFacilityWin32)
        return code & 0xFFFF;
    return kErrorMrMidNotFound;
}

}  // namespace sim
