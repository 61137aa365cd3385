// Prepared expressions: a text read once into a program of block operations, evaluated many
// times with the answers and the requests of an analysis of the same text.
#ifndef EVALION_PREPARADA_H
#define EVALION_PREPARADA_H

#include "Parser.h"

struct FORMULAPREPARADA; // defined where it is built, opaque everywhere else

namespace Motor {

// Options of a form, as bits: evaluate under the host's floating-point settings as they are.
enum : int32_t { AJUSTES_DEL_ANFITRION = 1 };

// Null, with the error in Error, when every evaluation would give that same error without a
// request; E_MEMORIA at position 0 when memory runs out.
FORMULAPREPARADA *Preparar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error);
BLOQUEDEDATOS Evaluar(const FORMULAPREPARADA *Formula, ESTADODEANALISIS *Estado);
void Liberar(FORMULAPREPARADA *Formula);
const char *NombreUsado(const FORMULAPREPARADA *Formula, int32_t Indice, int32_t *Argumentos);
int32_t Vincular(FORMULAPREPARADA *Formula, const char *Variable, const double *Direccion);
void Opciones(FORMULAPREPARADA *Formula, int32_t Opciones);
// The bytes a form holds on the heap, and the tokens its text was read into.
size_t Tamano(const FORMULAPREPARADA *Formula, uint32_t &Tokens);

} // namespace Motor

#endif
