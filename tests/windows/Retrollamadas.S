/* The two requests of each DLL written as the convention says, word by word, so that the
 * engine's way of calling them is checked against the convention and not against the
 * compiler that built it. Each forwards what it received to the host's C functions
 *   void RegistrarVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
 *   void RegistrarFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
 *                         BLOQUEDEDATOS *R);
 * (cdecl; the plain form has no object and passes 0), which record and answer. */
        .text

/* Evalion: stdcall (Variable, R): [esp+4] Variable, [esp+8] R; removes 8 bytes. */
        .globl  _VariableLiteral
_VariableLiteral:
        pushl   8(%esp)                 /* R */
        pushl   8(%esp)                 /* Variable, now 4 bytes further up */
        pushl   $0
        call    _RegistrarVariable
        addl    $12, %esp
        ret     $8

/* Evalion: stdcall (Funcion, Parametros, N, R) at [esp+4] to [esp+16]; removes 16 bytes.
 * Each push moves the next argument up by 4, so 16(%esp) reads R, N, Parametros and
 * Funcion in turn. */
        .globl  _FuncionLiteral
_FuncionLiteral:
        pushl   16(%esp)                /* R */
        pushl   16(%esp)                /* N */
        pushl   16(%esp)                /* Parametros */
        pushl   16(%esp)                /* Funcion */
        pushl   $0
        call    _RegistrarFuncion
        addl    $20, %esp
        ret     $16

/* Evalionobj: method (Objeto in EAX, Variable in EDX, R in ECX); nothing on the stack. */
        .globl  _VariableMetodo
_VariableMetodo:
        pushl   %ecx                    /* R */
        pushl   %edx                    /* Variable */
        pushl   %eax                    /* Objeto */
        call    _RegistrarVariable
        addl    $12, %esp
        ret

/* Evalionobj: method (Objeto in EAX, Funcion in EDX, Parametros in ECX), then N pushed
 * first and R last: [esp+4] R, [esp+8] N; removes 8 bytes. */
        .globl  _FuncionMetodo
_FuncionMetodo:
        pushl   4(%esp)                 /* R */
        pushl   12(%esp)                /* N, at [esp+8] on entry */
        pushl   %ecx                    /* Parametros */
        pushl   %edx                    /* Funcion */
        pushl   %eax                    /* Objeto */
        call    _RegistrarFuncion
        addl    $20, %esp
        ret     $8
