// Operands and host requests: what the host is asked, in which order, with which
// arguments, and how its answers (values, kinds, codes) come back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;
using Pruebas::Describir;
using Pruebas::HostDePrueba;

// x is 5, t is "ab", g sums its numeric arguments; every other name is unknown.
struct HostComun : HostDePrueba {
    HostComun()
    {
        Variables = {{"x", Pruebas::Numero(5)}, {"t", Pruebas::Texto("ab")}};
        Funciones["g"] = Suma;
    }
};

std::string Unir(const std::vector<std::string> &Nombres)
{
    std::string Salida;
    for (const std::string &Nombre : Nombres)
        Salida += (Salida.empty() ? "" : " ") + Nombre;
    return Salida;
}

// The argument blocks of one request: texts in quotes, the rest as Describir writes them.
std::string Argumentos(const Pruebas::Peticion &P)
{
    std::ostringstream Salida;
    for (size_t i = 0; i < P.Parametros.size(); ++i)
        Salida << (i ? ";" : "")
               << (P.Parametros[i].Tipo == TIPO_CADENA ? '"' + std::string(P.Parametros[i].Cadena) + '"'
                                                       : Describir(P.Parametros[i]));
    return Salida.str();
}

struct Caso {
    const char *Expresion;
    const char *Orden;     // the names requested, in order
    const char *Resultado; // as Pruebas::Describir writes it
};

void Comprobar(HostDePrueba &Host, Analisis &A, const Caso &C)
{
    SCOPED_TRACE(C.Expresion);
    Host.Peticiones.clear();
    EXPECT_EQ(Describir(A(C.Expresion)), C.Resultado);
    EXPECT_EQ(Unir(Host.Orden()), C.Orden);
    for (const Pruebas::Peticion &P : Host.Peticiones)
        EXPECT_TRUE(P.RVacio) << P.Nombre; // R reaches the host cleared of any value and error
}

TEST(Peticiones, OperandEdgeCases)
{
    const Caso Casos[] = {
        {"-2^2", "", "number 4 (Tipo 1)"},         {"2^-1", "", "number 0.5 (Tipo 1)"},
        {"--2", "", "number 2 (Tipo 1)"},          {"+-2", "", "number -2 (Tipo 1)"},
        {"-t", "t", "Error 200 at 2"},             {"-(t)", "t", "Error 200 at 5"},
        {"+t", "t", "Error 200 at 2"},             {"-\"ab\"", "", "Error 200 at 6"},
        {"(1", "", "Error 300 at 3"},              {"(1 2)", "", "Error 300 at 3"},
        {"(x;1)", "x", "Error 300 at 2"},          {"(y;1)", "y", "Error 300 at 2"},
        {"(y)", "y", "Error 1000 at 4"},           {"y", "y", "Error 1000 at 1"},
        {"1 + y", "y", "Error 1000 at 4"},         {"f()", "", "Error 500 at 3"},
        {"f(1", "", "Error 400 at 4"},             {"f(1;2", "", "Error 400 at 6"},
        {"f(x", "x", "Error 400 at 3"},            {"f(1 2)", "", "Error 600 at 4"},
        {"f(x 2)", "x", "Error 600 at 3"},         {"f(1;)", "", "Error 500 at 5"},
        {"f(;1)", "", "Error 500 at 3"},           {"g (1)", "g()", "number 1 (Tipo 1)"},
        {"g(1;2)", "g()", "number 3 (Tipo 1)"},    {"g(2,25)", "g()", "number 2.25 (Tipo 1)"},
        {"g(1;2;3;4)", "g()", "number 10 (Tipo 1)"}, {"g(x;x)", "x x g()", "number 10 (Tipo 1)"},
        {"g(y;2)", "y", "Error 1000 at 3"},        {"g(1;h(2))", "h()", "Error 1100 at 5"},
        {"h(1)", "h()", "Error 1100 at 1"},        {"!1", "", "Error 500 at 1"},
        {"1+", "", "Error 500 at 3"},              {"x 1", "x", "Error 100 at 1"},
        {"t", "t", "text \"ab\""},
        // Signs on host values: a number is negated, anything else fails at the name,
        // and an error of the operand passes through the sign unchanged.
        {"-x", "x", "number -5 (Tipo 1)"},         {"+x", "x", "number 5 (Tipo 1)"},
        {"--x", "x", "number 5 (Tipo 1)"},         {"-(x)", "x", "number -5 (Tipo 1)"},
        {"-x^2", "x", "number 25 (Tipo 1)"},       {"2^-x", "x", "number 0.03125 (Tipo 1)"},
        {"-g(1;2)", "g()", "number -3 (Tipo 1)"},  {"-y", "y", "Error 1000 at 2"},
        {"-h(1)", "h()", "Error 1100 at 2"},       {"-+t", "t", "Error 200 at 3"},
    };
    HostComun Host;
    Analisis A(&Host);
    for (const Caso &C : Casos)
        Comprobar(Host, A, C);
}

// Names are requested in the order they stand, a function after its whole argument list,
// and nothing at all once an error has been raised.
TEST(Peticiones, OrderOfRequestsAndNoneAfterAnError)
{
    const Caso Casos[] = {
        {"g(x;h(1))", "x h() g()", "number 6 (Tipo 1)"},
        {"x-z-x", "x z x", "number 8 (Tipo 1)"},
        {"g(z;x)+h(x^z)", "z x g() x z h()", "number 32 (Tipo 1)"},
        {"h(g(z);x)-h(t)", "z g() x h() t h()", "number 7 (Tipo 1)"},
        {"y+x", "y", "Error 1000 at 1"},
        {"1+y+x", "y", "Error 1000 at 3"},
        {"g(y;x)", "y", "Error 1000 at 3"},
        {"g(x;y)+x", "x y", "Error 1000 at 5"},
        {"g(1;k(x);x)", "x k()", "Error 1100 at 5"},
        {"k(x)+x", "x k()", "Error 1100 at 1"},
        {"(y)+x", "y", "Error 1000 at 4"},
        {"x^y^x", "x y", "Error 1000 at 3"},
        {"x*y*z", "x y", "Error 1000 at 3"},
        {"-t+x", "t", "Error 200 at 2"},
        {"g(1 x)+x", "", "Error 600 at 4"},
        {"g(x;)+x", "x", "Error 500 at 5"},
        {"t+x+g(1)", "t x g()", "Error 700 at 5"},
        {"x#z", "x", "Error 800 at 1"},
        {"x z", "x", "Error 100 at 1"},
        {"(x;z)", "x", "Error 300 at 2"},
        {"g(x;z", "x z", "Error 400 at 5"},
        {"x/0+z", "x", "Error 1200 at 4"},
    };
    HostComun Host;
    Host.Variables["z"] = Pruebas::Numero(2);
    Host.Funciones["h"] = HostDePrueba::Suma;
    Analisis A(&Host);
    for (const Caso &C : Casos)
        Comprobar(Host, A, C);
}

// The function receives N blocks holding exactly the values its arguments evaluated to.
TEST(Peticiones, ArgumentsAsEvaluated)
{
    const struct {
        const char *Expresion;
        char Decimal;
        const char *Argumentos;
    } Casos[] = {
        {"g(1;2;3;4)", '\0', "number 1 (Tipo 1);number 2 (Tipo 1);number 3 (Tipo 1);number 4 (Tipo 1)"},
        {"g(1;2;3)", '\0', "number 1 (Tipo 1);number 2 (Tipo 1);number 3 (Tipo 1)"},
        {"g(x;x)", '\0', "number 5 (Tipo 1);number 5 (Tipo 1)"},
        {"g(1;2)", ';', "number 1.2 (Tipo 1)"}, // the number takes the ";" first
        {"g(2,25)", '\0', "number 2.25 (Tipo 1)"},
        {"g(t;1+2;\"c\")", '\0', "\"ab\";number 3 (Tipo 1);\"c\""},
        {"g(g(1;2);-x)", '\0', "number 3 (Tipo 1);number -5 (Tipo 1)"},
        {"g(x^2;t+\"c\";1=1;(4))", '\0', "number 25 (Tipo 1);\"abc\";number 1 (Tipo 1);number 4 (Tipo 1)"},
        {"g(\"\";\" \")", '\0', "\"\";\" \""},
    };
    for (const auto &C : Casos) {
        SCOPED_TRACE(C.Expresion);
        HostComun Host;
        Analisis A(&Host, '\0', C.Decimal);
        EXPECT_EQ(A(C.Expresion).Error, 0);
        ASSERT_FALSE(Host.Peticiones.empty());
        const Pruebas::Peticion &Ultima = Host.Peticiones.back();
        EXPECT_EQ(Ultima.Nombre, "g");
        EXPECT_EQ(Argumentos(Ultima), C.Argumentos);
    }
}

// Any non-zero code a host leaves in R comes back as it is, at the requested name,
// whatever position the host wrote.
TEST(Peticiones, HostCodesComeBackUnchanged)
{
    const int32_t Codigos[] = {E_VARIABLE, E_FUNCION, E_DIVISION, 4242, -7, 1, INT32_MIN, INT32_MAX};
    const struct {
        const char *Expresion;
        const char *Orden;
        int32_t Posicion;
    } Casos[] = {
        {"2+y", "y", 3},        {"y+x", "y", 1},        {"(y)+x", "y", 4},   {"1 + k(1)", "k()", 4},
        {"g(1;k(x))+x", "x k()", 5}, {"-k(2)", "k()", 2}, {"k(1) x", "k()", 1}, {"g(x;y;k(1))", "x y", 5},
    };
    for (const int32_t Codigo : Codigos) {
        HostComun Host;
        Host.Variables["y"] = Pruebas::ConError(Codigo, 99);
        Host.Funciones["k"] = [Codigo](const BLOQUEDEDATOS *, int32_t, BLOQUEDEDATOS &R) {
            R.Error = Codigo;
            R.Posicion = 99;
        };
        Analisis A(&Host);
        for (const auto &C : Casos) {
            SCOPED_TRACE(std::string(C.Expresion) + " answered with " + std::to_string(Codigo));
            Host.Peticiones.clear();
            const BLOQUEDEDATOS R = A(C.Expresion);
            EXPECT_EQ(R.Error, Codigo);
            EXPECT_EQ(R.Posicion, C.Posicion);
            EXPECT_EQ(Unir(Host.Orden()), C.Orden);
        }
    }
}

// Without a request installed the engine answers it, with the name in Cadena; a list
// that fails is reported before any function is looked for.
TEST(Peticiones, NoCallbacks)
{
    const struct {
        const char *Expresion;
        const char *Resultado;
        const char *Cadena; // null when no name is reported
    } Casos[] = {
        {"abc", "Error 1000 at 1", "abc"},       {"abc(1)", "Error 1100 at 1", "abc"},
        {"abc (1)", "Error 1100 at 1", "abc"},   {"1 + abc", "Error 1000 at 4", "abc"},
        {"g(abc;1)", "Error 1000 at 3", "abc"},  {"x1(y)", "Error 1000 at 4", "y"},
        {"A\xF1o_2+1", "Error 1000 at 1", "A\xF1o_2"}, {"abc(1;", "Error 500 at 7", nullptr},
        {"abc(", "Error 500 at 5", nullptr},     {"abc(1 2)", "Error 600 at 6", nullptr},
    };
    HostComun Host;
    Analisis Nuevo, Quitado(&Host), Reiniciado(&Host);
    Host.Instalar(&Quitado.Estado, false, false);
    A_Inicializar(&Reiniciado.Estado);
    for (Analisis *A : {&Nuevo, &Quitado, &Reiniciado}) {
        for (const auto &C : Casos) {
            SCOPED_TRACE(C.Expresion);
            const BLOQUEDEDATOS R = (*A)(C.Expresion);
            EXPECT_EQ(Describir(R), C.Resultado);
            if (C.Cadena) {
                EXPECT_STREQ(R.Cadena, C.Cadena);
            }
        }
    }
    EXPECT_TRUE(Host.Peticiones.empty());
}

TEST(Peticiones, OnlyOneRequestInstalled)
{
    const struct {
        bool SoloVariables; // otherwise only functions
        Caso Esperado;
        const char *Cadena;
    } Casos[] = {
        {true, {"x", "x", "number 5 (Tipo 1)"}, nullptr},
        {true, {"g(x)", "x", "Error 1100 at 1"}, "g"},
        {true, {"g(1)+x", "", "Error 1100 at 1"}, "g"},
        {false, {"g(1)", "g()", "number 1 (Tipo 1)"}, nullptr},
        {false, {"g(x)", "", "Error 1000 at 3"}, "x"},
        {false, {"g(1)+x", "g()", "Error 1000 at 6"}, "x"},
    };
    for (const auto &C : Casos) {
        HostComun Host;
        Analisis A;
        Host.Instalar(&A.Estado, C.SoloVariables, !C.SoloVariables);
        Comprobar(Host, A, C.Esperado);
        if (C.Cadena) {
            EXPECT_STREQ(A(C.Esperado.Expresion).Cadena, C.Cadena);
        }
    }
}

#if defined(EVALION_OBJETO)

// Answers with a number that tells whether the object arrived null: 1 for a variable,
// 10 + N for a function; -1 when an object came along.
void VariableSinObjeto(void *Objeto, char *, BLOQUEDEDATOS *R)
{
    R->Numero = Objeto == nullptr ? 1 : -1;
    R->Tipo = TIPO_NUMERO;
}
void FuncionSinObjeto(void *Objeto, char *, BLOQUEDEDATOS *, int32_t N, BLOQUEDEDATOS *R)
{
    R->Numero = Objeto == nullptr ? 10 + N : -1;
    R->Tipo = TIPO_NUMERO;
}

// Only the code word decides whether a request is installed; the object is passed as is.
TEST(Peticiones, ObjectFormInstalledByCodeOnly)
{
    HostComun Host;
    Analisis SinCodigo, SinObjeto;
    A_AsignarAlPedir(&SinCodigo.Estado, nullptr, &Host, nullptr, &Host);
    A_AsignarAlPedir(&SinObjeto.Estado, Pruebas::PuenteVariable<VariableSinObjeto>, nullptr,
                     Pruebas::PuenteFuncion<FuncionSinObjeto>, nullptr);

    const BLOQUEDEDATOS Variable = SinCodigo("x"), Funcion = SinCodigo("g(1)");
    EXPECT_EQ(Describir(Variable), "Error 1000 at 1");
    EXPECT_STREQ(Variable.Cadena, "x");
    EXPECT_EQ(Describir(Funcion), "Error 1100 at 1");
    EXPECT_STREQ(Funcion.Cadena, "g");
    EXPECT_TRUE(Host.Peticiones.empty());

    EXPECT_EQ(Describir(SinObjeto("x+f(1;2)")), "number 13 (Tipo 1)");
}

#endif

// Kinds are bits: the number bit makes a number, the text bit a text, and when both are
// set the number test comes first. Other bits mean nothing; a sign keeps the host's Tipo.
TEST(Peticiones, HostValueKinds)
{
    const char *const Expresiones[] = {"v+1", "\"x\"+v", "v+v", "-v", "v=\"cd\""};
    const struct {
        uint8_t Tipo;
        const char *Resultados[5];
    } Casos[] = {
        {0, {"Error 700 at 4", "Error 700 at 5", "Error 700 at 3", "Error 200 at 2", "Error 700 at 7"}},
        {1, {"number 3 (Tipo 1)", "Error 700 at 5", "number 4 (Tipo 1)", "number -2 (Tipo 1)", "Error 700 at 7"}},
        {2, {"Error 700 at 4", "text \"xcd\"", "text \"cdcd\"", "Error 200 at 2", "number 1 (Tipo 1)"}},
        {3, {"number 3 (Tipo 1)", "text \"xcd\"", "number 4 (Tipo 1)", "number -2 (Tipo 3)", "number 1 (Tipo 1)"}},
        {4, {"Error 700 at 4", "Error 700 at 5", "Error 700 at 3", "Error 200 at 2", "Error 700 at 7"}},
        {5, {"number 3 (Tipo 1)", "Error 700 at 5", "number 4 (Tipo 1)", "number -2 (Tipo 5)", "Error 700 at 7"}},
        {6, {"Error 700 at 4", "text \"xcd\"", "text \"cdcd\"", "Error 200 at 2", "number 1 (Tipo 1)"}},
        {200, {"Error 700 at 4", "Error 700 at 5", "Error 700 at 3", "Error 200 at 2", "Error 700 at 7"}},
        {201, {"number 3 (Tipo 1)", "Error 700 at 5", "number 4 (Tipo 1)", "number -2 (Tipo 201)", "Error 700 at 7"}},
        {202, {"Error 700 at 4", "text \"xcd\"", "text \"cdcd\"", "Error 200 at 2", "number 1 (Tipo 1)"}},
        {255, {"number 3 (Tipo 1)", "text \"xcd\"", "number 4 (Tipo 1)", "number -2 (Tipo 255)", "number 1 (Tipo 1)"}},
    };
    for (const auto &C : Casos) {
        HostComun Host;
        BLOQUEDEDATOS V = Pruebas::Texto("cd");
        V.Numero = 2;
        V.Tipo = C.Tipo;
        Host.Variables["v"] = V;
        Analisis A(&Host);
        const BLOQUEDEDATOS Solo = A("v");
        EXPECT_EQ(Solo.Error, 0);
        EXPECT_EQ(Solo.Tipo, C.Tipo); // the host's block is the value, Tipo included
        for (size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(std::string(Expresiones[i]) + " with Tipo " + std::to_string(C.Tipo));
            EXPECT_EQ(Describir(A(Expresiones[i])), C.Resultados[i]);
        }
    }
}

// A host value without a kind fits no binary operator, on either side.
TEST(Peticiones, KindZeroFitsNoOperator)
{
    HostComun Host;
    BLOQUEDEDATOS Nada = Pruebas::Texto("ab");
    Nada.Numero = 1;
    Nada.Tipo = 0;
    Host.Variables["n"] = Nada;
    Analisis A(&Host);
    for (const std::string Operador : {"+", "-", "=", "<>", "<", ">", "<=", ">=", "^", "*", "/"}) {
        for (const std::string &Expresion : {"n" + Operador + "1", "1" + Operador + "n", "n" + Operador + "n",
                                             "\"ab\"" + Operador + "n", "n" + Operador + "\"ab\""}) {
            SCOPED_TRACE(Expresion);
            EXPECT_EQ(A(Expresion).Error, E_INCOMPATIBLES);
        }
    }
}

// A host text that fills all 1024 bytes is cut to 1023 characters, as any text holds. Blocks
// w and u hold the same 1024 bytes and differ only in Tipo, so reading past the field would
// tell them apart.
TEST(Peticiones, HostTextWithoutTerminator)
{
    HostComun Host;
    BLOQUEDEDATOS Lleno = Pruebas::Texto("");
    std::memset(Lleno.Cadena, 'w', sizeof Lleno.Cadena);
    Host.Variables["w"] = Lleno;
    Lleno.Tipo = TIPO_CADENA | 4;
    Host.Variables["u"] = Lleno;
    Host.Variables["v"] = Pruebas::Texto(std::string(1023, 'w'));
    Analisis A(&Host);
    const std::string W1023 = "text \"" + std::string(1023, 'w') + "\"";
    const Caso Casos[] = {
        {"w=u", "w u", "number 1 (Tipo 1)"},  {"w<>u", "w u", "number 0 (Tipo 1)"},
        {"w<u", "w u", "number 0 (Tipo 1)"},  {"w>=u", "w u", "number 1 (Tipo 1)"},
        {"w>v", "w v", "number 0 (Tipo 1)"},  {"v<w", "v w", "number 0 (Tipo 1)"},
        {"w=v", "w v", "number 1 (Tipo 1)"}, // cut to 1023 characters, as v  {"w<\"x\"", "w", "number 1 (Tipo 1)"},
        {"\"x\">w", "w", "number 1 (Tipo 1)"}, {"w+\"a\"", "w", W1023.c_str()},
        {"u+w", "u w", W1023.c_str()},        {"\"\"+w", "w", W1023.c_str()},
        {"v+w", "v w", W1023.c_str()},
    };
    for (const Caso &C : Casos)
        Comprobar(Host, A, C);
    EXPECT_EQ(Describir(A("\"a\"+w")), "text \"a" + std::string(1022, 'w') + "\"");
}

// A host that answers by leaving R as it came still answers: R's Error is 0, so the
// analysis goes on without an error.
// Every value defines the field its kind does not name: a number has the empty text and a
// text the number 0, whatever the host or an earlier value left in the block.
TEST(Peticiones, ValuesDefineBothFields)
{
    HostComun Host;
    Host.Funciones["n"] = [](const BLOQUEDEDATOS *, int32_t, BLOQUEDEDATOS &R) {
        R = Pruebas::Numero(3);
        std::strcpy(R.Cadena, "viejo");
    };
    Host.Funciones["c"] = [](const BLOQUEDEDATOS *, int32_t, BLOQUEDEDATOS &R) {
        R = Pruebas::Texto("ab");
        R.Numero = 7;
    };
    Analisis A(&Host);
    const struct {
        const char *Expresion;
        double Numero;
        const char *Cadena;
    } Casos[] = {
        {"n(0)", 3, ""}, {"c(0)", 0, "ab"}, {"\"xyz\"", 0, "xyz"}, {"1", 1, ""}, {"c(0)+\"d\"", 0, "abd"},
        {"c(0)=\"ab\"", 1, ""}, {"-n(0)", -3, ""},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        A("\"texto de antes\"");
        const BLOQUEDEDATOS R = A(Caso.Expresion);
        const double Numero = R.Numero; // the packed block's double may be misaligned for a reference
        EXPECT_EQ(R.Error, 0);
        EXPECT_EQ(Numero, Caso.Numero);
        EXPECT_STREQ(R.Cadena, Caso.Cadena);
    }
    // The arguments, each a block of its own: as defined as any result.
    Host.Peticiones.clear();
    A("g(c(0); n(0); 2; \"e\")");
    ASSERT_EQ(Host.Peticiones.size(), 3u);
    const auto &Argumentos = Host.Peticiones[2].Parametros;
    ASSERT_EQ(Argumentos.size(), 4u);
    const double Texto1 = Argumentos[0].Numero, Texto4 = Argumentos[3].Numero;
    EXPECT_EQ(Texto1, 0);
    EXPECT_STREQ(Argumentos[1].Cadena, "");
    EXPECT_STREQ(Argumentos[2].Cadena, "");
    EXPECT_EQ(Texto4, 0);
    for (const Pruebas::Peticion &P : Host.Peticiones)
        EXPECT_TRUE(P.RVacio) << P.Nombre; // n's R follows c's in the same block
}

TEST(Peticiones, HostLeavesResultUntouched)
{
    HostComun Host;
    Host.SinRespuesta = {"m", "nada"};
    Analisis A(&Host);
    for (const char *Expresion : {"m", "nada(1)", "(m)", "nada(m;t)", "g(m;nada(2))"}) {
        SCOPED_TRACE(Expresion);
        Host.Peticiones.clear();
        EXPECT_EQ(A(Expresion).Error, 0);
        for (const Pruebas::Peticion &P : Host.Peticiones) {
            EXPECT_EQ(P.ErrorDeR, 0);
            for (const BLOQUEDEDATOS &Parametro : P.Parametros)
                EXPECT_EQ(Parametro.Error, 0);
        }
    }
    EXPECT_EQ(Describir(A("m 1")), "Error 100 at 1");
    EXPECT_EQ(Describir(A("nada(1) 1")), "Error 100 at 1");
}

} // namespace
