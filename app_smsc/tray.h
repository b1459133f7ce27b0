// The tray program: shared state, identifiers and operations.
//
// Both tray programs (pexasmsc2k for the Windows 2000 family, pexasmsc98 for
// Windows 98/ME) are built from this source; PEXA_WIN9X_CONTROLLER switches on the
// Windows 98/ME controller path of the 98 build.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "resource.h"

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

// Controller state and configuration
void SetControllerEnabled(bool enable);
void ChangeControllerState(bool enable);
bool IsControllerEnabled();
bool RemoteModeValue(bool read, bool on);
bool WriteRegDword(HKEY root, const char* subkey, const char* name, DWORD value);
void CleanUpHardwareProfiles();
