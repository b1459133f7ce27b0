// The simulated notebook and the operating system around the programs.
//
// One Machine exists at a time; the stand-in Windows API (platform/src) and the stand-in
// NT kernel act on it. Tests and pexa-sim build one from a MachineConfig, start programs
// with its scheduler and read what happened from its trace.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/desktop.h"
#include "sim/devices.h"
#include "sim/filesystem.h"
#include "sim/handles.h"
#include "sim/hw/clock.h"
#include "sim/hw/notebook.h"
#include "sim/iomanager.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "sim/trace.h"

namespace sim {

struct OsInfo {
    std::string name;  // win98, winme, nt4, win2000, winxp
    uint32_t major = 5;
    uint32_t minor = 0;
    uint32_t build = 2195;
    uint32_t platform = 2;  // 1: Windows 98/ME, 2: the NT family
    std::string csd;

    // Known names; false for an unknown one.
    static bool FromName(const std::string& name, OsInfo& out);
};

struct MachineConfig {
    std::string os = "win2000";
    uint16_t language = 0x0409;
    hw::NotebookConfig hardware;
    bool driver = true;                 // PEXACTRL installed (service key) and loaded
    std::string installDir = "C:\\Pexa";  // where the programs and shipped files lie; "" for none
    bool notificationArea = true;
};

class Machine {
public:
    explicit Machine(const MachineConfig& config);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    MachineConfig config;
    OsInfo os;
    hw::Clock clock;
    Trace trace;
    FileSystem files;
    Registry registry;
    std::unique_ptr<hw::Notebook> notebook;
    Desktop desktop;
    PnpDevices devices;
    HandleTable handles;
    Scheduler scheduler;
    IoManager io;
    Process hostProcess;  // stands for a test thread that calls the API directly
    bool rebootRequested = false;  // a restart ended the session

    bool IsWin9x() const { return os.platform == 1; }
    uint64_t NowUs() const { return clock.now / 1000; }
    void Emit(const std::string& event, Json fields = Json::object());

    // Closes what a process left open when it ends.
    void CloseHandlesOf(uint32_t pid);

    // Puts the programs and the shipped string tables and readmes into `dir`.
    void InstallProduct(const std::string& dir);
};

// The machine that exists now; aborts when there is none.
Machine& CurrentMachine();
bool HasMachine();

}  // namespace sim
