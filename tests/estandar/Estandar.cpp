// The standard library through the engine, as a host that delegates to it sees it, and its
// three C entry points called directly for what the engine never passes.
#include <gtest/gtest.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "Estandar.h"

namespace {

void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    if (!A_EstandarVariable(Variable, R))
        R->Error = E_VARIABLE;
}

void EVALION_CONV PedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    if (!A_EstandarFuncion(Funcion, Parametros, N, R))
        R->Error = E_FUNCION;
}

constexpr double NAN_ = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// One expression and what it gives: a number (NaN matches NaN), a text, or an error at a
// position.
struct Caso {
    const char *Expresion;
    double Numero;
    const char *Texto = nullptr;
    int32_t Error = 0;
    int32_t Posicion = 0;
};
Caso Numero(const char *E, double V) { return {E, V}; }
Caso Texto(const char *E, const char *T) { return {E, 0, T}; }
Caso Error(const char *E, int32_t Codigo, int32_t Posicion = 1) { return {E, 0, nullptr, Codigo, Posicion}; }

void Comprobar(std::initializer_list<Caso> Casos)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion);
        const BLOQUEDEDATOS R = A_Analizar(&Estado, C.Expresion);
        ASSERT_EQ(R.Error, C.Error);
        if (C.Error != 0) {
            EXPECT_EQ(R.Posicion, C.Posicion);
        } else if (C.Texto) {
            ASSERT_EQ(R.Tipo, TIPO_CADENA);
            EXPECT_STREQ(R.Cadena, C.Texto);
        } else {
            ASSERT_EQ(R.Tipo, TIPO_NUMERO);
            if (std::isnan(C.Numero))
                EXPECT_TRUE(std::isnan(R.Numero)) << R.Numero;
            else
                EXPECT_DOUBLE_EQ(R.Numero, C.Numero);
        }
    }
}

TEST(Estandar, Constants)
{
    Comprobar({Numero("Pi", 3.141592653589793), Numero("PI", 3.141592653589793), Numero("e", 2.718281828459045),
               Numero("E^2", 7.3890560989306495), Error("Tau", E_VARIABLE)});
}

// A null name or result block: the call does nothing and answers 0.
TEST(Estandar, NullArguments)
{
    BLOQUEDEDATOS R{};
    R.Error = 12345;
    const BLOQUEDEDATOS Uno[1] = {};
    EXPECT_EQ(A_EstandarVariable(nullptr, &R), 0);
    EXPECT_EQ(A_EstandarVariable("Pi", nullptr), 0);
    EXPECT_EQ(A_EstandarFuncion(nullptr, Uno, 1, &R), 0);
    EXPECT_EQ(A_EstandarFuncion("Raiz", Uno, 1, nullptr), 0);
    EXPECT_EQ(A_EstandarFuncion("Raiz", nullptr, 1, &R), 0);
    EXPECT_EQ(R.Error, 12345);
}

TEST(Estandar, NumberFunctions)
{
    Comprobar({
        Numero("Abs(-2,5)", 2.5), Numero("Signo(-3)", -1), Numero("Signo(0)", 0), Numero("Signo(7)", 1),
        Numero("Raiz(2,25)", 1.5), Numero("Exp(1)", 2.718281828459045), Numero("Ln(E)", 1), Numero("Log(1000)", 3),
        Numero("Seno(Pi/2)", 1), Numero("Coseno(0)", 1), Numero("Tangente(Pi/4)", 0.9999999999999999),
        Numero("ArcoSeno(1)", 1.5707963267948966), Numero("ArcoCoseno(1)", 0),
        Numero("ArcoTangente(1)", 0.7853981633974483),
        Numero("Truncar(-2,7)", -2), Numero("Entero(-2,7)", -3), Numero("Entero(2,7)", 2), Numero("Techo(-2,3)", -2),
        Numero("Techo(2,3)", 3), Numero("Resto(7;3)", 1), Numero("Resto(-7;3)", -1), Numero("Resto(7,5;2)", 1.5),
        Numero("Resto(1;0,1)", 0), Numero("Resto(2^60;3)", 1), Numero("Resto(-1;0,1)", 0),
        // An infinite divisor, of either sign, leaves a finite dividend whole.
        Numero("Resto(5;2^1024)", 5), Numero("Resto(-5;2^1024)", -5), Numero("Resto(7,5;-1 * 0^-1)", 7.5),
        Numero("Resto(-7,5;-1 * 0^-1)", -7.5), Numero("Resto(2^1023;0^-1)", 8.98846567431158e307),
    });
}

// Half away from zero, at the digits a number is shown with; decimals may be negative.
TEST(Estandar, Rounding)
{
    Comprobar({
        Numero("Redondear(2,5)", 3), Numero("Redondear(-2,5)", -3), Numero("Redondear(2,4999)", 2),
        Numero("Redondear(2,675; 2)", 2.68), Numero("Redondear(1,005; 2)", 1.01), Numero("Redondear(-1,005; 2)", -1.01),
        Numero("Redondear(1234; -2)", 1200), Numero("Redondear(1250; -2)", 1300), Numero("Redondear(3,14159; 2,9)", 3.14),
        Numero("Redondear(1,5; 400)", 1.5), Numero("Redondear(15; -400)", 0), Numero("Redondear(0^-1; 2)", INF),
        Numero("Redondear(2; Raiz(-1))", NAN_), Numero("Redondear(123456789012345678; 2)", 123456789012345678.0),
        Numero("Redondear(1234567890123456)", 1234567890123456.0), Numero("Redondear(1234567890123456; -1)", 1234567890123460.0),
        Numero("Redondear(123456789012,3456; 4)", 123456789012.3456), Numero("Redondear(123456789012,3456; 3)", 123456789012.346),
        Numero("Redondear(9,995; 2)", 10), Numero("Redondear(0,05; 0)", 0), Numero("Redondear(0,5)", 1),
        Numero("Redondear(2^1023*1,9999999999999998; -308)", INF),
    });
}

// One or more numbers; a NaN among them makes the extreme NaN.
TEST(Estandar, Lists)
{
    Comprobar({
        Numero("Max(1;5;3)", 5), Numero("Max(4)", 4), Numero("Min(4;-1;9)", -1), Numero("Max(1;Raiz(-1);2)", NAN_),
        Numero("Min(Raiz(-1);2)", NAN_), Numero("Suma(1;2;3,5)", 6.5), Numero("Suma(7)", 7),
        Numero("Promedio(1;2;6)", 3), Numero("Max(1;0^-1)", INF), Numero("Promedio(2^1023;2^1023)", 8.98846567431158e307),
        Numero("Promedio(2^1023;2^1023;-2^1023)", 2.9961552247705264e307),
    });
}

// IEEE arithmetic, as "^" gives it: no error code for a value outside a function's domain.
TEST(Estandar, DomainFollowsIeee)
{
    Comprobar({
        Numero("Raiz(-1)", NAN_), Numero("Ln(0)", -INF), Numero("Ln(-1)", NAN_), Numero("Log(0)", -INF),
        Numero("ArcoSeno(2)", NAN_), Numero("ArcoCoseno(-2)", NAN_), Numero("Exp(1000)", INF), Numero("Resto(5;0)", NAN_),
        Numero("Resto(0^-1;2)", NAN_), Numero("Promedio(0^-1; -1 * 0^-1)", NAN_), Numero("Signo(Raiz(-1))", NAN_),
    });
}

TEST(Estandar, Texts)
{
    Comprobar({
        Numero("Longitud(\"\")", 0), Numero("Longitud(\"a\xF1o\")", 3),
        Texto("Izquierda(\"abcdef\";2)", "ab"), Texto("Izquierda(\"abc\";5)", "abc"), Texto("Izquierda(\"abc\";-1)", ""),
        Texto("Izquierda(\"abc\";1,9)", "a"), Texto("Derecha(\"abcdef\";2)", "ef"), Texto("Derecha(\"abc\";0)", ""),
        Texto("Derecha(\"abc\";9)", "abc"), Texto("Medio(\"abcdef\";2;3)", "bcd"), Texto("Medio(\"abc\";0;2)", "a"),
        Texto("Derecha(\"abc\";2^60)", "abc"), Texto("Derecha(\"abc\";2^1023*2)", "abc"),
        Texto("Izquierda(\"abc\";2^1023*2)", "abc"), Texto("Medio(\"abc\";2;2^1023*2)", "bc"),
        Texto("Medio(\"abc\";0-2^60;2^61)", "abc"), Texto("Medio(\"abc\";3;5)", "c"), Texto("Medio(\"abc\";4;1)", ""), Texto("Medio(\"abc\";2;Raiz(-1))", ""),
        Texto("Recortar(\"  a b \")", "a b"), Texto("Recortar(\"   \")", ""), Numero("Buscar(\"c\";\"abcabc\")", 3),
        Numero("Buscar(\"x\";\"abc\")", 0), Numero("Buscar(\"\";\"abc\")", 1), Numero("Buscar(\"A\";\"abc\")", 0),
        Texto("Texto(1/3)", "0.333333333333333"), Texto("Texto(100000000000000000000)", "1e+20"),
        Texto("Texto(-2,5)", "-2.5"), Texto("Texto(0^-1)", "INF"), Texto("Texto(0,0001)", "0.0001"),
        Texto("Texto(0,00001)", "1e-05"), Texto("Texto(123456789012345)", "123456789012345"),
        Texto("Texto(1234567890123456)", "1.23456789012346e+15"), Numero("Valor(\".5\")", 0.5),
        Numero("Valor(\"1.\")", 1), Numero("Valor(\"Infinity\")", INF), Numero("Valor(\"1e-99999\")", 0),
        Numero("Valor(\"1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000.5e-2\")", INF),
        Error("Valor(\"1e\")", E_VALOR), Error("Valor(\".\")", E_VALOR), Error("Valor(\"0x10\")", E_VALOR),
        Numero("Valor(\"12.5\")", 12.5), Numero("Valor(\" -3e2 \")", -300), Numero("Valor(\"+7\")", 7),
        Numero("Valor(\"1e999\")", INF), Numero("Valor(\"INF\")", INF), Numero("Valor(Texto(1/3))", 0.333333333333333),
        Error("Valor(\"1,5\")", E_VALOR), Error("Valor(\"\")", E_VALOR), Error("Valor(\"abc\")", E_VALOR),
        Error("Valor(\"--1\")", E_VALOR), Error("Valor(\"1 2\")", E_VALOR), Error("1 + Valor(\"x\")", E_VALOR, 4),
    });
}

// Every Windows-1252 letter has its other case where the code page has one.
TEST(Estandar, CaseFolding)
{
    Comprobar({
        Texto("Mayusculas(\"\xF1" "and\xFA \xE9xito\")", "\xD1" "AND\xDA \xC9XITO"),
        Texto("Minusculas(\"\xC1\xC9\xCD\xD3\xDA\xDC\xD1 ABC\")", "\xE1\xE9\xED\xF3\xFA\xFC\xF1 abc"),
        Texto("Minusculas(\"\x8A\x8C\x8E\x9F\")", "\x9A\x9C\x9E\xFF"), Texto("Mayusculas(\"\x9A\x9C\x9E\xFF\")", "\x8A\x8C\x8E\x9F"),
        Texto("Mayusculas(\"\xDF\xB5\xF7\")", "\xDF\xB5\xF7"), Texto("Minusculas(\"\xD7\")", "\xD7"),
        Texto("Mayusculas(\"1+x\")", "1+X"),
    });
}

// A negative zero is never a result, nor the text of one.
TEST(Estandar, NoNegativeZero)
{
    for (const char *E : {"Redondear(0-0,4)", "Resto(-6;3)", "Truncar(-0,5)", "Techo(-0,5)", "Abs(-0)*-1+Suma(-0)",
                          "Valor(\"-0\")", "Promedio(-0;-0)", "Redondear(-1;-400)", "Min(-0;0)"}) {
        ESTADODEANALISIS Estado;
        A_Inicializar(&Estado);
        A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);
        const BLOQUEDEDATOS R = A_Analizar(&Estado, (std::string("Texto(") + E + ")").c_str());
        SCOPED_TRACE(E);
        EXPECT_STREQ(R.Cadena, "0");
        const BLOQUEDEDATOS N = A_Analizar(&Estado, E);
        EXPECT_FALSE(std::signbit(N.Numero));
    }
    Comprobar({Texto("Texto(-0)", "0")});
}

TEST(Estandar, Logic)
{
    Comprobar({
        Texto("si(1;\"a\";\"b\")", "a"), Numero("si(0;1;2)", 2), Numero("si(Raiz(-1);1;2)", 1),
        Error("si(\"x\";1;2)", E_INCOMPATIBLES), Error("si(1;2)", E_FUNCION), Numero("Y(1;1;2)", 1), Numero("Y(1;0)", 0),
        Numero("O(0;0)", 0), Numero("O(0;3)", 1), Numero("No(0)", 1), Numero("No(5)", 0), Error("Y(1;\"a\")", E_INCOMPATIBLES),
    });
}

// Names in any case of A-Z; the wrong count is E_FUNCION, the wrong kind E_INCOMPATIBLES.
TEST(Estandar, NamesCountsAndKinds)
{
    Comprobar({
        Numero("RAIZ(4)", 2), Numero("raiz(4)", 2), Texto("mAyUsCuLaS(\"a\")", "A"), Error("Ra\xCDz(4)", E_FUNCION),
        Error("Raiz(1;2)", E_FUNCION), Error("Resto(1)", E_FUNCION), Error("Redondear(1;2;3)", E_FUNCION),
        Error("Medio(\"a\";1)", E_FUNCION), Error("No(1;2)", E_FUNCION), Error("1 + Seno(1;2)", E_FUNCION, 4),
        Error("Raiz(\"a\")", E_INCOMPATIBLES), Error("Longitud(5)", E_INCOMPATIBLES),
        Error("Izquierda(\"abc\";\"x\")", E_INCOMPATIBLES), Error("Buscar(1;\"a\")", E_INCOMPATIBLES),
        Error("Max(1;2;\"3\")", E_INCOMPATIBLES), Error("Texto(\"1\")", E_INCOMPATIBLES), Error("Foo(1)", E_FUNCION),
    });
}

// Every function is known by its name and takes exactly the counts it is documented with;
// one count fewer or one more is E_FUNCION (0 for "one or more": no upper bound).
TEST(Estandar, EveryFunctionAndItsCounts)
{
    const struct {
        const char *Nombre;
        int32_t Minimo, Maximo;
    } Funciones[] = {
        {"Abs", 1, 1}, {"Signo", 1, 1}, {"Raiz", 1, 1}, {"Exp", 1, 1}, {"Ln", 1, 1}, {"Log", 1, 1},
        {"Seno", 1, 1}, {"Coseno", 1, 1}, {"Tangente", 1, 1}, {"ArcoSeno", 1, 1}, {"ArcoCoseno", 1, 1},
        {"ArcoTangente", 1, 1}, {"Redondear", 1, 2}, {"Truncar", 1, 1}, {"Entero", 1, 1}, {"Techo", 1, 1},
        {"Resto", 2, 2}, {"Max", 1, 0}, {"Min", 1, 0}, {"Suma", 1, 0}, {"Promedio", 1, 0}, {"Longitud", 1, 1},
        {"Mayusculas", 1, 1}, {"Minusculas", 1, 1}, {"Izquierda", 2, 2}, {"Derecha", 2, 2}, {"Medio", 3, 3},
        {"Recortar", 1, 1}, {"Buscar", 2, 2}, {"Texto", 1, 1}, {"Valor", 1, 1}, {"si", 3, 3}, {"Y", 1, 0},
        {"O", 1, 0}, {"No", 1, 1},
    };
    BLOQUEDEDATOS Argumentos[5] = {};
    for (BLOQUEDEDATOS &A : Argumentos)
        A.Tipo = TIPO_NUMERO;
    for (const auto &F : Funciones) {
        SCOPED_TRACE(F.Nombre);
        const int32_t Cuentas[] = {F.Minimo - 1, F.Minimo, F.Maximo ? F.Maximo : 5, F.Maximo ? F.Maximo + 1 : -1};
        for (size_t i = 0; i < 4; ++i) {
            if (Cuentas[i] < 0)
                continue;
            BLOQUEDEDATOS R{};
            ASSERT_EQ(A_EstandarFuncion(F.Nombre, Argumentos, Cuentas[i], &R), 1);
            EXPECT_EQ(R.Error == E_FUNCION, i == 0 || i == 3) << Cuentas[i] << " arguments";
        }
    }
}

BLOQUEDEDATOS Relleno()
{
    BLOQUEDEDATOS B;
    std::memset(&B, 0x5A, sizeof B);
    return B;
}

// What the engine never passes: no argument at all, unknown names, a text with no NUL.
TEST(Estandar, CalledDirectly)
{
    const BLOQUEDEDATOS Intacto = Relleno();
    BLOQUEDEDATOS R = Relleno();
    EXPECT_EQ(A_EstandarVariable("Dolar", &R), 0);
    EXPECT_EQ(A_EstandarFuncion("Dolar", &Intacto, 1, &R), 0);
    EXPECT_EQ(std::memcmp(&R, &Intacto, sizeof R), 0);

    EXPECT_EQ(A_EstandarFuncion("Suma", nullptr, 0, &R), 1);
    EXPECT_EQ(R.Error, E_FUNCION);

    BLOQUEDEDATOS Largo = Relleno(); // 1024 letters, no terminator: read as the first 1023
    Largo.Tipo = TIPO_CADENA;
    std::memset(Largo.Cadena, 'a', sizeof Largo.Cadena);
    ASSERT_EQ(A_EstandarFuncion("Mayusculas", &Largo, 1, &R), 1);
    EXPECT_EQ(R.Error, 0);
    EXPECT_EQ(std::string(R.Cadena), std::string(1023, 'A'));
    ASSERT_EQ(A_EstandarFuncion("Longitud", &Largo, 1, &R), 1);
    EXPECT_EQ(R.Numero, 1023);

    BLOQUEDEDATOS Ambos = Relleno(); // both kind bits: it passes as a number and as a text
    Ambos.Tipo = TIPO_NUMERO | TIPO_CADENA;
    Ambos.Numero = 9;
    std::strcpy(Ambos.Cadena, "xy");
    ASSERT_EQ(A_EstandarFuncion("Raiz", &Ambos, 1, &R), 1);
    EXPECT_EQ(R.Numero, 3);
    ASSERT_EQ(A_EstandarFuncion("Longitud", &Ambos, 1, &R), 1);
    EXPECT_EQ(R.Numero, 2);
}

// Texto writes as printf's "%.15g" in the C locale, for doubles of every magnitude.
TEST(Estandar, TextoWritesAsPrintf)
{
    std::mt19937_64 Azar(2026);
    int Distintos = 0;
    for (int i = 0; i < 100000; ++i) {
        uint64_t Bits = Azar();
        double Valor;
        std::memcpy(&Valor, &Bits, sizeof Valor);
        BLOQUEDEDATOS P{}, R{};
        P.Tipo = TIPO_NUMERO;
        P.Numero = i % 2 ? Valor : std::round(Valor * 1e6) / 1e6; // short decimals too
        if (!std::isfinite(P.Numero) || P.Numero == 0)
            continue;
        char Esperado[40];
        std::snprintf(Esperado, sizeof Esperado, "%.15g", P.Numero);
        ASSERT_EQ(A_EstandarFuncion("Texto", &P, 1, &R), 1);
        Distintos += std::strcmp(R.Cadena, Esperado) != 0;
        EXPECT_STREQ(R.Cadena, Esperado) << Distintos;
        if (Distintos > 3)
            break;
    }
    EXPECT_EQ(Distintos, 0);
}

// A host whose locale writes "," as the point reads and writes numbers the same.
TEST(Estandar, CommaLocaleChangesNothing)
{
    if (!std::setlocale(LC_NUMERIC, "es_ES.UTF-8"))
        GTEST_SKIP() << "the locale es_ES.UTF-8 is not installed";
    Comprobar({Texto("Texto(1/4)", "0.25"), Numero("Valor(\"12.5\")", 12.5), Numero("Redondear(2,675; 2)", 2.68),
               Numero("Valor(Texto(1/3))", 0.333333333333333)});
    std::setlocale(LC_NUMERIC, "C");
}

// A host with traps enabled and a flag of its own pending calls the functions from its
// requests: the values are the IEEE ones, nothing traps, and its settings come back as
// they were, without the flags the functions raised.
TEST(Estandar, HostSettingsWithTraps)
{
    const int TRAMPAS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
    feclearexcept(FE_ALL_EXCEPT);
    feraiseexcept(FE_INEXACT);
    fesetround(FE_UPWARD);
    feenableexcept(TRAMPAS);
    const int Trampas = fegetexcept(), Pendientes = fetestexcept(FE_ALL_EXCEPT);
    BLOQUEDEDATOS Menos1 = {}, Cero = {}, Mil = {}, R = {};
    Menos1.Tipo = Cero.Tipo = Mil.Tipo = TIPO_NUMERO;
    Menos1.Numero = -1;
    Mil.Numero = 1000;
    const double Raiz = A_EstandarFuncion("Raiz", &Menos1, 1, &R) ? R.Numero : 0;
    const double Ln = A_EstandarFuncion("Ln", &Cero, 1, &R) ? R.Numero : 0;
    const double Exp = A_EstandarFuncion("Exp", &Mil, 1, &R) ? R.Numero : 0;
    const int TrampasDespues = fegetexcept(), PendientesDespues = fetestexcept(FE_ALL_EXCEPT);
    const int RedondeoDespues = fegetround();
    fedisableexcept(FE_ALL_EXCEPT);
    fesetround(FE_TONEAREST);
    feclearexcept(FE_ALL_EXCEPT);
    if (Trampas != TRAMPAS || Pendientes != FE_INEXACT)
        GTEST_SKIP() << "this machine does not keep floating-point settings (valgrind, for one)";
    EXPECT_TRUE(std::isnan(Raiz));
    EXPECT_EQ(Ln, -INF);
    EXPECT_EQ(Exp, INF);
    EXPECT_EQ(TrampasDespues, TRAMPAS);
    EXPECT_EQ(PendientesDespues, FE_INEXACT);
    EXPECT_EQ(RedondeoDespues, FE_UPWARD);
}

// The shared message table, served to hosts in other languages.
TEST(Estandar, Messages)
{
    EXPECT_STREQ(A_Mensaje(E_VARIABLE), "Se esperaba una variable en la posici\xF3n ");
    EXPECT_STREQ(A_Mensaje(E_CARACTER), "Se ha encontrado un caracter no valido en la posicion ");
    EXPECT_EQ(A_Mensaje(0), nullptr);
    EXPECT_EQ(A_Mensaje(E_MEMORIA), nullptr);
    EXPECT_EQ(A_Mensaje(-5), nullptr);
}

} // namespace
