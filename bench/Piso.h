// The floor of one call: the work that any evaluator of this contract must do on a text,
// written as plainly as it can be done, and nothing more. It copies the text into a
// NUL-padded record field and makes one pass over its bytes; it converts each number
// literal with strtod; for each name it copies the name into a buffer and calls the host
// through the record's function pointer, and for a call it passes one heap-allocated
// argument block; it copies each text literal into a NUL-filled field and compares it with
// the one before. It evaluates no operator: the benchmark divides the engine's time by this.
#ifndef EVALION_BANCO_PISO_H
#define EVALION_BANCO_PISO_H

#include "Parser.h"

namespace Banco {

struct ESTADOPISO {
    char Texto[EVALION_LARGO_EXPRESION + 1];
    char Literal[EVALION_LARGO_EXPRESION + 1]; // a number literal with "." as its point
    char Nombre[EVALION_LARGO_CADENA];
    char Cadenas[2][EVALION_LARGO_CADENA];     // the last text literal and the one before
    char SepDecimal;
    char SepMillar;
    ALPEDIRVARIABLE AlPedirVariable;
    ALPEDIRFUNCION AlPedirFuncion;
};

// What the pass leaves behind, so that none of it can be optimised away: the last number
// it saw (a literal or a host's answer) and the order of the last two text literals.
struct RESULTADOPISO {
    double Ultimo;
    int Orden;
};

// The engine's defaults: "," decimal, "." thousands.
void InicializarPiso(ESTADOPISO *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion);

RESULTADOPISO Piso(ESTADOPISO *Estado, const char *Expresion);

} // namespace Banco

#endif
