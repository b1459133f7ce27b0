// The NT kernel interface of the host stand-in layer, for the driver.
//
// Written from what the driver expects of the kernel: driver and device objects, I/O
// request packets with their stack location, counted strings, the time, port-free
// kernel services. The objects are the simulated I/O manager's (sim/iomanager.cpp); the
// functions live in platform/src/kernel_*.cpp. Field layouts are our own: only the names
// and meanings matter to the driver. On Windows the real kernel headers take its place.
#pragma once

#include <stdarg.h>

#include "win/types.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Basic kernel types ----------------------------------------------------------

typedef LONG NTSTATUS;
typedef short CSHORT;
typedef ULONG DEVICE_TYPE;
typedef CHAR CCHAR;

#define NT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)
#define NT_INFORMATION(status) ((((ULONG)(status)) >> 30) == 1)
#define NT_WARNING(status) ((((ULONG)(status)) >> 30) == 2)
#define NT_ERROR(status) ((((ULONG)(status)) >> 30) == 3)

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_PENDING ((NTSTATUS)0x00000103L)
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001L)
#define STATUS_NOT_IMPLEMENTED ((NTSTATUS)0xC0000002L)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define STATUS_NO_SUCH_DEVICE ((NTSTATUS)0xC000000EL)
#define STATUS_INVALID_DEVICE_REQUEST ((NTSTATUS)0xC0000010L)
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023L)
#define STATUS_OBJECT_NAME_INVALID ((NTSTATUS)0xC0000033L)
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#define STATUS_OBJECT_PATH_NOT_FOUND ((NTSTATUS)0xC000003AL)
#define STATUS_DELETE_PENDING ((NTSTATUS)0xC0000056L)
#define STATUS_INSUFFICIENT_RESOURCES ((NTSTATUS)0xC000009AL)
#define STATUS_DEVICE_DATA_ERROR ((NTSTATUS)0xC000009CL)
#define STATUS_DEVICE_NOT_READY ((NTSTATUS)0xC00000A3L)
#define STATUS_NOT_SUPPORTED ((NTSTATUS)0xC00000BBL)
#define STATUS_IMAGE_ALREADY_LOADED ((NTSTATUS)0xC000010EL)
#define STATUS_IO_DEVICE_ERROR ((NTSTATUS)0xC0000185L)

#define UNREFERENCED_PARAMETER(p) ((void)(p))

// ---- Control codes ---------------------------------------------------------------

// The same rule and names as <winioctl.h> on the user side; whichever comes first
// defines them.
#include "win/ioctl_codes.h"

// ---- Counted strings -------------------------------------------------------------

typedef struct _UNICODE_STRING {
    USHORT Length;         // bytes, without a terminator
    USHORT MaximumLength;  // bytes of Buffer
    PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

void NTAPI RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source);

// ---- Objects ---------------------------------------------------------------------

struct _DRIVER_OBJECT;
struct _DEVICE_OBJECT;
struct _IRP;

typedef NTSTATUS NTAPI DRIVER_INITIALIZE(struct _DRIVER_OBJECT* driverObject,
                                         PUNICODE_STRING registryPath);
typedef DRIVER_INITIALIZE* PDRIVER_INITIALIZE;
typedef NTSTATUS NTAPI DRIVER_DISPATCH(struct _DEVICE_OBJECT* deviceObject, struct _IRP* irp);
typedef DRIVER_DISPATCH* PDRIVER_DISPATCH;
typedef void NTAPI DRIVER_UNLOAD(struct _DRIVER_OBJECT* driverObject);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_DEVICE_CONTROL 0x0E
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_MAXIMUM_FUNCTION 0x1B

typedef struct _DRIVER_OBJECT {
    CSHORT Type;
    CSHORT Size;
    struct _DEVICE_OBJECT* DeviceObject;  // first of the driver's devices
    ULONG Flags;
    UNICODE_STRING DriverName;
    PUNICODE_STRING HardwareDatabase;
    PDRIVER_INITIALIZE DriverInit;
    PDRIVER_UNLOAD DriverUnload;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
} DRIVER_OBJECT, *PDRIVER_OBJECT;

#define DO_BUFFERED_IO 0x00000004
#define DO_EXCLUSIVE 0x00000008
#define DO_DEVICE_INITIALIZING 0x00000080

typedef struct _DEVICE_OBJECT {
    CSHORT Type;
    USHORT Size;
    LONG ReferenceCount;                  // open files on the device
    struct _DRIVER_OBJECT* DriverObject;
    struct _DEVICE_OBJECT* NextDevice;    // next device of the same driver
    ULONG Flags;
    ULONG Characteristics;
    PVOID DeviceExtension;
    DEVICE_TYPE DeviceType;
    CCHAR StackSize;
} DEVICE_OBJECT, *PDEVICE_OBJECT;

typedef struct _FILE_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;
    PVOID FsContext;
    UNICODE_STRING FileName;  // the part of the opened name after the device's name
} FILE_OBJECT, *PFILE_OBJECT;

typedef struct _IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;

typedef struct _IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    union {
        struct {
            ULONG DesiredAccess;
            ULONG Options;
            USHORT FileAttributes;
            USHORT ShareAccess;
        } Create;
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PFILE_OBJECT FileObject;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

typedef char KPROCESSOR_MODE;
#define KernelMode 0
#define UserMode 1

typedef struct _IRP {
    CSHORT Type;
    USHORT Size;
    ULONG Flags;
    union {
        PVOID SystemBuffer;  // METHOD_BUFFERED: max(in, out) bytes, the input copied in
    } AssociatedIrp;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    PVOID UserBuffer;
    struct {
        struct {
            PIO_STACK_LOCATION CurrentStackLocation;
        } Overlay;
    } Tail;
} IRP, *PIRP;

static inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp)
{
    return irp->Tail.Overlay.CurrentStackLocation;
}

// ---- I/O manager -----------------------------------------------------------------

#define IO_NO_INCREMENT 0

NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT driverObject, ULONG deviceExtensionSize,
                              PUNICODE_STRING deviceName, DEVICE_TYPE deviceType,
                              ULONG deviceCharacteristics, BOOLEAN exclusive,
                              PDEVICE_OBJECT* deviceObject);
void NTAPI IoDeleteDevice(PDEVICE_OBJECT deviceObject);
NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING symbolicLinkName, PUNICODE_STRING deviceName);
NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING symbolicLinkName);
void NTAPI IofCompleteRequest(PIRP irp, CCHAR priorityBoost);
#define IoCompleteRequest(irp, priorityBoost) IofCompleteRequest((irp), (priorityBoost))

// ---- Time ------------------------------------------------------------------------

// System time: 100 ns units since 1601-01-01. It can be set (by the user, by time
// synchronisation), so it may go back between two reads.
void NTAPI KeQuerySystemTime(PLARGE_INTEGER currentTime);
// Clock ticks since start; KeQueryTimeIncrement gives the 100 ns units of one tick.
void NTAPI KeQueryTickCount(PLARGE_INTEGER tickCount);
ULONG NTAPI KeQueryTimeIncrement(void);
// 100 ns units since start; never goes back.
ULONGLONG NTAPI KeQueryInterruptTime(void);
// A counter that never goes back; `frequency`, when given, receives its counts per second.
LARGE_INTEGER NTAPI KeQueryPerformanceCounter(PLARGE_INTEGER frequency);

// ---- Memory ----------------------------------------------------------------------

typedef LARGE_INTEGER PHYSICAL_ADDRESS, *PPHYSICAL_ADDRESS;
typedef enum _MEMORY_CACHING_TYPE { MmNonCached = 0, MmCached = 1, MmWriteCombined = 2 } MEMORY_CACHING_TYPE;

// Maps physical memory into system space; null when it cannot be mapped.
PVOID NTAPI MmMapIoSpace(PHYSICAL_ADDRESS physicalAddress, SIZE_T numberOfBytes,
                         MEMORY_CACHING_TYPE cacheType);
void NTAPI MmUnmapIoSpace(PVOID baseAddress, SIZE_T numberOfBytes);

// ---- Debugging -------------------------------------------------------------------

// The format knows the kernel's own conversions (%wZ for a UNICODE_STRING).
ULONG DbgPrint(PCSTR format, ...);

// ---- The driver's entry ----------------------------------------------------------

// Exported by the driver module (built with hidden visibility) for the I/O manager.
__attribute__((visibility("default"))) NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject,
                                                                  PUNICODE_STRING registryPath);

#ifdef __cplusplus
}
#endif
