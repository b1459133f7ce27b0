// The outside library pexa32 as the host build has it: EnableDisableDevice enables or
// disables a Windows 98/ME device named by its key in the Enum tree ("Enum\" followed by
// the devnode's HardWareKey).
//
// It does what the Configuration Manager would: the devnode's live Status in
// HKEY_DYN_DATA gains or loses its problem bit, and the device's flags in the current
// hardware profile ("HKLM\Config\0001\Enum\<key>", CSConfigFlags) record the change, so
// the tray program's profile clean-up has something to remove. The class name is not
// used: the key alone names the device.
#include <strings.h>

#include <cstring>

#include "api_common.h"

using namespace sim;

namespace {

const char kEnumPrefix[] = "Enum\\";
const size_t kEnumPrefixLength = sizeof kEnumPrefix - 1;
const char kCurrentProfile[] = "Config\\0001\\";
const DWORD kConfigFlagDisabled = 1;

void RecordInCurrentProfile(const std::string& hardwareKey, bool enable)
{
    std::string subkey = std::string(kCurrentProfile) + kEnumPrefix + hardwareKey;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD flags = enable ? 0 : kConfigFlagDisabled;
    RegSetValueExA(key, "CSConfigFlags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                   sizeof flags);
    RegCloseKey(key);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI
EnableDisableDevice(int flag, const char* className, const char* keyText, int keyLength)
{
    Machine& m = M();
    // The key as the caller measured it; a length past the text's end stops at its end.
    size_t length = keyText && keyLength > 0 ? strnlen(keyText, static_cast<size_t>(keyLength)) : 0;
    std::string key(keyText ? keyText : "", length);
    std::string hardwareKey;
    if (key.size() > kEnumPrefixLength && strncasecmp(key.c_str(), kEnumPrefix, kEnumPrefixLength) == 0)
        hardwareKey = key.substr(kEnumPrefixLength);
    std::string devnode = hardwareKey.empty() ? "" : PnpDevices::DevnodeOf(m, hardwareKey);
    const bool enable = flag != 0;
    if (!devnode.empty()) {
        PnpDevices::SetDevnodeEnabled(m, devnode, enable);
        RecordInCurrentProfile(hardwareKey, enable);
    }
    m.Emit("pnp", {{"device", key},
                   {"change", enable ? "enable" : "disable"},
                   {"via", "pexa32"},
                   {"class", className ? className : ""},
                   {"length", keyLength},
                   {"ok", !devnode.empty()}});
    return devnode.empty() ? FALSE : TRUE;
}
