// Code page conversions of the stand-in layer: the machine's OEM code page is 437 and
// its ANSI code page 1252, as on a US or Western European Windows.
//
// Both are single-byte code pages: bytes 0x00-0x7F are ASCII (control bytes stay
// control characters, as Windows gives them without MB_USEGLYPHCHARS) and the upper
// half goes through a table. A character that a code page cannot hold becomes the code
// page's default character '?'; Windows would first try a "best fit" look-alike (a
// plain letter for some accented ones), which this layer does not model.
#include <cstddef>

#include "win/kernel32.h"

namespace {

constexpr UINT kCodePageUs = 437;
constexpr UINT kCodePageWestern = 1252;
constexpr char kDefaultChar = '?';

// Unicode of the bytes 0x80 to 0xFF.
constexpr char16_t kUpperHalf437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// The five bytes that 1252 leaves unassigned (81, 8D, 8F, 90, 9D) map to the C1
// control characters of the same value, as on Windows, so they survive a round trip.
constexpr char16_t kUpperHalf1252[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F8
};

// The upper-half table of a code page; null for one this layer does not know.
const char16_t* UpperHalfOf(UINT codePage) {
    switch (codePage) {
    case CP_OEMCP:
    case kCodePageUs:
        return kUpperHalf437;
    case CP_ACP:
    case kCodePageWestern:
        return kUpperHalf1252;
    default:
        return nullptr;
    }
}

WCHAR ToWide(const char16_t* upperHalf, char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return static_cast<WCHAR>(value < 0x80 ? value : upperHalf[value - 0x80]);
}

// Whether the code page holds ch, and as which byte.
bool ToByte(const char16_t* upperHalf, WCHAR ch, char& byte) {
    const auto value = static_cast<char16_t>(ch);
    if (value < 0x80) {
        byte = static_cast<char>(value);
        return true;
    }
    for (int i = 0; i < 128; ++i) {
        if (upperHalf[i] == value) {
            byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

// A source count of -1 means zero-terminated text, terminator included; any other
// negative count or an empty source is refused.
template <typename Char>
int SourceLength(const Char* text, int length) {
    if (text == nullptr || length == 0 || length < -1) {
        return -1;
    }
    if (length > 0) {
        return length;
    }
    int n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n + 1;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR wide,
                               int wideLength) {
    const char16_t* upperHalf = UpperHalfOf(codePage);
    const int count = SourceLength(text, length);
    if (upperHalf == nullptr || count < 0 || wideLength < 0 ||
        (wide == nullptr && wideLength != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (wideLength == 0) {
        return count;
    }
    const int fitting = count < wideLength ? count : wideLength;
    for (int i = 0; i < fitting; ++i) {
        wide[i] = ToWide(upperHalf, text[i]);
    }
    return count <= wideLength ? count : Fail(ERROR_INSUFFICIENT_BUFFER);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength, LPSTR text,
                               int length, LPCSTR defaultChar, LPBOOL usedDefault) {
    const char16_t* upperHalf = UpperHalfOf(codePage);
    const int count = SourceLength(wide, wideLength);
    if (upperHalf == nullptr || count < 0 || length < 0 || (text == nullptr && length != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const char replacement = defaultChar != nullptr ? *defaultChar : kDefaultChar;
    const int fitting = length == 0 ? count : (count < length ? count : length);
    bool replaced = false;
    for (int i = 0; i < fitting; ++i) {
        char byte = 0;
        if (!ToByte(upperHalf, wide[i], byte)) {
            byte = replacement;
            replaced = true;
        }
        if (length != 0) {
            text[i] = byte;
        }
    }
    if (usedDefault != nullptr) {
        *usedDefault = replaced ? TRUE : FALSE;
    }
    if (length == 0) {
        return count;
    }
    return count <= length ? count : Fail(ERROR_INSUFFICIENT_BUFFER);
}

}  // extern "C"
