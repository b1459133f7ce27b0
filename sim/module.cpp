#include "sim/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace sim {

std::string BinDirectory()
{
    const char* fromEnv = std::getenv("PEXA_BIN_DIR");
    if (fromEnv && *fromEnv)
        return fromEnv;
#ifdef PEXA_BIN_DIR
    return PEXA_BIN_DIR;
#else
    return ".";
#endif
}

namespace {

std::string PrivateCopyDirectory()
{
    static const std::string dir = [] {
        std::string d = std::filesystem::temp_directory_path().string() + "/pexa-sim-" +
                        std::to_string(getpid());
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

}  // namespace

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& name)
{
    static std::atomic<unsigned> serial{0};
    const std::string source = BinDirectory() + "/" + name + ".so";
    const std::string copy =
        PrivateCopyDirectory() + "/" + name + "-" + std::to_string(++serial) + ".so";
    std::error_code error;
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error)
        throw std::runtime_error("cannot copy module " + source + ": " + error.message());
    void* handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::filesystem::remove(copy, error);
        throw std::runtime_error(std::string("cannot load module ") + name + ": " + dlerror());
    }
    return std::unique_ptr<LoadedModule>(new LoadedModule(name, copy, handle));
}

LoadedModule::LoadedModule(std::string name, std::string copyPath, void* handle)
    : name_(std::move(name)), copyPath_(std::move(copyPath)), handle_(handle)
{
}

LoadedModule::~LoadedModule()
{
    dlclose(handle_);
    std::error_code error;
    std::filesystem::remove(copyPath_, error);
}

void* LoadedModule::Symbol(const char* name) const
{
    return dlsym(handle_, name);
}

}  // namespace sim
