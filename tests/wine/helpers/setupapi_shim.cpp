// Test-only setupapi.dll for the run under Wine. Wine does not carry out the property
// change that the tray program asks for on the Windows 2000 family: its
// SetupDiSetClassInstallParamsA fails and the class installer does nothing. This shim
// implements those two calls the way the Windows 2000 family behaves for a
// configuration-specific change (the device's CSConfigFlags in the current hardware
// profile: 1 disabled, 0 enabled) and logs them; every other export is forwarded to a
// renamed copy of Wine's own setupapi (setupapi_wine.dll, see setupapi_shim.def).
// It is loaded instead of Wine's with WINEDLLOVERRIDES=setupapi=n,b from the program's
// directory.
#include <windows.h>
// This library is setupapi itself: its two own functions are not imports.
#define _SETUPAPI_
#include <setupapi.h>

#include <string.h>

#include "device_log.h"

namespace {

const char kRealSetupApi[] = "setupapi_wine.dll";
const char kProfileEnumKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Enum\\";
const DWORD kConfigFlagDisabled = 1;  // CSCONFIGFLAG_DISABLED
const DWORD kConfigFlagEnabled = 0;

typedef BOOL(WINAPI* InstanceIdFunction)(HDEVINFO, PSP_DEVINFO_DATA, PSTR, DWORD, PDWORD);
typedef BOOL(WINAPI* ClassInstallerFunction)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA);

// The one property change waiting for the class installer.
struct PendingChange {
    bool waiting;
    DWORD devInst;
    SP_PROPCHANGE_PARAMS params;
};
PendingChange g_pending;

template <typename Function>
Function RealFunction(const char* name)
{
    HMODULE real = LoadLibraryA(kRealSetupApi);
    FARPROC address = real != NULL ? GetProcAddress(real, name) : NULL;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

void InstanceId(HDEVINFO set, PSP_DEVINFO_DATA device, char* id, DWORD size)
{
    id[0] = '\0';
    InstanceIdFunction get = RealFunction<InstanceIdFunction>("SetupDiGetDeviceInstanceIdA");
    if (get == NULL || !get(set, device, id, size, NULL))
        strcpy(id, "?");
}

const char* StateName(DWORD state)
{
    switch (state) {
    case DICS_ENABLE: return "enable";
    case DICS_DISABLE: return "disable";
    case DICS_PROPCHANGE: return "propchange";
    case DICS_START: return "start";
    case DICS_STOP: return "stop";
    default: return "?";
    }
}

// The Windows 2000 family keeps a configuration-specific state in the current profile.
// Keys below "Hardware Profiles\Current" must be volatile under Wine.
LONG WriteConfigFlags(const char* instanceId, DWORD flags)
{
    char path[512];
    strcpy(path, kProfileEnumKey);
    strncat(path, instanceId, sizeof(path) - strlen(path) - 1);
    HKEY key = NULL;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_VOLATILE,
                                  KEY_SET_VALUE, NULL, &key, NULL);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExA(key, "CSConfigFlags", 0, REG_DWORD, (const BYTE*)&flags, sizeof(flags));
    RegCloseKey(key);
    return result;
}

}  // namespace

extern "C" BOOL WINAPI SetupDiSetClassInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                     PSP_CLASSINSTALL_HEADER header, DWORD size)
{
    char id[256];
    InstanceId(set, device, id, sizeof(id));
    if (header == NULL) {
        g_pending.waiting = false;
        LogDeviceCall("SetupDiSetClassInstallParamsA device=%s cleared", id);
        return TRUE;
    }
    if (header->InstallFunction != DIF_PROPERTYCHANGE || size != sizeof(SP_PROPCHANGE_PARAMS) ||
        header->cbSize != sizeof(SP_CLASSINSTALL_HEADER)) {
        LogDeviceCall("SetupDiSetClassInstallParamsA device=%s function=0x%lX size=%lu header=%lu "
                      "refused",
                      id, (unsigned long)header->InstallFunction, (unsigned long)size,
                      (unsigned long)header->cbSize);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const SP_PROPCHANGE_PARAMS* change = (const SP_PROPCHANGE_PARAMS*)header;
    g_pending.waiting = true;
    g_pending.devInst = device != NULL ? device->DevInst : 0;
    g_pending.params = *change;
    LogDeviceCall("SetupDiSetClassInstallParamsA device=%s DIF_PROPERTYCHANGE state=%s scope=%lu "
                  "profile=%lu size=%lu",
                  id, StateName(change->StateChange), (unsigned long)change->Scope,
                  (unsigned long)change->HwProfile, (unsigned long)size);
    return TRUE;
}

extern "C" BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set,
                                                 PSP_DEVINFO_DATA device)
{
    char id[256];
    InstanceId(set, device, id, sizeof(id));
    bool ours = function == DIF_PROPERTYCHANGE && g_pending.waiting && device != NULL &&
                device->DevInst == g_pending.devInst;
    if (!ours) {
        LogDeviceCall("SetupDiCallClassInstaller device=%s function=0x%lX passed on", id,
                      (unsigned long)function);
        ClassInstallerFunction real =
            RealFunction<ClassInstallerFunction>("SetupDiCallClassInstaller");
        return real != NULL ? real(function, set, device) : FALSE;
    }
    g_pending.waiting = false;
    const SP_PROPCHANGE_PARAMS& change = g_pending.params;
    bool configSpecific = change.Scope == DICS_FLAG_CONFIGSPECIFIC;
    bool known = change.StateChange == DICS_ENABLE || change.StateChange == DICS_DISABLE;
    LONG result = ERROR_SUCCESS;
    if (configSpecific && known)
        result = WriteConfigFlags(id, change.StateChange == DICS_DISABLE ? kConfigFlagDisabled
                                                                        : kConfigFlagEnabled);
    LogDeviceCall("SetupDiCallClassInstaller device=%s DIF_PROPERTYCHANGE %s: %s (%ld)", id,
                  StateName(change.StateChange),
                  configSpecific && known ? "CSConfigFlags written" : "nothing to do", result);
    return result == ERROR_SUCCESS;
}
