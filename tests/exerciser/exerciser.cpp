// A request exerciser for PEXACTRL: sends device-control requests with every function
// number of its device type, every method and access value, random codes, and buffer
// lengths from 0 to 512 in both directions, with zero, random and patterned contents, on
// machines with the chip at either port or none and with the firmware service present,
// absent or answering nonsense. For every request it checks that the request was
// completed exactly once and not left pending (the I/O manager throws otherwise), that
// status and information are those of the control-code table, that the returned bytes are
// sound, that a rejected request touched no port, and that no request ever reached the
// DMA controller's ports. The system buffer is allocated exactly, so under
// AddressSanitizer any access outside it stops the run.
//
//   pexa-exerciser [--seed N] [--full-up-to N] [--samples N] [--random-codes N]
//                  [--every-code-rounds N] [--reload-every N] [--quiet]
//
// Prints one summary line: "exerciser: N requests tried, M failures (...)"; exit code 0
// only with no failure.
#include <windows.h>
#include <ntddk.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "control_table.h"
#include "machines.h"
#include "pexactrl.h"

namespace exerciser {
namespace {

const uint32_t kMaxLength = 512;
const uint32_t kDeviceType = FILE_DEVICE_UNKNOWN;
const uint32_t kFunctionCount = 0x1000;
const uint8_t kOutFill = 0xEE;
const size_t kFailuresShown = 20;
// Now and then the remote sends a code, so that read-code requests also find bytes.
const uint64_t kPressEvery = 997;

struct Options {
    uint32_t seed = 0x5EED;
    uint32_t fullUpTo = 48;        // every (in, out) pair up to this length for the table's codes
    uint32_t samples = 1000;       // random pairs above it, per table code and machine
    uint32_t randomCodes = 4000;   // per machine
    uint32_t everyCodeRounds = 1;  // requests per code of the device type, per machine
    uint32_t reloadEvery = 5000;   // a fresh driver load after this many requests
    bool quiet = false;
};

enum class Contents { kZero, kRandom, kPattern, kBiosShaped, kCount };

const char* ContentsName(Contents c)
{
    switch (c) {
    case Contents::kZero: return "zero";
    case Contents::kRandom: return "random";
    case Contents::kPattern: return "pattern";
    default: return "bios-shaped";
    }
}

struct Tally {
    uint64_t requests = 0;
    uint64_t failures = 0;
    uint64_t succeeded = 0;
    uint64_t codesRead = 0;  // read-code requests that returned a code
    uint64_t driverLoads = 0;
};

class Session {
public:
    Session(const MachineKind& kind, const Options& options, Tally& tally, std::mt19937& random)
        : kind_(kind), options_(options), tally_(tally), random_(random)
    {
        sim::MachineConfig config;
        config.hardware = kind.hardware;
        config.installDir = "";
        config.driver = true;
        machine_ = std::make_unique<sim::Machine>(config);
        ++tally_.driverLoads;
        OpenDevice();
    }

    ~Session()
    {
        if (file_ && machine_->io.IsFile(file_))
            machine_->io.Close(file_);
    }

    void Send(uint32_t code, uint32_t inLength, uint32_t outLength, Contents contents)
    {
        if (file_ == nullptr)
            return;
        MaybeReload();
        MaybePress();
        std::vector<uint8_t> in = Fill(inLength, contents);
        std::vector<uint8_t> out(outLength, kOutFill);
        const uint64_t portsBefore = machine_->notebook->portAccesses();
        const uint64_t dmaBefore = DmaAccesses();
        uint32_t returned = 0;
        uint32_t error = 0;
        bool ok = false;
        ++tally_.requests;
        ++sinceLoad_;
        try {
            ok = machine_->io.DeviceControl(file_, code, in.empty() ? nullptr : in.data(), inLength,
                                            out.empty() ? nullptr : out.data(), outLength, returned,
                                            error);
        } catch (const std::exception& e) {
            Fail(code, in, outLength, contents, std::string("completion: ") + e.what());
            return;
        }
        const auto& events = machine_->trace.Events();
        if (events.empty() || events.back().event != "ioctl") {
            Fail(code, in, outLength, contents, "no request reached the driver");
            return;
        }
        const int32_t status = static_cast<int32_t>(events.back().fields["status"].get<uint32_t>());
        const uint64_t information = events.back().fields["info"].get<uint64_t>();
        machine_->trace.Clear();
        const bool portsTouched = machine_->notebook->portAccesses() != portsBefore;
        if (DmaAccesses() != dmaBefore)
            return Fail(code, in, outLength, contents, "the DMA controller's ports were touched");
        Check(code, in, out, contents, ok, status, information, returned, portsTouched);
    }

private:
    void OpenDevice()
    {
        uint32_t error = 0;
        file_ = machine_->io.Open(PEXACTRL_USER_PATH, error);
        if (file_ == nullptr)
            Fail(0, {}, 0, Contents::kZero, "cannot open the device, error " + std::to_string(error));
        sinceLoad_ = 0;
    }

    // A fresh load starts the driver with its globals at zero again.
    void MaybeReload()
    {
        if (options_.reloadEvery == 0 || sinceLoad_ < options_.reloadEvery)
            return;
        machine_->io.Close(file_);
        file_ = nullptr;
        if (!machine_->io.UnloadDriver("PEXACTRL") || machine_->io.LoadDriver("PEXACTRL") != 0) {
            Fail(0, {}, 0, Contents::kZero, "driver unload and load failed");
            return;
        }
        ++tally_.driverLoads;
        OpenDevice();
    }

    void MaybePress()
    {
        if (++pressCountdown_ < kPressEvery || !machine_->notebook->HasChip())
            return;
        pressCountdown_ = 0;
        const uint8_t code[3] = {0x33, 0x33, 0x33};
        machine_->notebook->PressRemote(machine_->clock.now, code);
    }

    std::vector<uint8_t> Fill(uint32_t length, Contents contents)
    {
        std::vector<uint8_t> bytes(length, 0);
        switch (contents) {
        case Contents::kZero:
            break;
        case Contents::kRandom:
            for (auto& b : bytes)
                b = static_cast<uint8_t>(random_());
            break;
        case Contents::kPattern:
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(i * 37 + 5);
            break;
        default:
            FillBiosShaped(bytes);
            break;
        }
        return bytes;
    }

    // A register block whose offsets fall near the end of the request, where the data
    // area check decides.
    void FillBiosShaped(std::vector<uint8_t>& bytes)
    {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random_());
        if (bytes.size() < sizeof(IR_BIOS_REGS))
            return;
        IR_BIOS_REGS regs;
        std::memcpy(&regs, bytes.data(), sizeof regs);
        const uint32_t span = static_cast<uint32_t>(bytes.size()) + 8;
        regs.Eax = (random_() & 1) ? IR_BIOS_FUNCTION : regs.Eax;
        regs.Ebx = (random_() & 1) ? IR_BIOS_PRODUCT_NAME : IR_BIOS_OEM_ID;
        regs.Esi = random_() % span;
        regs.Edi = random_() % span;
        regs.EsiIsOffset = random_() % 3 ? 1 : 0;
        regs.EdiIsOffset = random_() % 4 ? 0 : 0x80000000u;
        std::memcpy(bytes.data(), &regs, sizeof regs);
    }

    void Check(uint32_t code, const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
               Contents contents, bool ok, int32_t status, uint64_t information, uint32_t returned,
               bool portsTouched)
    {
        const Expected expected = Expect(code, in, static_cast<uint32_t>(out.size()));
        char text[160];
        if (status != expected.status) {
            std::snprintf(text, sizeof text, "status 0x%08X, expected 0x%08X", static_cast<uint32_t>(status),
                          static_cast<uint32_t>(expected.status));
            return Fail(code, in, out.size(), contents, text);
        }
        const bool informationRight = information == expected.information ||
                                      (expected.informationMayBeZero && information == 0);
        if (!informationRight) {
            std::snprintf(text, sizeof text, "information %llu, expected %llu",
                          static_cast<unsigned long long>(information),
                          static_cast<unsigned long long>(expected.information));
            return Fail(code, in, out.size(), contents, text);
        }
        if (ok != (status == kStatusSuccess))
            return Fail(code, in, out.size(), contents, "DeviceIoControl's result disagrees with the status");
        if (portsTouched && !expected.mayTouchPorts)
            return Fail(code, in, out.size(), contents, "a port was touched");
        if (status == kStatusSuccess) {
            ++tally_.succeeded;
            if (information == IR_CODE_LENGTH && expected.informationMayBeZero)
                ++tally_.codesRead;
            if (returned != std::min<uint64_t>(information, out.size()))
                return Fail(code, in, out.size(), contents, "bytes returned differ from the information");
            std::string wrong = CheckOutput(code, in, out, returned, kOutFill, kind_.firmwarePresent);
            if (!wrong.empty())
                return Fail(code, in, out.size(), contents, wrong);
        } else if (returned != 0) {
            return Fail(code, in, out.size(), contents, "a failed request returned bytes");
        }
    }

    uint64_t DmaAccesses()
    {
        const hw::DmaController& dma = machine_->notebook->dma();
        return uint64_t(dma.writeCount()) + dma.readCount();
    }

    void Fail(uint32_t code, const std::vector<uint8_t>& in, size_t outLength, Contents contents,
              const std::string& what)
    {
        if (tally_.failures++ < kFailuresShown)
            std::printf("FAIL [%s] %s in %zu out %zu (%s): %s\n", kind_.name.c_str(), CodeName(code).c_str(),
                        in.size(), outLength, ContentsName(contents), what.c_str());
    }

    const MachineKind& kind_;
    const Options& options_;
    Tally& tally_;
    std::mt19937& random_;
    std::unique_ptr<sim::Machine> machine_;
    void* file_ = nullptr;
    uint64_t sinceLoad_ = 0;
    uint64_t pressCountdown_ = 0;
};

Contents NextContents(uint64_t i)
{
    return static_cast<Contents>(i % static_cast<uint64_t>(Contents::kCount));
}

// Lengths that the table's rows test, and some around them.
const uint32_t kInterestingLengths[] = {0, 1, 2, 3, 4, 39, 40, 41, 103, 104, 105, 512};

// Every function number with every method and access value, lengths taken in turn from
// the interesting ones and at random.
void EveryCode(Session& session, const Options& options, std::mt19937& random)
{
    uint64_t i = 0;
    const size_t lengths = sizeof kInterestingLengths / sizeof kInterestingLengths[0];
    for (uint32_t round = 0; round < options.everyCodeRounds; ++round)
        for (uint32_t function = 0; function < kFunctionCount; ++function)
            for (uint32_t method = 0; method < 4; ++method)
                for (uint32_t access = 0; access < 4; ++access, ++i) {
                    const uint32_t code = CTL_CODE(kDeviceType, function, method, access);
                    uint32_t in = kInterestingLengths[i % lengths];
                    uint32_t out = (i / lengths) % 2 ? in : random() % (kMaxLength + 1);
                    session.Send(code, in, out, NextContents(i));
                }
}

void RandomCodes(Session& session, const Options& options, std::mt19937& random)
{
    for (uint32_t i = 0; i < options.randomCodes; ++i) {
        uint32_t code = random();
        if (i % 2)  // half of them of the driver's own device type
            code = (code & 0xFFFF) | (kDeviceType << 16);
        session.Send(code, random() % (kMaxLength + 1), random() % (kMaxLength + 1), NextContents(i));
    }
}

// Every pair of lengths up to fullUpTo, and samples above it, for each code of the table.
void TableLengths(Session& session, const Options& options, std::mt19937& random)
{
    uint64_t i = 0;
    const uint32_t full = std::min(options.fullUpTo, kMaxLength);
    for (uint32_t code : TableCodes()) {
        for (uint32_t in = 0; in <= full; ++in)
            for (uint32_t out = 0; out <= full; ++out)
                session.Send(code, in, out, NextContents(i++));
        if (full == kMaxLength)
            continue;
        for (uint32_t s = 0; s < options.samples; ++s) {
            uint32_t in = random() % (kMaxLength + 1);
            uint32_t out = random() % 4 == 0 ? in : random() % (kMaxLength + 1);
            if (std::max(in, out) <= full)
                in = full + 1 + random() % (kMaxLength - full);
            session.Send(code, in, out, NextContents(i++));
        }
    }
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        uint32_t value = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        if (arg == "--seed") options.seed = value;
        else if (arg == "--full-up-to") options.fullUpTo = value;
        else if (arg == "--samples") options.samples = value;
        else if (arg == "--random-codes") options.randomCodes = value;
        else if (arg == "--every-code-rounds") options.everyCodeRounds = value;
        else if (arg == "--reload-every") options.reloadEvery = value;
        else return false;
    }
    return true;
}

}  // namespace
}  // namespace exerciser

int main(int argc, char** argv)
{
    using namespace exerciser;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: pexa-exerciser [--seed N] [--full-up-to N] [--samples N] [--random-codes N]\n"
                     "                      [--every-code-rounds N] [--reload-every N] [--quiet]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::mt19937 random(options.seed);
    Tally tally;
    for (const MachineKind& kind : MachineKinds()) {
        const uint64_t before = tally.requests;
        {
            Session session(kind, options, tally, random);
            EveryCode(session, options, random);
            RandomCodes(session, options, random);
            TableLengths(session, options, random);
        }
        if (!options.quiet)
            std::printf("  %-34s %llu requests\n", kind.name.c_str(),
                        static_cast<unsigned long long>(tally.requests - before));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("exerciser: %llu requests tried, %llu failures (%llu succeeded, %llu codes read, "
                "%llu driver loads, seed 0x%X, every length pair up to %u, %.1f s)\n",
                static_cast<unsigned long long>(tally.requests),
                static_cast<unsigned long long>(tally.failures),
                static_cast<unsigned long long>(tally.succeeded),
                static_cast<unsigned long long>(tally.codesRead),
                static_cast<unsigned long long>(tally.driverLoads), options.seed,
                std::min(options.fullUpTo, 512u), seconds);
    return tally.failures == 0 ? 0 : 1;
}
