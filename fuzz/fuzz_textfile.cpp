// Text tables: FindSection, SectionEnd and GetValue on arbitrary bytes, loaded as a table
// file is (its bytes, then two zero bytes of room).
#include <cstring>

#include "fuzz_input.h"
#include "lib/textfile.h"

namespace {

const int32_t kLoadPadding = 2;

// A table filled from memory instead of a file.
class BytesTable : public SIni {
public:
    void Take(const std::string& bytes)
    {
        Resize(static_cast<int32_t>(bytes.size()) + kLoadPadding);
        std::memcpy(m_data, bytes.data(), bytes.size());
        std::memset(m_data + bytes.size(), 0, kLoadPadding);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string section = fuzzinput::Piece(data, size);
    std::string key = fuzzinput::Piece(data, size);
    BytesTable table;
    table.Take(std::string(reinterpret_cast<const char*>(data), size));
    for (const char* name : {section.c_str(), "String", "Menu", "language id"}) {
        const char* body = table.FindSection(name);
        if (body)
            table.SectionEnd(body);
        SStr value;
        table.GetValue(value, name, key.c_str(), "fallback");
        table.GetValue(value, name, "NameVersion", nullptr);
    }
    return 0;
}
