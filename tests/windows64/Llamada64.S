/* EvalionLlamar (Llamada64.h): one call by hand in the 64-bit Windows convention, with every
 * register the callee must keep loaded with a canary and read back. Itself a function of
 * that convention: Funcion in RCX, N in RDX, Palabras in R8, Salida in R9. Its state lives
 * in memory across the call, since every kept register holds a canary then. */
        .data
        .p2align 3
Funcion:   .quad 0
Salida:    .quad 0
Base:      .quad 0    /* RSP with this frame's saves, before the call's area */
Antes:     .quad 0    /* RSP right before the call */

        .text
        .globl EvalionLlamar
        .def EvalionLlamar; .scl 2; .type 32; .endef
EvalionLlamar:
        push %rbp
        push %rbx
        push %rsi
        push %rdi
        push %r12
        push %r13
        push %r14
        push %r15
        sub $168, %rsp                  /* XMM6-XMM15, and RSP 16-aligned */
        movdqu %xmm6, 0(%rsp)
        movdqu %xmm7, 16(%rsp)
        movdqu %xmm8, 32(%rsp)
        movdqu %xmm9, 48(%rsp)
        movdqu %xmm10, 64(%rsp)
        movdqu %xmm11, 80(%rsp)
        movdqu %xmm12, 96(%rsp)
        movdqu %xmm13, 112(%rsp)
        movdqu %xmm14, 128(%rsp)
        movdqu %xmm15, 144(%rsp)
        mov %rcx, Funcion(%rip)
        mov %r9, Salida(%rip)
        mov %rsp, Base(%rip)
        mov %r8, %r11                   /* Palabras */
        xor %eax, %eax                  /* stack words: N > 4 ? N - 4 : 0 */
        cmp $4, %rdx
        jle 1f
        lea -4(%rdx), %rax
1:      lea 47(,%rax,8), %rcx           /* 32 of shadow space and the words, to 16 */
        and $-16, %rcx
        sub %rcx, %rsp
        movabs $0x5A5A5A5A5A5A5A5A, %rdx
        mov %rdx, 0(%rsp)
        mov %rdx, 8(%rsp)
        mov %rdx, 16(%rsp)
        mov %rdx, 24(%rsp)
        xor %ecx, %ecx
2:      cmp %rax, %rcx
        jge 3f
        mov 32(%r11,%rcx,8), %rdx
        mov %rdx, 32(%rsp,%rcx,8)
        inc %rcx
        jmp 2b
3:      mov %rsp, Antes(%rip)
        mov 0(%r11), %rcx
        mov 8(%r11), %rdx
        mov 16(%r11), %r8
        mov 24(%r11), %r9
        movq %rcx, %xmm0
        movq %rdx, %xmm1
        movq %r8, %xmm2
        movq %r9, %xmm3
        movabs $0xC0DE5AFE00000000, %rbx
        lea 1(%rbx), %rbp
        lea 2(%rbx), %rsi
        lea 3(%rbx), %rdi
        lea 4(%rbx), %r12
        lea 5(%rbx), %r13
        lea 6(%rbx), %r14
        lea 7(%rbx), %r15
        movabs $0x7FF4DEAD00000000, %rax
        .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
        movq %rax, %xmm\n
        punpcklqdq %xmm\n, %xmm\n
        inc %rax
        .endr
        mov $0xEAEAEAEA, %r10d          /* garbage in what the callee may not read */
        mov $0xEBEBEBEB, %r11d
        mov Funcion(%rip), %rax
        call *%rax
        mov Salida(%rip), %r11
        mov %rax, 0(%r11)
        mov %rsp, %rax
        sub Antes(%rip), %rax
        mov %rax, 8(%r11)
        mov %rbx, 16(%r11)
        mov %rbp, 24(%r11)
        mov %rsi, 32(%r11)
        mov %rdi, 40(%r11)
        mov %r12, 48(%r11)
        mov %r13, 56(%r11)
        mov %r14, 64(%r11)
        mov %r15, 72(%r11)
        movdqu %xmm6, 80(%r11)
        movdqu %xmm7, 96(%r11)
        movdqu %xmm8, 112(%r11)
        movdqu %xmm9, 128(%r11)
        movdqu %xmm10, 144(%r11)
        movdqu %xmm11, 160(%r11)
        movdqu %xmm12, 176(%r11)
        movdqu %xmm13, 192(%r11)
        movdqu %xmm14, 208(%r11)
        movdqu %xmm15, 224(%r11)
        movsd %xmm0, 240(%r11)
        mov Base(%rip), %rsp
        movdqu 0(%rsp), %xmm6
        movdqu 16(%rsp), %xmm7
        movdqu 32(%rsp), %xmm8
        movdqu 48(%rsp), %xmm9
        movdqu 64(%rsp), %xmm10
        movdqu 80(%rsp), %xmm11
        movdqu 96(%rsp), %xmm12
        movdqu 112(%rsp), %xmm13
        movdqu 128(%rsp), %xmm14
        movdqu 144(%rsp), %xmm15
        add $168, %rsp
        pop %r15
        pop %r14
        pop %r13
        pop %r12
        pop %rdi
        pop %rsi
        pop %rbx
        pop %rbp
        ret
