// Conversions between the engine's single-byte text (Windows-1252, a superset of the
// printable Latin-1) and UTF-8, header-only so that the C++ interface and the programs share
// one copy. One byte per character, so that the engine's positions count the characters typed.
#ifndef EVALION_CODIFICACION_HPP
#define EVALION_CODIFICACION_HPP

#include <cstddef>
#include <string>
#include <string_view>

namespace Evalion {
namespace Codificacion {

// The code point of a Windows-1252 byte. The five bytes the code page leaves undefined map
// to the control characters of the same value, as in ISO 8859-1.
inline char32_t Unicode(unsigned char Byte)
{
    // Bytes 0x80 to 0x9F; 0 marks the five undefined ones.
    static constexpr char32_t WINDOWS_1252[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (Byte < 0x80 || Byte >= 0xA0)
        return Byte;
    const char32_t Punto = WINDOWS_1252[Byte - 0x80];
    return Punto ? Punto : Byte;
}

// The byte of a code point; "?" for one the code page lacks, which begins no token.
inline char Byte(char32_t Punto)
{
    if (Punto < 0x80 || (Punto >= 0xA0 && Punto <= 0xFF))
        return static_cast<char>(Punto);
    for (unsigned i = 0; i < 32; ++i)
        if (Unicode(static_cast<unsigned char>(0x80 + i)) == Punto)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Decodes one UTF-8 sequence at Texto[i]; returns its length, or 0 when it is not valid
// (a stray continuation byte, a truncated, overlong or surrogate sequence).
inline std::size_t Decodificar(std::string_view Texto, std::size_t i, char32_t &Punto)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(Texto[i + k]); };
    const unsigned char Primero = b(0);
    std::size_t Largo;
    char32_t Minimo;
    if (Primero < 0x80) {
        Punto = Primero;
        return 1;
    } else if ((Primero & 0xE0) == 0xC0) {
        Largo = 2, Punto = Primero & 0x1F, Minimo = 0x80;
    } else if ((Primero & 0xF0) == 0xE0) {
        Largo = 3, Punto = Primero & 0x0F, Minimo = 0x800;
    } else if ((Primero & 0xF8) == 0xF0) {
        Largo = 4, Punto = Primero & 0x07, Minimo = 0x10000;
    } else {
        return 0;
    }
    if (i + Largo > Texto.size())
        return 0;
    for (std::size_t k = 1; k < Largo; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        Punto = (Punto << 6) | (b(k) & 0x3F);
    }
    if (Punto < Minimo || Punto > 0x10FFFF || (Punto >= 0xD800 && Punto <= 0xDFFF))
        return 0;
    return Largo;
}

// Calls Agregar with the byte of every character of Utf8, in order: a character outside the
// code page becomes "?", and so does each byte that is not valid UTF-8 (a stray or truncated
// sequence is no character of any code page we could tell). Stops early when Agregar
// returns false.
template <typename TAgregar>
void RecorrerUtf8(std::string_view Utf8, TAgregar Agregar)
{
    for (std::size_t i = 0; i < Utf8.size();) {
        if (static_cast<unsigned char>(Utf8[i]) < 0x80) { // ASCII, most of what is typed
            if (!Agregar(Utf8[i++]))
                return;
            continue;
        }
        char32_t Punto;
        const std::size_t Largo = Decodificar(Utf8, i, Punto);
        if (!Agregar(Largo == 0 ? '?' : Byte(Punto)))
            return;
        i += Largo == 0 ? 1 : Largo;
    }
}

// UTF-8 to one byte per character, as RecorrerUtf8 reads it.
inline std::string Utf8ALatin1(std::string_view Utf8)
{
    std::string Salida;
    Salida.reserve(Utf8.size());
    RecorrerUtf8(Utf8, [&](char c) {
        Salida += c;
        return true;
    });
    return Salida;
}

// The same into Destino, at most Capacidad - 1 bytes and a NUL, without allocating; returns
// the number of bytes written.
inline std::size_t Utf8ALatin1(std::string_view Utf8, char *Destino, std::size_t Capacidad)
{
    std::size_t Escritos = 0;
    RecorrerUtf8(Utf8, [&](char c) {
        if (Escritos + 1 >= Capacidad)
            return false;
        Destino[Escritos++] = c;
        return true;
    });
    Destino[Escritos] = '\0';
    return Escritos;
}

// Every byte becomes one character, so that every text the engine returns survives the trip
// to UTF-8 and back.
inline std::string Latin1AUtf8(std::string_view Latin1)
{
    std::string Salida;
    Salida.reserve(Latin1.size() * 2);
    for (const char c : Latin1) {
        const char32_t Punto = Unicode(static_cast<unsigned char>(c));
        if (Punto < 0x80) {
            Salida += static_cast<char>(Punto);
        } else if (Punto < 0x800) {
            Salida += static_cast<char>(0xC0 | (Punto >> 6));
            Salida += static_cast<char>(0x80 | (Punto & 0x3F));
        } else {
            Salida += static_cast<char>(0xE0 | (Punto >> 12));
            Salida += static_cast<char>(0x80 | ((Punto >> 6) & 0x3F));
            Salida += static_cast<char>(0x80 | (Punto & 0x3F));
        }
    }
    return Salida;
}

// Windows-1252 letters and their other case: ASCII, the Latin-1 letters from 0xC0 (but the
// signs × and ÷ and ß, which has no capital), and Š Œ Ž Ÿ, which sit apart from their pairs.
constexpr unsigned char Mayuscula(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

constexpr unsigned char Minuscula(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

// A letter of a name with its case folded, for hosts that match names ignoring case: the
// letters the engine admits in names (A-Z and Á É Í Ñ Ó Ú) in lower case; every other byte,
// which never stands in a name the engine asks for, as it is.
constexpr unsigned char PlegarNombre(unsigned char c)
{
    const bool Letra = (c >= 'A' && c <= 'Z') || c == 0xC1 || c == 0xC9 || c == 0xCD || c == 0xD1 || c == 0xD3 ||
                       c == 0xDA;
    return Letra ? Minuscula(c) : c;
}

} // namespace Codificacion
} // namespace Evalion

#endif
