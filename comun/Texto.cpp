#include "Texto.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cwchar>

namespace Evalion {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the five it leaves undefined.
constexpr char32_t WINDOWS_1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char SUSTITUTO = '?';

char32_t Unicode(unsigned char Byte)
{
    if (Byte < 0x80 || Byte >= 0xA0)
        return Byte;
    const char32_t Punto = WINDOWS_1252[Byte - 0x80];
    return Punto ? Punto : Byte;
}

char Byte(char32_t Punto)
{
    if (Punto < 0x80 || (Punto >= 0xA0 && Punto <= 0xFF))
        return static_cast<char>(Punto);
    for (unsigned i = 0; i < 32; ++i)
        if (Unicode(static_cast<unsigned char>(0x80 + i)) == Punto)
            return static_cast<char>(0x80 + i);
    return SUSTITUTO;
}

void AgregarUtf8(std::string &Salida, char32_t Punto)
{
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

// Decodes one UTF-8 sequence at Texto[i]; returns its length, or 0 when it is not valid
// (a stray continuation byte, a truncated, overlong or surrogate sequence).
size_t Decodificar(std::string_view Texto, size_t i, char32_t &Punto)
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(Texto[i + k]); };
    const unsigned char Primero = b(0);
    size_t Largo;
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
    for (size_t k = 1; k < Largo; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        Punto = (Punto << 6) | (b(k) & 0x3F);
    }
    if (Punto < Minimo || Punto > 0x10FFFF || (Punto >= 0xD800 && Punto <= 0xDFFF))
        return 0;
    return Largo;
}

} // namespace

std::string Utf8ALatin1(std::string_view Utf8)
{
    std::string Salida;
    Salida.reserve(Utf8.size());
    for (size_t i = 0; i < Utf8.size();) {
        char32_t Punto;
        const size_t Largo = Decodificar(Utf8, i, Punto);
        if (Largo == 0) {
            Salida += Utf8[i++];
            continue;
        }
        Salida += Byte(Punto);
        i += Largo;
    }
    return Salida;
}

std::string Latin1AUtf8(std::string_view Latin1)
{
    std::string Salida;
    Salida.reserve(Latin1.size() * 2);
    for (char c : Latin1)
        AgregarUtf8(Salida, Unicode(static_cast<unsigned char>(c)));
    return Salida;
}

std::string Sangria(std::string_view Utf8, size_t Caracteres)
{
    std::string Salida;
    for (size_t i = 0; i < Utf8.size() && Caracteres > 0; --Caracteres) {
        char32_t Punto;
        const size_t Largo = Decodificar(Utf8, i, Punto);
        if (Largo == 0 || Punto == '\t') {
            Salida += Largo == 0 ? ' ' : '\t'; // a stray byte shows as one replacement character
            i += 1;
            continue;
        }
#if defined(_WIN32)
        const int Columnas = 1; // no wcwidth; the Windows programs never indent terminal text
#else
        const int Columnas = wcwidth(static_cast<wchar_t>(Punto));
#endif
        Salida.append(Columnas < 0 ? 1 : static_cast<size_t>(Columnas), ' ');
        i += Largo;
    }
    return Salida;
}

std::string FormatearNumero(double Valor)
{
    if (std::isnan(Valor))
        return "NAN";
    if (std::isinf(Valor))
        return Valor > 0 ? "INF" : "-INF";
    char Buffer[32];
    const std::to_chars_result Escrito =
        std::to_chars(Buffer, Buffer + sizeof Buffer, Valor, std::chars_format::general, 15);
    return std::string(Buffer, Escrito.ptr);
}

std::string FormatearNumero(double Valor, std::string_view Punto)
{
    std::string Texto = FormatearNumero(Valor);
    const size_t Lugar = Texto.find('.');
    if (Lugar != std::string::npos)
        Texto.replace(Lugar, 1, Punto);
    return Texto;
}

} // namespace Evalion
