#include "sim/machine.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/module.h"

namespace sim {

namespace {

Machine* g_machine = nullptr;

struct KnownOs {
    const char* name;
    uint32_t major, minor, build, platform;
    const char* csd;
};
const KnownOs kKnownOs[] = {
    {"win98", 4, 10, 0x040A08AE, 1, " A "},  // Windows 98 SE reports its build this way
    {"winme", 4, 90, 0x045A0BB8, 1, " "},
    {"nt4", 4, 0, 1381, 2, "Service Pack 6"},
    {"win2000", 5, 0, 2195, 2, "Service Pack 4"},
    {"winxp", 5, 1, 2600, 2, "Service Pack 2"},
};

// The files the product ships next to its programs.
const char* const kProgramFiles[] = {"pexasmsc2k.exe", "pexasmsc98.exe", "pexaro.exe"};

}  // namespace

bool OsInfo::FromName(const std::string& name, OsInfo& out)
{
    for (const auto& os : kKnownOs) {
        if (name == os.name) {
            out = OsInfo{os.name, os.major, os.minor, os.build, os.platform, os.csd};
            return true;
        }
    }
    return false;
}

Machine& CurrentMachine()
{
    if (!g_machine) {
        std::fprintf(stderr, "pexa: the stand-in Windows layer was called with no simulated machine\n");
        std::abort();
    }
    return *g_machine;
}

bool HasMachine()
{
    return g_machine != nullptr;
}

static std::unique_ptr<hw::Notebook> MakeNotebook(hw::Clock& clock, const hw::NotebookConfig& config)
{
    return std::make_unique<hw::Notebook>(clock, config);
}

Machine::Machine(const MachineConfig& cfg)
    : config(cfg), notebook(MakeNotebook(clock, cfg.hardware)), scheduler(*this), io(*this)
{
    if (g_machine) {
        std::fprintf(stderr, "pexa: only one simulated machine may exist at a time\n");
        std::abort();
    }
    g_machine = this;
    if (!OsInfo::FromName(config.os, os))
        OsInfo::FromName("win2000", os);
    desktop.notificationArea = config.notificationArea;

    const bool win9x = IsWin9x();
    const std::string windir = "C:\\WINDOWS";
    files.AddDirectory(windir);
    files.AddDirectory(win9x ? windir + "\\SYSTEM" : windir + "\\SYSTEM32");
    files.AddFile(windir + "\\NOTEPAD.EXE", std::string("MZ"));
    hostProcess.pid = 4;
    hostProcess.image = "host";
    hostProcess.cwd = "C:\\";
    hostProcess.env["PATH"] = win9x ? windir + ";" + windir + "\\COMMAND"
                                    : windir + "\\system32;" + windir;
    hostProcess.env["windir"] = windir;
    if (!win9x)
        hostProcess.env["SystemRoot"] = windir;
    hostProcess.env["TEMP"] = windir + "\\TEMP";

    // The system language: the NT family answers it directly; Windows 98/ME keeps it as
    // the default user's resource locale.
    char locale[16];
    std::snprintf(locale, sizeof locale, "%08x", config.language);
    registry.Create("HKU\\.DEFAULT\\Control Panel\\Desktop");
    if (win9x)
        registry.SetValue("HKU\\.DEFAULT\\Control Panel\\Desktop\\ResourceLocale", "", 1,
                          std::vector<uint8_t>(locale, locale + std::strlen(locale) + 1));
    if (config.driver)
        registry.Create("HKLM\\SYSTEM\\CurrentControlSet\\Services\\PEXACTRL");
    registry.Create(win9x ? "HKDD\\Config Manager\\Enum" : "HKLM\\SYSTEM\\CurrentControlSet\\Enum");
    devices.InstallDefaults(*this);

    if (!config.installDir.empty())
        InstallProduct(config.installDir);
    if (config.driver)
        io.LoadDriver("PEXACTRL");
}

Machine::~Machine()
{
    scheduler.KillAll();
    g_machine = nullptr;
}

void Machine::Emit(const std::string& event, Json fields)
{
    trace.Emit(NowUs(), event, std::move(fields));
}

void Machine::InstallProduct(const std::string& dir)
{
    files.AddDirectory(dir);
    for (const char* program : kProgramFiles)
        files.AddFile(dir + "\\" + program, std::string("MZ"));
    // String tables and readmes, byte for byte as the build ships them.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(BinDirectory(), error)) {
        std::string name = entry.path().filename().string();
        bool shipped = (name.rfind("str_", 0) == 0 || name.rfind("readme_", 0) == 0) &&
                       entry.path().extension() == ".txt";
        if (!shipped)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        files.AddFile(dir + "\\" + name, bytes.str());
    }
}

}  // namespace sim

namespace sim {

void Machine::CloseHandlesOf(uint32_t pid)
{
    for (HANDLE handle : handles.OwnedBy(pid)) {
        HandleEntry* entry = handles.Find(handle);
        if (entry && entry->kind == HandleEntry::Device)
            io.Close(entry->device);
        handles.Remove(handle);
    }
}

}  // namespace sim
