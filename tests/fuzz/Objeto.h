// The object-callback library, loaded at run time next to the engine linked into the
// fuzzer (plain callbacks), so that one input runs through both builds.
#ifndef EVALION_FUZZ_OBJETO_H
#define EVALION_FUZZ_OBJETO_H

#include "Anfitrion.h"

// Analyses Expresion on a fresh record of the object build with the given separators
// and requests answered by Host, and copies the result into Resultado (a block of the
// same layout); false when the library could not be loaded. The object build's types
// stay inside its own file: the two builds declare the same C functions differently.
bool AnalizarConObjeto(const char *Expresion, char Millar, char Decimal, bool ConVariable, bool ConFuncion,
                       Anfitrion &Host, void *Resultado);

#endif
