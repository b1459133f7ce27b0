// A stand-in for the firmware's service entry, and a caller that watches the thunk.
//
// StandinEntry records every register it is entered with, then leaves every general
// register but ESP changed to the values the test asked for, returns with the carry flag
// the test asked for, and leaves the direction flag set, as a careless service might.
//
// CheckedCall calls the thunk with known values in the registers the calling convention
// says a callee keeps (EBX, ESI, EDI, EBP) and reports in a bit mask which of them, and
// whether ESP or the direction flag, came back wrong.

#define REG_EAX 0
#define REG_EBX 4
#define REG_ECX 8
#define REG_EDX 12
#define REG_ESI 16
#define REG_EDI 20
#define REG_EBP 24

#define KEEP_EBX 0xB0B1B2B3
#define KEEP_ESI 0x51525354
#define KEEP_EDI 0xD1D2D3D4
#define KEEP_EBP 0xEB0EB1EB

#define WRONG_EBX 1
#define WRONG_ESI 2
#define WRONG_EDI 4
#define WRONG_EBP 8
#define WRONG_ESP 16
#define DIRECTION_SET 32

#define DIRECTION_FLAG 0x400

    .data
    .globl g_atEntry, g_toReturn, g_returnCarry
    .p2align 2
g_atEntry:      .space 28   // EAX, EBX, ECX, EDX, ESI, EDI, EBP as the entry found them
g_toReturn:     .space 28   // what the entry leaves in them
g_returnCarry:  .long 0
g_espBefore:    .long 0

    .text
    .globl StandinEntry
StandinEntry:
    movl    %eax, g_atEntry + REG_EAX
    movl    %ebx, g_atEntry + REG_EBX
    movl    %ecx, g_atEntry + REG_ECX
    movl    %edx, g_atEntry + REG_EDX
    movl    %esi, g_atEntry + REG_ESI
    movl    %edi, g_atEntry + REG_EDI
    movl    %ebp, g_atEntry + REG_EBP
    movl    g_toReturn + REG_EBX, %ebx
    movl    g_toReturn + REG_ECX, %ecx
    movl    g_toReturn + REG_EDX, %edx
    movl    g_toReturn + REG_ESI, %esi
    movl    g_toReturn + REG_EDI, %edi
    movl    g_toReturn + REG_EBP, %ebp
    movl    g_toReturn + REG_EAX, %eax
    std
    cmpl    $0, g_returnCarry
    je      1f
    stc
    ret
1:  clc
    ret

// unsigned int CheckedCall(void* entry, void* block, unsigned int* carry)   (cdecl)
    .globl CheckedCall
CheckedCall:
    pushl   %ebp
    pushl   %ebx
    pushl   %esi
    pushl   %edi
    // 16 return address, 20 entry, 24 block, 28 carry
    pushl   24(%esp)                // block
    pushl   24(%esp)                // entry
    leal    8(%esp), %eax
    movl    %eax, g_espBefore       // where ESP must be once the thunk has returned
    movl    $KEEP_EBX, %ebx
    movl    $KEEP_ESI, %esi
    movl    $KEEP_EDI, %edi
    movl    $KEEP_EBP, %ebp
    call    PexaBiosThunk

    xorl    %ecx, %ecx
    cmpl    $KEEP_EBX, %ebx
    je      1f
    orl     $WRONG_EBX, %ecx
1:  cmpl    $KEEP_ESI, %esi
    je      2f
    orl     $WRONG_ESI, %ecx
2:  cmpl    $KEEP_EDI, %edi
    je      3f
    orl     $WRONG_EDI, %ecx
3:  cmpl    $KEEP_EBP, %ebp
    je      4f
    orl     $WRONG_EBP, %ecx
4:  pushfl
    popl    %edx
    testl   $DIRECTION_FLAG, %edx
    jz      5f
    orl     $DIRECTION_SET, %ecx
    cld
5:  cmpl    g_espBefore, %esp
    je      6f
    orl     $WRONG_ESP, %ecx
    movl    g_espBefore, %esp
6:  movl    28(%esp), %edx
    movl    %eax, (%edx)
    movl    %ecx, %eax
    popl    %edi
    popl    %esi
    popl    %ebx
    popl    %ebp
    ret

    .section .note.GNU-stack, "", @progbits
