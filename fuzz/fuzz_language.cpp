// The language table's rows, and the Windows 98 resource locale read from the registry
// with a value of any type and size. ParseLanguageTable itself only adds the system's
// language id to MatchLanguageRows; its file holds statics that need a running simulated
// machine before main, so the target calls the row matcher directly.
#include <windows.h>

#include "fuzz_input.h"
#include "lib/language.h"
#include "lib/language_table.h"
#include "sim/machine.h"

namespace {

const char kResourceLocaleKey[] = "HKU\\.DEFAULT\\Control Panel\\Desktop\\ResourceLocale";

sim::Machine& Win98()
{
    static sim::Machine* machine = [] {
        sim::MachineConfig config;
        config.os = "win98";
        config.installDir = "";
        config.driver = false;
        return new sim::Machine(config);
    }();
    return *machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sim::Machine& machine = Win98();
    const uint32_t type = fuzzinput::Byte(data, size) % 12;
    std::string value = fuzzinput::Piece(data, size);
    machine.registry.SetValue(kResourceLocaleKey, "", type, std::vector<uint8_t>(value.begin(), value.end()));
    ResourceLocaleLanguageId();

    std::string rows(reinterpret_cast<const char*>(data), size);
    LanguageSelection selection = {SWStr(), SWStr(), 0x0407, 0};
    MatchLanguageRows(selection, rows.c_str());
    return 0;
}
