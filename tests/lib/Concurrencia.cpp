// Analyses on different records at the same time, each thread with its own host: every
// result must equal the one a single thread gets. Run under ThreadSanitizer in CI, where a
// shared writable byte anywhere in the engine would be reported.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;
using Pruebas::HostDePrueba;

const char *const EXPRESIONES[] = {
    "1+2*3",          "10-2-3",          "2^3^2",         "-x^2",          "\"a\"+t+\"c\"",
    "g(x;2;g(1;1))",  "t<\"b\"",         "(1+(2+(3+x)))", "1/0",           "y+1",
    "h(1)",           "f()",             "1.234,5*2",     "g(1;\"s\")+x",  "\"ab\"=t",
    "x #",            "(1;2)",           "2*(x-1)/4",     "g(x;x;x;x;x)",  "-(t)",
};

void PrepararHost(HostDePrueba &Host)
{
    Host.Variables["x"] = Pruebas::Numero(5);
    Host.Variables["t"] = Pruebas::Texto("ab");
    Host.Funciones["g"] = HostDePrueba::Suma;
}

bool MismoResultado(const BLOQUEDEDATOS &a, const BLOQUEDEDATOS &b)
{
    if (a.Error != b.Error)
        return false;
    if (a.Error)
        return a.Posicion == b.Posicion;
    if (a.Tipo != b.Tipo)
        return false;
    return a.Tipo == TIPO_CADENA ? std::strcmp(a.Cadena, b.Cadena) == 0 : a.Numero == b.Numero;
}

TEST(Concurrencia, ThreadsWithTheirOwnRecordsAgreeWithOneThread)
{
    std::vector<BLOQUEDEDATOS> Referencia;
    {
        HostDePrueba Host;
        PrepararHost(Host);
        Analisis A(&Host);
        for (const char *Expresion : EXPRESIONES)
            Referencia.push_back(A(Expresion));
    }

    constexpr int HILOS = 4;
    constexpr int VUELTAS = 400;
    const auto Limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::atomic<int> Diferencias{0};
    std::atomic<long> Analisis_{0};
    std::vector<std::thread> Hilos;
    for (int h = 0; h < HILOS; ++h) {
        Hilos.emplace_back([&, h] {
            HostDePrueba Host;
            PrepararHost(Host);
            Analisis A(&Host);
            for (int v = 0; v < VUELTAS && std::chrono::steady_clock::now() < Limite; ++v) {
                // Each thread walks the list from its own start, so different shapes overlap.
                for (size_t i = 0; i < std::size(EXPRESIONES); ++i) {
                    const size_t k = (i + static_cast<size_t>(h) * 5) % std::size(EXPRESIONES);
                    if (!MismoResultado(A(EXPRESIONES[k]), Referencia[k]))
                        ++Diferencias;
                    ++Analisis_;
                }
                Host.Peticiones.clear();
            }
        });
    }
    for (std::thread &Hilo : Hilos)
        Hilo.join();
    EXPECT_EQ(Diferencias.load(), 0);
    EXPECT_GE(Analisis_.load(), static_cast<long>(HILOS * std::size(EXPRESIONES)));
}

} // namespace
