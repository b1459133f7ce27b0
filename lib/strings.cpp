// Both string classes share one implementation: the templates below work on the
// object's character pointer, whatever the character width.
#include "strings.h"

#include <cstdarg>
#include <cstdio>  // the run-time's counted formatters on Windows
#include <cstring>
#include <cwchar>
#include <functional>
#include <new>

#include "wide.h"

namespace {

constexpr int32_t kMaxAppendPieces = 9;
constexpr int32_t kMaxChars = INT32_MAX - 1;
constexpr int32_t kFormatStackChars = 128;
constexpr int32_t kFormatFirstRequest = 256;
// A formatter that keeps failing with ever more room fails for another reason (a text
// the run-time cannot convert, for example); the doubling stops here.
constexpr int32_t kFormatMaxRequest = 1 << 20;

template <typename Char>
SStrHeader* HeaderOf(const Char* chars) {
    return reinterpret_cast<SStrHeader*>(
        reinterpret_cast<char*>(const_cast<Char*>(chars)) - sizeof(SStrHeader));
}

// Only the static empty records have no slots: every heap record has at least 8.
template <typename Char>
bool IsEmptyRecord(const Char* chars) {
    return HeaderOf(chars)->capacity == 0;
}

// A null text counts as empty.
template <typename Char>
size_t TextLength(const Char* text) {
    size_t n = 0;
    while (text != nullptr && text[n] != 0) {
        ++n;
    }
    return n;
}

template <typename Char>
void AddReference(Char* chars) {
    if (!IsEmptyRecord(chars)) {
        ++HeaderOf(chars)->references;
    }
}

template <typename Char>
void Release(Char* chars) {
    if (IsEmptyRecord(chars)) {
        return;
    }
    SStrHeader* header = HeaderOf(chars);
    if (--header->references == 0) {
        ::operator delete(header);
    }
}

// Whether text lies inside the string's own record, so that replacing the record
// would pull the text away while it is still being read.
template <typename Char>
bool PointsInto(const Char* chars, const Char* text) {
    const std::less<const Char*> before;
    return !before(text, chars) && before(text, chars + HeaderOf(chars)->capacity);
}

int32_t CapacityClass(int32_t needed) {
    for (int32_t size = 8; size <= 256; size *= 2) {
        if (needed <= size) {
            return size;
        }
    }
    return needed;
}

template <typename Char>
Char* Reserve(Char*& chars, Char* emptyChars, int32_t n, bool keep) {
    if (n < 1) {
        Release(chars);
        chars = emptyChars;
        return nullptr;
    }
    if (n > kMaxChars) {
        throw std::bad_alloc();
    }
    const int32_t capacity = CapacityClass(n + 1);
    SStrHeader* old = HeaderOf(chars);
    if (old->capacity == capacity && old->references == 1) {
        return chars;
    }
    auto* header = static_cast<SStrHeader*>(
        ::operator new(sizeof(SStrHeader) + sizeof(Char) * static_cast<size_t>(capacity)));
    header->capacity = capacity;
    header->references = 1;
    header->length = 0;
    Char* fresh = reinterpret_cast<Char*>(header + 1);
    if (keep) {
        const int32_t kept = old->length < capacity - 1 ? old->length : capacity - 1;
        std::memcpy(fresh, chars, sizeof(Char) * static_cast<size_t>(kept));
        header->length = kept;
        fresh[kept] = 0;
    } else {
        fresh[0] = 0;
    }
    Release(chars);
    chars = fresh;
    return fresh;
}

template <typename Char>
void SetLength(Char* chars, int32_t n) {
    SStrHeader* header = HeaderOf(chars);
    if (header->capacity == 0) {
        return;
    }
    if (n < 0) {
        n = 0;
    } else if (n > header->capacity - 1) {
        n = header->capacity - 1;
    }
    header->length = n;
    chars[n] = 0;
}

template <typename Char>
void Truncate(Char*& chars, Char* emptyChars, int32_t n) {
    const int32_t length = HeaderOf(chars)->length;
    if (length == 0) {
        return;
    }
    if (HeaderOf(chars)->references > 1) {
        Reserve(chars, emptyChars, length, true);
    }
    SetLength(chars, n < 0 ? 0 : (n > length ? length : n));
}

template <typename Char>
void Share(Char*& chars, Char* other) {
    if (chars == other) {
        return;
    }
    AddReference(other);
    Release(chars);
    chars = other;
}

// Holds on to the string's current record while text read from it is copied into a
// new one.
template <typename Str, typename Char>
Str KeepIfAliased(const Str& str, const Char* text) {
    return text != nullptr && PointsInto(str.Chars(), text) ? str : Str();
}

template <typename Char>
void AssignCounted(Char*& chars, Char* emptyChars, const Char* text, int32_t n) {
    Char* area = Reserve(chars, emptyChars, n, false);
    if (area == nullptr) {
        return;
    }
    std::memmove(area, text, sizeof(Char) * static_cast<size_t>(n));
    SetLength(area, n);
}

template <typename Char>
void AssignLeft(Char*& chars, Char* emptyChars, const Char* text, int32_t n) {
    Char* area = Reserve(chars, emptyChars, n, false);
    if (area == nullptr) {
        return;
    }
    int32_t copied = 0;
    while (text != nullptr && copied < n && text[copied] != 0) {
        area[copied] = text[copied];
        ++copied;
    }
    SetLength(area, copied);
}

template <typename Char>
void AppendPieces(Char*& chars, Char* emptyChars, const Char* const* pieces) {
    int32_t lengths[kMaxAppendPieces];
    int32_t count = 0;
    int32_t sum = 0;
    for (; pieces[count] != nullptr; ++count) {
        if (count == kMaxAppendPieces) {
            throw new SExcept{"app_smsc\\str", __LINE__};
        }
        lengths[count] = static_cast<int32_t>(TextLength(pieces[count]));
        sum += lengths[count];
    }
    if (sum == 0) {
        return;
    }
    Char* area = Reserve(chars, emptyChars, HeaderOf(chars)->length + sum, true);
    SStrHeader* header = HeaderOf(area);
    for (int32_t i = 0; i < count; ++i) {
        std::memcpy(area + header->length, pieces[i],
                    sizeof(Char) * static_cast<size_t>(lengths[i] + 1));
        header->length += lengths[i];
    }
}

// On Windows these are the C run-time's own functions, imported from msvcrt.dll even
// where the compiler's headers switch the ISO names (vsnwprintf, snprintf) to their own
// C99 formatter: the run-time's wide "%s" takes wide text, which callers rely on.
int FormatInto(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
    return _vsnwprintf(buffer, count, format, args);
}

int FormatInto(char* buffer, size_t count, const char* format, va_list args) {
    return _vsnprintf(buffer, count, format, args);
}

// The run-time's counted formatter answers -1 when the text does not fit in count
// characters, and leaves out the terminator when it fits exactly: the slot after the
// last countable one is zeroed beforehand.
template <typename Char>
int FormatAttempt(Char* buffer, int32_t count, const Char* format, va_list args) {
    buffer[count] = 0;
    va_list attempt;
    va_copy(attempt, args);
    const int written = FormatInto(buffer, static_cast<size_t>(count), format, attempt);
    va_end(attempt);
    return written;
}

// One more reference to a record for as long as the hold lives.
template <typename Char>
class RecordHold {
public:
    explicit RecordHold(Char* chars) : m_chars(chars) { AddReference(m_chars); }
    ~RecordHold() { Release(m_chars); }
    RecordHold(const RecordHold&) = delete;
    RecordHold& operator=(const RecordHold&) = delete;

private:
    Char* m_chars;
};

template <typename Char>
void FormatV(Char*& chars, Char* emptyChars, const Char* format, va_list args) {
    Char buffer[kFormatStackChars];
    const int written = FormatAttempt(buffer, kFormatStackChars - 1, format, args);
    if (written >= 0) {
        AssignCounted(chars, emptyChars, buffer, written);
        return;
    }
    // The arguments may point into the old text, which is read while the new record is
    // written: it is kept until the end.
    const RecordHold<Char> previous(chars);
    for (int32_t request = kFormatFirstRequest; request <= kFormatMaxRequest; request *= 2) {
        Char* area = Reserve(chars, emptyChars, request, false);
        const int fitted = FormatAttempt(area, request, format, args);
        if (fitted >= 0) {
            SetLength(area, fitted);
            return;
        }
    }
    Reserve(chars, emptyChars, 0, false);
}

char ToUpperAscii(char ch) {
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

}  // namespace

// ---- SWStr ----

SWStr::EmptyRecord SWStr::s_empty;

SWStr::SWStr(const SWStr& other) noexcept : m_chars(other.m_chars) { AddReference(m_chars); }

SWStr::SWStr(const WCHAR* text) : SWStr() { Assign(text); }

SWStr::~SWStr() { Release(m_chars); }

SWStr& SWStr::operator=(const SWStr& other) noexcept {
    Assign(other);
    return *this;
}

int32_t SWStr::Length() const { return HeaderOf(m_chars)->length; }

WCHAR SWStr::LastChar() const {
    const int32_t length = Length();
    return length > 0 ? m_chars[length - 1] : 0;
}

void SWStr::Assign(const SWStr& other) noexcept { Share(m_chars, other.m_chars); }

void SWStr::Assign(const WCHAR* text) {
    const SWStr keep = KeepIfAliased(*this, text);
    AssignCounted(m_chars, s_empty.chars, text, static_cast<int32_t>(TextLength(text)));
}

void SWStr::AssignConverted(const char* chars, int32_t n) {
    if (n < 1) {
        Empty();
        return;
    }
    const int size = MultiByteToWideChar(CP_OEMCP, 0, chars, n, nullptr, 0);
    WCHAR* area = Reserve(size, false);
    if (area != nullptr) {
        SetLength(MultiByteToWideChar(CP_OEMCP, 0, chars, n, area, size));
    }
}

void SWStr::AssignLeft(const WCHAR* text, int32_t n) {
    const SWStr keep = KeepIfAliased(*this, text);
    ::AssignLeft(m_chars, s_empty.chars, text, n);
}

void SWStr::AssignUpTo(const WCHAR* text, WCHAR ch) {
    for (int32_t p = 0; text != nullptr && text[p] != 0; ++p) {
        if (text[p] == ch) {
            AssignLeft(text, p);
            return;
        }
    }
    Assign(text);
}

void SWStr::AssignEnv(const WCHAR* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) {
        Empty();
        return;
    }
    WCHAR* area = Reserve(static_cast<int32_t>(size - 1), false);
    const DWORD read = GetEnvironmentVariableW(name, area, size);
    if (read == 0 || read >= size) {
        Empty();
        return;
    }
    SetLength(static_cast<int32_t>(read));
}

void SWStr::AssignCurrentDir() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size <= 1) {
        Empty();
        return;
    }
    WCHAR* area = Reserve(static_cast<int32_t>(size - 1), false);
    const DWORD read = GetCurrentDirectoryW(size, area);
    if (read == 0 || read >= size) {
        Empty();
        return;
    }
    SetLength(static_cast<int32_t>(read));
}

void SWStr::AppendPieces(const WCHAR* const* pieces) {
    SWStr keep;
    for (const WCHAR* const* piece = pieces; *piece != nullptr; ++piece) {
        if (PointsInto(m_chars, *piece)) {
            keep = *this;
        }
    }
    ::AppendPieces(m_chars, s_empty.chars, pieces);
}

void SWStr::AppendPath(const WCHAR* component) {
    static const WCHAR kSeparator[] = WIDE("\\");
    static const WCHAR kNothing[] = WIDE("");
    if (component == nullptr) {
        component = kNothing;
    }
    if (Length() == 0) {
        Assign(component);
    } else if (LastChar() == '\\') {
        Append(component[0] == '\\' ? component + 1 : component, nullptr);
    } else if (component[0] == '\\') {
        Append(component, nullptr);
    } else {
        Append(kSeparator, component, nullptr);
    }
}

void SWStr::Format(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(m_chars, s_empty.chars, format, args);
    va_end(args);
}

WCHAR* SWStr::Reserve(int32_t n, bool keep) { return ::Reserve(m_chars, s_empty.chars, n, keep); }

void SWStr::SetLength(int32_t n) { ::SetLength(m_chars, n); }

void SWStr::Truncate(int32_t n) { ::Truncate(m_chars, s_empty.chars, n); }

void SWStr::Empty() { ::Reserve(m_chars, s_empty.chars, 0, false); }

// ---- SStr ----

SStr::EmptyRecord SStr::s_empty;

SStr::SStr(const SStr& other) noexcept : m_chars(other.m_chars) { AddReference(m_chars); }

SStr::SStr(const WCHAR* text) : SStr() { Assign(text); }

SStr::SStr(const SWStr& text) : SStr() { Assign(text); }

SStr::~SStr() { Release(m_chars); }

SStr& SStr::operator=(const SStr& other) noexcept {
    Assign(other);
    return *this;
}

int32_t SStr::Length() const { return HeaderOf(m_chars)->length; }

void SStr::Assign(const SStr& other) noexcept { Share(m_chars, other.m_chars); }

void SStr::Assign(const char* text) {
    const SStr keep = KeepIfAliased(*this, text);
    AssignCounted(m_chars, s_empty.chars, text, static_cast<int32_t>(TextLength(text)));
}

void SStr::Assign(const SWStr& text) { AssignConverted(text.Chars(), text.Length()); }

void SStr::Assign(const WCHAR* text) {
    AssignConverted(text, static_cast<int32_t>(TextLength(text)));
}

void SStr::AssignConverted(const WCHAR* chars, int32_t n) {
    if (n < 1) {
        Empty();
        return;
    }
    const int size = WideCharToMultiByte(CP_OEMCP, 0, chars, n, nullptr, 0, nullptr, nullptr);
    char* area = Reserve(size, false);
    if (area != nullptr) {
        SetLength(WideCharToMultiByte(CP_OEMCP, 0, chars, n, area, size, nullptr, nullptr));
    }
}

void SStr::AssignLeft(const char* text, int32_t n) {
    const SStr keep = KeepIfAliased(*this, text);
    ::AssignLeft(m_chars, s_empty.chars, text, n);
}

void SStr::AppendPieces(const char* const* pieces) {
    SStr keep;
    for (const char* const* piece = pieces; *piece != nullptr; ++piece) {
        if (PointsInto(m_chars, *piece)) {
            keep = *this;
        }
    }
    ::AppendPieces(m_chars, s_empty.chars, pieces);
}

void SStr::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(m_chars, s_empty.chars, format, args);
    va_end(args);
}

char* SStr::Reserve(int32_t n, bool keep) { return ::Reserve(m_chars, s_empty.chars, n, keep); }

void SStr::SetLength(int32_t n) { ::SetLength(m_chars, n); }

void SStr::Truncate(int32_t n) { ::Truncate(m_chars, s_empty.chars, n); }

void SStr::Empty() { ::Reserve(m_chars, s_empty.chars, 0, false); }

// ---- free functions ----

DWORD ParseHex(const char* text) {
    DWORD value = 0;
    for (; *text != 0; ++text) {
        const char ch = ToUpperAscii(*text);
        if (ch >= '0' && ch <= '9') {
            value = value * 16 + static_cast<DWORD>(ch - '0');
        } else if (ch >= 'A' && ch <= 'F') {
            value = value * 16 + static_cast<DWORD>(ch - 'A' + 10);
        } else {
            break;
        }
    }
    return value;
}

const char* FindNoCase(const char* text, const char* pattern) {
    for (; *text != 0; ++text) {
        size_t i = 0;
        while (pattern[i] != 0 && ToUpperAscii(text[i]) == ToUpperAscii(pattern[i])) {
            ++i;
        }
        if (pattern[i] == 0) {
            return text;
        }
    }
    return nullptr;
}
