// Plug and Play of the simulated machine.
//
// The NT family: a device tree that SetupAPI enumerates. Each device has its hardware
// IDs (the first one first), its instance id, whether it is present, and whether it runs
// in the system now. A configuration-specific disable leaves CSConfigFlags 1 in the
// device's key of the current hardware profile; the stand-in SetupAPI writes it.
//
// Windows 98/ME: the Configuration Manager's devnodes live in HKEY_DYN_DATA under
// "Config Manager\Enum\<devnode number>", each with its "HardWareKey" (the device's key
// in the Enum tree) and its live "Status" (bit 0x400: the devnode has a problem, as a
// disabled one has). Hardware profiles are "HKLM\Config\%04d". The registry is the whole
// state there, so presets and programs see one truth.
//
// A machine with the Super I/O chip starts with the infrared controller installed:
//   NT family:  one present device, first hardware ID "ACPI\SMCF010", instance
//               "ACPI\SMCF010\4&7AF5D03&0", enabled, with its key in the current profile;
//   98/ME:      devnode C29A5E40 with HardWareKey "ACPI\*SMCF010\0", enabled, and
//               hardware profile "Config\0001" holding "Enum\ACPI\*SMCF010".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class Machine;

struct PnpDevice {
    std::vector<std::string> hardwareIds;  // first one first
    std::string instance;                  // "ACPI\SMCF010\4&7AF5D03&0"
    bool present = true;
    bool enabled = true;  // running in the system now
};

// A device information set that SetupDiGetClassDevsA built: the devices it holds, by
// their index in the machine's list, and the class-install parameters set per member.
struct DeviceInfoSet {
    std::vector<size_t> members;
    std::map<size_t, std::vector<uint8_t>> installParams;  // by member position
};

// Where the current hardware profile keeps a device's configuration-specific flags.
extern const char kCurrentProfileEnum[];  // "HKLM\SYSTEM\...\Hardware Profiles\Current\System\CurrentControlSet\Enum"
extern const char kDevnodeRoot[];          // "HKDD\Config Manager\Enum"
extern const char kWin9xProfileRoot[];     // "HKLM\Config"

// Devnode "Status" bits of the Windows 98/ME Configuration Manager.
const uint32_t kDevnodeDriverLoaded = 0x00000002;
const uint32_t kDevnodeStarted = 0x00000008;
const uint32_t kDevnodeHasProblem = 0x00000400;
const uint32_t kDevnodeDisableable = 0x00002000;
const uint32_t kDevnodeRemovable = 0x00004000;
const uint32_t kDevnodeRunning =
    kDevnodeDriverLoaded | kDevnodeStarted | kDevnodeDisableable | kDevnodeRemovable;
const uint32_t kProblemDisabled = 22;  // the devnode's "Problem" when disabled

class PnpDevices {
public:
    std::vector<PnpDevice> list;  // SetupAPI's enumeration order
    std::map<uintptr_t, std::unique_ptr<DeviceInfoSet>> sets;  // open SetupAPI sets
    uint64_t setsBuilt = 0;  // how often SetupDiGetClassDevsA built a set

    // The infrared controller of a machine with the chip (see the file comment).
    void InstallDefaults(Machine& machine);
    // Replaces the default devices with these; each present device gets a devnode on
    // Windows 98/ME (named `devnodes[i]` when given, numbered otherwise), or its key in
    // the current hardware profile on the NT family.
    void Replace(Machine& machine, const std::vector<PnpDevice>& devices,
                 const std::vector<std::string>& devnodes);

    PnpDevice* FindInstance(const std::string& instance);

    // Windows 98/ME: the devnode key ("HKDD\Config Manager\Enum\C29A5E40") whose
    // HardWareKey is `hardwareKey` (compared without case); empty when none.
    static std::string DevnodeOf(Machine& machine, const std::string& hardwareKey);
    // Sets a devnode's Status and Problem as enabling or disabling it does.
    static void SetDevnodeEnabled(Machine& machine, const std::string& devnodeKey, bool enabled);

private:
    void AddDevnode(Machine& machine, const std::string& name, const PnpDevice& device);
    void RemoveDefaults(Machine& machine);
};

}  // namespace sim
