// The persisted remote mode and the hardware-profile clean-up.
#include "tray.h"

bool RemoteModeValue(bool read, bool on)
{
    return read ? true : on;
}

void CleanUpHardwareProfiles() {}
