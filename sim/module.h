// Program and driver modules of the host build.
//
// On the host every program and the driver is a loadable module. Each start of a
// program (and each load of the driver) loads a private copy of the module, so that it
// gets fresh statics constructed in their defined order, as a new process (or a new
// driver load) gets on Windows; unloading runs their destructors.
#pragma once

#include <memory>
#include <string>

namespace sim {

// Directory holding the built modules, resource scripts and shipped files.
// PEXA_BIN_DIR in the environment overrides the directory of the build.
std::string BinDirectory();

class LoadedModule {
public:
    // Loads a fresh copy of BinDirectory()/<name>.so. Throws std::runtime_error when it
    // cannot be loaded. Constructors of the module's statics run on the calling thread.
    static std::unique_ptr<LoadedModule> Load(const std::string& name);
    ~LoadedModule();

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    const std::string& Name() const { return name_; }

private:
    LoadedModule(std::string name, std::string copyPath, void* handle);
    std::string name_;
    std::string copyPath_;
    void* handle_;
};

}  // namespace sim
