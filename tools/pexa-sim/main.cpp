// pexa-sim: runs the system's programs and driver on the simulated notebook.
//
//   pexa-sim SCENARIO.json [--trace FILE] [--ports] [--quiet] [--all-polls]
//
// The timeline folds runs of idle polls (read-code requests that found nothing) into
// one line; --all-polls prints each. The trace file always has every event.
// Prints a timeline of everything a user or another program could observe; --trace
// also writes each event as one JSON object per line. Exit codes: 0 run completed,
// 1 a simulated program crashed or the run could not go on, 2 bad scenario or usage.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "runner.h"
#include "timeline.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: pexa-sim SCENARIO.json [--trace FILE] [--ports] [--quiet] [--all-polls]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string scenarioPath;
    std::string tracePath;
    bool ports = false;
    bool quiet = false;
    bool allPolls = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--trace") == 0 && i + 1 < argc)
            tracePath = argv[++i];
        else if (std::strcmp(argv[i], "--ports") == 0)
            ports = true;
        else if (std::strcmp(argv[i], "--quiet") == 0)
            quiet = true;
        else if (std::strcmp(argv[i], "--all-polls") == 0)
            allPolls = true;
        else if (argv[i][0] == '-' || !scenarioPath.empty())
            return Usage();
        else
            scenarioPath = argv[i];
    }
    if (scenarioPath.empty())
        return Usage();

    try {
        pexasim::Scenario scenario = pexasim::Scenario::FromFile(scenarioPath);
        if (ports)
            scenario.tracePorts = true;
        std::ofstream trace;
        if (!tracePath.empty()) {
            trace.open(tracePath);
            if (!trace) {
                std::fprintf(stderr, "pexa-sim: cannot write %s\n", tracePath.c_str());
                return 2;
            }
        }
        pexasim::Runner runner(std::move(scenario));
        pexasim::IdlePollFolder folder(std::cout, allPolls);
        runner.OnEvent([&](const sim::TraceEvent& e) {
            if (!quiet)
                folder.Print(e);
            if (trace.is_open())
                trace << e.ToJson().dump() << "\n";
        });
        pexasim::RunResult result = runner.Run();
        if (!quiet)
            folder.Flush();
        std::cout << "simulated " << result.virtualUs / 1e6 << " s of virtual time in "
                  << result.wallSeconds << " s wall time";
        if (result.rebooted)
            std::cout << "; ended by a restart";
        for (const auto& program : result.stillRunning)
            std::cout << "; " << program << " still running at the end";
        std::cout << "\n";
        return result.crashes ? 1 : 0;
    } catch (const pexasim::ScenarioError& e) {
        std::fprintf(stderr, "pexa-sim: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pexa-sim: the run stopped: %s\n", e.what());
        return 1;
    }
}
