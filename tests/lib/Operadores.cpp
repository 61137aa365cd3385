// Binary operators, their kinds, precedence and grouping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;

struct CasoNumero {
    const char *Expresion;
    double Esperado;
};

TEST(Operadores, GroupingAndPrecedence)
{
    const CasoNumero Casos[] = {
        {"10-2-3", 11},  {"1-2+3", -4},    {"1+2<3", 2},   {"2<1+3", 1},   {"2+2=4", 2},
        {"3>2>1", 1},    {"1<2<3", 0},     {"2^3^2", 512}, {"-2^2", 4},    {"2^-1", 0.5},
        {"1+2^3", 9},    {"1--1", 2},      {"1=1", 1},     {"1<>1", 0},    {"1<=1", 1},
        {"1>=2", 0},     {"2*3", 6},       {"8/4/2", 1},   {"6/2*3", 9},   {"2*3^2", 18},
        {"1+2*3", 7},    {"10-2*3-1", 5},  {"-2*3", -6},   {"0^0", 1},
    };
    for (const CasoNumero &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        const BLOQUEDEDATOS R = Analisis()(Caso.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_NUMERO);
        EXPECT_EQ(R.Numero, Caso.Esperado);
    }
}

} // namespace
