// The driver's i386 firmware call thunk, run for real in a 32-bit process: every
// register the firmware entry is entered with, every register it returns, the carry
// flag, and the caller's registers, stack and direction flag after the call.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "hw_access.h"

static_assert(sizeof(FirmwareRegisters) == 28, "the thunk's block is seven 32-bit words");

extern "C" {
extern uint32_t g_atEntry[7];
extern uint32_t g_toReturn[7];
extern uint32_t g_returnCarry;
void StandinEntry();
unsigned int CheckedCall(void* entry, FirmwareRegisters* block, unsigned int* carry);
}

namespace {

struct Case {
    const char* name;
    uint32_t in[7];   // EAX, EBX, ECX, EDX, ESI, EDI, EBP handed to the thunk
    uint32_t out[7];  // what the entry leaves in them
    uint32_t carry;
};

const Case kCases[] = {
    {"oem identifier",
     {0x9610, 0x200, 0, 0, 0, 0, 0x00400000},
     {0x5F546F76, 0x5F5F5F5F, 0x5F4C756D, 0x5F5F5F5F, 0x11111111, 0x22222222, 0x33333333},
     0},
    {"product name, carry set",
     {0x9610, 0x0C, 0, 0, 0x0081F028, 0, 0x00400000},
     {0x86000001, 0x0C, 0x7FFFFFFF, 0x80000000, 0x0081F028, 0xFFFFFFFF, 0},
     1},
    {"every bit pattern once",
     {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210, 0xA5A5A5A5, 0x5A5A5A5A, 0xC3C3C3C3},
     {0xFFFFFFFF, 0x00000000, 0x0F0F0F0F, 0xF0F0F0F0, 0x3C3C3C3C, 0xC3C3C3C3, 0x12345678},
     0},
    {"all ones in, all zeros out, carry set",
     {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
     {0, 0, 0, 0, 0, 0, 0},
     1},
};

const char* const kRegisterNames[7] = {"eax", "ebx", "ecx", "edx", "esi", "edi", "ebp"};

void ToBlock(const uint32_t values[7], FirmwareRegisters& block)
{
    block.eax = values[0];
    block.ebx = values[1];
    block.ecx = values[2];
    block.edx = values[3];
    block.esi = values[4];
    block.edi = values[5];
    block.ebp = values[6];
}

void FromBlock(const FirmwareRegisters& block, uint32_t values[7])
{
    const uint32_t copy[7] = {block.eax, block.ebx, block.ecx, block.edx,
                              (uint32_t)block.esi, (uint32_t)block.edi, (uint32_t)block.ebp};
    memcpy(values, copy, sizeof(copy));
}

int Check(const Case& c)
{
    int failures = 0;
    memset(g_atEntry, 0, sizeof(uint32_t) * 7);
    memcpy(g_toReturn, c.out, sizeof(c.out));
    g_returnCarry = c.carry;
    FirmwareRegisters block;
    ToBlock(c.in, block);
    unsigned int carry = 2;
    unsigned int wrong = CheckedCall((void*)&StandinEntry, &block, &carry);

    uint32_t after[7];
    FromBlock(block, after);
    for (int i = 0; i < 7; ++i) {
        if (g_atEntry[i] != c.in[i]) {
            printf("%s: %s at entry %08X, expected %08X\n", c.name, kRegisterNames[i],
                   g_atEntry[i], c.in[i]);
            ++failures;
        }
        // EBP is handed to the service but not stored back.
        uint32_t expected = i == 6 ? c.in[i] : c.out[i];
        if (after[i] != expected) {
            printf("%s: %s after the call %08X, expected %08X\n", c.name, kRegisterNames[i],
                   after[i], expected);
            ++failures;
        }
    }
    if (carry != c.carry) {
        printf("%s: carry %u, expected %u\n", c.name, carry, c.carry);
        ++failures;
    }
    if (wrong != 0) {
        printf("%s: caller's state not kept (mask %02X: 1 ebx, 2 esi, 4 edi, 8 ebp, 16 esp, "
               "32 direction flag)\n", c.name, wrong);
        ++failures;
    }
    return failures;
}

}  // namespace

int main()
{
    int passed = 0, failed = 0;
    for (const Case& c : kCases) {
        if (Check(c) == 0)
            ++passed;
        else
            ++failed;
    }
    printf("bios thunk: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
