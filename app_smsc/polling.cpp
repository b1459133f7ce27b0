// Polling the driver for remote codes and turning them into keys.
#include "tray.h"

void PollCode() {}
