// The frame of the machine code's entries, in the system's convention, and on 64-bit Windows
// the description of it the system's unwinder reads.
#ifndef EVALION_X64_MARCO_H
#define EVALION_X64_MARCO_H

#include "Escritor.h"

#if EVALION_ENSAMBLADO
namespace Motor {
namespace {

// The code is written for the arguments in rdi, rsi and rdx (System V). Its entries keep a
// frame from entry to return where it calls C code (or pow): Linux's is only that room. On
// 64-bit Windows the arguments come in rcx, rdx and r8, and rsi, rdi and xmm6..xmm15 are the
// caller's: each entry pushes rsi and rdi, reserves its frame above the 32 bytes a callee may
// use as its arguments' home, keeps there the registers of xmm6..xmm15 the code uses, and
// moves its arguments to where the code reads them; every way out undoes that, as an
// epilogue the system's unwinder recognises (add rsp, the pops, ret), so a way out to the
// steps calls them from the frame rather than jump there after it. The system unwinds such a
// frame (a C++ exception or a structured one raised in a bound function, on its way to the
// host) only by a description of its prologue, which Desenrollado writes.
struct Marco {
    Escritor &E;
    uint32_t Reservado = 0;  // sub rsp
    uint16_t Guardados = 0;  // Windows: the registers of xmm6..xmm15 it keeps, a bit each
    uint32_t EnGuardados = 0; // where, from rsp, 16 bytes each
    // Windows: where each instruction of the prologue ends, from the entry (pushes, sub, saves).
    uint8_t Fines[13] = {};
    uint8_t CuantosFines = 0;

    // Llamadas: the code calls out, and Tamano is its frame for that (MARCO_LLAMADAS or
    // MARCO_FILAS); Usados: the SSE registers the code uses (Escritor::Xmm).
    Marco(Escritor &E_, bool Llamadas, uint32_t Tamano, uint16_t Usados) : E(E_)
    {
        if constexpr (WINDOWS64) {
            EnGuardados = Llamadas ? Tamano - 8 : SOMBRA; // (a way out calls the steps)
            Guardados = static_cast<uint16_t>(Usados & 0xFFC0);
            Reservado = EnGuardados + 16u * Cuantos(Guardados) + 8;
        } else {
            Reservado = Llamadas ? Tamano : 0;
        }
    }

    size_t Inicio = 0; // Windows: the entry being written

    // The bits set (a loop: the builtin is a call of libgcc, which the DLLs do not link).
    static uint32_t Cuantos(uint32_t Bits)
    {
        uint32_t n = 0;
        for (; Bits != 0; Bits &= Bits - 1)
            ++n;
        return n;
    }

    // The registers kept, to the frame or back (in neither case code's own use of them).
    void Guardar(bool Entrando)
    {
        const uint16_t Antes = E.Xmm;
        uint32_t En = EnGuardados;
        for (uint8_t r = 6; r < 16; ++r)
            if (Guardados & (1u << r)) {
                E.Sse(EMPAQUETADO, Entrando ? MOVAPD_GUARDAR : MOVAPD, r, {Lugar::PILA, 0, En, nullptr});
                En += 16;
                if (Entrando)
                    Fines[CuantosFines++] = static_cast<uint8_t>(E.Largo - Inicio);
            }
        E.Xmm = Antes;
    }

    // At an entry: the frame, and on Windows the arguments where the code reads them.
    void Entrar()
    {
        if constexpr (WINDOWS64) {
            Inicio = E.Largo;
            CuantosFines = 0;
            E.Empujar(Escritor::RSI);
            Fines[CuantosFines++] = static_cast<uint8_t>(E.Largo - Inicio);
            E.Empujar(Escritor::RDI);
            Fines[CuantosFines++] = static_cast<uint8_t>(E.Largo - Inicio);
            E.Pila(true, Reservado);
            Fines[CuantosFines++] = static_cast<uint8_t>(E.Largo - Inicio);
            Guardar(true);
            E.MoverRegistro(Escritor::RDI, Escritor::RCX);
            E.MoverRegistro(Escritor::RSI, Escritor::RDX);
            E.MoverRegistro(Escritor::RDX, Escritor::R8);
        } else if (Reservado != 0) {
            E.Pila(true, Reservado);
        }
    }

    // Before a way out's ret or jmp: the frame given back, what the entry kept restored.
    void Salir()
    {
        if constexpr (WINDOWS64) {
            Guardar(false);
            E.Pila(false, Reservado);
            E.Sacar(Escritor::RDI);
            E.Sacar(Escritor::RSI);
        } else if (Reservado != 0) {
            E.Pila(false, Reservado);
        }
    }

    // A way out but its ret: what it leaves in rax, xmm0 or the host's double (Antes) and
    // Salir, on Windows in that order, so that it ends as the system's unwinder reads an
    // epilogue (add rsp, pops, ret), which it may meet at any instruction.
    template <class Hacer> void Salida(Hacer Antes)
    {
        if constexpr (WINDOWS64) {
            Antes();
            Salir();
        } else {
            Salir();
            Antes();
        }
    }

    // The way out to the steps (Destino) with the entry's arguments as they came: on Linux a
    // jump once the frame is given back; on Windows a call from the frame, the arguments back
    // in rcx, rdx and r8 and Destino among the constants, then a plain way out.
    void APasos(Constantes &K, const void *Destino)
    {
        if constexpr (WINDOWS64) {
            E.MoverRegistro(Escritor::RCX, Escritor::RDI);
            E.MoverRegistro(Escritor::R8, Escritor::RDX);
            E.MoverRegistro(Escritor::RDX, Escritor::RSI);
            E.LlamarA(K.Agregar(reinterpret_cast<uintptr_t>(Destino)));
            Salir();
            E.Volver();
        } else {
            Salir();
            E.SaltarADireccion(Destino);
        }
    }

    // The UNWIND_INFO of an entry (EnPrologo: the code from the prologue on) or of code that
    // runs inside the frame with no prologue of its own (the ways out written before the
    // entries): version 1, no handler, no frame register, and the unwinding codes, last
    // instruction first: UWOP_SAVE_XMM128 (8) with the offset / 16, UWOP_ALLOC_SMALL (2) or
    // UWOP_ALLOC_LARGE (1) with the size / 8, UWOP_PUSH_NONVOL (0). Into D (4-byte aligned);
    // returns its bytes.
    uint32_t Desenrollado(uint8_t *D, bool EnPrologo) const
    {
        uint8_t Codigos[2 * 24];
        uint32_t n = 0;
        const auto Codigo = [&](uint8_t Fin, uint8_t Operacion, uint8_t Dato) {
            Codigos[n++] = EnPrologo ? Fin : 0;
            Codigos[n++] = static_cast<uint8_t>(Operacion | Dato << 4);
        };
        const auto Ranura = [&](uint32_t v) {
            Codigos[n++] = static_cast<uint8_t>(v);
            Codigos[n++] = static_cast<uint8_t>(v >> 8);
        };
        uint32_t Fin = CuantosFines;
        for (int r = 15; r >= 6; --r)
            if (Guardados & (1u << r)) {
                Codigo(Fines[--Fin], 8, static_cast<uint8_t>(r));
                Ranura((EnGuardados + 16u * Cuantos(Guardados & ((1u << r) - 1))) / 16);
            }
        if (Reservado <= 128) {
            Codigo(Fines[2], 2, static_cast<uint8_t>(Reservado / 8 - 1));
        } else {
            Codigo(Fines[2], 1, 0);
            Ranura(Reservado / 8);
        }
        Codigo(Fines[1], 0, Escritor::RDI);
        Codigo(Fines[0], 0, Escritor::RSI);
        D[0] = 1;
        D[1] = EnPrologo ? Fines[CuantosFines - 1] : 0;
        D[2] = static_cast<uint8_t>(n / 2);
        D[3] = 0;
        std::memcpy(D + 4, Codigos, n);
        return 4 + (n + 3) / 4 * 4; // an even count of codes
    }
};

// On 64-bit Windows, the code's unwinding table, for the system's unwinder: a RUNTIME_FUNCTION
// (its start, end and UNWIND_INFO, from the buffer's start) in the first Tabla bytes of the
// buffer for each piece, from each of Inicios to the next: the ways out written first, inside
// the frame with no prologue of their own, then each entry; their UNWIND_INFO after the code.
// Returns how many entries (none elsewhere).
inline uint32_t DescribirMarco(Escritor &E, uint32_t Tabla, const Marco &M, std::initializer_list<size_t> Inicios)
{
    if (!WINDOWS64)
        return 0;
    E.Largo = (E.Largo + 3) & ~size_t{3};
    const size_t Fin = E.Largo, Prologo = Fin + 64;
    if (E.Largo + 128 > E.Capacidad || Inicios.size() * 12 > Tabla) {
        E.Lleno = true;
        return 0;
    }
    M.Desenrollado(E.Datos + Fin, false);
    M.Desenrollado(E.Datos + Prologo, true);
    E.Largo += 128;
    const size_t *Inicio = Inicios.begin();
    for (size_t k = 0; k < Inicios.size(); ++k) {
        const uint32_t Campos[3] = {static_cast<uint32_t>(Inicio[k]),
                                    static_cast<uint32_t>(k + 1 < Inicios.size() ? Inicio[k + 1] : Fin),
                                    static_cast<uint32_t>(k == 0 ? Fin : Prologo)};
        std::memcpy(E.Datos + 12 * k, Campos, sizeof Campos);
    }
    return static_cast<uint32_t>(Inicios.size());
}

} // namespace
} // namespace Motor
#endif

#endif
