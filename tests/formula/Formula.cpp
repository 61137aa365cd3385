// The prepared forms' own interface: refusals, the names list, bindings, the option, the
// floating-point contract, deep forms and threads. Answers equal to the analysis's are the
// differential program's subject; here each row checks one behaviour of the interface.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Formula.h"
#include "FormulaDePrueba.h"
#include "HostDePrueba.h"

namespace {

using Pruebas::HostDePrueba;

using Pruebas::Formula;

std::string Nombres(const FORMULAPREPARADA *F)
{
    std::string Lista;
    int32_t N;
    for (int32_t k = 0; const char *Nombre = A_Nombre(F, k, &N); ++k)
        Lista += std::string(k ? " " : "") + Nombre + (N < 0 ? "" : "/" + std::to_string(N));
    return Lista;
}

TEST(Formula, RefusesWhatFailsWithoutAsking)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    for (const char *Texto : {"", "1+", "(2", "1/0", "$", "2 3", "-\"a\"", "\"a\"*2"}) {
        BLOQUEDEDATOS Error{};
        EXPECT_EQ(A_Preparar(&Estado, Texto, &Error), nullptr) << Texto;
        const BLOQUEDEDATOS Esperado = A_Analizar(&Estado, Texto);
        EXPECT_EQ(Error.Error, Esperado.Error) << Texto;
        EXPECT_EQ(Error.Posicion, Esperado.Posicion) << Texto;
    }
    BLOQUEDEDATOS Error{};
    EXPECT_EQ(A_Preparar(&Estado, nullptr, &Error), nullptr);
    EXPECT_EQ(Error.Error, E_OPERANDO);
    EXPECT_EQ(A_Preparar(&Estado, "1+", nullptr), nullptr); // no error block wanted

    const BLOQUEDEDATOS SinFormula = A_Evaluar(nullptr, &Estado);
    EXPECT_EQ(SinFormula.Error, E_OPERANDO);
    EXPECT_EQ(SinFormula.Posicion, 0);
    A_Liberar(nullptr);
}

TEST(Formula, NamesInTheOrderOfTheTextEachOnce)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    const struct {
        const char *Texto, *Nombres;
    } FILAS[] = {
        {"f(x; y) + x * g(f(1; 2))", "f/2 x y g/1"}, // a call is listed at its name, before its arguments
        {"x + X + x", "x X"},                         // byte for byte: the host decides about case
        {"f(1) + f(1; 2) + f + f(3)", "f/1 f/2 f"},   // a function per count, a variable apart
        {"x + ) + y", "x"},                           // y is never asked for
        {"a\xF1o * 2", "a\xF1o"}, // Windows-1252, as every text of the engine
        {"1 + 2", ""},
    };
    for (const auto &Fila : FILAS) {
        Formula P(A_Preparar(&Estado, Fila.Texto, nullptr));
        ASSERT_NE(P.F, nullptr) << Fila.Texto;
        EXPECT_EQ(Nombres(P.F), Fila.Nombres) << Fila.Texto;
    }
    Formula P(A_Preparar(&Estado, "x", nullptr));
    EXPECT_EQ(A_Nombre(P.F, -1, nullptr), nullptr);
    EXPECT_EQ(A_Nombre(P.F, 1, nullptr), nullptr);
    EXPECT_STREQ(A_Nombre(P.F, 0, nullptr), "x");
}

// Leaves a known pattern where the engine's frames will be, so that a field the engine
// leaves unset shows as 0xA5 rather than as whatever happened to be there.
__attribute__((noinline)) void Ensuciar()
{
    volatile unsigned char Pila[32768];
    for (unsigned char &Byte : const_cast<unsigned char(&)[32768]>(Pila))
        Byte = 0xA5;
}

// The bytes a host may read of a block, as one text to compare.
std::string Bytes(const BLOQUEDEDATOS &B)
{
    uint64_t Bits;
    std::memcpy(&Bits, &B.Numero, sizeof Bits);
    return "error " + std::to_string(B.Error) + " at " + std::to_string(B.Posicion) + " tipo " +
           std::to_string(B.Tipo) + " bits " + std::to_string(Bits) + " cadena[0] " +
           std::to_string(static_cast<unsigned char>(B.Cadena[0]));
}

// Every field of a failed block is defined and both paths give the same bytes; an error
// the engine's own rules make has no value (0, the empty text, Tipo 0).
TEST(Formula, ErrorBlocksFullyDefinedAndAlike)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(2);
    Host.Variables["y"] = Pruebas::Numero(3);
    Host.Funciones["f"] = HostDePrueba::Suma;
    Host.Funciones["g"] = HostDePrueba::Suma;
    Host.Instalar(&Estado);
    const struct {
        const char *Texto;
        int32_t Error;
        bool SinValor; // made by the engine's rules: no value
    } FILAS[] = {
        {"1+", E_OPERANDO, true},           {"*3", E_OPERANDO, true},
        {"()", E_OPERANDO, true},           {"f(;)", E_OPERANDO, true},
        {"g(1;)", E_OPERANDO, true},        {"x+g(1;)", E_OPERANDO, true},
        {"x/0+y", E_DIVISION, true},        {"\"a\"-x", E_INCOMPATIBLES, true},
        {"x*\"a\"", E_INCOMPATIBLES, true}, {"x^\"a\"", E_INCOMPATIBLES, true},
        {"x #", E_CARACTER, true},          {"(x 2)", E_PARENTESIS, false},
        {"f(x 2)", E_SEPARADOR, false},     {"f(x", E_CIERREFUNCION, false},
        {"x 2", E_OPERADOR, false},         {"-\"a\"", E_VALOR, false},
    };
    for (const auto &Fila : FILAS) {
        SCOPED_TRACE(Fila.Texto);
        Ensuciar();
        const BLOQUEDEDATOS Analisis = A_Analizar(&Estado, Fila.Texto);
        Ensuciar();
        BLOQUEDEDATOS Preparado;
        std::memset(&Preparado, 0x5A, sizeof Preparado);
        Formula P(A_Preparar(&Estado, Fila.Texto, &Preparado));
        if (P.F != nullptr) {
            Ensuciar();
            Preparado = A_Evaluar(P.F, &Estado);
        }
        EXPECT_EQ(Analisis.Error, Fila.Error);
        EXPECT_EQ(Bytes(Preparado), Bytes(Analisis));
        if (Fila.SinValor)
            EXPECT_EQ(Bytes(Analisis), Bytes(Pruebas::ConError(Fila.Error, Analisis.Posicion)));
        else
            EXPECT_NE(Analisis.Tipo, 0xA5);
    }
}

// Names after a point where every evaluation fails, whatever the host answers, are never
// asked for: neither listed nor bindable.
TEST(Formula, NamesAfterACertainFailureLeftOut)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    const struct {
        const char *Texto, *Nombres;
    } FILAS[] = {
        {"x/0+y", "x"},         {"(x/0)*f(y)", "x"},  {"x*\"a\"+y", "x"},
        {"x^\"a\"+y", "x"},     {"x+(\"a\"-1)+y", "x"}, {"x/z+y", "x z y"}, // z may be other than 0
    };
    for (const auto &Fila : FILAS) {
        Formula P(A_Preparar(&Estado, Fila.Texto, nullptr));
        ASSERT_NE(P.F, nullptr) << Fila.Texto;
        EXPECT_EQ(Nombres(P.F), Fila.Nombres) << Fila.Texto;
    }
    Formula P(A_Preparar(&Estado, "x/0+y", nullptr));
    double Valor = 1;
    EXPECT_EQ(A_Vincular(P.F, "y", &Valor), 0);
    EXPECT_EQ(A_Vincular(P.F, "x", &Valor), 1);
    const BLOQUEDEDATOS R = A_Evaluar(P.F, &Estado);
    EXPECT_EQ(R.Error, E_DIVISION);
    EXPECT_EQ(R.Posicion, 4);
}

// A null record: E_OPERANDO at 0 where a block comes back, nothing where none does.
TEST(Formula, NullRecord)
{
    const BLOQUEDEDATOS Esperado = Pruebas::ConError(E_OPERANDO, 0);
    EXPECT_EQ(Bytes(A_Analizar(nullptr, "1")), Bytes(Esperado));
    BLOQUEDEDATOS Error;
    EXPECT_EQ(A_Preparar(nullptr, "x", &Error), nullptr);
    EXPECT_EQ(Bytes(Error), Bytes(Esperado));
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    for (const char *Texto : {"1", "x", "x*2", "f(1)+\"a\""}) {
        Formula P(A_Preparar(&Estado, Texto, nullptr));
        ASSERT_NE(P.F, nullptr) << Texto;
        EXPECT_EQ(Bytes(A_Evaluar(P.F, nullptr)), Bytes(Esperado)) << Texto;
        double Numero = 0;
        EXPECT_EQ(A_EvaluarNumero(P.F, nullptr, &Numero), E_OPERANDO) << Texto;
        EXPECT_TRUE(std::isnan(Numero)) << Texto;
    }
    EXPECT_EQ(A_EvaluarNumero(nullptr, &Estado, nullptr), E_OPERANDO);
    A_Inicializar(nullptr);
    A_AsignarSeparadores(nullptr, ',', '.');
#if defined(EVALION_OBJETO)
    A_AsignarAlPedir(nullptr, nullptr, nullptr, nullptr, nullptr);
#else
    A_AsignarAlPedir(nullptr, nullptr, nullptr);
#endif
    EXPECT_EQ(A_Nombre(nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(A_Vincular(nullptr, "x", nullptr), 0);
    EXPECT_EQ(A_VincularColumna(nullptr, "x", nullptr), 0);
    EXPECT_EQ(A_VincularFuncion(nullptr, "f", 1, nullptr), 0);
    A_Opciones(nullptr, FORMULA_AJUSTES_DEL_ANFITRION);
}

// The separators in force when the analysis or the preparation starts read the whole text;
// a callback that sets them on the record in use changes nothing, in both paths.
TEST(Formula, SeparatorsSetByACallbackChangeNothing)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado); // "." thousands, "," decimal
    HostDePrueba Host;
    Host.Funciones["cambia"] = [&](const BLOQUEDEDATOS *, int32_t, BLOQUEDEDATOS &R) {
        A_AsignarSeparadores(&Estado, ',', '.');
        R = Pruebas::Numero(0);
    };
    Host.Instalar(&Estado);
    const char *Texto = "cambia(0) + 1,5";
    EXPECT_EQ(A_Analizar(&Estado, Texto).Numero, 1.5);
    EXPECT_EQ(A_Analizar(&Estado, "2,5").Numero, 2.5); // still "," decimal
    Formula P(A_Preparar(&Estado, Texto, nullptr));
    ASSERT_NE(P.F, nullptr);
    EXPECT_EQ(A_Evaluar(P.F, &Estado).Numero, 1.5);
    EXPECT_EQ(A_Analizar(&Estado, "2,5").Numero, 2.5);
}

TEST(Formula, BoundVariablesAreReadNotAsked)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(100);
    Host.Variables["y"] = Pruebas::Numero(1);
    Host.Instalar(&Estado);
    Formula P(A_Preparar(&Estado, "x * 2 + x - y", nullptr));

    double X = 5;
    EXPECT_EQ(A_Vincular(P.F, "x", &X), 2);
    EXPECT_EQ(A_Vincular(P.F, "z", &X), 0);
    EXPECT_EQ(A_Evaluar(P.F, &Estado).Numero, 14);
    X = 7; // read at every evaluation
    EXPECT_EQ(A_Evaluar(P.F, &Estado).Numero, 20);
    EXPECT_EQ(Host.Orden(), (std::vector<std::string>{"y", "y"}));

    EXPECT_EQ(A_Vincular(P.F, "x", nullptr), 2); // asked again
    Host.Peticiones.clear();
    EXPECT_EQ(A_Evaluar(P.F, &Estado).Numero, 299);
    EXPECT_EQ(Host.Orden(), (std::vector<std::string>{"x", "x", "y"}));

    Formula Llamada(A_Preparar(&Estado, "f(1) + f", nullptr));
    EXPECT_EQ(A_Vincular(Llamada.F, "f", &X), 1); // only the variable f
}

// Twelve variables bound at twelve addresses, more than a form keeps for its machine code's
// first reads: every entry reads each where it is bound now, after a rebinding too, and
// answers as the analysis with the host answering those numbers.
TEST(Formula, ManyVariablesBoundApart)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Instalar(&Estado);
    const std::string NOMBRES = "abcdefghijkl";
    double Primeros[12], Segundos[12];
    for (int k = 0; k < 12; ++k) {
        Primeros[k] = k + 0.5;
        Segundos[k] = 2.25 - k;
    }
    for (const char *Texto : {"a+b*c-d+e*f-g+h*i-j+k*l", "l*k-j/i", "(a-l)/(k-b)+a*l", "l+k+j+i+h+g+f+e+d+c+b+a"})
        for (const double *Numeros : {Primeros, Segundos}) {
            for (int k = 0; k < 12; ++k)
                Host.Variables[NOMBRES.substr(k, 1)] = Pruebas::Numero(Numeros[k]);
            const BLOQUEDEDATOS Esperado = A_Analizar(&Estado, Texto);
            Formula P(A_Preparar(&Estado, Texto, nullptr));
            A_Opciones(P.F, FORMULA_AJUSTES_DEL_ANFITRION);
            for (const double *Enlazados : std::initializer_list<const double *>{Segundos, Primeros, Numeros}) // the last counts
                for (int k = 0; k < 12; ++k)
                    A_Vincular(P.F, NOMBRES.substr(k, 1).c_str(), &Enlazados[k]);
            double Numero;
            ASSERT_EQ(A_EvaluarNumero(P.F, &Estado, &Numero), 0) << Texto;
            const double Valor = A_Valor(P.F);
            EXPECT_EQ(std::memcmp(&Numero, &Esperado.Numero, sizeof Numero), 0) << Texto;
            EXPECT_EQ(std::memcmp(&Valor, &Esperado.Numero, sizeof Valor), 0) << Texto;
        }
}

// C functions bound to calls, each with the host function that answers the same: its
// value for numbers, E_INCOMPATIBLES for a text argument, and for another count of
// arguments the sum (those calls stay asked).
double Inverso(double a) { return a * a - 1 / a; } // 1/0 is an infinity, as the host's
double Cociente(double a, double b) { return a / b - b; }
double Tres(double a, double b, double c) { return a * b - c; }
double Cuatro(double a, double b, double c, double d) { return (a - b) * (c - d); }
double Raiz(double a) { return std::sqrt(a); } // a not-a-number below 0

struct Nativa {
    const char *Nombre;
    int32_t Argumentos;
    FORMULA_NATIVA Puntero;
    double (*Valor)(const double *);
};
const Nativa NATIVAS[] = {
    {"f", 1, reinterpret_cast<FORMULA_NATIVA>(Inverso), [](const double *a) { return Inverso(a[0]); }},
    {"g", 2, reinterpret_cast<FORMULA_NATIVA>(Cociente), [](const double *a) { return Cociente(a[0], a[1]); }},
    {"p", 3, reinterpret_cast<FORMULA_NATIVA>(Tres), [](const double *a) { return Tres(a[0], a[1], a[2]); }},
    {"m", 4, reinterpret_cast<FORMULA_NATIVA>(Cuatro), [](const double *a) { return Cuatro(a[0], a[1], a[2], a[3]); }},
    {"r", 1, reinterpret_cast<FORMULA_NATIVA>(Raiz), [](const double *a) { return Raiz(a[0]); }},
};

HostDePrueba::Funcion ComoAnfitrion(const Nativa &N)
{
    return [N](const BLOQUEDEDATOS *Parametros, int32_t Cuantos, BLOQUEDEDATOS &R) {
        if (Cuantos != N.Argumentos)
            return HostDePrueba::Suma(Parametros, Cuantos, R);
        double Argumentos[4] = {};
        for (int32_t i = 0; i < Cuantos; ++i) {
            if (!(Parametros[i].Tipo & TIPO_NUMERO)) {
                R.Error = E_INCOMPATIBLES;
                return;
            }
            Argumentos[i] = Parametros[i].Numero;
        }
        R = Pruebas::Numero(N.Valor(Argumentos));
    };
}

// The requests of a host, each as name/count (a variable: the name).
std::vector<std::string> Pedidos(const HostDePrueba &Host, bool SinNativas)
{
    std::vector<std::string> Lista;
    for (const Pruebas::Peticion &P : Host.Peticiones) {
        const int32_t N = static_cast<int32_t>(P.Parametros.size());
        bool Nativo = false;
        for (const Nativa &C : NATIVAS)
            Nativo = Nativo || (P.EsFuncion && P.Nombre == C.Nombre && N == C.Argumentos);
        if (!(SinNativas && Nativo))
            Lista.push_back(P.Nombre + (P.EsFuncion ? "/" + std::to_string(N) : ""));
    }
    return Lista;
}

// A function bound to C code gives, field for field, what the host gives when it answers
// that function the same, down to the error blocks of a text argument, with the same
// requests for what stays asked; on the steps (x bound, y asked) and the blocks.
TEST(Formula, BoundFunctionsAnswerAsTheHost)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["y"] = Pruebas::Numero(2);
    Host.Variables["t"] = Pruebas::Texto("a");
    for (const Nativa &N : NATIVAS)
        Host.Funciones[N.Nombre] = ComoAnfitrion(N);
    Host.Funciones["q"] = HostDePrueba::Suma;
    Host.Instalar(&Estado);
    const char *const TEXTOS[] = {
        "f(x)+1",                 // one argument, a bound variable
        "g(x; 3)*2",              // two, one a constant
        "p(x; y; 0,5) - m(1; x; y; 4)", // three and four
        "f(y)*f(y)",              // an asked argument, asked once per use
        "f(x-3)",                 // an infinity is a number
        "r(x-5)+1",               // a not-a-number too
        "-f(x)>2",                // a sign and a comparison of a call
        "f(g(x; y) + f(x))",      // nested
        "f(t)",                   // a text argument: as the host's E_INCOMPATIBLES
        "x + (1 + g(t; 1))",      // its position passes the parenthesis
        "(f(t) + 1",              // E_PARENTESIS for a parenthesis left open
        "f(\"a\")+y",
        "1/(f(x)-f(x))",          // a division by zero after the calls
        "f(x) + q(x)",            // q stays asked: the form goes by blocks
        "f(x; 1) + f(x)",         // f with two arguments stays asked
        "f(x)+t",
    };
    double X = 3;
    for (const char *Texto : TEXTOS)
        for (int32_t Opciones : {0, static_cast<int32_t>(FORMULA_AJUSTES_DEL_ANFITRION)}) {
            SCOPED_TRACE(std::string(Texto) + (Opciones ? " (host settings)" : ""));
            Formula Pedida(A_Preparar(&Estado, Texto, nullptr)), Ligada(A_Preparar(&Estado, Texto, nullptr));
            ASSERT_NE(Pedida.F, nullptr);
            ASSERT_NE(Ligada.F, nullptr);
            for (FORMULAPREPARADA *F : {Pedida.F, Ligada.F}) {
                A_Opciones(F, Opciones);
                A_Vincular(F, "x", &X);
            }
            for (const Nativa &N : NATIVAS)
                A_VincularFuncion(Ligada.F, N.Nombre, N.Argumentos, N.Puntero);
            Host.Peticiones.clear();
            const BLOQUEDEDATOS Esperado = A_Evaluar(Pedida.F, &Estado);
            const std::vector<std::string> Asked = Pedidos(Host, true);
            Host.Peticiones.clear();
            const BLOQUEDEDATOS Obtenido = A_Evaluar(Ligada.F, &Estado);
            EXPECT_EQ(Bytes(Obtenido), Bytes(Esperado));
            EXPECT_EQ(Pedidos(Host, false), Asked);
            double Numero, NumeroEsperado;
            EXPECT_EQ(A_EvaluarNumero(Ligada.F, &Estado, &Numero), A_EvaluarNumero(Pedida.F, &Estado, &NumeroEsperado));
            EXPECT_EQ(Bytes(Pruebas::Numero(Numero)), Bytes(Pruebas::Numero(NumeroEsperado)));
        }
}

// What binding a function returns and changes: the count of calls of that name with that
// count of arguments; nothing for another count, another name, a count past 4, a null form
// or name; the name stays listed; binding again replaces the code, null asks again.
TEST(Formula, BindingAFunction)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Funciones["f"] = HostDePrueba::Suma;
    Host.Instalar(&Estado);
    Formula P(A_Preparar(&Estado, "f(2) + f(2*2) + f(2; 1) + f + q(1;2;3;4;5)", nullptr));
    const std::string Listados = Nombres(P.F);
    const auto Uno = reinterpret_cast<FORMULA_NATIVA>(Inverso);
    const struct {
        const char *Nombre;
        int32_t Argumentos;
        FORMULA_NATIVA Puntero;
        int32_t Usos;
    } FILAS[] = {
        {"f", 1, Uno, 2},       {"f", 2, reinterpret_cast<FORMULA_NATIVA>(Cociente), 1},
        {"f", 0, Uno, 0}, // the grammar has no call without arguments
        {"F", 1, Uno, 0},       {"g", 1, Uno, 0},
        {"q", 5, Uno, 0},       {"f", -1, Uno, 0},
        {nullptr, 1, Uno, 0},
        {"f", 1 | FORMULA_ES_RAIZ | FORMULA_TEXTO_AL_ANFITRION, Uno, 2}, {"f", 2 | FORMULA_ES_SI, Uno, 0},
        {"f", 1 | 0x4000, Uno, 0}, {"f", 1 | 0x200, Uno, 0}, // no such operation, no such bit
    };
    for (const auto &Fila : FILAS)
        EXPECT_EQ(A_VincularFuncion(P.F, Fila.Nombre, Fila.Argumentos, Fila.Puntero), Fila.Usos)
            << (Fila.Nombre ? Fila.Nombre : "null") << "/" << Fila.Argumentos;
    EXPECT_EQ(A_VincularFuncion(nullptr, "f", 1, Uno), 0);
    EXPECT_EQ(Nombres(P.F), Listados);

    Formula Llamada(A_Preparar(&Estado, "f(2) + f(4) + f", nullptr));
    Host.Variables["f"] = Pruebas::Numero(100);
    EXPECT_EQ(A_VincularFuncion(Llamada.F, "f", 1, Uno), 2);
    EXPECT_EQ(A_Evaluar(Llamada.F, &Estado).Numero, Inverso(2) + Inverso(4) + 100);
    EXPECT_EQ(A_VincularFuncion(Llamada.F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(Raiz)), 2);
    EXPECT_EQ(A_Evaluar(Llamada.F, &Estado).Numero, Raiz(2) + Raiz(4) + 100);
    EXPECT_EQ(Host.Orden(), (std::vector<std::string>{"f", "f"}));
    EXPECT_EQ(A_VincularFuncion(Llamada.F, "f", 1, nullptr), 2);
    Host.Peticiones.clear();
    EXPECT_EQ(A_Evaluar(Llamada.F, &Estado).Numero, 2 + 4 + 100);
    EXPECT_EQ(Host.Orden(), (std::vector<std::string>{"f()", "f()", "f"}));

    // A call with a text argument: a failure, or with FORMULA_TEXTO_AL_ANFITRION the host's.
    Formula Texto(A_Preparar(&Estado, "f(\"ab\") + f(4)", nullptr));
    A_VincularFuncion(Texto.F, "f", 1, Uno);
    EXPECT_EQ(A_Evaluar(Texto.F, &Estado).Error, E_INCOMPATIBLES);
    A_VincularFuncion(Texto.F, "f", 1 | FORMULA_TEXTO_AL_ANFITRION, Uno);
    Host.Peticiones.clear();
    EXPECT_EQ(A_Evaluar(Texto.F, &Estado).Error, 0); // the host answers f("ab"); f(4) is the C code's
    EXPECT_EQ(Host.Orden(), (std::vector<std::string>{"f()"}));
}

// The entry for a number result, on each way an evaluation goes: the steps (and under the
// host's settings the form's machine code, a deep form's too), the blocks after
// a division by zero, a value that is not a number, a text, an error of the host's, and an
// asked number.
TEST(Formula, NumberEntryAnswersAsTheBlock)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["t"] = Pruebas::Texto("a");
    Host.Variables["n"] = Pruebas::Numero(4);
    Host.Instalar(&Estado);
    double X = 3, Cero = 0, Infinito = HUGE_VAL;
    const struct {
        const char *Texto;
        int32_t Codigo;
        double Numero; // NaN: none, or not a number
    } CASOS[] = {
        {"x*2+1", 0, 7}, {"x/y", E_DIVISION, NAN}, {"\"a\"+\"b\"", FORMULA_TEXTO, NAN},
        {"t+1", E_INCOMPATIBLES, NAN}, {"n^2-x", 0, 13}, {"w", E_VARIABLE, NAN},
        {"v-v", 0, NAN}, {"-x+x/4", 0, -2.25}, {"(x>2)*(x-2)+(x<=1)+(x<>y)", 0, 2},
        {"x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2+(x*2))))))))))))))))", 0, 102}, // 17 slots
    };
    for (int32_t Opciones : {0, static_cast<int32_t>(FORMULA_AJUSTES_DEL_ANFITRION)})
        for (const auto &C : CASOS) {
            Formula P(A_Preparar(&Estado, C.Texto, nullptr));
            ASSERT_NE(P.F, nullptr) << C.Texto;
            A_Opciones(P.F, Opciones);
            A_Vincular(P.F, "x", &X);
            A_Vincular(P.F, "y", &Cero);
            A_Vincular(P.F, "v", &Infinito);
            double Numero = 0;
            Host.Peticiones.clear();
            EXPECT_EQ(A_EvaluarNumero(P.F, &Estado, &Numero), C.Codigo) << C.Texto;
            EXPECT_EQ(A_EvaluarNumero(P.F, &Estado, nullptr), C.Codigo) << C.Texto;
            if (std::isnan(C.Numero))
                EXPECT_TRUE(std::isnan(Numero)) << C.Texto;
            else
                EXPECT_EQ(Numero, C.Numero) << C.Texto;
            // A_Valor: that number where nothing is asked, else a NaN; after a rebinding too.
            for (double Otro : {X, -0.5}) {
                A_Vincular(P.F, "x", &Otro);
                Host.Peticiones.clear();
                const int32_t Codigo = A_EvaluarNumero(P.F, &Estado, &Numero);
                const bool Pidio = !Host.Peticiones.empty();
                for (double Valor : {A_Valor(P.F), A_ValorEnLinea(P.F)})
                    if (Codigo == 0 && !Pidio && !std::isnan(Numero))
                        EXPECT_EQ(std::memcmp(&Valor, &Numero, sizeof Valor), 0) << C.Texto << " x=" << Otro;
                    else
                        EXPECT_TRUE(std::isnan(Valor)) << C.Texto << " x=" << Otro;
            }
        }
    EXPECT_TRUE(std::isnan(A_Valor(nullptr)));
    EXPECT_TRUE(std::isnan(A_ValorEnLinea(nullptr)));
}

// Under a host's other rounding and with traps enabled the form computes as the analysis
// does, under the engine's settings, and leaves the host's as they were; with the option
// it computes under the host's.
TEST(Formula, FloatingPointSettingsAsInAnAnalysis)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(1);
    Host.Instalar(&Estado);
    const char *const TEXTOS[] = {"1/3", "x/3", "0,1+0,2*x", "x*10^300*10^300", "x*0,1^3"};
    std::fesetround(FE_UPWARD);
    std::feclearexcept(FE_ALL_EXCEPT);
    for (const char *Texto : TEXTOS) {
        Formula P(A_Preparar(&Estado, Texto, nullptr));
        ASSERT_NE(P.F, nullptr) << Texto;
        const BLOQUEDEDATOS Esperado = A_Analizar(&Estado, Texto), Obtenido = A_Evaluar(P.F, &Estado);
        EXPECT_EQ(std::memcmp(&Esperado.Numero, &Obtenido.Numero, sizeof(double)), 0) << Texto;
        EXPECT_EQ(std::fegetround(), FE_UPWARD) << Texto;
        EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << Texto;
    }
    Formula Tercio(A_Preparar(&Estado, "x/3", nullptr));
    A_Opciones(Tercio.F, FORMULA_AJUSTES_DEL_ANFITRION);
    // As the host's own code rounds under its settings (upward; valgrind only rounds to nearest).
    volatile double Uno = 1, Tres = 3;
    const double DelAnfitrion = Uno / Tres;
    EXPECT_EQ(A_Evaluar(Tercio.F, &Estado).Numero, DelAnfitrion);
    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
}

// Forms deeper than the slots kept on the stack, asking the host in every one.
TEST(Formula, DeepFormsAsTheAnalysis)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    HostDePrueba Host;
    Host.Variables["x"] = Pruebas::Numero(1);
    Host.Variables["s"] = Pruebas::Texto("a");
    Host.Instalar(&Estado);
    std::string Suma = "x", Texto = "s", Parentesis = "x";
    for (int k = 0; k < 300; ++k) {
        Suma += "+x";
        Texto += "+s";
        Parentesis = "(" + Parentesis + "-x)";
    }
    // Many requests in few slots: the steps keep every answer, and a text after 40 of them
    // hands them all to the blocks without asking again.
    std::string Productos = "x*x";
    for (int k = 0; k < 20; ++k)
        Productos += "+x*x";
    for (const std::string &T : {Suma, Texto, Parentesis, Suma + "+s", Productos, Productos + "+x*s"}) {
        Formula P(A_Preparar(&Estado, T.c_str(), nullptr));
        ASSERT_NE(P.F, nullptr);
        Host.Peticiones.clear();
        const BLOQUEDEDATOS Esperado = A_Analizar(&Estado, T.c_str());
        const size_t DelAnalisis = Host.Peticiones.size();
        Host.Peticiones.clear();
        const BLOQUEDEDATOS Obtenido = A_Evaluar(P.F, &Estado);
        EXPECT_EQ(Obtenido.Error, Esperado.Error) << T.substr(0, 20);
        EXPECT_EQ(Obtenido.Numero, Esperado.Numero) << T.substr(0, 20);
        EXPECT_STREQ(Obtenido.Cadena, Esperado.Cadena) << T.substr(0, 20);
        EXPECT_EQ(Host.Peticiones.size(), DelAnalisis) << T.substr(0, 20);
    }
}

// A form is only read by an evaluation: several threads evaluate one at once, each with its
// own record and host.
TEST(Formula, OneFormOnSeveralThreads)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    Formula P(A_Preparar(&Estado, "x * 2 + f(x; 1)", nullptr));
    ASSERT_NE(P.F, nullptr);
    std::vector<std::thread> Hilos;
    std::vector<int> Fallos(4, 0);
    for (int h = 0; h < 4; ++h)
        Hilos.emplace_back([&, h] {
            ESTADODEANALISIS Propio;
            A_Inicializar(&Propio);
            HostDePrueba Host;
            Host.Variables["x"] = Pruebas::Numero(h);
            Host.Funciones["f"] = HostDePrueba::Suma;
            Host.Instalar(&Propio);
            for (int k = 0; k < 2000; ++k) {
                Host.Peticiones.clear();
                const BLOQUEDEDATOS R = A_Evaluar(P.F, &Propio);
                Fallos[h] += R.Error != 0 || R.Numero != 3.0 * h + 1;
            }
        });
    for (std::thread &H : Hilos)
        H.join();
    EXPECT_EQ(Fallos, std::vector<int>(4, 0));
}

} // namespace
