// Win32 error reporting shared by the test helpers: the number and the system's text, so
// that a failing step in the log says why without a debugger.
#pragma once

#include <windows.h>

#include <stdio.h>

inline void PrintWin32Error(const char* what, DWORD error)
{
    char text[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, error, 0, text, sizeof(text), NULL);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r'))
        text[--length] = '\0';
    printf("%s: failed, error %lu (%s)\n", what, (unsigned long)error, length ? text : "no text");
}
