// Whole-file byte buffers (SBuf) and the sectioned text tables read from them (SIni).
//
// A table is a file of "[Section]" headers and "Key=Value" lines, kept as the raw bytes
// of the file: nothing is parsed in advance, every lookup scans the text from the top.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "strings.h"

// Names the class of a buffer; kept for the record, nothing queries it.
struct SClassRecord {
    const char* name;
};

class SBuf {
public:
    static const SClassRecord kClassRecord;  // "SBuf"

    // The longest length a buffer takes: its capacity, rounded up to whole kilobytes,
    // must still fit the signed 32-bit capacity field.
    static constexpr int32_t kMaxLength = INT32_MAX - 1023;

    SBuf() = default;
    ~SBuf();
    SBuf(const SBuf&) = delete;
    SBuf& operator=(const SBuf&) = delete;

    void Free();
    // Room for n bytes, length n; the old contents are kept only when the capacity stays
    // the same. A negative n counts as 0. Throws std::bad_alloc above kMaxLength (nothing
    // changes) or when the block cannot be allocated (the buffer is then empty).
    void Resize(int32_t n);
    // Reads the whole file and leaves extra bytes of room after its contents. False when
    // the file cannot be opened, its size plus extra is above kMaxLength (the buffer then
    // keeps what it held), or it cannot be read whole or no block is to be had (the
    // buffer is then empty: never half a file).
    bool Load(const WCHAR* path, int32_t extra);
    // Load, then zeroes the extra bytes.
    bool LoadPadded(const WCHAR* path, int32_t extra);

    // The length a file of that size (GetFileSize's low and high parts) takes with extra
    // bytes of room; false when it does not fit a buffer.
    static bool LoadLength(DWORD sizeLow, DWORD sizeHigh, int32_t extra, int32_t* length);

    const char* Data() const { return m_data; }
    int32_t Capacity() const { return m_capacity; }
    int32_t Length() const { return m_length; }

protected:
    char* m_data = nullptr;
    int32_t m_capacity = 0;  // a multiple of 1024; 0 when m_data is null
    int32_t m_length = 0;    // the file's size plus the extra room
};

class SIni : public SBuf {
public:
    static const SClassRecord kClassRecord;  // "SIni"

    // The first line after the header "[name]" (name compared without case), or null.
    const char* FindSection(const char* name) const;
    // Where the section whose body starts at body ends: the next line that begins with
    // "[" after optional blanks, or the end of the text.
    const char* SectionEnd(const char* body) const;
    // The value of key in section, assigned to out; when not found, out gets fallback
    // (or keeps its value for a null fallback) and the result is false.
    bool GetValue(SStr& out, const char* section, const char* key, const char* fallback) const;
};
