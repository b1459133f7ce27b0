// Suspend, standby and resume.
#include "tray.h"

void OnPowerBroadcast(WPARAM, LPARAM) {}
