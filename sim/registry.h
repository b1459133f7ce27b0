// The simulated machine's registry.
//
// Keys form a tree under the roots HKLM, HKU, HKCU, HKCR and HKDD (HKEY_DYN_DATA); key
// and value names are compared without regard to case. Values keep their type and bytes
// exactly as written. Every change is reported to the trace by the caller (the
// stand-in registry functions), so that a scenario can see it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct RegValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class RegKey {
public:
    std::string name;  // as first created
    std::map<std::string, std::unique_ptr<RegKey>, NoCaseLess> subkeys;
    std::map<std::string, RegValue, NoCaseLess> values;  // "" is the default value
    std::vector<std::string> order;  // subkey names in creation order, for enumeration
    bool deleted = false;
};

class Registry {
public:
    Registry();

    // A full key name with its root: "HKLM\SYSTEM\CurrentControlSet". Roots may be
    // spelled short (HKLM, HKU, HKCU, HKCR, HKDD) or long (HKEY_LOCAL_MACHINE, ...).
    // Returns null when the key does not exist.
    RegKey* Find(const std::string& fullName);
    RegKey* Create(const std::string& fullName);
    // Subkey below key; empty subkey gives key itself.
    RegKey* FindBelow(RegKey* key, const std::string& subkey);
    RegKey* CreateBelow(RegKey* key, const std::string& subkey);
    RegKey* Root(const std::string& rootName);

    // Deletes subkey of parent. With recursive clear (the NT family), a key that has
    // subkeys is not deleted and false is returned.
    bool DeleteBelow(RegKey* parent, const std::string& subkey, bool recursive);

    void SetValue(const std::string& fullKey, const std::string& name, uint32_t type,
                  std::vector<uint8_t> data);
    std::optional<RegValue> GetValue(const std::string& fullKey, const std::string& name);

    // The full name ("HKLM\...") of a key, for the trace.
    std::string FullName(const RegKey* key) const;

private:
    bool PathTo(const RegKey* target, const RegKey* from, std::string& path) const;
    std::map<std::string, std::unique_ptr<RegKey>> roots_;  // by short name
    // Deleted keys stay alive while handles to them may still be open.
    std::vector<std::unique_ptr<RegKey>> graveyard_;
};

// Splits "a\b\c" at backslashes, dropping empty parts.
std::vector<std::string> SplitKeyPath(const std::string& path);

}  // namespace sim
