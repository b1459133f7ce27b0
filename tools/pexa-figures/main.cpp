// pexa-figures: measures the system's own figures on the simulated notebook and writes
// them as one JSON object (tools/perf-report turns it into the report).
//
//   pexa-figures [--out FILE] [--scenarios DIR] [--presses N] [--seed N] [--quick]
//
// --scenarios writes every scenario it runs, so that any of them can be run again with
// pexa-sim; --quick runs fewer and shorter scenarios (for a first look, not the report).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "figures.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: pexa-figures [--out FILE] [--scenarios DIR] [--presses N] [--seed N] "
                 "[--quick]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    figures::Options options;
    std::string outPath;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--scenarios") == 0 && hasValue) {
            options.scenarioDir = argv[++i];
        } else if (std::strcmp(argv[i], "--presses") == 0 && hasValue) {
            options.latencyPresses = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            options.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            options.latencyPresses = 200;
            options.lossSecondsPerRate = 10;
            options.speedSeconds = 600;
        } else {
            return Usage();
        }
    }
    if (options.latencyPresses < 1)
        return Usage();

    try {
        figures::Json all = figures::LatencyAndDriverWork(options);
        all["driver"]["cut_short"] = figures::CutShortCode(options);
        all["lost_codes"] = figures::LostCodes(options);
        all["simulator"] = figures::SimulatorSpeed(options);
        all["seed"] = options.seed;
        if (outPath.empty()) {
            std::cout << all.dump(1) << "\n";
        } else {
            std::ofstream out(outPath);
            out << all.dump(1) << "\n";
            if (!out) {
                std::fprintf(stderr, "pexa-figures: cannot write %s\n", outPath.c_str());
                return 1;
            }
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pexa-figures: %s\n", e.what());
        return 1;
    }
}
