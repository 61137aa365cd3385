// The entries a host compiled with Parser.h calls on Linux: each forwards to its public
// entry and is exported as that name under the library's second version (EVALION_ENLACE_1,
// EVALIONOBJ_ENLACE_1), which Parser.h asks for. A program may then link both engine
// libraries, and each of its callers reaches the one of the form it was compiled for: the
// linker binds a versioned name to the library that defines that version, even where the
// other library also defines the name, which it cannot do for the default version alone.
// (A second symbol, not an alias of the first: the linker drops the default version of a
// name whose address a versioned symbol also has.)
#include "Parser.h"

#if defined(__ELF__)

#if defined(EVALION_OBJETO)
#define EVALION_VERSION_ "EVALIONOBJ_ENLACE_1"
#else
#define EVALION_VERSION_ "EVALION_ENLACE_1"
#endif

extern "C" {

EVALION_API void EnlaceInicializar(ESTADODEANALISIS *Estado) { A_Inicializar(Estado); }
__asm__(".symver EnlaceInicializar, A_Inicializar@" EVALION_VERSION_);

#if defined(EVALION_OBJETO)
EVALION_API void EnlaceAsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE_CODIGO VariableCodigo, void *VariableObjeto,
                          ALPEDIRFUNCION_CODIGO FuncionCodigo, void *FuncionObjeto)
{
    A_AsignarAlPedir(Estado, VariableCodigo, VariableObjeto, FuncionCodigo, FuncionObjeto);
}
#else
EVALION_API void EnlaceAsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion)
{
    A_AsignarAlPedir(Estado, Variable, Funcion);
}
#endif
__asm__(".symver EnlaceAsignarAlPedir, A_AsignarAlPedir@" EVALION_VERSION_);

EVALION_API void EnlaceAsignarSeparadores(ESTADODEANALISIS *Estado, char Millar, char Decimal)
{
    A_AsignarSeparadores(Estado, Millar, Decimal);
}
__asm__(".symver EnlaceAsignarSeparadores, A_AsignarSeparadores@" EVALION_VERSION_);

#if defined(__x86_64__)
// The entry every analysis passes is one jump to A_Analizar through its hidden name: no call,
// no frame and no PLT, so the version costs a host one instruction (a block returned through
// a hidden pointer is no tail call for the compiler, which would add a frame and a call).
__asm__(".text\n.globl EnlaceAnalizar\n.type EnlaceAnalizar, @function\nEnlaceAnalizar:\n"
        "\tjmp DestinoAnalizar\n.size EnlaceAnalizar, .-EnlaceAnalizar");
#else
EVALION_API BLOQUEDEDATOS EnlaceAnalizar(ESTADODEANALISIS *Estado, const char *Expresion) { return A_Analizar(Estado, Expresion); }
#endif
__asm__(".symver EnlaceAnalizar, A_Analizar@" EVALION_VERSION_);

} // extern "C"

#undef EVALION_VERSION_
#endif
