// Small helpers for system tests that run scenarios and read their events.
#pragma once

#include <string>
#include <vector>

#include "runner.h"

namespace pexatest {

using pexasim::RunResult;
using sim::Json;
using sim::TraceEvent;

inline std::vector<TraceEvent> Events(const RunResult& result, const std::string& name)
{
    std::vector<TraceEvent> found;
    for (const auto& e : result.events)
        if (e.event == name)
            found.push_back(e);
    return found;
}

// A scenario text from a machine object and a list of steps.
inline std::string ScenarioText(const Json& machine, const Json& steps)
{
    return Json{{"machine", machine}, {"steps", steps}}.dump();
}

inline RunResult RunSteps(const Json& machine, const Json& steps)
{
    return pexasim::RunScenario(ScenarioText(machine, steps));
}

}  // namespace pexatest
