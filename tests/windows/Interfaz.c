/* The binary interface of Evalion.dll or Evalionobj.dll, checked at run time: every export
 * called through EvalionLlamar, which pushes the words itself and reads back how many bytes
 * the callee removed and whether it kept EBX, ESI, EDI and EBP; the requests answered by
 * callbacks written in assembly as the convention reads (Retrollamadas.S). Built four
 * times: for each DLL, linked at load time and, with EVALION_DINAMICO, loaded with
 * LoadLibrary and GetProcAddress by plain name. Prints each figure; exits 0 when all hold. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "Llamada.h"
#include "Parser.h"

#if defined(EVALION_OBJETO)
#define NOMBRE_DLL "Evalionobj.dll"
_Static_assert(sizeof(ESTADODEANALISIS) == 2096, "the object build's record is 2096 bytes");
#else
#define NOMBRE_DLL "Evalion.dll"
_Static_assert(sizeof(ESTADODEANALISIS) == 2088, "the plain build's record is 2088 bytes");
#endif

/* The callbacks of Retrollamadas.S, and the functions they forward to. */
void VariableLiteral(void);
void FuncionLiteral(void);
void VariableMetodo(void);
void FuncionMetodo(void);
void RegistrarVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
void RegistrarFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);

#include "InterfazComun.h"

static uint32_t Palabra(const void *Puntero) { return (uint32_t)(uintptr_t)Puntero; }
static uint32_t PalabraDeCodigo(TCodigo Codigo) { return (uint32_t)(uintptr_t)Codigo; }

/* One call by hand: Retirados bytes must leave the stack and the four registers come back. */
static TLlamada Llamar(TPrueba *P, const char *Que, TCodigo Funcion, int32_t N, const uint32_t *Palabras,
                       const uint32_t Registros[3], uint32_t Retirados)
{
    TLlamada L;
    EvalionLlamar(Funcion, N, Palabras, Registros, &L);
    printf("%-44s removed %2u bytes, EBX %08X ESI %08X EDI %08X EBP %08X\n", Que, (unsigned)L.Retirados,
           (unsigned)L.Ebx, (unsigned)L.Esi, (unsigned)L.Edi, (unsigned)L.Ebp);
    Verificar(P, L.Retirados == Retirados, Que);
    Verificar(P, L.Ebx == CANARIO_EBX && L.Esi == CANARIO_ESI && L.Edi == CANARIO_EDI && L.Ebp == CANARIO_EBP,
              "EBX, ESI, EDI and EBP kept");
    return L;
}

/* Registers the callee must not read: garbage in EAX, EDX and ECX. */
static const uint32_t BASURA[3] = {0xEAEAEAEAu, 0xEDEDEDEDu, 0xECECECECu};

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

/* A_Analizar by hand: 12 bytes removed, EAX the hidden result pointer, nothing written
 * outside the block. */
static BLOQUEDEDATOS Analizar(TPrueba *P, const TExportaciones *X, ESTADODEANALISIS *E, const char *Texto)
{
    TBloqueVigilado B;
    memset(&B, 0xA5, sizeof B);
    const uint32_t Palabras[3] = {Palabra(&B.R), Palabra(E), Palabra(Texto)};
    char Que[64];
    snprintf(Que, sizeof Que, "A_Analizar(\"%s\")", Texto ? Texto : "NULL");
    const TLlamada L = Llamar(P, Que, X->Analizar, 3, Palabras, BASURA, 12);
    Verificar(P, L.Eax == Palabra(&B.R), "A_Analizar returns the hidden result pointer in EAX");
    Verificar(P, Intactos(B.Antes, sizeof B.Antes) && Intactos(B.Despues, sizeof B.Despues),
              "A_Analizar writes the 1044 bytes of the block and nothing around it");
    return B.R;
}

/* A number result defines Error, Tipo and Numero; what Cadena holds then is no part of the
 * interface these tables check. */
static void VerificarNumero(TPrueba *P, const BLOQUEDEDATOS *R, double Esperado, const char *Que)
{
    Verificar(P, R->Error == 0 && R->Tipo == TIPO_NUMERO && R->Numero == Esperado, Que);
}

static void VerificarError(TPrueba *P, const BLOQUEDEDATOS *R, int32_t Error, int32_t Posicion, const char *Nombre,
                           const char *Que) /* Nombre: the text expected in Cadena, or NULL */
{
    Verificar(P, R->Error == Error && R->Posicion == Posicion && (!Nombre || strcmp(R->Cadena, Nombre) == 0), Que);
}

/* The callbacks themselves, called by hand: each removes what its convention says. */
static void ProbarRetrollamadas(TPrueba *P)
{
    BLOQUEDEDATOS R, Parametros[2];
    memset(Parametros, 0, sizeof Parametros);
    Parametros[0].Numero = 2;
    Parametros[1].Numero = 3;
    char Variable[] = "x", Funcion[] = "f";
    void *const Objeto = (void *)(uintptr_t)0x0BE70000u;
#if defined(EVALION_OBJETO)
    const uint32_t RegistrosVariable[3] = {Palabra(Objeto), Palabra(Variable), Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "VariableMetodo (object, name, R in registers)", (TCodigo)VariableMetodo, 0, NULL, RegistrosVariable, 0);
    Verificar(P, R.Numero == 5 && Ultima.Objeto == Objeto && Ultima.R == &R, "VariableMetodo passes what it got");
    const uint32_t RegistrosFuncion[3] = {Palabra(Objeto), Palabra(Funcion), Palabra(Parametros)};
    const uint32_t Pila[2] = {Palabra(&R), 2}; /* R on top, N below it */
    memset(&R, 0, sizeof R);
    Llamar(P, "FuncionMetodo (N then R on the stack)", (TCodigo)FuncionMetodo, 2, Pila, RegistrosFuncion, 8);
    Verificar(P, R.Numero == 5 && Ultima.N == 2 && Ultima.Parametros == Parametros && Ultima.Objeto == Objeto,
              "FuncionMetodo passes what it got");
#else
    (void)Objeto;
    const uint32_t PilaVariable[2] = {Palabra(Variable), Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "VariableLiteral (stdcall)", (TCodigo)VariableLiteral, 2, PilaVariable, BASURA, 8);
    Verificar(P, R.Numero == 5 && Ultima.R == &R && Ultima.Objeto == NULL, "VariableLiteral passes what it got");
    const uint32_t PilaFuncion[4] = {Palabra(Funcion), Palabra(Parametros), 2, Palabra(&R)};
    memset(&R, 0, sizeof R);
    Llamar(P, "FuncionLiteral (stdcall)", (TCodigo)FuncionLiteral, 4, PilaFuncion, BASURA, 16);
    Verificar(P, R.Numero == 5 && Ultima.N == 2 && Ultima.Parametros == Parametros, "FuncionLiteral passes what it got");
#endif
}

/* A_AsignarAlPedir by hand with the given words after the record. */
static void Asignar(TPrueba *P, const TExportaciones *X, ESTADODEANALISIS *E, TCodigo Variable, void *ObjetoVariable,
                    TCodigo Funcion, void *ObjetoFuncion)
{
#if defined(EVALION_OBJETO)
    const uint32_t Palabras[5] = {Palabra(E), PalabraDeCodigo(Variable), Palabra(ObjetoVariable),
                                  PalabraDeCodigo(Funcion), Palabra(ObjetoFuncion)};
    Llamar(P, "A_AsignarAlPedir", X->AsignarAlPedir, 5, Palabras, BASURA, 20);
#else
    (void)ObjetoVariable;
    (void)ObjetoFuncion;
    const uint32_t Palabras[3] = {Palabra(E), PalabraDeCodigo(Variable), PalabraDeCodigo(Funcion)};
    Llamar(P, "A_AsignarAlPedir", X->AsignarAlPedir, 3, Palabras, BASURA, 12);
#endif
}

static void ProbarExportaciones(TPrueba *P, const TExportaciones *X)
{
    TEstadoVigilado V;
    memset(&V, 0xA5, sizeof V);
    ESTADODEANALISIS *E = &V.E;
    const uint32_t Registro[1] = {Palabra(E)};
    Llamar(P, "A_Inicializar", X->Inicializar, 1, Registro, BASURA, 4);

    /* A separator is the low byte of its word; NUL leaves that one as it was. */
    const uint32_t SoloDecimal[3] = {Palabra(E), 0xABCDEF00u, 0x1234563Bu};
    Llamar(P, "A_AsignarSeparadores(NUL, ';')", X->AsignarSeparadores, 3, SoloDecimal, BASURA, 12);
    BLOQUEDEDATOS R = Analizar(P, X, E, "1.234;5");
    VerificarNumero(P, &R, 1234.5, "the decimal separator is the low byte of its word");
    const uint32_t SoloMillar[3] = {Palabra(E), 0x98765420u, 0xFFFFFF00u};
    Llamar(P, "A_AsignarSeparadores(' ', NUL)", X->AsignarSeparadores, 3, SoloMillar, BASURA, 12);
    R = Analizar(P, X, E, "1 234;5");
    VerificarNumero(P, &R, 1234.5, "the thousands separator is the low byte of its word");
    Llamar(P, "A_Inicializar again", X->Inicializar, 1, Registro, BASURA, 4);

    /* The requests, with an object word that must arrive as it was given. */
#if defined(EVALION_OBJETO)
    void *const Objeto = (void *)(uintptr_t)0x0BE70000u;
    const TCodigo Variable = (TCodigo)VariableMetodo, Funcion = (TCodigo)FuncionMetodo;
#else
    void *const Objeto = NULL;
    const TCodigo Variable = (TCodigo)VariableLiteral, Funcion = (TCodigo)FuncionLiteral;
#endif
    Asignar(P, X, E, Variable, Objeto, Funcion, Objeto);
    memset(&Ultima, 0, sizeof Ultima);
    R = Analizar(P, X, E, "x + f(2,5;3)");
    VerificarNumero(P, &R, 10.5, "x + f(2,5;3) is 10,5 through the callbacks");
    Verificar(P, Ultima.Cuantas == 2 && strcmp(Ultima.Nombre, "f") == 0 && Ultima.N == 2 &&
                     Ultima.Argumentos[0] == 2.5 && Ultima.Argumentos[1] == 3 && Ultima.Objeto == Objeto &&
                     Ultima.ErrorDeR == 0 && Ultima.R != NULL,
              "the function request gets its name, arguments, N, R and the object word unchanged");
    R = Analizar(P, X, E, "x");
    Verificar(P, Ultima.Cuantas == 3 && strcmp(Ultima.Nombre, "x") == 0 && Ultima.Objeto == Objeto,
              "the variable request gets its name and the object word unchanged");
    R = Analizar(P, X, E, "y");
    VerificarError(P, &R, E_VARIABLE, 1, NULL, "a code the host sets comes back with the position");

#if defined(EVALION_OBJETO)
    /* A code word with a null object is called with the null object; a null code word is
     * not installed whatever its object. */
    Asignar(P, X, E, Variable, NULL, Funcion, NULL);
    R = Analizar(P, X, E, "f(x)");
    VerificarNumero(P, &R, 5, "f(x) with null objects");
    Verificar(P, Ultima.Objeto == NULL && strcmp(Ultima.Nombre, "f") == 0, "a null object word arrives as null");
    Asignar(P, X, E, NULL, Objeto, NULL, Objeto);
#else
    Asignar(P, X, E, NULL, NULL, NULL, NULL);
#endif
    const int Antes = Ultima.Cuantas;
    R = Analizar(P, X, E, "x");
    VerificarError(P, &R, E_VARIABLE, 1, "x", "without a variable request the engine answers E_VARIABLE");
    R = Analizar(P, X, E, "1+f(1)");
    VerificarError(P, &R, E_FUNCION, 3, "f", "without a function request the engine answers E_FUNCION");
    Verificar(P, Ultima.Cuantas == Antes, "no callback is called when none is installed");
    R = Analizar(P, X, E, NULL);
    VerificarError(P, &R, E_OPERANDO, 0, NULL, "a null text is E_OPERANDO at 0");
    Verificar(P, Intactos(V.Antes, sizeof V.Antes) && Intactos(V.Despues, sizeof V.Despues),
              "nothing is written outside the record");
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
    printf("%s: %d failures\n", NOMBRE_DLL, P.Fallos);
    return P.Fallos == 0 ? 0 : 1;
}
