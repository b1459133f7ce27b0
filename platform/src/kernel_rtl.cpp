// Stand-in NT kernel: run-time library and debugging services.
#include <ntddk.h>

namespace {

const USHORT kLongestCountedString = 0xFFFC;  // bytes, leaving room for a terminator

}  // namespace

extern "C" {

void NTAPI RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source)
{
    size_t bytes = 0;
    if (source)
        while (source[bytes / sizeof(WCHAR)])
            bytes += sizeof(WCHAR);
    if (bytes > kLongestCountedString)
        bytes = kLongestCountedString;
    destination->Buffer = const_cast<PWSTR>(source);
    destination->Length = static_cast<USHORT>(bytes);
    destination->MaximumLength = source ? static_cast<USHORT>(bytes + sizeof(WCHAR)) : 0;
}

// No kernel debugger is attached to the simulated machine: the text goes nowhere.
ULONG DbgPrint(PCSTR format, ...)
{
    (void)format;
    return STATUS_SUCCESS;
}

}  // extern "C"
