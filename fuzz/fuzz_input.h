// Splitting one fuzz input into the pieces a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzinput {

// Takes bytes up to the next 0xFF separator (or the end) as one piece.
inline std::string Piece(const uint8_t*& data, size_t& size)
{
    size_t n = 0;
    while (n < size && data[n] != 0xFF)
        ++n;
    std::string piece(reinterpret_cast<const char*>(data), n);
    const size_t taken = n < size ? n + 1 : n;
    data += taken;
    size -= taken;
    return piece;
}

// One byte, 0 when the input is used up.
inline uint8_t Byte(const uint8_t*& data, size_t& size)
{
    if (size == 0)
        return 0;
    --size;
    return *data++;
}

}  // namespace fuzzinput
