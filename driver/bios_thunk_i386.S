// The near call into the firmware's 32-bit service entry, for i386.
//
//   unsigned int __stdcall PexaBiosThunk(void* entry, FirmwareRegisters* registers);
//
// The block holds seven 32-bit words: EAX, EBX, ECX, EDX, ESI, EDI, EBP. They are all
// loaded, the entry is called, and EAX to EDI are stored back as the service left them.
// The result is the carry flag the service returned with (0 or 1).
//
// The service may change every general register but ESP, so the caller's EBX, ESI,
// EDI and EBP are saved around the call, and the block's address is kept on the stack.
// A service that leaves the direction flag set must not hand it on to compiled code.
//
// The same source builds into the Windows driver (stdcall name decorated with a leading
// underscore and the argument bytes) and into the 32-bit Linux test that runs it under
// an emulator.

#if defined(_WIN32)
#define THUNK _PexaBiosThunk@8
#else
#define THUNK PexaBiosThunk
#endif

// Block offsets
#define REG_EAX 0
#define REG_EBX 4
#define REG_ECX 8
#define REG_EDX 12
#define REG_ESI 16
#define REG_EDI 20
#define REG_EBP 24

#define CARRY_FLAG 1

// Stack after the four saves and the pushed block address:
//   0 block, 4 edi, 8 esi, 12 ebx, 16 ebp, 20 return address, 24 entry, 28 block
#define ARG_ENTRY 24
#define ARG_BLOCK 28

    .text
    .globl THUNK
    .p2align 4
THUNK:
    pushl   %ebp
    pushl   %ebx
    pushl   %esi
    pushl   %edi
    movl    (ARG_BLOCK - 4)(%esp), %eax
    pushl   %eax

    movl    REG_EBX(%eax), %ebx
    movl    REG_ECX(%eax), %ecx
    movl    REG_EDX(%eax), %edx
    movl    REG_ESI(%eax), %esi
    movl    REG_EDI(%eax), %edi
    movl    REG_EBP(%eax), %ebp
    movl    REG_EAX(%eax), %eax
    call    *ARG_ENTRY(%esp)

    pushfl
    cld
    pushl   %eax
    // 0 returned eax, 4 returned flags, 8 block
    movl    8(%esp), %eax
    movl    %ebx, REG_EBX(%eax)
    movl    %ecx, REG_ECX(%eax)
    movl    %edx, REG_EDX(%eax)
    movl    %esi, REG_ESI(%eax)
    movl    %edi, REG_EDI(%eax)
    popl    %ecx
    movl    %ecx, REG_EAX(%eax)
    popl    %eax
    andl    $CARRY_FLAG, %eax
    addl    $4, %esp

    popl    %edi
    popl    %esi
    popl    %ebx
    popl    %ebp
    ret     $8

#if !defined(_WIN32)
    .section .note.GNU-stack, "", @progbits
#endif
