// Test-only stand-in for the outside library pexa32 that the Windows 98/ME tray program
// binds. It logs each EnableDisableDevice call and gives it its effect on the simulated
// Windows 98 registry: the devnode under HKEY_DYN_DATA "Config Manager\Enum" whose
// HardWareKey is the key text without its "Enum\" prefix gets bit 0x400 (the
// Configuration Manager's problem flag, as on a disabled devnode) of its Status set for
// a disable and cleared for an enable.
#include <windows.h>

#include <string.h>

#include "device_log.h"

namespace {

const char kEnumRoot[] = "Config Manager\\Enum";
const char kEnumPrefix[] = "Enum\\";
const DWORD kProblemFlag = 0x400;

// Finds the devnode key whose HardWareKey equals `hardwareKey`; false when none does.
bool FindDevnode(const char* hardwareKey, char* name, DWORD size)
{
    HKEY root = NULL;
    if (RegOpenKeyExA(HKEY_DYN_DATA, kEnumRoot, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD index = 0; !found; ++index) {
        DWORD length = size;
        if (RegEnumKeyExA(root, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        char value[260] = "";
        DWORD valueSize = sizeof(value) - 1;
        found = RegGetValueA(root, name, "HardWareKey", RRF_RT_REG_SZ, NULL, value, &valueSize) ==
                    ERROR_SUCCESS &&
                strcmp(value, hardwareKey) == 0;
    }
    RegCloseKey(root);
    return found;
}

LONG SetProblemFlag(const char* devnode, bool problem)
{
    char path[300];
    strcpy(path, kEnumRoot);
    strcat(path, "\\");
    strncat(path, devnode, sizeof(path) - strlen(path) - 1);
    HKEY key = NULL;
    LONG result = RegOpenKeyExA(HKEY_DYN_DATA, path, 0, KEY_READ | KEY_SET_VALUE, &key);
    if (result != ERROR_SUCCESS)
        return result;
    DWORD status = 0;
    DWORD size = sizeof(status);
    RegQueryValueExA(key, "Status", NULL, NULL, (BYTE*)&status, &size);
    status = problem ? (status | kProblemFlag) : (status & ~kProblemFlag);
    result = RegSetValueExA(key, "Status", 0, REG_BINARY, (const BYTE*)&status, sizeof(status));
    RegCloseKey(key);
    return result;
}

}  // namespace

extern "C" __declspec(dllexport) int WINAPI EnableDisableDevice(int flag, const char* className,
                                                                const char* keyText, int keyLength)
{
    LogDeviceCall("EnableDisableDevice flag=%d class=%s key=%s length=%d", flag,
                  className ? className : "(null)", keyText ? keyText : "(null)", keyLength);
    size_t prefixLength = strlen(kEnumPrefix);
    if (keyText == NULL || strncmp(keyText, kEnumPrefix, prefixLength) != 0)
        return 0;
    char devnode[64];
    if (!FindDevnode(keyText + prefixLength, devnode, sizeof(devnode))) {
        LogDeviceCall("EnableDisableDevice: no devnode with HardWareKey %s", keyText + prefixLength);
        return 0;
    }
    LONG result = SetProblemFlag(devnode, flag == 0);
    LogDeviceCall("EnableDisableDevice: devnode %s %s (%ld)", devnode,
                  flag == 0 ? "disabled" : "enabled", result);
    return result == ERROR_SUCCESS;
}
