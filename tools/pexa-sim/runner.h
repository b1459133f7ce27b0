// Runs a scenario on a simulated machine and reports what happened.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "scenario.h"

namespace pexasim {

struct RunResult {
    uint64_t virtualUs = 0;
    double wallSeconds = 0;
    std::vector<sim::TraceEvent> events;
    bool rebooted = false;
    std::vector<std::string> stillRunning;  // programs killed at the end of the run
    int crashes = 0;
};

class Runner {
public:
    explicit Runner(Scenario scenario);
    ~Runner();

    // Each event as it happens (pexa-sim prints the timeline and writes the trace here).
    void OnEvent(std::function<void(const sim::TraceEvent&)> listener);
    RunResult Run();

    // The machine while the run lasts; tests may prepare it before Run.
    sim::Machine& Machine() { return *machine_; }

private:
    void ApplyPresets();
    void ScheduleSteps();
    void Perform(const Step& step);

    Scenario scenario_;
    std::unique_ptr<sim::Machine> machine_;
    size_t stepsDone_ = 0;
};

// Convenience for tests: runs a scenario given as JSON text.
RunResult RunScenario(const std::string& json);

}  // namespace pexasim
