// The fixed corpus that the benchmark and the instruction counter run, and the host that
// answers its names. Every row holds the expression in the engine's syntax, the same
// expression in muparser's syntax, and the value both must give.
#ifndef EVALION_BANCO_CORPUS_H
#define EVALION_BANCO_CORPUS_H

#include <string>
#include <vector>

#include "Parser.h"

namespace Banco {

struct Fila {
    std::string Nombre;
    std::string Expresion;   // as the engine reads it: "," decimal point, level 1 grouped from the right
    std::string ExpresionMu; // the same value for muparser; empty when it has no way to write it
    double Esperado;
    bool PideNombres;        // asks the host for variables or functions
};

// The rows, built once; the long ones are generated to their exact length.
const std::vector<Fila> &Corpus();

// Lengths at which the nested sums are also measured, and those rows in that order.
constexpr size_t LARGOS_DE_CRECIMIENTO[] = {100, 250, 500, 1000};
std::vector<const Fila *> FilasDeCrecimiento();

// The row with that name, or null.
const Fila *BuscarFila(const std::string &Nombre);

// The value the host gives the variable x.
constexpr double VALOR_X = 5.0;

// The host: the variable x, and the functions Raiz (square root) and Seno (sine) of one
// number. Any other name is answered as the demonstration does, with E_VARIABLE or E_FUNCION.
void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R);
void EVALION_CONV PedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);

} // namespace Banco

#endif
