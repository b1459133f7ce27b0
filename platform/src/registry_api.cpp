// Registry and privilege services of the stand-in layer.
#include <algorithm>
#include <cstring>
#include <map>

#include "api_common.h"

using namespace sim;

namespace {

const DWORD kNoSuchPrivilege = 1313;  // ERROR_NO_SUCH_PRIVILEGE
const LONG kShutdownPrivilegeLuid = 19;

// Open keys by handle. Deleted keys stay alive in the registry, so a handle never dangles.
std::map<HKEY, RegKey*>& OpenKeys()
{
    static std::map<HKEY, RegKey*> keys;
    return keys;
}

uintptr_t g_nextKey = 0x1000;

RegKey* KeyOf(HKEY key)
{
    Registry& reg = M().registry;
    if (key == HKEY_LOCAL_MACHINE) return reg.Root("HKLM");
    if (key == HKEY_USERS) return reg.Root("HKU");
    if (key == HKEY_CURRENT_USER) return reg.Root("HKCU");
    if (key == HKEY_CLASSES_ROOT) return reg.Root("HKCR");
    if (key == HKEY_DYN_DATA) return reg.Root("HKDD");
    auto it = OpenKeys().find(key);
    return it == OpenKeys().end() ? nullptr : it->second;
}

HKEY NewHandle(RegKey* key)
{
    g_nextKey += 4;
    HKEY handle = reinterpret_cast<HKEY>(g_nextKey);
    OpenKeys()[handle] = key;
    return handle;
}

const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return nullptr;
    }
}

Json TypeField(DWORD type)
{
    const char* name = TypeName(type);
    return name ? Json(name) : Json(type);
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    RegKey* parent = KeyOf(key);
    if (!parent || parent->deleted)
        return ERROR_INVALID_HANDLE;
    RegKey* found = M().registry.FindBelow(parent, subKey ? subKey : "");
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(found);
    return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    return RegOpenKeyA(key, subKey, result);
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM,
                            LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    RegKey* parent = KeyOf(key);
    if (!parent || parent->deleted || !result)
        return ERROR_INVALID_HANDLE;
    bool existed = M().registry.FindBelow(parent, subKey ? subKey : "") != nullptr;
    RegKey* created = M().registry.CreateBelow(parent, subKey ? subKey : "");
    if (!created)
        return ERROR_INVALID_PARAMETER;
    if (disposition)
        *disposition = existed ? 2 : 1;
    *result = NewHandle(created);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key)
{
    if (KeyOf(key) && !OpenKeys().count(key))
        return ERROR_SUCCESS;  // a predefined root
    return OpenKeys().erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                             LPDWORD size)
{
    RegKey* k = KeyOf(key);
    if (!k || k->deleted)
        return ERROR_INVALID_HANDLE;
    auto it = k->values.find(name ? name : "");
    if (it == k->values.end())
        return ERROR_FILE_NOT_FOUND;
    const RegValue& value = it->second;
    DWORD length = static_cast<DWORD>(value.data.size());
    if (type)
        *type = value.type;
    if (!data) {
        if (size)
            *size = length;
        return ERROR_SUCCESS;
    }
    if (!size)
        return ERROR_INVALID_PARAMETER;
    if (*size < length) {
        *size = length;
        return ERROR_MORE_DATA;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    *size = length;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    RegKey* k = KeyOf(key);
    if (!k || k->deleted)
        return ERROR_INVALID_HANDLE;
    std::vector<uint8_t> bytes(data, data + (data ? size : 0));
    k->values[name ? name : ""] = RegValue{type, bytes};
    M().Emit("reg_set", {{"key", M().registry.FullName(k)},
                         {"name", name ? name : ""},
                         {"type", TypeField(type)},
                         {"data", HexBytes(bytes.data(), bytes.size())}});
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size)
{
    RegKey* k = KeyOf(key);
    if (!k || k->deleted)
        return ERROR_INVALID_HANDLE;
    if (index >= k->order.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string& subkey = k->order[index];
    if (!name || subkey.size() + 1 > size)
        return ERROR_MORE_DATA;
    std::memcpy(name, subkey.c_str(), subkey.size() + 1);
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    RegKey* parent = KeyOf(key);
    if (!parent || parent->deleted)
        return ERROR_INVALID_HANDLE;
    if (!subKey || !*subKey)
        return ERROR_BADKEY;
    Registry& reg = M().registry;
    RegKey* target = reg.FindBelow(parent, subKey);
    if (!target)
        return ERROR_FILE_NOT_FOUND;
    std::string fullName = reg.FullName(target);
    // Windows 98/ME removes the key with everything below it; the NT family refuses a
    // key that still has subkeys.
    if (!reg.DeleteBelow(parent, subKey, M().IsWin9x()))
        return ERROR_ACCESS_DENIED;
    M().Emit("reg_delete", {{"key", fullName}});
    return ERROR_SUCCESS;
}

BOOL WINAPI OpenProcessToken(HANDLE, DWORD, PHANDLE token)
{
    if (M().IsWin9x())
        return Fail<BOOL>(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    HandleEntry entry;
    entry.kind = HandleEntry::Token;
    entry.pid = P().pid;
    *token = M().handles.Add(entry);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR, LPCSTR name, PLUID luid)
{
    if (M().IsWin9x())
        return Fail<BOOL>(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    if (!name || std::strcmp(name, SE_SHUTDOWN_NAME) != 0 || !luid)
        return Fail<BOOL>(kNoSuchPrivilege, FALSE);
    *luid = LUID{kShutdownPrivilegeLuid, 0};
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD,
                                  PTOKEN_PRIVILEGES, PDWORD)
{
    HandleEntry* entry = M().handles.Find(token);
    if (!entry || entry->kind != HandleEntry::Token)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    Process* owner = M().scheduler.Find(entry->pid);
    Process& p = owner ? *owner : P();
    if (disableAll)
        p.shutdownPrivilege = false;
    else if (newState)
        for (DWORD i = 0; i < newState->PrivilegeCount && i < 1; ++i)
            if (newState->Privileges[i].Luid.LowPart == kShutdownPrivilegeLuid)
                p.shutdownPrivilege = (newState->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    M().Emit("privilege", {{"name", SE_SHUTDOWN_NAME}, {"enabled", p.shutdownPrivilege}});
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // extern "C"
