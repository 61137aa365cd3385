// Decimal and thousands separators as a host sets them through the exported interface.
#include <gtest/gtest.h>

#include <string>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;

constexpr char NUL = '\0';

std::string Traza(const char *Expresion, char Millar, char Decimal)
{
    return std::string(Expresion) + " millar '" + std::string(1, Millar) + "' decimal '" + std::string(1, Decimal) + "'";
}

struct Paso {
    bool Inicializar; // A_Inicializar before this step
    char Millar, Decimal; // then A_AsignarSeparadores with these
    const char *Expresion;
    double Esperado;
};

// One record through a series of settings: each call changes only what it names.
TEST(Separadores, SettingsAccumulateOnOneRecord)
{
    const Paso Pasos[] = {
        {true, NUL, NUL, "1,5", 1.5},
        {false, NUL, NUL, "1.5", 15},
        {false, NUL, NUL, "1.234,5", 1234.5},
        {false, ',', '.', "1,234.5", 1234.5},
        {false, NUL, NUL, "1,234.5", 1234.5},
        {false, NUL, ';', "1,234;5", 1234.5},
        {false, ' ', NUL, "1 234;5", 1234.5},
        {false, '-', NUL, "10-2;5", 102.5},
        {true, NUL, NUL, "1,5", 1.5},
        {false, NUL, NUL, "1.5", 15},
    };
    ESTADODEANALISIS Estado;
    int Numero = 0;
    for (const Paso &P : Pasos) {
        SCOPED_TRACE("step " + std::to_string(Numero++) + ": " + P.Expresion);
        if (P.Inicializar)
            A_Inicializar(&Estado);
        A_AsignarSeparadores(&Estado, P.Millar, P.Decimal);
        const BLOQUEDEDATOS R = A_Analizar(&Estado, P.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_NUMERO);
        EXPECT_EQ(R.Numero, P.Esperado);
    }
}

struct Caso {
    char Millar, Decimal;
    const char *Expresion;
    int32_t Error;
    double Esperado; // the value, or the position of the error
};

TEST(Separadores, WhatEachSettingDoesToAnExpression)
{
    const Caso Casos[] = {
        {NUL, NUL, "1.000.000", 0, 1000000},
        {NUL, NUL, "1,5+0,25", 0, 1.75},
        {NUL, NUL, ",5", E_OPERANDO, 1},
        {NUL, ';', "1;5", 0, 1.5},
        {NUL, ';', "1,5", E_CARACTER, 2},
        {NUL, ';', ";5", E_OPERANDO, 1},
        {' ', NUL, "1 000", 0, 1000},
        {' ', NUL, "1 000,5 + 2", 0, 1002.5},
        {' ', NUL, "2 3", 0, 23}, // the blank joins the digits instead of ending the number
        {'-', NUL, "10-2", 0, 102},
        {'-', NUL, "10 -2", 0, 8},
        {'-', NUL, "-2", 0, -2},
        {'-', NUL, "2--1", 0, 21},
        {',', '.', "1,234.5", 0, 1234.5},
        {',', '.', "1,5", 0, 15},
        {',', '.', "1.5", 0, 1.5},
        {'.', ',', "1.234,5", 0, 1234.5},
        {',', ',', "1,5", 0, 1.5}, // one character for both is the decimal one
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(Traza(C.Expresion, C.Millar, C.Decimal));
        const BLOQUEDEDATOS R = Analisis(nullptr, C.Millar, C.Decimal)(C.Expresion);
        ASSERT_EQ(R.Error, C.Error) << Pruebas::Describir(R);
        if (C.Error) {
            EXPECT_EQ(R.Posicion, C.Esperado);
        } else {
            EXPECT_EQ(R.Tipo, TIPO_NUMERO);
            EXPECT_EQ(R.Numero, C.Esperado);
        }
    }
}

struct CasoLista {
    char Millar, Decimal;
    const char *Expresion;
    double Esperado;
    size_t Argumentos;
};

// A ";" that starts a token is always the list separator; only inside a number can a
// separator setting claim it.
TEST(Separadores, ListSeparatorAtTheStartOfAToken)
{
    const CasoLista Casos[] = {
        {NUL, NUL, "g(1;2)", 3, 2},      {NUL, NUL, "g(2,25)", 2.25, 1},
        {NUL, ';', "g(1;2)", 1.2, 1},    {NUL, ';', "g(1 ;2)", 3, 2},
        {NUL, ';', "g(x;2)", 7, 2},      {NUL, ';', "g((1);2)", 3, 2},
        {NUL, ';', "g(1;2;3)", 1.2, 1}, {';', NUL, "g(1;000)", 1000, 1},
        {';', NUL, "g(x;1)", 6, 2},
    };
    for (const CasoLista &C : Casos) {
        SCOPED_TRACE(Traza(C.Expresion, C.Millar, C.Decimal));
        Pruebas::HostDePrueba Host;
        Host.Variables["x"] = Pruebas::Numero(5);
        Host.Funciones["g"] = Pruebas::HostDePrueba::Suma;
        const BLOQUEDEDATOS R = Analisis(&Host, C.Millar, C.Decimal)(C.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Numero, C.Esperado);
        ASSERT_FALSE(Host.Peticiones.empty());
        EXPECT_EQ(Host.Peticiones.back().Parametros.size(), C.Argumentos);
    }
}

// Initialising again drops the callbacks along with the separators.
TEST(Separadores, InitialisingAgainRestoresEverything)
{
    Pruebas::HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(5);
    Analisis A(&Host, ',', '.');
    BLOQUEDEDATOS R = A("x+1.5");
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Numero, 6.5);

    A_Inicializar(&A.Estado);
    R = A("1.5+0,5");
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Numero, 15.5);
    const size_t Pedidas = Host.Peticiones.size();
    R = A("x");
    EXPECT_EQ(R.Error, E_VARIABLE);
    EXPECT_STREQ(R.Cadena, "x");
    EXPECT_EQ(Host.Peticiones.size(), Pedidas);
}

} // namespace
