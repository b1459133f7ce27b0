// Shared helpers of the stand-in API implementations.
#pragma once

#include <windows.h>

#include <string>

#include "sim/machine.h"

namespace sim {

inline Machine& M()
{
    return CurrentMachine();
}

inline Process& P()
{
    return CurrentProcess();
}

// Sets the calling process's last error and returns `result`, for one-line failures.
template <typename T>
T Fail(DWORD error, T result)
{
    P().lastError = error;
    return result;
}

// Wide text of the stand-in (16-bit) to 8-bit, through the OEM code page as the
// system's 8-bit calls on a wide name would see it; ASCII stays as it is.
std::string Narrow(const WCHAR* text);
std::u16string Widen(const std::string& text);

// Whether a wide call is unavailable on this machine (Windows 98/ME).
bool WideCallsMissing();

}  // namespace sim
