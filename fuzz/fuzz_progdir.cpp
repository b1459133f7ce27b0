// The program directory search with arbitrary command lines, current directories and
// PATH values (the NT family, which reads them all).
#include <windows.h>

#include "fuzz_input.h"
#include "lib/progdir.h"
#include "sim/machine.h"

namespace {

sim::Machine& Machine()
{
    static sim::Machine* machine = [] {
        sim::MachineConfig config;
        config.os = "win2000";
        config.driver = false;
        auto* m = new sim::Machine(config);
        m->files.AddFile("C:\\bin\\tray.exe", "MZ");
        m->files.AddDirectory("C:\\work\\tray.exe");
        return m;
    }();
    return *machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sim::Machine& machine = Machine();
    const uint8_t flags = fuzzinput::Byte(data, size);
    machine.hostProcess.commandLineA = fuzzinput::Piece(data, size);
    machine.hostProcess.cwd = fuzzinput::Piece(data, size);
    if (flags & 1)
        machine.hostProcess.env.erase("PATH");
    else
        machine.hostProcess.env["PATH"] = fuzzinput::Piece(data, size);
    GetProgramDirectory();
    return 0;
}
