// Service control for the run under Wine: creates, starts, stops and deletes the kernel
// service of the driver and says exactly why a step failed (Wine's sc prints nothing
// useful).
//
//   pexa-svc create NAME IMAGE_PATH   kernel service, demand start
//   pexa-svc start NAME               waits until running or stopped
//   pexa-svc stop NAME                waits until stopped
//   pexa-svc delete NAME
//   pexa-svc state NAME               prints the state
// Exit code 0 when the step did what it says, 1 otherwise, 2 for a bad command line.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "win32_error.h"

namespace {

const DWORD kWaitLimitMs = 15000;
const DWORD kPollMs = 50;

const char* StateName(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start pending";
    case SERVICE_STOP_PENDING: return "stop pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue pending";
    case SERVICE_PAUSE_PENDING: return "pause pending";
    case SERVICE_PAUSED: return "paused";
    default: return "unknown";
    }
}

// Waits while the service is in `pending`; returns its status after.
bool WaitWhile(SC_HANDLE service, DWORD pending, SERVICE_STATUS* status)
{
    DWORD waited = 0;
    for (;;) {
        if (!QueryServiceStatus(service, status)) {
            PrintWin32Error("QueryServiceStatus", GetLastError());
            return false;
        }
        if (status->dwCurrentState != pending || waited >= kWaitLimitMs)
            return true;
        Sleep(kPollMs);
        waited += kPollMs;
    }
}

int Create(SC_HANDLE manager, const char* name, const char* path)
{
    SC_HANDLE service = CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, path, NULL, NULL, NULL, NULL, NULL);
    if (service == NULL) {
        PrintWin32Error("CreateService", GetLastError());
        return 1;
    }
    CloseServiceHandle(service);
    printf("create %s: ok (%s)\n", name, path);
    return 0;
}

int Start(SC_HANDLE service, const char* name)
{
    if (!StartServiceA(service, 0, NULL)) {
        PrintWin32Error("StartService", GetLastError());
        return 1;
    }
    SERVICE_STATUS status;
    if (!WaitWhile(service, SERVICE_START_PENDING, &status))
        return 1;
    if (status.dwCurrentState != SERVICE_RUNNING) {
        printf("start %s: ended %s, exit code %lu\n", name, StateName(status.dwCurrentState),
               (unsigned long)status.dwWin32ExitCode);
        return 1;
    }
    printf("start %s: running\n", name);
    return 0;
}

int Stop(SC_HANDLE service, const char* name)
{
    SERVICE_STATUS status;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        PrintWin32Error("ControlService(stop)", GetLastError());
        return 1;
    }
    if (!WaitWhile(service, SERVICE_STOP_PENDING, &status))
        return 1;
    printf("stop %s: %s\n", name, StateName(status.dwCurrentState));
    return status.dwCurrentState == SERVICE_STOPPED ? 0 : 1;
}

int Delete(SC_HANDLE service, const char* name)
{
    if (!DeleteService(service)) {
        PrintWin32Error("DeleteService", GetLastError());
        return 1;
    }
    printf("delete %s: ok\n", name);
    return 0;
}

int State(SC_HANDLE service, const char* name)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) {
        PrintWin32Error("QueryServiceStatus", GetLastError());
        return 1;
    }
    printf("%s: %s\n", name, StateName(status.dwCurrentState));
    return 0;
}

int Usage()
{
    printf("usage: pexa-svc create NAME IMAGE_PATH | start NAME | stop NAME | delete NAME | "
           "state NAME\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const char* command = argv[1];
    const char* name = argv[2];
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (manager == NULL) {
        PrintWin32Error("OpenSCManager", GetLastError());
        return 1;
    }
    int result = 2;
    if (strcmp(command, "create") == 0) {
        result = argc == 4 ? Create(manager, name, argv[3]) : Usage();
    } else {
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
        if (service == NULL) {
            PrintWin32Error("OpenService", GetLastError());
            result = 1;
        } else {
            if (strcmp(command, "start") == 0)
                result = Start(service, name);
            else if (strcmp(command, "stop") == 0)
                result = Stop(service, name);
            else if (strcmp(command, "delete") == 0)
                result = Delete(service, name);
            else if (strcmp(command, "state") == 0)
                result = State(service, name);
            else
                result = Usage();
            CloseServiceHandle(service);
        }
    }
    CloseServiceHandle(manager);
    fflush(stdout);
    return result;
}
