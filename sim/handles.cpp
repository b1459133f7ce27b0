#include "sim/handles.h"

namespace sim {

HANDLE HandleTable::Add(HandleEntry entry)
{
    next_ += 4;
    HANDLE handle = reinterpret_cast<HANDLE>(next_);
    entries_[handle] = std::move(entry);
    return handle;
}

HandleEntry* HandleTable::Find(HANDLE handle)
{
    auto it = entries_.find(handle);
    return it == entries_.end() ? nullptr : &it->second;
}

bool HandleTable::Remove(HANDLE handle)
{
    return entries_.erase(handle) > 0;
}

std::vector<HANDLE> HandleTable::OwnedBy(uint32_t pid) const
{
    std::vector<HANDLE> owned;
    for (const auto& [handle, entry] : entries_)
        if (entry.pid == pid)
            owned.push_back(handle);
    return owned;
}

}  // namespace sim
