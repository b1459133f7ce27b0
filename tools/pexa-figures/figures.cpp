#include "figures.h"

#include <winioctl.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

#include "pexactrl.h"
#include "runner.h"

namespace figures {

namespace {

constexpr uint8_t kVkPageUp = 0x21;
constexpr uint8_t kVkPageDown = 0x22;
constexpr uint64_t kFirstPressMs = 1000;  // the program is up and polling by then
constexpr uint64_t kDrainMs = 3000;       // time after the last press to read what is left

// ---- scenarios ----

struct Press {
    uint64_t atMs;
    bool pageUp;  // code 33 33 33; otherwise CC CC CC
};

// The tray program started at 0 and closed kDrainMs after the last press, or after
// `busyUntilMs` when the presses come from elsewhere.
Json TrayScenario(const std::string& name, const std::vector<Press>& presses, bool tracePorts,
                  uint64_t busyUntilMs = 0)
{
    Json steps = Json::array();
    steps.push_back({{"at_ms", 0}, {"run", "C:\\Pexa\\pexasmsc2k.exe"}});
    for (const Press& press : presses)
        steps.push_back(
            {{"at_ms", press.atMs}, {"remote", press.pageUp ? "33 33 33" : "CC CC CC"}});
    const uint64_t lastMs =
        std::max(busyUntilMs, presses.empty() ? kFirstPressMs : presses.back().atMs);
    steps.push_back({{"at_ms", lastMs + kDrainMs}, {"post", "WM_CLOSE"}});
    return {{"name", name},
            {"machine", {{"os", "win2000"}, {"trace_ports", tracePorts}}},
            {"steps", steps}};
}

void SaveScenario(const Options& options, const std::string& file, const Json& scenario)
{
    if (options.scenarioDir.empty())
        return;
    std::ofstream out(options.scenarioDir + "/" + file + ".json");
    out << scenario.dump(1) << "\n";
}

// ---- what a run showed ----

struct Request {
    uint64_t startNs = 0;
    uint64_t endNs = 0;
    uint64_t ports = 0;
    uint64_t timeQueries = 0;
    uint64_t information = 0;
    std::string data;  // hex of the bytes returned
};

struct KeyPress {
    uint64_t atNs;
    uint8_t vk;
};

struct Observed {
    std::vector<KeyPress> keys;  // key-down events only
    std::vector<Request> reads;  // read-code requests
    pexasim::RunResult result;
    uint32_t uartOverruns = 0;
};

// Runs a scenario and sorts its events as they happen, with the clock in nanoseconds.
class Observer {
public:
    // `prepare` may script the machine before the run (presses at exact times).
    Observed Run(const Json& scenario, const std::function<void(sim::Machine&)>& prepare = {})
    {
        pexasim::Runner runner(pexasim::Scenario::FromJson(scenario));
        sim::Machine& machine = runner.Machine();
        if (prepare)
            prepare(machine);
        runner.OnEvent([this, &machine](const sim::TraceEvent& e) { Take(machine, e); });
        seen_.result = runner.Run();
        if (seen_.result.crashes)
            throw std::runtime_error("a simulated program crashed in " +
                                     scenario["name"].get<std::string>());
        seen_.uartOverruns = machine.notebook->uart().state().overruns;
        return std::move(seen_);
    }

private:
    void Take(sim::Machine& machine, const sim::TraceEvent& e)
    {
        const uint64_t now = machine.clock.now;
        if (e.event == "port") {
            if (pending_.ports++ == 0)
                pending_.startNs = now - hw::Notebook::kBusCycle;
        } else if (e.event == "ioctl") {
            TakeRequest(machine, e, now);
        } else if (e.event == "key" && !e.fields["up"].get<bool>()) {
            seen_.keys.push_back({now, e.fields["vk"].get<uint8_t>()});
        }
    }

    void TakeRequest(sim::Machine& machine, const sim::TraceEvent& e, uint64_t now)
    {
        const uint64_t queries = machine.io.TimeQueries();
        if (e.fields["code"].get<uint32_t>() == IOCTL_IR_READ_CODE_2E) {
            pending_.endNs = now;
            pending_.timeQueries = queries - queriesBefore_;
            pending_.information = e.fields["info"].get<uint64_t>();
            pending_.data = e.fields["out_data"].get<std::string>();
            if (pending_.ports == 0)
                pending_.startNs = now;
            seen_.reads.push_back(pending_);
        }
        pending_ = Request();
        queriesBefore_ = queries;
    }

    Observed seen_;
    Request pending_;
    uint64_t queriesBefore_ = 0;
};

// ---- statistics ----

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::vector<double>& sorted = values;
    const double rank = fraction * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(std::floor(rank));
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (rank - static_cast<double>(below));
}

Json Spread(const std::vector<double>& values)
{
    if (values.empty())
        return {{"count", 0}};
    double sum = 0;
    for (double v : values)
        sum += v;
    return {{"count", values.size()},
            {"min", *std::min_element(values.begin(), values.end())},
            {"median", Percentile(values, 0.5)},
            {"p99", Percentile(values, 0.99)},
            {"max", *std::max_element(values.begin(), values.end())},
            {"mean", sum / static_cast<double>(values.size())}};
}

// Port accesses, time in the driver and clock reads of a set of requests.
Json RequestWork(const std::vector<const Request*>& requests)
{
    std::vector<double> ports, timeUs, queries;
    for (const Request* r : requests) {
        ports.push_back(static_cast<double>(r->ports));
        timeUs.push_back(static_cast<double>(r->endNs - r->startNs) / 1000.0);
        queries.push_back(static_cast<double>(r->timeQueries));
    }
    return {{"ports", Spread(ports)},
            {"time_us", Spread(timeUs)},
            {"time_queries", Spread(queries)}};
}

Json DriverWork(const Observed& seen)
{
    std::vector<const Request*> idle, code;
    for (const Request& r : seen.reads)
        (r.information ? code : idle).push_back(&r);
    return {{"idle_poll", RequestWork(idle)}, {"code_poll", RequestWork(code)}};
}

// Each press is read before the next one comes (the gaps are longer than two polls),
// so the n-th key belongs to the n-th press.
Json Latency(const Observed& seen, const std::vector<uint64_t>& pressNs,
             const std::vector<Press>& presses)
{
    std::vector<double> latencyUs;
    size_t wrongKeys = 0;
    const size_t paired = std::min(pressNs.size(), seen.keys.size());
    for (size_t i = 0; i < paired; ++i) {
        latencyUs.push_back(static_cast<double>(seen.keys[i].atNs - pressNs[i]) / 1000.0);
        const uint8_t expected = presses[i].pageUp ? kVkPageUp : kVkPageDown;
        wrongKeys += seen.keys[i].vk != expected;
    }
    Json figures = Spread(latencyUs);
    figures["presses"] = presses.size();
    figures["keys"] = seen.keys.size();
    figures["wrong_keys"] = wrongKeys;
    figures["bound_us"] = kPollPeriodUs + kCodeAirUs;
    figures["air_us"] = kCodeAirUs;
    figures["poll_period_us"] = kPollPeriodUs;
    figures["samples_us"] = latencyUs;
    return figures;
}

std::vector<Press> PressesWithGaps(const std::vector<uint64_t>& gapsMs)
{
    std::vector<Press> presses;
    uint64_t at = kFirstPressMs;
    for (size_t i = 0; i < gapsMs.size(); ++i) {
        at += gapsMs[i];
        presses.push_back({at, i % 2 == 0});
    }
    return presses;
}

// ---- lost codes ----

std::vector<Press> EvenPresses(double perSecond, double seconds)
{
    std::vector<Press> presses;
    const auto count = static_cast<size_t>(perSecond * seconds);
    for (size_t i = 0; i < count; ++i) {
        const double atMs = 1000.0 * static_cast<double>(i) / perSecond;
        presses.push_back({kFirstPressMs + static_cast<uint64_t>(std::llround(atMs)), i % 2 == 0});
    }
    return presses;
}

std::vector<Press> RandomPresses(double perSecond, double seconds, std::mt19937& random)
{
    std::exponential_distribution<double> gapMs(perSecond / 1000.0);
    std::vector<Press> presses;
    double at = 0;
    const auto count = static_cast<size_t>(perSecond * seconds);
    for (size_t i = 0; i < count; ++i) {
        at += gapMs(random);
        presses.push_back({kFirstPressMs + static_cast<uint64_t>(std::llround(at)), i % 2 == 0});
    }
    return presses;
}

// A read whose three bytes differ came from two codes: bytes were lost on the way and
// the reads no longer line up with the codes.
size_t MisframedReads(const Observed& seen)
{
    size_t misframed = 0;
    for (const Request& r : seen.reads)
        if (r.information && r.data != "33 33 33" && r.data != "CC CC CC")
            ++misframed;
    return misframed;
}

Json LossAtRate(const Options& options, const std::string& pattern, double perSecond,
                const std::vector<Press>& presses)
{
    char name[64];
    std::snprintf(name, sizeof name, "lost-%s-%.2f-per-s", pattern.c_str(), perSecond);
    const Json scenario = TrayScenario(name, presses, false);
    SaveScenario(options, name, scenario);
    const Observed seen = Observer().Run(scenario);
    const size_t keys = seen.keys.size();
    return {{"pattern", pattern},
            {"per_second", perSecond},
            {"presses", presses.size()},
            {"keys", keys},
            {"lost", presses.size() > keys ? presses.size() - keys : 0},
            {"misframed_reads", MisframedReads(seen)},
            {"overrun_bytes", seen.uartOverruns}};
}

}  // namespace

Json LatencyAndDriverWork(const Options& options)
{
    std::mt19937_64 random(options.seed);
    // Gaps of 400 to 1400 ms, to the nanosecond: every press lands at a random point of
    // the poll period, now and then while a poll is under way, and is read before the
    // next one comes. The scenario format counts whole milliseconds, which would put
    // every press at the same distance from the polls; so the presses are scripted on
    // the machine's remote, and the saved scenario has them to the millisecond.
    std::uniform_int_distribution<uint64_t> gapNs(400 * hw::kMillisecond,
                                                  1400 * hw::kMillisecond - 1);
    std::vector<uint64_t> pressNs;
    std::vector<Press> presses;
    uint64_t at = kFirstPressMs * hw::kMillisecond;
    for (int i = 0; i < options.latencyPresses; ++i) {
        at += gapNs(random);
        pressNs.push_back(at);
        presses.push_back({at / hw::kMillisecond, i % 2 == 0});
    }
    SaveScenario(options, "latency", TrayScenario("latency", presses, true));
    const auto scriptPresses = [&](sim::Machine& m) {
        static const uint8_t kPageUp[3] = {0x33, 0x33, 0x33};
        static const uint8_t kPageDown[3] = {0xCC, 0xCC, 0xCC};
        for (size_t i = 0; i < pressNs.size(); ++i)
            m.notebook->PressRemote(pressNs[i], presses[i].pageUp ? kPageUp : kPageDown);
    };
    const Observed seen =
        Observer().Run(TrayScenario("latency", {}, true, presses.back().atMs), scriptPresses);
    // Keys are paired with presses in order; a missing or extra key would shift the pairs.
    if (seen.keys.size() != presses.size())
        throw std::runtime_error("latency run: " + std::to_string(seen.keys.size()) + " keys for " +
                                 std::to_string(presses.size()) + " presses");
    return {{"latency", Latency(seen, pressNs, presses)}, {"driver", DriverWork(seen)}};
}

Json LostCodes(const Options& options)
{
    const double rates[] = {2, 4, 6, 6.5, 7, 8, 10, 15, 20};
    std::mt19937 random(options.seed + 1);
    Json rows = Json::array();
    for (double rate : rates) {
        const double seconds = options.lossSecondsPerRate;
        rows.push_back(LossAtRate(options, "even", rate, EvenPresses(rate, seconds)));
        rows.push_back(LossAtRate(options, "random", rate, RandomPresses(rate, seconds, random)));
    }
    return {{"seconds_per_rate", options.lossSecondsPerRate},
            {"fifo_bytes", kFifoBytes},
            {"codes_per_poll", 1},
            {"poll_period_us", kPollPeriodUs},
            {"rows", rows}};
}

Json CutShortCode(const Options& options)
{
    // One byte of a code and then nothing: the request waits out the receive window.
    Json scenario = TrayScenario("cut-short", {}, true);
    const Json firstByteOnly = {{"at_ms", kFirstPressMs}, {"remote", "33"}};
    scenario["steps"].insert(scenario["steps"].begin() + 1, firstByteOnly);
    SaveScenario(options, "cut-short", scenario);
    const Observed seen = Observer().Run(scenario);
    std::vector<const Request*> withData;
    for (const Request& r : seen.reads)
        if (r.information)
            withData.push_back(&r);
    Json work = RequestWork(withData);
    work["window_us"] = kReceiveWindowUs;
    return work;
}

Json SimulatorSpeed(const Options& options)
{
    // An hour of a presentation: a press every 5 to 55 s.
    std::mt19937 random(options.seed + 2);
    std::uniform_int_distribution<uint64_t> gapMs(5000, 54999);
    std::vector<uint64_t> gaps;
    for (uint64_t total = 0; total + 60000 < options.speedSeconds * 1000;) {
        gaps.push_back(gapMs(random));
        total += gaps.back();
    }
    const std::vector<Press> presses = PressesWithGaps(gaps);
    Json scenario = TrayScenario("hour-of-use", presses, false);
    scenario["steps"].back()["at_ms"] = static_cast<uint64_t>(options.speedSeconds * 1000);
    SaveScenario(options, "hour-of-use", scenario);
    const Observed seen = Observer().Run(scenario);
    const double virtualSeconds = static_cast<double>(seen.result.virtualUs) / 1e6;
    return {{"virtual_s", virtualSeconds},
            {"wall_s", seen.result.wallSeconds},
            {"polls", seen.reads.size()},
            {"presses", presses.size()},
            {"keys", seen.keys.size()},
            {"events", seen.result.events.size()},
            {"virtual_per_wall", virtualSeconds / seen.result.wallSeconds}};
}

}  // namespace figures
