// Control interface of PEXACTRL, shared by the driver and the user programs.
//
// Include <winioctl.h> (user programs) or <ntddk.h> (driver) first: the codes are
// built with their CTL_CODE rule. Every code uses device type FILE_DEVICE_UNKNOWN,
// FILE_ANY_ACCESS and METHOD_BUFFERED. The chip-related codes come in pairs: the _2E
// member works through configuration port 0x2E, the _4E member through 0x4E; from
// 0x2220C0 to 0x2220EC the _4E member is always the _2E member plus 4.
#ifndef PEXACTRL_H
#define PEXACTRL_H

// Device names
#define PEXACTRL_DEVICE_NAME "\\Device\\PEXACTRL"
#define PEXACTRL_LINK_NAME "\\DosDevices\\PEXACTRL"
#define PEXACTRL_USER_PATH "\\\\.\\PEXACTRL"

#define PEXA_IOCTL(function) CTL_CODE(FILE_DEVICE_UNKNOWN, (function), METHOD_BUFFERED, FILE_ANY_ACCESS)

#define IOCTL_IR_RESUMED PEXA_IOCTL(0x801)          // 0x222004
#define IOCTL_IR_NOP PEXA_IOCTL(0x802)              // 0x222008
#define IOCTL_IR_ECHO2 PEXA_IOCTL(0x803)            // 0x22200C
#define IOCTL_IR_BIOS_CALL PEXA_IOCTL(0x810)        // 0x222040
#define IOCTL_IR_LEGACY_OPEN_2E PEXA_IOCTL(0x820)   // 0x222080
#define IOCTL_IR_LEGACY_CLOSE_2E PEXA_IOCTL(0x821)  // 0x222084
#define IOCTL_IR_LEGACY_READ_CODE PEXA_IOCTL(0x822) // 0x222088
#define IOCTL_IR_LEGACY_OPEN_4E PEXA_IOCTL(0x823)   // 0x22208C
#define IOCTL_IR_LEGACY_CLOSE_4E PEXA_IOCTL(0x824)  // 0x222090
#define IOCTL_IR_LEGACY_READ_CODE2 PEXA_IOCTL(0x825) // 0x222094
#define IOCTL_IR_READ_CONFIG_2E PEXA_IOCTL(0x830)   // 0x2220C0
#define IOCTL_IR_READ_CONFIG_4E PEXA_IOCTL(0x831)   // 0x2220C4
#define IOCTL_IR_REMOTE_ON_2E PEXA_IOCTL(0x832)     // 0x2220C8
#define IOCTL_IR_REMOTE_ON_4E PEXA_IOCTL(0x833)     // 0x2220CC
#define IOCTL_IR_REMOTE_OFF_2E PEXA_IOCTL(0x834)    // 0x2220D0
#define IOCTL_IR_REMOTE_OFF_4E PEXA_IOCTL(0x835)    // 0x2220D4
#define IOCTL_IR_READ_CODE_2E PEXA_IOCTL(0x836)     // 0x2220D8
#define IOCTL_IR_READ_CODE_4E PEXA_IOCTL(0x837)     // 0x2220DC
#define IOCTL_IR_SAVE_MODE_2E PEXA_IOCTL(0x838)     // 0x2220E0
#define IOCTL_IR_SAVE_MODE_4E PEXA_IOCTL(0x839)     // 0x2220E4
#define IOCTL_IR_RESTORE_MODE_2E PEXA_IOCTL(0x83A)  // 0x2220E8
#define IOCTL_IR_RESTORE_MODE_4E PEXA_IOCTL(0x83B)  // 0x2220EC

// A remote code is three bytes, first received first.
#define IR_CODE_LENGTH 3

// Statuses the driver completes requests with.
#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_INVALID_DEVICE_REQUEST
#define STATUS_INVALID_DEVICE_REQUEST ((NTSTATUS)0xC0000010L)
#endif
#ifndef STATUS_DEVICE_DATA_ERROR
#define STATUS_DEVICE_DATA_ERROR ((NTSTATUS)0xC000009CL)
#endif

// Register block of IOCTL_IR_BIOS_CALL: the first 40 bytes of the request. Bytes after
// it form a data area that the service reaches through an Esi or Edi offset.
typedef struct _IR_BIOS_REGS {
    unsigned int Eax;
    unsigned int Ebx;
    unsigned int Ecx;
    unsigned int Edx;
    unsigned int Esi;          // an offset into the request when EsiIsOffset is not 0
    unsigned int Edi;          // an offset into the request when EdiIsOffset is not 0
    unsigned int Reserved;
    unsigned int Carry;        // out: 1 when the service set carry or was not found
    unsigned int EsiIsOffset;
    unsigned int EdiIsOffset;
} IR_BIOS_REGS;

#ifdef __cplusplus
static_assert(sizeof(IR_BIOS_REGS) == 40, "IR_BIOS_REGS is the 40-byte register block");
#endif

// The BIOS service function and its subfunctions used by the selector.
#define IR_BIOS_FUNCTION 0x9610
#define IR_BIOS_OEM_ID 0x200
#define IR_BIOS_PRODUCT_NAME 0x0C

// The data area an Esi or Edi offset points at: the service may fill this many bytes
// (the product name's), so the request must hold them all from the offset on; a request
// whose offset leaves less is refused with STATUS_DEVICE_DATA_ERROR.
#define IR_BIOS_DATA_AREA 64

#endif  // PEXACTRL_H
