// Wide text literals. Windows' wide characters are 16 bits; on the host build they are
// char16_t, so a literal written WIDE("abc") has the right width on every build.
#pragma once

#ifdef _WIN32
#define WIDE(text) L##text
#else
#define WIDE(text) u##text
#endif
