// ParseHex and FindNoCase on arbitrary text and patterns; the tray program's and the
// selector's options are found with FindNoCase in the command line.
#include <cstring>

#include "fuzz_input.h"
#include "lib/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text = fuzzinput::Piece(data, size);
    std::string pattern(reinterpret_cast<const char*>(data), size);
    ParseHex(text.c_str());
    const char* found = FindNoCase(text.c_str(), pattern.c_str());
    if (found && (found < text.c_str() || found > text.c_str() + text.size()))
        __builtin_trap();  // a match must lie inside the text
    for (const char* option : {"-V", "/V", "-b4", "/b4", "-c", "/c"})
        FindNoCase(text.c_str(), option);
    return 0;
}
