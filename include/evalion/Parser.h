/*
 * Evalion: embeddable expression analyser and evaluator.
 *
 * Public C interface of the two libraries:
 *   libevalion     callbacks are plain functions;
 *   libevalionobj  callbacks are (function, object) pairs; the object is passed first.
 * A host of the object library defines EVALION_OBJETO before including this header
 * (the CMake target Evalion::evalionobj and the pkg-config file evalionobj do it).
 *
 * Ownership: the host owns the ESTADODEANALISIS record and everything it passes in;
 * the engine keeps nothing after a call returns and frees nothing the host gave it.
 * Everything the engine hands to a callback (the name, the argument array, R) is the
 * engine's and lives only for that callback.
 */
#ifndef EVALION_PARSER_H
#define EVALION_PARSER_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
   /* 32-bit Windows: stdcall. 64-bit Windows has one calling convention (the first four
    * arguments in RCX, RDX, R8 and R9, or XMM0 to XMM3 for doubles, the rest on the stack
    * above 32 bytes of shadow space the caller reserves), which needs no word. */
#  if defined(_WIN64)
#    define EVALION_CONV
#  else
#    define EVALION_CONV __stdcall
#  endif
#  if defined(EVALION_CONSTRUYENDO)
#    define EVALION_API __declspec(dllexport)
#  else
#    define EVALION_API __declspec(dllimport)
#  endif
#else
#  define EVALION_CONV
#  define EVALION_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Size limits of the language. */
enum {
    EVALION_LARGO_EXPRESION = 1024, /* characters of an expression; the rest is ignored */
    EVALION_LARGO_CADENA = 1024     /* bytes of a text field, terminator included */
};

/* Value kinds, tested as bits: a host block with both bits passes both tests. */
enum { TIPO_NUMERO = 1, TIPO_CADENA = 2 };

/* Error codes. Any other non-zero code a callback leaves in R->Error comes back unchanged. */
enum {
    E_OPERADOR = 100,      /* input left over after a complete expression */
    E_VALOR = 200,         /* a sign applied to something that is not a number */
    E_PARENTESIS = 300,    /* ")" expected */
    E_CIERREFUNCION = 400, /* the text ends inside an argument list */
    E_OPERANDO = 500,      /* an operand expected; also an empty or null text (position 0) */
    E_SEPARADOR = 600,     /* ";" or ")" expected after an argument */
    E_INCOMPATIBLES = 700, /* the operand kinds do not fit the operator */
    E_CARACTER = 800,      /* a character that begins no token, after an operand */
    E_VARIABLE = 1000,     /* an unresolved variable; its name is in Cadena */
    E_FUNCION = 1100,      /* an unresolved function; its name is in Cadena */
    E_DIVISION = 1200,     /* division by zero */
    E_MEMORIA = 1300       /* no memory for the argument list of a call or a waiting long text */
};

/* Token codes: a one-character token is its own character code. */
enum {
    T_FIN = 0,
    T_NUMERO = 260,
    T_IDENTIFICADOR = 270,
    T_CADENA = 280,
    T_DISTINTO = 290,    /* <> */
    T_MENORIGUAL = 300,  /* <= */
    T_MAYORIGUAL = 310,  /* >= */
    T_INVALIDO = 320     /* a character that begins no token */
};

/* Both records are packed to 4 bytes on every platform, so that the Windows libraries and
 * their hosts agree on them byte for byte: BLOQUEDEDATOS is 1044 bytes everywhere;
 * ESTADODEANALISIS, which holds pointers, is 2088 bytes (2096 in the object form) on 32-bit
 * Windows and 2100 (2116) on 64-bit Windows and Linux x86-64. */
#pragma pack(push, 4)

/* One value or one error. A host reads Error first; when it is 0, Tipo says which of
 * Numero or Cadena holds the value, and the other is still defined: a number comes with the
 * empty text, a text with the number 0. A request's R reaches the host with Numero 0, Tipo
 * 0, the empty text and Error 0. Posicion (1-based) is meaningful only with an error. */
typedef struct BLOQUEDEDATOS {
    double Numero;
    char Cadena[EVALION_LARGO_CADENA]; /* NUL-terminated, at most 1023 characters */
    uint8_t Tipo;
    int32_t Error;
    int32_t Posicion;
} BLOQUEDEDATOS;

#if defined(EVALION_OBJETO)
/* A request is installed when Codigo is not null; Objeto is passed through as it is. */
#if defined(_WIN32) && defined(__i386__)
/* 32-bit Windows: the requests are object methods in the register convention: the object
 * in EAX, the first parameter in EDX, the second in ECX, and the rest pushed from left to
 * right and removed by the callee. GCC writes that as regparm(3) with stdcall; N is
 * declared after R because stdcall pushes from right to left. */
#define EVALION_METODO __attribute__((regparm(3), stdcall))
typedef void (EVALION_METODO *ALPEDIRVARIABLE_CODIGO)(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
typedef void (EVALION_METODO *ALPEDIRFUNCION_CODIGO)(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros,
                                                     BLOQUEDEDATOS *R, int32_t N);
#else
/* Elsewhere the requests are plain functions of the object and then the parameters in
 * order. On 64-bit Windows that is what Delphi and Free Pascal make of a method
 * "procedure(Funcion: PAnsiChar; Parametros: PBLOQUES; N: Int32; var R: BLOQUEDEDATOS) of
 * object": Self in RCX, the name in RDX, the third parameter in R8, N in R9 and R on the
 * stack, in the one convention of the platform. EVALION_METODO is empty there. */
#define EVALION_METODO
typedef void (EVALION_METODO *ALPEDIRVARIABLE_CODIGO)(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
typedef void (EVALION_METODO *ALPEDIRFUNCION_CODIGO)(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros,
                                                     int32_t N, BLOQUEDEDATOS *R);
#endif
typedef struct ALPEDIRVARIABLE { ALPEDIRVARIABLE_CODIGO Codigo; void *Objeto; } ALPEDIRVARIABLE;
typedef struct ALPEDIRFUNCION { ALPEDIRFUNCION_CODIGO Codigo; void *Objeto; } ALPEDIRFUNCION;
#else
/* A request is installed when its pointer is not null. */
typedef void (EVALION_CONV *ALPEDIRVARIABLE)(char *Variable, BLOQUEDEDATOS *R);
typedef void (EVALION_CONV *ALPEDIRFUNCION)(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                            BLOQUEDEDATOS *R);
#endif

/* The parser state. The host reserves it anywhere (sizeof is exact) and never looks inside.
 * ControlAnfitrion and MxcsrAnfitrion fill what would otherwise be padding, so the other
 * fields keep their offsets: while an analysis runs they hold the caller's floating-point
 * settings (x87 control word, SSE control and status register), which the callbacks run
 * under and which the caller gets back. */
typedef struct ESTADODEANALISIS {
    int32_t TokenActual;   /* the current token */
    int32_t Leidos;        /* characters read; always Cursor - Texto, kept for the layout */
    int32_t InicioToken;   /* where the current token's scan began: error positions */
    char *Cursor;          /* the next character to read */
    char Texto[EVALION_LARGO_EXPRESION + 1];      /* the analysed copy, NUL-padded */
    char TextoToken[EVALION_LARGO_EXPRESION + 1]; /* the last number, name or text literal */
    uint16_t ControlAnfitrion; /* layout padding, used while an analysis runs (above) */
    double ValorNumero;    /* the last number literal */
    char SepDecimal;
    char SepMillar;
    uint16_t MxcsrAnfitrion;   /* layout padding, used while an analysis runs (above) */
    ALPEDIRVARIABLE AlPedirVariable;
    ALPEDIRFUNCION AlPedirFuncion;
} ESTADODEANALISIS;

#pragma pack(pop)

/* Initialises a newly reserved record: no callbacks, "." thousands, "," decimal.
 * Calling it again restores exactly that. These three set-up calls do nothing when Estado
 * is NULL. */
EVALION_API void EVALION_CONV A_Inicializar(ESTADODEANALISIS *Estado);

/* Installs the two requests; a null request (in the object form, a null code pointer) is
 * answered by the engine with E_VARIABLE or E_FUNCION and the name in Cadena. */
#if defined(EVALION_OBJETO)
EVALION_API void EVALION_CONV A_AsignarAlPedir(ESTADODEANALISIS *Estado,
                                               ALPEDIRVARIABLE_CODIGO VariableCodigo, void *VariableObjeto,
                                               ALPEDIRFUNCION_CODIGO FuncionCodigo, void *FuncionObjeto);
#else
EVALION_API void EVALION_CONV A_AsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable,
                                               ALPEDIRFUNCION Funcion);
#endif

/* Sets the thousands and decimal separators; a NUL leaves that one unchanged. The
 * separators in force when an analysis (or A_Preparar) starts apply to its whole text: a
 * callback that calls this on the record in use changes nothing, neither the rest of that
 * text nor the record after the call (its change is undone when the callback returns). */
EVALION_API void EVALION_CONV A_AsignarSeparadores(ESTADODEANALISIS *Estado, char Millar, char Decimal);

/* Analyses one expression (NUL-terminated Latin-1 text; NULL allowed) and returns its value
 * or its error with the position. Only the first 1024 characters are read; the text need
 * only live for the call. Callbacks run synchronously on this thread, during this call.
 * A NULL Estado gives E_OPERANDO at position 0, as a NULL text does. Every field of the
 * block is defined: an error the engine's own rules make (E_OPERANDO, E_INCOMPATIBLES,
 * E_DIVISION, E_CARACTER) carries Numero 0, the empty text and Tipo 0.
 * Stack: an analysis needs at most 200 KB of the calling thread's stack besides what its
 * callbacks use (the deepest shape, a chain of 511 host texts of 255 characters); a text
 * longer than 255 characters waiting as the left operand of "+", "-" or a comparison is
 * copied to the heap until its operator is applied (E_MEMORIA when that fails). */
EVALION_API BLOQUEDEDATOS EVALION_CONV A_Analizar(ESTADODEANALISIS *Estado, const char *Expresion);

#ifdef __cplusplus
}
#endif

/* On ELF systems both libraries export the same four names, each under a symbol version of
 * its own; a host's calls ask for the version of the form it is compiled for, so that a
 * program may link both libraries (a C module of the plain form beside a C++ part of the
 * object form) and each caller reaches its own. A name nobody calls adds no reference. */
#if defined(__ELF__) && !defined(EVALION_CONSTRUYENDO)
#  if defined(EVALION_OBJETO)
#    define EVALION_VERSION_ "EVALIONOBJ_ENLACE_1"
#  else
#    define EVALION_VERSION_ "EVALION_ENLACE_1"
#  endif
__asm__(".symver A_Inicializar, A_Inicializar@" EVALION_VERSION_);
__asm__(".symver A_AsignarAlPedir, A_AsignarAlPedir@" EVALION_VERSION_);
__asm__(".symver A_AsignarSeparadores, A_AsignarSeparadores@" EVALION_VERSION_);
__asm__(".symver A_Analizar, A_Analizar@" EVALION_VERSION_);
#  undef EVALION_VERSION_
#endif

/* The block's layout is part of the binary interface. */
#ifdef __cplusplus
static_assert(sizeof(BLOQUEDEDATOS) == 1044, "BLOQUEDEDATOS must be 1044 bytes");
static_assert(offsetof(BLOQUEDEDATOS, Numero) == 0, "Numero at 0");
static_assert(offsetof(BLOQUEDEDATOS, Cadena) == 8, "Cadena at 8");
static_assert(offsetof(BLOQUEDEDATOS, Tipo) == 1032, "Tipo at 1032");
static_assert(offsetof(BLOQUEDEDATOS, Error) == 1036, "Error at 1036");
static_assert(offsetof(BLOQUEDEDATOS, Posicion) == 1040, "Posicion at 1040");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(BLOQUEDEDATOS) == 1044, "BLOQUEDEDATOS must be 1044 bytes");
_Static_assert(offsetof(BLOQUEDEDATOS, Error) == 1036, "Error at 1036");
_Static_assert(offsetof(BLOQUEDEDATOS, Posicion) == 1040, "Posicion at 1040");
#endif

/* On 64-bit Windows the record's size is part of the interface too: hosts reserve it. */
#if defined(_WIN64)
#  if defined(EVALION_OBJETO)
#    define EVALION_TAMANO_ESTADO_ 2116
#  else
#    define EVALION_TAMANO_ESTADO_ 2100
#  endif
#  ifdef __cplusplus
static_assert(sizeof(ESTADODEANALISIS) == EVALION_TAMANO_ESTADO_, "ESTADODEANALISIS: 2100 bytes, 2116 with objects");
static_assert(offsetof(ESTADODEANALISIS, Cursor) == 12, "Cursor at 12");
static_assert(offsetof(ESTADODEANALISIS, ValorNumero) == 2072, "ValorNumero at 2072");
static_assert(offsetof(ESTADODEANALISIS, SepDecimal) == 2080, "SepDecimal at 2080");
static_assert(offsetof(ESTADODEANALISIS, AlPedirVariable) == 2084, "AlPedirVariable at 2084");
#  elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(ESTADODEANALISIS) == EVALION_TAMANO_ESTADO_, "ESTADODEANALISIS: 2100 bytes, 2116 with objects");
_Static_assert(offsetof(ESTADODEANALISIS, ValorNumero) == 2072, "ValorNumero at 2072");
_Static_assert(offsetof(ESTADODEANALISIS, AlPedirVariable) == 2084, "AlPedirVariable at 2084");
#  endif
#  undef EVALION_TAMANO_ESTADO_
#endif

#endif /* EVALION_PARSER_H */
