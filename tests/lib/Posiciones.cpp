// Error codes and the positions at which an analysis reports them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;

struct CasoError {
    const char *Expresion;
    int32_t Error;
    int32_t Posicion;
};

void ComprobarError(const BLOQUEDEDATOS &R, int32_t Error, int32_t Posicion)
{
    EXPECT_EQ(R.Error, Error) << Pruebas::Describir(R);
    EXPECT_EQ(R.Posicion, Posicion) << Pruebas::Describir(R);
}

// A host that knows x = 5 and t = "ab", and answers y with an error of its own.
struct Anfitrion : Pruebas::HostDePrueba {
    Anfitrion()
    {
        Variables["x"] = Pruebas::Numero(5);
        Variables["t"] = Pruebas::Texto("ab");
        Variables["y"] = Pruebas::ConError(E_VARIABLE, 99); // the engine stamps its own position
    }
};

TEST(Posiciones, ErrorsWithAHost)
{
    const CasoError Casos[] = {
        // Kinds of the operands: reported where the chain ended.
        {"1+\"a\"", E_INCOMPATIBLES, 6},       {"1=\"1\"", E_INCOMPATIBLES, 6},
        {"\"a\"^2", E_INCOMPATIBLES, 6},       {"\"a\"-\"b\"", E_INCOMPATIBLES, 8},
        {"\"a\"<\"b\"<\"c\"", E_INCOMPATIBLES, 12}, {"\"a\"+\"b\"=\"ab\"", E_INCOMPATIBLES, 13},
        {"\"a\"+x", E_INCOMPATIBLES, 5},       {"x+\"a\"", E_INCOMPATIBLES, 6},
        {"\"a\"*2", E_INCOMPATIBLES, 6},
        // Invalid characters: after an operand E_CARACTER, in place of one E_OPERANDO.
        {"1 # 2", E_CARACTER, 2},              {"2^3#", E_CARACTER, 4},
        {"x#", E_CARACTER, 1},                 {"(1)#", E_CARACTER, 4},
        {"1+#", E_OPERANDO, 3},                {"!1", E_OPERANDO, 1},
        {"\"a\"+1+", E_OPERANDO, 7},           {"1+", E_OPERANDO, 3},
        {"*3", E_OPERANDO, 1},                 {"f()", E_OPERANDO, 3},
        {"f(1;)", E_OPERANDO, 5},              {"f(;1)", E_OPERANDO, 3},
        // Left-over input.
        {"1 2", E_OPERADOR, 2},                {"2 3", E_OPERADOR, 2},
        {"2)", E_OPERADOR, 2},                 {"x 1", E_OPERADOR, 1},
        {"1 x", E_OPERADOR, 2},
        // Parentheses and argument lists.
        {"(1+2", E_PARENTESIS, 5},             {"(1", E_PARENTESIS, 3},
        {"(1 2)", E_PARENTESIS, 3},            {"(x;1)", E_PARENTESIS, 2},
        {"f(1", E_CIERREFUNCION, 4},           {"f(x", E_CIERREFUNCION, 3},
        {"f(1;2", E_CIERREFUNCION, 6},         {"f(1 2)", E_SEPARADOR, 4},
        {"f(x 2)", E_SEPARADOR, 3},
        // Runs of parentheses, with blanks between them, end where single ones would.
        {"( (1) 2)", E_PARENTESIS, 6},         {"((1)", E_PARENTESIS, 5},
        {"(( y ) )", E_VARIABLE, 9},           {"((x)) #", E_CARACTER, 6},
        // Signs on something that is not a number.
        {"-\"ab\"", E_VALOR, 6},               {"-t", E_VALOR, 2},
        {"+t", E_VALOR, 2},                    {"-(t)", E_VALOR, 5},
        // Host codes are reported at the name, or behind the ")" that closes them in.
        {"2+y", E_VARIABLE, 3},                {"(y)", E_VARIABLE, 4},
        {"h(1)", E_FUNCION, 1},
        {"1/0", E_DIVISION, 4},
    };
    for (const CasoError &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        Anfitrion Host;
        ComprobarError(Analisis(&Host)(Caso.Expresion), Caso.Error, Caso.Posicion);
    }
}

TEST(Posiciones, ErrorsWithoutCallbacks)
{
    const CasoError Casos[] = {
        {"x", E_VARIABLE, 1},      {"1 + x", E_VARIABLE, 4}, {"abc", E_VARIABLE, 1},
        {"abc(1)", E_FUNCION, 1},  {"abc(1;", E_OPERANDO, 7}, {"   ", E_OPERANDO, 1},
        {"", E_OPERANDO, 0},
    };
    for (const CasoError &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        ComprobarError(Analisis()(Caso.Expresion), Caso.Error, Caso.Posicion);
    }
}

// A missing text is refused before the record is touched.
TEST(Posiciones, NullAndEmptyTextLeaveTheRecordAlone)
{
    Analisis A;
    // Every byte defined, so that the comparison below compares values only.
    std::memset(&A.Estado, 0x5A, sizeof A.Estado);
    A_Inicializar(&A.Estado);
    A("7+1");
    ESTADODEANALISIS Antes;
    std::memcpy(&Antes, &A.Estado, sizeof Antes);
    ComprobarError(A_Analizar(&A.Estado, nullptr), E_OPERANDO, 0);
    ComprobarError(A_Analizar(&A.Estado, ""), E_OPERANDO, 0);
    EXPECT_EQ(std::memcmp(&Antes, &A.Estado, sizeof Antes), 0);
}

TEST(Posiciones, NoRequestAfterTheError)
{
    for (const char *Expresion : {"1/0+x", "1+#+x", "(1 x)", "f(1 x)"}) {
        SCOPED_TRACE(Expresion);
        Anfitrion Host;
        Host.Funciones["f"] = Pruebas::HostDePrueba::Suma;
        EXPECT_NE(Analisis(&Host)(Expresion).Error, 0);
        EXPECT_TRUE(Host.Peticiones.empty());
    }
}

// Only the first 1024 characters are analysed: each text below changes its meaning at 1025.
TEST(Posiciones, TextIsCutAt1024Characters)
{
    const auto Blancos = [](size_t n) { return std::string(n, ' '); };
    const std::string A1023(1023, 'a');

    BLOQUEDEDATOS R = Analisis()("7" + Blancos(1021) + "+1");
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Numero, 8);

    ComprobarError(Analisis()("7" + Blancos(1022) + "+1"), E_OPERANDO, 1025);

    R = Analisis()("7" + Blancos(1023) + "+1" + Blancos(74));
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Numero, 7);

    R = Analisis()("\"" + A1023 + "\"+1");
    ASSERT_EQ(R.Error, 0) << Pruebas::Describir(R);
    EXPECT_EQ(R.Tipo, TIPO_CADENA);
    EXPECT_EQ(std::string(R.Cadena), A1023);
}

// A record keeps nothing from one analysis to the next.
TEST(Posiciones, RepeatedAnalysesMatchFreshRecords)
{
    const std::string Largo = "\"" + std::string(1200, 'q');
    const char *Expresiones[] = {
        Largo.c_str(), "\"ab", "1,5+x", "(1 2)", "12", "1", "f(x;2", "\"a\"+t", "x#", "",
        "-2^2", "t", "\"abc\"<\"ab\"", "1/0", "y", "3",
    };
    Anfitrion Host;
    Host.Funciones["f"] = Pruebas::HostDePrueba::Suma;
    Analisis Reutilizado(&Host);
    for (const char *Expresion : Expresiones) {
        SCOPED_TRACE(std::string(Expresion).substr(0, 20));
        const std::string Seguido = Pruebas::Describir(Reutilizado(Expresion));
        EXPECT_EQ(Seguido, Pruebas::Describir(Analisis(&Host)(Expresion)));
    }
}

} // namespace
