// The outside library pexa32, bound by the Windows 98/ME build only: it enables or
// disables a Windows 98/ME device named by its key in the Enum tree. The called function
// removes its four arguments (stdcall); its result is not used.
#pragma once

#include <windows.h>

extern "C" int WINAPI EnableDisableDevice(int flag, const char* className, const char* keyText,
                                          int keyLength);
