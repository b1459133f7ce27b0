// Stand-in NT kernel: the I/O manager services that drivers call.
#include <ntddk.h>

#include "sim/io_objects.h"
#include "sim/machine.h"

namespace {

sim::IoManager::Impl& Io()
{
    return sim::CurrentMachine().io.Kernel();
}

}  // namespace

extern "C" {

NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT driverObject, ULONG deviceExtensionSize,
                              PUNICODE_STRING deviceName, DEVICE_TYPE deviceType,
                              ULONG deviceCharacteristics, BOOLEAN exclusive,
                              PDEVICE_OBJECT* deviceObject)
{
    const std::string name = deviceName ? sim::NarrowName(deviceName) : std::string();
    return Io().CreateDevice(driverObject, deviceExtensionSize, name, deviceType,
                             deviceCharacteristics, exclusive, deviceObject);
}

void NTAPI IoDeleteDevice(PDEVICE_OBJECT deviceObject)
{
    Io().DeleteDevice(deviceObject);
}

NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING symbolicLinkName, PUNICODE_STRING deviceName)
{
    return Io().CreateLink(sim::NarrowName(symbolicLinkName), sim::NarrowName(deviceName));
}

NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING symbolicLinkName)
{
    return Io().DeleteLink(sim::NarrowName(symbolicLinkName));
}

void NTAPI IofCompleteRequest(PIRP irp, CCHAR priorityBoost)
{
    (void)priorityBoost;  // one simulated processor, nothing to boost
    Io().Complete(irp);
}

}  // extern "C"
