// The log that the test-only stand-ins for Plug and Play (setupapi shim, pexa32) write
// their calls to, one line per call, so that the run can check what the tray program
// asked for. The file is named by the environment variable PEXA_DEVICE_LOG; without it
// nothing is written.
#pragma once

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

inline void LogDeviceCall(const char* format, ...)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PEXA_DEVICE_LOG", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return;
    FILE* log = fopen(path, "a");
    if (log == NULL)
        return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(log, format, arguments);
    va_end(arguments);
    fputc('\n', log);
    fclose(log);
}
