// A prepared form over rows (A_EvaluarFilas): each row exactly what A_Evaluar gives with
// that row's numbers bound, with the same requests in the same order, whether the rows go
// through the steps a block at a time or one by one; a column (A_VincularColumna) gives a
// number per row, a variable bound to one number (A_Vincular) that number in every row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Formula.h"
#include "FormulaDePrueba.h"
#include "HostDePrueba.h"

namespace {

using Pruebas::HostDePrueba;

using Pruebas::Formula;
using Pruebas::Bits;
using Pruebas::DeBits;

// Columns longer than two blocks of rows, whose values cross what the operators treat apart:
// 0 and 2 (divisions by zero below), negatives under powers, overflow, not-a-number.
// Without them (Raros false) no row leaves its block for one evaluation of its own.
std::vector<double> Columna(double Semilla, size_t Filas, bool Raros = true)
{
    // Not-a-numbers of every kind: quiet, negative with a payload, signaling.
    const double RAROS[] = {2, 0, -1, 0.5, 1e308, -0.0, 3, std::numeric_limits<double>::quiet_NaN(), 1e-310, 7.25,
                            DeBits(0xFFF8000000000123u), -2, DeBits(0x7FF0000000000001u)};
    std::vector<double> C(Filas);
    for (size_t i = 0; i < C.size(); ++i)
        C[i] = Raros && i % 7 == 0 ? RAROS[(i / 7) % std::size(RAROS)] : Semilla + static_cast<double>(i % 97) * 0.37 - 11;
    return C;
}

// The C functions every form binds to n (one argument) and m (two): infinities from a zero
// divisor among their values.
double Ene(double a) { return std::exp(a / 4) - 1 / a; }
double Eme(double a, double b) { return a / b - b; }

// y a column, or one number for every row.
struct DeY {
    bool Columna;
    double Numero;
};

// Every row of Texto over the columns X (and Y) against A_Evaluar with that row's numbers.
void CompararFilas(HostDePrueba &Host, const char *Texto, int32_t Opciones, const DeY &YDe, const std::vector<double> &X,
                   const std::vector<double> &Y)
{
    SCOPED_TRACE(std::string(Texto) + (Opciones ? " (host settings)" : "") +
                 (YDe.Columna ? "" : ", y = " + std::to_string(YDe.Numero)) + ", " + std::to_string(X.size()) + " rows");
    const int32_t N = static_cast<int32_t>(X.size());
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    Host.Instalar(&Estado);
    Formula P(A_Preparar(&Estado, Texto, nullptr));
    ASSERT_NE(P.F, nullptr);
    A_Opciones(P.F, Opciones);
    A_VincularFuncion(P.F, "n", 1, reinterpret_cast<FORMULA_NATIVA>(Ene));
    A_VincularFuncion(P.F, "m", 2, reinterpret_cast<FORMULA_NATIVA>(Eme));

    A_VincularColumna(P.F, "x", X.data());
    if (YDe.Columna)
        A_VincularColumna(P.F, "y", Y.data());
    else
        A_Vincular(P.F, "y", &YDe.Numero);
    Host.Peticiones.clear();
    std::vector<double> Valores(X.size());
    std::vector<int32_t> Errores(X.size(), -1), Posiciones(X.size(), -1);
    const int32_t Fallidas = A_EvaluarFilas(P.F, &Estado, N, Valores.data(), Errores.data(), Posiciones.data());
    const std::vector<std::string> EnFilas = Host.Orden();

    Host.Peticiones.clear();
    int32_t Esperadas = 0;
    for (int32_t i = 0; i < N; ++i) {
        A_Vincular(P.F, "x", &X[i]);
        A_Vincular(P.F, "y", YDe.Columna ? &Y[i] : &YDe.Numero);
        const BLOQUEDEDATOS R = A_Evaluar(P.F, &Estado);
        Esperadas += R.Error != 0;
        const bool Numero = R.Error == 0 && (R.Tipo & TIPO_NUMERO);
        ASSERT_EQ(Errores[i], R.Error) << "row " << i;
        ASSERT_EQ(Posiciones[i], R.Posicion) << "row " << i;
        if (Numero)
            ASSERT_EQ(Bits(Valores[i]), Bits(R.Numero)) << "row " << i << ": " << Valores[i] << " " << R.Numero;
        else
            ASSERT_TRUE(std::isnan(Valores[i])) << "row " << i;
    }
    EXPECT_EQ(Fallidas, Esperadas);
    EXPECT_EQ(EnFilas, Host.Orden());
}

TEST(Filas, EachRowAsOneEvaluationWithItsNumbers)
{
    const char *const TEXTOS[] = {
        "x*2+1", "x*x*x+2*x*x-3*x+7", "(x>3)*(x-3)", "(x+1)*(x-1)/2^2", "x/y", "1/(x-2)", "x^y", "y^2+x^0,5",
        "-x+y*3-1", "x=y", "x<>y", "x<=y", "x>=y", "x<y", "--x*-y", "3", "x",
        "f(x)+1",      // a function: every row asks for it
        "n(x)+1", "m(x; y)*n(y)-n(m(2; x))", // bound to C code: the rows in blocks
        "n(x*-y)+m(-x*y; x)",   // two not-a-numbers of other signs into the code's argument
        "n(x)+z", "n(x+\"a\")", // asked and failing with a call bound
        "x+z*y",       // an unbound variable: every row asks for it
        "x+\"a\"", "\"a\"+x", // texts: every row fails
        "(x+y", "x+)", // syntax after the names
    };
    HostDePrueba Host;
    Host.Variables["z"] = Pruebas::Numero(4);
    Host.Funciones["f"] = HostDePrueba::Suma;
    const std::vector<double> X = Columna(1, 613), Y = Columna(2.5, 613), Liso = Columna(1, 613, false);
    // y one number that divides, and 0, which sends every block of x/y row by row.
    const DeY YS[] = {{true, 0}, {false, 0.5}, {false, 0}};
    for (const char *Texto : TEXTOS)
        for (int32_t Opciones : {0, static_cast<int32_t>(FORMULA_AJUSTES_DEL_ANFITRION)})
            for (const DeY &YDe : YS)
                for (const std::vector<double> *Xs : {&X, &Liso}) // the rows in blocks with Liso
                    CompararFilas(Host, Texto, Opciones, YDe, *Xs, Y);
}

// Enough rows for a form's own machine code (an odd count: the last row alone), a deep
// form's too, and under the host's settings one that calls C code.
TEST(Filas, ManyRowsOfALightForm)
{
    const char *const TEXTOS[] = {
        "x*2+1", "x*x*x+2*x*x-3*x+7", "(x>3)*(x-3)", "1/(x-2)", "x/y", "-x+y*3-1", "x<>y", "x>=y", "n(x)+1",
        "x+(y+(x+(y+(x+(y+(x+(y+(x+(y+(x+(y+(x+(y*x/3)))))))))))))", // 15 slots
        "m(x; y)*n(y)-n(m(2; x))+x*y", // calls nested, their values and a column live across them
        "x*y+3*x*y", "x*x-3*x*y",      // a slot plus or minus a constant's product of two
    };
    HostDePrueba Host;
    const std::vector<double> X = Columna(1, 65537), Y = Columna(2.5, 65537);
    const DeY YS[] = {{true, 0}, {false, 0.5}};
    for (const char *Texto : TEXTOS) {
        for (const DeY &YDe : YS)
            CompararFilas(Host, Texto, FORMULA_AJUSTES_DEL_ANFITRION, YDe, X, Y);
        // Every text is well formed: rows that all failed alike would prove nothing.
        ESTADODEANALISIS Estado;
        A_Inicializar(&Estado);
        Formula P(A_Preparar(&Estado, Texto, nullptr));
        const double Tres = 3;
        A_Vincular(P.F, "x", &Tres);
        A_Vincular(P.F, "y", &Tres);
        A_VincularFuncion(P.F, "n", 1, reinterpret_cast<FORMULA_NATIVA>(Ene));
        A_VincularFuncion(P.F, "m", 2, reinterpret_cast<FORMULA_NATIVA>(Eme));
        EXPECT_EQ(A_Evaluar(P.F, &Estado).Error, 0) << Texto;
    }
    CompararFilas(Host, "x*2+1", 0, YS[0], X, Y);
}

TEST(Filas, ValuesCodesAndPositions)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    const double X[] = {1, 2, 3, 2.5};
    const struct {
        const char *Texto;
        double Valores[4];
        int32_t Errores[4], Posiciones[4];
    } CASOS[] = {
        {"x*2+1", {3, 5, 7, 6}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"(x>2)*(x-2)", {0, 0, 1, 0.5}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"1/(x-2)", {-1, NAN, 1, 2}, {0, E_DIVISION, 0, 0}, {0, 8, 0, 0}},
    };
    for (const auto &C : CASOS) {
        SCOPED_TRACE(C.Texto);
        Formula P(A_Preparar(&Estado, C.Texto, nullptr));
        A_VincularColumna(P.F, "x", X);
        double Valores[4];
        int32_t Errores[4], Posiciones[4];
        A_EvaluarFilas(P.F, &Estado, 4, Valores, Errores, Posiciones);
        for (int i = 0; i < 4; ++i) {
            if (std::isnan(C.Valores[i]))
                EXPECT_TRUE(std::isnan(Valores[i]));
            else
                EXPECT_EQ(Valores[i], C.Valores[i]) << "row " << i;
            EXPECT_EQ(Errores[i], C.Errores[i]) << "row " << i;
            EXPECT_EQ(Posiciones[i], C.Posiciones[i]) << "row " << i;
        }
    }
}

TEST(Filas, NullFormNoRowsAndOptionalArrays)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    double Valores[3] = {1, 1, 1};
    int32_t Errores[3], Posiciones[3] = {9, 9, 9};
    EXPECT_EQ(A_EvaluarFilas(nullptr, &Estado, 3, Valores, Errores, Posiciones), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isnan(Valores[i]));
        EXPECT_EQ(Errores[i], E_OPERANDO);
        EXPECT_EQ(Posiciones[i], 0);
    }
    Formula P(A_Preparar(&Estado, "x+1", nullptr));
    const double X[] = {1, 2, 3};
    A_VincularColumna(P.F, "x", X);
    EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 0, Valores, Errores, Posiciones), 0);
    EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, -5, Valores, Errores, Posiciones), 0);
    EXPECT_TRUE(std::isnan(Valores[0])); // nothing written
    EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 3, Valores, nullptr, nullptr), 0);
    EXPECT_EQ(Valores[2], 4);
    // A text value is no number: NaN, and no error.
    Formula T(A_Preparar(&Estado, "\"a\"", nullptr));
    EXPECT_EQ(A_EvaluarFilas(T.F, &Estado, 1, Valores, Errores, nullptr), 0);
    EXPECT_TRUE(std::isnan(Valores[0]));
    EXPECT_EQ(Errores[0], 0);
}

// A variable bound to one number is read there in every row, never past it; the last
// binding of a name, with either call, decides whether it is a column. Both paths: the
// steps in blocks, and row by row where z is asked (it answers 4).
TEST(Filas, ColumnOrOneNumberByTheLastBinding)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(4);
    Host.Variables["z"] = Pruebas::Numero(4);
    Host.Instalar(&Estado);
    enum Vinculo { NUMERO, COLUMNA, NINGUNO };
    const struct {
        const char *Caso;
        Vinculo Antes, Despues;
        double Esperado[3];
    } CASOS[] = {
        {"a number, then a column", NUMERO, COLUMNA, {2, 3, 4}},
        {"a column, then a number", COLUMNA, NUMERO, {11, 11, 11}},
        {"a column, then unbound: asked", COLUMNA, NINGUNO, {5, 5, 5}},
        {"unbound, then a column", NINGUNO, COLUMNA, {2, 3, 4}},
    };
    const double X[] = {1, 2, 3};
    const double K = 10;
    const auto Vincular = [&](FORMULAPREPARADA *F, Vinculo V) {
        if (V == NUMERO)
            return A_Vincular(F, "x", &K);
        if (V == COLUMNA)
            return A_VincularColumna(F, "x", X);
        return A_VincularColumna(F, "x", nullptr);
    };
    for (const char *Texto : {"x+1", "x+z-3"})
        for (const auto &C : CASOS) {
            SCOPED_TRACE(std::string(Texto) + ": " + C.Caso);
            Formula P(A_Preparar(&Estado, Texto, nullptr));
            EXPECT_EQ(Vincular(P.F, C.Antes), 1);
            EXPECT_EQ(Vincular(P.F, C.Despues), 1);
            double Valores[3];
            EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 3, Valores, nullptr, nullptr), 0);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(Valores[i], C.Esperado[i]) << "row " << i;
            EXPECT_EQ(A_Evaluar(P.F, &Estado).Numero, C.Esperado[0]); // a column's first row
        }
    // A number bound where a column starts is still one number.
    for (const char *Texto : {"x+k", "x+k+z-4"}) {
        SCOPED_TRACE(Texto);
        Formula P(A_Preparar(&Estado, Texto, nullptr));
        A_VincularColumna(P.F, "x", X);
        A_Vincular(P.F, "k", X);
        double Valores[3];
        EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 3, Valores, nullptr, nullptr), 0);
        EXPECT_EQ(Valores[0], 2);
        EXPECT_EQ(Valores[1], 3);
        EXPECT_EQ(Valores[2], 4);
    }
    Formula P(A_Preparar(&Estado, "x*2+x", nullptr));
    EXPECT_EQ(A_VincularColumna(P.F, "x", X), 2); // what A_Vincular returns
    EXPECT_EQ(A_VincularColumna(P.F, "y", X), 0);
    EXPECT_EQ(A_VincularColumna(nullptr, "x", X), 0);
    EXPECT_EQ(A_VincularColumna(P.F, nullptr, X), 0);
}

// Many rows over a variable bound to one number: that number in every row, read where the
// host keeps it and nowhere after it (the address sanitizer sees any row read past it).
TEST(Filas, OneNumberForEveryRow)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["z"] = Pruebas::Numero(0);
    Host.Instalar(&Estado);
    constexpr int32_t N = 1000;
    const struct {
        const char *Texto;
        double Esperado;
    } CASOS[] = {
        {"k*2+1", 8},       // the steps in blocks
        {"k*2+1+z", 8},     // row by row: z is asked
        {"k", 3.5},         // the bound number is the value
        {"k*k-k*0,5", 10.5} // two uses of it in one step
    };
    for (const auto &C : CASOS) {
        SCOPED_TRACE(C.Texto);
        Formula P(A_Preparar(&Estado, C.Texto, nullptr));
        const auto K = std::make_unique<double>(3.5); // alone on the heap: a row past it is caught
        ASSERT_GT(A_Vincular(P.F, "k", K.get()), 0);
        std::vector<double> Valores(N);
        std::vector<int32_t> Errores(N, -1);
        EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, N, Valores.data(), Errores.data(), nullptr), 0);
        for (int32_t i = 0; i < N; ++i) {
            ASSERT_EQ(Valores[i], C.Esperado) << "row " << i;
            ASSERT_EQ(Errores[i], 0) << "row " << i;
        }
    }
}

} // namespace
