#include "Texto.h"

#include <cwchar>

#include "Codificacion.hpp"

namespace Evalion {

std::string Utf8ALatin1(std::string_view Utf8)
{
    return Codificacion::Utf8ALatin1(Utf8);
}

std::string Latin1AUtf8(std::string_view Latin1)
{
    return Codificacion::Latin1AUtf8(Latin1);
}

std::string Sangria(std::string_view Utf8, size_t Caracteres)
{
    std::string Salida;
    for (size_t i = 0; i < Utf8.size() && Caracteres > 0; --Caracteres) {
        char32_t Punto;
        const size_t Largo = Codificacion::Decodificar(Utf8, i, Punto);
        if (Largo == 0 || Punto == '\t') {
            Salida += Largo == 0 ? ' ' : '\t'; // a stray byte shows as one replacement character
            i += 1;
            continue;
        }
        const int Columnas = wcwidth(static_cast<wchar_t>(Punto));
        Salida.append(Columnas < 0 ? 1 : static_cast<size_t>(Columnas), ' ');
        i += Largo;
    }
    return Salida;
}

} // namespace Evalion
