#include "Texto.h"

#include <cwchar>

#include "Codificacion.hpp"

namespace Evalion {

namespace {

// Calls Columna with the byte offset, the byte length and the terminal columns of each
// character of Utf8 in turn, as Utf8ALatin1 counts characters: a wide character takes two
// columns, a combining mark none, a byte that is not UTF-8 one (it shows as one replacement
// character), and a tab 0, for the caller keeps it as a tab. Stops when Columna returns false.
template <typename TColumna>
void RecorrerColumnas(std::string_view Utf8, TColumna Columna)
{
    for (size_t i = 0; i < Utf8.size();) {
        char32_t Punto;
        size_t Largo = Codificacion::Decodificar(Utf8, i, Punto);
        size_t Ancho = 1;
        if (Largo == 0) {
            Largo = 1;
        } else if (Punto == '\t') {
            Ancho = 0;
        } else {
#if defined(_WIN32)
            const int Columnas = 1; // no wcwidth; the Windows programs never indent terminal text
#else
            const int Columnas = wcwidth(static_cast<wchar_t>(Punto));
#endif
            Ancho = Columnas < 0 ? 1 : static_cast<size_t>(Columnas);
        }
        if (!Columna(i, Largo, Ancho))
            return;
        i += Largo;
    }
}

// The blanks under Utf8[Desde, Desde + Bytes): as many columns, a tab kept as a tab.
std::string Blancos(std::string_view Utf8, size_t Desde, size_t Bytes)
{
    std::string Salida;
    RecorrerColumnas(Utf8.substr(Desde, Bytes), [&](size_t i, size_t, size_t Ancho) {
        if (Utf8[Desde + i] == '\t')
            Salida += '\t';
        else
            Salida.append(Ancho, ' ');
        return true;
    });
    return Salida;
}

} // namespace

std::string Sangria(std::string_view Utf8, size_t Caracteres)
{
    size_t Bytes = 0;
    RecorrerColumnas(Utf8, [&](size_t i, size_t Largo, size_t) {
        if (Caracteres == 0)
            return false;
        --Caracteres;
        Bytes = i + Largo;
        return true;
    });
    return Blancos(Utf8, 0, Bytes);
}

TFila FilaDe(std::string_view Utf8, size_t Caracter, size_t Ancho)
{
    size_t Inicio = 0, Columnas = 0, Contados = 0, Fin = Utf8.size(), Marca = Utf8.size();
    RecorrerColumnas(Utf8, [&](size_t i, size_t, size_t AnchoDe) {
        const size_t Ocupa = Utf8[i] == '\t' ? 1 : AnchoDe; // a tab takes one column at least
        if (Columnas + Ocupa > Ancho && Columnas > 0) {
            if (Marca != Utf8.size()) { // the row that holds the character is complete
                Fin = i;
                return false;
            }
            Inicio = i;
            Columnas = 0;
        }
        if (Contados++ == Caracter)
            Marca = i;
        Columnas += Ocupa;
        return true;
    });
    if (Marca == Utf8.size() && Columnas + 1 > Ancho && Columnas > 0) // just after a full last row
        Inicio = Utf8.size();
    return {std::string(Utf8.substr(Inicio, Fin - Inicio)), Blancos(Utf8, Inicio, Marca - Inicio)};
}

} // namespace Evalion
