#include "sim/registry.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace sim {

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::vector<std::string> SplitKeyPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

namespace {

struct RootName {
    const char* shortName;
    const char* longName;
};
const RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKU", "HKEY_USERS"},     {"HKCU", "HKEY_CURRENT_USER"},
    {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKDD", "HKEY_DYN_DATA"},
};

const char* ShortRoot(const std::string& name)
{
    for (const auto& root : kRoots)
        if (strcasecmp(name.c_str(), root.shortName) == 0 ||
            strcasecmp(name.c_str(), root.longName) == 0)
            return root.shortName;
    return nullptr;
}

}  // namespace

Registry::Registry()
{
    for (const auto& root : kRoots) {
        auto key = std::make_unique<RegKey>();
        key->name = root.shortName;
        roots_[root.shortName] = std::move(key);
    }
}

RegKey* Registry::Root(const std::string& rootName)
{
    const char* name = ShortRoot(rootName);
    return name ? roots_[name].get() : nullptr;
}

RegKey* Registry::FindBelow(RegKey* key, const std::string& subkey)
{
    for (const auto& part : SplitKeyPath(subkey)) {
        if (!key)
            return nullptr;
        auto it = key->subkeys.find(part);
        key = it == key->subkeys.end() ? nullptr : it->second.get();
    }
    return key;
}

RegKey* Registry::CreateBelow(RegKey* key, const std::string& subkey)
{
    for (const auto& part : SplitKeyPath(subkey)) {
        if (!key)
            return nullptr;
        auto& slot = key->subkeys[part];
        if (!slot) {
            slot = std::make_unique<RegKey>();
            slot->name = part;
            key->order.push_back(part);
        }
        key = slot.get();
    }
    return key;
}

static std::pair<std::string, std::string> SplitRoot(const std::string& fullName)
{
    size_t slash = fullName.find('\\');
    if (slash == std::string::npos)
        return {fullName, ""};
    return {fullName.substr(0, slash), fullName.substr(slash + 1)};
}

RegKey* Registry::Find(const std::string& fullName)
{
    auto [root, rest] = SplitRoot(fullName);
    return FindBelow(Root(root), rest);
}

RegKey* Registry::Create(const std::string& fullName)
{
    auto [root, rest] = SplitRoot(fullName);
    return CreateBelow(Root(root), rest);
}

bool Registry::DeleteBelow(RegKey* parent, const std::string& subkey, bool recursive)
{
    auto parts = SplitKeyPath(subkey);
    if (!parent || parts.empty())
        return false;
    std::string last = parts.back();
    parts.pop_back();
    RegKey* owner = parent;
    for (const auto& part : parts) {
        auto it = owner->subkeys.find(part);
        if (it == owner->subkeys.end())
            return false;
        owner = it->second.get();
    }
    auto it = owner->subkeys.find(last);
    if (it == owner->subkeys.end())
        return false;
    if (!recursive && !it->second->subkeys.empty())
        return false;
    it->second->deleted = true;
    auto& order = owner->order;
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](const std::string& n) {
                                   return strcasecmp(n.c_str(), last.c_str()) == 0;
                               }),
                order.end());
    graveyard_.push_back(std::move(it->second));
    owner->subkeys.erase(it);
    return true;
}

void Registry::SetValue(const std::string& fullKey, const std::string& name, uint32_t type,
                        std::vector<uint8_t> data)
{
    RegKey* key = Create(fullKey);
    if (key)
        key->values[name] = RegValue{type, std::move(data)};
}

std::optional<RegValue> Registry::GetValue(const std::string& fullKey, const std::string& name)
{
    RegKey* key = Find(fullKey);
    if (!key)
        return std::nullopt;
    auto it = key->values.find(name);
    if (it == key->values.end())
        return std::nullopt;
    return it->second;
}

bool Registry::PathTo(const RegKey* target, const RegKey* from, std::string& path) const
{
    if (from == target)
        return true;
    for (const auto& [name, child] : from->subkeys) {
        std::string sub = path + "\\" + child->name;
        if (PathTo(target, child.get(), sub)) {
            path = sub;
            return true;
        }
    }
    return false;
}

std::string Registry::FullName(const RegKey* key) const
{
    for (const auto& [rootName, root] : roots_) {
        std::string path = rootName;
        if (PathTo(key, root.get(), path))
            return path;
    }
    return "?";
}

}  // namespace sim
