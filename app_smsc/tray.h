// The tray program: shared state, identifiers and operations.
//
// Both tray programs (pexasmsc2k for the Windows 2000 family, pexasmsc98 for
// Windows 98/ME) are built from this source; PEXA_WIN9X_CONTROLLER switches on the
// Windows 98/ME controller path of the 98 build.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "resource.h"
#include "strings.h"

// Window class and title; the selector finds the program by this class.
#define TRAY_WINDOW_CLASS "Pexaro Control"
#define TRAY_WINDOW_TITLE "Pexaro Control"

#define WM_TRAYICON (WM_USER + 256)    // callback message of the notification icon
#define WM_REMOTEOFF (WM_USER + 1000)  // other programs may ask for remote mode off

#define TRAY_ICON_ID 0x3456
#define POLL_TIMER_ID 0x1234
#define POLL_PERIOD_MS 150

struct TrayState {
    HINSTANCE instance;
    HWND window;
    HANDLE device;  // INVALID_HANDLE_VALUE until the control device is open
    bool visible;
    bool remoteOn;
    bool pollingOn;
    bool iconAdded;
    bool powerTransition;
    bool fourKeyMap;
    bool port4E;
    unsigned char codeHistory[12];
    UINT_PTR pollTimer;
};

extern TrayState g_tray;

// Start-up, window and dispatch
int TrayMain(HINSTANCE instance);
bool IsAlreadyRunning();
bool OpenDriver();
void ParseCommandLine();
bool CreateMainWindow();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Control requests: the code for the configuration port the program was started for.
DWORD PortCode(DWORD code2E);
// A request without buffers; its result is not used.
void SendControl(DWORD code);
// One read-code request for the program's port into `code` (3 bytes); the number of
// bytes read, 0 when no code was waiting or the request failed.
DWORD ReadCode(unsigned char* code);

// Notification icon and popup menu
BOOL SetTrayIcon(DWORD operation, int icon, const char* tip);
void ShowTrayMenu(WPARAM iconId, LPARAM mouseMessage);

// Remote mode
void RemoteOn();
void RemoteOff();
void AskReboot();

// Code polling and key mapping
void PollCode();
void ShowCodeHistory(const unsigned char code[3]);
void MapCodeTwoKeys(const unsigned char code[3]);
void MapCodeFourKeys(const unsigned char code[3]);
void SendKey(BYTE vk);

// Power events
void OnPowerBroadcast(WPARAM event, LPARAM data);

// Help
void ShowHelp();

// Controller enable and disable
void SetControllerEnabled(bool enable);
void ChangeControllerState(bool enable);

// Controller state and the Windows 98/ME devnode
bool IsControllerEnabled();
DWORD FindControllerDevnode();
DWORD NextDevnode(LONG index, HKEY* enumeration);
bool IsDevnodeEnabled(DWORD devnode);
SStr DevnodeHardwareKey(DWORD devnode);
bool ReadRegString(HKEY root, const char* subkey, const char* name, SStr& output);
bool ReadRegBinary(HKEY root, const char* subkey, const char* name, void* data, DWORD size);
bool ReadRegDword(HKEY root, const char* subkey, const char* name, DWORD* output);

// Persisted mode and hardware-profile clean-up
bool RemoteModeValue(bool read, bool on);
bool WriteRegDword(HKEY root, const char* subkey, const char* name, DWORD value);
void CleanUpHardwareProfiles();
