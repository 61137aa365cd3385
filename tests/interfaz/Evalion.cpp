// The C++ interface as a host uses it: binding forms, name matching, results in UTF-8, the
// order in which names are answered, and exceptions from handlers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "Evalion.hpp"

namespace {

using Evalion::TAnalizador;
using Evalion::TArgumentos;
using Evalion::TComparacion;
using Evalion::TResultado;

// The engine keeps the analyser's address, so it can be neither copied nor moved.
static_assert(!std::is_copy_constructible_v<TAnalizador> && !std::is_copy_assignable_v<TAnalizador>);
static_assert(!std::is_move_constructible_v<TAnalizador> && !std::is_move_assignable_v<TAnalizador>);

struct Caso {
    const char *Expresion;
    TResultado Esperado;
};

void Comprobar(TAnalizador &Analizador, std::initializer_list<Caso> Casos)
{
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion);
        const TResultado R = Analizador.Analizar(C.Expresion);
        ASSERT_EQ(R.Tipo(), C.Esperado.Tipo()) << R.Codigo() << " " << R.Texto();
        EXPECT_EQ(R.Numero(), C.Esperado.Numero());
        EXPECT_EQ(R.Texto(), C.Esperado.Texto());
        EXPECT_EQ(R.Codigo(), C.Esperado.Codigo());
        EXPECT_EQ(R.Posicion(), C.Esperado.Posicion());
    }
}

TEST(Interfaz, BindingForms)
{
    TAnalizador A;
    int Pedidos = 0;
    A.Variable("IVA", 0.21)
        .Variable("Nombre", "Año")
        .Variable("Malo", TResultado::Error(4242))
        .Variable("Contador", [&] { return ++Pedidos; })
        .Funcion("Doble", 1, [](const TArgumentos &P) { return 2 * P[0].Numero(); })
        .Funcion("Contar", [](const TArgumentos &P) { return P.Cuantos(); })
        .Funcion("Saludo", 1, [](const TArgumentos &P) -> TResultado {
            if (!P[0].EsTexto())
                return TResultado::Error(E_INCOMPATIBLES);
            return "¡Hola, " + P[0].Texto() + "!";
        });
    Comprobar(A, {
        {"1.000 * (1 + IVA)", 1210},
        {"Nombre + \" 2026\"", "Año 2026"},
        {"1 + Malo", TResultado::Error(4242, 4)},
        {"Contador + Contador", 3},
        {"Doble(Doble(3))", 12},
        {"Doble(1;2)", TResultado::Error(E_FUNCION, 1)},
        {"Contar(1;\"a\";3)", 3},
        {"Saludo(\"Ñandú\")", "¡Hola, Ñandú!"},
        {"Saludo(1)", TResultado::Error(E_INCOMPATIBLES, 1)},
        {"iva", TResultado::Error(E_VARIABLE, 1)},
    });
    A.Variable("IVA", "otro"); // binding a name again replaces it
    Comprobar(A, {{"IVA", "otro"}});
}

// Exact names by default; ignoring case folds A-Z and the Spanish letters, nothing else.
TEST(Interfaz, CaseModes)
{
    TAnalizador Exacto;
    TAnalizador Plegado(TComparacion::IgnorarMayusculas);
    for (TAnalizador *A : {&Exacto, &Plegado})
        A->Variable("Año", 1).Variable("ÁÉÍÓÚ", 2).Funcion("Raíz", 1, [](const TArgumentos &P) { return P[0].Numero(); });
    const TResultado NoVariable = TResultado::Error(E_VARIABLE, 1);
    Comprobar(Exacto, {{"Año", 1}, {"AÑO", NoVariable}, {"áéíóú", NoVariable}, {"RAÍZ(3)", TResultado::Error(E_FUNCION, 1)}});
    Comprobar(Plegado, {{"Año", 1}, {"AÑO", 1}, {"año", 1}, {"áéíóú", 2}, {"RAÍZ(3)", 3}, {"Ano", NoVariable}});
}

// A text result: UTF-8 from the engine's bytes; a character outside Windows-1252 reaches the
// engine as "?", one character; a handler's text is cut to 1023 characters.
TEST(Interfaz, Utf8BothWays)
{
    TAnalizador A;
    A.Variable("Largo", std::string(600, 'a') + std::string(600, 'b'))
        .Funcion("Eco", 1, [](const TArgumentos &P) { return P[0].Texto(); });
    Comprobar(A, {
        {"\"€ Œ ü\"", "€ Œ ü"},
        {"\"😀\"", "?"},
        {"1😀", TResultado::Error(E_CARACTER, 2)},
        {"Eco(\"Ñ\") + \"ñ\"", "Ññ"},
        {"Largo", std::string(600, 'a') + std::string(423, 'b')},
        {"\"ñ\"+1", TResultado::Error(E_INCOMPATIBLES, 6)},
    });
    EXPECT_EQ(A.Analizar("\"ñ\"+1").Mensaje(), "Los operandos no son compatibles en la posición 6");
    EXPECT_EQ(A.Analizar("1 2").Mensaje(), "Se esperaba un operador en la posición 2");
    EXPECT_EQ(TResultado::Error(4242, 3).Mensaje(), "");
}

TEST(Interfaz, Separators)
{
    TAnalizador A;
    A.Separadores(',', '.');
    Comprobar(A, {{"1,234.5", 1234.5}});
    A.Separadores('\0', ';');
    Comprobar(A, {{"1,5;5", 15.5}});
}

// Bound names first, then the catch-all handlers, then the standard library.
TEST(Interfaz, OrderOfAnswers)
{
    TAnalizador A;
    Comprobar(A, {{"Pi", TResultado::Error(E_VARIABLE, 1)}, {"Raiz(4)", TResultado::Error(E_FUNCION, 1)}});
    A.Estandar();
    Comprobar(A, {{"Pi", 3.141592653589793}, {"Raiz(4) + Seno(0)", 2}, {"Raiz(1;2)", TResultado::Error(E_FUNCION, 1)}});
    A.AlPedirVariable([](std::string_view Nombre) -> std::optional<TResultado> {
        if (Nombre == "Pi" || Nombre == "Ñu")
            return 3;
        return std::nullopt;
    });
    A.AlPedirFuncion([](std::string_view Nombre, const TArgumentos &P) -> std::optional<TResultado> {
        if (Nombre == "Raiz")
            return P.Cuantos();
        return std::nullopt;
    });
    Comprobar(A, {{"Pi", 3}, {"Ñu", 3}, {"Raiz(4;9)", 2}, {"E", 2.718281828459045}, {"Seno(0)", 0}});
    A.Variable("Pi", 4).Estandar(false);
    Comprobar(A, {{"Pi", 4}, {"E", TResultado::Error(E_VARIABLE, 1)}, {"Seno(0)", TResultado::Error(E_FUNCION, 1)}});
}

struct TFallo : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A handler that throws ends the analysis: no later name is asked for, the exception comes
// out of Analizar, and the analyser answers the next expression as before. Under the
// sanitizers this also shows that the engine's argument array is released on the way out.
TEST(Interfaz, ExceptionsComeOutOfAnalizar)
{
    TAnalizador A;
    int Despues = 0;
    A.Variable("Mal", [] () -> TResultado { throw TFallo("variable"); })
        .Variable("Cuenta", [&] { return ++Despues; })
        .Funcion("Falla", [](const TArgumentos &) -> TResultado { throw TFallo("funcion"); })
        .Funcion("Suma", [](const TArgumentos &P) {
            double S = 0;
            for (int32_t i = 0; i < P.Cuantos(); ++i)
                S += P[i].Numero();
            return S;
        })
        .AlPedirVariable([](std::string_view Nombre) -> std::optional<TResultado> {
            if (Nombre == "Memoria")
                throw std::bad_alloc();
            return std::nullopt;
        });
    const struct {
        const char *Expresion;
        int Antes; // requests of Cuenta made before the one that throws
    } Lanzan[] = {{"Mal + Cuenta", 0}, {"Suma(1; Mal; Cuenta)", 0}, {"Suma(1; 2; Falla(3; 4)) + Cuenta", 0},
                  {"(Mal; Cuenta)", 0}, {"si(1; Cuenta; Falla(1))", 1}};
    for (const auto &Caso : Lanzan) {
        SCOPED_TRACE(Caso.Expresion);
        Despues = 0;
        EXPECT_THROW(A.Analizar(Caso.Expresion), TFallo);
        EXPECT_EQ(Despues, Caso.Antes);
        EXPECT_EQ(A.Analizar("Suma(1; 2; 3)").Numero(), 6);
    }
    Despues = 0;
    EXPECT_THROW(A.Analizar("Memoria + Cuenta"), std::bad_alloc);
    EXPECT_EQ(A.Analizar("Cuenta").Numero(), 1);
}

// A handler may rebind or remove any name while it runs, its own included: it finishes as
// it was, and the new binding answers from the next request on.
TEST(Interfaz, HandlersRebindWhileTheyRun)
{
    // Each handler holds a text too long to live inside its std::function, and reads it
    // after replacing itself: freed memory if the handler died with its binding.
    const std::string Cuarenta(40, 'x');
    TAnalizador A;
    A.Variable("x", [&A, Cuarenta] {
         A.Variable("x", 5.0); // caching its own value, a natural thing to do
         return TResultado(static_cast<double>(Cuarenta.size()));
     })
        .Funcion("f", 1, [&A, Cuarenta](const TArgumentos &P) {
            A.Funcion("f", 1, [](const TArgumentos &Q) { return 10 * Q[0].Numero(); });
            return P[0].Numero() + static_cast<double>(Cuarenta.size());
        })
        .AlPedirVariable([&A, Cuarenta](std::string_view) -> std::optional<TResultado> {
            A.AlPedirVariable([](std::string_view) { return std::optional<TResultado>(7.0); });
            return TResultado(static_cast<double>(Cuarenta.size()));
        });
    EXPECT_EQ(A.Analizar("x + x").Numero(), 45);       // 40, then the cached 5
    EXPECT_EQ(A.Analizar("f(2) + f(2)").Numero(), 62); // 42, then 20
    EXPECT_EQ(A.Analizar("z + z").Numero(), 47);       // 40, then 7 from the new resolver
}

// Code 0 is success, no error; a char is no value to bind (it would be its code).
template <class T, class = void> struct PuedeVincular : std::false_type {};
template <class T>
struct PuedeVincular<T, std::void_t<decltype(std::declval<TAnalizador &>().Variable("c", std::declval<T>()))>>
    : std::true_type {};
static_assert(!PuedeVincular<char>::value && PuedeVincular<double>::value && PuedeVincular<const char *>::value);
// Nor is a char a handler's answer, while the numbers that are no char still are.
static_assert(!std::is_convertible_v<char, TResultado> && std::is_convertible_v<signed char, TResultado>);
static_assert(!std::is_constructible_v<Evalion::TCalculoVariable, char (*)()> &&
              std::is_constructible_v<Evalion::TCalculoVariable, int (*)()>);
static_assert(!std::is_constructible_v<Evalion::TCalculoFuncion, char (*)(const TArgumentos &)> &&
              std::is_constructible_v<Evalion::TCalculoFuncion, bool (*)(const TArgumentos &)>);
static_assert(!std::is_constructible_v<Evalion::TResolverVariable, char (*)(std::string_view)>);

// A text the engine would read cut is refused, never analysed in part.
TEST(Interfaz, LimitsOfTheText)
{
    TAnalizador A;
    const std::string Mil = "1" + std::string(1021, ' ') + "+1"; // 1024 characters
    EXPECT_EQ(A.Analizar(Mil).Numero(), 2);
    EXPECT_THROW(A.Analizar(Mil + "1"), std::length_error);
    try {
        A.Analizar(std::string("1+2\0+5", 6));
        ADD_FAILURE() << "a NUL was accepted";
    } catch (const std::invalid_argument &E) {
        EXPECT_NE(std::string(E.what()).find("character 4"), std::string::npos) << E.what();
    }
}

TEST(Interfaz, ErrorZeroIsRefused)
{
    EXPECT_THROW(TResultado::Error(0), std::invalid_argument);
    EXPECT_EQ(TResultado::Error(E_VARIABLE, 3).Posicion(), 3);
}

// A handler must not analyse on the analyser that called it: it gets std::logic_error,
// which Analizar rethrows.
TEST(Interfaz, OneAnalysisAtATime)
{
    auto A = std::make_unique<TAnalizador>(); // held by pointer, the way to move one around
    TAnalizador &Mismo = *A;
    A->Variable("Otra", [&] { return Mismo.Analizar("1"); });
    EXPECT_THROW(A->Analizar("Otra"), std::logic_error);
    TAnalizador B;
    A->Variable("Otra", [&] { return B.Analizar("1 + 1"); }); // another analyser is fine
    EXPECT_EQ(A->Analizar("Otra").Numero(), 2);
}

// A prepared expression answers as Analizar on the same text, through the same handlers,
// exceptions included; bound variables are read, not asked for.
TEST(Interfaz, PreparedExpressions)
{
    static_assert(std::is_nothrow_move_constructible_v<Evalion::TFormula> &&
                  !std::is_copy_constructible_v<Evalion::TFormula>);
    TAnalizador A;
    int Pedidas = 0;
    A.Variable("x", [&] { return ++Pedidas; })
        .Variable("Mal", []() -> TResultado { throw TFallo("variable"); })
        .Estandar();
    for (const char *Texto : {"x * 2 + Raiz(x)", "Mayusculas(\"año\") + x", "x + ", "1/0", "(x"}) {
        SCOPED_TRACE(Texto);
        Pedidas = 0;
        const TResultado Esperado = A.Analizar(Texto);
        const int DelAnalisis = Pedidas;
        Evalion::TFormula F = A.Preparar(Texto);
        Pedidas = 0;
        const TResultado R = F.Evaluar();
        EXPECT_EQ(R.Codigo(), Esperado.Codigo());
        EXPECT_EQ(R.Posicion(), Esperado.Posicion());
        EXPECT_EQ(R.Numero(), Esperado.Numero());
        EXPECT_EQ(R.Texto(), Esperado.Texto());
        EXPECT_EQ(Pedidas, DelAnalisis);
    }
    Evalion::TFormula F = A.Preparar("Raiz(x) + x + Mal");
    EXPECT_EQ(F.Nombres(), (std::vector<Evalion::TNombre>{{"Raiz", 1}, {"x", -1}, {"Mal", -1}}));
    EXPECT_THROW(F.Evaluar(), TFallo);
    EXPECT_TRUE(std::isnan(F.Valor())); // it would ask: no handler runs, so none throws

    Evalion::TFormula G = A.Preparar("x * 10");
    const double X = 4;
    EXPECT_EQ(G.Vincular("x", &X), 1);
    Evalion::TFormula Movida = std::move(G);
    Pedidas = 0;
    EXPECT_EQ(Movida.AjustesDelAnfitrion().Evaluar().Numero(), 40);
    EXPECT_EQ(Movida.Valor(), 40);
    EXPECT_EQ(Pedidas, 0);
    EXPECT_FALSE(A.Preparar("1+").Preparada());
    EXPECT_TRUE(std::isnan(A.Preparar("1+").Valor()));
    EXPECT_EQ(A.Preparar("1+").Evaluar().Codigo(), E_OPERANDO);
    EXPECT_THROW(A.Preparar(std::string(1025, '1')), std::length_error);
}

// The standard library is computed inside a form, with no request, but a name the host
// answers itself wins, as in the analysis, also when it is given after the form was made:
// one row per way of defining a name.
TEST(Interfaz, StandardInsideTheFormHostNamesWin)
{
    struct Fila {
        const char *Como;
        std::function<void(TAnalizador &, Evalion::TFormula &)> Definir;
        double Esperado; // of Raiz(x) + Pi, x = 16
    };
    const double X = 16, Tres = 3;
    const auto Tres_ = +[](double) { return 3.0; };
    const Fila FILAS[] = {
        {"nothing", [](TAnalizador &, Evalion::TFormula &) {}, 4 + 3.141592653589793},
        {"a function", [](TAnalizador &A, Evalion::TFormula &) { A.Funcion("Raiz", 1, [](const TArgumentos &) { return 1; }); }, 1 + 3.141592653589793},
        {"a variable", [](TAnalizador &A, Evalion::TFormula &) { A.Variable("Pi", 2); }, 6},
        {"a catch-all", [](TAnalizador &A, Evalion::TFormula &) {
             A.AlPedirFuncion([](std::string_view, const TArgumentos &) -> std::optional<TResultado> { return 0; }); }, 3.141592653589793},
        {"a binding", [&](TAnalizador &, Evalion::TFormula &F) { F.Vincular("Pi", &Tres); }, 7},
        {"C code", [&](TAnalizador &, Evalion::TFormula &F) { F.VincularFuncion("Raiz", Tres_); }, 3 + 3.141592653589793},
        {"the library off", [](TAnalizador &A, Evalion::TFormula &) { A.Estandar(false); }, 0},
    };
    for (const Fila &R : FILAS) {
        SCOPED_TRACE(R.Como);
        TAnalizador A;
        int Pedidas = 0;
        A.Estandar().AlPedirVariable([&](std::string_view) -> std::optional<TResultado> {
            ++Pedidas;
            return std::nullopt;
        });
        Evalion::TFormula F = A.Preparar("Raiz(x) + Pi");
        F.Vincular("x", &X);
        EXPECT_EQ(F.Evaluar().Numero(), 4 + 3.141592653589793); // Pi is asked: a catch-all
        Pedidas = 0;
        R.Definir(A, F);
        const TResultado Valor = F.Evaluar();
        if (R.Esperado == 0)
            EXPECT_EQ(Valor.Codigo(), E_FUNCION);
        else
            EXPECT_EQ(Valor.Numero(), R.Esperado);
    }
    // Without a catch-all, Pi and Raiz are the form's own: Valor needs no request.
    TAnalizador A;
    Evalion::TFormula F = A.Estandar().Preparar("Raiz(x) + Pi");
    F.Vincular("x", &X);
    EXPECT_EQ(F.Valor(), 4 + 3.141592653589793);
    A.Variable("Pi", 1);
    EXPECT_TRUE(std::isnan(F.Valor())); // the host's Pi is asked for now
    EXPECT_EQ(F.Evaluar().Numero(), 5);
}

// A form made by a factory whose analyser is gone still answers with that analyser's names
// and handlers, which it shares (under AddressSanitizer, a use of freed memory otherwise).
Evalion::TFormula Fabricar(int &Pedidas)
{
    TAnalizador A;
    A.Variable("x",
               [&Pedidas] {
                   ++Pedidas;
                   return 6;
               })
        .Funcion("Doble", 1, [](const TArgumentos &P) { return 2 * P[0].Numero(); })
        .Estandar();
    return A.Preparar("Doble(x) + Raiz(x * 6)");
}

TEST(Interfaz, FormOutlivesItsAnalyser)
{
    int Pedidas = 0;
    Evalion::TFormula F = Fabricar(Pedidas);
    EXPECT_EQ(F.Evaluar().Numero(), 18); // 2 * 6 + Raiz(36)
    EXPECT_EQ(F.Evaluar().Numero(), 18);
    EXPECT_EQ(Pedidas, 4); // x asked at each of its two uses
}

// A form moved from holds no expression: every use is std::logic_error, never an answer; it
// may be assigned another form and used again.
TEST(Interfaz, MovedFromForm)
{
    TAnalizador A;
    Evalion::TFormula F = A.Preparar("2 + 3");
    Evalion::TFormula G = std::move(F);
    double X = 1;
    EXPECT_THROW(F.Evaluar(), std::logic_error);
    EXPECT_THROW(F.Preparada(), std::logic_error);
    EXPECT_THROW(F.Nombres(), std::logic_error);
    EXPECT_THROW(F.Valor(), std::logic_error);
    EXPECT_THROW(F.Vincular("x", &X), std::logic_error);
    EXPECT_THROW(F.AjustesDelAnfitrion(), std::logic_error);
    EXPECT_EQ(G.Evaluar().Numero(), 5);
    F = A.Preparar("4 * 2");
    EXPECT_EQ(F.Evaluar().Numero(), 8);
}

// Vincular matches a name as the analyser does: with IgnorarMayusculas, every spelling the
// text uses; exactly, only its own.
TEST(Interfaz, BindingMatchesAsTheAnalyser)
{
    struct {
        TComparacion Modo;
        const char *Nombre;
        int32_t Usos;
        double Valor; // with x, X and Ñandú read from 4 where bound, else asked (1)
    } Casos[] = {
        {TComparacion::IgnorarMayusculas, "x", 2, 4 * 10 + 4 + 1},
        {TComparacion::IgnorarMayusculas, "ÑANDÚ", 1, 1 * 10 + 1 + 4},
        {TComparacion::Exacta, "x", 1, 1 * 10 + 4 + 1},
        {TComparacion::Exacta, "ñandú", 0, 1 * 10 + 1 + 1},
    };
    for (const auto &C : Casos) {
        SCOPED_TRACE(C.Nombre);
        TAnalizador A(C.Modo);
        A.AlPedirVariable([](std::string_view) { return std::optional<TResultado>(1.0); });
        Evalion::TFormula F = A.Preparar("X * 10 + x + Ñandú");
        const double Cuatro = 4;
        EXPECT_EQ(F.Vincular(C.Nombre, &Cuatro), C.Usos);
        EXPECT_EQ(F.Evaluar().Numero(), C.Valor);
    }
}

double Triple(double V) { return 3 * V; }
double Resta(double A, double B) { return A - B; }

// VincularFuncion binds by name as Vincular does and by the count the C function's type has;
// the calls it does not bind stay the handlers' (which answer 100).
TEST(Interfaz, FunctionsBoundToCCode)
{
    struct {
        TComparacion Modo;
        const char *Nombre;
        bool DosArgumentos;
        int32_t Usos;
        double Valor; // of F(2) + f(3) + f(1; 2)
    } Casos[] = {
        {TComparacion::IgnorarMayusculas, "f", false, 2, Triple(2) + Triple(3) + 100},
        {TComparacion::Exacta, "f", false, 1, 100 + Triple(3) + 100},
        {TComparacion::Exacta, "f", true, 1, 100 + 100 + Resta(1, 2)},
        {TComparacion::Exacta, "g", false, 0, 300},
    };
    for (const auto &C : Casos) {
        SCOPED_TRACE(C.Nombre);
        TAnalizador A(C.Modo);
        A.Funcion("f", [](const TArgumentos &) { return 100; }).Funcion("F", [](const TArgumentos &) { return 100; });
        Evalion::TFormula F = A.Preparar("F(2) + f(3) + f(1; 2)");
        EXPECT_EQ(C.DosArgumentos ? F.VincularFuncion(C.Nombre, &Resta) : F.VincularFuncion(C.Nombre, &Triple), C.Usos);
        EXPECT_EQ(F.Evaluar().Numero(), C.Valor);
    }
}

// Rows: each column's variable reads its row, other names are asked at every row, the
// form's own bindings come back afterwards, and a bad column is refused before any row.
TEST(Interfaz, RowsFromColumns)
{
    TAnalizador A;
    int Pedidas = 0;
    A.Variable("k", [&] { return ++Pedidas; });
    Evalion::TFormula F = A.Preparar("x * 10 + y / (x - 2) + k");
    const double Propia = 100;
    F.Vincular("y", &Propia);
    const std::vector<double> X = {1, 2, 3};
    const double Y[] = {4, 5, 6};
    const Evalion::TFormula::TFilas R = F.EvaluarFilas({{"x", X}, {"y", Y}});
    EXPECT_EQ(R.Fallidas, 1u);
    EXPECT_EQ(R.Valores[0], 10 - 4 + 1);
    EXPECT_TRUE(std::isnan(R.Valores[1]));
    EXPECT_EQ(R.Valores[2], 30 + 6 + 2);
    EXPECT_EQ(R.Errores, (std::vector<int32_t>{0, E_DIVISION, 0}));
    EXPECT_EQ(Pedidas, 2); // the row that fails stops before k

    double Valores[2];
    EXPECT_EQ(F.EvaluarFilas({{"x", X.data(), 2}}, Valores, 2), 1u);
    EXPECT_EQ(Valores[0], 10 - 100 + 3); // y is the form's own again
    EXPECT_THROW(F.EvaluarFilas({{"z", X}}, Valores, 2), std::invalid_argument);
    EXPECT_THROW(F.EvaluarFilas({{"x", X.data(), 1}}, Valores, 2), std::invalid_argument);
    EXPECT_EQ(F.Evaluar().Codigo(), E_VARIABLE); // x is no column now, and this host has no x
}

} // namespace
