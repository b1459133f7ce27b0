#include "sim/devices.h"

#include <cstdio>
#include <strings.h>

#include "sim/machine.h"

namespace sim {

const char kCurrentProfileEnum[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum";
const char kDevnodeRoot[] = "HKDD\\Config Manager\\Enum";
const char kWin9xProfileRoot[] = "HKLM\\Config";

namespace {

const char kControllerId[] = "ACPI\\SMCF010";
const char kControllerCompatibleId[] = "*SMCF010";
const char kControllerInstance[] = "ACPI\\SMCF010\\4&7AF5D03&0";
const char kControllerHardwareKey[] = "ACPI\\*SMCF010\\0";
const char kControllerDevnode[] = "C29A5E40";
const char kFirstProfile[] = "0001";
const char kControllerProfileSubkey[] = "Enum\\ACPI\\*SMCF010";
// Devnode numbers handed out to a scenario's devices: kernel addresses, as Windows 98/ME
// uses, one devnode record apart.
const uint32_t kFirstDevnodeNumber = 0xC29A5000;
const uint32_t kDevnodeSpacing = 0x40;

std::vector<uint8_t> Dword(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

std::vector<uint8_t> Text(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

const uint32_t kRegSz = 1;
const uint32_t kRegBinary = 3;

}  // namespace

void PnpDevices::InstallDefaults(Machine& m)
{
    if (!m.notebook->HasChip())
        return;
    PnpDevice controller;
    controller.hardwareIds = {kControllerId, kControllerCompatibleId};
    controller.instance = kControllerInstance;
    if (m.IsWin9x()) {
        controller.instance = kControllerHardwareKey;
        AddDevnode(m, kControllerDevnode, controller);
        m.registry.Create(std::string(kWin9xProfileRoot) + "\\" + kFirstProfile + "\\" +
                          kControllerProfileSubkey);
        return;
    }
    list.push_back(controller);
    m.registry.Create(std::string(kCurrentProfileEnum) + "\\" + controller.instance);
}

void PnpDevices::RemoveDefaults(Machine& m)
{
    if (m.IsWin9x()) {
        m.registry.DeleteBelow(m.registry.Find(kDevnodeRoot), kControllerDevnode, true);
        return;
    }
    for (const auto& device : list)
        m.registry.DeleteBelow(m.registry.Find(kCurrentProfileEnum), device.instance, true);
    list.clear();
}

void PnpDevices::Replace(Machine& m, const std::vector<PnpDevice>& devices,
                         const std::vector<std::string>& devnodes)
{
    RemoveDefaults(m);
    for (size_t i = 0; i < devices.size(); ++i) {
        const PnpDevice& device = devices[i];
        if (m.IsWin9x()) {
            if (!device.present)
                continue;  // the Configuration Manager holds devnodes of present devices only
            std::string name = i < devnodes.size() ? devnodes[i] : "";
            if (name.empty()) {
                char number[16];
                std::snprintf(number, sizeof number, "%08X",
                              kFirstDevnodeNumber + kDevnodeSpacing * static_cast<uint32_t>(i));
                name = number;
            }
            AddDevnode(m, name, device);
            continue;
        }
        list.push_back(device);
        if (device.present && !device.instance.empty())
            m.registry.Create(std::string(kCurrentProfileEnum) + "\\" + device.instance);
    }
}

void PnpDevices::AddDevnode(Machine& m, const std::string& name, const PnpDevice& device)
{
    const std::string key = std::string(kDevnodeRoot) + "\\" + name;
    m.registry.SetValue(key, "HardWareKey", kRegSz, Text(device.instance));
    SetDevnodeEnabled(m, key, device.enabled);
}

PnpDevice* PnpDevices::FindInstance(const std::string& instance)
{
    for (auto& device : list)
        if (strcasecmp(device.instance.c_str(), instance.c_str()) == 0)
            return &device;
    return nullptr;
}

std::string PnpDevices::DevnodeOf(Machine& m, const std::string& hardwareKey)
{
    RegKey* root = m.registry.Find(kDevnodeRoot);
    if (!root)
        return "";
    for (const auto& name : root->order) {
        auto value = m.registry.GetValue(std::string(kDevnodeRoot) + "\\" + name, "HardWareKey");
        if (!value || value->data.empty())
            continue;
        std::string text(value->data.begin(), value->data.end());
        text = text.c_str();  // up to the terminator
        if (strcasecmp(text.c_str(), hardwareKey.c_str()) == 0)
            return std::string(kDevnodeRoot) + "\\" + name;
    }
    return "";
}

void PnpDevices::SetDevnodeEnabled(Machine& m, const std::string& devnodeKey, bool enabled)
{
    uint32_t status = kDevnodeRunning;
    auto old = m.registry.GetValue(devnodeKey, "Status");
    if (old && old->data.size() == 4)
        status = uint32_t(old->data[0]) | uint32_t(old->data[1]) << 8 |
                 uint32_t(old->data[2]) << 16 | uint32_t(old->data[3]) << 24;
    if (enabled)
        status = (status & ~kDevnodeHasProblem) | kDevnodeStarted;
    else
        status = (status & ~kDevnodeStarted) | kDevnodeHasProblem;
    m.registry.SetValue(devnodeKey, "Status", kRegBinary, Dword(status));
    m.registry.SetValue(devnodeKey, "Problem", kRegBinary, Dword(enabled ? 0 : kProblemDisabled));
}

}  // namespace sim
