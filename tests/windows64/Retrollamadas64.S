/* The requests written as the 64-bit Windows convention reads them, not as a C compiler
 * declares them: each counts a misaligned entry (RSP + 8 not a multiple of 16), takes its
 * parameters from where the convention puts them, forwards them to the C functions of
 * Interfaz64.c as (object, name, parameters, N, R), and leaves garbage in every register
 * the caller may not rely on (RAX, RCX, RDX, R8-R11, XMM0-XMM5).
 *   VariableLiteral(name RCX, R RDX)                          Evalion.dll's plain form
 *   FuncionLiteral(name RCX, Parametros RDX, N R8, R R9)
 *   VariableMetodo(Self RCX, name RDX, R R8)                  Evalionobj.dll: a Delphi or
 *   FuncionMetodo(Self RCX, name RDX, Parametros R8, N R9,    Free Pascal Win64 method
 *                 R at [RSP+40])                              "of object" */
        .data
        .p2align 3
        .globl EvalionDesalineadas, EvalionRetrollamadas
EvalionDesalineadas:  .quad 0
EvalionRetrollamadas: .quad 0

        .text
        .macro ENTRADA
        incq EvalionRetrollamadas(%rip)
        lea 8(%rsp), %rax
        test $15, %al
        jz 9f
        incq EvalionDesalineadas(%rip)
9:
        .endm
        .macro BASURA
        movabs $0xEAEAEAEAEAEAEAEA, %rax
        mov %rax, %rcx
        mov %rax, %rdx
        mov %rax, %r8
        mov %rax, %r9
        mov %rax, %r10
        mov %rax, %r11
        .irp n, 0, 1, 2, 3, 4, 5
        movq %rax, %xmm\n
        .endr
        .endm

        .globl VariableLiteral
VariableLiteral:
        ENTRADA
        sub $40, %rsp
        mov %rdx, %r8                   /* R */
        mov %rcx, %rdx                  /* the name */
        xor %ecx, %ecx                  /* no object */
        call RegistrarVariable
        BASURA
        add $40, %rsp
        ret

        .globl FuncionLiteral
FuncionLiteral:
        ENTRADA
        sub $56, %rsp
        mov %r9, 32(%rsp)               /* R, the fifth argument */
        mov %r8, %r9                    /* N */
        mov %rdx, %r8                   /* Parametros */
        mov %rcx, %rdx                  /* the name */
        xor %ecx, %ecx
        call RegistrarFuncion
        BASURA
        add $56, %rsp
        ret

        .globl VariableMetodo
VariableMetodo:
        ENTRADA
        sub $40, %rsp
        call RegistrarVariable          /* Self, name, R: already in place */
        BASURA
        add $40, %rsp
        ret

        .globl FuncionMetodo
FuncionMetodo:
        ENTRADA
        sub $56, %rsp
        mov 56+40(%rsp), %rax           /* R, above the caller's shadow space */
        mov %rax, 32(%rsp)
        call RegistrarFuncion
        BASURA
        add $56, %rsp
        ret
