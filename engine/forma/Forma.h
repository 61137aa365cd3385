// The prepared forms' operations, which the exported entry points delegate to: preparing a
// form (its program, then its ways of evaluating: the steps, the machine code), binding its
// names, its options, its rows, its release. The evaluation itself is inline (Evaluacion.h).
#ifndef EVALION_FORMA_H
#define EVALION_FORMA_H

#include "Evaluacion.h"

namespace Motor {

// What an evaluation needs, from the instructions and the bindings of the moment: decides
// the flags of the form and writes its steps.
void Clasificar(FORMULAPREPARADA *F);

// Returns null, with the error in Error, when every evaluation would give that same error
// without a request, and E_MEMORIA at position 0 when memory runs out.
FORMULAPREPARADA *Preparar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error);
void Liberar(FORMULAPREPARADA *Formula);
const char *NombreUsado(const FORMULAPREPARADA *Formula, int32_t Indice, int32_t *Argumentos);
// Binds the name of Argumentos arguments (-1: a variable) to Direccion (Columna: one number
// per row of A_EvaluarFilas, not one for every row) or to Funcion (C code of 1 to
// MAXIMO_NATIVOS arguments), or unbinds it when that is null; returns how many uses it has.
int32_t Vincular(FORMULAPREPARADA *Formula, const char *Nombre, int32_t Argumentos, const double *Direccion,
                 bool Columna, FuncionNativa Funcion);
inline int32_t VincularFuncion(FORMULAPREPARADA *Formula, const char *Nombre, int32_t Argumentos, FuncionNativa Funcion)
{
    return Argumentos < 0 ? 0 : Vincular(Formula, Nombre, Argumentos, nullptr, false, Funcion);
}
// Binding, unbinding and setting options are refused with CAMBIO_EN_CURSO, nothing changed,
// while an evaluation of the form is in course that may run the host's code (from that code:
// the evaluation goes on with the form it began with).
constexpr int32_t CAMBIO_EN_CURSO = -3;
int32_t Opciones(FORMULAPREPARADA *Formula, int32_t Opciones);
// The bytes a form holds on the heap, and the tokens its text was read into.
size_t Tamano(const FORMULAPREPARADA *Formula, uint32_t &Tokens);

// Filas rows of a form, whose variables bound with A_VincularColumna are columns
// (A_EvaluarFilas; Filas.cpp). Una
// is the library's exported evaluation, which every row that is not run in blocks goes
// through, so that it is the very code a host calls.
// Valores, Errores and Posiciones overlapping each other are refused with FILAS_SOLAPADAS,
// nothing written; any of them may be null.
using Evaluacion = BLOQUEDEDATOS(EVALION_CONV *)(const FORMULAPREPARADA *, ESTADODEANALISIS *);
constexpr int32_t FILAS_SOLAPADAS = -2;
int32_t EvaluarFilas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, int32_t Filas, double *Valores,
                     int32_t *Errores, int32_t *Posiciones, Evaluacion Una);

} // namespace Motor

#endif
