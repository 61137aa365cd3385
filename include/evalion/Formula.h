/*
 * Evalion's prepared expressions (libevalion-formula and libevalion-formulaobj; on Windows
 * EvalionFormula.dll and EvalionFormulaobj.dll): a text read once and evaluated many times,
 * with the answers and the host requests of A_Analizar on the same text, in the same order.
 * The two libraries differ as libevalion and libevalionobj do, by the record's callback form;
 * a host of the object form defines EVALION_OBJETO before including this header.
 *
 * A prepared form belongs to the host that prepared it and lives until A_Liberar. Evaluating
 * only reads it, so one form may be evaluated on several threads at once, each with its own
 * record; A_Vincular, A_VincularColumna, A_VincularFuncion and A_Opciones change it, so names
 * are bound before the form is shared. Called while an evaluation of the form is in course
 * that may run the host's code (from a request or a bound function of that very evaluation),
 * they change nothing and return FORMULA_EN_CURSO: the evaluation finishes on the form it
 * began with. A_Liberar called so releases the form when the last such evaluation ends.
 */
#ifndef EVALION_FORMULA_H
#define EVALION_FORMULA_H

#include "Parser.h"

#if defined(_WIN32)
#  if defined(EVALION_FORMULA_CONSTRUYENDO)
#    define EVALION_FORMULA_API __declspec(dllexport)
#  else
#    define EVALION_FORMULA_API __declspec(dllimport)
#  endif
#else
#  define EVALION_FORMULA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A prepared expression; the host only holds pointers to it. */
typedef struct FORMULAPREPARADA FORMULAPREPARADA;

/* A C function of 0 to 4 doubles returning a double, cast to this type for A_VincularFuncion
 * (as a pointer from dlsym or GetProcAddress is cast back to its own type). */
typedef void (*FORMULA_NATIVA)(void);

/* Reads Expresion (as A_Analizar does: at most 1024 characters, NULL allowed) with the
 * separators of Estado, which is only read; a NULL Estado is refused as a NULL text is. Returns the prepared form, or NULL when every
 * evaluation would give one same error without asking the host anything ("1+", "(2",
 * "1/0", ""); that error, with its position, is then left in *Error when Error is not
 * NULL. NULL with E_MEMORIA at position 0 when there is no memory for the form. A text
 * that fails after a name ("x+") is prepared: its evaluation asks for x first. */
EVALION_FORMULA_API FORMULAPREPARADA *EVALION_CONV A_Preparar(const ESTADODEANALISIS *Estado, const char *Expresion,
                                                              BLOQUEDEDATOS *Error);

/* Evaluates a prepared form with the callbacks of Estado, which keeps the floating-point
 * settings of the call as in A_Analizar. Same block as A_Analizar(Estado, Expresion), field
 * for field. A NULL form or a NULL Estado gives E_OPERANDO at position 0, as a NULL text
 * does, whatever the form holds. */
EVALION_FORMULA_API BLOQUEDEDATOS EVALION_CONV A_Evaluar(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado);

/* The same evaluation as A_Evaluar for a host that wants a number: returns 0 and the number
 * in *Numero when A_Evaluar's block is a number; otherwise the block's error code (A_Evaluar
 * gives its position), or FORMULA_TEXTO when the block is a text, with a quiet NaN in
 * *Numero. Same requests, in the same order, as A_Evaluar. Numero may be NULL (only the
 * code is returned); a NULL form or Estado returns E_OPERANDO. Where the form's steps give
 * the number it builds no block, which makes it the cheaper call. */
enum { FORMULA_TEXTO = -1 };
EVALION_FORMULA_API int32_t EVALION_CONV A_EvaluarNumero(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado,
                                                         double *Numero);

/* The number of a form, for a host that evaluates it in a tight loop and needs no record:
 * A_EvaluarNumero's number, bit for bit, when that returns 0 and the evaluation asks the host
 * nothing (the form's names bound, or none); a NaN for anything else: an error, a text,
 * a form that would ask the host (nothing is asked), a NULL form, a NaN value. A_EvaluarNumero
 * then tells which. Under the form's options, as A_EvaluarNumero; with
 * FORMULA_AJUSTES_DEL_ANFITRION a form with machine code runs it behind one check and one jump. */
EVALION_FORMULA_API double EVALION_CONV A_Valor(const FORMULAPREPARADA *Formula);

/* A_Valor compiled into a C or C++ host's own loop, without the library call: every form
 * begins with the entry A_Valor jumps to, of this type (the C compiler's default
 * convention), which takes the form. The same answers as A_Valor, NULL included. On 32-bit
 * x86 (the Windows DLLs) forms keep no entry, and this calls A_Valor. */
typedef double (*FORMULA_VALOR)(const FORMULAPREPARADA *Formula);
static inline double A_ValorEnLinea(const FORMULAPREPARADA *Formula)
{
#if defined(__i386__) || defined(_M_IX86)
    return A_Valor(Formula);
#elif defined(__cplusplus)
    return Formula != nullptr ? (*reinterpret_cast<const FORMULA_VALOR *>(Formula))(Formula) : A_Valor(Formula);
#else
    return Formula != NULL ? (*(const FORMULA_VALOR *)(const void *)Formula)(Formula) : A_Valor(Formula);
#endif
}

/* Evaluates a prepared form for Filas rows, where each variable bound with A_VincularColumna
 * is a column: row i reads Columna[i], so every column holds at least Filas doubles. A
 * variable bound with A_Vincular reads its one number, *Direccion, in every row. Row i's value
 * goes to Valores[i] (a quiet NaN when the row fails or its value is a text), its error
 * code (0: none) to Errores[i] and its position to Posiciones[i], each when not NULL (a NULL
 * Valores still fills the codes and positions: a host that only validates a column). Row
 * by row the same bits, codes, positions and requests as A_Evaluar with the numbers of that
 * row, rows in order; a function bound to C code is called once per call the row makes.
 * Forms of numbers whose variables are all bound run a block of rows through each step at
 * once. Every row reads the columns and numbers as they were when the call began, whatever
 * the answers are written over: Valores may be a column itself (a transform in place) or
 * overlap one anyhow. Returns how many rows failed; FORMULA_SOLAPADAS, with nothing written,
 * when two of Valores, Errores and Posiciones overlap; a NULL form or Estado fails every row
 * with E_OPERANDO at position 0, as A_Evaluar does; Filas <= 0 does nothing. */
enum { FORMULA_SOLAPADAS = -2 };
EVALION_FORMULA_API int32_t EVALION_CONV A_EvaluarFilas(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado,
                                                        int32_t Filas, double *Valores, int32_t *Errores,
                                                        int32_t *Posiciones);

/* Releases a prepared form; NULL is allowed. */
EVALION_FORMULA_API void EVALION_CONV A_Liberar(FORMULAPREPARADA *Formula);

/* The names the evaluation may ask the host for, in the order of the text, each once: a
 * variable once, a function once per count of arguments. Returns the name (NUL-terminated,
 * the form's own, valid until A_Liberar) and leaves in *Argumentos (when not NULL) -1 for a
 * variable or the count of arguments of a function; NULL past the last name (and for a NULL
 * form). Names after a point where every evaluation fails, whatever the host answers, are
 * never asked for and are not listed: "x+)+y" and "x/0+y" list only x. */
EVALION_FORMULA_API const char *EVALION_CONV A_Nombre(const FORMULAPREPARADA *Formula, int32_t Indice,
                                                      int32_t *Argumentos);

/* Binds the variable of that exact name (byte for byte) to a number the host keeps at
 * Direccion: from then on evaluations read it there instead of asking the host, as if the
 * host had answered that number. NULL unbinds it. Returns how many times the text uses the
 * name (0: the form never asks for it, and nothing changes; also for a NULL form or name). */
EVALION_FORMULA_API int32_t EVALION_CONV A_Vincular(FORMULAPREPARADA *Formula, const char *Variable,
                                                    const double *Direccion);

/* Binds the variable as A_Vincular does (same names, same result, NULL unbinds it) to a
 * column of numbers the host keeps at Columna: row i of A_EvaluarFilas reads Columna[i], and
 * A_Evaluar reads Columna[0], the first row. Binding the name again, with either call,
 * replaces the column. */
EVALION_FORMULA_API int32_t EVALION_CONV A_VincularColumna(FORMULAPREPARADA *Formula, const char *Variable,
                                                           const double *Columna);

/* Binds the calls of the function of that exact name (byte for byte) with Argumentos
 * arguments (0 to 4) to a C function of that many doubles returning a double, cast to
 * FORMULA_NATIVA: A_VincularFuncion(F, "seno", 1, (FORMULA_NATIVA)sin). It is called with
 * the C compiler's default convention (cdecl on 32-bit Windows, as the C library's
 * functions), not EVALION_CONV, under the host's floating-point settings as a request is.
 * From then on evaluations call it for those calls instead of asking the host, as if the
 * host had answered its value (a not-a-number or an infinity is a number as any other); an
 * argument that is not a number (a text) makes the call fail as if the host had answered
 * E_INCOMPATIBLES. Forms whose calls are all bound stay forms of numbers, and their rows in
 * A_EvaluarFilas go in blocks. NULL unbinds it (the host is asked again). Returns how many
 * times the text calls that name with that count of arguments (0: never, and nothing
 * changes; also for a NULL form or name, or a count outside 0 to 4). The name stays listed
 * by A_Nombre. */
EVALION_FORMULA_API int32_t EVALION_CONV A_VincularFuncion(FORMULAPREPARADA *Formula, const char *Funcion,
                                                           int32_t Argumentos, FORMULA_NATIVA Puntero);
/* What A_VincularFuncion may be told besides the count, added to Argumentos:
 *   FORMULA_TEXTO_AL_ANFITRION: a call with an argument that is no plain number (a text, or
 *     a block of both kinds) asks the host, as if the name were not bound, rather than
 *     failing or calling the function (one whose answer for texts is the host's: si).
 *   One of FORMULA_ES_RAIZ (one argument: the function computes sqrt(x), and +0 for a zero),
 *     FORMULA_ES_ABS (one: fabs(x)) and FORMULA_ES_SI (three: the second argument, bits and
 *     all, unless the first is +0 or -0, then the third): the function computes exactly that,
 *     so that a form's machine code computes it itself instead of calling it. A count other
 *     than the one given, or other bits, bind nothing (0). The standard library's
 *     A_EstandarMarcas says which of these its functions take. */
enum {
    FORMULA_TEXTO_AL_ANFITRION = 0x100,
    FORMULA_ES_RAIZ = 0x1000,
    FORMULA_ES_ABS = 0x2000,
    FORMULA_ES_SI = 0x3000
};

/* Options of a form, as bits (A_Opciones replaces them all; a new form has none).
 *   FORMULA_AJUSTES_DEL_ANFITRION: evaluations compute under the floating-point settings the
 *     host calls with, without the switch to the engine's own and back, which on x86-64 is
 *     most of the cost of a short evaluation (reading MXCSR). The answers are A_Analizar's
 *     when the host runs with the settings every C and C++ program starts with (rounding to
 *     nearest, every exception masked, no flush to zero); under others they follow the
 *     host's (another rounding; a trap where the host unmasked one), and what the engine's
 *     arithmetic raises stays in the host's flags. Requests then run under those settings
 *     as they stand. On x86-64 Linux and 64-bit Windows a form of numbers, bound variables,
 *     powers and functions bound to C code is then also written as machine code of its own,
 *     which gives the same answers sooner. */
enum { FORMULA_AJUSTES_DEL_ANFITRION = 1 };
EVALION_FORMULA_API int32_t EVALION_CONV A_Opciones(FORMULAPREPARADA *Formula, int32_t Opciones);

/* What A_Vincular, A_VincularColumna, A_VincularFuncion and A_Opciones return when called
 * while an evaluation of the form that may run the host's code is in course: nothing changed.
 * (A_Opciones otherwise returns 0.) */
enum { FORMULA_EN_CURSO = -3 };

#ifdef __cplusplus
}
#endif

/* Both libraries' names under versions of their own, as in Parser.h. */
#if defined(__ELF__) && !defined(EVALION_FORMULA_CONSTRUYENDO)
#  if defined(EVALION_OBJETO)
#    define EVALION_FORMULA_VERSION_ "EVALIONFORMULAOBJ_ENLACE_1"
#  else
#    define EVALION_FORMULA_VERSION_ "EVALIONFORMULA_ENLACE_1"
#  endif
__asm__(".symver A_Preparar, A_Preparar@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Evaluar, A_Evaluar@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_EvaluarNumero, A_EvaluarNumero@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Valor, A_Valor@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_EvaluarFilas, A_EvaluarFilas@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Liberar, A_Liberar@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Nombre, A_Nombre@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Vincular, A_Vincular@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_VincularColumna, A_VincularColumna@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_VincularFuncion, A_VincularFuncion@" EVALION_FORMULA_VERSION_);
__asm__(".symver A_Opciones, A_Opciones@" EVALION_FORMULA_VERSION_);
#  undef EVALION_FORMULA_VERSION_
#endif

#endif /* EVALION_FORMULA_H */
