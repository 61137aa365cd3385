/* EvalionLlamar (Llamada.h): a call with every word placed by hand. After the call no
 * register can be trusted, not even the stack pointer, so the caller's stack pointer is kept
 * in memory of this file; that makes the helper single-threaded, which the tests are. */
        .text
        .globl  _EvalionLlamar
_EvalionLlamar:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    %esp, Guardado          /* the anchor to come back to */
        movl    8(%ebp), %eax
        movl    %eax, Destino
        movl    12(%ebp), %ecx          /* N */
        movl    16(%ebp), %edx          /* Palabras */
1:      testl   %ecx, %ecx
        jz      2f
        decl    %ecx
        pushl   (%edx,%ecx,4)           /* the last word first: Palabras[0] ends up on top */
        jmp     1b
2:      movl    %esp, Empujado          /* the stack pointer the callee sees below its return address */
        movl    20(%ebp), %edi          /* Registros: EAX, EDX, ECX */
        movl    (%edi), %eax
        movl    4(%edi), %edx
        movl    8(%edi), %ecx
        movl    $0xB0B0B0B0, %ebx
        movl    $0x51515151, %esi
        movl    $0xD1D1D1D1, %edi
        movl    $0xBEBEBEBE, %ebp
        call    *Destino
        movl    %eax, Despues+4
        movl    %ebx, Despues+8
        movl    %esi, Despues+12
        movl    %edi, Despues+16
        movl    %ebp, Despues+20
        movl    %esp, %eax
        subl    Empujado, %eax          /* what the callee removed */
        movl    %eax, Despues
        movl    Guardado, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        movl    20(%esp), %edx          /* Salida, the fifth argument */
        movl    Despues, %eax
        movl    %eax, (%edx)
        movl    Despues+4, %ecx
        movl    %ecx, 4(%edx)
        movl    Despues+8, %ecx
        movl    %ecx, 8(%edx)
        movl    Despues+12, %ecx
        movl    %ecx, 12(%edx)
        movl    Despues+16, %ecx
        movl    %ecx, 16(%edx)
        movl    Despues+20, %ecx
        movl    %ecx, 20(%edx)
        ret                             /* cdecl: the caller removes the five arguments */

        .bss
        .balign 4
Guardado:
        .space  4
Empujado:
        .space  4
Destino:
        .space  4
Despues:
        .space  24
