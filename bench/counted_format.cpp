// The run-time's counted formatters for the library benchmarks.
//
// On Windows the string classes format through the C run-time's _vsnprintf and
// _vsnwprintf, which use no heap. The host's stand-in for them (platform/src/crt_format.cpp)
// builds its text in standard strings so that it can follow every Windows rule; in these
// benchmarks its allocations and its time would be charged to the string classes. These
// definitions take its place in the benchmark program only: the host's vsnprintf for
// 8-bit text, and for wide text a formatter of the one conversion the benchmarks use.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

extern "C" {

// The string classes always hand over count + 1 slots (they zero the one after the last
// countable slot), so the host's formatter may put its terminator there: a text of
// exactly count characters then fits, as it does for the run-time.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    const int needed = std::vsnprintf(buffer, count + 1, format, args);
    return needed >= 0 && static_cast<size_t>(needed) <= count ? needed : -1;
}

// Plain characters, "%%" and "%s" (wide text); any other conversion is a mistake in a
// benchmark and ends the program.
int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    size_t written = 0;
    auto put = [&](WCHAR ch) {
        if (written < count)
            buffer[written] = ch;
        ++written;
    };
    for (const WCHAR* p = format; *p != 0; ++p) {
        if (*p != '%') {
            put(*p);
        } else if (p[1] == '%') {
            put('%');
            ++p;
        } else if (p[1] == 's') {
            for (const WCHAR* s = va_arg(args, const WCHAR*); *s != 0; ++s)
                put(*s);
            ++p;
        } else {
            std::fprintf(stderr, "bench: unsupported wide conversion\n");
            std::abort();
        }
    }
    if (written > count)
        return -1;
    if (written < count)
        buffer[written] = 0;
    return static_cast<int>(written);
}

}  // extern "C"
