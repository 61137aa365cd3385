// Prepared forms against muparser's compiled evaluation: each row's text prepared (or set,
// for muparser) once and evaluated again and again, side by side in one run. Three ways for
// Evalion: the host asked for every name at every evaluation, x bound to a double (functions
// still asked), and the one-shot analysis for reference. After Google Benchmark's output it
// prints one table with the times, the ratios to muparser, the cost of preparing and the
// size of a form per token.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>


#include "Corpus.h"
#include "Formula.h"
#include "Forma.h"
#include "Recolector.h"

#if defined(EVALION_CON_MUPARSER)
#include <muParser.h>
#endif

namespace {

// Targets the team aims at; the table shows them, nothing enforces them.
constexpr double MAXIMO_PIDIENDO = 2.0;
constexpr double MAXIMO_VINCULADA = 1.0;

struct Caso {
    std::string Nombre, Expresion, ExpresionMu;
    double Esperado;
};

// The three shapes hosts evaluate in loops, then the corpus rows muparser can take. Level 1
// groups from the right here, so muparser gets the parentheses that give it the same value
// with the same operations.
std::vector<Caso> Casos()
{
    constexpr double X = Banco::VALOR_X;
    std::vector<Caso> C = {
        {"x*2+1", "x*2+1", "x*2+1", X * 2 + 1},
        {"(x+1)*(x-1)/2^2", "(x+1)*(x-1)/2^2", "(x+1)*(x-1)/2^2", (X + 1) * (X - 1) / 4},
        {"x*x*x+2*x*x-3*x+7", "x*x*x+2*x*x-3*x+7", "x*x*x+(2*x*x-(3*x+7))", X * X * X + (2 * X * X - (3 * X + 7))},
    };
    for (const Banco::Fila &F : Banco::Corpus())
        if (!F.ExpresionMu.empty())
            C.push_back({F.Nombre, F.Expresion, F.ExpresionMu, F.Esperado});
    return C;
}

bool Igual(double Obtenido, double Esperado)
{
    return std::fabs(Obtenido - Esperado) <= 1e-12 * std::fmax(1.0, std::fabs(Esperado));
}

// The first four evaluate a prepared form: asked or bound, with the engine's floating-point
// switch or with the host's settings as they are (FORMULA_AJUSTES_DEL_ANFITRION).
enum Medidor { PIDIENDO, VINCULADA, PIDIENDO_ANFITRION, VINCULADA_ANFITRION, ANALISIS, PREPARAR, MUPARSER, MEDIDORES };
const char *const NOMBRE[MEDIDORES] = {"Formula",   "Vinculada", "Formula/anfitrion", "Vinculada/anfitrion",
                                       "Analizar", "Preparar",  "muParser"};

void Medir(benchmark::State &Estado, const Caso *C, Medidor M)
{
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    A_AsignarAlPedir(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
    const char *Texto = C->Expresion.c_str();
    if (M == ANALISIS) {
        for (auto _ : Estado) {
            BLOQUEDEDATOS R = A_Analizar(&Registro, Texto);
            benchmark::DoNotOptimize(R);
        }
        return;
    }
    if (M == PREPARAR) {
        for (auto _ : Estado) {
            FORMULAPREPARADA *F = A_Preparar(&Registro, Texto, nullptr);
            benchmark::DoNotOptimize(F);
            A_Liberar(F);
        }
        return;
    }
    FORMULAPREPARADA *F = A_Preparar(&Registro, Texto, nullptr);
    const double X = Banco::VALOR_X;
    if (M == VINCULADA || M == VINCULADA_ANFITRION)
        A_Vincular(F, "x", &X);
    if (M == PIDIENDO_ANFITRION || M == VINCULADA_ANFITRION)
        A_Opciones(F, FORMULA_AJUSTES_DEL_ANFITRION);
    const BLOQUEDEDATOS Prueba = A_Evaluar(F, &Registro);
    if (Prueba.Error != 0 || !Igual(Prueba.Numero, C->Esperado)) {
        Estado.SkipWithError("the prepared form gives another value for this row");
    } else {
        for (auto _ : Estado) {
            BLOQUEDEDATOS R = A_Evaluar(F, &Registro);
            benchmark::DoNotOptimize(R);
        }
    }
    A_Liberar(F);
}

#if defined(EVALION_CON_MUPARSER)
// Set once, evaluated many times: muparser's compiled bytecode.
void MedirMuparser(benchmark::State &Estado, const Caso *C)
{
    mu::Parser Parser;
    double X = Banco::VALOR_X;
    try {
        Parser.DefineVar("x", &X);
        Parser.SetExpr(C->ExpresionMu);
        if (!Igual(Parser.Eval(), C->Esperado)) {
            Estado.SkipWithError("muparser gives another value for this row");
            return;
        }
    } catch (const mu::Parser::exception_type &Error) {
        Estado.SkipWithError(Error.GetMsg().c_str());
        return;
    }
    for (auto _ : Estado) {
        double Valor = Parser.Eval();
        benchmark::DoNotOptimize(Valor);
    }
}
#endif

using Banco::Minimo;

// The table's reporter, which finds a row's runs by measurer.
class Recolector : public Banco::Recolector {
public:
    using Banco::Recolector::Tiempo;
    double Tiempo(Medidor M, const Caso &C) const { return Tiempo(std::string(NOMBRE[M]) + "/" + C.Nombre); }
};

void Celda(double Valor, const char *Formato)
{
    if (Valor < 0)
        std::printf("%11s", "n/a");
    else
        std::printf(Formato, Valor);
}

void ImprimirTabla(const std::vector<Caso> &Filas, const Recolector &R)
{
    std::printf("\nns per evaluation (CPU time), and its ratio to muParser's; \"host\": with the host's floating-point"
                " settings as they are\ntargets: asked <= %.1fx muParser, bound <= %.1fx\n",
                MAXIMO_PIDIENDO, MAXIMO_VINCULADA);
    std::printf("%-20s%9s%7s%9s%7s%9s%7s%9s%7s%9s%10s%10s%7s%8s  %s\n", "row", "asked", "x", "bound", "x", "ask/host",
                "x", "bnd/host", "x", "muParser", "analysis", "prepare", "bytes", "B/token", "misses");
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    for (const Caso &C : Filas) {
        const double Mu = R.Tiempo(MUPARSER, C);
        std::printf("%-20s", C.Nombre.c_str());
        std::string Fallos;
        for (Medidor M : {PIDIENDO, VINCULADA, PIDIENDO_ANFITRION, VINCULADA_ANFITRION}) {
            const double T = R.Tiempo(M, C), Veces = (T > 0 && Mu > 0) ? T / Mu : -1.0;
            Celda(T, "%9.1f");
            Celda(Veces, "%7.2f");
            const bool Vinculada = M == VINCULADA || M == VINCULADA_ANFITRION;
            if (Veces > (Vinculada ? MAXIMO_VINCULADA : MAXIMO_PIDIENDO))
                Fallos += std::string(" ") + NOMBRE[M];
        }
        FORMULAPREPARADA *F = A_Preparar(&Registro, C.Expresion.c_str(), nullptr);
        uint32_t Tokens = 0;
        const double Bytes = F ? static_cast<double>(Motor::Tamano(F, Tokens)) : -1.0;
        A_Liberar(F);
        Celda(Mu, "%9.1f");
        Celda(R.Tiempo(ANALISIS, C), "%10.1f");
        Celda(R.Tiempo(PREPARAR, C), "%10.1f");
        Celda(Bytes, "%7.0f");
        Celda(Tokens ? Bytes / Tokens : -1.0, "%8.1f");
        std::printf("  %s\n", Fallos.empty() ? "-" : Fallos.c_str() + 1);
    }
#if !defined(EVALION_CON_MUPARSER)
    std::printf("muParser was not found when this program was built: no peer column.\n");
#endif
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::vector<Caso> Filas = Casos();
    for (const Caso &C : Filas) {
        for (int M = PIDIENDO; M < MUPARSER; ++M)
            benchmark::RegisterBenchmark((std::string(NOMBRE[M]) + "/" + C.Nombre).c_str(), Medir, &C,
                                         static_cast<Medidor>(M))
                ->Unit(benchmark::kNanosecond)
                ->ComputeStatistics("min", Minimo);
#if defined(EVALION_CON_MUPARSER)
        benchmark::RegisterBenchmark((std::string(NOMBRE[MUPARSER]) + "/" + C.Nombre).c_str(), MedirMuparser, &C)
            ->Unit(benchmark::kNanosecond)
            ->ComputeStatistics("min", Minimo);
#endif
    }
    Recolector R;
    benchmark::RunSpecifiedBenchmarks(&R);
    ImprimirTabla(Filas, R);
    benchmark::Shutdown();
    return 0;
}
