// What the benchmark programs share with Google Benchmark: a console reporter that also keeps
// the fastest CPU time per call of every run, for the table each program prints after it.
#ifndef EVALION_BANCO_RECOLECTOR_H
#define EVALION_BANCO_RECOLECTOR_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace Banco {

class Recolector : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a saved run reads clean.
    Recolector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &Corridas) override
    {
        for (const Run &C : Corridas) {
            // Single runs, or the "min" statistic when only aggregates are reported.
            const bool Minimo = C.run_type == Run::RT_Aggregate && C.aggregate_name == "min";
            if (C.error_occurred || (C.run_type != Run::RT_Iteration && !Minimo))
                continue;
            const double Ns = C.GetAdjustedCPUTime();
            const auto [Donde, Nuevo] = Tiempos.emplace(C.run_name.function_name, Ns);
            if (!Nuevo && Ns < Donde->second)
                Donde->second = Ns;
        }
        ConsoleReporter::ReportRuns(Corridas);
    }

    // Nanoseconds per call of the run of that name, or a negative number when it did not run.
    double Tiempo(const std::string &Nombre) const
    {
        const auto Donde = Tiempos.find(Nombre);
        return Donde == Tiempos.end() ? -1.0 : Donde->second;
    }

private:
    std::map<std::string, double> Tiempos;
};

// The "min" statistic registered on every run, which the table reads with repetitions.
inline double Minimo(const std::vector<double> &Tiempos)
{
    return Tiempos.empty() ? 0.0 : *std::min_element(Tiempos.begin(), Tiempos.end());
}

} // namespace Banco

#endif
