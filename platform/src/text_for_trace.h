// 8-bit texts of the programs as trace text.
#pragma once

#include <string>

namespace sim {

// The programs' 8-bit texts are in the system's ANSI code page; the trace is UTF-8.
// Bytes from 0x80 are read as windows-1252, which covers the Western languages.
std::string TraceText(const std::string& ansi);

}  // namespace sim
