// The four exports: thin wrappers that forward to the engine and hold no state. The same
// file builds both libraries; EVALION_OBJETO selects the object form of the callbacks.
#include "Motor.h"
#include "Peticiones.h"

#if defined(_WIN32) && defined(__i386__)
// The record's size is part of the 32-bit Windows interface: hosts reserve it themselves.
#if defined(EVALION_OBJETO)
static_assert(sizeof(ESTADODEANALISIS) == 2096, "the object build's record is 2096 bytes");
#else
static_assert(sizeof(ESTADODEANALISIS) == 2088, "the plain build's record is 2088 bytes");
#endif
// The two fields that hold the host's floating-point settings fill padding: nothing moves.
static_assert(offsetof(ESTADODEANALISIS, ValorNumero) == 2068, "ValorNumero at 2068");
static_assert(offsetof(ESTADODEANALISIS, SepDecimal) == 2076, "SepDecimal at 2076");
static_assert(offsetof(ESTADODEANALISIS, AlPedirVariable) == 2080, "AlPedirVariable at 2080");
#endif

extern "C" {

EVALION_API void EVALION_CONV A_Inicializar(ESTADODEANALISIS *Estado)
{
    Motor::Inicializar(Estado, Motor::SinVariable(), Motor::SinFuncion(), '\0', '\0');
}

#if defined(EVALION_OBJETO)
EVALION_API void EVALION_CONV A_AsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE_CODIGO VariableCodigo,
                                               void *VariableObjeto, ALPEDIRFUNCION_CODIGO FuncionCodigo,
                                               void *FuncionObjeto)
{
    Motor::AsignarAlPedir(Estado, ALPEDIRVARIABLE{VariableCodigo, VariableObjeto},
                          ALPEDIRFUNCION{FuncionCodigo, FuncionObjeto});
}
#else
EVALION_API void EVALION_CONV A_AsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable,
                                               ALPEDIRFUNCION Funcion)
{
    Motor::AsignarAlPedir(Estado, Variable, Funcion);
}
#endif

EVALION_API void EVALION_CONV A_AsignarSeparadores(ESTADODEANALISIS *Estado, char Millar, char Decimal)
{
    Motor::AsignarSeparadores(Estado, Millar, Decimal);
}

EVALION_API BLOQUEDEDATOS EVALION_CONV A_Analizar(ESTADODEANALISIS *Estado, const char *Expresion)
{
    return Motor::Analizar(Estado, Expresion);
}

#if defined(__ELF__) && defined(__x86_64__)
// A name of A_Analizar that no other library can take, which Enlace.cpp jumps to directly.
BLOQUEDEDATOS DestinoAnalizar(ESTADODEANALISIS *, const char *) __attribute__((alias("A_Analizar"), visibility("hidden")));
#endif

} // extern "C"
