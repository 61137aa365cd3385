// The fast ways of a prepared form (the steps, its machine code, rows in blocks and in code)
// against the analysis on the inputs that tell them apart, and a form changed or released by
// the code its own evaluation runs.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>
#if !defined(__GLIBC__) && defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "FormulaDePrueba.h"
#include "HostDePrueba.h"

namespace {

using Pruebas::Bits;
using Pruebas::DeBits;
using Pruebas::Formula;
const double NAN_A = DeBits(0x7FF8000000000005), NAN_B = DeBits(0xFFF8000000000009), NAN_S = DeBits(0x7FF0000000000003);

// The invalid operation's trap unmasked, or masked again: glibc's call, elsewhere (64-bit
// Windows) MXCSR's mask itself.
void TrampaInvalida(bool Activa)
{
#if defined(__GLIBC__)
    Activa ? feenableexcept(FE_INVALID) : fedisableexcept(FE_INVALID);
#elif defined(__x86_64__)
    _mm_setcsr(Activa ? _mm_getcsr() & ~_MM_MASK_INVALID : _mm_getcsr() | _MM_MASK_INVALID);
#else
    (void)Activa;
#endif
}

// Rows enough for each way across rows: one block, several, the form's own code.
constexpr int32_t FILAS[] = {5, 1500, 70000};
constexpr int32_t OPCIONES[] = {0, FORMULA_AJUSTES_DEL_ANFITRION};

// What one way gave for x and y, to compare with the analysis: the code, and the number's
// bits (any NaN where the block is no number).
struct Respuesta {
    int32_t Error;
    uint64_t Numero;
    bool operator==(const Respuesta &o) const { return Error == o.Error && Numero == o.Numero; }
};
std::ostream &operator<<(std::ostream &o, const Respuesta &R) { return o << "error " << R.Error << " bits " << std::hex << R.Numero << std::dec; }
Respuesta DeBloque(const BLOQUEDEDATOS &B) { return {B.Error, B.Error == 0 ? Bits(B.Numero) : 0}; }

// Every entry of Texto's form, x and y bound, each option, against A_Analizar with a host
// that answers x and y: A_Evaluar, A_EvaluarNumero, A_Valor and the rows (x and y columns
// holding those numbers in every row). Funcion, when given, is bound to f of one argument
// and is the analysis host's f too.
void ComoElAnalisis(const char *Texto, double x, double y, double (*Funcion)(double) = nullptr)
{
    SCOPED_TRACE(std::string(Texto) + " x " + std::to_string(x) + " y " + std::to_string(y));
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    Pruebas::HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(x);
    Host.Variables["y"] = Pruebas::Numero(y);
    if (Funcion != nullptr)
        Host.Funciones["f"] = [Funcion](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) {
            R = Pruebas::Numero(Funcion(P[0].Numero));
        };
    Host.Instalar(&Estado);
    const Respuesta Esperada = DeBloque(A_Analizar(&Estado, Texto));
    for (int32_t Opcion : OPCIONES) {
        SCOPED_TRACE("option " + std::to_string(Opcion));
        Formula P(A_Preparar(&Estado, Texto, nullptr));
        ASSERT_NE(P.F, nullptr);
        A_Vincular(P.F, "x", &x);
        A_Vincular(P.F, "y", &y);
        if (Funcion != nullptr)
            A_VincularFuncion(P.F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(Funcion));
        A_Opciones(P.F, Opcion);
        EXPECT_EQ(DeBloque(A_Evaluar(P.F, &Estado)), Esperada) << "A_Evaluar";
        double Numero;
        const int32_t Codigo = A_EvaluarNumero(P.F, &Estado, &Numero);
        EXPECT_EQ((Respuesta{Codigo, Codigo == 0 ? Bits(Numero) : 0}), Esperada) << "A_EvaluarNumero";
        const double Valor = A_ValorEnLinea(P.F);
        EXPECT_EQ(Bits(Valor), Esperada.Error == 0 ? Esperada.Numero : Bits(Valor)) << "A_Valor";
        for (int32_t N : FILAS) {
            std::vector<double> X(N, x), Y(N, y), Valores(N);
            std::vector<int32_t> Errores(N);
            A_VincularColumna(P.F, "x", X.data());
            A_VincularColumna(P.F, "y", Y.data());
            A_EvaluarFilas(P.F, &Estado, N, Valores.data(), Errores.data(), nullptr);
            for (int32_t i : {0, N / 2, N - 1})
                EXPECT_EQ((Respuesta{Errores[i], Errores[i] == 0 ? Bits(Valores[i]) : 0}), Esperada)
                    << N << " rows, row " << i;
            A_Vincular(P.F, "x", &x);
            A_Vincular(P.F, "y", &y);
        }
    }
}

// Divisors whose inverse overflows, and two not-a-numbers meeting in every operation and in
// the fused ones: the left operand's bits, quieted, on every way.
TEST(Caminos, EveryWayKeepsTheAnalysisBits)
{
    const char *const TEXTOS[] = {"x/2^-1074", "x/2^-1030", "(x+1)/2^-1060*2", "x/2^-1022+y/2^-1074",
                                  "x+y", "x-y", "x*y", "x/y", "y+x", "y*x", "2*x*y", "x*y+1", "1-x*y",
                                  "x+x*y", "x-2*x*y", "-x", "-(x*y)", "x*2+y*3"};
    const double PARES[][2] = {{3, 0.5}, {NAN_A, NAN_B}, {NAN_B, NAN_A}, {NAN_S, NAN_A}, {NAN_A, NAN_S}, {1, NAN_B}};
    for (const char *Texto : TEXTOS)
        for (const auto &Par : PARES)
            ComoElAnalisis(Texto, Par[0], Par[1]);
}

// Powers: the machine code computes x^2, x^3, x^-1 and x^0,5 itself where the result is
// surely pow's, and calls pow elsewhere. The inputs: the ends of the range, not-a-numbers,
// and numbers whose product, quotient or root is not pow's double (found with pow), mixed
// with easy ones, so that across rows a pair goes to pow for one of its rows; every row of
// every way against the analysis of that row.
std::vector<double> EntradasDePotencias()
{
    std::vector<double> V = {0.0, -0.0, 1.0, -1.0, 2.0, 0.5, -3.0, 3.25, 1e300, 1e-300, 0x1p-1074, 0x1p-1022,
                             0x1p-540, 0x1p511, 0x1p512, 0x1.fffffffffffffp1023, 94906267.0, INFINITY, -INFINITY,
                             NAN_A, NAN_S, 7.0, 1.5e10};
    volatile double Exponentes[] = {2, 3, -1, 0.5};
    int Halladas[4] = {};
    uint64_t s = 1;
    for (int i = 0; i < 4000000; ++i) {
        s = s * 6364136223846793005u + 1442695040888963407u;
        const double x = DeBits((s >> 12) | 0x3FF0000000000000u) * (i % 3 == 0 ? 1e8 : 1.0);
        const double Ingenuos[] = {x * x, x * x * x, 1 / x, std::sqrt(x)};
        for (int k = 0; k < 4; ++k)
            if (Halladas[k] < 3 && Bits(std::pow(x, Exponentes[k])) != Bits(Ingenuos[k])) {
                ++Halladas[k];
                V.push_back(x);
                V.push_back(1.25); // its pair's other row goes to pow with it
            }
    }
    // (Another C library's pow, which the code calls for every power, may give the product's
    // double where glibc's does not.)
#if defined(__GLIBC__)
    EXPECT_EQ(Halladas[0] + Halladas[1] + Halladas[2] + Halladas[3], 12);
#endif
    return V;
}

TEST(Caminos, PowersArePowsDouble)
{
    const char *const TEXTOS[] = {"x^2", "x^3", "x^-1", "x^0,5", "x^y", "-x^2+1", "(x+1)^2*y", "2^x",
                                  "x^2+x^3-x^-1*x^0,5", "(x*y)^3/y", "x^0,5^2"};
    const std::vector<double> X = EntradasDePotencias();
    const double YS[] = {0.5, -2, 3};
    const int32_t N = 70000;
    std::vector<double> Xs(N), Ys(N), Valores(N);
    std::vector<int32_t> Errores(N);
    for (int32_t i = 0; i < N; ++i) {
        Xs[i] = X[i % X.size()];
        Ys[i] = YS[i % 3];
    }
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    Pruebas::HostDePrueba Host;
    Host.Instalar(&Estado);
    for (const char *Texto : TEXTOS) {
        SCOPED_TRACE(Texto);
        // The analysis of each distinct row (X.size() * 3 of them, as the columns repeat).
        const size_t Distintas = X.size() * 3;
        std::vector<Respuesta> Esperadas(Distintas);
        for (size_t i = 0; i < Distintas; ++i) {
            Host.Variables["x"] = Pruebas::Numero(Xs[i]);
            Host.Variables["y"] = Pruebas::Numero(Ys[i]);
            Esperadas[i] = DeBloque(A_Analizar(&Estado, Texto));
        }
        for (int32_t Opcion : OPCIONES) {
            Formula P(A_Preparar(&Estado, Texto, nullptr));
            ASSERT_NE(P.F, nullptr);
            A_Opciones(P.F, Opcion);
            for (size_t i = 0; i < Distintas; ++i) {
                A_Vincular(P.F, "x", &Xs[i]);
                A_Vincular(P.F, "y", &Ys[i]);
                double Numero;
                const int32_t Codigo = A_EvaluarNumero(P.F, &Estado, &Numero);
                ASSERT_EQ((Respuesta{Codigo, Codigo == 0 ? Bits(Numero) : 0}), Esperadas[i]) << "row " << i;
                ASSERT_EQ(DeBloque(A_Evaluar(P.F, &Estado)), Esperadas[i]) << "row " << i;
                if (Codigo == 0) {
                    ASSERT_EQ(Bits(A_ValorEnLinea(P.F)), Esperadas[i].Numero) << "row " << i;
                }
            }
            A_VincularColumna(P.F, "x", Xs.data());
            A_VincularColumna(P.F, "y", Ys.data());
            A_EvaluarFilas(P.F, &Estado, N, Valores.data(), Errores.data(), nullptr);
            for (int32_t i = 0; i < N; ++i)
                ASSERT_EQ((Respuesta{Errores[i], Errores[i] == 0 ? Bits(Valores[i]) : 0}), Esperadas[i % Distintas])
                    << "option " << Opcion << ", row " << i << " of the rows";
        }
    }
}

// A bound function sees exactly the calls the text makes, whichever way finishes the
// evaluation: not again where a zero divisor or a not-a-number sends it to a slower way,
// and none the text never reaches.
int Llamadas;
double Contada(double a)
{
    ++Llamadas;
    return a > 1 ? std::nan("") : a + 1;
}

TEST(Caminos, BoundFunctionCalledOncePerCall)
{
    const struct {
        const char *Texto;
        double x, y;
        int Veces; // calls of one evaluation (a row)
    } CASOS[] = {
        {"f(x)/y", 2, 0, 1},        // NaN value, zero divisor
        {"f(x)/y", 2, 1, 1},        // NaN value
        {"f(x)/y", 0.5, 0, 1},      // zero divisor after the call
        {"1/y+f(x)", 0.5, 0, 0},    // zero divisor before it
        {"f(x)+f(y)/y", 0.5, 0, 2}, // the second call before the division
        {"f(x)*2+f(f(x))", 3, 1, 3},
    };
    for (const auto &C : CASOS) {
        Llamadas = 0;
        ComoElAnalisis(C.Texto, C.x, C.y, Contada);
        // The analysis, then per option: A_Evaluar, A_EvaluarNumero, A_Valor and the rows.
        int Filas = 0;
        for (int32_t N : FILAS)
            Filas += N;
        EXPECT_EQ(Llamadas, C.Veces * (1 + 2 * (3 + Filas))) << C.Texto << " x " << C.x << " y " << C.y;
    }
}

// A signaling not-a-number with the invalid operation's trap unmasked, as Pascal programs
// run: every way gives the analysis's NaN, none traps (no option: the engine's settings
// where it computes, nothing that raises where it only moves numbers); under the host's
// settings (the option) none raises the flag where the steps do not.
TEST(Caminos, SignalingNaNNeitherTrapsNorRaises)
{
    for (const char *Texto : {"x", "-x", "x+1", "-x*2", "x>1"}) {
        SCOPED_TRACE(Texto);
        ESTADODEANALISIS Estado;
        A_Inicializar(&Estado);
        double x = NAN_S;
        for (int32_t N : FILAS) {
            Formula P(A_Preparar(&Estado, Texto, nullptr));
            std::vector<double> X(N, NAN_S), Valores(N);
            A_VincularColumna(P.F, "x", X.data());
            TrampaInvalida(true);
            A_EvaluarFilas(P.F, &Estado, N, Valores.data(), nullptr, nullptr);
            const BLOQUEDEDATOS R = A_Evaluar(P.F, &Estado);
            TrampaInvalida(false);
            EXPECT_EQ(Bits(Valores[N - 1]), Bits(R.Numero));
            if (std::strchr(Texto, '*') != nullptr || std::strchr(Texto, '+') != nullptr || std::strchr(Texto, '>'))
                continue; // arithmetic raises the flag, as the analysis
            A_Vincular(P.F, "x", &x);
            A_Opciones(P.F, FORMULA_AJUSTES_DEL_ANFITRION);
            double Numero;
            std::feclearexcept(FE_ALL_EXCEPT);
            A_Evaluar(P.F, &Estado);
            A_EvaluarNumero(P.F, &Estado, &Numero);
            A_ValorEnLinea(P.F);
            A_VincularColumna(P.F, "x", X.data());
            A_EvaluarFilas(P.F, &Estado, N, Valores.data(), nullptr, nullptr);
            EXPECT_FALSE(std::fetestexcept(FE_INVALID)) << N << " rows";
        }
    }
}

// Rows whose answers are written over their own inputs: each row reads what its column held
// when the call began. One row of a block the steps cannot give (a zero divisor, a NaN) and
// many rows (the form's own code) included; a NULL Valores still gives the codes; answers
// overlapping each other are refused, nothing written.
TEST(Caminos, RowsWrittenOverTheirInputs)
{
    enum Solape { EN_SU_SITIO, UNA_DESPUES, UNA_ANTES, ERRORES_SOBRE_X, SIN_VALORES };
    for (const char *Texto : {"1/x", "x*2+1", "f(x)/x"})
        for (int32_t Opcion : OPCIONES)
            for (int32_t N : FILAS)
                for (Solape S : {EN_SU_SITIO, UNA_DESPUES, UNA_ANTES, ERRORES_SOBRE_X, SIN_VALORES}) {
                    SCOPED_TRACE(std::string(Texto) + " " + std::to_string(N) + " rows, overlap " +
                                 std::to_string(S) + " option " + std::to_string(Opcion));
                    ESTADODEANALISIS Estado;
                    A_Inicializar(&Estado);
                    Formula P(A_Preparar(&Estado, Texto, nullptr));
                    A_VincularFuncion(P.F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(Contada));
                    A_Opciones(P.F, Opcion);
                    // x = 2, 0, 3, NaN, 4, ... in a buffer with a row to spare on each side.
                    std::vector<double> Memoria(N + 2), Original(N);
                    for (int32_t i = 0; i < N; ++i)
                        Original[i] = i == 1 ? 0 : i == 3 ? NAN_A : 2 + i % 7;
                    std::copy(Original.begin(), Original.end(), Memoria.begin() + 1);
                    double *X = Memoria.data() + 1;
                    A_VincularColumna(P.F, "x", X);
                    std::vector<double> Propios(N);
                    double *Valores = S == EN_SU_SITIO ? X : S == UNA_DESPUES ? X + 1 : S == UNA_ANTES ? X - 1
                                    : S == SIN_VALORES ? nullptr : Propios.data();
                    std::vector<int32_t> Propias(N, -1);
                    int32_t *Codigos = S == ERRORES_SOBRE_X ? reinterpret_cast<int32_t *>(X + N / 2) : Propias.data();
                    const int32_t Fallidas = A_EvaluarFilas(P.F, &Estado, N, Valores, Codigos, nullptr);
                    // Each row against one evaluation of its original number.
                    int32_t Esperadas = 0;
                    double Actual;
                    A_Vincular(P.F, "x", &Actual);
                    for (int32_t i = 0; i < N; ++i) {
                        Actual = Original[i];
                        const BLOQUEDEDATOS R = A_Evaluar(P.F, &Estado);
                        Esperadas += R.Error != 0;
                        if (Valores != nullptr && R.Error == 0) {
                            ASSERT_EQ(Bits(Valores[i]), Bits(R.Numero)) << "row " << i;
                        }
                        ASSERT_EQ(Codigos[i], R.Error) << "row " << i;
                    }
                    EXPECT_EQ(Fallidas, Esperadas);
                }
    // Answers over each other: refused, nothing written.
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    Formula P(A_Preparar(&Estado, "x+1", nullptr));
    double X[4] = {1, 2, 3, 4}, Valores[4] = {7, 7, 7, 7};
    int32_t Codigos[6] = {5, 5, 5, 5, 5, 5};
    A_VincularColumna(P.F, "x", X);
    EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 4, Valores, Codigos, Codigos + 2), FORMULA_SOLAPADAS);
    EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 4, reinterpret_cast<double *>(Codigos), Codigos, nullptr), FORMULA_SOLAPADAS);
    EXPECT_EQ(Valores[0], 7);
    EXPECT_EQ(Codigos[0], 5);
}

// A bound function, or a request, changes or releases the very form it runs for: the change
// is refused and the evaluation finishes on the form it began with (the analysis's answer);
// after it, the change is made; a release waits for the evaluation's end.
FORMULAPREPARADA *Corriendo;
int32_t Cambio; // what the change from inside answered
enum Que { NADA, VINCULAR, DESVINCULAR, CAMBIAR_OPCIONES, FUNCION, LIBERAR } Hacer;
double Cinco = 5;
void CambiarDesdeDentro()
{
    switch (Hacer) {
    case VINCULAR: Cambio = A_Vincular(Corriendo, "y", &Cinco); break;
    case DESVINCULAR: Cambio = A_Vincular(Corriendo, "y", nullptr); break;
    case CAMBIAR_OPCIONES: Cambio = A_Opciones(Corriendo, 0); break;
    case NADA: break;
    case FUNCION: Cambio = A_VincularFuncion(Corriendo, "f", 1, nullptr); break;
    case LIBERAR: A_Liberar(Corriendo); Cambio = FORMULA_EN_CURSO; break;
    }
}
double Cambiante(double a)
{
    CambiarDesdeDentro();
    return a * 3;
}

TEST(Caminos, FormChangedFromItsOwnEvaluation)
{
    double x = 2, y = 4;
    for (const char *Texto : {"f(x)/y+x*y", "z+f(x)*y"}) // f bound; z asked of the host
        for (Que Q : {VINCULAR, DESVINCULAR, CAMBIAR_OPCIONES, FUNCION, LIBERAR})
            for (int Camino = 0; Camino < 4; ++Camino) { // A_Evaluar, A_EvaluarNumero, A_Valor, rows
                SCOPED_TRACE(std::string(Texto) + " change " + std::to_string(Q) + " way " + std::to_string(Camino));
                if (Camino == 2 && std::strchr(Texto, 'z'))
                    continue; // A_Valor asks nothing: that form gives a NaN
                ESTADODEANALISIS Estado;
                A_Inicializar(&Estado);
                Pruebas::HostDePrueba Host;
                Host.Variables["z"] = Pruebas::Numero(1);
                Host.AlEntrar = CambiarDesdeDentro;
                Host.Instalar(&Estado);
                Corriendo = A_Preparar(&Estado, Texto, nullptr);
                A_Vincular(Corriendo, "x", &x);
                A_Vincular(Corriendo, "y", &y);
                A_VincularFuncion(Corriendo, "f", 1, reinterpret_cast<FORMULA_NATIVA>(Cambiante));
                A_Opciones(Corriendo, FORMULA_AJUSTES_DEL_ANFITRION);
                Hacer = Q;
                Cambio = 0;
                const double Esperado = std::strchr(Texto, 'z') ? 1 + 6 * 4.0 : 6 / 4.0 + 8;
                double Numero = 0;
                std::vector<double> X(70000, 2), Valores(70000);
                if (Camino == 0) {
                    Numero = A_Evaluar(Corriendo, &Estado).Numero;
                } else if (Camino == 1) {
                    A_EvaluarNumero(Corriendo, &Estado, &Numero);
                } else if (Camino == 2) {
                    Numero = A_ValorEnLinea(Corriendo);
                } else {
                    A_VincularColumna(Corriendo, "x", X.data());
                    A_EvaluarFilas(Corriendo, &Estado, 70000, Valores.data(), nullptr, nullptr);
                    Numero = Valores[69999];
                }
                EXPECT_EQ(Numero, Esperado);
                EXPECT_EQ(Cambio, FORMULA_EN_CURSO);
                if (Q == LIBERAR)
                    continue; // released on return: ASan and valgrind see any use after
                Host.AlEntrar = nullptr;
                Hacer = NADA;
                EXPECT_GE(A_Vincular(Corriendo, "y", nullptr), 1) << "changed after the evaluation";
                A_Liberar(Corriendo);
            }
}

// A host text that fills its field ends within it, as any text of at most 1023 characters,
// for a text and for a block that says both kinds, in the analysis and prepared.
TEST(Caminos, HostTextEndsWithinTheBlock)
{
    for (uint8_t Tipo : {uint8_t{TIPO_CADENA}, uint8_t{TIPO_NUMERO | TIPO_CADENA}})
        for (const char *Texto : {"b", "-b", "b+\"\""}) {
            ESTADODEANALISIS Estado;
            A_Inicializar(&Estado);
            Pruebas::HostDePrueba Host;
            BLOQUEDEDATOS Lleno{};
            std::memset(Lleno.Cadena, 'z', sizeof Lleno.Cadena);
            Lleno.Tipo = Tipo;
            Host.Variables["b"] = Lleno;
            Host.Instalar(&Estado);
            Formula P(A_Preparar(&Estado, Texto, nullptr));
            for (const BLOQUEDEDATOS &R : {A_Analizar(&Estado, Texto), A_Evaluar(P.F, &Estado)}) {
                if (R.Error != 0)
                    continue; // ("-b" of a text)
                EXPECT_EQ(strnlen(R.Cadena, sizeof R.Cadena), sizeof R.Cadena - 1) << Texto << " kind " << int{Tipo};
            }
        }
}

} // namespace
