// Device-control codes for user programs, host stand-in layer.
#pragma once

#include "win/ioctl_codes.h"
