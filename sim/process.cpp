#include "sim/process.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <stdexcept>

#include "sim/machine.h"
#include "sim/module.h"

namespace sim {

namespace {

thread_local Process* t_current = nullptr;

// Bound on resumes without the clock moving: a process that keeps itself busy for ever
// (posting to itself, say) is a fault to report, not a run to wait for.
const uint64_t kMaxResumesWithoutProgress = 100000;

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char* const kSystemPrograms[] = {"pexasmsc2k", "pexasmsc98", "pexaro"};

std::string ModuleOf(const std::string& image)
{
    std::string name = image;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        name.resize(name.size() - 4);
    return name;
}

}  // namespace

Process& CurrentProcess()
{
    return t_current ? *t_current : CurrentMachine().hostProcess;
}

bool InSimulatedProcess()
{
    return t_current != nullptr;
}

bool Process::Runnable(uint64_t nowNs) const
{
    if (state == ProcessState::Exited)
        return false;
    if (state == ProcessState::Created || killed)
        return true;
    switch (wait) {
    case Wait::None:
        return true;
    case Wait::Sleep:
        return nowNs >= wakeAtNs;
    case Wait::Send:
        return sendDone;
    case Wait::Message:
        if (!queue.empty() || quitPosted)
            return true;
        return std::any_of(timers.begin(), timers.end(),
                           [nowNs](const WindowTimer& t) { return t.dueNs <= nowNs; });
    }
    return false;
}

Scheduler::Scheduler(Machine& machine) : machine_(machine) {}

Scheduler::~Scheduler()
{
    KillAll();
}

static std::string ImageOf(const std::string& programPath);

// The program path of a command line, found as Windows finds it: a quoted path up to its
// closing quote; otherwise (and for a quote that is never closed) the shortest run of
// words that names one of the system's programs, or else the first word.
std::string Scheduler::ProgramPath(const std::string& commandLine)
{
    std::string text = commandLine;
    if (!text.empty() && text[0] == '"') {
        size_t end = text.find('"', 1);
        if (end != std::string::npos)
            return text.substr(1, end - 1);
        text = text.substr(1);
    }
    for (size_t end = text.find_first_of(" \t"); end != std::string::npos;
         end = text.find_first_of(" \t", end + 1)) {
        std::string prefix = text.substr(0, end);
        std::string module = ModuleOf(ImageOf(prefix));
        if (std::find(std::begin(kSystemPrograms), std::end(kSystemPrograms), module) !=
            std::end(kSystemPrograms))
            return prefix;
    }
    std::string whole = text;
    std::string module = ModuleOf(ImageOf(whole));
    if (std::find(std::begin(kSystemPrograms), std::end(kSystemPrograms), module) !=
        std::end(kSystemPrograms))
        return whole;
    return text.substr(0, text.find_first_of(" \t"));
}

static std::string ImageOf(const std::string& programPath)
{
    size_t slash = programPath.find_last_of("\\/");
    std::string image = Lower(slash == std::string::npos ? programPath : programPath.substr(slash + 1));
    if (image.size() < 4 || image.compare(image.size() - 4, 4, ".exe") != 0)
        image += ".exe";
    return image;
}

bool Scheduler::IsSystemProgram(const std::string& commandLine)
{
    std::string module = ModuleOf(ImageOf(ProgramPath(commandLine)));
    return std::find(std::begin(kSystemPrograms), std::end(kSystemPrograms), module) !=
           std::end(kSystemPrograms);
}

Process* Scheduler::Start(const std::string& commandLine, const std::string& cwd,
                          const std::map<std::string, std::string>& env)
{
    if (!IsSystemProgram(commandLine))
        return nullptr;
    auto p = std::make_unique<Process>();
    p->pid = nextPid_ += 4;
    std::string programPath = ProgramPath(commandLine);
    p->image = ImageOf(programPath);
    p->moduleName = ModuleOf(p->image);
    Process& parent = CurrentProcess();
    std::string full = FileSystem::Resolve(parent.cwd, programPath);
    if (full.size() < 4 || full.compare(full.size() - 4, 4, ".exe") != 0 || !machine_.files.IsFile(full)) {
        std::string withExe = FileSystem::Resolve(parent.cwd, programPath + ".exe");
        if (machine_.files.IsFile(withExe))
            full = withExe;
    }
    p->modulePath = full;
    p->commandLineA = commandLine;
    p->commandLineW.assign(commandLine.begin(), commandLine.end());
    p->env = parent.env;
    for (const auto& [name, value] : env)
        p->env[name] = value;
    if (!cwd.empty())
        p->cwd = FileSystem::Resolve(parent.cwd, cwd);
    else if (InSimulatedProcess())
        p->cwd = parent.cwd;  // a started program inherits its parent's directory
    else
        p->cwd = full.substr(0, std::max<size_t>(full.rfind('\\'), 2));
    if (p->cwd.size() == 2)
        p->cwd += "\\";
    p->resources = ProgramResources::Load(BinDirectory() + "/res/" + p->moduleName + "/" +
                                          p->moduleName + ".rc");
    machine_.Emit("start", {{"program", p->image}, {"pid", p->pid}, {"cmd", commandLine}});
    processes_.push_back(std::move(p));
    return processes_.back().get();
}

Process* Scheduler::StartBuiltin(const std::string& name, std::function<int()> body)
{
    auto p = std::make_unique<Process>();
    p->pid = nextPid_ += 4;
    p->image = name;
    p->moduleName = name;
    p->commandLineA = name;
    p->commandLineW.assign(name.begin(), name.end());
    p->builtin = std::move(body);
    p->env = machine_.hostProcess.env;
    p->cwd = machine_.hostProcess.cwd;
    processes_.push_back(std::move(p));
    return processes_.back().get();
}

void Scheduler::ProcessMain(Process* p)
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [p] { return p->hasBaton; });
    }
    t_current = p;
    int code = 0;
    std::string crash;
    try {
        if (p->builtin) {
            code = p->builtin();
        } else {
            p->module = LoadedModule::Load(p->moduleName);
            using Entry = int (*)(HINSTANCE, HINSTANCE, LPSTR, int);
            auto entry = reinterpret_cast<Entry>(p->module->Symbol("WinMain"));
            if (!entry)
                throw std::runtime_error("module " + p->moduleName + " has no WinMain");
            std::string args = p->commandLineA.substr(std::min(p->commandLineA.size(),
                                                               ProgramPath(p->commandLineA).size() +
                                                                   (p->commandLineA[0] == '"' ? 2 : 0)));
            size_t first = args.find_first_not_of(" \t");
            args = first == std::string::npos ? "" : args.substr(first);
            code = entry(reinterpret_cast<HINSTANCE>(p), nullptr, args.data(), SW_SHOWNORMAL);
        }
    } catch (const ProcessExit& e) {
        code = e.code;
    } catch (const ProcessKilled&) {
        code = -1;
    } catch (const std::exception& e) {
        crash = e.what();
    } catch (...) {
        crash = "unhandled exception";
    }
    machine_.desktop.OnProcessExit(p->pid);
    machine_.CloseHandlesOf(p->pid);
    try {
        p->module.reset();  // the statics' destructors run, as at the end of a process
    } catch (...) {
        crash = "exception while unloading";
    }
    t_current = nullptr;
    p->exitCode = code;
    if (!crash.empty()) {
        p->exitCode = static_cast<int>(0xC0000409u);
        machine_.Emit("crash", {{"program", p->image}, {"pid", p->pid}, {"what", crash}});
    }
    if (!p->killed || !crash.empty())
        machine_.Emit("exit", {{"program", p->image}, {"pid", p->pid}, {"code", p->exitCode}});
    std::unique_lock<std::mutex> lock(mutex_);
    p->state = ProcessState::Exited;
    p->hasBaton = false;
    schedulerHasBaton_ = true;
    cv_.notify_all();
}

void Scheduler::Resume(Process* p)
{
    std::unique_lock<std::mutex> lock(mutex_);
    schedulerHasBaton_ = false;
    p->hasBaton = true;
    if (p->state == ProcessState::Created) {
        p->state = ProcessState::Ready;
        p->thread = std::thread(&Scheduler::ProcessMain, this, p);
    }
    cv_.notify_all();
    cv_.wait(lock, [this] { return schedulerHasBaton_; });
}

void Scheduler::Yield(Process& self)
{
    std::unique_lock<std::mutex> lock(mutex_);
    self.hasBaton = false;
    schedulerHasBaton_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&self] { return self.hasBaton; });
    lock.unlock();
    if (self.killed)
        throw ProcessKilled{};
}

Process* Scheduler::NextRunnable()
{
    for (auto& p : processes_)
        if (p->Runnable(machine_.clock.now))
            return p.get();
    return nullptr;
}

uint64_t Scheduler::NextEventTime() const
{
    uint64_t next = UINT64_MAX;
    if (!events_.empty())
        next = events_.begin()->first;
    for (const auto& p : processes_) {
        if (p->state == ProcessState::Exited)
            continue;
        if (p->wait == Process::Wait::Sleep)
            next = std::min(next, p->wakeAtNs);
        if (p->wait == Process::Wait::Message)
            for (const auto& t : p->timers)
                next = std::min(next, t.dueNs);
    }
    return next;
}

bool Scheduler::FireDueEvents()
{
    bool fired = false;
    while (!events_.empty() && events_.begin()->first <= machine_.clock.now) {
        auto action = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        action();
        fired = true;
    }
    return fired;
}

bool Scheduler::CheckStop()
{
    if (!stopped && shouldStop && shouldStop())
        stopped = true;
    return stopped;
}

void Scheduler::RunReady()
{
    uint64_t lastNow = machine_.clock.now;
    while (!CheckStop()) {
        Process* p = NextRunnable();
        if (!p)
            break;
        Resume(p);
        if (machine_.clock.now == lastNow) {
            if (++resumesWithoutProgress > kMaxResumesWithoutProgress)
                throw std::runtime_error("a simulated program keeps running without waiting "
                                         "(virtual time stands still)");
        } else {
            resumesWithoutProgress = 0;
            lastNow = machine_.clock.now;
        }
        FireDueEvents();
    }
}

bool Scheduler::RunUntil(uint64_t untilNs)
{
    for (;;) {
        FireDueEvents();
        RunReady();
        if (CheckStop())
            return false;
        uint64_t next = NextEventTime();
        if (next == UINT64_MAX)
            return false;
        if (next > untilNs) {
            machine_.clock.AdvanceTo(untilNs);
            return true;
        }
        machine_.clock.AdvanceTo(next);
    }
}

bool Scheduler::RunUntilIdle(uint64_t limitNs)
{
    return !RunUntil(limitNs);
}

void Scheduler::At(uint64_t tNs, std::function<void()> action)
{
    events_.emplace(tNs, std::move(action));
}

LRESULT Scheduler::SendFromSystem(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowEntry* w = machine_.desktop.FindLive(window);
    Process* owner = w ? Find(w->pid) : nullptr;
    if (!owner || owner->state == ProcessState::Exited)
        return 0;
    uint64_t id = ++sendSerial_;
    owner->queue.push_front(QueuedMessage{window, message, wParam, lParam, true, id});
    Process waiter;  // stands for the system's side of the send
    waiter.wait = Process::Wait::Send;
    sendWaiters_[id] = &waiter;
    while (!waiter.sendDone && owner->state != ProcessState::Exited) {
        Process* p = NextRunnable();
        if (!p)
            break;
        Resume(p);
    }
    sendWaiters_.erase(id);
    return waiter.sendResult;
}

LRESULT Scheduler::SendAcross(Process& self, Process& owner, const QueuedMessage& message)
{
    uint64_t id = ++sendSerial_;
    QueuedMessage sent = message;
    sent.sent = true;
    sent.sendId = id;
    owner.queue.push_front(sent);
    self.wait = Process::Wait::Send;
    self.sendDone = false;
    sendWaiters_[id] = &self;
    while (!self.sendDone && owner.state != ProcessState::Exited)
        Yield(self);
    sendWaiters_.erase(id);
    self.wait = Process::Wait::None;
    return self.sendDone ? self.sendResult : 0;
}

void Scheduler::CompleteSend(uint64_t sendId, LRESULT result)
{
    auto it = sendWaiters_.find(sendId);
    if (it == sendWaiters_.end())
        return;
    it->second->sendDone = true;
    it->second->sendResult = result;
}

void Scheduler::KillAll()
{
    for (auto& p : processes_) {
        if (p->state == ProcessState::Ready) {
            p->killed = true;
            Resume(p.get());
        }
    }
    for (auto& p : processes_)
        if (p->thread.joinable())
            p->thread.join();
}

std::vector<Process*> Scheduler::Processes() const
{
    std::vector<Process*> all;
    for (const auto& p : processes_)
        all.push_back(p.get());
    return all;
}

std::vector<Process*> Scheduler::Running() const
{
    std::vector<Process*> running;
    for (const auto& p : processes_)
        if (p->state != ProcessState::Exited)
            running.push_back(p.get());
    return running;
}

Process* Scheduler::Find(uint32_t pid) const
{
    for (const auto& p : processes_)
        if (p->pid == pid)
            return p.get();
    return nullptr;
}

}  // namespace sim
