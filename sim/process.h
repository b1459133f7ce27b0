// Simulated processes and the scheduler that runs them in virtual time.
//
// Each started program is a process with its own command line, current directory,
// environment, last error, message queue, timers and a fresh copy of its module. A
// process runs on its own host thread, but only one thread runs at any moment: the
// scheduler hands the baton to a process, which runs until it waits (for a message, a
// timer, a sleep) or exits, and then hands it back. When nothing can run, the clock
// jumps to the next due timer or scheduled event. Runs are therefore deterministic and
// a 150 ms timer costs no wall time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/registry.h"  // NoCaseLess
#include "sim/resources.h"
#include "win/types.h"

namespace sim {

class Machine;
class LoadedModule;

struct QueuedMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Sent (not posted) messages are delivered inside GetMessage and their result
    // handed back to the sender.
    bool sent = false;
    uint64_t sendId = 0;
};

struct WindowTimer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    uint64_t periodNs = 0;
    uint64_t dueNs = 0;
    bool pending = false;  // due and not yet retrieved
};

enum class ProcessState { Created, Ready, Waiting, Exited };

class Process {
public:
    uint32_t pid = 0;
    std::string image;        // file name of the program, lower case ("pexasmsc2k.exe")
    std::string modulePath;   // where the program lives ("C:\Pexa\pexasmsc2k.exe")
    std::string moduleName;   // module to load ("pexasmsc2k")
    std::string commandLineA;
    std::u16string commandLineW;
    std::string cwd = "C:\\";
    std::map<std::string, std::string, NoCaseLess> env;
    DWORD lastError = 0;
    int exitCode = 0;
    ProcessState state = ProcessState::Created;
    bool killed = false;
    bool shutdownPrivilege = false;  // enabled in the process token

    std::deque<QueuedMessage> queue;
    std::vector<WindowTimer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    enum class Wait { None, Message, Sleep, Send } wait = Wait::None;
    uint64_t wakeAtNs = 0;       // Sleep: not runnable before this time
    uint64_t lastMessageNs = 0;  // when GetMessage last returned
    uint64_t messagesWithoutTime = 0;
    uint64_t pendingSend = 0;    // a SendMessage to another process is under way
    bool sendDone = false;
    LRESULT sendResult = 0;

    // A process whose body is host code (test helpers, the scenario probe) rather
    // than a program module.
    std::function<int()> builtin;

    ProgramResources resources;
    std::unique_ptr<LoadedModule> module;
    std::thread thread;
    bool hasBaton = false;

    // Whether the process could run now.
    bool Runnable(uint64_t nowNs) const;
};

// Thrown inside a process's thread to unwind it when the process is killed.
struct ProcessKilled {};
// Thrown by ExitProcess to unwind to the process's entry.
struct ProcessExit {
    int code;
};

class Scheduler {
public:
    explicit Scheduler(Machine& machine);
    ~Scheduler();

    // Starts a program: the first word of commandLine names it (quoted or not). Programs
    // of this system are loaded from their module; `cwd` defaults to the program's
    // directory. Returns null for a program that is not one of the system's.
    Process* Start(const std::string& commandLine, const std::string& cwd = "",
                   const std::map<std::string, std::string>& env = {});
    // Starts a process whose body is host code, running as a simulated process.
    Process* StartBuiltin(const std::string& name, std::function<int()> body);
    // Whether a command line names one of the system's programs.
    static bool IsSystemProgram(const std::string& commandLine);
    // The program path of a command line: the quoted first part, or up to the first blank.
    static std::string ProgramPath(const std::string& commandLine);

    // Runs processes and events until the clock reaches `untilNs` or nothing is left
    // that could ever happen (then the clock stays where it is). Returns whether
    // anything is left to happen.
    bool RunUntil(uint64_t untilNs);
    // Runs until no process can run and no timer or event is due, without bound.
    // Stops (returns false) if `limitNs` of virtual time pass first.
    bool RunUntilIdle(uint64_t limitNs);

    // An event at a virtual time, run on the scheduler's side (not in a process).
    void At(uint64_t tNs, std::function<void()> action);

    // Delivers a message to a window as if sent from outside the process (the shell,
    // the system), running the owning process until it has been handled.
    LRESULT SendFromSystem(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Kills every process still running (the end of a run).
    void KillAll();

    std::vector<Process*> Processes() const;
    std::vector<Process*> Running() const;
    Process* Find(uint32_t pid) const;

    // --- used by the stand-in API from inside a process ---
    // Gives the baton back to the scheduler until the process is runnable again.
    void Yield(Process& self);
    // Sends a message to a window of another process from inside a process: queues it
    // and waits until the owner has handled it.
    LRESULT SendAcross(Process& self, Process& owner, const QueuedMessage& message);
    // The owner of a sent message reports its result.
    void CompleteSend(uint64_t sendId, LRESULT result);
    // Checked after every event and every resume: when it answers true, RunUntil stops
    // where it is (the end of a scenario, a restart).
    std::function<bool()> shouldStop;
    bool stopped = false;

    // Virtual time may not stand still for ever while processes keep running; this
    // counts how often the scheduler resumed a process without the clock moving.
    uint64_t resumesWithoutProgress = 0;

private:
    void ProcessMain(Process* p);
    void Resume(Process* p);
    Process* NextRunnable();
    void RunReady();
    bool CheckStop();
    bool FireDueEvents();
    uint64_t NextEventTime() const;

    Machine& machine_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::unique_ptr<Process>> processes_;
    std::multimap<uint64_t, std::function<void()>> events_;
    std::map<uint64_t, Process*> sendWaiters_;
    uint64_t sendSerial_ = 0;
    uint32_t nextPid_ = 0x100;
    bool schedulerHasBaton_ = true;
};

// The simulated process of the calling thread; for a thread that is not a simulated
// process (a test calling the stand-in API directly), the machine's host process.
Process& CurrentProcess();
// Whether the calling thread is a simulated process's thread.
bool InSimulatedProcess();

}  // namespace sim
