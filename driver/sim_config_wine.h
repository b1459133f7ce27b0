// The machine that the x86_64 driver simulates when it runs under Wine: which Super I/O
// chip, which firmware, and which remote buttons are pressed when.
//
// A test describes it as text, one setting per line (';' also ends a setting, '#' starts
// a comment, blanks around names and values do not count):
//
//   chip = 0x4E              index port 0x2E or 0x4E, or none for a machine without it
//   registers = ldn          register model: flat (default) or ldn (logical device 5)
//   global = 25 FE           power-on value of a global register (hex index, hex value)
//   ldn5 = F1 4E             power-on value of a register of logical device 5
//   oem = _Tov,____,_Lum,____  firmware with this OEM identifier (four chunks of four)
//   product = "Skerry 21  "  firmware with this product name (quotes keep the blanks)
//   firmware = garbage       firmware answering nonsense; "none" removes the firmware
//   press = 800 33 33 33     the remote sends these bytes (a button's code is three)
//                            800 ms after the chip first went into remote mode
//
// The times of the presses count from the chip's first switch into remote mode, not from
// the driver's start: a test cannot know how long the programs take to start under
// Wine, but it knows that the tray program drains old codes right after switching remote
// mode on, so presses placed a few hundred milliseconds later always reach its polling.
//
// Parsing needs no kernel service and allocates nothing, like the hardware models.
#ifndef PEXACTRL_SIM_CONFIG_WINE_H
#define PEXACTRL_SIM_CONFIG_WINE_H

#include <stddef.h>
#include <stdint.h>

#include "sim/hw/notebook.h"

namespace simwine {

struct RemotePress {
    static constexpr size_t kMaxBytes = 16;

    uint32_t atMs;  // after the chip first entered remote mode
    uint8_t length;
    uint8_t bytes[kMaxBytes];
};

struct RemoteScript {
    static constexpr size_t kMaxPresses = 64;

    size_t count;
    RemotePress presses[kMaxPresses];
};

// Where a description went wrong, for the status the driver leaves in its service key.
struct ParseError {
    static constexpr size_t kMessageSize = 96;

    uint32_t line;  // 1-based; settings separated by ';' count as lines of their own
    char message[kMessageSize];
};

// Fills `config` and `script` from the description. `config` must hold the defaults
// (NotebookConfig's constructor) and `script` must be empty. False, with `error` set,
// for anything not understood: a wrong machine must not run silently.
bool ParseMachineDescription(const char* text, size_t length, hw::NotebookConfig& config,
                             RemoteScript& script, ParseError& error);

// Appends to a bounded text that is always terminated; what does not fit is dropped.
class TextWriter {
public:
    TextWriter(char* out, size_t size);
    void Add(const char* text);
    void AddChars(const char* text, size_t length);  // stops early at a NUL
    void AddHexByte(uint8_t value);
    void AddDecimal(uint64_t value);

private:
    void AddChar(char c);

    char* out_;
    size_t size_;
    size_t used_ = 0;
};

// One line saying what will be simulated, e.g.
// "chip 0x4E flat, firmware oem _Tov____Lum____, 4 presses".
void DescribeMachine(const hw::NotebookConfig& config, const RemoteScript& script, char* out,
                     size_t size);

}  // namespace simwine

#endif  // PEXACTRL_SIM_CONFIG_WINE_H
