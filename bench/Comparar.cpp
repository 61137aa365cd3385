// Cost of one call, row by row over the corpus: the engine through its exported entry, the
// floor that no implementation of the contract can go below, and muparser as a peer. After
// Google Benchmark's own output it prints one table with the three times and their ratios.
// With --benchmark_repetitions the table takes the fastest repetition of each (also with
// --benchmark_report_aggregates_only, through the "min" statistic added to every run).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>


#include "Corpus.h"
#include "Peticiones.h" // the engine's floating-point switch, measured alone below
#include "Piso.h"
#include "Recolector.h"

#if defined(EVALION_CON_MUPARSER)
#include <muParser.h>
#endif

namespace {

using Banco::Fila;

// Targets the team aims at; the table shows them, nothing enforces them.
constexpr double MAXIMO_SOBRE_PISO = 1.3;
constexpr double MAXIMO_SOBRE_PISO_CON_NOMBRES = 2.0;
constexpr double MINIMO_SOBRE_PEER = 20.0;

enum Medidor { EVALION, PISO, MUPARSER, MEDIDORES };
const char *const NOMBRE_MEDIDOR[MEDIDORES] = {"Evalion", "Piso", "muParser"};

bool Igual(double Obtenido, double Esperado)
{
    return std::fabs(Obtenido - Esperado) <= 1e-12 * std::fmax(1.0, std::fabs(Esperado));
}

void MedirEvalion(benchmark::State &Estado, const Fila *F)
{
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    A_AsignarAlPedir(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
    const char *Texto = F->Expresion.c_str();

    const BLOQUEDEDATOS Prueba = A_Analizar(&Registro, Texto);
    if (Prueba.Error != 0 || !(Prueba.Tipo & TIPO_NUMERO) || !Igual(Prueba.Numero, F->Esperado)) {
        Estado.SkipWithError("the engine gives another value for this row");
        return;
    }
    for (auto _ : Estado) {
        BLOQUEDEDATOS R = A_Analizar(&Registro, Texto);
        benchmark::DoNotOptimize(R);
    }
}

void MedirPiso(benchmark::State &Estado, const Fila *F)
{
    Banco::ESTADOPISO Registro;
    Banco::InicializarPiso(&Registro, Banco::PedirVariable, Banco::PedirFuncion);
    const char *Texto = F->Expresion.c_str();
    for (auto _ : Estado) {
        Banco::RESULTADOPISO R = Banco::Piso(&Registro, Texto);
        benchmark::DoNotOptimize(R);
    }
}

// What keeping the host's floating-point settings adds: to every call (the entry and the
// return of an analysis) and to every request (host's settings before it, engine's after).
void MedirAjustesLlamada(benchmark::State &Estado)
{
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    for (auto _ : Estado) {
        const Motor::PendientesAnfitrion Pendientes = Motor::EntrarAlMotor(&Registro);
        Motor::SalirDelMotor(&Registro, Pendientes);
        benchmark::ClobberMemory();
    }
}

void MedirAjustesPeticion(benchmark::State &Estado)
{
    ESTADODEANALISIS Registro;
    A_Inicializar(&Registro);
    Motor::SalirDelMotor(&Registro, Motor::EntrarAlMotor(&Registro));
    for (auto _ : Estado) {
        Motor::PrestarAjustes(&Registro);
        Motor::RecobrarAjustes();
        benchmark::ClobberMemory();
    }
    Motor::SalirDelMotor(&Registro, {});
}

const char *const AJUSTES_LLAMADA = "Ajustes/llamada";
const char *const AJUSTES_PETICION = "Ajustes/peticion";

#if defined(EVALION_CON_MUPARSER)
// One parser kept for the whole run; each call sets the text again, so it is parsed anew.
void MedirMuparser(benchmark::State &Estado, const Fila *F)
{
    mu::Parser Parser;
    double X = Banco::VALOR_X;
    try {
        Parser.DefineVar("x", &X);
        Parser.SetExpr(F->ExpresionMu);
        if (!Igual(Parser.Eval(), F->Esperado)) {
            Estado.SkipWithError("muparser gives another value for this row");
            return;
        }
    } catch (const mu::Parser::exception_type &Error) {
        Estado.SkipWithError(Error.GetMsg().c_str());
        return;
    }
    for (auto _ : Estado) {
        Parser.SetExpr(F->ExpresionMu);
        double Valor = Parser.Eval();
        benchmark::DoNotOptimize(Valor);
    }
}
#endif

using Banco::Minimo;

std::string NombreCorrida(Medidor M, const Fila &F) { return std::string(NOMBRE_MEDIDOR[M]) + "/" + F.Nombre; }

// The table's reporter, which finds a row's runs by measurer.
class Recolector : public Banco::Recolector {
public:
    using Banco::Recolector::Tiempo;
    double Tiempo(Medidor M, const Fila &F) const { return Tiempo(NombreCorrida(M, F)); }
};

void Registrar()
{
    benchmark::RegisterBenchmark(AJUSTES_LLAMADA, MedirAjustesLlamada)->Unit(benchmark::kNanosecond)
        ->ComputeStatistics("min", Minimo);
    benchmark::RegisterBenchmark(AJUSTES_PETICION, MedirAjustesPeticion)->Unit(benchmark::kNanosecond)
        ->ComputeStatistics("min", Minimo);
    for (const Fila &F : Banco::Corpus()) {
        // Interleaved by row, so that a slow spell of the machine hits the three alike.
        benchmark::RegisterBenchmark(NombreCorrida(EVALION, F).c_str(), MedirEvalion, &F)
            ->Unit(benchmark::kNanosecond)
            ->ComputeStatistics("min", Minimo);
        benchmark::RegisterBenchmark(NombreCorrida(PISO, F).c_str(), MedirPiso, &F)
            ->Unit(benchmark::kNanosecond)
            ->ComputeStatistics("min", Minimo);
#if defined(EVALION_CON_MUPARSER)
        if (!F.ExpresionMu.empty())
            benchmark::RegisterBenchmark(NombreCorrida(MUPARSER, F).c_str(), MedirMuparser, &F)
                ->Unit(benchmark::kNanosecond)
            ->ComputeStatistics("min", Minimo);
#endif
    }
}

void Celda(double Valor, const char *Formato)
{
    if (Valor < 0)
        std::printf("%12s", "n/a");
    else
        std::printf(Formato, Valor);
}

void ImprimirTabla(const Recolector &R)
{
    std::printf("\nns per expression (CPU time); targets: Evalion/floor <= %.1f (<= %.1f on rows that ask the host"
                " for names), muParser/Evalion >= %.0f\n",
                MAXIMO_SOBRE_PISO, MAXIMO_SOBRE_PISO_CON_NOMBRES, MINIMO_SOBRE_PEER);
    std::printf("%-18s%12s%12s%12s%12s%12s  %s\n", "row", "Evalion", "floor", "muParser", "Ev/floor", "muP/Ev",
                "misses");
    bool SinPeer = false;
    for (const Fila &F : Banco::Corpus()) {
        const double Ev = R.Tiempo(EVALION, F), Pi = R.Tiempo(PISO, F), Mu = R.Tiempo(MUPARSER, F);
        const double SobrePiso = (Ev > 0 && Pi > 0) ? Ev / Pi : -1.0;
        const double Peer = (Ev > 0 && Mu > 0) ? Mu / Ev : -1.0;
        std::printf("%-18s", F.Nombre.c_str());
        Celda(Ev, "%12.1f");
        Celda(Pi, "%12.1f");
        Celda(Mu, "%12.1f");
        Celda(SobrePiso, "%12.2f");
        Celda(Peer, "%12.1f");
        std::string Fallos;
        const double Maximo = F.PideNombres ? MAXIMO_SOBRE_PISO_CON_NOMBRES : MAXIMO_SOBRE_PISO;
        if (SobrePiso > Maximo)
            Fallos += " floor";
        if (Peer >= 0 && Peer < MINIMO_SOBRE_PEER)
            Fallos += " peer";
        if (F.ExpresionMu.empty()) {
            Fallos += " (peer has no such row*)";
            SinPeer = true;
        }
        std::printf("  %s\n", Fallos.empty() ? "-" : Fallos.c_str() + 1);
    }
    if (SinPeer)
        std::printf("* muParser takes a text only as the argument of a string function; it cannot compare two.\n");
#if !defined(EVALION_CON_MUPARSER)
    std::printf("muParser was not found when this program was built: no peer column.\n");
#endif

    // The floating-point settings against the cheapest whole call, which includes them.
    const double Llamada = R.Tiempo(AJUSTES_LLAMADA), Peticion = R.Tiempo(AJUSTES_PETICION);
    const Fila *Uno = Banco::BuscarFila("1");
    const double TiempoUno = Uno ? R.Tiempo(EVALION, *Uno) : -1.0;
    if (Llamada > 0 && TiempoUno > 0)
        std::printf("\nkeeping the host's floating-point settings: %.1f ns per call (%.0f%% of the row \"1\", %.1f ns),"
                    " %.1f ns per request\n",
                    Llamada, 100.0 * Llamada / TiempoUno, TiempoUno, Peticion);

    // Cost per character of one shape at growing lengths: flat when the cost is linear.
    std::printf("\nnested sums, ns per character\n%-18s%12s%12s%12s\n", "row", "Evalion", "floor", "muParser");
    for (const Fila *F : Banco::FilasDeCrecimiento()) {
        const double Largo = static_cast<double>(F->Expresion.size());
        const auto PorCaracter = [&](double Ns) { return Ns > 0 ? Ns / Largo : -1.0; };
        std::printf("%-18s", F->Nombre.c_str());
        Celda(PorCaracter(R.Tiempo(EVALION, *F)), "%12.2f");
        Celda(PorCaracter(R.Tiempo(PISO, *F)), "%12.2f");
        Celda(PorCaracter(R.Tiempo(MUPARSER, *F)), "%12.2f");
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Registrar();
    Recolector R;
    benchmark::RunSpecifiedBenchmarks(&R);
    std::cout.flush();
    ImprimirTabla(R);
    benchmark::Shutdown();
    return 0;
}
