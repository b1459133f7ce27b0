// Host stand-in of the Windows API header: the declarations the system's programs use,
// written for the simulated machine. On Windows the real header is used instead.
#pragma once

#include "win/types.h"
#include "win/kernel32.h"
#include "win/crt.h"
#include "win/user32.h"
#include "win/advapi32.h"
