// Pages for machine code, from the system: mmap and mprotect, or on 64-bit Windows
// VirtualAlloc and VirtualProtect, with the code's unwinding table registered there.
#include "Paginas.h"

#include <cstring>

#include "Programa.h" // where the code is written at all

#if EVALION_ENSAMBLADO
#if defined(_WIN64)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Motor {

#if defined(_WIN64)
size_t EnPaginas(size_t Largo)
{
    SYSTEM_INFO Sistema;
    GetSystemInfo(&Sistema);
    const size_t Pagina = Sistema.dwPageSize;
    return (Largo + Pagina - 1) / Pagina * Pagina;
}

// The system unwinds a frame only by the entry that covers its address: without the table,
// an exception raised in a function the code calls would find the code's frame a leaf and
// leave with a wrong stack. The table lies at the pages' start, its addresses relative to it.
void *Ejecutable(const uint8_t *Texto, size_t Largo, uint32_t Funciones)
{
    void *Memoria = VirtualAlloc(nullptr, Largo, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (Memoria == nullptr)
        return nullptr;
    std::memcpy(Memoria, Texto, Largo);
    DWORD Antes;
    if (!VirtualProtect(Memoria, Largo, PAGE_EXECUTE_READ, &Antes)) {
        VirtualFree(Memoria, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), Memoria, Largo);
    if (!RtlAddFunctionTable(static_cast<PRUNTIME_FUNCTION>(Memoria), Funciones, reinterpret_cast<DWORD64>(Memoria))) {
        VirtualFree(Memoria, 0, MEM_RELEASE);
        return nullptr;
    }
    return Memoria;
}

void SoltarPaginas(void *Memoria, size_t)
{
    RtlDeleteFunctionTable(static_cast<PRUNTIME_FUNCTION>(Memoria));
    VirtualFree(Memoria, 0, MEM_RELEASE);
}
#else
size_t EnPaginas(size_t Largo)
{
    const size_t Pagina = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (Largo + Pagina - 1) / Pagina * Pagina;
}

void *Ejecutable(const uint8_t *Texto, size_t Largo, uint32_t)
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
#endif

} // namespace Motor
#endif
