// The platform's counted printf family, as the Windows C run-time library offers it.
//
// Both return the number of characters written when the result fits in count
// characters (without a terminator when it fills them exactly), and -1 when it does
// not fit. In the wide version "%s" takes wide text and "%S" 8-bit text, as on Windows.
#pragma once

#include <cstdarg>

#include "win/types.h"

#ifdef __cplusplus
extern "C" {
#endif

int _snprintf(char* buffer, size_t count, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);

#ifdef __cplusplus
}
#endif
