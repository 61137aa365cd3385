// Character reader and token scanner over the record's copy of the expression.
//
// The scanner works on a local cursor and writes Cursor and Leidos back once per token;
// between calls they always agree (Leidos == Cursor - Texto).
#include <cmath>
#include <cstring>

#include "Motor.h"

namespace Motor {

namespace {

// Bytes that may stand in a name. Classified on unsigned char in a table because the
// twelve Spanish letters sit among Latin-1 bytes that are deliberately excluded
// (no other accented letter, not even the u with diaeresis).
struct TablaIdentificador {
    bool Es[256] = {};
    constexpr TablaIdentificador()
    {
        for (int c = '0'; c <= '9'; ++c)
            Es[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c)
            Es[c] = Es[c + ('a' - 'A')] = true;
        Es[static_cast<unsigned char>('_')] = true;
        // Á É Í Ñ Ó Ú á é í ñ ó ú in Latin-1 / Windows-1252.
        constexpr unsigned char ESPANOLAS[] = {193, 201, 205, 209, 211, 218, 225, 233, 237, 241, 243, 250};
        for (unsigned char c : ESPANOLAS)
            Es[c] = true;
    }
};
constexpr TablaIdentificador IDENTIFICADOR;

// The one-character tokens that need no look at the next character: the common case of
// every scan, answered without touching anything else. The end of the text is one of them:
// T_FIN is the NUL's own code, and reading the NUL passes it like any other character.
struct TablaSimples {
    bool Es[256] = {};
    constexpr TablaSimples()
    {
        constexpr char UNO[] = "()*+-/;=^";
        for (const char *c = UNO; *c; ++c)
            Es[static_cast<unsigned char>(*c)] = true;
        Es[T_FIN] = true;
    }
};
constexpr TablaSimples SIMPLES;

inline bool EsDigito(unsigned char c) { return c >= '0' && c <= '9'; }

// Exact powers of ten: a decimal of at most 15 digits divided by one of these is one
// correctly rounded operation.
constexpr double POTENCIAS_DE_DIEZ[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int DIGITOS_EXACTOS = 15;

// The end of the copied text: one past its terminator, where a finished scan leaves Cursor.
inline const char *FinDelTexto(const ESTADODEANALISIS *Estado) { return Estado->Texto + EVALION_LARGO_EXPRESION + 1; }

// Scans the rest of a number literal whose first character is *p. Separator tests come
// before the digit test, for the first character too, so a separator set to a digit is
// a separator wherever it stands. Returns the cursor left on the first character that
// is not part of the literal.
//
// Short literals are converted on the way: the digits up to a second point (where the
// longest valid prefix ends) make an integer, divided once by a power of ten. Longer ones
// go to the general conversion; both give the correctly rounded value.
const char *LeerNumero(ESTADODEANALISIS *Estado, const char *p)
{
    const char Decimal = Estado->SepDecimal;
    const char Millar = Estado->SepMillar;
    char *Salida = Estado->TextoToken;
    uint64_t Mantisa = 0;
    int Digitos = 0, Decimales = 0, Puntos = 0;
    char c = *p;
    for (;;) {
        if (c == Decimal) {
            *Salida++ = '.';
            ++Puntos;
        } else if (c != Millar) {
            *Salida++ = c;
            if (Puntos < 2) {
                Mantisa = Mantisa * 10 + static_cast<unsigned char>(c - '0');
                ++Digitos;
                Decimales += Puntos;
            }
        }
        c = *++p;
        // A NUL never continues a literal, even in a record whose separators were poked to 0.
        if (!(EsDigito(static_cast<unsigned char>(c)) || (c != '\0' && (c == Decimal || c == Millar))))
            break;
    }
    *Salida = '\0';
    Estado->ValorNumero = Digitos <= DIGITOS_EXACTOS
        ? static_cast<double>(Mantisa) / POTENCIAS_DE_DIEZ[Decimales]
        : ConvertirNumero(Estado->TextoToken, static_cast<size_t>(Salida - Estado->TextoToken));
    return p;
}

} // namespace

bool EsCaracterIdentificador(unsigned char Caracter) { return IDENTIFICADOR.Es[Caracter]; }

// The scanner walks the text with a local cursor (see above), so of the reader's operations
// only the reset is left: the start of an analysis.
char LeerCaracter(ESTADODEANALISIS *Estado, int Operacion)
{
    if (Operacion == LEER_REINICIAR) {
        Estado->Cursor = Estado->Texto;
        Estado->Leidos = 0;
    }
    return '\0';
}

namespace {

// Everything but the one-character tokens; p is where the scan begins.
EVALION_NOINLINE int32_t EscanearToken(ESTADODEANALISIS *Estado, const char *p)
{

    // Only the space is a blank: tabs and line ends are invalid characters.
    while (*p == ' ')
        ++p;
    const unsigned char c = static_cast<unsigned char>(*p++);

    int32_t Token;
    if (SIMPLES.Es[c]) // after blanks; without them SiguienteToken answers these itself
        Token = c;
    else switch (c) {
    case '<':
        if (*p == '>')      { ++p; Token = T_DISTINTO; }
        else if (*p == '=') { ++p; Token = T_MENORIGUAL; }
        else                Token = '<';
        break;
    case '>':
        if (*p == '=') { ++p; Token = T_MAYORIGUAL; }
        else           Token = '>';
        break;
    case '"': {
        // Runs to the closing quote, or to the end of the text, whose NUL stays unread
        // so that the next scan returns T_FIN. Both searches run a word at a time.
        const char *Inicio = p;
        const size_t Resto = strnlen(p, static_cast<size_t>(FinDelTexto(Estado) - p));
        const char *Cierre = static_cast<const char *>(std::memchr(p, '"', Resto));
        p = Cierre ? Cierre : p + Resto;
        const size_t Largo = static_cast<size_t>(p - Inicio);
        std::memcpy(Estado->TextoToken, Inicio, Largo);
        Estado->TextoToken[Largo] = '\0';
        if (*p == '"')
            ++p;
        Token = T_CADENA;
        break;
    }
    default:
        if (EsDigito(c)) {
            p = LeerNumero(Estado, p - 1);
            Token = T_NUMERO;
        } else if (IDENTIFICADOR.Es[c]) {
            // Copied while scanned: names are short, and a call of memcpy costs more.
            char *Salida = Estado->TextoToken;
            *Salida++ = static_cast<char>(c);
            while (IDENTIFICADOR.Es[static_cast<unsigned char>(*p)])
                *Salida++ = *p++;
            *Salida = '\0';
            Token = T_IDENTIFICADOR;
        } else {
            Token = T_INVALIDO; // consumed; the grammar decides what it means
        }
        break;
    }
    Estado->Cursor = const_cast<char *>(p);
    Estado->Leidos = static_cast<int32_t>(p - Estado->Texto);
    return Token;
}

} // namespace

const char *TrasSimbolo(const char *p, char Simbolo)
{
    while (*p == ' ') // the padding NULs end this at the end of the text
        ++p;
    return *p == Simbolo ? p + 1 : nullptr;
}

int32_t SaltarRepetidos(ESTADODEANALISIS *Estado, int32_t Maximo)
{
    const char Simbolo = static_cast<char>(Estado->TokenActual);
    const char *p = Estado->Cursor; // just after the current token
    int32_t Cuantos = 1;
    for (; Cuantos < Maximo; ++Cuantos) {
        const char *q = TrasSimbolo(p, Simbolo);
        if (q == nullptr)
            break;
        p = q;
    }
    Estado->Cursor = const_cast<char *>(p);
    Estado->Leidos = static_cast<int32_t>(p - Estado->Texto);
    return Cuantos;
}

int32_t SiguienteToken(ESTADODEANALISIS *Estado)
{
    const char *p = Estado->Cursor;
    // The grammar never scans again after the end; if it did, stay inside Texto.
    if (p >= FinDelTexto(Estado))
        return T_FIN;
    const int32_t Inicio = static_cast<int32_t>(p - Estado->Texto);
    Estado->InicioToken = Inicio;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (SIMPLES.Es[c]) {
        Estado->Cursor = const_cast<char *>(p + 1);
        Estado->Leidos = Inicio + 1;
        return c;
    }
    return EscanearToken(Estado, p);
}

} // namespace Motor
