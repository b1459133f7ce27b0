// Whether the operating system has the infrared controller enabled, the controller's
// Windows 98/ME devnode, and the small registry readers.
#include <string.h>

#include "language.h"
#include "tray.h"

namespace {

// Windows 98/ME: the Configuration Manager's devnodes in HKEY_DYN_DATA. Both spellings
// of a devnode's key name the same key; registry key names ignore case.
const char kDevnodeRoot[] = "Config Manager\\Enum";
const char kDevnodeKeyUpper[] = "Config Manager\\Enum\\%08X";
const char kDevnodeKeyLower[] = "Config Manager\\Enum\\%08x";
const char kControllerKeyPrefix[] = "ACPI\\*SMCF010";
const int kControllerKeyPrefixLength = sizeof kControllerKeyPrefix - 1;  // 13
const DWORD kDevnodeHasProblem = 0x400;  // a disabled devnode has a problem
const DWORD kDevnodeNameSize = 9;        // eight hexadecimal digits and the terminator

// NT family: the controller's flags in the current hardware profile.
const char kControllerProfileKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\"
    "ACPI\\SMCF010\\4&7AF5D03&0";
const DWORD kConfigFlagDisabled = 1;

const DWORD kRegStringSize = 260;

// The devnode the last search ended with; 0 when it found none.
DWORD cachedDevnode = 0;

bool IsControllerKey(const SStr& hardwareKey)
{
    return hardwareKey.Length() >= kControllerKeyPrefixLength &&
           strncmp(hardwareKey.Chars(), kControllerKeyPrefix, kControllerKeyPrefixLength) == 0;
}

}  // namespace

bool IsControllerEnabled()
{
    if (g_osVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        DWORD devnode = FindControllerDevnode();
        return devnode != 0 && IsDevnodeEnabled(devnode);
    }
    DWORD flags = 0;
    if (!ReadRegDword(HKEY_LOCAL_MACHINE, kControllerProfileKey, "CSConfigFlags", &flags))
        return true;
    return flags != kConfigFlagDisabled;
}

DWORD FindControllerDevnode()
{
    // While the cached devnode still carries the controller, one read answers.
    if (cachedDevnode != 0 && IsControllerKey(DevnodeHardwareKey(cachedDevnode)))
        return cachedDevnode;
    HKEY enumeration = nullptr;
    LONG index = 0;
    cachedDevnode = NextDevnode(index, &enumeration);
    while (cachedDevnode != 0) {
        if (IsControllerKey(DevnodeHardwareKey(cachedDevnode))) {
            NextDevnode(-1, &enumeration);
            return cachedDevnode;
        }
        ++index;
        cachedDevnode = NextDevnode(index, &enumeration);
    }
    return 0;  // the enumeration has closed itself
}

DWORD NextDevnode(LONG index, HKEY* enumeration)
{
    if (index < 0) {
        RegCloseKey(*enumeration);
        return 0;
    }
    if (index == 0 && RegOpenKeyA(HKEY_DYN_DATA, kDevnodeRoot, enumeration) != ERROR_SUCCESS)
        return 0;
    char name[kDevnodeNameSize];
    if (RegEnumKeyA(*enumeration, static_cast<DWORD>(index), name, kDevnodeNameSize) !=
        ERROR_SUCCESS) {
        RegCloseKey(*enumeration);
        return 0;
    }
    // A name that does not read as a devnode number ends the walk like the last one.
    DWORD devnode = ParseHex(name);
    if (devnode == 0)
        RegCloseKey(*enumeration);
    return devnode;
}

bool IsDevnodeEnabled(DWORD devnode)
{
    SStr key;
    key.Format(kDevnodeKeyLower, static_cast<unsigned>(devnode));
    DWORD status = 0;
    if (!ReadRegBinary(HKEY_DYN_DATA, key.Chars(), "Status", &status, sizeof status))
        return false;
    return (status & kDevnodeHasProblem) == 0;
}

SStr DevnodeHardwareKey(DWORD devnode)
{
    SStr key;
    key.Format(kDevnodeKeyUpper, static_cast<unsigned>(devnode));
    SStr hardwareKey;
    ReadRegString(HKEY_DYN_DATA, key.Chars(), "HardWareKey", hardwareKey);
    return hardwareKey;
}

bool ReadRegString(HKEY root, const char* subkey, const char* name, SStr& output)
{
    HKEY key;
    if (RegOpenKeyA(root, subkey, &key) != ERROR_SUCCESS)
        return false;
    // Zeroed, so that a value stored without its terminator still ends in the buffer;
    // the last byte is never written.
    char buffer[kRegStringSize] = {0};
    DWORD size = kRegStringSize - 1;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                   &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    output.Assign(buffer);
    return true;
}

bool ReadRegBinary(HKEY root, const char* subkey, const char* name, void* data, DWORD size)
{
    HKEY key;
    if (RegOpenKeyA(root, subkey, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_BINARY;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool ReadRegDword(HKEY root, const char* subkey, const char* name, DWORD* output)
{
    HKEY key;
    if (RegOpenKeyA(root, subkey, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_DWORD;
    DWORD size = sizeof *output;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(output),
                                   &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
