#include "runner.h"

#include <windows.h>

#include <chrono>
#include <cstring>

#include "actions.h"

namespace pexasim {

Runner::Runner(Scenario scenario) : scenario_(std::move(scenario))
{
    machine_ = std::make_unique<sim::Machine>(scenario_.machine);
    machine_->trace.portsEnabled = scenario_.tracePorts;
    ApplyPresets();
}

Runner::~Runner() = default;

void Runner::OnEvent(std::function<void(const sim::TraceEvent&)> listener)
{
    machine_->trace.AddListener(std::move(listener));
}

void Runner::ApplyPresets()
{
    sim::Machine& m = *machine_;
    for (const auto& [path, data] : scenario_.files)
        m.files.AddFile(path, data);
    // Devices first: registry presets may then change or add to what they made.
    ApplyDevices(m, scenario_.devices);
    for (const auto& preset : scenario_.registry) {
        if (preset.name)
            m.registry.SetValue(preset.key, *preset.name, preset.type, preset.data);
        else
            m.registry.Create(preset.key);
    }
}

void Runner::ScheduleSteps()
{
    sim::Machine& m = *machine_;
    for (const auto& step : scenario_.steps) {
        uint64_t at = step.atMs * hw::kMillisecond;
        if (step.action == "remote")
            ScheduleRemote(m, at, step.args["remote"].get<std::string>());
        m.scheduler.At(at, [this, &step] {
            Perform(step);
            ++stepsDone_;
        });
    }
}

void Runner::Perform(const Step& step)
{
    PerformStep(*machine_, step);
}

RunResult Runner::Run()
{
    sim::Machine& m = *machine_;
    auto wallStart = std::chrono::steady_clock::now();
    ScheduleSteps();
    uint64_t lastStepNs = scenario_.steps.empty() ? 0 : scenario_.steps.back().atMs * hw::kMillisecond;
    // The run ends when every step has been done and no program is left, one virtual
    // second after the last step, or at a restart.
    m.scheduler.shouldStop = [this, &m] {
        if (m.rebootRequested)
            return true;
        return stepsDone_ == scenario_.steps.size() && m.scheduler.Running().empty();
    };
    m.scheduler.RunUntil(lastStepNs + hw::kSecond);

    RunResult result;
    for (sim::Process* p : m.scheduler.Running())
        result.stillRunning.push_back(p->image);
    m.scheduler.KillAll();
    result.virtualUs = m.NowUs();
    result.rebooted = m.rebootRequested;
    result.events = m.trace.Events();
    for (const auto& e : result.events)
        if (e.event == "crash" || e.event == "fault")
            ++result.crashes;
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return result;
}

RunResult RunScenario(const std::string& json)
{
    Runner runner(Scenario::FromText(json));
    return runner.Run();
}

}  // namespace pexasim
