// A program with both callback forms: this C++ part over Evalion.hpp (the object libraries)
// and a C module over Parser.h and Formula.h (the plain ones). Each part must reach the
// library of its own form: the wrong one would call the C module's function with an object
// as the name, or the analyser's with a name as the object. Prints the four answers and
// fails unless each is its part's own.
#include "Evalion.hpp"

#include <cstdio>

extern "C" double ModuloAnalizar(const char *Expresion);
extern "C" double ModuloEvaluar(const char *Expresion);

int main()
{
    Evalion::TAnalizador Analizador;
    Analizador.Variable("x", 3);
    Evalion::TFormula Formula = Analizador.Preparar("x * 10");
    const double Respuestas[] = {Analizador.Analizar("x * 10").Numero(), Formula.Evaluar().Numero(),
                                 ModuloAnalizar("x * 10"), ModuloEvaluar("x * 10")};
    const double Esperadas[] = {30, 30, 20, 20};
    std::printf("C++ analysis %g, C++ prepared %g, C analysis %g, C prepared %g\n", Respuestas[0], Respuestas[1],
                Respuestas[2], Respuestas[3]);
    for (int i = 0; i < 4; ++i)
        if (Respuestas[i] != Esperadas[i])
            return 1;
    return 0;
}
