// File and device services of the stand-in layer.
#include <algorithm>
#include <cstring>

#include "api_common.h"

using namespace sim;

namespace {

const char kDevicePrefix[] = "\\\\.\\";

bool IsDevicePath(const char* name)
{
    return std::strncmp(name, kDevicePrefix, 4) == 0;
}

HANDLE OpenDevice(const char* name)
{
    uint32_t error = 0;
    void* device = M().io.Open(name, error);
    if (!device)
        return Fail<HANDLE>(error, INVALID_HANDLE_VALUE);
    HandleEntry entry;
    entry.kind = HandleEntry::Device;
    entry.pid = P().pid;
    entry.path = name;
    entry.device = device;
    return M().handles.Add(entry);
}

HANDLE OpenFile(const std::string& name, DWORD access, DWORD disposition)
{
    std::string full = FileSystem::Resolve(P().cwd, name);
    FileSystem& files = M().files;
    if (full.empty())
        return Fail<HANDLE>(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);
    if (files.IsDirectory(full))
        return Fail<HANDLE>(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    bool exists = files.IsFile(full);
    if (!exists && (disposition == OPEN_EXISTING))
        return Fail<HANDLE>(files.IsDirectory(full.substr(0, full.rfind('\\'))) ? ERROR_FILE_NOT_FOUND
                                                                              : ERROR_PATH_NOT_FOUND,
                            INVALID_HANDLE_VALUE);
    if (exists && disposition == CREATE_NEW)
        return Fail<HANDLE>(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    HandleEntry entry;
    entry.kind = HandleEntry::File;
    entry.pid = P().pid;
    entry.path = full;
    entry.writable = (access & GENERIC_WRITE) != 0;
    if (exists && disposition != CREATE_ALWAYS)
        entry.data = *files.Read(full);
    if (!exists || disposition == CREATE_ALWAYS)
        files.AddFile(full, std::vector<uint8_t>{});
    return M().handles.Add(entry);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE)
{
    if (!name)
        return Fail<HANDLE>(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (IsDevicePath(name))
        return OpenDevice(name);
    return OpenFile(name, access, disposition);
}

HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (WideCallsMissing())
        return Fail<HANDLE>(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
    std::string narrow = Narrow(name);
    return CreateFileA(narrow.c_str(), access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED)
{
    HandleEntry* entry = M().handles.Find(file);
    if (!entry || entry->kind != HandleEntry::File)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    size_t available = entry->data.size() - std::min(entry->position, entry->data.size());
    DWORD count = static_cast<DWORD>(std::min<size_t>(toRead, available));
    if (count)
        std::memcpy(buffer, entry->data.data() + entry->position, count);
    entry->position += count;
    if (read)
        *read = count;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    HandleEntry* entry = M().handles.Find(file);
    if (!entry || entry->kind != HandleEntry::File || !entry->writable)
        return Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (entry->position > entry->data.size())
        entry->data.resize(entry->position);
    entry->data.resize(std::max(entry->data.size(), entry->position + toWrite));
    std::copy(bytes, bytes + toWrite, entry->data.begin() + static_cast<long>(entry->position));
    entry->position += toWrite;
    M().files.AddFile(entry->path, entry->data);
    if (written)
        *written = toWrite;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD high)
{
    HandleEntry* entry = M().handles.Find(file);
    if (!entry || entry->kind != HandleEntry::File)
        return Fail<DWORD>(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    uint64_t size = entry->data.size();
    if (high)
        *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    HandleEntry* entry = M().handles.Find(handle);
    if (!entry)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    if (entry->kind == HandleEntry::Device)
        M().io.Close(entry->device);
    M().handles.Remove(handle);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    std::string full = FileSystem::Resolve(P().cwd, name ? name : "");
    if (full.empty())
        return Fail<DWORD>(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    if (M().files.IsDirectory(full))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (M().files.IsFile(full))
        return FILE_ATTRIBUTE_NORMAL;
    return Fail<DWORD>(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

DWORD WINAPI GetFileAttributesW(LPCWSTR name)
{
    if (WideCallsMissing())
        return Fail<DWORD>(ERROR_CALL_NOT_IMPLEMENTED, INVALID_FILE_ATTRIBUTES);
    std::string narrow = Narrow(name);
    return GetFileAttributesA(narrow.c_str());
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inLength, LPVOID out,
                            DWORD outLength, LPDWORD returned, LPOVERLAPPED)
{
    HandleEntry* entry = M().handles.Find(device);
    if (!entry || entry->kind != HandleEntry::Device)
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    uint32_t count = 0;
    uint32_t error = 0;
    bool ok = M().io.DeviceControl(entry->device, code, in, inLength, out, outLength, count, error);
    if (returned)
        *returned = count;
    if (!ok)
        return Fail<BOOL>(error, FALSE);
    return TRUE;
}

}  // extern "C"
