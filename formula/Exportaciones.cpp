// The prepared forms' exports: thin wrappers over the engine, holding no state. The
// same file builds both libraries; EVALION_OBJETO selects the record's callback form.
#include "Formula.h"
#include "Forma.h" // and the evaluation, inline

static_assert(static_cast<int32_t>(FORMULA_AJUSTES_DEL_ANFITRION) == Motor::AJUSTES_DEL_ANFITRION, "one meaning for the option bit");
static_assert(std::is_same_v<FORMULA_NATIVA, Motor::FuncionNativa>, "one type for C code");
static_assert(std::is_same_v<FORMULA_VALOR, EvaluacionValor> && offsetof(FORMULAPREPARADA, Valor) == 0,
              "A_ValorEnLinea reads the entry first in the form");
static_assert(static_cast<int32_t>(FORMULA_TEXTO) == Motor::RESULTADO_TEXTO, "one code for a text result");
static_assert(static_cast<int32_t>(FORMULA_SOLAPADAS) == Motor::FILAS_SOLAPADAS &&
                  static_cast<int32_t>(FORMULA_EN_CURSO) == Motor::CAMBIO_EN_CURSO,
              "one code for each refusal");

extern "C" {

EVALION_FORMULA_API FORMULAPREPARADA *EVALION_CONV A_Preparar(const ESTADODEANALISIS *Estado, const char *Expresion,
                                                              BLOQUEDEDATOS *Error)
{
    BLOQUEDEDATOS Propio;
    return Motor::Preparar(Estado, Expresion, Error ? *Error : Propio);
}

EVALION_FORMULA_API BLOQUEDEDATOS EVALION_CONV A_Evaluar(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado)
{
    return Motor::Evaluar(Formula, Estado);
}

#if defined(__ELF__) && defined(__x86_64__)
// A name of A_Evaluar that no other library can take, which Enlace.cpp jumps to directly.
BLOQUEDEDATOS DestinoEvaluar(const FORMULAPREPARADA *, ESTADODEANALISIS *) __attribute__((alias("A_Evaluar"), visibility("hidden")));
#endif

EVALION_FORMULA_API int32_t EVALION_CONV A_EvaluarNumero(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado,
                                                         double *Numero)
{
    return Motor::EvaluarNumero(Formula, Estado, Numero);
}

#if defined(__ELF__) && defined(__x86_64__)
int32_t DestinoEvaluarNumero(const FORMULAPREPARADA *, ESTADODEANALISIS *, double *)
    __attribute__((alias("A_EvaluarNumero"), visibility("hidden")));
#endif

EVALION_FORMULA_API double EVALION_CONV A_Valor(const FORMULAPREPARADA *Formula) { return Motor::Valor(Formula); }

#if defined(__ELF__) && defined(__x86_64__)
double DestinoValor(const FORMULAPREPARADA *) __attribute__((alias("A_Valor"), visibility("hidden")));
#endif

EVALION_FORMULA_API int32_t EVALION_CONV A_EvaluarFilas(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado,
                                                        int32_t Filas, double *Valores, int32_t *Errores,
                                                        int32_t *Posiciones)
{
    return Motor::EvaluarFilas(Formula, Estado, Filas, Valores, Errores, Posiciones, A_Evaluar);
}

EVALION_FORMULA_API void EVALION_CONV A_Liberar(FORMULAPREPARADA *Formula) { Motor::Liberar(Formula); }

EVALION_FORMULA_API const char *EVALION_CONV A_Nombre(const FORMULAPREPARADA *Formula, int32_t Indice,
                                                      int32_t *Argumentos)
{
    return Motor::NombreUsado(Formula, Indice, Argumentos);
}

EVALION_FORMULA_API int32_t EVALION_CONV A_Vincular(FORMULAPREPARADA *Formula, const char *Variable,
                                                    const double *Direccion)
{
    return Motor::Vincular(Formula, Variable, -1, Direccion, false, nullptr);
}

EVALION_FORMULA_API int32_t EVALION_CONV A_VincularColumna(FORMULAPREPARADA *Formula, const char *Variable,
                                                           const double *Columna)
{
    return Motor::Vincular(Formula, Variable, -1, Columna, true, nullptr);
}

EVALION_FORMULA_API int32_t EVALION_CONV A_VincularFuncion(FORMULAPREPARADA *Formula, const char *Funcion,
                                                           int32_t Argumentos, FORMULA_NATIVA Puntero)
{
    return Motor::VincularFuncion(Formula, Funcion, Argumentos, Puntero);
}

EVALION_FORMULA_API int32_t EVALION_CONV A_Opciones(FORMULAPREPARADA *Formula, int32_t Opciones)
{
    return Motor::Opciones(Formula, Opciones);
}

} // extern "C"
