// Process, environment, version and language services of the stand-in layer.
#include <algorithm>
#include <cstring>

#include "api_common.h"

using namespace sim;

namespace sim {

std::string Narrow(const WCHAR* text)
{
    if (!text)
        return "";
    int length = WideCharToMultiByte(CP_OEMCP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return "";
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

std::u16string Widen(const std::string& text)
{
    int length = MultiByteToWideChar(CP_OEMCP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return u"";
    std::u16string out(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_OEMCP, 0, text.c_str(), -1, out.data(), length);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

bool WideCallsMissing()
{
    return M().IsWin9x();
}

}  // namespace sim

namespace {

// Copies text with its terminator into a caller's buffer of `size` characters, with the
// Windows rule: the result is the length copied, or the size needed (terminator
// included) when the buffer is too small.
template <typename Char>
DWORD CopyOut(const std::basic_string<Char>& text, Char* buffer, DWORD size)
{
    if (!buffer || size <= text.size())
        return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void)
{
    return P().lastError;
}

void WINAPI SetLastError(DWORD error)
{
    P().lastError = error;
}

LPSTR WINAPI GetCommandLineA(void)
{
    return P().commandLineA.data();
}

LPWSTR WINAPI GetCommandLineW(void)
{
    Process& p = P();
    p.commandLineW = Widen(p.commandLineA);
    return p.commandLineW.data();
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    auto& env = P().env;
    auto it = env.find(name ? name : "");
    if (it == env.end())
        return Fail<DWORD>(ERROR_ENVVAR_NOT_FOUND, 0);
    return CopyOut(it->second, buffer, size);
}

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (WideCallsMissing())
        return Fail<DWORD>(ERROR_CALL_NOT_IMPLEMENTED, 0);
    auto& env = P().env;
    auto it = env.find(Narrow(name));
    if (it == env.end())
        return Fail<DWORD>(ERROR_ENVVAR_NOT_FOUND, 0);
    return CopyOut(Widen(it->second), buffer, size);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    return CopyOut(P().cwd, buffer, size);
}

DWORD WINAPI GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    if (WideCallsMissing())
        return Fail<DWORD>(ERROR_CALL_NOT_IMPLEMENTED, 0);
    return CopyOut(Widen(P().cwd), buffer, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    std::string full = FileSystem::Resolve(P().cwd, path ? path : "");
    if (full.empty() || !M().files.IsDirectory(full))
        return Fail<BOOL>(ERROR_PATH_NOT_FOUND, FALSE);
    P().cwd = full;
    return TRUE;
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR path)
{
    if (WideCallsMissing())
        return Fail<BOOL>(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    std::string narrow = Narrow(path);
    return SetCurrentDirectoryA(narrow.c_str());
}

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size)
{
    const std::string& path = P().modulePath;
    if (!buffer || size == 0)
        return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
    // Windows cuts the name to the buffer and still terminates it.
    DWORD copied = std::min<DWORD>(static_cast<DWORD>(path.size()), size - 1);
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
    return copied;
}

HANDLE WINAPI GetCurrentProcess(void)
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

UINT WINAPI WinExec(LPCSTR cmdLine, UINT show)
{
    std::string cmd = cmdLine ? cmdLine : "";
    M().Emit("winexec", {{"cmd", cmd}, {"show", show}, {"pid", P().pid}});
    if (Scheduler::IsSystemProgram(cmd)) {
        std::string program = Scheduler::ProgramPath(cmd);
        std::string full = FileSystem::Resolve(P().cwd, program);
        if (!M().files.IsFile(full) && !M().files.IsFile(full + ".exe"))
            return ERROR_FILE_NOT_FOUND;
        M().scheduler.Start(cmd);
    }
    return 33;  // above 31: started
}

void WINAPI ExitProcess(UINT code)
{
    throw ProcessExit{static_cast<int>(code)};
}

void WINAPI Sleep(DWORD ms)
{
    Process& self = P();
    if (!InSimulatedProcess()) {
        M().clock.Advance(uint64_t(ms) * hw::kMillisecond);
        return;
    }
    self.wait = Process::Wait::Sleep;
    self.wakeAtNs = M().clock.now + uint64_t(ms) * hw::kMillisecond;
    M().scheduler.Yield(self);
    self.wait = Process::Wait::None;
}

DWORD WINAPI GetTickCount(void)
{
    return static_cast<DWORD>(M().clock.now / hw::kMillisecond);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA))
        return Fail<BOOL>(ERROR_INSUFFICIENT_BUFFER, FALSE);
    const OsInfo& os = M().os;
    info->dwMajorVersion = os.major;
    info->dwMinorVersion = os.minor;
    info->dwBuildNumber = os.build;
    info->dwPlatformId = os.platform;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, os.csd.c_str(), sizeof info->szCSDVersion - 1);
    return TRUE;
}

LANGID WINAPI GetSystemDefaultLangID(void)
{
    return M().config.language;
}

HANDLE WINAPI GetProcessHeap(void)
{
    return reinterpret_cast<HANDLE>(0x150000);
}

}  // extern "C"
