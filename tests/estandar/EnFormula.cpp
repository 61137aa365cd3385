// The standard library inside a prepared form (A_VincularEstandar): each function of numbers
// and constant, bound, gives the bits, codes and positions the handler gives through
// requests, over values the functions treat apart, by every way of evaluating a form, with
// and without the host's floating-point settings; and the C entry points' NULLs.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "FormulaEstandar.h"
#include "HostDePrueba.h"

namespace {

// The analysis's host: x and y from the row, every other name from the standard library.
double X, Y;
int PeticionesDeFunciones;

void EVALION_CONV PedirVariable(char *Nombre, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Nombre, "x") == 0 || std::strcmp(Nombre, "y") == 0) {
        R->Numero = Nombre[0] == 'x' ? X : Y;
        R->Tipo = TIPO_NUMERO;
    } else if (!A_EstandarVariable(Nombre, R)) {
        R->Error = E_VARIABLE;
    }
}

void EVALION_CONV PedirFuncion(char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    ++PeticionesDeFunciones;
    if (!A_EstandarFuncion(Nombre, Parametros, N, R))
        R->Error = E_FUNCION;
}

using Pruebas::Bits;
using Pruebas::DeBits;

const double INF = std::numeric_limits<double>::infinity();
#if defined(__x86_64__) || defined(_M_X64)
constexpr bool SI_EN_FORMA = true; // si's code, where a double comes back whole
#else
constexpr bool SI_EN_FORMA = false;
#endif
const double VALORES[] = {0,    -0.0, -1,       -2.5, 0.5,  1,   2.675, 1e308, -1e308, 9007199254740993.0,
                          1e-310, INF, -INF, DeBits(0x7FF8000000000005), DeBits(0xFFF8000000000009), 3, -7,
                          DeBits(0x7FF0000000000003)};

// Every function of numbers with each count it takes up to 4, the constants, and texts that
// mix them with the engine's arithmetic.
const char *const TEXTOS[] = {
    "Abs(x)", "Signo(x)", "Raiz(x)", "Exp(x)", "Ln(x)", "Log(x)", "Seno(x)", "Coseno(x)", "Tangente(x)",
    "ArcoSeno(x)", "ArcoCoseno(x)", "ArcoTangente(x)", "Truncar(x)", "Entero(x)", "Techo(x)", "No(x)",
    "Redondear(x)", "Redondear(x;y)", "Resto(x;y)", "Max(x)", "Max(x;y)", "Max(x;y;-x)", "Max(y;x;1;x)",
    "Min(x;y)", "Min(x;y;-x;y)", "Suma(x;y)", "Suma(x;y;x)", "Suma(x;y;x;y)", "Promedio(x)", "Promedio(x;y)",
    "Promedio(x;y;x;y)", "Y(x;y)", "Y(x;y;1)", "O(x)", "O(x;y;0;0)", "Pi*x", "x-E", "RAIZ(Abs(x)*y)+pi",
    "si(x;y;-x)", "si(x>y;x;y)*2", "si(x;Raiz(x);Abs(y))-1",
};

// What the analysis gives for one row.
BLOQUEDEDATOS Analizar(ESTADODEANALISIS &Estado, const char *Texto, double x, double y)
{
    X = x;
    Y = y;
    return A_Analizar(&Estado, Texto);
}

void Comparar(const BLOQUEDEDATOS &A, const BLOQUEDEDATOS &B, const char *Como)
{
    SCOPED_TRACE(Como);
    ASSERT_EQ(A.Error, B.Error);
    EXPECT_EQ(A.Posicion, B.Posicion);
    if (A.Error == 0) {
        EXPECT_EQ(A.Tipo, B.Tipo);
        EXPECT_EQ(Bits(A.Numero), Bits(B.Numero));
    }
}

// Each text, bound, against the analysis on every pair of values, by A_Evaluar,
// A_EvaluarNumero, A_ValorEnLinea and A_EvaluarFilas (the pairs again and again, enough rows
// for the form's own code across rows), with the form's Opciones.
void CompararTodo(int32_t Opciones)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);
    std::vector<double> ColX, ColY;
    for (double a : VALORES)
        for (double b : VALORES) {
            ColX.push_back(a);
            ColY.push_back(b);
        }
    const int32_t Filas = static_cast<int32_t>(ColX.size());
    for (const char *Texto : TEXTOS) {
        SCOPED_TRACE(Texto);
        FORMULAPREPARADA *F = A_Preparar(&Estado, Texto, nullptr);
        ASSERT_NE(F, nullptr);
        ASSERT_GT(A_VincularEstandar(F, nullptr, nullptr), 0);
        A_Opciones(F, Opciones);
        double x = 0, y = 0;
        A_Vincular(F, "x", &x);
        A_Vincular(F, "y", &y);
        std::vector<BLOQUEDEDATOS> Esperados;
        PeticionesDeFunciones = 0;
        for (int32_t i = 0; i < Filas; ++i) {
            x = ColX[i];
            y = ColY[i];
            const BLOQUEDEDATOS E = Analizar(Estado, Texto, x, y);
            Esperados.push_back(E);
            const int Pedidas = PeticionesDeFunciones;
            Comparar(E, A_Evaluar(F, &Estado), "A_Evaluar");
            double Numero;
            const int32_t Codigo = A_EvaluarNumero(F, &Estado, &Numero);
            EXPECT_EQ(Codigo, E.Error);
            const double Valor = A_ValorEnLinea(F);
            if (E.Error == 0) {
                EXPECT_EQ(Bits(Numero), Bits(E.Numero)) << "A_EvaluarNumero " << x << ", " << y;
                EXPECT_EQ(Bits(Valor), Bits(E.Numero)) << "A_ValorEnLinea " << x << ", " << y;
            }
            EXPECT_EQ(PeticionesDeFunciones, Pedidas) << "the bound form asked for a function";
        }
        for (const int32_t N : {Filas, 70000}) {
            std::vector<double> Xs(N), Ys(N), Valores(N);
            std::vector<int32_t> Errores(N), Posiciones(N);
            for (int32_t i = 0; i < N; ++i) {
                Xs[i] = ColX[i % Filas];
                Ys[i] = ColY[i % Filas];
            }
            A_VincularColumna(F, "x", Xs.data());
            A_VincularColumna(F, "y", Ys.data());
            A_EvaluarFilas(F, &Estado, N, Valores.data(), Errores.data(), Posiciones.data());
            for (int32_t i = 0; i < N; ++i) {
                const BLOQUEDEDATOS &E = Esperados[i % Filas];
                ASSERT_EQ(Errores[i], E.Error) << "row " << i << " of " << N;
                if (E.Error == 0) {
                    ASSERT_EQ(Bits(Valores[i]), Bits(E.Numero)) << "row " << i << " of " << N;
                }
            }
        }
        A_Liberar(F);
    }
}

TEST(EstandarEnFormula, SameBitsAsTheHandler)
{
    CompararTodo(0);
    CompararTodo(FORMULA_AJUSTES_DEL_ANFITRION);
}

// A host that rounds upward: the bound functions compute under the settings the handler
// uses, whatever the host's (the texts' own arithmetic is the form's option, not theirs).
TEST(EstandarEnFormula, HostRoundingUpward)
{
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    CompararTodo(0);
    std::fesetround(FE_TONEAREST);
}

// What stays on the request path, and what is bound, by the C entry points; a text argument
// and a wrong count fail as the handler makes them fail, at the same position.
TEST(EstandarEnFormula, WhatIsBound)
{
    struct Fila {
        const char *Nombre;
        int32_t Argumentos;
        bool Nativa;
    };
    const Fila FILAS[] = {{"Raiz", 1, true}, {"rAIZ", 1, true}, {"Raiz", 2, false}, {"Raiz", 0, false},
                          {"Max", 4, true},  {"Max", 5, false}, {"Resto", 1, false}, {"Redondear", 2, true},
                          {"si", 3, false},  {"Texto", 1, false}, {"Longitud", 1, false}, {"Valor", 1, false},
                          {"Tau", 1, false}, {nullptr, 1, false}};
    for (const Fila &F : FILAS) {
        SCOPED_TRACE(F.Nombre ? F.Nombre : "NULL");
        EXPECT_EQ(A_EstandarNativa(F.Nombre, F.Argumentos) != nullptr, F.Nativa) << F.Argumentos;
    }
    // The marks of a binding, and si's code, which only a binding that leaves texts to the
    // host gets (on x86-64).
    const struct {
        const char *Nombre;
        int32_t Argumentos, Marcas;
    } MARCAS[] = {{"RAIZ", 1, FORMULA_ES_RAIZ}, {"abs", 1, FORMULA_ES_ABS}, {"Raiz", 2, 0}, {"Exp", 1, 0},
                  {"Si", 3, SI_EN_FORMA ? FORMULA_ES_SI | FORMULA_TEXTO_AL_ANFITRION : 0}, {"si", 2, 0}, {nullptr, 1, 0}};
    for (const auto &M : MARCAS)
        EXPECT_EQ(A_EstandarMarcas(M.Nombre, M.Argumentos), M.Marcas) << (M.Nombre ? M.Nombre : "NULL");
    EXPECT_EQ(A_EstandarNativa("si", 3 | ESTANDAR_CON_TEXTOS) != nullptr, SI_EN_FORMA);
    EXPECT_EQ(A_EstandarNativa("si", 2 | ESTANDAR_CON_TEXTOS), nullptr);
    ASSERT_NE(A_EstandarConstante("PI"), nullptr);
    EXPECT_EQ(*A_EstandarConstante("PI"), 3.141592653589793);
    EXPECT_EQ(*A_EstandarConstante("e"), 2.718281828459045);
    EXPECT_EQ(A_EstandarConstante("Tau"), nullptr);
    EXPECT_EQ(A_EstandarConstante(nullptr), nullptr);

    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);
    for (const char *Texto : {"1+Raiz(\"4\")", "Max(1;\"a\";3)", "Raiz(4;1)+1", "Resto(1)", "Max(1;2;3;4;5)*Pi",
                              "Longitud(\"ab\")+Raiz(4)", "si(x;Pi;E)", "si(x;\"a\";2)", "si(\"a\";1;2)+1",
                              "si(x;Texto(x);1)"}) {
        SCOPED_TRACE(Texto);
        const BLOQUEDEDATOS E = Analizar(Estado, Texto, 1, 0);
        FORMULAPREPARADA *F = A_Preparar(&Estado, Texto, nullptr);
        ASSERT_NE(F, nullptr);
        A_VincularEstandar(F, nullptr, nullptr);
        Comparar(E, A_Evaluar(F, &Estado), "A_Evaluar");
        A_Liberar(F);
    }
}

// The host's own names are skipped: here every variable, so Pi stays a request.
int32_t Variables(void *Datos, const char *, int32_t Argumentos)
{
    ++*static_cast<int *>(Datos);
    return Argumentos < 0;
}

TEST(EstandarEnFormula, HostNamesWin)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    FORMULAPREPARADA *F = A_Preparar(&Estado, "Raiz(Pi)+Abs(y)+f(1)", nullptr);
    ASSERT_NE(F, nullptr);
    int Preguntas = 0;
    EXPECT_EQ(A_VincularEstandar(F, Variables, &Preguntas), 2); // Raiz/1 and Abs/1
    EXPECT_EQ(Preguntas, 3);                                     // Pi, Raiz, Abs: f is no standard name
    A_Liberar(F);
    F = A_Preparar(&Estado, "Raiz(Pi)+Abs(y)", nullptr);
    double Propio = 4, y = -1;
    A_Vincular(F, "Pi", &Propio);
    A_Vincular(F, "y", &y);
    A_VincularEstandar(F, Variables, &Preguntas);
    EXPECT_EQ(A_Valor(F), 3.0); // Raiz(4) + Abs(-1): the host's Pi
    EXPECT_EQ(A_VincularEstandar(nullptr, nullptr, nullptr), 0);
    A_Liberar(F);
}

} // namespace
