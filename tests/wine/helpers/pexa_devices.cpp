// Puts the infrared controller into the simulated Windows of the run under Wine, where
// no ACPI device exists, and reads its state back.
//
//   pexa-devices create-nt        a present device "ACPI\SMCF010\4&7AF5D03&0" whose first
//                                 hardware ID is "ACPI\SMCF010" (Windows 2000 family)
//   pexa-devices list-nt          prints every present device and its first hardware ID
//   pexa-devices create-98        devnodes in HKEY_DYN_DATA "Config Manager\Enum": one
//                                 other device, then the controller, enabled
//   pexa-devices status-98        prints the controller devnode's Status
#include <windows.h>
#include <setupapi.h>

#include <stdio.h>
#include <string.h>

#include "win32_error.h"

namespace {

const char kInstanceId[] = "ACPI\\SMCF010\\4&7AF5D03&0";
// A list of zero-terminated IDs ended by an empty one.
const char kHardwareIds[] = "ACPI\\SMCF010\0*SMCF010\0";
const GUID kInfraredClass = {0x6bdd1fc5, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

const char kEnumRoot[] = "Config Manager\\Enum";
const char kOtherDevnode[] = "C29A1000";
const char kOtherHardwareKey[] = "ROOT\\*PNP0C01\\0000";
const char kControllerDevnode[] = "C29A2000";
const char kControllerHardwareKey[] = "ACPI\\*SMCF010\\0";
const DWORD kStatusEnabled = 0x0180600A;  // started, no problem flag (0x400)

int CreateNt()
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kInfraredClass, NULL);
    if (set == INVALID_HANDLE_VALUE) {
        PrintWin32Error("SetupDiCreateDeviceInfoList", GetLastError());
        return 1;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    int result = 1;
    if (!SetupDiCreateDeviceInfoA(set, kInstanceId, &kInfraredClass, "Infrared controller", NULL,
                                  0, &device))
        PrintWin32Error("SetupDiCreateDeviceInfoA", GetLastError());
    else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                (const BYTE*)kHardwareIds, sizeof(kHardwareIds)))
        PrintWin32Error("SetupDiSetDeviceRegistryPropertyA", GetLastError());
    else if (!SetupDiRegisterDeviceInfo(set, &device, 0, NULL, NULL, NULL))
        PrintWin32Error("SetupDiRegisterDeviceInfo", GetLastError());
    else
        result = 0;
    SetupDiDestroyDeviceInfoList(set);
    if (result == 0)
        printf("device %s created\n", kInstanceId);
    return result;
}

int ListNt()
{
    HDEVINFO set = SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        PrintWin32Error("SetupDiGetClassDevsA", GetLastError());
        return 1;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char id[256] = "";
        char ids[256] = "";
        SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof(id), NULL);
        SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL, (BYTE*)ids,
                                          sizeof(ids) - 1, NULL);
        printf("%s: %s\n", id, ids);
    }
    SetupDiDestroyDeviceInfoList(set);
    return 0;
}

LONG CreateDevnode(const char* name, const char* hardwareKey, DWORD status)
{
    char path[128];
    snprintf(path, sizeof(path), "%s\\%s", kEnumRoot, name);
    HKEY key = NULL;
    LONG result = RegCreateKeyExA(HKEY_DYN_DATA, path, 0, NULL, REG_OPTION_VOLATILE,
                                  KEY_SET_VALUE, NULL, &key, NULL);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExA(key, "HardWareKey", 0, REG_SZ, (const BYTE*)hardwareKey,
                            DWORD(strlen(hardwareKey) + 1));
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(key, "Status", 0, REG_BINARY, (const BYTE*)&status, sizeof(status));
    RegCloseKey(key);
    return result;
}

int Create98()
{
    LONG result = CreateDevnode(kOtherDevnode, kOtherHardwareKey, kStatusEnabled);
    if (result == ERROR_SUCCESS)
        result = CreateDevnode(kControllerDevnode, kControllerHardwareKey, kStatusEnabled);
    if (result != ERROR_SUCCESS) {
        PrintWin32Error("creating devnodes under HKEY_DYN_DATA", DWORD(result));
        return 1;
    }
    printf("devnode %s (%s) created, enabled\n", kControllerDevnode, kControllerHardwareKey);
    return 0;
}

int Status98()
{
    char path[128];
    snprintf(path, sizeof(path), "%s\\%s", kEnumRoot, kControllerDevnode);
    DWORD status = 0;
    DWORD size = sizeof(status);
    LONG result = RegGetValueA(HKEY_DYN_DATA, path, "Status", RRF_RT_ANY, NULL, &status, &size);
    if (result != ERROR_SUCCESS) {
        PrintWin32Error("reading Status", DWORD(result));
        return 1;
    }
    printf("Status 0x%08lX (%s)\n", (unsigned long)status,
           (status & 0x400) ? "problem: disabled" : "enabled");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int result = 2;
    if (argc == 2 && strcmp(argv[1], "create-nt") == 0)
        result = CreateNt();
    else if (argc == 2 && strcmp(argv[1], "list-nt") == 0)
        result = ListNt();
    else if (argc == 2 && strcmp(argv[1], "create-98") == 0)
        result = Create98();
    else if (argc == 2 && strcmp(argv[1], "status-98") == 0)
        result = Status98();
    else
        printf("usage: pexa-devices create-nt | list-nt | create-98 | status-98\n");
    fflush(stdout);
    return result;
}
