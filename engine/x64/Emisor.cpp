// The steps of a light form (numbers, bound variables and powers, no request) as x86-64
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
#include <cstdlib>

#include "Arbol.h"
#include "Emisor.h"
#include "Escritor.h"
#include "Marco.h"
#include "Potencias.h"

namespace Motor {

#if EVALION_ENSAMBLADO
namespace {

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

    // The entries' frame (Marco.h): a form that calls C code (or pow) keeps one for the calls.
    Marco Entradas() const
    {
        return Marco(E, A.Llamadas || A.Potencias, Filas ? MARCO_FILAS : MARCO_LLAMADAS, Usados);
    }
    uint16_t Usados = 0xFFFF; // Windows: the SSE registers the code uses (Escritor::Xmm of a first writing)
    uint32_t Funciones = 0;   // Windows: the entries of the unwinding table at the start (DescribirMarco)

    void Renunciar(uint8_t Condicion) // jcc rel32 to where the code gives up
    {
        E.Saltar(Condicion, Pasos);
    }

    // Across rows: gives up when a half of xmm13 is all ones (movmskpd eax, xmm13; test; jnz).
    void RenunciarSiMascara()
    {
        E.ProbarMascara();
        Renunciar(Escritor::SI_DISTINTO);
    }

    uint32_t Uno = 0, Cero = 0, Signo = 0; // the constants every step may need
    void EscribirPaso(const Paso *P, uint8_t Destino, const Lugar &Izq, const Lugar &Der);
    uint8_t EscribirArbol(const FORMULAPREPARADA *F, uint32_t p, uint32_t &Libres);
    bool PotenciasRapidas = false; // x^2, x^3, x^-1 and x^0,5 computed here where they can be
    void Llamar(const void *Funcion, size_t EnPasos, uint32_t Cuantos, const Lugar *Args, uint32_t Libres,
                bool SoloFallidas = false);
    uint8_t Tomar(uint32_t &Libres);
    uint8_t EscribirLlamada(const Paso *P, size_t EnPasos, const uint8_t *De, uint32_t &Libres);
    uint8_t EscribirOperacion(const Paso *P, const uint8_t *De, uint32_t &Libres);
    uint8_t EscribirPotencia(const Paso *P, const Arbol::Nodo &N, const uint8_t *De, size_t EnPasos, uint32_t &Libres);
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
            E.SaltarJccSiParidad(); // over the jump: unordered is no zero
            Renunciar(Escritor::SI_IGUAL);
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
    default: // a request: no light form holds one (a power is written apart)
        E.Lleno = true;
        return;
    }
    if (!EnSuRanura)
        E.Sse(EMPAQUETADO, MOVAPD, Destino, EnRegistro(XMM_VALOR));
}

// A call of C code (Funcion; one evaluation's bound functions, null, read from the form's
// steps at EnPasos, so that binding another one changes no code) with its arguments where Args
// say, its value into xmm15. Every register the rest of the evaluation still needs (the tree's
// not in Libres, the variables') and the general registers in use (one evaluation's arguments
// rdi, rsi, rdx and the steps' address rcx; the rows' arguments) wait in the frame meanwhile,
// since the call may change them all. Rows, written for one call, call it twice, once per row
// of the pair; or, for a power (SoloFallidas), only for the rows whose bits are set in eax,
// the others keeping their halves of xmm15.
void Emisor::Llamar(const void *Funcion, size_t EnPasos, uint32_t Cuantos, const Lugar *Args, uint32_t Libres,
                    bool SoloFallidas)
{
    const auto Pila = [](uint32_t Bytes) { return Lugar{Lugar::PILA, 0, Bytes, nullptr}; };
    const uint8_t GENERALES[] = {Escritor::RDI, Escritor::RSI, Escritor::RDX, Escritor::RCX};
    const uint32_t Generales = Filas ? 3 : 4;
    // A value is one double, or across rows two (movupd rather than movsd to and from the frame).
    const uint8_t Ancho = Filas ? 16 : 8, Forma = Filas ? EMPAQUETADO : ESCALAR;
    const uint32_t Argumentos = Filas ? FILAS_ARGUMENTOS : LLAMADA_ARGUMENTOS;
    const uint32_t Registros = Filas ? FILAS_REGISTROS : LLAMADA_REGISTROS;
    SoloFallidas = SoloFallidas && Filas;
    if (SoloFallidas) { // before an argument's load may change them
        E.GuardarEax(FILAS_FALLIDAS);
        E.Sse(EMPAQUETADO, MOVSD_GUARDAR, XMM_VALOR, Pila(FILAS_VALOR));
    }
    for (uint32_t g = 0; g < Generales; ++g)
        E.Mover64(true, GENERALES[g], Escritor::RSP, LLAMADA_GENERALES + 8 * g);
    // The arguments go to xmm0, xmm1...: through the frame, unless they are there already
    // (one evaluation; rows take each row's half from the frame).
    bool EnSuSitio = !Filas;
    for (uint32_t k = 0; k < Cuantos; ++k)
        EnSuSitio = EnSuSitio && Args[k].Tipo == Lugar::REGISTRO && Args[k].Registro == k;
    for (uint32_t k = 0; k < Cuantos && !EnSuSitio; ++k) {
        uint8_t R = Args[k].Registro;
        if (Args[k].Tipo != Lugar::REGISTRO) {
            Cargar(XMM_VALOR, Args[k]);
            R = XMM_VALOR;
        }
        E.Sse(Forma, MOVSD_GUARDAR, R, Pila(Argumentos + Ancho * k));
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
        size_t Sigue = Escritor::SIN_DESTINO;
        if (SoloFallidas) {
            E.ProbarBits(FILAS_FALLIDAS, static_cast<uint8_t>(1u << Fila));
            Sigue = E.Saltar(Escritor::SI_IGUAL, Escritor::SIN_DESTINO);
        }
        for (uint8_t k = 0; k < Cuantos && !EnSuSitio; ++k) {
            E.Sse(Forma, MOVSD, k, Pila(Argumentos + Ancho * k));
            if (Fila == 1)
                E.Sse(EMPAQUETADO, UNPCKHPD, k, EnRegistro(k));
        }
        if (Funcion != nullptr)
            E.CargarRax(Funcion);
        else
            E.CargarRaxDePasos(static_cast<uint32_t>(EnPasos + offsetof(Paso, Izq)));
        E.LlamarRax();
        if (SoloFallidas) {
            E.Sse(ESCALAR, MOVSD_GUARDAR, 0, Pila(FILAS_VALOR + 8 * Fila));
            E.Resolver(Sigue);
        } else if (Filas && Fila == 0) {
            E.Sse(ESCALAR, MOVSD_GUARDAR, 0, Pila(FILAS_VALOR));
        }
    }
    if (SoloFallidas) {
        E.Sse(EMPAQUETADO, MOVSD, XMM_VALOR, Pila(FILAS_VALOR));
    } else if (Filas) { // the two rows' values: the first's below the second's
        E.Sse(ESCALAR, MOVSD, XMM_VALOR, Pila(FILAS_VALOR));
        E.Sse(EMPAQUETADO, UNPCKLPD, XMM_VALOR, EnRegistro(0));
    } else {
        E.Sse(EMPAQUETADO, MOVAPD, XMM_VALOR, EnRegistro(0));
    }
    for (uint8_t r = 0; r < XMM_DATO; ++r)
        if (Vivos & (1u << r))
            E.Sse(Forma, MOVSD, r, Pila(Registros + Ancho * r));
    for (uint32_t g = 0; g < Generales; ++g)
        E.Mover64(false, GENERALES[g], Escritor::RSP, LLAMADA_GENERALES + 8 * g);
}

// xmm15 into a free register, which it takes and returns.
uint8_t Emisor::Tomar(uint32_t &Libres)
{
    const uint8_t Destino = static_cast<uint8_t>(__builtin_ctz(Libres));
    Libres &= ~(1u << Destino);
    E.Sse(EMPAQUETADO, MOVAPD, Destino, EnRegistro(XMM_VALOR));
    return Destino;
}

// A call of bound C code with its arguments in the registers De; its value in a free register.
uint8_t Emisor::EscribirLlamada(const Paso *P, size_t EnPasos, const uint8_t *De, uint32_t &Libres)
{
    Lugar Args[Arbol::HIJOS];
    for (uint32_t k = 0; k < P->Extra; ++k) {
        Args[k] = EnRegistro(De[k]);
        Libres |= 1u << De[k];
    }
    Llamar(Filas ? reinterpret_cast<const void *>(P->Izq.Funcion) : nullptr, EnPasos, P->Extra, Args, Libres);
    return Tomar(Libres);
}

// C code bound as an operation the code computes the same (NATIVA_RAIZ, _ABS, _SI): its
// instructions instead of the call, its arguments in the registers De. A choice tests the
// bits of its condition for a zero, with no comparison that a signaling NaN would flag.
uint8_t Emisor::EscribirOperacion(const Paso *P, const uint8_t *De, uint32_t &Libres)
{
    const uint8_t V = XMM_VALOR, D = XMM_DATO;
    const Lugar Absoluto = {Lugar::CONSTANTE, 0, K.Agregar(0x7FFFFFFFFFFFFFFF), nullptr};
    switch (static_cast<int32_t>(P->Der.Ranura)) {
    case NATIVA_RAIZ: // sqrt, and a zero +0: and with the mask of what is no zero
        E.Sse(Aritmetica(), SQRT, V, EnRegistro(De[0]));
        E.Sse(EMPAQUETADO, MOVAPD, D, EnRegistro(V));
        E.Sse(EMPAQUETADO, CMP, D, {Lugar::CONSTANTE, 0, Cero, nullptr}, CMP_DISTINTO);
        E.Sse(EMPAQUETADO, AND, V, EnRegistro(D));
        break;
    case NATIVA_ABS:
        E.Sse(EMPAQUETADO, MOVAPD, V, EnRegistro(De[0]));
        E.Sse(EMPAQUETADO, AND, V, Absoluto);
        break;
    default: { // NATIVA_SI: D = all ones where the condition is +0 or -0; V = D ? b : a
        E.Sse(EMPAQUETADO, MOVAPD, D, EnRegistro(De[0]));
        E.Sse(EMPAQUETADO, AND, D, Absoluto);
        E.Sse(EMPAQUETADO, PCMPEQD, D, {Lugar::CONSTANTE, 0, Cero, nullptr});
        E.Sse(EMPAQUETADO, PSHUFD, V, EnRegistro(D), 0xB1); // each half's two words swapped
        E.Sse(EMPAQUETADO, PAND, D, EnRegistro(V));
        E.Sse(EMPAQUETADO, MOVAPD, V, EnRegistro(D));
        E.Sse(EMPAQUETADO, ANDN, V, EnRegistro(De[1]));
        E.Sse(EMPAQUETADO, AND, D, EnRegistro(De[2]));
        E.Sse(EMPAQUETADO, OR, V, EnRegistro(D));
        break;
    }
    }
    for (uint32_t k = 0; k < P->Extra; ++k)
        Libres |= 1u << De[k];
    return Tomar(Libres);
}

// A power, as the steps compute it (Elevar), called; x^2, x^3, x^-1 and x^0,5 first computed
// here where pow surely gives the same double (Potencias.h).
uint8_t Emisor::EscribirPotencia(const Paso *P, const Arbol::Nodo &N, const uint8_t *De, size_t EnPasos, uint32_t &Libres)
{
    Lugar Base = N.Hijos[0] != Arbol::NINGUNO ? EnRegistro(De[0])
                                              : Operando(FuenteIzquierda(P->Codigo), P->Izq, EnPasos + offsetof(Paso, Izq));
    const Lugar Exponente = N.Hijos[1] != Arbol::NINGUNO ? EnRegistro(De[1])
                                                         : Operando(FuenteDerecha(P->Codigo), P->Der, EnPasos + offsetof(Paso, Der));
    for (int h = 0; h < 2; ++h)
        if (N.Hijos[h] != Arbol::NINGUNO)
            Libres |= 1u << De[h];
    const double k = FuenteDerecha(P->Codigo) == DE_CONSTANTE ? P->Der.Numero : 0.0;
    const bool Rapida = PotenciasRapidas && (k == 2.0 || k == 3.0 || k == -1.0 || k == 0.5);
    size_t Fin = Escritor::SIN_DESTINO;
    if (Rapida) {
        if (Base.Tipo != Lugar::REGISTRO) { // into the register its value will take
            const uint8_t R = static_cast<uint8_t>(__builtin_ctz(Libres));
            Cargar(R, Base);
            Base = EnRegistro(R);
        }
        EscribirPotenciaRapida(E, K, Filas, k, Base.Registro);
        const size_t Lenta = E.Saltar(Filas ? Escritor::SI_DISTINTO : Escritor::SI_NO_MAYOR, Escritor::SIN_DESTINO);
        Fin = E.Saltar(0, Escritor::SIN_DESTINO); // the value in xmm15, as the call leaves it
        E.Resolver(Lenta);
    }
    const Lugar Args[2] = {Base, Exponente};
    Llamar(reinterpret_cast<const void *>(&ElevarEnCodigo), 0, 2, Args, Libres, Rapida);
    if (Fin != Escritor::SIN_DESTINO)
        E.Resolver(Fin);
    return Tomar(Libres);
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
    const size_t EnPasos = static_cast<size_t>(p) * sizeof(Paso);
    if (P->Codigo == CODIGO_NATIVA)
        return P->Der.Ranura != 0 ? EscribirOperacion(P, De, Libres) : EscribirLlamada(P, EnPasos, De, Libres);
    if (OperacionDePaso(P->Codigo) == P_POTENCIA)
        return EscribirPotencia(P, N, De, EnPasos, Libres);
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
    if (!A.Formar(F))
        return false;
    if (A.Potencias) { // registers for the check of a power's value: xmm12 and xmm13
        EnRegistros = 12;
        PotenciasRapidas = PotenciaConFma();
    }
    if (A.Nodos[A.Raiz].Registros > EnRegistros)
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
    Marco M = Entradas();
    const auto Cuerpo = [&] { // the value into xmm0
        M.Entrar();
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
    const size_t Inicio = Pasos;
    const auto NaN = [&] { E.Sse(ESCALAR, MOVSD, 0, {Lugar::CONSTANTE, 0, K.Numero(__builtin_nan("")), nullptr}); };
    if (A.Llamadas) {
        M.Salida([&] {
            NaN();
            E.GuardarEnRdx();
            E.PonerEax(static_cast<uint32_t>(E_DIVISION));
        });
        E.Volver();
    } else {
        const void *Destino = F->Ligera ? reinterpret_cast<const void *>(&EvaluarPasos<false, false, true>)
                                        : reinterpret_cast<const void *>(&EvaluarPasos<false, true, true>);
        M.APasos(K, Destino);
    }
    const size_t SinValor = E.Largo;
    M.Salida(NaN);
    E.Volver();
    Entrada = E.Largo;
    Cuerpo();
    E.GuardarEnRdx(); // the value, slot 0's
    M.Salida([&] { E.CerosEnEax(); });
    E.Volver();
    // A_Valor's: a zero divisor answers a NaN.
    EntradaValor = E.Largo;
    Pasos = SinValor;
    Cuerpo();
    M.Salir();
    E.Volver();
    for (uint32_t v = 0; v < CuantasVariables && v < ENLACES_EN_FORMA; ++v)
        Enlaces[v] = Variables[v].Direccion;
    Funciones = DescribirMarco(E, K.Inicio, M, {Inicio, Entrada, EntradaValor});
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
    Marco M = Entradas();
    const auto Volver = [&](uint8_t Mas) { // rax = rsi + Mas
        M.Salida([&] { Mas != 0 ? E.RaxDeRsiMas(Mas) : E.RaxDeRsi(); });
        E.Volver();
    };
    const size_t PrimerPar = E.Largo; // gives up: rax = the pair's row
    Volver(0);
    const size_t SegundoPar = E.Largo;
    Volver(2);
    Entrada = E.Largo;
    M.Entrar();
    CargarVariables(false); // the numbers, once per call
    const size_t Vuelta = E.Largo;
    E.CompararRsiRdx();
    const size_t Salto = E.Saltar(Escritor::SI_NO_MENOR, Escritor::SIN_DESTINO); // to the end
    for (uint32_t Par = 0; Par < 2; ++Par) {
        Desfase = 16 * Par;
        Pasos = Par == 0 ? PrimerPar : SegundoPar;
        CargarVariables(true);
        EscribirPasos(F);
        E.GuardarFilas(static_cast<uint8_t>(Desfase));
    }
    E.SumarARsi(4);
    E.Saltar(0, Vuelta);
    E.Resolver(Salto);
    Volver(0);
    Funciones = DescribirMarco(E, K.Inicio, M, {PrimerPar, Entrada});
}

// The code of F, written by Escribe(Emisor &, size_t &Entrada) on the heap into Texto (to be
// released with free), its length in Largo; false when memory runs out or it does not fit.
// Its references to its own constants are relative, so that it runs wherever it is copied.
template <class Escribir>
bool EscribirCodigo(const FORMULAPREPARADA *F, bool Filas, const DesdeColumnas *Desde, uint8_t *&Texto, size_t &Largo,
                    size_t &Entrada, uint32_t &Funciones, Escribir Escribe)
{
    // At most: three constants a step and the four fixed ones (a power's check has ten more); 96 bytes of code a step, for
    // each of one evaluation's two entries, and 1024 a call (the frame's moves; two calls across rows).
    uint32_t Potencias = 0;
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        Potencias += F->Pasos[p].Codigo < CODIGO_PEDIR && OperacionDePaso(F->Pasos[p].Codigo) == P_POTENCIA;
    const uint32_t MaximoConstantes = 3 * F->CuantosPasos + 4 + 10 * Potencias;
    size_t Tamano = 16u * MaximoConstantes + (Filas ? 96u : 192u) * F->CuantosPasos + 256u + 1536u * Potencias;
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        Tamano += F->Pasos[p].Codigo == CODIGO_NATIVA ? 1024u : 0u;
    // Windows: the unwinding table (three entries at most) and the entries' prologues and ways
    // out (at most 110 bytes each, four ways out an entry) with their UNWIND_INFO.
    const uint32_t Tabla = WINDOWS64 ? 48 : 0;
    Tamano += WINDOWS64 ? Tabla + 1536u : 0u;
    Texto = static_cast<uint8_t *>(std::calloc(Tamano, 1));
    if (Texto == nullptr)
        return false;
    // On Windows written twice: the first time to learn which SSE registers the code uses,
    // the only ones of xmm6..xmm15 its entries then keep for the caller.
    uint16_t Usados = 0xFFFF;
    for (int Vez = 0; Vez < (WINDOWS64 ? 2 : 1); ++Vez) {
        std::memset(Texto, 0, Tamano);
        Escritor E{Texto, Tamano};
        Constantes K{E, 0, MaximoConstantes, Tabla};
        E.Largo = Tabla + 16 * K.Maximo; // the constants first
        Emisor Fo{E, K, Filas};
        Fo.EnRegistros = Filas ? RANURAS_EN_REGISTROS - 1 : RANURAS_EN_REGISTROS;
        Fo.Usados = Usados;
        if (Desde != nullptr)
            Fo.Desde = *Desde;
        Escribe(Fo, Entrada);
        Usados = E.Xmm;
        Largo = E.Largo;
        Funciones = Fo.Funciones;
        if (E.Lleno)
            return false;
    }
    return true;
}

} // namespace

bool CodigoDeEvaluacion(const FORMULAPREPARADA *F, uint8_t *&Texto, size_t &Largo, size_t &Entrada,
                        size_t &EntradaValor, const double *(&Enlaces)[ENLACES_EN_FORMA], uint32_t &Funciones)
{
    return EscribirCodigo(F, false, nullptr, Texto, Largo, Entrada, Funciones, [&](Emisor &Fo, size_t &En) {
        Fo.EscribirEvaluacion(F, En, EntradaValor);
        std::memcpy(Enlaces, Fo.Enlaces, sizeof Enlaces);
    });
}

bool CodigoDeFilas(const FORMULAPREPARADA *F, const DesdeColumnas &Desde, uint8_t *&Texto, size_t &Largo,
                   size_t &Entrada, uint32_t &Funciones)
{
    return EscribirCodigo(F, true, &Desde, Texto, Largo, Entrada, Funciones,
                          [F](Emisor &Fo, size_t &En) { Fo.EscribirFilas(F, En); });
}
#endif

} // namespace Motor
