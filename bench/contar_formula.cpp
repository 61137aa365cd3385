// Evaluates one text, prepared once, a given number of times: asked for every name at every
// evaluation, or with x bound to a double ("vinculada"). Two runs under callgrind that differ
// only in the count differ only by the evaluations, as for evalion_contar:
//
//   evalion_contar_formula TEXT COUNT [vinculada]     e.g. evalion_contar_formula "x*2+1" 1001
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Corpus.h"
#include "Formula.h"

namespace {

// Kept out of line so that callgrind can collect inside it alone (--toggle-collect=Repetir*).
__attribute__((noinline)) double Repetir(const FORMULAPREPARADA *F, ESTADODEANALISIS *Registro, long Veces)
{
    double Suma = 0;
    for (long i = 0; i < Veces; ++i)
        Suma += A_Evaluar(F, Registro).Numero;
    return Suma;
}

} // namespace

int main(int argc, char **argv)
{
    const long Veces = argc >= 3 ? std::strtol(argv[2], nullptr, 10) : 0;
    if (Veces < 1 || argc > 4) {
        std::fprintf(stderr, "usage: evalion_contar_formula TEXT COUNT [vinculada]\n");
        return 2;
    }
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    A_AsignarAlPedir(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
    BLOQUEDEDATOS Error;
    FORMULAPREPARADA *F = A_Preparar(&Registro, argv[1], &Error);
    if (F == nullptr) {
        std::fprintf(stderr, "evalion_contar_formula: refused, error %d at %d\n", static_cast<int>(Error.Error),
                     static_cast<int>(Error.Posicion));
        return 1;
    }
    static const double X = Banco::VALOR_X;
    if (argc == 4 && std::strcmp(argv[3], "vinculada") == 0)
        A_Vincular(F, "x", &X);
    const double Suma = Repetir(F, &Registro, Veces);
    std::printf("%s x %ld: %.17g\n", argv[1], Veces, Suma / static_cast<double>(Veces));
    A_Liberar(F);
    return 0;
}
