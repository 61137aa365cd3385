// Our prepared form side by side with its peers, in one run: first one evaluation at a time
// (each benchmark iteration runs a measurer's loop of VECES evaluations, so the per-call cost
// of the loop itself is the same for all), then over a column of FILAS rows. After Google
// Benchmark's output it prints both tables with the ratios. Instructions per evaluation come
// from bench/callgrind-pares.sh, which runs contar_pares.cpp.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Pares.h"
#include "Recolector.h"

namespace {

using namespace Pares;

// The units below make the times read as ns per evaluation and per row.
constexpr long VECES = 1000;     // timed in microseconds
constexpr size_t FILAS = 1000000; // timed in milliseconds

// The measurers that work across rows, in the column table's order.
constexpr Medidor EN_COLUMNAS[] = {MANO, VINCULADA, VINCULADA_ANFITRION, EXPRTK, MUPARSER};

bool MismosBits(double A, double B)
{
    return std::memcmp(&A, &B, sizeof A) == 0;
}

// The columns every measurer reads: values that cross the comparison's 3 and stay small.
struct Columnas {
    std::vector<double> X, Y;
    Columnas() : X(FILAS), Y(FILAS)
    {
        for (size_t I = 0; I < FILAS; ++I) {
            X[I] = 1.0 + static_cast<double>(I % 1000) * 0.005;
            Y[I] = 2.0 - static_cast<double>(I % 777) * 0.001;
        }
    }
};
const Columnas &LasColumnas()
{
    static const Columnas C;
    return C;
}

void UnaALaVez(benchmark::State &Estado, const Fila *F, Medidor M)
{
    std::string Motivo;
    auto Medida = Preparar(*F, M, Motivo);
    if (!Medida) {
        Estado.SkipWithError(Motivo.c_str());
        return;
    }
    if (!MismosBits(Medida->Repetir(1), F->Mano(VALOR_X, VALOR_Y))) {
        Estado.SkipWithError("another value than the hand-written function's");
        return;
    }
    for (auto _ : Estado) {
        double Suma = Medida->Repetir(VECES);
        benchmark::DoNotOptimize(Suma);
    }
}

void EnColumnas(benchmark::State &Estado, const Fila *F, Medidor M)
{
    std::string Motivo;
    auto Medida = Preparar(*F, M, Motivo);
    if (!Medida) {
        Estado.SkipWithError(Motivo.c_str());
        return;
    }
    const Columnas &C = LasColumnas();
    std::vector<double> Salida(FILAS);
    if (!Medida->Columnas(C.X.data(), C.Y.data(), Salida.data(), FILAS)) {
        Estado.SkipWithError("a row failed");
        return;
    }
    for (size_t I = 0; I < FILAS; ++I)
        if (!MismosBits(Salida[I], F->Mano(C.X[I], C.Y[I]))) {
            Estado.SkipWithError("a row differs from the hand-written function's");
            return;
        }
    for (auto _ : Estado) {
        Medida->Columnas(C.X.data(), C.Y.data(), Salida.data(), FILAS);
        benchmark::ClobberMemory();
    }
}

std::string Nombre(const char *Parte, Medidor M, const Fila &F)
{
    return std::string(Parte) + "/" + NOMBRE[M] + "/" + F.Nombre;
}

void Celda(double Valor, const char *Formato, int Ancho)
{
    if (Valor < 0)
        std::printf("%*s", Ancho, "n/a");
    else
        std::printf(Formato, Valor);
}

double Cociente(double A, double B)
{
    return (A > 0 && B > 0) ? A / B : -1.0;
}

void ImprimirTablas(const Banco::Recolector &R)
{
    std::printf("\nns per evaluation (CPU time, fastest run); \"host\": FORMULA_AJUSTES_DEL_ANFITRION"
                " (no floating-point switch)\n%-18s", "row");
    for (int M = 0; M < MEDIDORES; ++M)
        std::printf("%12s", NOMBRE[M]);
    std::printf("%14s%14s%14s%14s\n", "bnd/exprtk", "b.host/exprtk", "n.host/exprtk", "v.host/exprtk");
    for (const Fila &F : Filas()) {
        std::printf("%-18s", F.Nombre.c_str());
        for (int M = 0; M < MEDIDORES; ++M)
            Celda(R.Tiempo(Nombre("una", static_cast<Medidor>(M), F)), "%12.2f", 12); // microseconds per VECES = ns per one
        const double Exprtk = R.Tiempo(Nombre("una", EXPRTK, F));
        Celda(Cociente(R.Tiempo(Nombre("una", VINCULADA, F)), Exprtk), "%14.2f", 14);
        Celda(Cociente(R.Tiempo(Nombre("una", VINCULADA_ANFITRION, F)), Exprtk), "%14.2f", 14);
        Celda(Cociente(R.Tiempo(Nombre("una", NUMERO_ANFITRION, F)), Exprtk), "%14.2f", 14);
        Celda(Cociente(R.Tiempo(Nombre("una", VALOR_ANFITRION, F)), Exprtk), "%14.2f", 14);
        std::printf("\n");
    }

    std::printf("\nns per row over %zu rows (x and y from columns of doubles)\n%-18s", FILAS, "row");
    for (Medidor M : EN_COLUMNAS)
        std::printf("%12s", NOMBRE[M]);
    std::printf("%14s%14s\n", "b.host/hand", "exprtk/b.host");
    for (const Fila &F : Filas()) {
        std::printf("%-18s", F.Nombre.c_str());
        for (Medidor M : EN_COLUMNAS)
            Celda(R.Tiempo(Nombre("filas", M, F)), "%12.3f", 12); // milliseconds per FILAS = ns per row
        const double Nuestra = R.Tiempo(Nombre("filas", VINCULADA_ANFITRION, F));
        Celda(Cociente(Nuestra, R.Tiempo(Nombre("filas", MANO, F))), "%14.2f", 14);
        Celda(Cociente(R.Tiempo(Nombre("filas", EXPRTK, F)), Nuestra), "%14.2f", 14);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    for (const Fila &F : Filas())
        for (int M = 0; M < MEDIDORES; ++M)
            benchmark::RegisterBenchmark(Nombre("una", static_cast<Medidor>(M), F).c_str(), UnaALaVez, &F,
                                         static_cast<Medidor>(M))
                ->Unit(benchmark::kMicrosecond)
                ->ComputeStatistics("min", Banco::Minimo);
    for (const Fila &F : Filas())
        for (Medidor M : EN_COLUMNAS)
            benchmark::RegisterBenchmark(Nombre("filas", M, F).c_str(), EnColumnas, &F, M)
                ->Unit(benchmark::kMillisecond)
                ->ComputeStatistics("min", Banco::Minimo);
    Banco::Recolector R;
    benchmark::RunSpecifiedBenchmarks(&R);
    ImprimirTablas(R);
    benchmark::Shutdown();
    return 0;
}
