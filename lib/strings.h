// The two string classes of the programs: SWStr (16-bit characters: paths, file names,
// the command line) and SStr (8-bit characters: shown texts, registry text, arguments
// of the 8-bit Windows calls).
//
// A string object is one pointer to its first character. The characters live in a
// heap record that starts with an SStrHeader; copies share the record and count their
// references, and every change goes through Reserve, which gives the string a private
// record first (copy-on-write). Empty strings point at a static empty record of their
// class, so a default-constructed string needs neither the heap nor a constructor run.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Thrown, by pointer, when a caller passes more pieces to Append than it takes.
struct SExcept {
    const char* source;  // static text naming the throwing code, not owned
    int32_t line;
};

// In front of the character slots of every string record.
struct SStrHeader {
    int32_t capacity;    // character slots after the header, the terminator's included
    int32_t references;  // string objects pointing into the record
    int32_t length;      // characters before the terminator
};

#if defined(__GNUC__) && defined(_WIN32)
#define SSTR_PRINTF_FORMAT(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#elif defined(__GNUC__)
#define SSTR_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define SSTR_PRINTF_FORMAT(fmt, args)
#endif

class SWStr {
public:
    constexpr SWStr() noexcept : m_chars(s_empty.chars) {}
    SWStr(const SWStr& other) noexcept;
    SWStr(const WCHAR* text);
    ~SWStr();
    SWStr& operator=(const SWStr& other) noexcept;

    int32_t Length() const;
    const WCHAR* Chars() const { return m_chars; }
    WCHAR LastChar() const;

    void Assign(const SWStr& other) noexcept;
    void Assign(const WCHAR* text);
    void AssignConverted(const char* chars, int32_t n);
    void AssignLeft(const WCHAR* text, int32_t n);
    void AssignUpTo(const WCHAR* text, WCHAR ch);
    void AssignEnv(const WCHAR* name);
    void AssignCurrentDir();

    // Appends the pieces up to the first null pointer; at most nine pieces.
    template <typename... Pieces>
    void Append(const WCHAR* first, Pieces... rest) {
        const WCHAR* pieces[] = {first, rest..., nullptr};
        AppendPieces(pieces);
    }
    void AppendPath(const WCHAR* component);
    // "%s" takes wide text.
    void Format(const WCHAR* format, ...);

    // Writable room for n characters and the terminator; null (and an empty string) for
    // n < 1. Whoever writes through it stores the length with SetLength.
    WCHAR* Reserve(int32_t n, bool keep = false);
    void SetLength(int32_t n);
    void Truncate(int32_t n);
    void Empty();

private:
    struct EmptyRecord {
        SStrHeader header;
        WCHAR chars[1];
    };
    static EmptyRecord s_empty;

    void AppendPieces(const WCHAR* const* pieces);

    WCHAR* m_chars;
};

class SStr {
public:
    constexpr SStr() noexcept : m_chars(s_empty.chars) {}
    SStr(const SStr& other) noexcept;
    SStr(const WCHAR* text);
    SStr(const SWStr& text);
    ~SStr();
    SStr& operator=(const SStr& other) noexcept;

    int32_t Length() const;
    const char* Chars() const { return m_chars; }

    void Assign(const SStr& other) noexcept;
    void Assign(const char* text);
    void Assign(const SWStr& text);
    void Assign(const WCHAR* text);
    void AssignConverted(const WCHAR* chars, int32_t n);
    void AssignLeft(const char* text, int32_t n);

    // Appends the pieces up to the first null pointer; at most nine pieces.
    template <typename... Pieces>
    void Append(const char* first, Pieces... rest) {
        const char* pieces[] = {first, rest..., nullptr};
        AppendPieces(pieces);
    }
    void Format(const char* format, ...) SSTR_PRINTF_FORMAT(2, 3);

    // Writable room for n characters and the terminator; null (and an empty string) for
    // n < 1. Whoever writes through it stores the length with SetLength.
    char* Reserve(int32_t n, bool keep = false);
    void SetLength(int32_t n);
    void Truncate(int32_t n);
    void Empty();

private:
    struct EmptyRecord {
        SStrHeader header;
        char chars[1];
    };
    static EmptyRecord s_empty;

    void AppendPieces(const char* const* pieces);

    char* m_chars;
};

// Value of the leading hexadecimal digits of text ("0c0a" gives 0xC0A); no prefix, no
// overflow check.
DWORD ParseHex(const char* text);

// First position of text where pattern occurs, ignoring case; null when there is none.
const char* FindNoCase(const char* text, const char* pattern);
