// Suspend, standby and resume.
#include "tray.h"

#include <winioctl.h>  // after windows.h, whose types it uses

#include <pexactrl.h>

namespace {

// The driver keeps the chip's mode register across the sleep.
void BeforeSleep()
{
    g_tray.powerTransition = true;
    SendControl(PortCode(IOCTL_IR_SAVE_MODE_2E));
}

// The firmware may have reset the chip while the machine slept: put remote mode back.
void AfterWake()
{
    g_tray.powerTransition = true;
    if (g_tray.remoteOn) {
        SendControl(PortCode(IOCTL_IR_RESTORE_MODE_2E));
        SendControl(PortCode(IOCTL_IR_REMOTE_ON_2E));
        SendControl(IOCTL_IR_RESUMED);
    }
    g_tray.powerTransition = false;
}

}  // namespace

void OnPowerBroadcast(WPARAM event, LPARAM)
{
    switch (event) {
    case PBT_APMSUSPEND:
    case PBT_APMSTANDBY:
        BeforeSleep();
        break;
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMESTANDBY:
        AfterWake();
        break;
    default:
        break;
    }
}
