// Switching between remote mode and normal mode.
#include "language.h"
#include "tray.h"

#include <winioctl.h>  // after windows.h, whose types it uses

#include <pexactrl.h>

namespace {

// The UART's receive FIFO holds 16 bytes, five codes and a part of a sixth, so a few
// reads empty it. More reads than this mean that something keeps answering with codes
// (a receiver stuck at "data ready", a driver that takes a floating bus for data), and
// the program would otherwise never get back to its messages.
const int kMaxDrainReads = 16;

// Codes that waited before remote mode came on are thrown away, not turned into keys.
void DrainCodes()
{
    unsigned char code[IR_CODE_LENGTH] = {0};
    for (int reads = 0; reads < kMaxDrainReads; ++reads)
        if (ReadCode(code) == 0)
            return;
}

void SetPollTimer()
{
    if (g_tray.pollTimer == 0)
        g_tray.pollTimer = SetTimer(g_tray.window, POLL_TIMER_ID, POLL_PERIOD_MS, nullptr);
}

void KillPollTimer()
{
    if (g_tray.pollTimer != 0) {
        KillTimer(g_tray.window, POLL_TIMER_ID);
        g_tray.pollTimer = 0;
    }
}

void SetMode(bool on)
{
    g_tray.remoteOn = on;
    g_tray.pollingOn = on;
}

void EnableShutdownPrivilege()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = 0;
    privileges.Privileges[0].Luid.HighPart = 0;
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
}

}  // namespace

void RemoteOn()
{
    SetMode(false);
    RemoteModeValue(false, true);
    SetControllerEnabled(false);
    SendControl(PortCode(IOCTL_IR_REMOTE_ON_2E));
    if (g_tray.iconAdded)
        SetTrayIcon(NIM_MODIFY, IDI_REMOTE_ON, nullptr);
    SetPollTimer();
    SetMode(true);
    DrainCodes();
    CleanUpHardwareProfiles();
}

void RemoteOff()
{
    RemoteModeValue(false, false);
    SetMode(false);
    KillPollTimer();
    // On the NT family the clean-up after RemoteOn already reports the controller as
    // enabled; then the chip is left as it is until the restart.
    if (!IsControllerEnabled()) {
        SendControl(PortCode(IOCTL_IR_REMOTE_OFF_2E));
        SetControllerEnabled(true);
    }
    if (g_tray.iconAdded)
        SetTrayIcon(NIM_MODIFY, IDI_REMOTE_OFF, nullptr);
}

void AskReboot()
{
    SStr question = GetText("String", "ASKREBOOT");
    if (MessageBoxA(nullptr, question.Chars(), g_title.Chars(), MB_YESNO) != IDYES)
        return;
    RemoteModeValue(false, false);
    CleanUpHardwareProfiles();
    if (g_osVersion.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS)
        EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}
