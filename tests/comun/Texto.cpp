// Conversions between UTF-8 and the engine's single-byte text, and the number format that
// hosts show.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "Bloques.hpp"
#include "Formato.h"
#include "Texto.h"

namespace {

struct CasoTexto {
    const char *Entrada;
    const char *Esperado;
};

// Every Windows-1252 character becomes its one byte, so the engine counts characters.
TEST(Texto, Utf8ALatin1)
{
    const CasoTexto Casos[] = {
        {"", ""},
        {"1+2", "1+2"},
        {"A\xC3\xB1o", "A\xF1o"},                                              // Año
        {"\xC3\x81\xC3\x89\xC3\x8D\xC3\x91\xC3\x93\xC3\x9A", "\xC1\xC9\xCD\xD1\xD3\xDA"}, // ÁÉÍÑÓÚ
        {"\xC3\xBC\xC3\xBF", "\xFC\xFF"},                                       // üÿ
        {"\xE2\x82\xAC", "\x80"},                                               // euro sign
        {"\xC5\x92\xC5\xB8", "\x8C\x9F"},                                       // Œ Ÿ
        {"\xC2\x81", "\x81"},        // a code point Windows-1252 leaves undefined keeps its byte
        {"\xE4\xB8\xAD", "?"},       // 中: not in the code page
        {"\xF0\x9F\x98\x80", "?"},   // an emoji: one character, one byte
        {"1\xF0\x9F\x98\x80" "2", "1?2"},
        // Each byte that is not UTF-8 becomes "?", as a character outside the code page does.
        {"A\xF1o", "A?o"},
        {"\xC3", "?"},             // truncated sequence
        {"\xC0\xAF", "??"},       // overlong "/"
        {"\xED\xA0\x80", "???"}, // a surrogate
        {"\x80" "a", "?a"},        // a stray continuation byte
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Entrada);
        EXPECT_EQ(Evalion::Codificacion::Utf8ALatin1(Caso.Entrada), Caso.Esperado);
    }
}

TEST(Texto, Latin1AUtf8)
{
    const CasoTexto Casos[] = {
        {"", ""},
        {"abc", "abc"},
        {"A\xF1o", "A\xC3\xB1o"},
        {"\xE1\xE9\xED\xF3\xFA\xC1", "\xC3\xA1\xC3\xA9\xC3\xAD\xC3\xB3\xC3\xBA\xC3\x81"},
        {"\x80", "\xE2\x82\xAC"},
        {"\x8C\x9F", "\xC5\x92\xC5\xB8"},
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"}, // the five undefined bytes
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Entrada);
        EXPECT_EQ(Evalion::Codificacion::Latin1AUtf8(Caso.Entrada), Caso.Esperado);
    }
}

// What the engine returns, shown and typed again, is the same text: every byte survives.
TEST(Texto, EveryByteRoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        const std::string Byte(1, static_cast<char>(b));
        SCOPED_TRACE(b);
        EXPECT_EQ(Evalion::Codificacion::Utf8ALatin1(Evalion::Codificacion::Latin1AUtf8(Byte)), Byte);
    }
}

// The room the first characters of a typed line take on a terminal, so that a caret can be
// put under any of them: characters, not bytes, count, at their width on the screen.
TEST(Texto, Sangria)
{
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    const struct {
        const char *Linea;
        size_t Caracteres;
        const char *Esperado;
    } Casos[] = {
        {"1 + x", 3, "   "},
        {"1 + x", 0, ""},
        {"\"\xC3\xB1\"+1", 5, "     "},          // "ñ"+1: one column for two bytes
        {"\xE4\xB8\xAD+1", 1, "  "},              // 中 is two columns wide
        {"e\xCC\x81x", 2, " "},                    // a combining accent takes none
        {"1\t2", 2, " \t"},                         // a tab moves as the line's own tab does
        {"\xC3x", 1, " "},                          // a stray byte, shown as one replacement
        {"ab", 5, "  "},                             // past the end: the end of the line
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Linea);
        EXPECT_EQ(Evalion::Sangria(Caso.Linea, Caso.Caracteres), Caso.Esperado);
    }
}

// A line wider than the terminal, cut into rows of its width: the row that holds a character
// and the blanks before it there, so that a caret beneath lands under it.
TEST(Texto, FilaDe)
{
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    const struct {
        const char *Linea;
        size_t Caracter, Ancho;
        const char *Fila, *Sangria;
    } Casos[] = {
        {"1+1+1+1+x", 8, 4, "x", ""},
        {"1+1+1+1+x", 5, 4, "1+1+", " "},
        {"1+1+1+1+x", 0, 4, "1+1+", ""},
        {"abc", 3, 4, "abc", "   "},               // just after the end, in the row
        {"abcd", 4, 4, "", ""},                     // just after a full row: the next one
        {"a\xE4\xB8\xAD" "b", 1, 2, "\xE4\xB8\xAD", ""}, // a wide character that does not fit moves on
        {"\xC3\xB1\xC3\xB1\xC3\xB1", 2, 2, "\xC3\xB1", ""}, // characters, not bytes
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(std::string(Caso.Linea) + " " + std::to_string(Caso.Caracter));
        const Evalion::TFila Fila = Evalion::FilaDe(Caso.Linea, Caso.Caracter, Caso.Ancho);
        EXPECT_EQ(Fila.Texto, Caso.Fila);
        EXPECT_EQ(Fila.Sangria, Caso.Sangria);
    }
}

struct CasoNumero {
    double Valor;
    const char *Esperado;
};

// General format: 15 significant digits, no trailing zeros, exponent only when needed.
TEST(Texto, FormatearNumero)
{
    const CasoNumero Casos[] = {
        {0, "0"},
        {5, "5"},
        {-2.5, "-2.5"},
        {1234.5, "1234.5"},
        {0.30000000000000004, "0.3"},           // 0,1+0,2
        {0.3333333333333333, "0.333333333333333"}, // 1/3
        {1.4142135623730951, "1.4142135623731"}, // the 15th digit is a 0 and goes
        {166.386, "166.386"},
        {0.006010121043837823, "0.00601012104383782"},
        {100000000000000, "100000000000000"},   // 15 digits still fit
        {1e15, "1e+15"},
        {1e20, "1e+20"},
        {123456789012345678.0, "1.23456789012346e+17"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (const CasoNumero &Caso : Casos) {
        SCOPED_TRACE(Caso.Esperado);
        EXPECT_EQ(Evalion::FormatearNumero(Caso.Valor), Caso.Esperado);
    }
}

// The letters of names fold, every other byte stays: the rule the C++ interface, the
// standard library and the demonstration all match names by.
TEST(Texto, NamesFoldTheirLettersOnly)
{
    using Evalion::Codificacion::PlegarNombre;
    const struct {
        unsigned char Byte, Plegado;
    } Casos[] = {{'A', 'a'}, {'z', 'z'}, {0xD1, 0xF1} /* Ñ */, {0xC1, 0xE1} /* Á */,
                 {0xDC, 0xDC} /* Ü: never in a name */, {0xC0, 0xC0} /* À */, {'_', '_'}, {'1', '1'}};
    for (const auto &Caso : Casos)
        EXPECT_EQ(PlegarNombre(Caso.Byte), Caso.Plegado) << int(Caso.Byte);
    EXPECT_EQ(Evalion::Codificacion::Mayuscula(0xFF), 0x9F); // ÿ and Ÿ sit apart
}

// A text into a block is cut where the block ends, as is an unknown name in the answer.
TEST(Texto, BlocksHoldAtMost1023Characters)
{
    const std::string Largo(2000, 'n');
    BLOQUEDEDATOS R{};
    Evalion::Bloques::PonerTexto(R, Largo.data(), Largo.size());
    EXPECT_EQ(Evalion::Bloques::LargoTexto(R), 1023u);
    EXPECT_EQ(R.Tipo, TIPO_CADENA);
    Evalion::Bloques::Desconocido(Largo.c_str(), E_FUNCION, R);
    EXPECT_EQ(R.Error, E_FUNCION);
    EXPECT_EQ(std::string(R.Cadena), std::string(1023, 'n'));
}

} // namespace
