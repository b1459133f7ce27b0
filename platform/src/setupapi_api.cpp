// Device installer services (SetupAPI) of the stand-in layer, over the simulated
// machine's device tree (sim/devices.h).
//
// A set holds the devices that matched when it was built; an element names its member
// through Reserved, as the real element points at the set's private record. The class
// installer's property change writes what Windows writes (CSConfigFlags in a hardware
// profile, ConfigFlags for a global change) through the registry functions, so the
// trace shows it as any registry write, and then starts or stops the device.
#include <setupapi.h>

#include <cstdio>
#include <cstring>

#include "api_common.h"

using namespace sim;

namespace {

const DWORD kConfigFlagDisabled = 0x00000001;  // CSCONFIGFLAG_DISABLED, CONFIGFLAG_DISABLED
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum";
const char kProfileEnumFormat[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\%s\\System\\CurrentControlSet\\Enum";

uintptr_t g_nextSet = 0x5E70000;

DeviceInfoSet* SetOf(HDEVINFO set)
{
    auto& sets = M().devices.sets;
    auto it = sets.find(reinterpret_cast<uintptr_t>(set));
    return it == sets.end() ? nullptr : it->second.get();
}

// The member an element names, or null with the last error set.
PnpDevice* MemberOf(DeviceInfoSet& set, const SP_DEVINFO_DATA* data, size_t* position)
{
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail<PnpDevice*>(ERROR_INVALID_USER_BUFFER, nullptr);
    size_t at = data->Reserved - 1;
    if (data->Reserved == 0 || at >= set.members.size() ||
        set.members[at] >= M().devices.list.size())
        return Fail<PnpDevice*>(ERROR_INVALID_PARAMETER, nullptr);
    *position = at;
    return &M().devices.list[set.members[at]];
}

std::vector<uint8_t> MultiText(const std::vector<std::string>& texts)
{
    std::vector<uint8_t> bytes;
    for (const auto& text : texts) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    return bytes;
}

// Writes one REG_DWORD below HKLM, creating the key as the system does.
void WriteMachineDword(const std::string& subkey, const char* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

DWORD ReadMachineDword(const std::string& subkey, const char* name)
{
    auto value = M().registry.GetValue("HKLM\\" + subkey, name);
    DWORD result = 0;
    if (value && value->data.size() == sizeof result)
        std::memcpy(&result, value->data.data(), sizeof result);
    return result;
}

std::string ProfileEnumKey(DWORD profile)
{
    char name[16] = "Current";
    if (profile != 0)
        std::snprintf(name, sizeof name, "%04u", profile);
    char key[160];
    std::snprintf(key, sizeof key, kProfileEnumFormat, name);
    return key;
}

const char* ChangeName(DWORD stateChange)
{
    switch (stateChange) {
    case DICS_ENABLE: return "enable";
    case DICS_DISABLE: return "disable";
    case DICS_PROPCHANGE: return "restart";
    case DICS_START: return "start";
    case DICS_STOP: return "stop";
    default: return nullptr;
    }
}

// Records an enable or disable where its scope keeps it; false when the running system
// is not affected (another hardware profile).
bool RecordState(const PnpDevice& device, const SP_PROPCHANGE_PARAMS& change)
{
    const bool disable = change.StateChange == DICS_DISABLE;
    if (change.Scope == DICS_FLAG_GLOBAL) {
        std::string key = std::string(kEnumKey) + "\\" + device.instance;
        DWORD flags = ReadMachineDword(key, "ConfigFlags");
        flags = disable ? (flags | kConfigFlagDisabled) : (flags & ~kConfigFlagDisabled);
        WriteMachineDword(key, "ConfigFlags", flags);
        return true;
    }
    WriteMachineDword(ProfileEnumKey(change.HwProfile) + "\\" + device.instance, "CSConfigFlags",
                      disable ? kConfigFlagDisabled : 0);
    return change.HwProfile == 0;
}

BOOL PropertyChange(PnpDevice& device, const std::vector<uint8_t>& params)
{
    SP_PROPCHANGE_PARAMS change;
    if (params.size() != sizeof change)
        return Fail<BOOL>(ERROR_NO_CLASSINSTALL_PARAMS, FALSE);
    std::memcpy(&change, params.data(), sizeof change);
    const char* name = ChangeName(change.StateChange);
    bool knownScope = change.Scope == DICS_FLAG_GLOBAL || change.Scope == DICS_FLAG_CONFIGSPECIFIC;
    if (!name || !knownScope)
        return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    bool runningChanges = true;
    if (change.StateChange == DICS_ENABLE || change.StateChange == DICS_DISABLE)
        runningChanges = RecordState(device, change);
    if (runningChanges) {
        if (change.StateChange == DICS_ENABLE || change.StateChange == DICS_START)
            device.enabled = true;
        if (change.StateChange == DICS_DISABLE || change.StateChange == DICS_STOP)
            device.enabled = false;
    }
    M().Emit("pnp", {{"device", device.instance},
                     {"change", name},
                     {"via", "setupapi"},
                     {"profile", change.Scope == DICS_FLAG_GLOBAL ? Json("global")
                                                                  : Json(change.HwProfile)}});
    return TRUE;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR, HWND, DWORD flags)
{
    if (!classGuid && !(flags & DIGCF_ALLCLASSES))
        return Fail<HDEVINFO>(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    PnpDevices& devices = M().devices;
    auto set = std::make_unique<DeviceInfoSet>();
    for (size_t i = 0; i < devices.list.size(); ++i)
        if (devices.list[i].present || !(flags & DIGCF_PRESENT))
            set->members.push_back(i);
    g_nextSet += 0x10;
    devices.sets[g_nextSet] = std::move(set);
    ++devices.setsBuilt;
    return reinterpret_cast<HDEVINFO>(g_nextSet);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA data)
{
    DeviceInfoSet* set = SetOf(handle);
    if (!set)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail<BOOL>(ERROR_INVALID_USER_BUFFER, FALSE);
    if (index >= set->members.size())
        return Fail<BOOL>(ERROR_NO_MORE_ITEMS, FALSE);
    std::memset(&data->ClassGuid, 0, sizeof data->ClassGuid);
    data->DevInst = static_cast<DWORD>(set->members[index] + 1);
    data->Reserved = index + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA data,
                                              DWORD property, PDWORD type, PBYTE buffer,
                                              DWORD size, PDWORD required)
{
    DeviceInfoSet* set = SetOf(handle);
    if (!set)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    size_t position = 0;
    PnpDevice* device = MemberOf(*set, data, &position);
    if (!device)
        return FALSE;
    if (property != SPDRP_HARDWAREID || device->hardwareIds.empty())
        return Fail<BOOL>(ERROR_INVALID_DATA, FALSE);
    std::vector<uint8_t> bytes = MultiText(device->hardwareIds);
    if (type)
        *type = REG_MULTI_SZ;
    if (required)
        *required = static_cast<DWORD>(bytes.size());
    if (!buffer || size < bytes.size())
        return Fail<BOOL>(ERROR_INSUFFICIENT_BUFFER, FALSE);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return TRUE;
}

BOOL WINAPI SetupDiSetClassInstallParamsA(HDEVINFO handle, PSP_DEVINFO_DATA data,
                                          PSP_CLASSINSTALL_HEADER params, DWORD size)
{
    DeviceInfoSet* set = SetOf(handle);
    if (!set)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    size_t position = 0;
    if (!MemberOf(*set, data, &position))
        return FALSE;
    if (!params) {
        set->installParams.erase(position);
        return TRUE;
    }
    if (params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) || size < sizeof(SP_CLASSINSTALL_HEADER))
        return Fail<BOOL>(ERROR_INVALID_USER_BUFFER, FALSE);
    if (params->InstallFunction == DIF_PROPERTYCHANGE && size != sizeof(SP_PROPCHANGE_PARAMS))
        return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(params);
    set->installParams[position].assign(bytes, bytes + size);
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO handle, PSP_DEVINFO_DATA data)
{
    DeviceInfoSet* set = SetOf(handle);
    if (!set)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    size_t position = 0;
    PnpDevice* device = MemberOf(*set, data, &position);
    if (!device)
        return FALSE;
    if (function != DIF_PROPERTYCHANGE)
        return Fail<BOOL>(ERROR_DI_DO_DEFAULT, FALSE);
    auto params = set->installParams.find(position);
    if (params == set->installParams.end())
        return Fail<BOOL>(ERROR_NO_CLASSINSTALL_PARAMS, FALSE);
    SP_CLASSINSTALL_HEADER header;
    std::memcpy(&header, params->second.data(), sizeof header);
    if (header.InstallFunction != function)
        return Fail<BOOL>(ERROR_NO_CLASSINSTALL_PARAMS, FALSE);
    return PropertyChange(*device, params->second);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle)
{
    if (!M().devices.sets.erase(reinterpret_cast<uintptr_t>(handle)))
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

}  // extern "C"
