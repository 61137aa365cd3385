// The steps of a light form (numbers and bound variables, no request, no power) as x86-64
// machine code: one function per form, every slot in its own SSE register, every constant
// next to the code. Its calling cost is that of a plain C function, with no dispatch per step.
//
// It gives the steps' very answers: each operation is the same single SSE instruction on the
// same operands in the same order, rounded on its own (the steps' fused operations are also
// a sequence of separately rounded ones). Two things it does not decide itself and hands to
// the steps, by jumping to them with the caller's arguments untouched: a division by zero
// (the blocks' error), and a value that is not a number, since which of two not-a-numbers an
// operation keeps depends on the order the compiled code takes its operands in, which is the
// steps' to decide.
//
// The code is written into pages that are made executable only once written, never both
// at once. Where the system refuses (a policy against executable memory), or on another
// processor, the form keeps its steps: nothing changes but the time.
#include "Evaluacion.h"

#if EVALION_ENSAMBLADO
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Motor {

#if EVALION_ENSAMBLADO
namespace {

// Slots 0..13 in xmm0..xmm13, the deeper ones on the stack; xmm14 and xmm15 are scratch.
constexpr uint32_t RANURAS_EN_REGISTROS = 14;
constexpr uint8_t XMM_DATO = 14;  // a divisor, or an operand read once
constexpr uint8_t XMM_VALOR = 15; // the value being made

// Where an SSE instruction reads its second operand.
struct Lugar {
    enum Tipo : uint8_t { REGISTRO, CONSTANTE, DIRECCION, PILA } Tipo;
    uint8_t Registro;    // REGISTRO
    uint32_t Constante;  // CONSTANTE: offset in the buffer of its 16 bytes; PILA: from rsp
    const double *Direccion;
};

struct Escritor {
    uint8_t *Datos;
    size_t Capacidad;
    size_t Largo = 0;
    bool Lleno = false;

    void Byte(uint8_t b)
    {
        if (Largo < Capacidad)
            Datos[Largo++] = b;
        else
            Lleno = true;
    }
    void Entero32(uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            Byte(static_cast<uint8_t>(v >> (8 * k)));
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

    // An SSE instruction Prefijo 0F Codigo on the register Destino and the operand L (with an
    // immediate byte for a comparison's predicate, Inmediato >= 0). A variable's address goes
    // into rax first.
    void Sse(uint8_t Prefijo, uint8_t Codigo, uint8_t Destino, const Lugar &L, int Inmediato = -1)
    {
        if (L.Tipo == Lugar::DIRECCION)
            CargarRax(L.Direccion);
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
        } else if (L.Tipo == Lugar::DIRECCION) {
            Byte(Reg); // [rax]
        } else if (L.Tipo == Lugar::PILA) {
            Byte(0x84 | Reg); // [rsp + disp32]
            Byte(0x24);
            Entero32(L.Constante);
        } else {
            Byte(0x05 | Reg); // [rip + disp32]
            const size_t Fin = Largo + 4 + (Inmediato >= 0 ? 1 : 0);
            Entero32(static_cast<uint32_t>(static_cast<int64_t>(L.Constante) - static_cast<int64_t>(Fin)));
        }
        if (Inmediato >= 0)
            Byte(static_cast<uint8_t>(Inmediato));
    }
};

Lugar EnRegistro(uint8_t R) { return {Lugar::REGISTRO, R, 0, nullptr}; }

Lugar EnRanura(uint32_t Ranura)
{
    if (Ranura < RANURAS_EN_REGISTROS)
        return EnRegistro(static_cast<uint8_t>(Ranura));
    return {Lugar::PILA, 0, 8 * (Ranura - RANURAS_EN_REGISTROS), nullptr};
}

// SSE2 scalar double operations (F2 0F xx) and the packed ones the code needs (66 0F xx).
enum : uint8_t {
    ESCALAR = 0xF2, EMPAQUETADO = 0x66,
    MOVSD = 0x10, MOVSD_GUARDAR = 0x11, MOVAPD = 0x28, ADD = 0x58, MUL = 0x59, SUB = 0x5C, DIV = 0x5E, CMP = 0xC2,
    AND = 0x54, XOR = 0x57, UCOMISD = 0x2E
};
// cmpsd's predicates that are the engine's comparisons, a not-a-number included: equal is
// false and different is true for it, the orders false.
enum : uint8_t { CMP_IGUAL = 0, CMP_MENOR = 1, CMP_MENORIGUAL = 2, CMP_DISTINTO = 4 };

// The constants of a form, 16 bytes each (so that the packed operations may read them, and
// the sign mask of a negation has both halves), at the start of the buffer.
struct Constantes {
    Escritor &E;
    uint32_t Cuantas = 0;
    uint32_t Maximo;

    uint32_t Agregar(uint64_t Bits)
    {
        for (uint32_t k = 0; k < Cuantas; ++k) { // each value once
            uint64_t Otro;
            std::memcpy(&Otro, E.Datos + 16 * k, sizeof Otro);
            if (Otro == Bits)
                return 16 * k;
        }
        if (Cuantas == Maximo) {
            E.Lleno = true;
            return 0;
        }
        std::memcpy(E.Datos + 16 * Cuantas, &Bits, 8);
        std::memcpy(E.Datos + 16 * Cuantas + 8, &Bits, 8);
        return 16 * Cuantas++;
    }
    uint32_t Numero(double d)
    {
        uint64_t Bits;
        std::memcpy(&Bits, &d, sizeof Bits);
        return Agregar(Bits);
    }
};

// Where a step's operand is read: a slot's register (the value of the step before is in
// its slot's register too), a constant next to the code, or the bound variable's double.
Lugar Operando(unsigned Fuente, const OperandoPaso &O, Constantes &K)
{
    if (Fuente == DE_CONSTANTE)
        return {Lugar::CONSTANTE, 0, K.Numero(O.Numero), nullptr};
    if (Fuente == DE_DIRECCION)
        return {Lugar::DIRECCION, 0, 0, O.Direccion};
    return EnRanura(O.Ranura);
}

bool Ensamblable(const FORMULAPREPARADA *F)
{
    // Under the engine's settings the switch costs more than the steps save; and a form is
    // assembled only once the host has chosen its own settings, so that preparing a form,
    // which many hosts do for one evaluation, asks the system for no pages.
    return F->Ligera && !F->Ajustar && (F->Opciones & AJUSTES_DEL_ANFITRION);
}

// The function of one evaluation: int32_t (F, Estado, Numero), Numero not null, as
// EvaluarPasos<false, false, true> answers.
void EscribirEvaluacion(const FORMULAPREPARADA *F, Escritor &E, Constantes &K, size_t &Entrada)
{
    const uint32_t Uno = K.Numero(1.0), Cero = K.Numero(0.0), Signo = K.Agregar(uint64_t{1} << 63);
    E.Largo = 16 * K.Maximo;
    // First the way to the steps, with the caller's arguments as they came, so that every
    // jump to it is backwards, to a place already known.
    // Slots past the registers' live below the stack's top, in a frame of their own.
    const uint32_t Marco = F->Ranuras > RANURAS_EN_REGISTROS ? (8 * (F->Ranuras - RANURAS_EN_REGISTROS) + 15) & ~15u : 0;
    const auto Pila = [&](uint8_t Codigo) { // add or sub rsp, Marco
        if (Marco == 0)
            return;
        E.Byte(0x48);
        E.Byte(0x81);
        E.Byte(Codigo);
        E.Entero32(Marco);
    };
    const size_t Pasos = E.Largo;
    Pila(0xC4);
    E.CargarRax(reinterpret_cast<const void *>(&EvaluarPasos<false, false, true>));
    E.Byte(0xFF); // jmp rax
    E.Byte(0xE0);
    Entrada = E.Largo;
    Pila(0xEC);
    const auto Renunciar = [&](uint8_t Condicion) { // jcc rel32
        E.Byte(0x0F);
        E.Byte(Condicion);
        E.Entero32(static_cast<uint32_t>(static_cast<int64_t>(Pasos) - static_cast<int64_t>(E.Largo + 4)));
    };
    for (const Paso *P = F->Pasos; P->Codigo != CODIGO_FIN; ++P) {
        const unsigned Op = OperacionDePaso(P->Codigo);
        const Lugar Destino = EnRanura(P->A);
        const Lugar Izq = Operando(FuenteIzquierda(P->Codigo), P->Izq, K);
        const Lugar Der = Operando(FuenteDerecha(P->Codigo), P->Der, K);
        const Lugar Sumando = {Lugar::CONSTANTE, 0, K.Numero(P->Sumando), nullptr};
        // The value is made in its slot's register where nothing the step reads after the
        // first operand is that register, else in xmm15.
        const auto Es = [&](const Lugar &L) { return L.Tipo == Lugar::REGISTRO && Destino.Tipo == Lugar::REGISTRO &&
                                                     L.Registro == Destino.Registro; };
        const bool AlReves = Op == P_COMPARAR && (OPERADORES[P->Extra] == '>' || OPERADORES[P->Extra] == T_MAYORIGUAL);
        const bool Leidos = Op == P_KPOR ? Es(Izq) || Es(Der) : AlReves ? Es(Izq) : Es(Der);
        const uint8_t V = Destino.Tipo == Lugar::REGISTRO && !SumaASuRanura(Op) && !Leidos ? Destino.Registro : XMM_VALOR;
        const auto Cargar = [&](const Lugar &L) { // V = L
            if (L.Tipo != Lugar::REGISTRO)
                E.Sse(ESCALAR, MOVSD, V, L);
            else if (L.Registro != V)
                E.Sse(EMPAQUETADO, MOVAPD, V, L);
        };
        bool EnSuRanura = V != XMM_VALOR; // the value is already in its slot
        const auto SumarASuRanura = [&](uint8_t Operacion) { // the slot = the slot op xmm15
            if (Destino.Tipo == Lugar::REGISTRO) {
                E.Sse(ESCALAR, Operacion, Destino.Registro, EnRegistro(XMM_VALOR));
            } else {
                E.Sse(ESCALAR, MOVSD, XMM_DATO, Destino);
                E.Sse(ESCALAR, Operacion, XMM_DATO, EnRegistro(XMM_VALOR));
                E.Sse(ESCALAR, MOVSD_GUARDAR, XMM_DATO, Destino);
            }
            EnSuRanura = true;
        };
        switch (Op) {
        case P_CARGAR:
            Cargar(Izq);
            break;
        case P_NEGAR:
            Cargar(Izq);
            E.Sse(EMPAQUETADO, XOR, V, {Lugar::CONSTANTE, 0, Signo, nullptr});
            break;
        case P_SUMA: case P_RESTA: case P_POR:
            Cargar(Izq);
            E.Sse(ESCALAR, Op == P_SUMA ? ADD : Op == P_RESTA ? SUB : MUL, V, Der);
            break;
        case P_ENTRE: {
            Lugar Divisor = Der;
            if (Der.Tipo != Lugar::REGISTRO) {
                E.Sse(ESCALAR, MOVSD, XMM_DATO, Der);
                Divisor = EnRegistro(XMM_DATO);
            }
            // b == 0 (ZF set, PF clear): the steps decide
            E.Sse(EMPAQUETADO, UCOMISD, Divisor.Registro, {Lugar::CONSTANTE, 0, Cero, nullptr});
            E.Byte(0x7A); // jp over the jump: unordered is no zero
            E.Byte(6);
            Renunciar(0x84); // je
            Cargar(Izq);
            E.Sse(ESCALAR, DIV, V, Divisor);
            break;
        }
        case P_COMPARAR: {
            const int32_t Operador = OPERADORES[P->Extra]; // b < a, b <= a when AlReves
            const uint8_t Predicado = Operador == '=' ? CMP_IGUAL : Operador == T_DISTINTO ? CMP_DISTINTO
                                      : Operador == '<' || Operador == '>' ? CMP_MENOR : CMP_MENORIGUAL;
            Cargar(AlReves ? Der : Izq);
            E.Sse(ESCALAR, CMP, V, AlReves ? Izq : Der, Predicado);
            E.Sse(EMPAQUETADO, AND, V, {Lugar::CONSTANTE, 0, Uno, nullptr});
            break;
        }
        case P_PORMAS: case P_PORMENOS:
            Cargar(Izq);
            E.Sse(ESCALAR, MUL, V, Der);
            E.Sse(ESCALAR, Op == P_PORMAS ? ADD : SUB, V, Sumando);
            break;
        case P_KPOR: case P_MASKPOR: case P_MENOSKPOR:
            Cargar(Sumando);
            E.Sse(ESCALAR, MUL, V, Izq);
            E.Sse(ESCALAR, MUL, V, Der);
            if (Op != P_KPOR)
                SumarASuRanura(Op == P_MASKPOR ? ADD : SUB);
            break;
        case P_MASPOR: case P_MENOSPOR:
            Cargar(Izq);
            E.Sse(ESCALAR, MUL, V, Der);
            SumarASuRanura(Op == P_MASPOR ? ADD : SUB);
            break;
        default: // a power or a request: no light form holds one
            E.Lleno = true;
            return;
        }
        if (!EnSuRanura && Destino.Tipo == Lugar::REGISTRO)
            E.Sse(EMPAQUETADO, MOVAPD, Destino.Registro, EnRegistro(XMM_VALOR));
        else if (!EnSuRanura)
            E.Sse(ESCALAR, MOVSD_GUARDAR, XMM_VALOR, Destino);
    }
    // The value, slot 0's, unless it is not a number.
    E.Sse(EMPAQUETADO, UCOMISD, 0, EnRegistro(0));
    Renunciar(0x8A); // jp
    E.Byte(0xF2); // movsd [rdx], xmm0
    E.Byte(0x0F);
    E.Byte(0x11);
    E.Byte(0x02);
    Pila(0xC4);
    E.Byte(0x31); // xor eax, eax
    E.Byte(0xC0);
    E.Byte(0xC3); // ret
}

} // namespace

void Ensamblar(FORMULAPREPARADA *F)
{
    SoltarEnsamblado(F);
    if (!Ensamblable(F))
        return;
    // At most: three constants a step and the fixed ones; 64 bytes of code a step.
    const uint32_t MaximoConstantes = 3 * F->CuantosPasos + 3;
    const long Pagina = sysconf(_SC_PAGESIZE);
    const size_t Tamano = 16u * MaximoConstantes + 80u * F->CuantosPasos + 96u;
    const size_t Paginas = (Tamano + static_cast<size_t>(Pagina) - 1) / static_cast<size_t>(Pagina) * static_cast<size_t>(Pagina);
    void *Memoria = mmap(nullptr, Paginas, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Memoria == MAP_FAILED)
        return;
    Escritor E{static_cast<uint8_t *>(Memoria), Tamano};
    Constantes K{E, 0, MaximoConstantes};
    size_t Entrada = 0;
    EscribirEvaluacion(F, E, K, Entrada);
    if (E.Lleno || mprotect(Memoria, Paginas, PROT_READ | PROT_EXEC) != 0) {
        munmap(Memoria, Paginas);
        return;
    }
    F->Ensamblado = Memoria;
    F->LargoEnsamblado = Paginas;
    F->Nativa = reinterpret_cast<EvaluacionNativa>(static_cast<uint8_t *>(Memoria) + Entrada);
}

void SoltarEnsamblado(FORMULAPREPARADA *F)
{
    if (F->Ensamblado != nullptr)
        munmap(F->Ensamblado, F->LargoEnsamblado);
    F->Ensamblado = nullptr;
    F->LargoEnsamblado = 0;
    F->Nativa = NumeroPorPasos;
}

#else

void Ensamblar(FORMULAPREPARADA *F) { F->Nativa = NumeroPorPasos; }
void SoltarEnsamblado(FORMULAPREPARADA *) {}

#endif

} // namespace Motor
