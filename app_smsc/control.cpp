// Control requests to the driver.
#include "tray.h"

#include <winioctl.h>

#include <pexactrl.h>

DWORD PortCode(DWORD code2E)
{
    // From 0x2220C0 to 0x2220EC the 0x4E member of each pair is the 0x2E member plus 4.
    return g_tray.port4E ? code2E + 4 : code2E;
}

void SendControl(DWORD code)
{
    DWORD returned = 0;
    DeviceIoControl(g_tray.device, code, nullptr, 0, nullptr, 0, &returned, nullptr);
}

DWORD ReadCode(unsigned char* code)
{
    DWORD returned = 0;
    if (!DeviceIoControl(g_tray.device, PortCode(IOCTL_IR_READ_CODE_2E), code, IR_CODE_LENGTH,
                         code, IR_CODE_LENGTH, &returned, nullptr))
        return 0;
    return returned;
}
