// The counted printf family of the Windows C run-time library, for the host build.
//
// One formatter serves both widths, so that both follow the Windows rules rather than
// the host's: "%s" and "%c" take text of the function's own width, "%S" and "%C" of
// the other width, "h" forces 8-bit and "l" or "w" wide text; "l" integers are 32 bits
// (long is 32 bits on Windows), "ll" and "I64" 64 bits, "I" pointer-sized; "%p" gives
// the upper-case hexadecimal address with all its digits. Text of the other width is
// widened byte by byte; narrowing fails the whole call (-1) at a character above 0xFF,
// as the run-time's conversion in the "C" locale does. An unknown conversion letter is
// written as it is.
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "win/crt.h"

namespace {

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    enum class Size { Default, Short, Long32, Long64, Pointer, Wide } size = Size::Default;
    char conversion = 0;
};

// The host's snprintf does the digits and padding of numbers: it agrees with Windows
// on everything this layer passes to it.
template <typename Value>
std::string FormatNumber(const Spec& spec, const char* lengthAndConversion, Value value) {
    std::string format = "%" + spec.flags;
    if (spec.width >= 0) {
        format += std::to_string(spec.width);
    }
    if (spec.precision >= 0) {
        format += "." + std::to_string(spec.precision);
    }
    format += lengthAndConversion;
    const int needed = std::snprintf(nullptr, 0, format.c_str(), value);
    if (needed <= 0) {
        return std::string();
    }
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::snprintf(&text[0], text.size(), format.c_str(), value);
    text.resize(static_cast<size_t>(needed));
    return text;
}

template <typename Char>
class Formatter {
public:
    Formatter(const Char* format, va_list* args) : m_format(format), m_args(args) {}

    std::basic_string<Char> Run() {
        while (*m_format != 0) {
            if (*m_format != '%') {
                m_out += *m_format++;
                continue;
            }
            ++m_format;
            Spec spec;
            if (!ParseSpec(spec)) {
                break;
            }
            Convert(spec);
        }
        return m_out;
    }

    // A character could not be converted to the output's width.
    bool Failed() const { return m_failed; }

private:
    bool ParseSpec(Spec& spec) {
        while (*m_format != 0 && std::strchr("-+ #0", static_cast<char>(*m_format)) != nullptr) {
            spec.flags += static_cast<char>(*m_format++);
        }
        int count = 0;
        if (ParseCount(count)) {
            // A negative width from the arguments means left-justified.
            if (count < 0) {
                spec.flags += '-';
                count = count == INT_MIN ? INT_MAX : -count;
            }
            spec.width = count;
        }
        if (*m_format == '.') {
            ++m_format;
            // "." alone is precision 0; a negative one from the arguments is none.
            spec.precision = ParseCount(count) ? (count < 0 ? -1 : count) : 0;
        }
        spec.size = ParseSize();
        if (*m_format == 0) {
            return false;
        }
        spec.conversion = static_cast<char>(*m_format++);
        return true;
    }

    // A width or precision written out or taken from the arguments ("*").
    bool ParseCount(int& value) {
        if (*m_format == '*') {
            ++m_format;
            value = va_arg(*m_args, int);
            return true;
        }
        if (*m_format < '0' || *m_format > '9') {
            return false;
        }
        value = 0;
        while (*m_format >= '0' && *m_format <= '9') {
            const int digit = *m_format++ - '0';
            value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
        }
        return true;
    }

    Spec::Size ParseSize() {
        switch (*m_format) {
        case 'h':
            ++m_format;
            return Spec::Size::Short;
        case 'w':
            ++m_format;
            return Spec::Size::Wide;
        case 'l':
            ++m_format;
            if (*m_format == 'l') {
                ++m_format;
                return Spec::Size::Long64;
            }
            return Spec::Size::Long32;
        case 'I':
            if (m_format[1] == '6' && m_format[2] == '4') {
                m_format += 3;
                return Spec::Size::Long64;
            }
            if (m_format[1] == '3' && m_format[2] == '2') {
                m_format += 3;
                return Spec::Size::Default;
            }
            ++m_format;
            return Spec::Size::Pointer;
        default:
            return Spec::Size::Default;
        }
    }

    void Convert(const Spec& spec) {
        switch (spec.conversion) {
        case 'd':
        case 'i':
            AppendNarrow(FormatNumber(spec, "lld", SignedArgument(spec.size)));
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            const char conversion[] = {'l', 'l', spec.conversion, 0};
            AppendNarrow(FormatNumber(spec, conversion, UnsignedArgument(spec.size)));
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            const char conversion[] = {spec.conversion, 0};
            AppendNarrow(FormatNumber(spec, conversion, va_arg(*m_args, double)));
            break;
        }
        case 'p':
            AppendNarrow(FormatNumber(Spec{"0", 2 * static_cast<int>(sizeof(void*)), -1,
                                           Spec::Size::Default, 'X'},
                                      "llX",
                                      static_cast<unsigned long long>(
                                          reinterpret_cast<uintptr_t>(va_arg(*m_args, void*)))));
            break;
        case 'c':
        case 'C':
            AppendCharacter(spec);
            break;
        case 's':
        case 'S':
            AppendText(spec);
            break;
        case 'n':
            va_arg(*m_args, void*);  // never written through
            break;
        default:
            m_out += static_cast<Char>(static_cast<unsigned char>(spec.conversion));
            break;
        }
    }

    long long SignedArgument(Spec::Size size) {
        switch (size) {
        case Spec::Size::Short:
            return static_cast<short>(va_arg(*m_args, int));
        case Spec::Size::Long64:
            return va_arg(*m_args, long long);
        case Spec::Size::Pointer:
            return va_arg(*m_args, intptr_t);
        default:
            return va_arg(*m_args, int);
        }
    }

    unsigned long long UnsignedArgument(Spec::Size size) {
        switch (size) {
        case Spec::Size::Short:
            return static_cast<unsigned short>(va_arg(*m_args, unsigned int));
        case Spec::Size::Long64:
            return va_arg(*m_args, unsigned long long);
        case Spec::Size::Pointer:
            return va_arg(*m_args, uintptr_t);
        default:
            return va_arg(*m_args, unsigned int);
        }
    }

    // Whether a text or character argument is wide: "%s"/"%c" are of the function's
    // own width, the capital letters of the other one, unless a size says otherwise.
    bool WideArgument(const Spec& spec) const {
        if (spec.size == Spec::Size::Short) {
            return false;
        }
        if (spec.size == Spec::Size::Long32 || spec.size == Spec::Size::Wide) {
            return true;
        }
        const bool ownWidth = spec.conversion == 's' || spec.conversion == 'c';
        return ownWidth == (sizeof(Char) == sizeof(WCHAR));
    }

    void AppendCharacter(const Spec& spec) {
        const unsigned int value = va_arg(*m_args, unsigned int);
        const Char ch = WideArgument(spec) ? FromWide(static_cast<char16_t>(value))
                                           : FromByte(static_cast<char>(value));
        AppendPadded(spec, std::basic_string<Char>(1, ch));
    }

    void AppendText(const Spec& spec) {
        std::basic_string<Char> text;
        const void* argument = va_arg(*m_args, const void*);
        if (argument == nullptr) {
            for (const char* p = "(null)"; *p != 0; ++p) {
                text += static_cast<Char>(*p);
            }
        } else if (WideArgument(spec)) {
            for (auto* p = static_cast<const WCHAR*>(argument); *p != 0; ++p) {
                text += FromWide(static_cast<char16_t>(*p));
            }
        } else {
            for (auto* p = static_cast<const char*>(argument); *p != 0; ++p) {
                text += FromByte(*p);
            }
        }
        if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
            text.resize(static_cast<size_t>(spec.precision));
        }
        AppendPadded(spec, text);
    }

    void AppendPadded(const Spec& spec, const std::basic_string<Char>& text) {
        const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
        const size_t padding = text.size() < width ? width - text.size() : 0;
        const bool left = spec.flags.find('-') != std::string::npos;
        if (!left) {
            m_out.append(padding, static_cast<Char>(' '));
        }
        m_out += text;
        if (left) {
            m_out.append(padding, static_cast<Char>(' '));
        }
    }

    void AppendNarrow(const std::string& text) {
        for (char ch : text) {
            m_out += static_cast<Char>(ch);
        }
    }

    static Char FromByte(char ch) {
        return sizeof(Char) == 1 ? static_cast<Char>(ch)
                                 : static_cast<Char>(static_cast<unsigned char>(ch));
    }

    Char FromWide(char16_t ch) {
        if (sizeof(Char) == 1 && ch > 0xFF) {
            m_failed = true;
        }
        return static_cast<Char>(ch);
    }

    const Char* m_format;
    va_list* m_args;
    std::basic_string<Char> m_out;
    bool m_failed = false;
};

// The Windows contract: up to count characters are stored; the terminator only when
// there is room for it; -1 when the text does not fit.
template <typename Char>
int Emit(Char* buffer, size_t count, const std::basic_string<Char>& text) {
    if (buffer == nullptr) {
        count = 0;
    }
    const size_t stored = text.size() < count ? text.size() : count;
    if (stored > 0) {
        std::memcpy(buffer, text.data(), stored * sizeof(Char));
    }
    if (text.size() < count) {
        buffer[text.size()] = 0;
    }
    return text.size() <= count ? static_cast<int>(text.size()) : -1;
}

template <typename Char>
int FormatCounted(Char* buffer, size_t count, const Char* format, va_list args) {
    va_list own;
    va_copy(own, args);
    Formatter<Char> formatter(format, &own);
    const std::basic_string<Char> text = formatter.Run();
    va_end(own);
    return formatter.Failed() ? -1 : Emit(buffer, count, text);
}

}  // namespace

extern "C" {

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args) {
    return FormatCounted(buffer, count, format, args);
}

int _snprintf(char* buffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return written;
}

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
    return FormatCounted(buffer, count, format, args);
}

int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return written;
}

}  // extern "C"
