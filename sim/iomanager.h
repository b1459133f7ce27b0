// The NT I/O manager of the simulated machine.
//
// Loads and unloads the driver (a fresh copy of its module per load, so a new load
// starts with fresh globals), keeps the object namespace (\Device\..., \DosDevices\...),
// and turns the user programs' CreateFileA / DeviceIoControl / CloseHandle on "\\.\NAME"
// into create, device-control and close requests (IRPs) for the driver, with
// METHOD_BUFFERED semantics: one system buffer of max(in, out) bytes, allocated exactly,
// input copied in, Information bytes (at most the output length) copied back.
// Every request must be completed exactly once; a request completed twice or not at
// all is reported at once as a fault of the driver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sim {

class Machine;

class IoManager {
public:
    explicit IoManager(Machine& machine);
    ~IoManager();

    // Loads the driver module `name` (host: BinDirectory()/<name>.so) as the service of
    // that name and calls its DriverEntry with the registry path
    // \Registry\Machine\System\CurrentControlSet\Services\<name>. Returns the NTSTATUS.
    int32_t LoadDriver(const std::string& name);
    // Calls DriverUnload and unloads the module; with files still open on the driver's
    // devices, new opens fail at once and the unload happens when the last one closes.
    // False when it was not loaded, is already unloading, or has no unload routine.
    bool UnloadDriver(const std::string& name);
    bool IsDriverLoaded(const std::string& name) const;

    // User side. `path` is the Win32 name, e.g. "\\.\PEXACTRL". Returns an opaque file
    // object, or null with a Win32 error code (ERROR_FILE_NOT_FOUND when no such link).
    void* Open(const std::string& path, uint32_t& win32Error);
    // Sends one device-control request. Returns false with a Win32 error when the
    // request's status is not a success; `returned` receives the byte count reported
    // (Information; for METHOD_BUFFERED the bytes copied back, at most outLength).
    bool DeviceControl(void* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t& returned, uint32_t& win32Error);
    void Close(void* file);
    bool IsFile(void* handle) const;

    // The Win32 error DeviceIoControl reports for an NTSTATUS.
    static uint32_t Win32ErrorFromStatus(int32_t status);

    // How often drivers asked the kernel for the time, any of its clocks.
    uint64_t TimeQueries() const;
    // Sets the system time forward or back, as a user or a time service may at any
    // moment; the monotonic clocks (interrupt time, performance counter) do not move.
    void ShiftSystemTime(int64_t by100ns);

    // The objects behind the stand-in kernel functions (sim/io_objects.h).
    struct Impl;
    Impl& Kernel();

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
