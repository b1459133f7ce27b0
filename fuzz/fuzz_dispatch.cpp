// The driver's device-control dispatch with arbitrary codes, lengths and bytes, on a
// machine with the chip and the firmware service. The system buffer is allocated exactly,
// so AddressSanitizer sees any access past it; a request completed twice or never makes
// the I/O manager throw, which ends the run as a crash.
#include <windows.h>

#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "pexactrl.h"
#include "sim/machine.h"

namespace {

const uint32_t kMaxLength = 4096;

struct Driver {
    sim::Machine* machine;
    void* file;
};

Driver& Loaded()
{
    static Driver driver = [] {
        sim::MachineConfig config;
        config.installDir = "";
        config.driver = true;
        config.hardware.firmware.present = true;
        config.hardware.firmware.SetOemId("_Tov", "____", "_Lum", "____");
        config.hardware.firmware.SetProductName("Skerry 46");
        Driver d{new sim::Machine(config), nullptr};
        uint32_t error = 0;
        d.file = d.machine->io.Open(PEXACTRL_USER_PATH, error);
        if (!d.file)
            __builtin_trap();  // is PEXACTRL.so built next to the fuzzer?
        return d;
    }();
    return driver;
}

uint32_t Word(const uint8_t*& data, size_t& size)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | fuzzinput::Byte(data, size);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Driver& driver = Loaded();
    uint32_t code = Word(data, size);
    if (code & 0x80000000u)  // most inputs aim at the driver's own codes
        code = 0x00220000u | (0x800 + (code & 0x3F)) << 2;
    const uint32_t outLength = Word(data, size) % (kMaxLength + 1);
    std::vector<uint8_t> in(data, data + std::min<size_t>(size, kMaxLength));
    std::vector<uint8_t> out(outLength, 0xEE);
    uint32_t returned = 0, error = 0;
    driver.machine->io.DeviceControl(driver.file, code, in.empty() ? nullptr : in.data(),
                                     static_cast<uint32_t>(in.size()), out.empty() ? nullptr : out.data(),
                                     outLength, returned, error);
    driver.machine->trace.Clear();
    if (returned > outLength)
        __builtin_trap();
    return 0;
}
