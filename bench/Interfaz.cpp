// What the C++ interface costs over the plain C calls, for one analysis that asks the host
// for a variable, a constant and two functions: `Raiz(x) + Seno(Pi/2)`. The C host answers
// x itself and delegates the rest to the standard library, as the interface does when the
// library is on; a third run binds the same names as C++ functions. After Google Benchmark's
// output it prints the fastest time of each and the ratio to the C calls.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include <unistd.h>

#include "Evalion.hpp"

namespace {

const char *const EXPRESION = "Raiz(x) + Seno(Pi/2)";
constexpr double X = 5.0;
const double ESPERADO = std::sqrt(X) + 1;

void PedirVariable(void *Objeto, char *Nombre, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Nombre, "x") == 0) {
        R->Tipo = TIPO_NUMERO;
        R->Numero = *static_cast<const double *>(Objeto);
    } else if (!A_EstandarVariable(Nombre, R)) {
        R->Error = E_VARIABLE;
    }
}

void PedirFuncion(void *, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    if (!A_EstandarFuncion(Nombre, Parametros, N, R))
        R->Error = E_FUNCION;
}

bool Correcto(double Valor) { return std::fabs(Valor - ESPERADO) < 1e-12; }

void MedirC(benchmark::State &Estado)
{
    double Valor = X;
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    A_AsignarAlPedir(&Registro, PedirVariable, &Valor, PedirFuncion, nullptr);
    if (!Correcto(A_Analizar(&Registro, EXPRESION).Numero))
        return Estado.SkipWithError("the C host gives another value");
    for (auto _ : Estado) {
        BLOQUEDEDATOS R = A_Analizar(&Registro, EXPRESION);
        benchmark::DoNotOptimize(R);
    }
}

void MedirAnalizador(benchmark::State &Estado, Evalion::TAnalizador &Analizador)
{
    if (!Correcto(Analizador.Analizar(EXPRESION).Numero()))
        return Estado.SkipWithError("the analyser gives another value");
    for (auto _ : Estado) {
        Evalion::TResultado R = Analizador.Analizar(EXPRESION);
        benchmark::DoNotOptimize(R);
    }
}

void MedirInterfaz(benchmark::State &Estado)
{
    Evalion::TAnalizador Analizador;
    Analizador.Variable("x", X).Estandar();
    MedirAnalizador(Estado, Analizador);
}

void MedirInterfazConFunciones(benchmark::State &Estado)
{
    Evalion::TAnalizador Analizador;
    Analizador.Variable("x", X)
        .Variable("Pi", 3.141592653589793)
        .Funcion("Raiz", 1, [](const Evalion::TArgumentos &A) { return std::sqrt(A[0].Numero()); })
        .Funcion("Seno", 1, [](const Evalion::TArgumentos &A) { return std::sin(A[0].Numero()); });
    MedirAnalizador(Estado, Analizador);
}

// Keeps the fastest CPU time per call of every benchmark it displays.
class Recolector : public benchmark::ConsoleReporter {
public:
    Recolector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &Corridas) override
    {
        for (const Run &C : Corridas) {
            if (C.error_occurred || C.run_type != Run::RT_Iteration)
                continue;
            const auto [Donde, Nuevo] = Minimos.emplace(C.run_name.function_name, C.GetAdjustedCPUTime());
            if (!Nuevo)
                Donde->second = std::min(Donde->second, C.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(Corridas);
    }

    std::map<std::string, double> Minimos;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const char *const NOMBRES[] = {"C", "C++ estandar", "C++ funciones"};
    benchmark::RegisterBenchmark(NOMBRES[0], MedirC)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark(NOMBRES[1], MedirInterfaz)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark(NOMBRES[2], MedirInterfazConFunciones)->Unit(benchmark::kNanosecond);
    Recolector R;
    benchmark::RunSpecifiedBenchmarks(&R);
    std::fflush(stdout);
    std::printf("\n%s, ns per analysis (CPU, fastest repetition)\n%-16s%10s%10s\n", EXPRESION, "host", "ns", "/ C");
    const double C = R.Minimos.count(NOMBRES[0]) ? R.Minimos[NOMBRES[0]] : 0;
    for (const char *Nombre : NOMBRES)
        if (R.Minimos.count(Nombre))
            std::printf("%-16s%10.1f%10.2f\n", Nombre, R.Minimos[Nombre], C > 0 ? R.Minimos[Nombre] / C : 0.0);
    benchmark::Shutdown();
    return 0;
}
