// Weak stand-ins for the I/O manager, so that the machine links while the real one is
// not built in. The definitions in iomanager.cpp replace them.
#include "sim/iomanager.h"

namespace sim {

struct IoManager::Impl {};

__attribute__((weak)) IoManager::IoManager(Machine&) {}
__attribute__((weak)) IoManager::~IoManager() {}
__attribute__((weak)) int32_t IoManager::LoadDriver(const std::string&) { return -1; }
__attribute__((weak)) bool IoManager::UnloadDriver(const std::string&) { return false; }
__attribute__((weak)) bool IoManager::IsDriverLoaded(const std::string&) const { return false; }
__attribute__((weak)) void* IoManager::Open(const std::string&, uint32_t& win32Error)
{
    win32Error = 2;
    return nullptr;
}
__attribute__((weak)) bool IoManager::DeviceControl(void*, uint32_t, const void*, uint32_t, void*,
                                                    uint32_t, uint32_t& returned,
                                                    uint32_t& win32Error)
{
    returned = 0;
    win32Error = 6;
    return false;
}
__attribute__((weak)) void IoManager::Close(void*) {}
__attribute__((weak)) bool IoManager::IsFile(void*) const { return false; }
__attribute__((weak)) uint32_t IoManager::Win32ErrorFromStatus(int32_t) { return 317; }

}  // namespace sim
