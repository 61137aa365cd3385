// The character reader, the token scanner, the name class and the number conversion,
// exercised on the engine itself.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "Motor.h"
#include "Peticiones.h"

namespace {

// The bytes that may stand in a name: digits, ASCII letters, "_" and the twelve Spanish
// letters of Latin-1, and no other byte.
const std::string CLASE_NOMBRE = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_"
                                 "\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA";

// A record ready to scan Texto from its start, as the analysis entry leaves it.
struct Lector {
    ESTADODEANALISIS Estado{};
    explicit Lector(const std::string &Texto, char Millar = '\0', char Decimal = '\0')
    {
        Motor::Inicializar(&Estado, Motor::SinVariable(), Motor::SinFuncion(), Millar, Decimal);
        std::strncpy(Estado.Texto, Texto.c_str(), EVALION_LARGO_EXPRESION);
        Motor::LeerCaracter(&Estado, Motor::LEER_REINICIAR);
    }
};

std::string Numero(double Valor)
{
    char Buffer[64];
    const auto Fin = std::to_chars(Buffer, Buffer + sizeof Buffer, Valor, std::chars_format::fixed).ptr;
    return std::string(Buffer, Fin);
}

// Scans up to T_FIN and describes each token with its InicioToken, e.g. "num(12)@0 +@2 fin@3".
// Also checks what every scan must keep: Leidos follows Cursor, and TextoToken and
// ValorNumero change only for the tokens that carry them.
std::string Escanear(Lector &L)
{
    ESTADODEANALISIS &E = L.Estado;
    std::string Salida;
    for (int Vuelta = 0; Vuelta <= EVALION_LARGO_EXPRESION + 1; ++Vuelta) {
        char TextoAntes[sizeof E.TextoToken];
        std::memcpy(TextoAntes, E.TextoToken, sizeof TextoAntes);
        const double ValorAntes = E.ValorNumero;
        const int32_t Token = Motor::SiguienteToken(&E);
        EXPECT_EQ(E.Leidos, E.Cursor - E.Texto);
        if (Token != T_NUMERO) {
            EXPECT_EQ(std::memcmp(&ValorAntes, &E.ValorNumero, sizeof ValorAntes), 0) << "ValorNumero changed";
        }
        if (Token != T_NUMERO && Token != T_IDENTIFICADOR && Token != T_CADENA) {
            EXPECT_EQ(std::memcmp(TextoAntes, E.TextoToken, sizeof TextoAntes), 0) << "TextoToken changed";
        }

        if (!Salida.empty())
            Salida += ' ';
        switch (Token) {
        case T_FIN: Salida += "fin"; break;
        case T_NUMERO: Salida += "num(" + Numero(E.ValorNumero) + ")"; break;
        case T_IDENTIFICADOR: Salida += "id(" + std::string(E.TextoToken) + ")"; break;
        case T_CADENA: Salida += "str(" + std::string(E.TextoToken) + ")"; break;
        case T_DISTINTO: Salida += "<>"; break;
        case T_MENORIGUAL: Salida += "<="; break;
        case T_MAYORIGUAL: Salida += ">="; break;
        case T_INVALIDO: Salida += "inv"; break;
        default: Salida += Token > 0 && Token < 128 ? std::string(1, char(Token)) : "?" + std::to_string(Token);
        }
        Salida += "@" + std::to_string(E.InicioToken);
        if (Token == T_FIN)
            break;
    }
    return Salida;
}

std::string Escanear(const std::string &Texto, char Millar = '\0', char Decimal = '\0')
{
    Lector L(Texto, Millar, Decimal);
    return Escanear(L);
}

struct CasoLector {
    int Operacion;
    char Esperado;
    int32_t Leidos;
};

// The reader's one operation puts the cursor back at the start; any other selector does
// nothing.
TEST(Lector, ResetMovesCursorAndCount)
{
    Lector L("ab");
    ESTADODEANALISIS &E = L.Estado;
    E.Cursor = E.Texto + 2;
    E.Leidos = 2;
    const CasoLector Pasos[] = {{0, '\0', 2}, {99, '\0', 2}, {Motor::LEER_REINICIAR, '\0', 0}};
    int Paso = 0;
    for (const CasoLector &Caso : Pasos) {
        SCOPED_TRACE("step " + std::to_string(Paso++));
        EXPECT_EQ(Motor::LeerCaracter(&E, Caso.Operacion), Caso.Esperado);
        EXPECT_EQ(E.Leidos, Caso.Leidos);
        const char *Cursor = E.Cursor; // a copy: the packed member may be misaligned
        EXPECT_EQ(Cursor, E.Texto + Caso.Leidos);
    }
}

struct CasoTokens {
    const char *Texto;
    const char *Esperado;
};

TEST(Lexer, TokenSequences)
{
    const CasoTokens Casos[] = {
        {"2<>3", "num(2)@0 <>@1 num(3)@3 fin@4"},        {"2<=3", "num(2)@0 <=@1 num(3)@3 fin@4"},
        {"2>=3", "num(2)@0 >=@1 num(3)@3 fin@4"},        {"2< >3", "num(2)@0 <@1 >@2 num(3)@4 fin@5"},
        {"2=<3", "num(2)@0 =@1 <@2 num(3)@3 fin@4"},     {"2><3", "num(2)@0 >@1 <@2 num(3)@3 fin@4"},
        {"1<", "num(1)@0 <@1 fin@2"},                    {"1>", "num(1)@0 >@1 fin@2"},
        {"()*+-/;=^", "(@0 )@1 *@2 +@3 -@4 /@5 ;@6 =@7 ^@8 fin@9"},
        {"\"abc", "str(abc)@0 fin@4"},                   {"\"a b\"", "str(a b)@0 fin@5"},
        {"\"a\"\"b\"", "str(a)@0 str(b)@3 fin@6"},        {"\"\"+1", "str()@0 +@2 num(1)@3 fin@4"},
        {"x2", "id(x2)@0 fin@2"},                        {"2x", "num(2)@0 id(x)@1 fin@2"},
        {"A\xF1o", "id(A\xF1o)@0 fin@3"},                {"_tmp", "id(_tmp)@0 fin@4"},
        {"\xD1" "AND" "\xDA", "id(\xD1" "AND" "\xDA)@0 fin@5"}, {"\xDC" "ber", "inv@0 id(ber)@1 fin@4"},
        {"!1", "inv@0 num(1)@1 fin@2"},                  {"#", "inv@0 fin@1"},
        {",5", "inv@0 num(5)@1 fin@2"},                  {".5", "inv@0 num(5)@1 fin@2"},
        {"1\t2", "num(1)@0 inv@1 num(2)@2 fin@3"},       {"a\r\n", "id(a)@0 inv@1 inv@2 fin@3"},
        {"12 +x", "num(12)@0 +@2 id(x)@4 fin@5"},        {"  f ( \"s\" ) ", "id(f)@0 (@3 str(s)@5 )@9 fin@11"},
        {"   ", "fin@0"},                                {"", "fin@0"},
    };
    for (const CasoTokens &Caso : Casos) {
        SCOPED_TRACE(Caso.Texto);
        EXPECT_EQ(Escanear(Caso.Texto), Caso.Esperado);
    }
}

// Decides on the first non-blank character exactly as the token-start rules say.
TEST(Lexer, EveryByteBeginsTheRightToken)
{
    const std::string Simples = "()*+-/;=^<>";
    for (int c = 1; c < 256; ++c) {
        SCOPED_TRACE("byte " + std::to_string(c));
        Lector L(std::string(1, char(c)));
        const int32_t Token = Motor::SiguienteToken(&L.Estado);
        int32_t Esperado = T_INVALIDO;
        if (c == ' ')
            Esperado = T_FIN;
        else if (c == '"')
            Esperado = T_CADENA;
        else if (c >= '0' && c <= '9')
            Esperado = T_NUMERO;
        else if (Simples.find(char(c)) != std::string::npos)
            Esperado = c;
        else if (CLASE_NOMBRE.find(char(c)) != std::string::npos)
            Esperado = T_IDENTIFICADOR;
        EXPECT_EQ(Token, Esperado);
        EXPECT_EQ(L.Estado.Leidos, c == ' ' ? 2 : 1); // the character is consumed in every case
    }
}

TEST(Lexer, EndOfTextIsStableAndPastTheTerminator)
{
    Lector L("1<");
    EXPECT_EQ(Escanear(L), "num(1)@0 <@1 fin@2");
    EXPECT_EQ(L.Estado.Leidos, 3);
    EXPECT_EQ(Motor::SiguienteToken(&L.Estado), T_FIN);

    // A literal without its closing quote leaves the NUL for the next scan.
    Lector Abierta("\"ab");
    EXPECT_EQ(Motor::SiguienteToken(&Abierta.Estado), T_CADENA);
    EXPECT_EQ(Abierta.Estado.Leidos, 3);
    EXPECT_EQ(Motor::SiguienteToken(&Abierta.Estado), T_FIN);
    EXPECT_EQ(Abierta.Estado.Leidos, 4);
}

TEST(Lexer, LongestTokensFitTheBuffer)
{
    const std::string Nombre(EVALION_LARGO_EXPRESION, 'n');
    EXPECT_EQ(Escanear(Nombre), "id(" + Nombre + ")@0 fin@1024");
    const std::string Literal(EVALION_LARGO_EXPRESION - 1, 'a');
    EXPECT_EQ(Escanear("\"" + Literal), "str(" + Literal + ")@0 fin@1024");
}

TEST(Lexer, NameClassIsExact)
{
    int Miembros = 0;
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE("byte " + std::to_string(c));
        const bool Esperado = c != 0 && CLASE_NOMBRE.find(char(c)) != std::string::npos;
        EXPECT_EQ(Motor::EsCaracterIdentificador(static_cast<unsigned char>(c)), Esperado);
        Miembros += Esperado;
    }
    EXPECT_EQ(Miembros, 10 + 52 + 1 + 12);
}

struct CasoSeparadores {
    char Millar, Decimal;
    const char *Texto;
    const char *Esperado;
};

TEST(Lexer, NumberLiteralsFollowTheSeparators)
{
    const CasoSeparadores Casos[] = {
        {0, 0, "1.234,5", "num(1234.5)@0 fin@7"},     {0, 0, "1.5", "num(15)@0 fin@3"},
        {0, 0, "1.000.000", "num(1000000)@0 fin@9"},  {0, 0, "1,5,7", "num(1.5)@0 fin@5"},
        {0, 0, "1,2,3", "num(1.2)@0 fin@5"},          {0, 0, "5,", "num(5)@0 fin@2"},
        {0, 0, "007", "num(7)@0 fin@3"},              {',', '.', "1,234.5", "num(1234.5)@0 fin@7"},
        // A list or operator character inside a number belongs to it, but never starts one.
        {0, ';', "f(1;2)", "id(f)@0 (@1 num(1.2)@2 )@5 fin@6"}, {0, ';', ";5", ";@0 num(5)@1 fin@2"},
        {'-', 0, "10-2", "num(102)@0 fin@4"},         {'-', 0, "-2", "-@0 num(2)@1 fin@2"},
        {'-', 0, "10 -2", "num(10)@0 -@2 num(2)@4 fin@5"}, {' ', 0, "1 000", "num(1000)@0 fin@5"},
        {' ', 0, "12 +x", "num(12)@0 +@3 id(x)@4 fin@5"}, {' ', 0, "  7  ", "num(7)@0 fin@5"},
        // The same character for both is the decimal separator.
        {',', ',', "1,5", "num(1.5)@0 fin@3"},        {'.', '.', "1.5.7", "num(1.5)@0 fin@5"},
        // A digit as separator is a separator wherever it stands, the first character included.
        {0, '5', "152", "num(1.2)@0 fin@3"},          {0, '5', "5", "num(0)@0 fin@1"},
        {0, '0', "05", "num(0.5)@0 fin@2"},           {'0', 0, "1000", "num(1)@0 fin@4"},
        {'0', 0, "0", "num(0)@0 fin@1"},              {'0', 0, "105,5", "num(15.5)@0 fin@5"},
        {'1', '2', "3123", "num(3.3)@0 fin@4"},
    };
    for (const CasoSeparadores &Caso : Casos) {
        SCOPED_TRACE(std::string(Caso.Texto) + " millar '" + std::string(1, Caso.Millar) + "' decimal '" +
                     std::string(1, Caso.Decimal) + "'");
        EXPECT_EQ(Escanear(Caso.Texto, Caso.Millar, Caso.Decimal), Caso.Esperado);
    }
}

struct CasoConversion {
    std::string Texto;
    double Esperado;
};

TEST(ConvertirNumero, LongestPrefixCorrectlyRounded)
{
    const CasoConversion Casos[] = {
        {"1.2.3", 1.2}, {"5.", 5},     {"", 0},          {".", 0},       {"..5", 0},
        {"1..5", 1},    {".5", 0.5},   {"007", 7},       {"0.1", 0.1},   {"1234.5", 1234.5},
        {"9007199254740993", 9007199254740992.0},        {"0.30000000000000004", 0.30000000000000004},
        {"9007199254740995", 9007199254740996.0},        {"9007199254740993." + std::string(300, '0') + "1", 9007199254740994.0},
        {"179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497791.9", 1.7976931348623157e308},
        {"179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497792", HUGE_VAL},
        {std::string(400, '9'), HUGE_VAL},
        {"1" + std::string(400, '0') + ".5", HUGE_VAL},
        {"0." + std::string(400, '0') + "1", 0},
        {std::string(400, '0') + "3", 3},
        {"0." + std::string(309, '0') + "1", 1e-310}, // a subnormal stays one
    };
    for (const CasoConversion &Caso : Casos) {
        SCOPED_TRACE(Caso.Texto.substr(0, 40));
        EXPECT_EQ(Motor::ConvertirNumero(Caso.Texto.c_str(), Caso.Texto.size()), Caso.Esperado);
    }
    const std::string Digitos(400, '7');
    EXPECT_EQ(Escanear(Digitos), "num(inf)@0 fin@400");
}

// The engine must read "." as the point even when the host has switched the numeric locale.
TEST(ConvertirNumero, IgnoresTheNumericLocale)
{
    const char *Locales[] = {"de_DE.UTF-8", "es_ES.UTF-8", "fr_FR.UTF-8"};
    const char *Elegido = nullptr;
    for (const char *Nombre : Locales)
        if (std::setlocale(LC_NUMERIC, Nombre) && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            Elegido = Nombre;
            break;
        }
    if (!Elegido) {
        std::setlocale(LC_NUMERIC, "C");
        GTEST_SKIP() << "no installed locale with a decimal comma";
    }
    SCOPED_TRACE(Elegido);
    const double Valor = Motor::ConvertirNumero("1.5", 3);
    const std::string Tokens = Escanear("1,5");
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(Valor, 1.5);
    EXPECT_EQ(Tokens, "num(1.5)@0 fin@3");
}

} // namespace
