#include "Texto.h"

#include <charconv>
#include <cmath>

namespace Evalion {

std::string FormatearNumero(double Valor)
{
    if (std::isnan(Valor))
        return "NAN";
    if (std::isinf(Valor))
        return Valor > 0 ? "INF" : "-INF";
    if (Valor == 0)
        Valor = 0; // a negative zero is written 0
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
