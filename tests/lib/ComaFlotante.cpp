// The host's floating-point settings: whatever traps or rounding it runs with, every
// analysis gives the values of a host with all exceptions masked and rounding to nearest,
// hands the settings back unchanged with no flag of its own left pending, and lets the
// host's callbacks run under the host's settings.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;

// The rows where arithmetic overflows, divides by zero, is invalid or rounds.
const std::vector<std::string> &Filas()
{
    static const std::vector<std::string> FILAS = {
        "2^1023*2",      "2^1024",        "10^400",         "2^1024-2^1024", "(0-8)^0,5 < 1",
        "(0-8)^0,5",     "0^-1",          "(0-10)^401",     "1/0",           "0/0",
        std::string(320, '9'),            "(10^400-10^400)=(10^400-10^400)", "2^-1080",
        "1/3",           "0,1+0,2",       "2^0,5",          "10^400*0",      "3202^5",
    };
    return FILAS;
}

// What a host can see of its settings.
struct Ajustes {
    int Trampas, Redondeo, Pendientes;
    bool operator==(const Ajustes &O) const
    {
        return Trampas == O.Trampas && Redondeo == O.Redondeo && Pendientes == O.Pendientes;
    }
};
Ajustes Leer() { return {fegetexcept(), fegetround(), fetestexcept(FE_ALL_EXCEPT)}; }

// A host's settings: traps enabled, a rounding mode, flags pending (of masked exceptions).
void Poner(const Ajustes &A)
{
    fedisableexcept(FE_ALL_EXCEPT);
    feclearexcept(FE_ALL_EXCEPT);
    feraiseexcept(A.Pendientes);
    fesetround(A.Redondeo);
    feenableexcept(A.Trampas);
}

// Whether this machine keeps such settings at all: valgrind, for one, runs every program
// with all exceptions masked and no flags, whatever it sets.
bool SeGuardan(const Ajustes &A)
{
    Poner(A);
    const bool Guardados = Leer() == A;
    Poner({0, FE_TONEAREST, 0});
    return Guardados;
}

std::string Bits(const BLOQUEDEDATOS &R)
{
    uint64_t B;
    std::memcpy(&B, &R.Numero, sizeof B);
    return std::to_string(R.Error) + "/" + std::to_string(R.Tipo) + "/" + std::to_string(R.Error ? 0 : B);
}

TEST(ComaFlotante, HostSettingsChangeNoValueAndComeBackUnchanged)
{
    std::vector<std::string> Masked;
    for (const std::string &Fila : Filas())
        Masked.push_back(Bits(Analisis()(Fila)));
    feclearexcept(FE_ALL_EXCEPT);

    const int PASCAL = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
    const Ajustes Anfitriones[] = {
        {PASCAL, FE_TONEAREST, 0},
        {PASCAL | FE_UNDERFLOW, FE_TONEAREST, 0},
        {PASCAL, FE_UPWARD, FE_INEXACT | FE_UNDERFLOW},
        {0, FE_TOWARDZERO, FE_OVERFLOW},
    };
    for (const Ajustes &Anfitrion : Anfitriones) {
        if (!SeGuardan(Anfitrion))
            GTEST_SKIP() << "this machine does not keep floating-point traps, rounding and flags as set";
        for (size_t i = 0; i < Filas().size(); ++i) {
            SCOPED_TRACE(Filas()[i].substr(0, 30) + " traps " + std::to_string(Anfitrion.Trampas) + " rounding " +
                         std::to_string(Anfitrion.Redondeo));
            Analisis A;
            Poner(Anfitrion);
            const BLOQUEDEDATOS R = A(Filas()[i]);
            const Ajustes Despues = Leer();
            Poner({0, FE_TONEAREST, 0});
            EXPECT_EQ(Bits(R), Masked[i]);
            EXPECT_TRUE(Despues == Anfitrion) << "traps " << Despues.Trampas << " rounding " << Despues.Redondeo
                                              << " pending " << Despues.Pendientes;
        }
    }
}

TEST(ComaFlotante, CallbacksRunUnderTheHostSettings)
{
    const Ajustes Anfitrion{FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW, FE_DOWNWARD, FE_INEXACT};
    Pruebas::HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(2);
    Host.Funciones["f"] = Pruebas::HostDePrueba::Suma;
    std::vector<Ajustes> Vistos;
    Host.AlEntrar = [&] { Vistos.push_back(Leer()); };
    if (!SeGuardan(Anfitrion))
        GTEST_SKIP() << "this machine does not keep floating-point traps, rounding and flags as set";
    for (const char *Expresion : {"x^1024", "f(2^1024)+x", "f(0^-1; x-(0-8)^0,5)"}) {
        SCOPED_TRACE(Expresion);
        Analisis A(&Host);
        Vistos.clear();
        Poner(Anfitrion);
        const BLOQUEDEDATOS R = A(Expresion);
        const Ajustes Despues = Leer();
        Poner({0, FE_TONEAREST, 0});
        EXPECT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_TRUE(Despues == Anfitrion);
        ASSERT_FALSE(Vistos.empty());
        for (const Ajustes &Visto : Vistos)
            EXPECT_TRUE(Visto == Anfitrion) << "traps " << Visto.Trampas << " rounding " << Visto.Redondeo
                                            << " pending " << Visto.Pendientes;
    }
}

} // namespace
