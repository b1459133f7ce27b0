// The persisted remote mode and the hardware-profile clean-up.
#include <stdio.h>

#include "language.h"
#include "tray.h"

namespace {

// The driver's service key keeps the mode the user last switched to.
const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\PEXACTRL";
const char kModeValue[] = "ASK";

// The controller's device instance in the current hardware profile (NT family).
const char kControllerProfileKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\"
    "ACPI\\SMCF010\\4&7AF5D03&0";

// Windows 98/ME hardware profiles and the controller's settings in each.
const char kProfileFormat[] = "Config\\%04d";
const char kProfileAcpiFormat[] = "Config\\%04d\\Enum\\ACPI";
const char kControllerProfileSubkey[] = "*SMCF010";
const int kProfileNameSize = 120;

// Profile key names, formatted into a fixed buffer that always ends in a terminator.
void FormatProfileName(char (&name)[kProfileNameSize], const char* format, int profile)
{
    name[kProfileNameSize - 1] = '\0';
    _snprintf(name, kProfileNameSize - 1, format, profile);
}

// Windows 98/ME: RegDeleteKeyA removes the controller's key with everything below it,
// profile by profile, until a profile number has no key.
void RemoveControllerFromProfiles()
{
    for (int profile = 1;; ++profile) {
        char name[kProfileNameSize];
        FormatProfileName(name, kProfileFormat, profile);
        HKEY key;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, name, &key) != ERROR_SUCCESS)
            return;
        RegCloseKey(key);
        FormatProfileName(name, kProfileAcpiFormat, profile);
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, name, &key) == ERROR_SUCCESS) {
            RegDeleteKeyA(key, kControllerProfileSubkey);
            RegCloseKey(key);
        }
    }
}

// NT family: the controller counts as enabled again in the current profile.
void ResetControllerProfileFlags()
{
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kControllerProfileKey, &key) != ERROR_SUCCESS)
        return;
    DWORD enabled = 0;
    RegSetValueExA(key, "CSConfigFlags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled),
                   sizeof enabled);
    RegCloseKey(key);
}

}  // namespace

bool RemoteModeValue(bool read, bool on)
{
    if (read) {
        DWORD stored = 1;  // no value yet: remote mode
        ReadRegDword(HKEY_LOCAL_MACHINE, kServiceKey, kModeValue, &stored);
        return stored != 0;
    }
    WriteRegDword(HKEY_LOCAL_MACHINE, kServiceKey, kModeValue, on ? 1 : 0);
    return on;
}

bool WriteRegDword(HKEY root, const char* subkey, const char* name, DWORD value)
{
    HKEY key;
    if (RegOpenKeyA(root, subkey, &key) != ERROR_SUCCESS)
        return false;  // never created here
    LONG result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void CleanUpHardwareProfiles()
{
    if (g_osVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        RemoveControllerFromProfiles();
    else
        ResetControllerProfileFlags();
}
