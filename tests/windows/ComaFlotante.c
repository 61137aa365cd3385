/* Hosts that run with floating-point exceptions unmasked, as Pascal and Delphi-style
 * programs do (x87 control word $1332, read back as $1372; on 64-bit Windows MXCSR $1900,
 * and $7900 with rounding toward zero), get the documented values and
 * no trap: each row is analysed under the C default ($037F) first, then under each of those
 * settings, and must give the same block bit for bit, the documented value, and leave the
 * control word, the exception flags (one of the host's pending among them) and MXCSR as the
 * host had them. A callback must run under the host's own control word. Built against each
 * DLL, linked at load time. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "Parser.h"

#if defined(EVALION_OBJETO)
#define NOMBRE_DLL "Evalionobj.dll"
#else
#define NOMBRE_DLL "Evalion.dll"
#endif

static uint32_t LeerMxcsr(void)
{
    uint32_t Palabra;
    __asm__ volatile("stmxcsr %0" : "=m"(Palabra));
    return Palabra;
}

#if defined(__x86_64__)
/* 64-bit Windows computes in SSE: the host's settings are MXCSR's control bits. Delphi
 * Win64 programs start with $1900 (invalid operation, division by zero and overflow
 * unmasked); the second setting adds rounding toward zero, which the engine must not follow
 * either. The control word and the status word here are MXCSR's two parts. */
enum { C_DEFECTO = 0x1F80, DESENMASCARADO = 0x1900, DESENMASCARADO_LEIDO = 0x7900 };

static void PonerControl(uint16_t Palabra)
{
    const uint32_t Mxcsr = Palabra;
    __asm__ volatile("ldmxcsr %0" : : "m"(Mxcsr));
}
static uint16_t LeerControl(void) { return (uint16_t)(LeerMxcsr() & ~0x3Fu); }
static uint16_t LeerEstado(void) { return (uint16_t)(LeerMxcsr() & 0x3Fu); }

/* The exception flags: what a call must not change. */
#define BITS_DE_ESTADO 0x3Fu
#else
enum { C_DEFECTO = 0x037F, DESENMASCARADO = 0x1332, DESENMASCARADO_LEIDO = 0x1372 };

/* Non-waiting forms only, so that reading a pending exception does not raise it. */
static void PonerControl(uint16_t Palabra) { __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(Palabra)); }
static uint16_t LeerControl(void)
{
    uint16_t Palabra;
    __asm__ volatile("fnstcw %0" : "=m"(Palabra));
    return Palabra;
}
static uint16_t LeerEstado(void)
{
    uint16_t Palabra;
    __asm__ volatile("fnstsw %0" : "=m"(Palabra));
    return Palabra;
}

/* The exception flags, the error summary and the stack top: what a call must not change. */
#define BITS_DE_ESTADO 0x38FFu
#endif

/* A flag of the host's own, pending when it calls: the precision flag of 1/3, which every
 * setting here masks. The call must leave it pending. */
static void DejarPendiente(void)
{
    volatile double Uno = 1.0, Tres = 3.0;
    volatile double Tercio = Uno / Tres;
    (void)Tercio;
}

static const uint64_t INF = 0x7FF0000000000000ull, MENOS_INF = 0xFFF0000000000000ull, UNO = 0x3FF0000000000000ull;

typedef enum { VALOR, NO_NUMERO, UNO_O_CERO, ERROR_ } TClase;

typedef struct TFila {
    const char *Expresion;
    TClase Clase;
    uint64_t Bits;    /* VALOR: the documented double */
    int32_t Error, Posicion; /* ERROR_: the code, and the position or -1 for the reference's */
} TFila;

static const TFila FILAS[] = {
    {"2^1023*2", VALOR, INF, 0, 0},
    {"2^1024", VALOR, INF, 0, 0},
    {"10^400", VALOR, INF, 0, 0},
    {"2^1024-2^1024", NO_NUMERO, 0, 0, 0},
    {"(0-8)^0,5 < 1", VALOR, 0, 0, 0},
    /* overflow in every operator, and in a literal */
    {"2^1023+2^1023", VALOR, INF, 0, 0},
    {"0-2^1023*2", VALOR, MENOS_INF, 0, 0},
    {"2^1000*2^1000", VALOR, INF, 0, 0},
    {"2^1023/2^-2", VALOR, INF, 0, 0},
    {"(0-10)^401", VALOR, MENOS_INF, 0, 0},
    {"0^-1", VALOR, INF, 0, 0},
    {"-(0^-1)", VALOR, MENOS_INF, 0, 0},
    {"(2^1024)^0", VALOR, UNO, 0, 0},
    {"2^1024>1", VALOR, UNO, 0, 0},
    /* invalid operations and the values that flow from them */
    {"(0-8)^0,5", NO_NUMERO, 0, 0, 0},
    {"2^1024*0", NO_NUMERO, 0, 0, 0},
    {"2^1024/2^1024", NO_NUMERO, 0, 0, 0},
    {"(2^1024-2^1024)+1", NO_NUMERO, 0, 0, 0},
    {"(0-8)^0,5=(0-8)^0,5", UNO_O_CERO, 0, 0, 0},
    {"1<>(0-8)^0,5", UNO_O_CERO, 0, 0, 0},
    {"(0-8)^0,5>=1", UNO_O_CERO, 0, 0, 0},
    /* division by zero is an error, not a value */
    {"1/0", ERROR_, 0, E_DIVISION, 4},
    {"0/0", ERROR_, 0, E_DIVISION, -1},
    {"2/(1-1)", ERROR_, 0, E_DIVISION, -1},
};
enum { FILAS_FIJAS = sizeof FILAS / sizeof FILAS[0], FILAS_TODAS = FILAS_FIJAS + 1 };

/* The row being analysed, for the report of a trap. */
static const char *EnCurso = "";
static uint16_t ControlEnLaPeticion;

static LONG CALLBACK AlFallar(EXCEPTION_POINTERS *Excepcion)
{
    printf("FAILED: exception %08lX raised into the host by \"%.40s\"\n",
           (unsigned long)Excepcion->ExceptionRecord->ExceptionCode, EnCurso);
    fflush(stdout);
    ExitProcess(3);
}

/* v is 2^1023, and records the control word it runs under. */
static void Responder(BLOQUEDEDATOS *R)
{
    ControlEnLaPeticion = LeerControl();
    const uint64_t Bits = 0x7FE0000000000000ull;
    memcpy(&R->Numero, &Bits, sizeof Bits);
    R->Tipo = TIPO_NUMERO;
}
#if defined(EVALION_OBJETO)
static void EVALION_METODO Variable(void *Objeto, char *Nombre, BLOQUEDEDATOS *R)
{
    (void)Objeto;
    (void)Nombre;
    Responder(R);
}
#else
static void EVALION_CONV Variable(char *Nombre, BLOQUEDEDATOS *R)
{
    (void)Nombre;
    Responder(R);
}
#endif

/* The bits of a stored double, without loading it into the x87 (no operation on it at all). */
static uint64_t Bits(const double *Valor)
{
    uint64_t B;
    memcpy(&B, Valor, sizeof B);
    return B;
}

static int EsNoNumero(uint64_t B) { return (B & INF) == INF && (B & 0x000FFFFFFFFFFFFFull) != 0; }

typedef struct TPrueba {
    int Fallos;
} TPrueba;

static void Fallo(TPrueba *P, uint16_t Control, const char *Expresion, const char *Que)
{
    printf("FAILED: control word %04X, \"%.40s\": %s\n", Control, Expresion, Que);
    P->Fallos++;
}

/* One analysis under Control; the block, and whether the call kept the host's settings. */
static BLOQUEDEDATOS Analizar(TPrueba *P, ESTADODEANALISIS *E, const char *Expresion, uint16_t Control)
{
    BLOQUEDEDATOS R;
    EnCurso = Expresion;
    PonerControl(Control);
    DejarPendiente();
    const uint16_t ControlAntes = LeerControl(), EstadoAntes = LeerEstado();
    const uint32_t MxcsrAntes = LeerMxcsr();
    R = A_Analizar(E, Expresion);
    const uint16_t ControlDespues = LeerControl(), EstadoDespues = LeerEstado();
    const uint32_t MxcsrDespues = LeerMxcsr();
    PonerControl(Control); /* nothing left pending, whatever came back */
    if (ControlDespues != ControlAntes)
        Fallo(P, Control, Expresion, "the control word changed");
    if ((EstadoDespues & BITS_DE_ESTADO) != (EstadoAntes & BITS_DE_ESTADO))
        Fallo(P, Control, Expresion, "exception flags or the stack top left changed in the status word");
    if (MxcsrDespues != MxcsrAntes)
        Fallo(P, Control, Expresion, "MXCSR changed");
    return R;
}

/* The documented result of a row. */
static void ComprobarDocumentado(TPrueba *P, const TFila *F, const BLOQUEDEDATOS *R)
{
    const uint64_t B = Bits(&R->Numero);
    int Bien = F->Clase == ERROR_ ? R->Error == F->Error && (F->Posicion < 0 || R->Posicion == F->Posicion)
                                  : R->Error == 0 && R->Tipo == TIPO_NUMERO;
    if (F->Clase == VALOR)
        Bien = Bien && B == F->Bits;
    else if (F->Clase == NO_NUMERO)
        Bien = Bien && EsNoNumero(B);
    else if (F->Clase == UNO_O_CERO)
        Bien = Bien && (B == 0 || B == UNO);
    if (!Bien) {
        printf("FAILED: \"%.40s\" under the C default: Error %ld at %ld, bits %016llX\n", F->Expresion,
               (long)R->Error, (long)R->Posicion, (unsigned long long)B);
        P->Fallos++;
    }
}

int main(void)
{
    AddVectoredExceptionHandler(1, AlFallar);
    TPrueba P = {0};
    TFila Filas[FILAS_TODAS];
    memcpy(Filas, FILAS, sizeof FILAS);
    char Nueves[321]; /* a literal beyond the largest double */
    memset(Nueves, '9', 320);
    Nueves[320] = '\0';
    Filas[FILAS_FIJAS] = (TFila){Nueves, VALOR, INF, 0, 0};

    ESTADODEANALISIS E;
    A_Inicializar(&E);
    BLOQUEDEDATOS Referencia[FILAS_TODAS];
    for (int i = 0; i < FILAS_TODAS; ++i) {
        Referencia[i] = Analizar(&P, &E, Filas[i].Expresion, C_DEFECTO);
        ComprobarDocumentado(&P, &Filas[i], &Referencia[i]);
    }

    const uint16_t Controles[] = {DESENMASCARADO, DESENMASCARADO_LEIDO};
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < FILAS_TODAS; ++i) {
            const BLOQUEDEDATOS R = Analizar(&P, &E, Filas[i].Expresion, Controles[c]);
            /* Every meaningful field bit for bit as under the C default: the code and position
             * of an error, the kind and value of a result. */
            const BLOQUEDEDATOS *Ref = &Referencia[i];
            const int Igual = R.Error == Ref->Error && (R.Error != 0 ? R.Posicion == Ref->Posicion
                                                                     : R.Tipo == Ref->Tipo &&
                                                                           Bits(&R.Numero) == Bits(&Ref->Numero) &&
                                                                           strcmp(R.Cadena, Ref->Cadena) == 0);
            if (!Igual)
                Fallo(&P, Controles[c], Filas[i].Expresion, "differs from the analysis under the C default");
        }
        /* The request runs under the host's setting; the engine's comes back after it. */
#if defined(EVALION_OBJETO)
        A_AsignarAlPedir(&E, Variable, NULL, NULL, NULL);
#else
        A_AsignarAlPedir(&E, Variable, NULL);
#endif
        /* The word as the host reads it back, reserved bits included, is what the request
         * must see. */
        PonerControl(Controles[c]);
        const uint16_t ControlLeido = LeerControl();
        ControlEnLaPeticion = 0;
        const BLOQUEDEDATOS R = Analizar(&P, &E, "v*2", Controles[c]);
        if (ControlEnLaPeticion != ControlLeido)
            Fallo(&P, Controles[c], "v*2", "the request ran under another control word");
        if (R.Error != 0 || Bits(&R.Numero) != INF)
            Fallo(&P, Controles[c], "v*2", "2^1023*2 after a request is not INF");
        A_Inicializar(&E);
    }
    PonerControl(C_DEFECTO);
    printf("%s: %d rows under %04X, %04X and %04X, %d failures\n", NOMBRE_DLL, FILAS_TODAS, C_DEFECTO, DESENMASCARADO,
           DESENMASCARADO_LEIDO, P.Fallos);
    return P.Fallos == 0 ? 0 : 1;
}
