// Taking the infrared controller away from the operating system and giving it back.
//
// The NT family changes it through the SetupAPI class installer, in the current hardware
// profile only. The Windows 98/ME build (PEXA_WIN9X_CONTROLLER) asks the outside library
// pexa32 for the devnode's change; the Windows 2000 build leaves Windows 98/ME alone.
#include <string.h>

#include <windows.h>
#include <setupapi.h>  // after windows.h, whose types it uses

#include "language.h"
#include "tray.h"

#ifdef PEXA_WIN9X_CONTROLLER
#include "pexa32.h"
#endif

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA of 32-bit Windows");
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20, "SP_PROPCHANGE_PARAMS of 32-bit Windows");
#endif

namespace {

// The controller's first hardware ID, compared byte for byte with its terminator.
const char kControllerHardwareId[] = "ACPI\\SMCF010";
const DWORD kHardwareIdBufferSize = 128;

bool IsController(HDEVINFO set, SP_DEVINFO_DATA* device)
{
    BYTE ids[kHardwareIdBufferSize] = {0};
    DWORD type = 0;
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, &type, ids, sizeof ids,
                                           &required))
        return false;
    // Only the first ID of the list counts; the buffer is zeroed, so the compare stays
    // inside it whatever the property held.
    return memcmp(ids, kControllerHardwareId, sizeof kControllerHardwareId) == 0;
}

void RequestPropertyChange(HDEVINFO set, SP_DEVINFO_DATA* device, bool enable)
{
    SP_PROPCHANGE_PARAMS change;
    memset(&change, 0, sizeof change);
    change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    change.HwProfile = 0;  // the current hardware profile
    if (SetupDiSetClassInstallParamsA(set, device, &change.ClassInstallHeader, sizeof change))
        SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, device);
}

#ifdef PEXA_WIN9X_CONTROLLER
const char kDeviceClass[] = "Net";
const char kEnumPrefix[] = "Enum\\";

void SetDevnodeEnabled(bool enable)
{
    DWORD devnode = FindControllerDevnode();
    if (devnode == 0 || IsDevnodeEnabled(devnode) == enable)
        return;
    SStr keyText;
    SStr hardwareKey = DevnodeHardwareKey(devnode);
    keyText.Append(kEnumPrefix, hardwareKey.Chars());
    EnableDisableDevice(enable ? 1 : 0, kDeviceClass, keyText.Chars(), keyText.Length());
}
#endif

}  // namespace

void ChangeControllerState(bool enable)
{
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device;
    memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (IsController(set, &device)) {
            // Only the first matching device is changed, whatever the calls answer.
            RequestPropertyChange(set, &device, enable);
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

void SetControllerEnabled(bool enable)
{
    if (g_osVersion.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        ChangeControllerState(enable);
        return;
    }
#ifdef PEXA_WIN9X_CONTROLLER
    SetDevnodeEnabled(enable);
#endif
}
