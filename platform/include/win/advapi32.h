// Registry and security services of the host stand-in layer.
#pragma once

#include "win/types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_DYN_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000006))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_ALL_ACCESS 0xF003F
#define KEY_READ 0x20019
#define REG_OPTION_NON_VOLATILE 0
#define REG_OPTION_VOLATILE 1

typedef DWORD REGSAM;

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className,
                            DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition);
LONG WINAPI RegCloseKey(HKEY key);
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size);
LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size);
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);

// Privileges
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_QUERY 0x0008
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                  DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returnLength);

#ifdef __cplusplus
}
#endif
