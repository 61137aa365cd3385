// The size limits at their edges: the longest text, the longest name, joined texts that
// outgrow their field, and the longest argument list a 1024-character text can hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostDePrueba.h"

namespace {

using Pruebas::Analisis;
using Pruebas::Describir;
using Pruebas::HostDePrueba;

// Letters running through the alphabet from an offset, so that a cut, a shift or a
// swap of two texts shows in the result.
std::string Letras(size_t Largo, size_t Desde = 0)
{
    std::string Salida;
    for (size_t i = 0; i < Largo; ++i)
        Salida += static_cast<char>('a' + (Desde + i) % 26);
    return Salida;
}

std::string Repetir(const std::string &Trozo, int Veces)
{
    std::string Salida;
    for (int i = 0; i < Veces; ++i)
        Salida += Trozo;
    return Salida;
}

std::string ComoTexto(const std::string &Texto) { return "text \"" + Texto + "\""; }

struct Caso {
    const char *Nombre;
    std::string Expresion;
    std::string Esperado;
};

TEST(Limites, LongestTextLiteralArrivesWhole)
{
    const Caso Casos[] = {
        {"1023 characters, unterminated", "\"" + Letras(1023), ComoTexto(Letras(1023))},
        {"1022 characters, closed", "\"" + Letras(1022) + "\"", ComoTexto(Letras(1022))},
        {"text of 1100 characters", "\"" + Letras(1099), ComoTexto(Letras(1023))},
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Nombre);
        EXPECT_EQ(Describir(Analisis()(C.Expresion)), C.Esperado);
    }

    HostDePrueba Host;
    Host.Funciones["g"] = HostDePrueba::Suma;
    Analisis A(&Host);
    const std::string Llamada = "g(\"" + Letras(1019) + "\")";
    ASSERT_EQ(Llamada.size(), 1024u);
    EXPECT_EQ(A(Llamada).Error, 0);
    ASSERT_EQ(Host.Peticiones.size(), 1u);
    ASSERT_EQ(Host.Peticiones[0].Parametros.size(), 1u);
    EXPECT_EQ(Describir(Host.Peticiones[0].Parametros[0]), ComoTexto(Letras(1019)));
}

// The host gets at most the first 1023 characters of a name, and so does Cadena when no
// request is installed.
TEST(Limites, LongNamesReachTheHostCut)
{
    const struct {
        const char *Nombre;
        std::string Expresion;
        std::string Pedido;
        const char *Resultado;
    } Casos[] = {
        {"name of 1023", Letras(1023), Letras(1023), "Error 1000 at 1"},
        {"the whole text one name", Letras(1024), Letras(1023), "Error 1000 at 1"},
        {"name of 1100, text cut first", Letras(1100), Letras(1023), "Error 1000 at 1"},
        {"function of 1021", Letras(1021) + "(1)", Letras(1021) + "()", "Error 1100 at 1"},
    };
    for (const auto &C : Casos) {
        SCOPED_TRACE(C.Nombre);
        HostDePrueba Host;
        Analisis A(&Host);
        EXPECT_EQ(Describir(A(C.Expresion)), C.Resultado);
        ASSERT_EQ(Host.Orden().size(), 1u);
        EXPECT_EQ(Host.Orden()[0], C.Pedido);
    }
    const BLOQUEDEDATOS SinHost = Analisis()(Letras(1024));
    EXPECT_EQ(Describir(SinHost), "Error 1000 at 1");
    EXPECT_EQ(std::string(SinHost.Cadena), Letras(1023));
}

// "+" keeps the left text and as much of the right as fits in 1023 characters; in a chain
// each operator cuts the value of everything to its right.
TEST(Limites, JoinedHostTextsStopAt1023)
{
    HostDePrueba Host;
    const std::string P = Letras(600), Q = Letras(600, 7), A4 = Letras(400, 1), B4 = Letras(400, 2),
                      C4 = Letras(400, 3), R = Letras(1000), S = Letras(23, 5), S24 = Letras(24, 5);
    Host.Variables = {{"p", Pruebas::Texto(P)},   {"q", Pruebas::Texto(Q)},   {"a", Pruebas::Texto(A4)},
                      {"b", Pruebas::Texto(B4)},  {"c", Pruebas::Texto(C4)},  {"r", Pruebas::Texto(R)},
                      {"s", Pruebas::Texto(S)},   {"s24", Pruebas::Texto(S24)}};
    Analisis A(&Host);
    const Caso Casos[] = {
        {"two of 600", "p+q", ComoTexto(P + Q.substr(0, 423))},
        {"swapped", "q+p", ComoTexto(Q + P.substr(0, 423))},
        {"three of 400", "a+b+c", ComoTexto(A4 + B4 + C4.substr(0, 223))},
        {"chain of four", "p+q+p+q", ComoTexto(P + Q.substr(0, 423))},
        {"chain of five", "p+p+p+p+p", ComoTexto(P + P.substr(0, 423))},
        {"literal first", "\"xy\"+p+q", ComoTexto("xy" + P + Q.substr(0, 421))},
        {"exactly 1023", "r+s", ComoTexto(R + S)},
        {"one too many", "r+s24", ComoTexto(R + S24.substr(0, 23))},
        {"empty right", "p+\"\"", ComoTexto(P)},
        // A long left text waits apart while its right side takes its block.
        {"compared whole", "p<q", "number 1 (Tipo 1)"},
        {"compared with a join", "p=p+q", "number 0 (Tipo 1)"},
        {"a join compared", "p+q=p+q", "Error 700 at 7"},
        {"right side fails", "p+q+y", "Error 1000 at 5"},
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Nombre);
        EXPECT_EQ(Describir(A(C.Expresion)), C.Esperado);
    }
}

// 511 arguments are the most a 1024-character text can hold. Argument i is the digit
// i mod 10, so every block can be checked; the failures leave hundreds of blocks in the
// array, which must be released all the same.
TEST(Limites, CallWith511Arguments)
{
    std::vector<std::string> Digitos;
    for (int i = 0; i < 511; ++i)
        Digitos.push_back(std::to_string(i % 10));
    std::string Lista = Digitos[0];
    for (int i = 1; i < 511; ++i)
        Lista += ";" + Digitos[i];

    HostDePrueba Host;
    Host.Funciones["g"] = HostDePrueba::Suma;
    Analisis A(&Host);
    const std::string Llamada = "g(" + Lista + ")";
    ASSERT_EQ(Llamada.size(), 1024u);
    EXPECT_EQ(Describir(A(Llamada)), "number 2295 (Tipo 1)");
    ASSERT_EQ(Host.Peticiones.size(), 1u);
    const std::vector<BLOQUEDEDATOS> &Parametros = Host.Peticiones[0].Parametros;
    ASSERT_EQ(Parametros.size(), 511u);
    for (int i = 0; i < 511; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Describir(Parametros[i]), "number " + Digitos[i] + " (Tipo 1)");
    }

    const struct {
        const char *Nombre;
        std::string Expresion;
        const char *Resultado;
        const char *Orden;
    } Fallos[] = {
        {"unknown last argument", "g(" + Repetir("1;", 510) + "y)", "Error 1000 at 1023", "y"},
        {"unknown inner function", "g(" + Repetir("1;", 509) + "k(1)", "Error 1100 at 1021", "k()"},
        {"no closing parenthesis", "g(" + Repetir("1;", 510) + "1", "Error 400 at 1024", ""},
        {"missing last argument", "g(" + Repetir("1;", 511), "Error 500 at 1025", ""},
        {"missing separator", "g(" + Repetir("1;", 509) + "1 1)", "Error 600 at 1022", ""},
    };
    for (const auto &F : Fallos) {
        SCOPED_TRACE(F.Nombre);
        Host.Peticiones.clear();
        EXPECT_EQ(Describir(A(F.Expresion)), F.Resultado);
        const std::vector<std::string> Orden = Host.Orden();
        EXPECT_EQ(Orden.empty() ? "" : Orden[0], F.Orden);
        EXPECT_LE(Orden.size(), 1u);
    }
}

} // namespace
