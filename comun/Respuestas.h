// Pieces of the answers to the engine's requests that more than one set of names gives the
// same way: the demonstration's and the standard library's.
#ifndef EVALION_RESPUESTAS_H
#define EVALION_RESPUESTAS_H

#include "Parser.h"

namespace Evalion {

// Whether the name the engine passed is Conocido, ignoring case as Codificacion::PlegarNombre
// folds it (the known names are ASCII, so only A-Z ever meet).
bool MismoNombre(const char *Nombre, const char *Conocido);

// si(condición; si_verdadero; si_falso) on its three argument blocks: a condition whose Tipo
// is not exactly a number sets E_INCOMPATIBLES; otherwise R becomes a copy of every byte of
// the third block when the condition is 0, and of the second one for any other number.
void Si(const BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS &R);

} // namespace Evalion

#endif
