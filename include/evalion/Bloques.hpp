// The chores every host does with the engine's blocks, written once: how long a text in a
// block is, putting a text into one, and the answer for a name nobody resolves. Header-only
// and without the C++ run time, so that the standard library's DLL uses it as the C++
// interface and the component do.
#ifndef EVALION_BLOQUES_HPP
#define EVALION_BLOQUES_HPP

#include <cstddef>
#include <cstring>

#include "Parser.h"

namespace Evalion {
namespace Bloques {

// The most characters a block's text holds, its terminator left out.
constexpr std::size_t LARGO_TEXTO = EVALION_LARGO_CADENA - 1;

// The length of B's text: up to its NUL, or the whole field of a host's block that has none.
inline std::size_t LargoTexto(const BLOQUEDEDATOS &B) { return strnlen(B.Cadena, LARGO_TEXTO); }

// R becomes the text of Largo bytes at Texto, cut to what a block holds as a join cuts it.
inline void PonerTexto(BLOQUEDEDATOS &R, const char *Texto, std::size_t Largo)
{
    if (Largo > LARGO_TEXTO)
        Largo = LARGO_TEXTO;
    if (Largo != 0) // an empty text may come with no bytes at all
        std::memcpy(R.Cadena, Texto, Largo);
    R.Cadena[Largo] = '\0';
    R.Tipo = TIPO_CADENA;
    R.Error = 0;
}

// What the engine answers itself for a request with no callback, for a host to answer the
// same for a name it does not know: Codigo (E_VARIABLE or E_FUNCION) and the name in Cadena.
inline void Desconocido(const char *Nombre, int32_t Codigo, BLOQUEDEDATOS &R)
{
    const std::size_t Largo = strnlen(Nombre, LARGO_TEXTO);
    std::memcpy(R.Cadena, Nombre, Largo);
    R.Cadena[Largo] = '\0';
    R.Error = Codigo;
}

} // namespace Bloques
} // namespace Evalion

#endif
