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
// system refuses (a policy against executable memory) or has none. On 64-bit Windows Texto
// begins with Funciones RUNTIME_FUNCTION entries, registered with the system's unwinder while
// the pages live (null too when that is refused).
void *Ejecutable(const uint8_t *Texto, size_t Largo, uint32_t Funciones);
// Gives back the pages of Ejecutable(..., Largo, ...), and their entries for the unwinder.
void SoltarPaginas(void *Memoria, size_t Largo);

} // namespace Motor

#endif
