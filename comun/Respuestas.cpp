#include "Respuestas.h"

#include <cstring>

namespace Evalion {

bool MismoNombre(const char *Nombre, const char *Conocido)
{
    const auto Minuscula = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *Nombre && *Conocido; ++Nombre, ++Conocido)
        if (Minuscula(static_cast<unsigned char>(*Nombre)) != Minuscula(static_cast<unsigned char>(*Conocido)))
            return false;
    return *Nombre == *Conocido;
}

void Si(const BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS &R)
{
    if (Parametros[0].Tipo != TIPO_NUMERO)
        R.Error = E_INCOMPATIBLES;
    else // the whole chosen block, a number or a text, every byte of it
        std::memcpy(&R, &Parametros[Parametros[0].Numero == 0 ? 2 : 1], sizeof R);
}

} // namespace Evalion
