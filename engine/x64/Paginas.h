// Pages of the system for machine code: written, then made executable and no longer
// writable, never both at once (Paginas.cpp).
#ifndef EVALION_X64_PAGINAS_H
#define EVALION_X64_PAGINAS_H

#include <cstddef>
#include <cstdint>

namespace Motor {

// The bytes of the pages Largo bytes of code take.
size_t EnPaginas(size_t Largo);
// Texto's Largo bytes in pages of their own, executable and no longer writable; null when the
// system refuses (a policy against executable memory) or has none.
void *Ejecutable(const uint8_t *Texto, size_t Largo);
// Gives back the pages of Ejecutable(..., Largo).
void SoltarPaginas(void *Memoria, size_t Largo);

} // namespace Motor

#endif
