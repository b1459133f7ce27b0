// The objects of the simulated I/O manager, shared by the manager (sim/iomanager.cpp)
// and the stand-in kernel functions that drivers call (platform/src/kernel_*.cpp).
#pragma once

#include <ntddk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/iomanager.h"
#include "sim/module.h"
#include "sim/registry.h"  // NoCaseLess

namespace sim {

struct DeviceRecord;

// A loaded driver: its module, its driver object and the text its names point into.
struct DriverRecord {
    std::string name;
    std::unique_ptr<LoadedModule> module;
    DRIVER_OBJECT object{};
    std::u16string driverName;    // \Driver\NAME
    std::u16string registryPath;  // \Registry\Machine\System\CurrentControlSet\Services\NAME
    bool unloadPending = false;   // asked to unload while files were open on its devices
};

struct DeviceRecord {
    DEVICE_OBJECT object{};
    std::string name;  // "\Device\NAME"; empty once deleted, or for an unnamed device
    DriverRecord* driver = nullptr;
    std::vector<uint8_t> extension;
    bool deletePending = false;  // deleted while files were still open on it
};

struct FileRecord {
    FILE_OBJECT object{};
    std::u16string fileName;
    DeviceRecord* device = nullptr;
};

// One request in progress, with its single stack location and its system buffer.
struct IrpRecord {
    IRP irp{};
    IO_STACK_LOCATION stack{};
    std::unique_ptr<uint8_t[]> systemBuffer;
    int completions = 0;
};

// One MmMapIoSpace call of a driver: what it asked for and what it got.
struct PhysicalMapping {
    uint64_t physical = 0;
    size_t length = 0;
    int cacheType = 0;
    void* address = nullptr;  // null: the mapping failed
    bool live = false;        // mapped and not yet unmapped
};

struct IoManager::Impl {
    explicit Impl(Machine& m) : machine(m) {}

    Machine& machine;
    std::map<std::string, std::unique_ptr<DriverRecord>, NoCaseLess> drivers;
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    std::map<std::string, std::string, NoCaseLess> links;  // "\??\NAME" -> "\Device\NAME"
    std::map<void*, std::unique_ptr<FileRecord>> files;
    std::vector<IrpRecord*> activeIrps;
    uint64_t timeQueries = 0;
    int64_t systemTimeShift = 0;  // 100 ns units added to the system time
    std::vector<PhysicalMapping> mappings;  // every mapping asked for, in order

    // --- the kernel side ---
    DriverRecord& DriverOf(PDRIVER_OBJECT driverObject);
    DeviceRecord* DeviceNamed(const std::string& name);
    DeviceRecord& RecordOf(PDEVICE_OBJECT deviceObject);
    NTSTATUS CreateDevice(PDRIVER_OBJECT driverObject, ULONG extensionSize, const std::string& name,
                          DEVICE_TYPE type, ULONG characteristics, BOOLEAN exclusive,
                          PDEVICE_OBJECT* deviceObject);
    void DeleteDevice(PDEVICE_OBJECT deviceObject);
    NTSTATUS CreateLink(const std::string& link, const std::string& target);
    NTSTATUS DeleteLink(const std::string& link);
    void Complete(PIRP irp);

    // --- the manager's side ---
    // Sends one request to the device's driver and checks that it was completed exactly
    // once; returns the request's final status.
    NTSTATUS Send(DeviceRecord& device, IrpRecord& request);
    void ReleaseFile(FileRecord& file);
    void FreeDeviceIfUnused(DeviceRecord& device);
    bool DriverBusy(const DriverRecord& driver) const;
    void FinishUnload(DriverRecord& driver);
    void FreeDevice(DeviceRecord& device);
};

// Object names: "\DosDevices\X" and "\??\X" are one name.
std::string CanonicalObjectName(const std::string& name);
// The 8-bit form of a kernel counted string (object names are ASCII).
std::string NarrowName(PCUNICODE_STRING name);

}  // namespace sim
