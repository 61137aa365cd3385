// The steps of a light form (numbers and bound variables, no request, no power) as x86-64
// machine code: one function per form, every value in an SSE register (the steps run in the
// order of their tree that needs fewest), every constant next to the code. Its calling cost is
// that of a plain C function, with no dispatch per step.
//
// It gives the steps' very answers: each operation is the same single SSE instruction on the
// same operands in the same order, rounded on its own (the steps' fused operations are also
// a sequence of separately rounded ones), and which of two not-a-numbers it keeps is the
// first operand's, as the steps' (Operaciones.h). A division by zero it does not decide
// itself: it hands it to the steps, by jumping to them with the caller's arguments untouched;
// a form that calls C code, whose calls must not be made twice, answers the error itself.
//
// The code is written into pages that are made executable only once written, never both
// at once. Where the system refuses (a policy against executable memory), or on another
// processor, the form keeps its steps: nothing changes but the time.
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "Evaluacion.h"

#if EVALION_ENSAMBLADO
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Motor {

#if EVALION_ENSAMBLADO
namespace {

// Values in xmm0..xmm13 (xmm0..xmm12 across rows); xmm14 and xmm15 are scratch.
constexpr uint32_t RANURAS_EN_REGISTROS = 14;
constexpr uint8_t XMM_MASCARA = 13; // rows: which rows give up
constexpr uint8_t XMM_DATO = 14;  // a divisor, or an operand read once
constexpr uint8_t XMM_VALOR = 15; // the value being made
// The frame of a form that calls C code: the general registers (one evaluation's four, the
// rows' three), the arguments, across rows the two rows' values, and the values in registers
// (two rows each across rows); 8 more than a multiple of 16, so that rsp is aligned at each call.
constexpr uint32_t LLAMADA_ARGUMENTOS = 32, LLAMADA_REGISTROS = 64, MARCO_LLAMADAS = 64 + 8 * 14 + 8;
constexpr uint32_t FILAS_ARGUMENTOS = 32, FILAS_VALOR = 96, FILAS_REGISTROS = 112, MARCO_FILAS = 112 + 16 * 14 + 8;
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
    static constexpr uint8_t RAX = 0, RCX = 1, RDX = 2, RSP = 4, RSI = 6, RDI = 7;

    // mov rax, [rcx + disp32]: an address kept in the form's steps
    void CargarRaxDePasos(uint32_t Desplazamiento) { Mover64(false, RAX, RCX, Desplazamiento); }

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

Lugar EnRegistro(uint8_t R) { return {Lugar::REGISTRO, R, 0, nullptr}; }


// SSE2 scalar double operations (F2 0F xx) and the packed ones the code needs (66 0F xx).
enum : uint8_t {
    ESCALAR = 0xF2, EMPAQUETADO = 0x66,
    MOVSD = 0x10, MOVUPD = 0x10, MOVSD_GUARDAR = 0x11, UNPCKLPD = 0x14, UNPCKHPD = 0x15, MOVAPD = 0x28, ADD = 0x58, MUL = 0x59, SUB = 0x5C, DIV = 0x5E, CMP = 0xC2,
    AND = 0x54, XOR = 0x57, UCOMISD = 0x2E
};
// cmpsd's predicates that are the engine's comparisons, a not-a-number included: equal is
// false and different is true for it, the orders false.
enum : uint8_t { CMP_IGUAL = 0, CMP_MENOR = 1, CMP_MENORIGUAL = 2, CMP_DESORDENADO = 3, CMP_DISTINTO = 4 };

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

// The steps of a form are a tree: each value is read by one later step, and nothing a step
// does but its value depends on when it runs (a division by zero only sends the whole
// evaluation to the steps). So the steps may run in any order their operands allow, and the
// one that keeps fewest values alive at once (the operand that needs more registers first)
// keeps them all in registers, however deep the slots go: a long sum of products no longer
// waits on the stack. A form that calls C code keeps the text's order instead: a function
// with a cost or a state sees its calls in that order, and none after a division by zero
// that the text makes first.
struct Arbol {
    static constexpr uint32_t NINGUNO = 0xFFFFFFFF;
    static constexpr int HIJOS = MAXIMO_NATIVOS;
    struct Nodo {
        // The steps that made its slot operands: Izq, Der, and the slot it adds to; a call's
        // arguments, in order.
        uint32_t Hijos[HIJOS];
        uint32_t Registros; // how many it needs to be made
    };
    Nodo *Nodos = nullptr;
    uint32_t Raiz = NINGUNO;
    bool Llamadas = false; // some step calls C code
    bool EnOrden = false;  // the children in the steps' order (a form that calls C code)
    ~Arbol() { std::free(Nodos); }

    // False when the steps are no such tree (then they run in their order).
    bool Formar(const FORMULAPREPARADA *F)
    {
        const uint32_t n = F->CuantosPasos - 1; // without the end
        if (n == 0 || (Nodos = static_cast<Nodo *>(std::calloc(n, sizeof(Nodo)))) == nullptr)
            return false;
        uint32_t Escritor[RANURAS_NUMERICAS];
        for (uint32_t &E : Escritor)
            E = NINGUNO;
        for (uint32_t p = 0; p < n; ++p) {
            const Paso &P = F->Pasos[p];
            Nodo &N = Nodos[p];
            for (uint32_t &H : N.Hijos)
                H = NINGUNO;
            const auto Leer = [&](unsigned Fuente, uint32_t Ranura, uint32_t &Hijo) {
                if (Fuente != DE_RANURA && Fuente != DE_VALOR)
                    return true;
                if (Ranura >= RANURAS_NUMERICAS || Escritor[Ranura] == NINGUNO)
                    return false;
                Hijo = Escritor[Ranura];
                Escritor[Ranura] = NINGUNO; // read once
                return ++Nodos[Hijo].Registros == 1;
            };
            if (P.Codigo == CODIGO_NATIVA) { // its arguments in the slots after its own
                Llamadas = true;
                for (uint32_t k = 0; k < P.Extra; ++k)
                    if (k >= static_cast<uint32_t>(HIJOS) || !Leer(DE_RANURA, P.A + 1 + k, N.Hijos[k]))
                        return false;
            } else if (P.Codigo >= CODIGO_PEDIR) {
                return false;
            } else {
                // (A load or a negation has a constant on its right, which it does not read.)
                if (!Leer(FuenteIzquierda(P.Codigo), P.Izq.Ranura, N.Hijos[0]) ||
                    !Leer(FuenteDerecha(P.Codigo), P.Der.Ranura, N.Hijos[1]))
                    return false;
                if (SumaASuRanura(OperacionDePaso(P.Codigo)) && !Leer(DE_RANURA, P.A, N.Hijos[2]))
                    return false;
            }
            if (P.A >= RANURAS_NUMERICAS)
                return false;
            Escritor[P.A] = p;
        }
        // Every value read once, but the last one's, which is the form's (slot 0).
        Raiz = n - 1;
        if (F->Pasos[Raiz].A != 0 || Escritor[0] != Raiz)
            return false;
        for (uint32_t p = 0; p < n; ++p)
            if (Nodos[p].Registros != (p == Raiz ? 0u : 1u))
                return false;
        EnOrden = Llamadas;
        for (uint32_t p = 0; p < n; ++p) // children come before their parent
            Nodos[p].Registros = Necesarios(Nodos[p]);
        return true;
    }

    // The children, the one that needs more registers first; or in the steps' order (the
    // subtree of each child is a run of steps that ends with it, so the runs keep theirs).
    void Orden(const Nodo &N, uint32_t Hijos[HIJOS]) const
    {
        for (int k = 0; k < HIJOS; ++k)
            Hijos[k] = N.Hijos[k];
        const auto Antes = [&](uint32_t a, uint32_t b) { // child a before child b
            return EnOrden ? a < b : Nodos[a].Registros > Nodos[b].Registros;
        };
        for (int a = 0; a < HIJOS; ++a)
            for (int b = a + 1; b < HIJOS; ++b)
                if (Hijos[b] != NINGUNO && (Hijos[a] == NINGUNO || Antes(Hijos[b], Hijos[a]))) {
                    const uint32_t t = Hijos[a];
                    Hijos[a] = Hijos[b];
                    Hijos[b] = t;
                }
    }

    uint32_t Necesarios(const Nodo &N) const
    {
        uint32_t Hijos[HIJOS];
        Orden(N, Hijos);
        uint32_t Maximo = 1;
        for (uint32_t k = 0; k < static_cast<uint32_t>(HIJOS) && Hijos[k] != NINGUNO; ++k)
            Maximo = Nodos[Hijos[k]].Registros + k > Maximo ? Nodos[Hijos[k]].Registros + k : Maximo;
        return Maximo;
    }
};

// The code of one form: one evaluation (scalar SSE2 on the low halves), or rows, two at a
// time (packed SSE2 on both halves).
struct Emisor {
    Escritor &E;
    Constantes &K;
    bool Filas;
    DesdeColumnas Desde{}; // rows: how the copy's addresses stand for the host's columns
    uint32_t EnRegistros = 0; // registers for values; rows keep xmm13 for a mask
    size_t Pasos = 0;         // where the code gives up
    uint32_t Desfase = 0;     // across rows: bytes from the turn's first row to the two at hand
    Arbol A{};
    const double *Enlaces[ENLACES_EN_FORMA] = {}; // one evaluation: what the form keeps in its own
    // The bound variables (and columns) the steps read, each once: the most read ones are
    // read once into registers the tree leaves free (a column once per two rows, a number
    // once per call across rows), since nothing the steps do can change them.
    struct Variable {
        const double *Direccion; // in the steps
        const double *Columna; // across rows, the host's column it stands for (null: one number)
        uint32_t EnPasos; // of the first address in the steps
        uint32_t Usos;
        uint8_t Registro; // NINGUN_REGISTRO: read where it is at every use
    } Variables[RANURAS_NUMERICAS] = {};
    uint32_t CuantasVariables = 0;
    static constexpr uint8_t NINGUN_REGISTRO = 0xFF;

    uint8_t Aritmetica() const { return Filas ? EMPAQUETADO : ESCALAR; }

    // Where a step's operand that no step makes is read: a constant next to the code, or the
    // bound variable's double, whose address one evaluation reads from the form's steps
    // (EnPasos: where in them), so that binding it elsewhere changes no code; across rows, a
    // column is read at the row.
    Lugar Operando(unsigned Fuente, const OperandoPaso &O, size_t EnPasos)
    {
        if (Fuente == DE_CONSTANTE)
            return {Lugar::CONSTANTE, 0, K.Numero(O.Numero), nullptr};
        if (Fuente != DE_DIRECCION) { // a slot: the tree gives its register instead
            E.Lleno = true;
            return EnRegistro(XMM_VALOR);
        }
        for (uint32_t v = 0; v < CuantasVariables; ++v)
            if (Variables[v].Direccion == O.Direccion && Variables[v].Registro != NINGUN_REGISTRO)
                return EnRegistro(Variables[v].Registro);
        if (const double *Columna = Filas ? Desde.Columna(O.Direccion) : nullptr)
            return {Lugar::COLUMNA, 0, Desfase, Columna};
        if (!Filas) {
            uint32_t v = 0;
            while (v < CuantasVariables && Variables[v].Direccion != O.Direccion)
                ++v;
            return v < CuantasVariables ? DeVariable(v) : Lugar{Lugar::EN_PASO, 0, static_cast<uint32_t>(EnPasos), nullptr};
        }
        return {Lugar::DIRECCION, 0, 0, O.Direccion};
    }

    // Where one evaluation reads variable v's address: the first ones in the form, which
    // keeps them (Enlaces) for one load, the rest in its steps (through rcx).
    Lugar DeVariable(uint32_t v) const
    {
        if (v < ENLACES_EN_FORMA)
            return {Lugar::EN_FORMA, 0, static_cast<uint32_t>(offsetof(FORMULAPREPARADA, Enlaces) + 8 * v), nullptr};
        return {Lugar::EN_PASO, 0, Variables[v].EnPasos, nullptr};
    }

    // R = L whole: across rows a variable's one number goes to both halves, a column's two
    // rows are read unaligned.
    void Cargar(uint8_t R, const Lugar &L)
    {
        if (L.Tipo == Lugar::REGISTRO) {
            if (L.Registro != R)
                E.Sse(EMPAQUETADO, MOVAPD, R, L);
        } else if (!Filas || L.Tipo == Lugar::DIRECCION) {
            E.Sse(ESCALAR, MOVSD, R, L);
            if (Filas)
                E.Sse(EMPAQUETADO, UNPCKLPD, R, EnRegistro(R));
        } else if (L.Tipo == Lugar::COLUMNA) {
            E.Sse(EMPAQUETADO, MOVUPD, R, L);
        } else {
            E.Sse(EMPAQUETADO, MOVAPD, R, L);
        }
    }

    // An operand an operation can read: across rows the packed operations read only aligned
    // memory, so a variable or a column goes through Temporal first.
    Lugar Leible(const Lugar &L, uint8_t Temporal)
    {
        if (!Filas || (L.Tipo != Lugar::DIRECCION && L.Tipo != Lugar::COLUMNA))
            return L;
        Cargar(Temporal, L);
        return EnRegistro(Temporal);
    }

    void Operar(uint8_t Codigo, uint8_t R, const Lugar &L, int Inmediato = -1)
    {
        E.Sse(Aritmetica(), Codigo, R, Leible(L, XMM_DATO), Inmediato);
    }

    // A form that calls C code keeps its frame for the calls from entry to return: add rsp
    // (Codigo 0xC4) or sub rsp (0xEC) its size.
    void Marco(uint8_t Codigo)
    {
        if (!A.Llamadas)
            return;
        E.Byte(0x48);
        E.Byte(0x81);
        E.Byte(Codigo);
        E.Entero32(Filas ? MARCO_FILAS : MARCO_LLAMADAS);
    }

    void Renunciar(uint8_t Condicion) // jcc rel32 to where the code gives up
    {
        E.Byte(0x0F);
        E.Byte(Condicion);
        E.Entero32(static_cast<uint32_t>(static_cast<int64_t>(Pasos) - static_cast<int64_t>(E.Largo + 4)));
    }

    // Across rows: gives up when a half of xmm13 is all ones (movmskpd eax, xmm13; test; jnz).
    void RenunciarSiMascara()
    {
        E.Bytes({0x66, 0x41, 0x0F, 0x50, 0xC5, 0x85, 0xC0});
        Renunciar(0x85);
    }

    uint32_t Uno = 0, Cero = 0, Signo = 0; // the constants every step may need
    void EscribirPaso(const Paso *P, uint8_t Destino, const Lugar &Izq, const Lugar &Der);
    uint8_t EscribirArbol(const FORMULAPREPARADA *F, uint32_t p, uint32_t &Libres);
    uint8_t EscribirLlamada(const Paso *P, size_t EnPasos, const uint8_t *De, uint32_t &Libres);
    bool Preparar(const FORMULAPREPARADA *F);
    void CargarVariables(bool DeColumnas);
    void EscribirPasos(const FORMULAPREPARADA *F);
    void EscribirEvaluacion(const FORMULAPREPARADA *F, size_t &Entrada, size_t &EntradaValor);
    void EscribirFilas(const FORMULAPREPARADA *F, size_t &Entrada);
};

// One step: its value into the register Destino (for a fused sum of a product, Destino holds
// the value it adds to), its operands where Izq and Der say.
void Emisor::EscribirPaso(const Paso *P, uint8_t Destino, const Lugar &Izq, const Lugar &Der)
{
    const unsigned Op = OperacionDePaso(P->Codigo);
    const Lugar Sumando = {Lugar::CONSTANTE, 0, K.Numero(P->Sumando), nullptr};
    // The value is made in its register where nothing the step reads after the first
    // operand is that register, else in xmm15.
    const auto Es = [&](const Lugar &L) { return L.Tipo == Lugar::REGISTRO && L.Registro == Destino; };
    const bool AlReves = Op == P_COMPARAR && (OPERADORES[P->Extra] == '>' || OPERADORES[P->Extra] == T_MAYORIGUAL);
    const bool Leidos = Op == P_KPOR ? Es(Izq) || Es(Der) : AlReves ? Es(Izq) : Es(Der);
    const uint8_t V = !SumaASuRanura(Op) && !Leidos ? Destino : XMM_VALOR;
    bool EnSuRanura = V != XMM_VALOR; // the value is already in its register
    const auto SumarASuRanura = [&](uint8_t Operacion) { // Destino = Destino op xmm15
        E.Sse(Aritmetica(), Operacion, Destino, EnRegistro(XMM_VALOR));
        EnSuRanura = true;
    };
    switch (Op) {
    case P_CARGAR:
        Cargar(V, Izq);
        break;
    case P_NEGAR:
        Cargar(V, Izq);
        E.Sse(EMPAQUETADO, XOR, V, {Lugar::CONSTANTE, 0, Signo, nullptr});
        break;
    case P_SUMA: case P_RESTA: case P_POR:
        Cargar(V, Izq);
        Operar(Op == P_SUMA ? ADD : Op == P_RESTA ? SUB : MUL, V, Der);
        break;
    case P_ENTRE: {
        Lugar Divisor = Der;
        if (Der.Tipo != Lugar::REGISTRO) {
            Cargar(XMM_DATO, Der);
            Divisor = EnRegistro(XMM_DATO);
        }
        if (Filas) { // a zero divisor in either row: those rows go one by one
            E.Sse(EMPAQUETADO, MOVAPD, XMM_MASCARA, Divisor);
            E.Sse(EMPAQUETADO, CMP, XMM_MASCARA, {Lugar::CONSTANTE, 0, Cero, nullptr}, CMP_IGUAL);
            RenunciarSiMascara();
        } else { // b == 0 (ZF set, PF clear): the steps decide
            E.Sse(EMPAQUETADO, UCOMISD, Divisor.Registro, {Lugar::CONSTANTE, 0, Cero, nullptr});
            E.Byte(0x7A); // jp over the jump: unordered is no zero
            E.Byte(6);
            Renunciar(0x84); // je
        }
        Cargar(V, Izq);
        E.Sse(Aritmetica(), DIV, V, Divisor);
        break;
    }
    case P_COMPARAR: {
        const int32_t Operador = OPERADORES[P->Extra]; // b < a, b <= a when AlReves
        const uint8_t Predicado = Operador == '=' ? CMP_IGUAL : Operador == T_DISTINTO ? CMP_DISTINTO
                                  : Operador == '<' || Operador == '>' ? CMP_MENOR : CMP_MENORIGUAL;
        Cargar(V, AlReves ? Der : Izq);
        Operar(CMP, V, AlReves ? Izq : Der, Predicado);
        E.Sse(EMPAQUETADO, AND, V, {Lugar::CONSTANTE, 0, Uno, nullptr});
        break;
    }
    case P_PORMAS: case P_PORMENOS:
        Cargar(V, Izq);
        Operar(MUL, V, Der);
        Operar(Op == P_PORMAS ? ADD : SUB, V, Sumando);
        break;
    case P_KPOR: case P_MASKPOR: case P_MENOSKPOR:
        Cargar(V, Sumando);
        Operar(MUL, V, Izq);
        Operar(MUL, V, Der);
        if (Op != P_KPOR)
            SumarASuRanura(Op == P_MASKPOR ? ADD : SUB);
        break;
    case P_MASPOR: case P_MENOSPOR:
        Cargar(V, Izq);
        Operar(MUL, V, Der);
        SumarASuRanura(Op == P_MASPOR ? ADD : SUB);
        break;
    default: // a power or a request: no light form holds one
        E.Lleno = true;
        return;
    }
    if (!EnSuRanura)
        E.Sse(EMPAQUETADO, MOVAPD, Destino, EnRegistro(XMM_VALOR));
}

// Step p and the steps its operands come from, into registers from Libres (a bit per
// register); returns the register of its value.
// A call of C code with its arguments in the registers De: every register the rest of the
// evaluation still needs and the general registers in use (one evaluation's arguments rdi,
// rsi, rdx and the steps' address rcx; the rows' arguments) wait in the frame meanwhile, since
// the call may change them all. One evaluation reads the function from the form's steps, so
// that binding another one changes no code; rows, written for one call, call it twice, once
// per row of the pair. Its value goes to a free register, which it returns.
uint8_t Emisor::EscribirLlamada(const Paso *P, size_t EnPasos, const uint8_t *De, uint32_t &Libres)
{
    const auto Pila = [](uint32_t Bytes) { return Lugar{Lugar::PILA, 0, Bytes, nullptr}; };
    const uint8_t GENERALES[] = {Escritor::RDI, Escritor::RSI, Escritor::RDX, Escritor::RCX};
    const uint32_t Generales = Filas ? 3 : 4;
    // A value is one double, or across rows two (movupd rather than movsd to and from the frame).
    const uint8_t Ancho = Filas ? 16 : 8, Forma = Filas ? EMPAQUETADO : ESCALAR;
    const uint32_t Argumentos = Filas ? FILAS_ARGUMENTOS : LLAMADA_ARGUMENTOS;
    const uint32_t Registros = Filas ? FILAS_REGISTROS : LLAMADA_REGISTROS;
    for (uint32_t g = 0; g < Generales; ++g)
        E.Mover64(true, GENERALES[g], Escritor::RSP, 8 * g);
    // The arguments go to xmm0, xmm1...: through the frame, unless they are there already
    // (one evaluation; rows take each row's half from the frame).
    bool EnSuSitio = !Filas;
    for (uint32_t k = 0; k < P->Extra; ++k)
        EnSuSitio = EnSuSitio && De[k] == k;
    for (uint32_t k = 0; k < P->Extra; ++k) {
        if (!EnSuSitio)
            E.Sse(Forma, MOVSD_GUARDAR, De[k], Pila(Argumentos + Ancho * k));
        Libres |= 1u << De[k];
    }
    uint32_t Vivos = ((1u << A.Nodos[A.Raiz].Registros) - 1) & ~Libres; // the tree's registers in use
    for (uint32_t v = 0; v < CuantasVariables; ++v)
        if (Variables[v].Registro != NINGUN_REGISTRO)
            Vivos |= 1u << Variables[v].Registro;
    for (uint8_t r = 0; r < XMM_DATO; ++r)
        if (Vivos & (1u << r))
            E.Sse(Forma, MOVSD_GUARDAR, r, Pila(Registros + Ancho * r));
    // Each access of the frame reads what one store wrote, whole, which the processor forwards
    // at once: a row's half is taken from a pair in a register, and the first row's value
    // waits alone.
    for (uint32_t Fila = 0; Fila < (Filas ? 2u : 1u); ++Fila) {
        for (uint8_t k = 0; k < P->Extra && !EnSuSitio; ++k) {
            E.Sse(Forma, MOVSD, k, Pila(Argumentos + Ancho * k));
            if (Fila == 1)
                E.Sse(EMPAQUETADO, UNPCKHPD, k, EnRegistro(k));
        }
        if (Filas)
            E.CargarRax(reinterpret_cast<const void *>(P->Izq.Funcion));
        else
            E.CargarRaxDePasos(static_cast<uint32_t>(EnPasos + offsetof(Paso, Izq)));
        E.Byte(0xFF); // call rax
        E.Byte(0xD0);
        if (Filas && Fila == 0)
            E.Sse(ESCALAR, MOVSD_GUARDAR, 0, Pila(FILAS_VALOR));
    }
    if (Filas) { // the two rows' values: the first's below the second's
        E.Sse(ESCALAR, MOVSD, XMM_VALOR, Pila(FILAS_VALOR));
        E.Sse(EMPAQUETADO, UNPCKLPD, XMM_VALOR, EnRegistro(0));
    } else {
        E.Sse(EMPAQUETADO, MOVAPD, XMM_VALOR, EnRegistro(0));
    }
    for (uint8_t r = 0; r < XMM_DATO; ++r)
        if (Vivos & (1u << r))
            E.Sse(Forma, MOVSD, r, Pila(Registros + Ancho * r));
    for (uint32_t g = 0; g < Generales; ++g)
        E.Mover64(false, GENERALES[g], Escritor::RSP, 8 * g);
    const uint8_t Destino = static_cast<uint8_t>(__builtin_ctz(Libres));
    Libres &= ~(1u << Destino);
    E.Sse(EMPAQUETADO, MOVAPD, Destino, EnRegistro(XMM_VALOR));
    return Destino;
}

uint8_t Emisor::EscribirArbol(const FORMULAPREPARADA *F, uint32_t p, uint32_t &Libres)
{
    const Arbol::Nodo &N = A.Nodos[p];
    uint32_t Hijos[Arbol::HIJOS];
    A.Orden(N, Hijos);
    uint8_t De[Arbol::HIJOS] = {}; // the register of each of N.Hijos
    for (uint32_t k = 0; k < static_cast<uint32_t>(Arbol::HIJOS) && Hijos[k] != Arbol::NINGUNO; ++k) {
        const uint8_t R = EscribirArbol(F, Hijos[k], Libres);
        for (int h = 0; h < Arbol::HIJOS; ++h)
            if (N.Hijos[h] == Hijos[k])
                De[h] = R;
    }
    const Paso *P = &F->Pasos[p];
    if (P->Codigo == CODIGO_NATIVA)
        return EscribirLlamada(P, static_cast<size_t>(p) * sizeof(Paso), De, Libres);
    const size_t EnPasos = static_cast<size_t>(p) * sizeof(Paso);
    const Lugar Izq = N.Hijos[0] != Arbol::NINGUNO ? EnRegistro(De[0])
                                                   : Operando(FuenteIzquierda(P->Codigo), P->Izq, EnPasos + offsetof(Paso, Izq));
    const Lugar Der = N.Hijos[1] != Arbol::NINGUNO ? EnRegistro(De[1])
                                                   : Operando(FuenteDerecha(P->Codigo), P->Der, EnPasos + offsetof(Paso, Der));
    // A fused sum adds into the register of the value it adds to; any other step takes a
    // register once its operands' are free (its operands are read before it is written, or
    // through xmm15).
    for (int h = 0; h < 2; ++h)
        if (N.Hijos[h] != Arbol::NINGUNO)
            Libres |= 1u << De[h];
    // Else the left operand's register (the step is then made in place), or for the form's
    // value xmm0, where it is answered.
    const uint8_t Destino = N.Hijos[2] != Arbol::NINGUNO ? De[2]
                            : N.Hijos[0] != Arbol::NINGUNO ? De[0]
                            : p == A.Raiz && (Libres & 1u) ? uint8_t{0}
                                                            : static_cast<uint8_t>(__builtin_ctz(Libres));
    Libres &= ~(1u << Destino);
    EscribirPaso(P, Destino, Izq, Der);
    return Destino;
}

// The tree of the steps, and which variables go into registers; false when the code cannot
// be written (no such form is known: the steps serve it).
bool Emisor::Preparar(const FORMULAPREPARADA *F)
{
    Uno = K.Numero(1.0);
    Cero = K.Numero(0.0);
    Signo = K.Agregar(uint64_t{1} << 63);
    if (!A.Formar(F) || A.Nodos[A.Raiz].Registros > EnRegistros)
        return false;
    for (uint32_t p = 0; p + 1 < F->CuantosPasos; ++p)
        for (int Lado = 0; Lado < 2 && F->Pasos[p].Codigo < CODIGO_PEDIR; ++Lado) { // (no call reads a variable)
            const Paso &P = F->Pasos[p];
            if ((Lado == 0 ? FuenteIzquierda(P.Codigo) : FuenteDerecha(P.Codigo)) != DE_DIRECCION)
                continue;
            const double *Direccion = (Lado == 0 ? P.Izq : P.Der).Direccion;
            uint32_t v = 0;
            while (v < CuantasVariables && Variables[v].Direccion != Direccion)
                ++v;
            if (v == CuantasVariables) {
                if (v == RANURAS_NUMERICAS)
                    return false;
                Variables[CuantasVariables++] = {Direccion, Filas ? Desde.Columna(Direccion) : nullptr,
                                                 static_cast<uint32_t>(p * sizeof(Paso) + (Lado == 0 ? offsetof(Paso, Izq) : offsetof(Paso, Der))),
                                                 0, NINGUN_REGISTRO};
            }
            ++Variables[v].Usos;
        }
    // The registers the tree leaves, from the top, to the most read variables; a number
    // across rows is worth one even when read once, since it is then read once per call.
    uint32_t Libres = EnRegistros - A.Nodos[A.Raiz].Registros;
    while (Libres > 0) {
        Variable *Mejor = nullptr;
        for (uint32_t v = 0; v < CuantasVariables; ++v) {
            Variable &V = Variables[v];
            if (V.Registro == NINGUN_REGISTRO && (V.Usos > 1 || (Filas && !V.Columna)) &&
                (Mejor == nullptr || V.Usos > Mejor->Usos))
                Mejor = &V;
        }
        if (Mejor == nullptr)
            break;
        Mejor->Registro = static_cast<uint8_t>(A.Nodos[A.Raiz].Registros + --Libres);
    }
    return true;
}

// The variables that go into registers: the columns (across rows), or the rest.
void Emisor::CargarVariables(bool DeColumnas)
{
    for (uint32_t v = 0; v < CuantasVariables; ++v) {
        const Variable &V = Variables[v];
        if (V.Registro == NINGUN_REGISTRO || (V.Columna != nullptr) != DeColumnas)
            continue;
        if (Filas)
            Cargar(V.Registro, {V.Columna ? Lugar::COLUMNA : Lugar::DIRECCION, 0, Desfase,
                                V.Columna ? V.Columna : V.Direccion});
        else
            Cargar(V.Registro, DeVariable(v));
    }
}

// The steps, into registers in the order of their tree that needs fewest, the variables'
// registers loaded; the value in xmm0.
void Emisor::EscribirPasos(const FORMULAPREPARADA *F)
{
    uint32_t Libres = (1u << A.Nodos[A.Raiz].Registros) - 1;
    const uint8_t R = EscribirArbol(F, A.Raiz, Libres);
    if (R != 0)
        E.Sse(EMPAQUETADO, MOVAPD, 0, EnRegistro(R));
}

// int32_t (F, Estado, Numero), Numero not null, as EvaluarPasos<false, false, true> answers;
// and at EntradaValor, double (F) as A_Valor answers: the same steps, giving up with a NaN.
void Emisor::EscribirEvaluacion(const FORMULAPREPARADA *F, size_t &Entrada, size_t &EntradaValor)
{
    if (!Preparar(F)) {
        E.Lleno = true;
        return;
    }
    const bool EnPasos = A.Llamadas || CuantasVariables > ENLACES_EN_FORMA; // the steps hold those addresses
    const auto Cuerpo = [&] { // the value into xmm0
        Marco(0xEC);
        if (EnPasos) // mov rcx, [rdi + the steps' offset]: where the bound variables are
            E.Mover64(false, Escritor::RCX, Escritor::RDI, static_cast<uint32_t>(offsetof(FORMULAPREPARADA, Pasos)));
        CargarVariables(false);
        EscribirPasos(F);
    };
    // First where each entry gives up, with the caller's arguments as they came, so that
    // every jump to it is backwards, to a place already known: to the steps, or a NaN. A
    // form that calls C code has made its calls by then, and the steps would make them again:
    // it answers the division's error itself (a form of numbers turns it into no other code).
    Pasos = E.Largo;
    Marco(0xC4);
    if (A.Llamadas) {
        E.Sse(ESCALAR, MOVSD, 0, {Lugar::CONSTANTE, 0, K.Numero(__builtin_nan("")), nullptr});
        E.Bytes({0xF2, 0x0F, 0x11, 0x02}); // movsd [rdx], xmm0
        E.Byte(0xB8);                      // mov eax, E_DIVISION
        E.Entero32(static_cast<uint32_t>(E_DIVISION));
        E.Byte(0xC3); // ret
    } else {
        E.CargarRax(F->Ligera ? reinterpret_cast<const void *>(&EvaluarPasos<false, false, true>)
                              : reinterpret_cast<const void *>(&EvaluarPasos<false, true, true>));
        E.Byte(0xFF); // jmp rax
        E.Byte(0xE0);
    }
    const size_t SinValor = E.Largo;
    Marco(0xC4);
    E.Sse(ESCALAR, MOVSD, 0, {Lugar::CONSTANTE, 0, K.Numero(__builtin_nan("")), nullptr});
    E.Byte(0xC3); // ret
    Entrada = E.Largo;
    Cuerpo();
    E.Bytes({0xF2, 0x0F, 0x11, 0x02}); // movsd [rdx], xmm0: the value, slot 0's
    Marco(0xC4);
    E.Byte(0x31); // xor eax, eax
    E.Byte(0xC0);
    E.Byte(0xC3); // ret
    // A_Valor's: a zero divisor answers a NaN.
    EntradaValor = E.Largo;
    Pasos = SinValor;
    Cuerpo();
    Marco(0xC4);
    E.Byte(0xC3); // ret
    for (uint32_t v = 0; v < CuantasVariables && v < ENLACES_EN_FORMA; ++v)
        Enlaces[v] = Variables[v].Direccion;
}

// size_t (Valores, Desde, Hasta): rows Desde, Desde + 1, ... while below Hasta (Hasta - Desde
// a multiple of 4) into Valores, four a turn, as two pairs whose work the processor overlaps;
// returns the first row of the pair where it stopped (a zero divisor), Hasta when none.
void Emisor::EscribirFilas(const FORMULAPREPARADA *F, size_t &Entrada)
{
    if (!Preparar(F)) {
        E.Lleno = true;
        return;
    }
    const size_t PrimerPar = E.Largo; // gives up: rax = the pair's row
    Marco(0xC4);
    E.Bytes({0x48, 0x89, 0xF0, 0xC3}); // mov rax, rsi; ret
    const size_t SegundoPar = E.Largo;
    Marco(0xC4);
    E.Bytes({0x48, 0x8D, 0x46, 0x02, 0xC3}); // lea rax, [rsi + 2]; ret
    Entrada = E.Largo;
    Marco(0xEC);
    CargarVariables(false); // the numbers, once per call
    const size_t Vuelta = E.Largo;
    E.Bytes({0x48, 0x39, 0xD6}); // cmp rsi, rdx
    E.Byte(0x0F); // jae to the end, patched below
    E.Byte(0x83);
    const size_t Salto = E.Largo;
    E.Entero32(0);
    for (uint32_t Par = 0; Par < 2; ++Par) {
        Desfase = 16 * Par;
        Pasos = Par == 0 ? PrimerPar : SegundoPar;
        CargarVariables(true);
        EscribirPasos(F);
        E.Bytes({0x66, 0x0F, 0x11, 0x44, 0xF7, static_cast<uint8_t>(Desfase)}); // movupd [rdi + rsi*8 + d], xmm0
    }
    E.Bytes({0x48, 0x83, 0xC6, 0x04}); // add rsi, 4
    E.Byte(0xE9); // jmp back
    E.Entero32(static_cast<uint32_t>(static_cast<int64_t>(Vuelta) - static_cast<int64_t>(E.Largo + 4)));
    E.Poner32(Salto, static_cast<uint32_t>(E.Largo - (Salto + 4)));
    Marco(0xC4);
    E.Bytes({0x48, 0x89, 0xF0, 0xC3}); // mov rax, rsi; ret
}

// No step of F is a power (which the code does not compute).
bool SinPotencias(const FORMULAPREPARADA *F)
{
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        if (F->Pasos[p].Codigo < CODIGO_PEDIR && OperacionDePaso(F->Pasos[p].Codigo) == P_POTENCIA)
            return false;
    return true;
}

// A division whose divisor may be zero (none but a constant's is known not to be).
bool DivideEntreVariables(const FORMULAPREPARADA *F)
{
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        if (F->Pasos[p].Codigo < CODIGO_PEDIR && OperacionDePaso(F->Pasos[p].Codigo) == P_ENTRE &&
            FuenteDerecha(F->Pasos[p].Codigo) != DE_CONSTANTE)
            return true;
    return false;
}

// Every failure of the form keeps its code (none turns into E_PARENTESIS), so that the code
// of a form that calls C code may answer a division by zero's E_DIVISION itself.
bool CodigosPropios(const FORMULAPREPARADA *F)
{
    for (uint32_t k = 0; k < F->Fallidas; ++k)
        if (F->Fallos[k].Reemplazo != 0)
            return false;
    return true;
}

// The entries of a form that calls C code: counted in course around its machine code, so
// that the code a call runs cannot change or release the form under it.
int32_t NativaEnCurso(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
    const EnCurso Cuenta(F);
    return F->NativaEnsamblada(F, Estado, Numero);
}
double ValorEnCurso(const FORMULAPREPARADA *F)
{
    const EnCurso Cuenta(F);
    return F->ValorEnsamblado(F);
}

bool Ensamblable(const FORMULAPREPARADA *F)
{
    // Under the engine's settings the switch costs more than the steps save; and a form is
    // assembled only once the host has chosen its own settings, so that preparing a form,
    // which many hosts do for one evaluation, asks the system for no pages. A light form, or
    // one that also calls C code, which it calls straight under those settings.
    return F->SinPeticiones && !F->Ajustar && (F->Opciones & AJUSTES_DEL_ANFITRION) && SinPotencias(F) &&
           (!F->Llama || CodigosPropios(F));
}

// The code of F, written by Escribe(Emisor &, size_t &Entrada) on the heap into Texto (to be
// released with free), its length in Largo; false when memory runs out or it does not fit.
// Its references to its own constants are relative, so that it runs wherever it is copied.
template <class Escribir>
bool EscribirCodigo(const FORMULAPREPARADA *F, bool Filas, const DesdeColumnas *Desde, uint8_t *&Texto, size_t &Largo,
                    size_t &Entrada, Escribir Escribe)
{
    // At most: three constants a step and the four fixed ones; 96 bytes of code a step, for
    // each of one evaluation's two entries, and 1024 a call (the frame's moves; two calls across rows).
    const uint32_t MaximoConstantes = 3 * F->CuantosPasos + 4;
    size_t Tamano = 16u * MaximoConstantes + (Filas ? 96u : 192u) * F->CuantosPasos + 256u;
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        Tamano += F->Pasos[p].Codigo == CODIGO_NATIVA ? 1024u : 0u;
    Texto = static_cast<uint8_t *>(std::calloc(Tamano, 1));
    if (Texto == nullptr)
        return false;
    Escritor E{Texto, Tamano};
    Constantes K{E, 0, MaximoConstantes};
    E.Largo = 16 * K.Maximo; // the constants first
    Emisor Fo{E, K, Filas};
    Fo.EnRegistros = Filas ? RANURAS_EN_REGISTROS - 1 : RANURAS_EN_REGISTROS;
    if (Desde != nullptr)
        Fo.Desde = *Desde;
    Escribe(Fo, Entrada);
    Largo = E.Largo;
    return !E.Lleno;
}

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

} // namespace

void Ensamblar(FORMULAPREPARADA *F)
{
    if (!Ensamblable(F)) {
        SoltarEnsamblado(F);
        return;
    }
    uint8_t *Texto;
    size_t Largo, Entrada = 0, EntradaValor = 0;
    const double *Enlaces[ENLACES_EN_FORMA];
    if (!EscribirCodigo(F, false, nullptr, Texto, Largo, Entrada, [&](Emisor &Fo, size_t &En) {
            Fo.EscribirEvaluacion(F, En, EntradaValor);
            std::memcpy(Enlaces, Fo.Enlaces, sizeof Enlaces);
        })) {
        std::free(Texto);
        SoltarEnsamblado(F);
        return;
    }
    // The code reads the bindings through the form: binding a variable elsewhere writes the
    // same code, which is kept (asking the system for pages costs microseconds).
    if (F->Ensamblado == nullptr || F->LargoEnsamblado != Largo || std::memcmp(F->Ensamblado, Texto, Largo) != 0) {
        SoltarEnsamblado(F);
        F->Ensamblado = Ejecutable(Texto, Largo);
        if (F->Ensamblado != nullptr) {
            F->LargoEnsamblado = Largo;
            F->NativaEnsamblada = reinterpret_cast<EvaluacionNativa>(static_cast<uint8_t *>(F->Ensamblado) + Entrada);
            F->ValorEnsamblado = reinterpret_cast<EvaluacionValor>(static_cast<uint8_t *>(F->Ensamblado) + EntradaValor);
            F->Nativa = F->Llama ? NativaEnCurso : F->NativaEnsamblada;
            F->Valor = F->Llama ? ValorEnCurso : F->ValorEnsamblado;
        }
    }
    std::memcpy(F->Enlaces, Enlaces, sizeof Enlaces); // the new bindings, where the code reads them
    std::free(Texto);
}

FilasEnsambladas::FilasEnsambladas(const FORMULAPREPARADA *F, const DesdeColumnas &Desde)
{
    // A light form; or under the host's settings, which C code is called under as it stands,
    // one that also calls C code.
    if (!F->Ligera && !(F->SinPeticiones && !F->Ajustar && SinPotencias(F)))
        return;
    // Calls of C code, which would be made again for the two rows the code stops at: rows in
    // blocks, which keep the calls' values, where a division may stop it.
    if (F->Llama && DivideEntreVariables(F))
        return;
    uint8_t *Texto;
    size_t Entrada = 0;
    if (EscribirCodigo(F, true, &Desde, Texto, Largo, Entrada,
                       [F](Emisor &Fo, size_t &En) { Fo.EscribirFilas(F, En); }))
        Memoria = Ejecutable(Texto, Largo);
    std::free(Texto);
    if (Memoria != nullptr)
        Codigo = reinterpret_cast<Funcion>(static_cast<uint8_t *>(Memoria) + Entrada);
}

FilasEnsambladas::~FilasEnsambladas()
{
    if (Memoria != nullptr)
        munmap(Memoria, EnPaginas(Largo));
}

size_t PaginasEnsambladas(const FORMULAPREPARADA *F)
{
    return F->Ensamblado != nullptr ? EnPaginas(F->LargoEnsamblado) : 0;
}

void SoltarEnsamblado(FORMULAPREPARADA *F)
{
    if (F->Ensamblado != nullptr)
        munmap(F->Ensamblado, EnPaginas(F->LargoEnsamblado));
    SinEnsamblar(F);
}

#endif

} // namespace Motor
