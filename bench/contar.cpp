// Runs one corpus row a given number of times through A_Analizar, or through the floor of
// the work (Piso.h) when the third argument is "piso". Two runs under callgrind that differ
// only in the count differ only by the analyses, so bench/callgrind.sh takes their
// difference to count the instructions of one expression without start-up.
//
//   evalion_contar ROW COUNT [piso]      e.g. evalion_contar "1+2" 1001
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Corpus.h"
#include "Piso.h"

namespace {

// Kept out of line so that callgrind can collect inside it alone (--toggle-collect=Repetir*).
__attribute__((noinline)) double Repetir(ESTADODEANALISIS *Registro, const char *Texto, long Veces)
{
    double Suma = 0;
    for (long i = 0; i < Veces; ++i)
        Suma += A_Analizar(Registro, Texto).Numero;
    return Suma;
}

__attribute__((noinline)) double RepetirPiso(Banco::ESTADOPISO *Registro, const char *Texto, long Veces)
{
    double Suma = 0;
    for (long i = 0; i < Veces; ++i) {
        const Banco::RESULTADOPISO R = Banco::Piso(Registro, Texto);
        Suma += R.Ultimo + R.Orden;
    }
    return Suma;
}

} // namespace

int main(int argc, char **argv)
{
    const bool ConPiso = argc == 4 && std::strcmp(argv[3], "piso") == 0;
    const bool Valido = argc == 3 || ConPiso;
    const Banco::Fila *F = Valido ? Banco::BuscarFila(argv[1]) : nullptr;
    const long Veces = Valido ? std::strtol(argv[2], nullptr, 10) : 0;
    if (F == nullptr || Veces < 1) {
        std::fprintf(stderr, "usage: evalion_contar ROW COUNT [piso]\nrows:\n");
        for (const Banco::Fila &Otra : Banco::Corpus())
            std::fprintf(stderr, "  %s\n", Otra.Nombre.c_str());
        return 2;
    }
    double Suma;
    if (ConPiso) {
        Banco::ESTADOPISO Registro;
        Banco::InicializarPiso(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
        Suma = RepetirPiso(&Registro, F->Expresion.c_str(), Veces);
    } else {
        ESTADODEANALISIS Registro;
        A_Inicializar(&Registro);
        A_AsignarAlPedir(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
        Suma = Repetir(&Registro, F->Expresion.c_str(), Veces);
    }
    // Printing the sum keeps the calls from being dropped; it also checks the row.
    std::printf("%s x %ld: %.17g\n", F->Nombre.c_str(), Veces, Suma / static_cast<double>(Veces));
    return 0;
}
