// Pages for machine code, from the system's mmap and mprotect.
#include "Paginas.h"

#include <cstring>

#include "Programa.h" // where the code is written at all

#if EVALION_ENSAMBLADO
#include <sys/mman.h>
#include <unistd.h>

namespace Motor {

size_t EnPaginas(size_t Largo)
{
    const size_t Pagina = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (Largo + Pagina - 1) / Pagina * Pagina;
}

// Texto's Largo bytes in pages of their own, executable and no longer writable; null when the
// system refuses.
void *Ejecutable(const uint8_t *Texto, size_t Largo)
{
    void *Memoria = mmap(nullptr, EnPaginas(Largo), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Memoria == MAP_FAILED)
        return nullptr;
    std::memcpy(Memoria, Texto, Largo);
    if (mprotect(Memoria, EnPaginas(Largo), PROT_READ | PROT_EXEC) != 0) {
        munmap(Memoria, EnPaginas(Largo));
        return nullptr;
    }
    return Memoria;
}

void SoltarPaginas(void *Memoria, size_t Largo)
{
    munmap(Memoria, EnPaginas(Largo));
}

} // namespace Motor
#endif
