// Binary operators, their kinds, precedence and grouping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;

struct CasoNumero {
    const char *Expresion;
    double Esperado;
};

// A successful number from an operator: exactly the number kind, and an empty text.
void ComprobarNumero(const BLOQUEDEDATOS &R, double Esperado)
{
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Tipo, TIPO_NUMERO);
    EXPECT_EQ(R.Numero, Esperado);
    EXPECT_EQ(R.Cadena[0], '\0');
}

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

// Every operator on two numbers, and every comparison on two texts, in both outcomes.
TEST(Operadores, NumbersAndTextComparisons)
{
    const CasoNumero Casos[] = {
        {"7+2", 9},   {"7-2", 5},    {"7=2", 0},     {"2=2", 1},   {"7<>2", 1},   {"2<>2", 0},
        {"2<7", 1},   {"7<2", 0},    {"2<2", 0},     {"7>2", 1},   {"2>7", 0},    {"2>2", 0},
        {"2<=7", 1},  {"2<=2", 1},   {"7<=2", 0},    {"7>=2", 1},  {"2>=2", 1},   {"2>=7", 0},
        {"2^3", 8},   {"4^0,5", 2},  {"0,1+0,2", 0.30000000000000004},
        {"\"b\"=\"a\"", 0},  {"\"a\"=\"a\"", 1},  {"\"b\"<>\"a\"", 1}, {"\"a\"<>\"a\"", 0},
        {"\"a\"<\"b\"", 1},  {"\"b\"<\"a\"", 0},  {"\"a\"<\"a\"", 0},  {"\"b\">\"a\"", 1},
        {"\"a\">\"b\"", 0},  {"\"a\">\"a\"", 0},  {"\"a\"<=\"a\"", 1}, {"\"b\"<=\"a\"", 0},
        {"\"a\">=\"a\"", 1}, {"\"a\">=\"b\"", 0},
        // Byte order: no case folding, shorter first, Latin-1 letters after every ASCII one.
        {"\"a\"<\"B\"", 0},  {"\"B\"<\"a\"", 1},  {"\"Z\"<\"a\"", 1},  {"\"ab\"<\"abc\"", 1},
        {"\"abc\"<\"ab\"", 0}, {"\"\"<\"a\"", 1}, {"\"\"=\"\"", 1},    {"\"x\"=\"X\"", 0},
        {"\"x\"=\"x\"", 1},  {"\"\xE1\">\"z\"", 1}, {"\"\xE1\"<\"b\"", 0}, {"\"\xC1\">\"Z\"", 1},
        {"\"\xC1\"<\"\xE1\"", 1}, {"\"n\xF1\">\"nz\"", 1}, {"\"\x80\">\"\x7F\"", 1}, {"\"\xFF\">\"\"", 1},
    };
    for (const CasoNumero &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        ComprobarNumero(Analisis()(Caso.Expresion), Caso.Esperado);
    }
}

TEST(Operadores, MixedKindsAreIncompatible)
{
    const char *Operadores[] = {"+", "-", "=", "<>", "<", ">", "<=", ">=", "^", "*", "/"};
    for (const char *Op : Operadores) {
        const std::string Expresiones[] = {std::string("1") + Op + "\"a\"", std::string("\"a\"") + Op + "1"};
        for (const std::string &Expresion : Expresiones) {
            SCOPED_TRACE(Expresion);
            const BLOQUEDEDATOS R = Analisis()(Expresion);
            EXPECT_EQ(R.Error, E_INCOMPATIBLES) << Pruebas::Describir(R);
            EXPECT_EQ(R.Tipo, 0);
        }
    }
    // Only "+" and the comparisons take two texts.
    for (const char *Expresion : {"\"b\"-\"a\"", "\"b\"^\"a\"", "\"b\"*\"a\"", "\"b\"/\"a\""}) {
        SCOPED_TRACE(Expresion);
        const BLOQUEDEDATOS R = Analisis()(Expresion);
        EXPECT_EQ(R.Error, E_INCOMPATIBLES) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, 0);
    }
}

struct CasoTexto {
    std::string Expresion;
    std::string Esperado;
};

TEST(Operadores, JoiningTexts)
{
    const std::string A509(509, 'a'), A510(510, 'a'), B510(510, 'b');
    const CasoTexto Casos[] = {
        {"\"a\"+\"b\"", "ab"},
        {"\"\"+\"\"", ""},
        {"\"a\"+\"b\"+\"c\"", "abc"},
        {"\"a\"+(\"\xF1\"+\"b\")", "a\xF1" "b"},
        // The longest joins that fit in one expression are never cut.
        {"\"" + A509 + "\"+\"" + B510 + "\"", A509 + B510},
        {"\"" + A510 + "\"+\"" + B510, A510 + B510},
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion.substr(0, 40));
        const BLOQUEDEDATOS R = Analisis()(Caso.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_CADENA);
        EXPECT_EQ(std::string(R.Cadena), Caso.Esperado);
    }
}

// Longer joins need host texts: the result keeps 1023 characters and drops the rest.
TEST(Operadores, JoiningStopsAt1023Characters)
{
    Pruebas::HostDePrueba Host;
    const std::string A1000(1000, 'a'), A1023(1023, 'a');
    Host.Variables["t"] = Pruebas::Texto(A1000);
    Host.Variables["u"] = Pruebas::Texto(A1023);
    BLOQUEDEDATOS Lleno = Pruebas::Texto("");
    std::memset(Lleno.Cadena, 'a', sizeof Lleno.Cadena); // no terminator: cut to 1023 characters
    Host.Variables["w"] = Lleno;
    const std::string B100(100, 'b');
    const CasoTexto Casos[] = {
        {"t+\"" + B100 + "\"", A1000 + std::string(23, 'b')},
        {"\"" + B100 + "\"+t", B100 + std::string(923, 'a')},
        {"t+t", A1023},
        {"u+\"b\"", A1023},
        {"u+\"\"", A1023},
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion.substr(0, 40));
        const BLOQUEDEDATOS R = Analisis(&Host)(Caso.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_CADENA);
        EXPECT_EQ(std::string(R.Cadena), Caso.Esperado);
    }
    const CasoNumero Comparaciones[] = {{"w=w", 1}, {"u<w", 0}, {"w>u", 0}, {"w=u", 1}};
    for (const CasoNumero &Caso : Comparaciones) {
        SCOPED_TRACE(Caso.Expresion);
        ComprobarNumero(Analisis(&Host)(Caso.Expresion), Caso.Esperado);
    }
}

TEST(Operadores, PowerSpecialCasesGiveNoError)
{
    const CasoNumero Casos[] = {
        {"0^0", 1},        {"5^0", 1},     {"0^-1", HUGE_VAL}, {"(0-2)^3", -8}, {"(0-2)^2", 4},
        {"2^0,5", 1.4142135623730951}, {"10^400", HUGE_VAL},   {"(0-10)^401", -HUGE_VAL},
    };
    for (const CasoNumero &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        ComprobarNumero(Analisis()(Caso.Expresion), Caso.Esperado);
    }
    const BLOQUEDEDATOS R = Analisis()("(0-8)^0,5");
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Tipo, TIPO_NUMERO);
    EXPECT_TRUE(std::isnan(R.Numero));
}

// "^" is the C library's pow to the last bit, also where an integer power passes 2^53 and
// its exact value must be rounded (3202^5 lies halfway between two doubles).
TEST(Operadores, PowerIsBitForBitPow)
{
    struct Caso {
        const char *Expresion;
        double Base, Exponente;
    };
    const Caso Casos[] = {{"3202^5", 3202, 5},         {"7^19", 7, 19},   {"1234567^3", 1234567, 3},
                          {"(0-3202)^5", -3202, 5},    {"3^33", 3, 33},   {"2^53", 2, 53},
                          {"94906267^2", 94906267, 2}, {"12^15", 12, 15}, {"5^22", 5, 22}};
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion);
        const BLOQUEDEDATOS R = Analisis()(C.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        volatile double Base = C.Base, Exponente = C.Exponente; // computed by the library, not folded
        const double Pow = std::pow(Base, Exponente);
        uint64_t Obtenido, Esperado;
        std::memcpy(&Obtenido, &R.Numero, sizeof Obtenido);
        std::memcpy(&Esperado, &Pow, sizeof Esperado);
        EXPECT_EQ(Obtenido, Esperado);
    }
}

// Infinities and not-a-number values are plain values: no error, and the evaluation goes on.
TEST(Operadores, InfinityAndNotANumberFlow)
{
    const std::string Inf(320, '9'); // beyond the largest double
    const CasoTexto Casos[] = {
        {Inf, "inf"},             {Inf + "+1", "inf"},  {"0-" + Inf, "-inf"},
        {Inf + "-" + Inf, "nan"}, {Inf + "^2", "inf"},  {"(" + Inf + "-" + Inf + ")+1", "nan"},
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Esperado + " from " + Caso.Expresion.substr(0, 20));
        const BLOQUEDEDATOS R = Analisis()(Caso.Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_NUMERO);
        if (Caso.Esperado == "nan") {
            EXPECT_TRUE(std::isnan(R.Numero));
        } else {
            EXPECT_EQ(R.Numero, Caso.Esperado == "inf" ? HUGE_VAL : -HUGE_VAL);
        }
    }
    // How they compare is open; that they compare, to a plain 1 or 0, is not.
    const std::string NaN = "(10^400-10^400)";
    for (const std::string &Expresion : {NaN + "=" + NaN, NaN + "<1", Inf + ">1", "1<>" + NaN}) {
        SCOPED_TRACE(Expresion.substr(0, 30));
        const BLOQUEDEDATOS R = Analisis()(Expresion);
        ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
        EXPECT_EQ(R.Tipo, TIPO_NUMERO);
        EXPECT_TRUE(R.Numero == 0.0 || R.Numero == 1.0) << R.Numero;
    }
}

TEST(Operadores, MultiplicationAndDivision)
{
    const CasoNumero Casos[] = {{"7/2", 3.5}, {"2*-3", -6}, {"2*0,5", 1}, {"1/4*2", 0.5}, {"2^2*3", 12}};
    for (const CasoNumero &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        ComprobarNumero(Analisis()(Caso.Expresion), Caso.Esperado);
    }
    for (const char *Expresion : {"1/0", "0/0", "2/(1-1)"}) {
        SCOPED_TRACE(Expresion);
        EXPECT_EQ(Analisis()(Expresion).Error, E_DIVISION);
    }
}

// Kinds are bits: both bits make a number, no bit fits no operator.
TEST(Operadores, HostKindsAreTestedAsBits)
{
    Pruebas::HostDePrueba Host;
    BLOQUEDEDATOS Ambos = Pruebas::Numero(2);
    Ambos.Tipo = TIPO_NUMERO | TIPO_CADENA;
    BLOQUEDEDATOS Ninguno = Pruebas::Numero(2);
    Ninguno.Tipo = 0;
    Host.Variables["d"] = Ambos;
    Host.Variables["z"] = Ninguno;

    const BLOQUEDEDATOS Suma = Analisis(&Host)("d+1");
    ComprobarNumero(Suma, 3);
    ComprobarNumero(Analisis(&Host)("1+d"), 3);

    const char *Operadores[] = {"+", "-", "=", "<>", "<", ">", "<=", ">=", "^", "*", "/"};
    for (const char *Op : Operadores) {
        for (const std::string &Expresion : {std::string("z") + Op + "1", std::string("1") + Op + "z",
                                             std::string("z") + Op + "z"}) {
            SCOPED_TRACE(Expresion);
            EXPECT_EQ(Analisis(&Host)(Expresion).Error, E_INCOMPATIBLES);
        }
    }
}

} // namespace
