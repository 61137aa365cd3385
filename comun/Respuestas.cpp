#include "Respuestas.h"

#include <cstring>

#include "Codificacion.hpp"

namespace Evalion {

bool MismoNombre(const char *Nombre, const char *Conocido)
{
    using Codificacion::PlegarNombre;
    for (; *Nombre && *Conocido; ++Nombre, ++Conocido)
        if (PlegarNombre(static_cast<unsigned char>(*Nombre)) != PlegarNombre(static_cast<unsigned char>(*Conocido)))
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
