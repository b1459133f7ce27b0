// The Help command.
#include "tray.h"

void ShowHelp() {}
