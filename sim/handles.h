// Kernel object handles of the simulated processes: open files, devices and tokens.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "win/types.h"

namespace sim {

struct HandleEntry {
    enum Kind { File, Device, Token } kind = File;
    uint32_t pid = 0;
    std::string path;
    std::vector<uint8_t> data;  // a file's contents, read when opened
    size_t position = 0;
    bool writable = false;
    void* device = nullptr;  // the I/O manager's file object
};

class HandleTable {
public:
    HANDLE Add(HandleEntry entry);
    HandleEntry* Find(HANDLE handle);
    bool Remove(HANDLE handle);
    // Every handle a process still holds, for closing when it ends.
    std::vector<HANDLE> OwnedBy(uint32_t pid) const;

private:
    std::map<HANDLE, HandleEntry> entries_;
    uintptr_t next_ = 0x40;
};

}  // namespace sim
