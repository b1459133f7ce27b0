// The control-code rule shared by the user side (winioctl.h) and the kernel side
// (ntddk.h) of the host stand-in layer: device type in bits 31..16, required access in
// bits 15..14, function number in bits 13..2, transfer method in bits 1..0.
#pragma once

#include "win/types.h"

#ifndef CTL_CODE
#define CTL_CODE(deviceType, function, method, access) \
    (((DWORD)(deviceType) << 16) | ((DWORD)(access) << 14) | ((DWORD)(function) << 2) | (DWORD)(method))
#endif
#ifndef DEVICE_TYPE_FROM_CTL_CODE
#define DEVICE_TYPE_FROM_CTL_CODE(code) (((DWORD)(code) & 0xFFFF0000UL) >> 16)
#endif
#ifndef METHOD_FROM_CTL_CODE
#define METHOD_FROM_CTL_CODE(code) ((DWORD)(code) & 3)
#endif

#ifndef FILE_DEVICE_UNKNOWN
#define FILE_DEVICE_UNKNOWN 0x00000022
#endif

#ifndef METHOD_BUFFERED
#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#endif

#ifndef FILE_ANY_ACCESS
#define FILE_ANY_ACCESS 0
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002
#endif
