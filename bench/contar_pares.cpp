// Runs one row of Pares.h COUNT times with one measurer, inside Repetir so that callgrind can
// collect there alone: bench/callgrind-pares.sh divides what it counts there by COUNT.
//
//   evalion_contar_pares ROW MEASURER COUNT      e.g. evalion_contar_pares "x*2+1" bound/host 1000
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Pares.h"

namespace {

__attribute__((noinline)) double Repetir(Pares::Medida &Medida, long Veces)
{
    return Medida.Repetir(Veces);
}

} // namespace

int main(int argc, char **argv)
{
    const Pares::Fila *F = argc == 4 ? Pares::BuscarFila(argv[1]) : nullptr;
    const Pares::Medidor M = argc == 4 ? Pares::BuscarMedidor(argv[2]) : Pares::MEDIDORES;
    const long Veces = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 0;
    if (F == nullptr || M == Pares::MEDIDORES || Veces < 1) {
        std::fprintf(stderr, "usage: evalion_contar_pares ROW MEASURER COUNT\nrows:\n");
        for (const Pares::Fila &Otra : Pares::Filas())
            std::fprintf(stderr, "  %s\n", Otra.Nombre.c_str());
        std::fprintf(stderr, "measurers:");
        for (const char *Nombre : Pares::NOMBRE)
            std::fprintf(stderr, " %s", Nombre);
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::string Motivo;
    auto Medida = Pares::Preparar(*F, M, Motivo);
    if (!Medida) {
        std::fprintf(stderr, "%s: %s\n", Pares::NOMBRE[M], Motivo.c_str());
        return 3;
    }
    // One evaluation before the counted ones, so that lazy binding is not counted.
    Medida->Repetir(1);
    const double Suma = Repetir(*Medida, Veces);
    std::printf("%s x %ld with %s: %.17g\n", F->Nombre.c_str(), Veces, Pares::NOMBRE[M], Suma / static_cast<double>(Veces));
    return 0;
}
