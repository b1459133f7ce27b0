// Switching between remote mode and normal mode.
#include "tray.h"

void RemoteOn()
{
    g_tray.remoteOn = true;
    g_tray.pollingOn = true;
}

void RemoteOff()
{
    g_tray.remoteOn = false;
    g_tray.pollingOn = false;
}

void AskReboot() {}
