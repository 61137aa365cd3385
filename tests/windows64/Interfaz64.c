/* The binary interface of the 64-bit Evalion.dll or Evalionobj.dll, checked at run time:
 * every export called through EvalionLlamar (Llamada64.S), which loads the argument
 * registers and the stack words itself and reads back whether the callee kept RSP, RBX, RBP,
 * RSI, RDI, R12-R15 and XMM6-XMM15; the requests answered by callbacks written in assembly
 * as the convention reads (Retrollamadas64.S), which also check the stack's alignment. Built
 * four times: for each DLL, linked at load time and, with EVALION_DINAMICO, loaded with
 * LoadLibrary and GetProcAddress by plain name. Prints each figure; exits 0 when all hold. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "Llamada64.h"
#include "Parser.h"

#if defined(EVALION_OBJETO)
#define NOMBRE_DLL "Evalionobj.dll"
_Static_assert(sizeof(ESTADODEANALISIS) == 2116, "the object build's record is 2116 bytes on Win64");
#else
#define NOMBRE_DLL "Evalion.dll"
_Static_assert(sizeof(ESTADODEANALISIS) == 2100, "the plain build's record is 2100 bytes on Win64");
#endif
_Static_assert(sizeof(BLOQUEDEDATOS) == 1044, "BLOQUEDEDATOS is 1044 bytes on Win64 too");

void VariableLiteral(void);
void FuncionLiteral(void);
void VariableMetodo(void);
void FuncionMetodo(void);
void RegistrarVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
void RegistrarFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);

#include "InterfazComun.h"

static uint64_t Palabra(const void *Puntero) { return (uint64_t)(uintptr_t)Puntero; }
static uint64_t PalabraDeCodigo(TCodigo Codigo) { return (uint64_t)(uintptr_t)Codigo; }

/* One call by hand: RSP and every kept register must come back. */
static TLlamada Llamar(TPrueba *P, const char *Que, TCodigo Funcion, int64_t N, const uint64_t *Palabras)
{
    uint64_t Cuatro[8] = {0xEAEAEAEAEAEAEAEAull, 0xEDEDEDEDEDEDEDEDull, 0xE8E8E8E8E8E8E8E8ull,
                          0xE9E9E9E9E9E9E9E9ull, 0, 0, 0, 0};
    for (int64_t i = 0; i < N && i < 8; ++i)
        Cuatro[i] = Palabras[i];
    TLlamada L;
    memset(&L, 0, sizeof L);
    EvalionLlamar(Funcion, N, Cuatro, &L);
    int Guardados = 1;
    for (int i = 0; i < 8; ++i)
        Guardados &= L.Guardados[i] == CANARIO + (uint64_t)i;
    int Xmm = 1;
    for (int j = 0; j < 10; ++j)
        Xmm &= L.Xmm[j][0] == CANARIO_XMM + (uint64_t)j && L.Xmm[j][1] == CANARIO_XMM + (uint64_t)j;
    printf("%-44s RSP moved %lld, RBX RBP RSI RDI R12-R15 %s, XMM6-XMM15 %s\n", Que, (long long)L.Movido,
           Guardados ? "kept" : "CHANGED", Xmm ? "kept" : "CHANGED");
    Verificar(P, L.Movido == 0, "RSP comes back as it was (the caller owns the argument area)");
    Verificar(P, Guardados, "RBX, RBP, RSI, RDI and R12-R15 kept");
    Verificar(P, Xmm, "XMM6-XMM15 kept");
    return L;
}

/* The block with 16 guard bytes on each side, to catch a write outside the 1044 bytes. */
typedef struct TBloqueVigilado {
    unsigned char Antes[16];
    BLOQUEDEDATOS R;
    unsigned char Despues[16];
} TBloqueVigilado;

typedef struct TEstadoVigilado {
    unsigned char Antes[16];
    ESTADODEANALISIS E;
    unsigned char Despues[16];
} TEstadoVigilado;

static int Intactos(const unsigned char *Bytes, size_t N)
{
    for (size_t i = 0; i < N; ++i)
        if (Bytes[i] != 0xA5)
            return 0;
    return 1;
}

/* A_Analizar by hand: the block comes back through the hidden result pointer, which goes
 * first, in RCX (the record in RDX, the text in R8), and returns in RAX. */
static BLOQUEDEDATOS Analizar(TPrueba *P, const TExportaciones *X, ESTADODEANALISIS *E, const char *Texto)
{
    TBloqueVigilado B;
    memset(&B, 0xA5, sizeof B);
    const uint64_t Palabras[3] = {Palabra(&B.R), Palabra(E), Palabra(Texto)};
    char Que[64];
    snprintf(Que, sizeof Que, "A_Analizar(\"%s\")", Texto ? Texto : "NULL");
    const TLlamada L = Llamar(P, Que, X->Analizar, 3, Palabras);
    Verificar(P, L.Rax == Palabra(&B.R), "A_Analizar returns the hidden result pointer in RAX");
    Verificar(P, Intactos(B.Antes, sizeof B.Antes) && Intactos(B.Despues, sizeof B.Despues),
              "A_Analizar writes the 1044 bytes of the block and nothing around it");
    return B.R;
}

static void VerificarNumero(TPrueba *P, const BLOQUEDEDATOS *R, double Esperado, const char *Que)
{
    Verificar(P, R->Error == 0 && R->Tipo == TIPO_NUMERO && R->Numero == Esperado, Que);
}

static void VerificarError(TPrueba *P, const BLOQUEDEDATOS *R, int32_t Error, int32_t Posicion, const char *Nombre,
                           const char *Que)
{
    Verificar(P, R->Error == Error && R->Posicion == Posicion && (!Nombre || strcmp(R->Cadena, Nombre) == 0), Que);
}

/* The callbacks themselves, called by hand as the convention calls them. */
static void ProbarRetrollamadas(TPrueba *P)
{
    BLOQUEDEDATOS R, Parametros[2];
    memset(Parametros, 0, sizeof Parametros);
    Parametros[0].Numero = 2;
    Parametros[1].Numero = 3;
    char Variable[] = "x", Funcion[] = "f";
    void *const Objeto = (void *)(uintptr_t)0x00000BE7DEADBEEFull;
#if defined(EVALION_OBJETO)
    const uint64_t PalabrasVariable[3] = {Palabra(Objeto), Palabra(Variable), Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "VariableMetodo (Self, name, R)", (TCodigo)VariableMetodo, 3, PalabrasVariable);
    Verificar(P, R.Numero == 5 && Ultima.Objeto == Objeto && Ultima.R == &R, "VariableMetodo passes what it got");
    /* N's word has garbage above its 32 bits: a 32-bit parameter is its low half. */
    const uint64_t PalabrasFuncion[5] = {Palabra(Objeto), Palabra(Funcion), Palabra(Parametros),
                                         0xFFFFFFFF00000002ull, Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "FuncionMetodo (Self, name, Parametros, N; R on the stack)", (TCodigo)FuncionMetodo, 5,
           PalabrasFuncion);
    Verificar(P, R.Numero == 5 && Ultima.N == 2 && Ultima.Parametros == Parametros && Ultima.Objeto == Objeto &&
                     Ultima.R == &R,
              "FuncionMetodo passes what it got");
#else
    (void)Objeto;
    const uint64_t PalabrasVariable[2] = {Palabra(Variable), Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "VariableLiteral (name, R)", (TCodigo)VariableLiteral, 2, PalabrasVariable);
    Verificar(P, R.Numero == 5 && Ultima.R == &R && Ultima.Objeto == NULL, "VariableLiteral passes what it got");
    const uint64_t PalabrasFuncion[4] = {Palabra(Funcion), Palabra(Parametros), 0xFFFFFFFF00000002ull, Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "FuncionLiteral (name, Parametros, N, R)", (TCodigo)FuncionLiteral, 4, PalabrasFuncion);
    Verificar(P, R.Numero == 5 && Ultima.N == 2 && Ultima.Parametros == Parametros && Ultima.R == &R,
              "FuncionLiteral passes what it got");
#endif
}

static void Asignar(TPrueba *P, const TExportaciones *X, ESTADODEANALISIS *E, TCodigo Variable, void *ObjetoVariable,
                    TCodigo Funcion, void *ObjetoFuncion)
{
#if defined(EVALION_OBJETO)
    const uint64_t Palabras[5] = {Palabra(E), PalabraDeCodigo(Variable), Palabra(ObjetoVariable),
                                  PalabraDeCodigo(Funcion), Palabra(ObjetoFuncion)};
    Llamar(P, "A_AsignarAlPedir (the fifth word on the stack)", X->AsignarAlPedir, 5, Palabras);
#else
    (void)ObjetoVariable;
    (void)ObjetoFuncion;
    const uint64_t Palabras[3] = {Palabra(E), PalabraDeCodigo(Variable), PalabraDeCodigo(Funcion)};
    Llamar(P, "A_AsignarAlPedir", X->AsignarAlPedir, 3, Palabras);
#endif
}

static void ProbarExportaciones(TPrueba *P, const TExportaciones *X)
{
    TEstadoVigilado V;
    memset(&V, 0xA5, sizeof V);
    ESTADODEANALISIS *E = &V.E;
    const uint64_t Registro[1] = {Palabra(E)};
    Llamar(P, "A_Inicializar", X->Inicializar, 1, Registro);

    /* A separator is the low byte of its register; NUL leaves that one as it was. */
    const uint64_t SoloDecimal[3] = {Palabra(E), 0x12345678ABCDEF00ull, 0x9ABCDEF01234563Bull};
    Llamar(P, "A_AsignarSeparadores(NUL, ';')", X->AsignarSeparadores, 3, SoloDecimal);
    BLOQUEDEDATOS R = Analizar(P, X, E, "1.234;5");
    VerificarNumero(P, &R, 1234.5, "the decimal separator is the low byte of its register");
    const uint64_t SoloMillar[3] = {Palabra(E), 0xFEDCBA9898765420ull, 0xFFFFFFFFFFFFFF00ull};
    Llamar(P, "A_AsignarSeparadores(' ', NUL)", X->AsignarSeparadores, 3, SoloMillar);
    R = Analizar(P, X, E, "1 234;5");
    VerificarNumero(P, &R, 1234.5, "the thousands separator is the low byte of its register");
    Llamar(P, "A_Inicializar again", X->Inicializar, 1, Registro);

#if defined(EVALION_OBJETO)
    void *const Objeto = (void *)(uintptr_t)0x00000BE7DEADBEEFull;
    const TCodigo Variable = (TCodigo)VariableMetodo, Funcion = (TCodigo)FuncionMetodo;
#else
    void *const Objeto = NULL;
    const TCodigo Variable = (TCodigo)VariableLiteral, Funcion = (TCodigo)FuncionLiteral;
#endif
    Asignar(P, X, E, Variable, Objeto, Funcion, Objeto);
    memset(&Ultima, 0, sizeof Ultima);
    const int64_t Antes = EvalionRetrollamadas;
    R = Analizar(P, X, E, "x + f(2,5;3)");
    VerificarNumero(P, &R, 10.5, "x + f(2,5;3) is 10,5 through the callbacks");
    Verificar(P, Ultima.Cuantas == 2 && strcmp(Ultima.Nombre, "f") == 0 && Ultima.N == 2 &&
                     Ultima.Argumentos[0] == 2.5 && Ultima.Argumentos[1] == 3 && Ultima.Objeto == Objeto &&
                     Ultima.ErrorDeR == 0 && Ultima.R != NULL,
              "the function request gets its name, arguments, N, R and the object unchanged");
    Verificar(P, EvalionRetrollamadas - Antes == 2, "the engine called the two callbacks");
    R = Analizar(P, X, E, "x");
    Verificar(P, Ultima.Cuantas == 3 && strcmp(Ultima.Nombre, "x") == 0 && Ultima.Objeto == Objeto,
              "the variable request gets its name and the object unchanged");
    R = Analizar(P, X, E, "y");
    VerificarError(P, &R, E_VARIABLE, 1, NULL, "a code the host sets comes back with the position");

#if defined(EVALION_OBJETO)
    Asignar(P, X, E, Variable, NULL, Funcion, NULL);
    R = Analizar(P, X, E, "f(x)");
    VerificarNumero(P, &R, 5, "f(x) with null objects");
    Verificar(P, Ultima.Objeto == NULL && strcmp(Ultima.Nombre, "f") == 0, "a null object arrives as null");
    Asignar(P, X, E, NULL, Objeto, NULL, Objeto);
#else
    Asignar(P, X, E, NULL, NULL, NULL, NULL);
#endif
    const int Previas = Ultima.Cuantas;
    R = Analizar(P, X, E, "x");
    VerificarError(P, &R, E_VARIABLE, 1, "x", "without a variable request the engine answers E_VARIABLE");
    R = Analizar(P, X, E, "1+f(1)");
    VerificarError(P, &R, E_FUNCION, 3, "f", "without a function request the engine answers E_FUNCION");
    Verificar(P, Ultima.Cuantas == Previas, "no callback is called when none is installed");
    R = Analizar(P, X, E, NULL);
    VerificarError(P, &R, E_OPERANDO, 0, NULL, "a null text is E_OPERANDO at 0");
    Verificar(P, Intactos(V.Antes, sizeof V.Antes) && Intactos(V.Despues, sizeof V.Despues),
              "nothing is written outside the record");
    Verificar(P, EvalionDesalineadas == 0, "every callback was entered with RSP + 8 a multiple of 16");
    printf("callbacks entered: %lld, misaligned: %lld\n", (long long)EvalionRetrollamadas,
           (long long)EvalionDesalineadas);
}

int main(void)
{
    TPrueba P = {0};
    TExportaciones X;
    if (!Obtener(&X))
        return 1;
    ProbarRetrollamadas(&P);
    ProbarExportaciones(&P, &X);
    ProbarLlamadasCompiladas(&P, &X);
    printf("%s (64-bit): %d failures\n", NOMBRE_DLL, P.Fallos);
    return P.Fallos == 0 ? 0 : 1;
}
