// The soak run: virtual hours of random presses, menu toggles, power events, log-offs and
// restarts on both platform families, split into sessions (a restart ends a run; the mode
// value is carried to the next one as the disk keeps it). Throughout: each press gives the
// key its code maps to while remote mode is on and none while it is off, "ASK" holds the
// mode switched to last, the icon shows that mode, nothing crashes. LeakSanitizer checks
// for leaks at the end of the process.
//
// PEXA_SOAK_HOURS sets the virtual hours (default 1 in CI; 24 for the long run).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "tray_fixture.h"

using namespace traytest;

namespace {

const uint64_t kSessionMs = 10 * 60 * 1000;  // one log-on session at most
const uint64_t kQuietMs = 400;               // around each event, so polls take the presses

struct Press {
    const char* code;
    const char* key;
};
const Press kPresses[] = {{"33 33 33", "PageUp"},
                          {"CC CC CC", "PageDown"},
                          {"69 69 69", "Left"},
                          {"96 96 96", "Right"}};

struct Family {
    const char* os;
    const char* program;
    bool win98;
};

struct SessionPlan {
    Json steps = Json::array();
    std::vector<std::string> keys;  // expected, in order
    bool on = true;                 // mode at the end
    bool restarts = false;
};

double SoakHours()
{
    const char* text = std::getenv("PEXA_SOAK_HOURS");
    return text ? std::atof(text) : 1.0;
}

// A random session: the tray program starts in the carried mode; then presses, toggles,
// power pairs and log-offs (with a new start) until the session's time is up or a
// restart on the NT family ends it.
SessionPlan PlanSession(const Family& family, bool on, std::mt19937& random)
{
    SessionPlan plan;
    const std::string start = family.program + std::string(" -4");
    plan.steps.push_back(Step(0, "run", start));
    uint64_t t = 1000;
    bool running = true;
    while (t < kSessionMs) {
        const unsigned pick = random() % 100;
        if (!running) {
            plan.steps.push_back(Step(t, "run", start));
            running = true;
        } else if (pick < 70) {
            const Press& p = kPresses[random() % 4];
            plan.steps.push_back(Step(t, "remote", p.code));
            if (on) {
                plan.keys.push_back("key " + std::string(p.key) + " down");
                plan.keys.push_back("key " + std::string(p.key) + " up");
            }
        } else if (pick < 85) {
            if (on && !family.win98) {
                // Disable on the NT family asks for a restart: mostly no, then the mode goes
                // off by the message; now and then yes, which restarts the machine.
                const bool restart = random() % 4 == 0;
                plan.steps.push_back(Step(t, "answer", restart ? "yes" : "no"));
                plan.steps.push_back(Click(t, "right", "Disable"));
                on = false;
                if (restart) {
                    plan.restarts = true;
                    break;
                }
                t += kQuietMs;
                plan.steps.push_back(Step(t, "post", "WM_REMOTEOFF"));
            } else {
                plan.steps.push_back(Click(t, "right", on ? "Disable" : "Enable"));
                on = !on;
            }
        } else if (pick < 95) {
            plan.steps.push_back(Step(t, "power", random() % 2 ? "PBT_APMSUSPEND" : "PBT_APMSTANDBY"));
            t += kQuietMs;
            plan.steps.push_back(Step(t, "power", "PBT_APMRESUMESUSPEND"));
        } else {
            plan.steps.push_back(Step(t, "logoff", true));
            running = false;
        }
        t += kQuietMs + random() % 4000;
    }
    if (!plan.restarts && running)
        plan.steps.push_back(Step(t, "post", "WM_CLOSE"));
    plan.on = on;
    return plan;
}

int LastIcon(const RunResult& r)
{
    int icon = 0;
    for (const auto& e : Events(r, "tray")) {
        if (e.fields["op"] != "delete" && e.fields.contains("icon") && !e.fields["icon"].is_null())
            icon = e.fields["icon"];
    }
    return icon;
}

void Soak(const Family& family, uint32_t seed)
{
    std::mt19937 random(seed);
    const uint64_t totalMs = static_cast<uint64_t>(SoakHours() * 3600 * 1000);
    bool on = true;
    uint64_t virtualMs = 0, sessions = 0, presses = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    while (virtualMs < totalMs) {
        SessionPlan plan = PlanSession(family, on, random);
        Json machine = MachineOn(family.os, {{"registry", {RegDword(kServiceKey, "ASK", on ? 1 : 0)}}});
        TrayRun run = RunTray(machine, plan.steps);
        const std::string where = std::string(family.os) + " session " + std::to_string(sessions);
        ASSERT_EQ(run.result.crashes, 0) << where;
        ASSERT_EQ(KeyEffects(run.result), plan.keys) << where;
        std::vector<uint8_t> ask = run.Value(kServiceKey, "ASK");
        ASSERT_EQ(ask, (std::vector<uint8_t>{uint8_t(plan.on ? 1 : 0), 0, 0, 0})) << where;
        if (!plan.restarts) {
            ASSERT_EQ(LastIcon(run.result), plan.on ? kIconOn : kIconOff) << where;
        }
        ASSERT_EQ(run.result.rebooted, plan.restarts) << where;
        on = plan.on;
        virtualMs += run.result.virtualUs / 1000;
        presses += plan.keys.size() / 2;
        ++sessions;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("soak %s: %.2f virtual hours, %llu sessions, %llu keys, %.1f s wall\n", family.os,
                virtualMs / 3600000.0, static_cast<unsigned long long>(sessions),
                static_cast<unsigned long long>(presses), wall);
}

TEST(Soak, Windows2000Family) { Soak({"win2000", kTray2k, false}, 2000); }
TEST(Soak, Windows98Family) { Soak({"win98", kTray98, true}, 98); }

}  // namespace
