// The entries a host compiled with Formula.h calls on Linux: each forwards to its public
// entry and is exported as that name under the library's second version
// (EVALIONFORMULA_ENLACE_1, EVALIONFORMULAOBJ_ENLACE_1), which Formula.h asks for, so that a
// program may link both prepared-form libraries (lib/Enlace.cpp says why a second symbol).
#include "Formula.h"

#if defined(__ELF__)

#if defined(EVALION_OBJETO)
#define EVALION_VERSION_ "EVALIONFORMULAOBJ_ENLACE_1"
#else
#define EVALION_VERSION_ "EVALIONFORMULA_ENLACE_1"
#endif

extern "C" {

EVALION_FORMULA_API FORMULAPREPARADA *EnlacePreparar(const ESTADODEANALISIS *Estado, const char *Expresion,
                                                     BLOQUEDEDATOS *Error)
{
    return A_Preparar(Estado, Expresion, Error);
}
__asm__(".symver EnlacePreparar, A_Preparar@" EVALION_VERSION_);

// A_Evaluar itself, not a copy of the evaluation: one compiled evaluation serves every host
// and every row of A_EvaluarFilas, down to which of two not-a-numbers it keeps. On x86-64 the
// entry is one jump to it through its hidden name (see lib/Enlace.cpp), elsewhere a call.
#if defined(__x86_64__)
__asm__(".text\n.globl EnlaceEvaluar\n.type EnlaceEvaluar, @function\nEnlaceEvaluar:\n"
        "\tjmp DestinoEvaluar\n.size EnlaceEvaluar, .-EnlaceEvaluar");
#else
EVALION_FORMULA_API BLOQUEDEDATOS EnlaceEvaluar(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado)
{
    return A_Evaluar(Formula, Estado);
}
#endif
__asm__(".symver EnlaceEvaluar, A_Evaluar@" EVALION_VERSION_);

#if defined(__x86_64__)
__asm__(".text\n.globl EnlaceEvaluarNumero\n.type EnlaceEvaluarNumero, @function\nEnlaceEvaluarNumero:\n"
        "\tjmp DestinoEvaluarNumero\n.size EnlaceEvaluarNumero, .-EnlaceEvaluarNumero");
#else
EVALION_FORMULA_API int32_t EnlaceEvaluarNumero(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado, double *Numero)
{
    return A_EvaluarNumero(Formula, Estado, Numero);
}
#endif
__asm__(".symver EnlaceEvaluarNumero, A_EvaluarNumero@" EVALION_VERSION_);

// A_Valor's check and jump themselves, for the tightest loops: through the form's first
// field to its entry, and a null form to the entry that answers it (Exportaciones.cpp).
#if defined(__x86_64__)
__asm__(".text\n.globl EnlaceValor\n.type EnlaceValor, @function\nEnlaceValor:\n"
        "\ttest %rdi, %rdi\n\tje DestinoValor\n\tjmp *(%rdi)\n.size EnlaceValor, .-EnlaceValor");
#else
EVALION_FORMULA_API double EnlaceValor(const FORMULAPREPARADA *Formula) { return A_Valor(Formula); }
#endif
__asm__(".symver EnlaceValor, A_Valor@" EVALION_VERSION_);

EVALION_FORMULA_API int32_t EnlaceEvaluarFilas(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado,
                                               int32_t Filas, double *Valores, int32_t *Errores, int32_t *Posiciones)
{
    return A_EvaluarFilas(Formula, Estado, Filas, Valores, Errores, Posiciones);
}
__asm__(".symver EnlaceEvaluarFilas, A_EvaluarFilas@" EVALION_VERSION_);

EVALION_FORMULA_API void EnlaceLiberar(FORMULAPREPARADA *Formula) { A_Liberar(Formula); }
__asm__(".symver EnlaceLiberar, A_Liberar@" EVALION_VERSION_);

EVALION_FORMULA_API const char *EnlaceNombre(const FORMULAPREPARADA *Formula, int32_t Indice, int32_t *Argumentos)
{
    return A_Nombre(Formula, Indice, Argumentos);
}
__asm__(".symver EnlaceNombre, A_Nombre@" EVALION_VERSION_);

EVALION_FORMULA_API int32_t EnlaceVincular(FORMULAPREPARADA *Formula, const char *Variable, const double *Direccion)
{
    return A_Vincular(Formula, Variable, Direccion);
}
__asm__(".symver EnlaceVincular, A_Vincular@" EVALION_VERSION_);

EVALION_FORMULA_API int32_t EnlaceVincularColumna(FORMULAPREPARADA *Formula, const char *Variable, const double *Columna)
{
    return A_VincularColumna(Formula, Variable, Columna);
}
__asm__(".symver EnlaceVincularColumna, A_VincularColumna@" EVALION_VERSION_);

EVALION_FORMULA_API int32_t EnlaceVincularFuncion(FORMULAPREPARADA *Formula, const char *Funcion, int32_t Argumentos,
                                                 FORMULA_NATIVA Puntero)
{
    return A_VincularFuncion(Formula, Funcion, Argumentos, Puntero);
}
__asm__(".symver EnlaceVincularFuncion, A_VincularFuncion@" EVALION_VERSION_);

EVALION_FORMULA_API int32_t EnlaceOpciones(FORMULAPREPARADA *Formula, int32_t Opciones)
{
    return A_Opciones(Formula, Opciones);
}
__asm__(".symver EnlaceOpciones, A_Opciones@" EVALION_VERSION_);

} // extern "C"

#undef EVALION_VERSION_
#endif
