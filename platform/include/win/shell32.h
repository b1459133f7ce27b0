// Notification area of the host stand-in layer.
#pragma once

#include "win/types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

// The record of the first shell version (88 bytes on 32-bit Windows).
typedef struct _NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;

#define NOTIFYICONDATAA_V1_SIZE sizeof(NOTIFYICONDATAA)

BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

#ifdef __cplusplus
}
#endif
