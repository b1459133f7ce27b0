// Detection of the notebook model: two BIOS-call requests through the driver, each on a
// handle opened just before and closed just after it, so that the selector never holds
// the device while the program it starts opens it.
#include "selector.h"

#include <stddef.h>
#include <string.h>

#include <winioctl.h>

#include <pexactrl.h>

namespace {

struct OemRow {
    int model;
    const char* chunks[4];
};

// Tried in this order; the first row whose four chunks all match wins.
const OemRow kOemRows[] = {
    {kModelOemRow3, {"_Tov", "____", "_Lum", "____"}},
    {kModelOemRow4, {"_J33", "____", "_Vol", "d___"}},
    {kModelOemRow5, {"_J57", "____", "_Vol", "d___"}},
};

struct ProductRow {
    int model;
    const char* name;  // compared exactly, letter case included
};

const ProductRow kProductRows[] = {
    {kModelSkerry21, "Skerry 21"},
    {kModelSkerry46, "Skerry 46"},
};

// The product-name request: the register block, then the data area the firmware fills.
struct ProductNameRequest {
    IR_BIOS_REGS regs;
    char name[IR_BIOS_DATA_AREA];
};
static_assert(sizeof(ProductNameRequest) == 104, "the product-name request is 104 bytes");

HANDLE OpenDevice(const char* path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

// One request with the buffer as input and output; its result is not looked at: the
// caller reads the buffer as it stands afterwards.
void SendBiosCall(HANDLE device, void* buffer, DWORD length)
{
    DWORD returned = 0;
    DeviceIoControl(device, IOCTL_IR_BIOS_CALL, buffer, length, buffer, length, &returned, NULL);
}

bool RowMatches(const OemRow& row, const IR_BIOS_REGS& regs)
{
    return regs.Eax == PackChunk(row.chunks[0]) && regs.Ebx == PackChunk(row.chunks[1]) &&
           regs.Ecx == PackChunk(row.chunks[2]) && regs.Edx == PackChunk(row.chunks[3]);
}

// The name's length without trailing blanks (spaces only). The firmware terminates the
// name with a NUL; one that fills the whole area without it ends at the area's end.
size_t TrimmedNameLength(const char* name, size_t size)
{
    size_t length = 0;
    while (length < size && name[length] != '\0')
        ++length;
    while (length > 0 && name[length - 1] == ' ')
        --length;
    return length;
}

}  // namespace

ULONG PackChunk(const char* fourCharacters)
{
    const unsigned char* c = (const unsigned char*)fourCharacters;
    return (ULONG)c[0] << 24 | (ULONG)c[1] << 16 | (ULONG)c[2] << 8 | (ULONG)c[3];
}

HANDLE OpenControlDevice()
{
    HANDLE device = OpenDevice(PEXACTRL_USER_PATH);
    if (device == INVALID_HANDLE_VALUE)
        device = OpenDevice(SELECTOR_SECOND_DEVICE);
    return device;
}

int QueryOemId()
{
    HANDLE device = OpenControlDevice();
    if (device == INVALID_HANDLE_VALUE)
        return kModelUnknown;
    IR_BIOS_REGS regs;
    memset(&regs, 0, sizeof regs);
    regs.Eax = IR_BIOS_FUNCTION;
    regs.Ebx = IR_BIOS_OEM_ID;
    SendBiosCall(device, &regs, sizeof regs);
    CloseHandle(device);
    for (const OemRow& row : kOemRows)
        if (RowMatches(row, regs))
            return row.model;
    return kModelUnknown;
}

int QueryProductName()
{
    HANDLE device = OpenControlDevice();
    if (device == INVALID_HANDLE_VALUE)
        return kModelUnknown;
    ProductNameRequest request;
    memset(&request, 0, sizeof request);
    request.regs.Eax = IR_BIOS_FUNCTION;
    request.regs.Ebx = IR_BIOS_PRODUCT_NAME;
    request.regs.Esi = offsetof(ProductNameRequest, name);
    request.regs.EsiIsOffset = 1;
    SendBiosCall(device, &request, sizeof request);
    CloseHandle(device);
    size_t length = TrimmedNameLength(request.name, sizeof request.name);
    for (const ProductRow& row : kProductRows)
        if (length == strlen(row.name) && memcmp(request.name, row.name, length) == 0)
            return row.model;
    return kModelUnknown;
}
