// The x86-64 machine code writer's lowest part: where an SSE instruction reads its operand,
// the encoder of the few instruction forms the code uses, the SSE2 opcodes and predicates,
// the registers' roles and the frame's layout, and the pool of constants beside the code.
// No byte of an instruction is written but through it.
#ifndef EVALION_X64_ESCRITOR_H
#define EVALION_X64_ESCRITOR_H

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "Evaluacion.h"

#if EVALION_ENSAMBLADO
namespace Motor {
namespace {

// Values in xmm0..xmm13 (xmm0..xmm12 across rows); xmm14 and xmm15 are scratch. A form with
// powers keeps its values in xmm0..xmm11, xmm12 and xmm13 for the check of a power's value.
constexpr uint32_t RANURAS_EN_REGISTROS = 14;
constexpr uint8_t XMM_MASCARA = 13; // rows: which rows give up
constexpr uint8_t XMM_DATO = 14;  // a divisor, or an operand read once
constexpr uint8_t XMM_VALOR = 15; // the value being made
// The code is called, and calls C code, in the system's convention: on 64-bit Windows the
// callee may use the 32 bytes above the return address as its arguments' home, so the frame
// begins above them there (Marco.h).
#if defined(_WIN64)
constexpr bool WINDOWS64 = true;
constexpr uint32_t SOMBRA = 32;
#else
constexpr bool WINDOWS64 = false;
constexpr uint32_t SOMBRA = 0;
#endif
// The frame of a form that calls C code: the general registers (one evaluation's four, the
// rows' three), the arguments, across rows the two rows' values, and the values in registers
// (two rows each across rows); 8 more than a multiple of 16, so that rsp is aligned at each call.
constexpr uint32_t LLAMADA_GENERALES = SOMBRA, LLAMADA_ARGUMENTOS = SOMBRA + 32, LLAMADA_REGISTROS = SOMBRA + 64,
                   MARCO_LLAMADAS = SOMBRA + 64 + 8 * 14 + 8;
constexpr uint32_t FILAS_ARGUMENTOS = SOMBRA + 32, FILAS_VALOR = SOMBRA + 96, FILAS_REGISTROS = SOMBRA + 112,
                   MARCO_FILAS = SOMBRA + 112 + 16 * 14 + 8;
// A power's call across rows: which of the two rows call (past its two arguments).
constexpr uint32_t FILAS_FALLIDAS = SOMBRA + 80;
static_assert(MARCO_LLAMADAS % 16 == 8 && MARCO_FILAS % 16 == 8, "rsp aligned at a call");

// Where an SSE instruction reads its second operand.
struct Lugar {
    enum Tipo : uint8_t { REGISTRO, CONSTANTE, DIRECCION, COLUMNA, EN_PASO, EN_FORMA, PILA } Tipo;
    uint8_t Registro;    // REGISTRO
    uint32_t Constante;  // CONSTANTE: offset in the buffer of its 16 bytes; COLUMNA: bytes past the row;
                         // PILA: from rsp;
                         // EN_PASO: of the variable's address in the form's steps;
                         // EN_FORMA: of the variable's address in the form (Enlaces)
    const double *Direccion; // DIRECCION: the variable's double; COLUMNA: the column
};

struct Escritor {
    uint8_t *Datos;
    size_t Capacidad;
    size_t Largo = 0;
    bool Lleno = false;

    uint16_t Xmm = 0; // the SSE registers the code has used, a bit each

    void Byte(uint8_t b)
    {
        if (Largo < Capacidad)
            Datos[Largo++] = b;
        else
            Lleno = true;
    }
    void Bytes(std::initializer_list<uint8_t> Lista)
    {
        for (uint8_t b : Lista)
            Byte(b);
    }
    void Entero32(uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            Byte(static_cast<uint8_t>(v >> (8 * k)));
    }
    void Poner32(size_t En, uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            if (En + k < Capacidad)
                Datos[En + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    void Entero64(uint64_t v)
    {
        for (int k = 0; k < 8; ++k)
            Byte(static_cast<uint8_t>(v >> (8 * k)));
    }

    // mov rax, imm64
    void CargarRax(const void *Direccion)
    {
        Byte(0x48);
        Byte(0xB8);
        Entero64(reinterpret_cast<uintptr_t>(Direccion));
    }

    // mov [Base + disp32], Registro (Guardar) or mov Registro, [Base + disp32]: 64 bits, the
    // first eight general registers (rax 0, rcx 1, rdx 2, rsp 4, rsi 6, rdi 7).
    void Mover64(bool Guardar, uint8_t Registro, uint8_t Base, uint32_t Desplazamiento)
    {
        Byte(0x48);
        Byte(Guardar ? 0x89 : 0x8B);
        Byte(static_cast<uint8_t>(0x80 | (Registro << 3) | Base));
        if (Base == RSP)
            Byte(0x24); // no index
        Entero32(Desplazamiento);
    }
    static constexpr uint8_t RAX = 0, RCX = 1, RDX = 2, RSP = 4, RSI = 6, RDI = 7, R8 = 8;

    // mov Destino, Fuente: 64 bits, any two of the first sixteen general registers.
    void MoverRegistro(uint8_t Destino, uint8_t Fuente)
    {
        Byte(static_cast<uint8_t>(0x48 | (Fuente >= 8 ? 4 : 0) | (Destino >= 8 ? 1 : 0)));
        Byte(0x89);
        Byte(static_cast<uint8_t>(0xC0 | ((Fuente & 7) << 3) | (Destino & 7)));
    }
    void Empujar(uint8_t Registro) { Byte(static_cast<uint8_t>(0x50 | Registro)); } // push (the first eight)
    void Sacar(uint8_t Registro) { Byte(static_cast<uint8_t>(0x58 | Registro)); }   // pop

    // mov rax, [rcx + disp32]: an address kept in the form's steps
    void CargarRaxDePasos(uint32_t Desplazamiento) { Mover64(false, RAX, RCX, Desplazamiento); }

    // The general instructions the code's frame, entries, exits and loop need.
    enum : uint8_t { SI_IGUAL = 0x84, SI_DISTINTO = 0x85, SI_PARIDAD = 0x8A, SI_NO_MENOR = 0x83,
                     SI_NO_MAYOR = 0x86 }; // jcc's
    void Volver() { Byte(0xC3); }                 // ret
    void LlamarRax() { Bytes({0xFF, 0xD0}); }     // call rax
    void SaltarARax() { Bytes({0xFF, 0xE0}); }    // jmp rax
    void SaltarADireccion(const void *Direccion) // mov rax, imm64; jmp rax
    {
        CargarRax(Direccion);
        SaltarARax();
    }
    // call [rip + disp32]: the address kept among the constants at Constante
    void LlamarA(uint32_t Constante)
    {
        Bytes({0xFF, 0x15});
        Entero32(static_cast<uint32_t>(static_cast<int64_t>(Constante) - static_cast<int64_t>(Largo + 4)));
    }
    void PonerEax(uint32_t v) { Byte(0xB8); Entero32(v); } // mov eax, imm32
    void CerosEnEax() { Bytes({0x31, 0xC0}); }   // xor eax, eax
    void RaxDeRsi() { Bytes({0x48, 0x89, 0xF0}); } // mov rax, rsi
    void RaxDeRsiMas(uint8_t d) { Bytes({0x48, 0x8D, 0x46, d}); } // lea rax, [rsi + d]
    void CompararRsiRdx() { Bytes({0x48, 0x39, 0xD6}); }         // cmp rsi, rdx
    void SumarARsi(uint8_t v) { Bytes({0x48, 0x83, 0xC6, v}); } // add rsi, imm8
    // sub rsp, imm32 (Reservar) or add rsp, imm32
    void Pila(bool Reservar, uint32_t Bytes_)
    {
        Bytes({0x48, 0x81, static_cast<uint8_t>(Reservar ? 0xEC : 0xC4)});
        Entero32(Bytes_);
    }
    // movsd [rdx], xmm0: a number result where the caller's third argument points
    void GuardarEnRdx() { Bytes({0xF2, 0x0F, 0x11, 0x02}); }
    // movupd [rdi + rsi*8 + d], xmm0: two rows' values into the host's array
    void GuardarFilas(uint8_t d) { Bytes({0x66, 0x0F, 0x11, 0x44, 0xF7, d}); }
    // movmskpd eax, xmmR; test eax, eax: whether either half of a mask is set
    void ProbarMascara(uint8_t R = 13)
    {
        Byte(0x66);
        if (R >= 8)
            Byte(0x41);
        Bytes({0x0F, 0x50, static_cast<uint8_t>(0xC0 | (R & 7)), 0x85, 0xC0});
        Xmm = static_cast<uint16_t>(Xmm | 1u << R);
    }
    // A fused multiply-add of three registers (VEX.128.66.0F38.W1 Codigo /r, FMA3): Destino
    // and Uno as the opcode's 132/213/231 form says, Otro the operand it may read from memory.
    void Fma(uint8_t Codigo, uint8_t Destino, uint8_t Uno, uint8_t Otro)
    {
        Byte(0xC4);
        Byte(static_cast<uint8_t>((Destino >= 8 ? 0 : 0x80) | 0x40 | (Otro >= 8 ? 0 : 0x20) | 0x02));
        Byte(static_cast<uint8_t>(0x80 | ((~Uno & 15) << 3) | 0x01));
        Byte(Codigo);
        Byte(static_cast<uint8_t>(0xC0 | ((Destino & 7) << 3) | (Otro & 7)));
        Xmm = static_cast<uint16_t>(Xmm | 1u << Destino | 1u << Uno | 1u << Otro);
    }
    // mov [rsp + disp32], eax
    void GuardarEax(uint32_t Desplazamiento)
    {
        Bytes({0x89, 0x84, 0x24});
        Entero32(Desplazamiento);
    }
    // test byte [rsp + disp32], imm8
    void ProbarBits(uint32_t Desplazamiento, uint8_t Bits_)
    {
        Bytes({0xF6, 0x84, 0x24});
        Entero32(Desplazamiento);
        Byte(Bits_);
    }
    // jp over the next 6 bytes (a jcc rel32): an unordered comparison goes on
    void SaltarJccSiParidad() { Bytes({0x7A, 6}); }
    // jcc rel32 (Condicion: SI_...) or jmp rel32 (Condicion 0) to Destino, a place written
    // already; or, with Destino SIN_DESTINO, to one patched later by Resolver (returns where).
    static constexpr size_t SIN_DESTINO = ~size_t{0};
    size_t Saltar(uint8_t Condicion, size_t Destino)
    {
        if (Condicion != 0)
            Bytes({0x0F, Condicion});
        else
            Byte(0xE9);
        const size_t En = Largo;
        Entero32(Destino == SIN_DESTINO ? 0 : static_cast<uint32_t>(static_cast<int64_t>(Destino) - static_cast<int64_t>(Largo + 4)));
        return En;
    }
    void Resolver(size_t En) { Poner32(En, static_cast<uint32_t>(Largo - (En + 4))); }

    // An SSE instruction Prefijo 0F Codigo on the register Destino and the operand L (with an
    // immediate byte for a comparison's predicate, Inmediato >= 0). A variable's address goes
    // into rax first.
    void Sse(uint8_t Prefijo, uint8_t Codigo, uint8_t Destino, const Lugar &L, int Inmediato = -1)
    {
        if (L.Tipo == Lugar::DIRECCION || L.Tipo == Lugar::COLUMNA)
            CargarRax(L.Direccion);
        if (L.Tipo == Lugar::EN_PASO)
            CargarRaxDePasos(L.Constante);
        if (L.Tipo == Lugar::EN_FORMA) // mov rax, [rdi + disp32]: an address kept in the form itself
            Mover64(false, RAX, RDI, L.Constante);
        Xmm = static_cast<uint16_t>(Xmm | 1u << Destino | (L.Tipo == Lugar::REGISTRO ? 1u << L.Registro : 0u));
        Byte(Prefijo);
        const uint8_t Rex = static_cast<uint8_t>((Destino >= 8 ? 4 : 0) |
                                                 (L.Tipo == Lugar::REGISTRO && L.Registro >= 8 ? 1 : 0));
        if (Rex != 0)
            Byte(0x40 | Rex);
        Byte(0x0F);
        Byte(Codigo);
        const uint8_t Reg = static_cast<uint8_t>((Destino & 7) << 3);
        if (L.Tipo == Lugar::REGISTRO) {
            Byte(0xC0 | Reg | (L.Registro & 7));
        } else if (L.Tipo == Lugar::DIRECCION || L.Tipo == Lugar::EN_PASO || L.Tipo == Lugar::EN_FORMA) {
            Byte(Reg); // [rax]
        } else if (L.Tipo == Lugar::PILA) { // [rsp + disp32]
            Byte(0x84 | Reg);
            Byte(0x24);
            Entero32(L.Constante);
        } else if (L.Tipo == Lugar::COLUMNA) { // [rax + rsi*8 + disp8]
            Byte((L.Constante != 0 ? 0x44 : 0x04) | Reg);
            Byte(0xF0);
            if (L.Constante != 0)
                Byte(static_cast<uint8_t>(L.Constante));
        } else {
            Byte(0x05 | Reg); // [rip + disp32]
            const size_t Fin = Largo + 4 + (Inmediato >= 0 ? 1 : 0);
            Entero32(static_cast<uint32_t>(static_cast<int64_t>(L.Constante) - static_cast<int64_t>(Fin)));
        }
        if (Inmediato >= 0)
            Byte(static_cast<uint8_t>(Inmediato));
    }
};

inline Lugar EnRegistro(uint8_t R) { return {Lugar::REGISTRO, R, 0, nullptr}; }


// SSE2 scalar double operations (F2 0F xx) and the packed ones the code needs (66 0F xx).
enum : uint8_t {
    ESCALAR = 0xF2, EMPAQUETADO = 0x66,
    MOVSD = 0x10, MOVUPD = 0x10, MOVSD_GUARDAR = 0x11, UNPCKLPD = 0x14, UNPCKHPD = 0x15, MOVAPD = 0x28,
    MOVAPD_GUARDAR = 0x29, ADD = 0x58, MUL = 0x59, SUB = 0x5C, DIV = 0x5E, CMP = 0xC2,
    AND = 0x54, XOR = 0x57, UCOMISD = 0x2E, SQRT = 0x51, MIN = 0x5D, ANDN = 0x55, OR = 0x56,
    PCMPEQD = 0x76, PSHUFD = 0x70, PAND = 0xDB
};
// FMA3 opcodes (Escritor::Fma), the packed form; the scalar one is the next. 231: Destino =
// Uno * Otro op Destino; 213: Destino = Destino * Uno op Otro.
enum : uint8_t { FMADD231 = 0xB8, FMSUB231 = 0xBA, FNMADD231 = 0xBC, FMSUB213 = 0xAA };
// cmpsd's predicates that are the engine's comparisons, a not-a-number included: equal is
// false and different is true for it, the orders false.
enum : uint8_t { CMP_IGUAL = 0, CMP_MENOR = 1, CMP_MENORIGUAL = 2, CMP_DESORDENADO = 3, CMP_DISTINTO = 4,
                 CMP_NO_MENOR = 5 };

// The constants of a form, 16 bytes each (so that the packed operations may read them, and
// the sign mask of a negation has both halves), at the start of the buffer (on 64-bit Windows
// after the code's unwinding table, Inicio bytes).
struct Constantes {
    Escritor &E;
    uint32_t Cuantas = 0;
    uint32_t Maximo;
    uint32_t Inicio = 0;

    uint32_t Agregar(uint64_t Bits)
    {
        for (uint32_t k = 0; k < Cuantas; ++k) { // each value once
            uint64_t Otro;
            std::memcpy(&Otro, E.Datos + Inicio + 16 * k, sizeof Otro);
            if (Otro == Bits)
                return Inicio + 16 * k;
        }
        if (Cuantas == Maximo) {
            E.Lleno = true;
            return 0;
        }
        std::memcpy(E.Datos + Inicio + 16 * Cuantas, &Bits, 8);
        std::memcpy(E.Datos + Inicio + 16 * Cuantas + 8, &Bits, 8);
        return Inicio + 16 * Cuantas++;
    }
    uint32_t Numero(double d)
    {
        uint64_t Bits;
        std::memcpy(&Bits, &d, sizeof Bits);
        return Agregar(Bits);
    }
};

} // namespace
} // namespace Motor
#endif

#endif
