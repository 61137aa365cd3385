/*
 * Evalion's standard library: the functions and constants that hosts answer without writing
 * them again (libevalion-estandar, EvalionEstandar.dll on Windows). The engine still knows
 * no name: a host calls these from its own requests, with the blocks the engine gave it.
 *
 * Names are matched ignoring the case of A-Z. Everything passed in belongs to the caller and
 * is only read during the call; nothing is kept. Every function may be called from any
 * thread at any time.
 */
#ifndef EVALION_ESTANDAR_H
#define EVALION_ESTANDAR_H

#include "Parser.h"

#if defined(_WIN32)
#  if defined(EVALION_ESTANDAR_CONSTRUYENDO)
#    define EVALION_ESTANDAR_API __declspec(dllexport)
#  else
#    define EVALION_ESTANDAR_API __declspec(dllimport)
#  endif
#else
#  define EVALION_ESTANDAR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The constants Pi and E: returns 1 and fills R (Tipo, Numero, Error 0) when Variable names
 * one of them; returns 0 and leaves R untouched otherwise, and when Variable or R is NULL. */
EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarVariable(const char *Variable, BLOQUEDEDATOS *R);

/* The standard functions: returns 1 when Funcion names one of them, with R filled with its
 * value (Error 0), or with Error E_FUNCION for a count of arguments it does not take, or
 * E_INCOMPATIBLES for an argument of the wrong kind; returns 0 and leaves R untouched for
 * any other name, and does nothing when Funcion or R is NULL, or Parametros is NULL with N
 * above 0. Parametros points to N blocks (N may be 0 when the caller is not the engine). Texts are Windows-1252, at most 1023 characters; a longer result is cut. */
EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarFuncion(const char *Funcion, const BLOQUEDEDATOS *Parametros,
                                                            int32_t N, BLOQUEDEDATOS *R);

/* A C function of 1 to 4 doubles returning a double, of the C compiler's default convention,
 * of the same type as FORMULA_NATIVA in Formula.h: cast back to double (*)(double, ...) of its
 * count of arguments before calling it. */
typedef void (*ESTANDAR_NATIVA)(void);

/* The standard function Funcion (matched as A_EstandarFuncion matches it) as C code for calls
 * of Argumentos numbers, for A_VincularFuncion: the function computes what A_EstandarFuncion
 * answers for such a call, bit for bit, under the floating-point settings it uses (a host's
 * odd settings give the same). NULL when there is none: an unknown name, a count the function
 * does not take (A_EstandarFuncion answers E_FUNCION), a count outside 1 to 4, or a function
 * whose answer or arguments may be texts (si, Texto, Longitud, Mayusculas...), and for a NULL
 * Funcion. A text argument makes a bound call fail with E_INCOMPATIBLES, as the handler does.
 * With ESTANDAR_CON_TEXTOS added to Argumentos it also gives the functions that answer a
 * number for numbers and a text for texts (si of three arguments, on x86-64), for a binding
 * that leaves a call with a text argument to the host's request (A_EstandarMarcas). */
enum { ESTANDAR_CON_TEXTOS = 0x100 };
EVALION_ESTANDAR_API ESTANDAR_NATIVA EVALION_CONV A_EstandarNativa(const char *Funcion, int32_t Argumentos);

/* What a binding of A_EstandarNativa's code for Funcion with Argumentos numbers should add to
 * the count it gives A_VincularFuncion (Formula.h): FORMULA_TEXTO_AL_ANFITRION for si (whose
 * code then comes with ESTANDAR_CON_TEXTOS), and the operation the function computes, which a
 * form's machine code computes itself (FORMULA_ES_RAIZ for Raiz, FORMULA_ES_ABS for Abs,
 * FORMULA_ES_SI for si); 0 for the rest, for an unknown name and for NULL. */
EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarMarcas(const char *Funcion, int32_t Argumentos);

/* The constant Variable (Pi, E; matched as A_EstandarVariable matches it) as a number that
 * lives as long as the library, for A_Vincular; NULL for any other name and for NULL. */
EVALION_ESTANDAR_API const double *EVALION_CONV A_EstandarConstante(const char *Variable);

/* The Spanish message of an error code, Windows-1252, NUL-terminated and static, ending in a
 * blank so that the position follows directly ("Se esperaba una variable en la posición ");
 * NULL for a code without one (a host's own code). */
EVALION_ESTANDAR_API const char *EVALION_CONV A_Mensaje(int32_t Codigo);

#ifdef __cplusplus
}
#endif

#endif /* EVALION_ESTANDAR_H */
