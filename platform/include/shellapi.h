// Host stand-in of the shell API header.
#pragma once
#include "win/shell32.h"
