// Probe of the driver's control interface, run against PEXACTRL loaded in Wine's driver
// host: every control code with right and wrong buffer lengths, checked for the status
// (as the Win32 error it arrives as), the byte count and the bytes returned, on a
// simulated machine whose description the probe itself provides.
//
//   pexa-probe machine flat|ldn   prints the machine description for the driver
//   pexa-probe run flat|ldn       runs the checks; exit code = failed checks (max 100)
//
// The steps run in table order because some change the chip (remote mode, saved mode).
#include <windows.h>
#include <winioctl.h>

#include <stdio.h>
#include <string.h>

#include "pexactrl.h"

namespace {

// What DeviceIoControl reports for the driver's statuses.
const DWORD kOk = ERROR_SUCCESS;
const DWORD kDataError = ERROR_CRC;               // STATUS_DEVICE_DATA_ERROR
const DWORD kBadCode = ERROR_INVALID_FUNCTION;    // STATUS_INVALID_DEVICE_REQUEST

const DWORD kCodeBelowTable = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS);
const DWORD kCodeAboveTable = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x83C, METHOD_BUFFERED, FILE_ANY_ACCESS);

const DWORD kAny = 0xFFFFFFFF;  // byte count not checked
const size_t kMaxBuffer = 128;
const DWORD kWaitForPressesMs = 600;  // the machines press 300 ms after remote mode

// Configuration registers of the flat model and their values on the probe machine.
const BYTE kRegConfigControl = 0x02;
const BYTE kRegIrMode = 0x0C;
const BYTE kRegUartBase = 0x25;

enum class Action { kRequest, kWaitForPresses };

struct Step {
    Action action;
    const char* name;
    DWORD code;
    DWORD inLength;
    DWORD outLength;
    const char* input;     // hex bytes placed at the start of the input, or NULL
    DWORD expectError;
    DWORD expectBytes;     // kAny: not checked
    const char* expectOut; // hex bytes expected at the start of the output, or NULL
};

#define REQUEST(code, in, out, input, error, bytes, output) \
    {Action::kRequest, #code, code, in, out, input, error, bytes, output}
#define WAIT_FOR_PRESSES {Action::kWaitForPresses, "wait", 0, 0, 0, NULL, 0, 0, NULL}

// The flat machine: chip at 0x2E, flat registers (UART at 0x3F8), firmware with both
// answers, and two codes pressed together 300 ms after remote mode goes on.
const char kFlatMachine[] =
    "chip = 0x2E\n"
    "registers = flat\n"
    "oem = _Tov,____,_Lum,____\n"
    "product = \"Skerry 21   \"\n"
    "press = 300 33 33 33\n"
    "press = 300 69 69 69\n";

const Step kFlatSteps[] = {
    // Codes outside the table and codes without buffers.
    REQUEST(kCodeBelowTable, 0, 0, NULL, kBadCode, 0, NULL),
    REQUEST(kCodeAboveTable, 0, 0, NULL, kBadCode, 0, NULL),
    REQUEST(IOCTL_IR_RESUMED, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_RESUMED, 4, 4, "01 02 03 04", kOk, 0, NULL),
    REQUEST(IOCTL_IR_NOP, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_NOP, 8, 8, NULL, kOk, 0, NULL),
    // Echo: two bytes back; shorter buffers have nothing of the caller's to give back.
    REQUEST(IOCTL_IR_ECHO2, 2, 2, "12 34", kOk, 2, "12 34"),
    REQUEST(IOCTL_IR_ECHO2, 4, 4, "56 78 9A BC", kOk, 2, "56 78"),
    REQUEST(IOCTL_IR_ECHO2, 1, 2, "12", kDataError, 0, NULL),
    REQUEST(IOCTL_IR_ECHO2, 2, 1, "12 34", kDataError, 0, NULL),
    REQUEST(IOCTL_IR_ECHO2, 0, 0, NULL, kDataError, 0, NULL),
    // Configuration reads at 0x2E: the chip's power-on values; at 0x4E nothing answers.
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "25", kOk, 1, "FE"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 4, 4, "0C", kOk, 1, "0A"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "02", kOk, 1, "04"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 0, 1, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 0, "25", kDataError, 0, NULL),
    REQUEST(IOCTL_IR_READ_CONFIG_4E, 1, 1, "25", kOk, 1, "FF"),
    REQUEST(IOCTL_IR_READ_CONFIG_4E, 0, 1, NULL, kDataError, 0, NULL),
    // Nothing waiting yet: read-code requests succeed with no bytes, and the caller's
    // buffer keeps what it held (the probe fills it with EE).
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 3, NULL, kOk, 0, "EE EE EE"),
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 2, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_READ_CODE_2E, 2, 3, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_READ_CODE_4E, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_READ_CODE_4E, 0, 0, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 4, 4, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 3, 2, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE2, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE2, 2, 2, NULL, kDataError, 0, NULL),
    // Firmware: the OEM identifier in the registers, the product name in the data area.
    REQUEST(IOCTL_IR_BIOS_CALL, 40, 40, "10 96 00 00 00 02 00 00", kOk, 40,
            "76 6F 54 5F 5F 5F 5F 5F 6D 75 4C 5F 5F 5F 5F 5F"
            " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
    REQUEST(IOCTL_IR_BIOS_CALL, 104, 104,
            "10 96 00 00 0C 00 00 00 00 00 00 00 00 00 00 00 28 00 00 00"
            " 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00",
            kOk, 104, NULL),
    REQUEST(IOCTL_IR_BIOS_CALL, 40, 104, "10 96 00 00 00 02 00 00", kDataError, 0, NULL),
    REQUEST(IOCTL_IR_BIOS_CALL, 39, 39, "10 96 00 00 00 02 00 00", kDataError, 0, NULL),
    REQUEST(IOCTL_IR_BIOS_CALL, 0, 0, NULL, kDataError, 0, NULL),
    // Save the mode, switch remote mode on (mode field 2, bit 7 of 0x02) and restore.
    REQUEST(IOCTL_IR_SAVE_MODE_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_REMOTE_ON_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "0C", kOk, 1, "12"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "02", kOk, 1, "84"),
    REQUEST(IOCTL_IR_RESTORE_MODE_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "0C", kOk, 1, "0A"),
    REQUEST(IOCTL_IR_REMOTE_ON_2E, 0, 0, NULL, kOk, 0, NULL),
    // The two presses arrive in remote mode and come back one code per request, in order.
    WAIT_FOR_PRESSES,
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 2, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 3, NULL, kOk, 3, "33 33 33"),
    REQUEST(IOCTL_IR_READ_CODE_2E, 4, 4, "AA AA AA AA", kOk, 3, "69 69 69"),
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 3, NULL, kOk, 0, NULL),
    // Normal mode again; the 4E members reach no chip on this machine and do no harm.
    // Codes without buffers neither look at nor fill buffers that come with them.
    REQUEST(IOCTL_IR_REMOTE_OFF_2E, 4, 4, "01 02 03 04", kOk, 0, "EE EE EE EE"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "0C", kOk, 1, "0A"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "02", kOk, 1, "04"),
    REQUEST(IOCTL_IR_REMOTE_ON_4E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_REMOTE_OFF_4E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_SAVE_MODE_4E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_RESTORE_MODE_4E, 2, 2, "0C 00", kOk, 0, NULL),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "0C", kOk, 1, "0A"),
    // The legacy group on a flat chip finds no UART (0x60/0x61 read 0) and reads nothing.
    REQUEST(IOCTL_IR_LEGACY_OPEN_2E, 3, 3, "00 00 00", kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_CLOSE_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_OPEN_4E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_CLOSE_4E, 0, 0, NULL, kOk, 0, NULL),
};

// The logical-device machine: chip at 0x4E, device 5 with its UART at 0x3F8, no
// firmware, one code pressed 300 ms after the legacy open switches the function on.
const char kLdnMachine[] =
    "chip = 0x4E\n"
    "registers = ldn\n"
    "firmware = none\n"
    "press = 300 96 96 96\n";

const Step kLdnSteps[] = {
    REQUEST(IOCTL_IR_READ_CONFIG_4E, 1, 1, "07", kOk, 1, "00"),
    REQUEST(IOCTL_IR_READ_CONFIG_2E, 1, 1, "07", kOk, 1, "FF"),
    // No firmware: the block comes back as sent with Carry 1.
    REQUEST(IOCTL_IR_BIOS_CALL, 40, 40, "10 96 00 00 00 02 00 00 11 11 11 11 22 22 22 22", kOk, 40,
            "10 96 00 00 00 02 00 00 11 11 11 11 22 22 22 22 00 00 00 00 00 00 00 00"
            " 00 00 00 00 01 00 00 00"),
    // Legacy open at 0x4E: device 5 active, its function in remote mode, UART found.
    REQUEST(IOCTL_IR_LEGACY_OPEN_4E, 0, 0, NULL, kOk, 0, NULL),
    WAIT_FOR_PRESSES,
    REQUEST(IOCTL_IR_LEGACY_READ_CODE2, 4, 4, NULL, kDataError, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE2, 3, 3, NULL, kOk, 3, "96 96 96"),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_CLOSE_4E, 0, 0, NULL, kOk, 0, NULL),
    // Closed again: the device no longer decodes its UART, so nothing can be read.
    REQUEST(IOCTL_IR_READ_CODE_4E, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_READ_CODE, 3, 3, NULL, kOk, 0, NULL),
    // At 0x2E nothing answers: the floating bus must not look like endless codes.
    REQUEST(IOCTL_IR_REMOTE_ON_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_READ_CODE_2E, 3, 3, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_REMOTE_OFF_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_OPEN_2E, 0, 0, NULL, kOk, 0, NULL),
    REQUEST(IOCTL_IR_LEGACY_CLOSE_2E, 0, 0, NULL, kOk, 0, NULL),
};

struct Machine {
    const char* name;
    const char* description;
    const Step* steps;
    size_t stepCount;
};

const Machine kMachines[] = {
    {"flat", kFlatMachine, kFlatSteps, sizeof(kFlatSteps) / sizeof(kFlatSteps[0])},
    {"ldn", kLdnMachine, kLdnSteps, sizeof(kLdnSteps) / sizeof(kLdnSteps[0])},
};

size_t ParseHexBytes(const char* text, BYTE* out, size_t size)
{
    size_t count = 0;
    while (text != NULL && *text != '\0' && count < size) {
        unsigned value = 0;
        int used = 0;
        if (sscanf(text, " %2x%n", &value, &used) != 1)
            break;
        out[count++] = BYTE(value);
        text += used;
    }
    return count;
}

void PrintHex(const BYTE* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        printf("%s%02X", i ? " " : "", bytes[i]);
}

class Probe {
public:
    explicit Probe(HANDLE device) : device_(device) {}

    void Run(const Step& step)
    {
        if (step.action == Action::kWaitForPresses) {
            Sleep(kWaitForPressesMs);
            return;
        }
        BYTE input[kMaxBuffer];
        BYTE output[kMaxBuffer];
        memset(input, 0, sizeof(input));
        memset(output, 0xEE, sizeof(output));
        ParseHexBytes(step.input, input, sizeof(input));
        DWORD bytes = 0xDEAD;
        SetLastError(0);
        BOOL ok = DeviceIoControl(device_, step.code, step.inLength ? input : NULL, step.inLength,
                                  step.outLength ? output : NULL, step.outLength, &bytes, NULL);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok)
            bytes = 0;

        char problem[256] = "";
        if (error != step.expectError)
            snprintf(problem, sizeof(problem), "error %lu, expected %lu", (unsigned long)error,
                     (unsigned long)step.expectError);
        else if (step.expectBytes != kAny && bytes != step.expectBytes)
            snprintf(problem, sizeof(problem), "%lu bytes, expected %lu", (unsigned long)bytes,
                     (unsigned long)step.expectBytes);
        else if (!OutputMatches(step, output))
            snprintf(problem, sizeof(problem), "output differs, expected %s", step.expectOut);
        if (step.code == IOCTL_IR_BIOS_CALL && ok && problem[0] == '\0')
            CheckProductName(step, output, problem, sizeof(problem));

        ++checks_;
        if (problem[0] != '\0')
            ++failures_;
        printf("%s %-28s 0x%06lX in %3lu out %3lu: error %lu, %lu bytes", problem[0] ? "FAIL" : "ok  ",
               step.name, (unsigned long)step.code, (unsigned long)step.inLength,
               (unsigned long)step.outLength, (unsigned long)error, (unsigned long)bytes);
        if (ok && bytes > 0 && bytes <= step.outLength) {
            printf(" [");
            PrintHex(output, bytes > 16 ? 16 : bytes);
            printf(bytes > 16 ? " ...]" : "]");
        }
        if (problem[0] != '\0')
            printf(" -- %s", problem);
        printf("\n");
    }

    int checks() const { return checks_; }
    int failures() const { return failures_; }

private:
    static bool OutputMatches(const Step& step, const BYTE* output)
    {
        BYTE expected[kMaxBuffer];
        size_t count = ParseHexBytes(step.expectOut, expected, sizeof(expected));
        return memcmp(expected, output, count) == 0;
    }

    // The product-name request: Carry 0 and the name at byte 40, blanks kept.
    static void CheckProductName(const Step& step, const BYTE* output, char* problem, size_t size)
    {
        if (step.inLength != 104)
            return;
        const IR_BIOS_REGS* regs = (const IR_BIOS_REGS*)output;
        const char* name = (const char*)output + sizeof(IR_BIOS_REGS);
        const char kExpected[] = "Skerry 21   ";
        if (regs->Carry != 0 || memcmp(name, kExpected, sizeof(kExpected)) != 0)
            snprintf(problem, size, "Carry %u, name \"%.20s\", expected Carry 0 and \"%s\"",
                     regs->Carry, name, kExpected);
    }

    HANDLE device_;
    int checks_ = 0;
    int failures_ = 0;
};

const Machine* FindMachine(const char* name)
{
    for (const Machine& machine : kMachines) {
        if (strcmp(machine.name, name) == 0)
            return &machine;
    }
    return NULL;
}

int RunMachine(const Machine& machine)
{
    HANDLE device = CreateFileA(PEXACTRL_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (device == INVALID_HANDLE_VALUE) {
        printf("FAIL open %s: error %lu\n", PEXACTRL_USER_PATH, (unsigned long)GetLastError());
        return 1;
    }
    Probe probe(device);
    for (size_t i = 0; i < machine.stepCount; ++i)
        probe.Run(machine.steps[i]);
    CloseHandle(device);
    printf("probe %s: %d checks, %d failed\n", machine.name, probe.checks(), probe.failures());
    return probe.failures() > 100 ? 100 : probe.failures();
}

}  // namespace

int main(int argc, char** argv)
{
    const Machine* machine = argc == 3 ? FindMachine(argv[2]) : NULL;
    int result = 2;
    if (machine != NULL && strcmp(argv[1], "machine") == 0) {
        fputs(machine->description, stdout);
        result = 0;
    } else if (machine != NULL && strcmp(argv[1], "run") == 0) {
        result = RunMachine(*machine);
    } else {
        printf("usage: pexa-probe machine|run flat|ldn\n");
    }
    fflush(stdout);
    return result;
}
