// The evaluation's entry and the steps on doubles of a form of numbers only, inline: the
// exported entry point is compiled as the evaluation itself, so that the shortest forms (a
// constant, numbers and bound variables) cost no call more than their own work. The rest
// (requests, texts, failures) is the machine's (Maquina.cpp).
#ifndef EVALION_EVALUACION_H
#define EVALION_EVALUACION_H

#include <cstring>
#include <type_traits>

#include "Peticiones.h" // with the floating-point switch and the operations
#include "Programa.h"

namespace Motor {

// What the steps leave to the blocks when they cannot go on: the numbers the host gave so
// far, the block of the answer that was no plain number (or none: a division by zero), and
// what the C code bound to calls answered so far, so that the block evaluation gives the
// same answers again without asking the host or calling that code a second time: a function
// with a cost or a state sees exactly the calls the text makes.
struct Repeticion {
    double Numeros[MAXIMO_PEDIDAS];
    uint32_t Cuantos = 0;
    const BLOQUEDEDATOS *Ultima = nullptr;
    double Nativas[MAXIMO_PEDIDAS];
    uint32_t CuantasNativas = 0;
};

// A form whose evaluation may run the host's code (a request, a function bound to C code)
// counts its evaluations in course, so that such code cannot change the form or release it
// under them: a change is refused (forma/Preparada.cpp) and a release waits for the last of
// them, which then releases it as the form says (Soltar: Liberar, set by the preparation).
// Atomic, since one form may be evaluated on several threads at once.
class EnCurso {
public:
    explicit EnCurso(const FORMULAPREPARADA *Forma) : F(const_cast<FORMULAPREPARADA *>(Forma))
    {
        __atomic_add_fetch(&F->EnCurso, 1, __ATOMIC_ACQ_REL);
    }
    ~EnCurso()
    {
        if (__atomic_sub_fetch(&F->EnCurso, 1, __ATOMIC_ACQ_REL) == 0 && __atomic_load_n(&F->PorLiberar, __ATOMIC_ACQUIRE))
            F->Soltar(F);
    }
    EnCurso(const EnCurso &) = delete;
    EnCurso &operator=(const EnCurso &) = delete;

private:
    FORMULAPREPARADA *F;
};
inline bool EstaEnCurso(const FORMULAPREPARADA *F) { return __atomic_load_n(&F->EnCurso, __ATOMIC_ACQUIRE) > 0; }

// A request's name, NUL-terminated, into the buffer the host gets: a short one as one fixed
// block of bytes, which the room after every name allows.
inline void CopiarPedido(const FORMULAPREPARADA *F, const Texto &T, char *Destino)
{
    if (T.Largo < COPIA_CORTA)
        std::memcpy(Destino, F->Textos + T.Inicio, COPIA_CORTA);
    else
        std::memcpy(Destino, F->Textos + T.Inicio, T.Largo + 1u);
}

// The value of C code for Cuantos arguments at Argumentos, by the C compiler's default
// convention, under the host's settings (Anfitrion, when the evaluation switched them) as a
// request runs. One copy, out of line, for the steps and the blocks; the x87 build calls it
// from the blocks alone, inline.
#if EVALION_PASOS_AMPLIOS
EVALION_NOINLINE
#endif
inline double LlamarNativa(const AjustesDeEvaluacion *Anfitrion, FuncionNativa Funcion,
                                            unsigned Cuantos, const double *Argumentos)
{
    if (Anfitrion != nullptr)
        Anfitrion->Prestar();
    double v;
    switch (Cuantos) { // a call has one argument at least: the grammar has no "f()"
    case 1: v = reinterpret_cast<double (*)(double)>(Funcion)(Argumentos[0]); break;
    case 2: v = reinterpret_cast<double (*)(double, double)>(Funcion)(Argumentos[0], Argumentos[1]); break;
    case 3:
        v = reinterpret_cast<double (*)(double, double, double)>(Funcion)(Argumentos[0], Argumentos[1], Argumentos[2]);
        break;
    default:
        v = reinterpret_cast<double (*)(double, double, double, double)>(Funcion)(Argumentos[0], Argumentos[1],
                                                                                  Argumentos[2], Argumentos[3]);
        break;
    }
    if (Anfitrion != nullptr)
        Anfitrion->Recobrar();
    return v;
}

template <unsigned F> inline double Leer(const OperandoPaso &O, const double *N, double Antes)
{
    if constexpr (F == DE_CONSTANTE)
        return O.Numero;
    else if constexpr (F == DE_RANURA)
        return N[O.Ranura];
    else if constexpr (F == DE_VALOR)
        return Antes;
    else
        return *O.Direccion;
}

// One operation on two numbers (and the constant of a fused product and sum, or the slot of
// a fused sum of a product: Propio), by the rules of the block operations; false for a
// division by 0, which the blocks decide.
// EnOrden false: the loops over blocks of rows (Operaciones.h).
template <unsigned Op, bool EnOrden = true>
inline bool Operar(double a, double b, uint8_t Extra, double Sumando, double Propio, double &v)
{
    if constexpr (Op == P_PORMAS || Op == P_PORMENOS || Op == P_MASPOR || Op == P_MENOSPOR || Op == P_KPOR ||
                  Op == P_MASKPOR || Op == P_MENOSKPOR) {
        double Producto;
        if constexpr (Op == P_KPOR || Op == P_MASKPOR || Op == P_MENOSKPOR) {
            double Primero;
            TerminoNumeros<EnOrden>('*', Sumando, a, Primero);
            TerminoNumeros<EnOrden>('*', Primero, b, Producto);
        } else
            TerminoNumeros<EnOrden>('*', a, b, Producto);
        if constexpr (Op == P_KPOR)
            v = Producto;
        else if constexpr (Op == P_PORMAS || Op == P_PORMENOS)
            v = Nivel1Numeros<EnOrden>(Op == P_PORMAS ? '+' : '-', Producto, Sumando);
        else
            v = Nivel1Numeros<EnOrden>(Op == P_MASPOR || Op == P_MASKPOR ? '+' : '-', Propio, Producto);
    } else if constexpr (Op == P_CARGAR)
        v = a;
    else if constexpr (Op == P_NEGAR)
        v = -a;
    else if constexpr (Op == P_SUMA)
        v = Nivel1Numeros<EnOrden>('+', a, b);
    else if constexpr (Op == P_RESTA)
        v = Nivel1Numeros<EnOrden>('-', a, b);
    else if constexpr (Op == P_COMPARAR)
        v = ComparaNumeros(OPERADORES[Extra], a, b) ? 1.0 : 0.0;
    else if constexpr (Op == P_POR)
        return TerminoNumeros<EnOrden>('*', a, b, v);
    else if constexpr (Op == P_ENTRE)
        return TerminoNumeros<EnOrden>('/', a, b, v);
    else
        v = Elevar(a, b);
    return true;
}

// With the wider set of steps (Programa.h), each step ends with its own jump to the next one
// (threaded code): no return to a loop's head and one indirect jump per step, which the
// processor predicts per step rather than for the whole loop.
#define EVALION_HILADO EVALION_PASOS_AMPLIOS

// The block of a number, as the evaluation answers it.
inline BLOQUEDEDATOS BloqueDeNumero(double v)
{
    BLOQUEDEDATOS R;
    PonerNumero(R, v);
    R.Posicion = 0;
    return R;
}

// The blocks' evaluation of any form (Maquina.cpp), with the answers the steps got so far
// when they gave up (Rep, or null).
BLOQUEDEDATOS EvaluarEnBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, const Repeticion *Rep);

struct SinRepeticion {};

// Everything but the forms of numbers without requests (Maquina.cpp); it evaluates any
// form, as the preparation does once for a form that asks nothing.
BLOQUEDEDATOS EvaluarResto(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado);

// What the entry for a number result answers of a block: 0 with the number, or the error's
// code, or RESULTADO_TEXTO for a text, with a quiet not-a-number; Numero may be null.
constexpr int32_t RESULTADO_TEXTO = -1;
inline int32_t NumeroDeBloque(const BLOQUEDEDATOS &R, double *Numero)
{
    const bool EsNumeroSolo = R.Error == 0 && (R.Tipo & TIPO_NUMERO);
    if (Numero != nullptr)
        *Numero = EsNumeroSolo ? R.Numero : __builtin_nan("");
    return R.Error != 0 ? R.Error : EsNumeroSolo ? 0 : RESULTADO_TEXTO;
}

// The number of any form through its block, out of line: the entries keep no frame of theirs.
EVALION_NOINLINE inline int32_t NumeroPorBloque(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
    return NumeroDeBloque(EvaluarResto(F, Estado), Numero);
}

// A form of numbers only: its steps under the engine's settings, or where they cannot go
// on (a division by zero, an answer that is no plain number) the blocks, with what was
// asked so far, so that the host is not asked twice. One case per operation and kinds of
// operands, so that a step is a jump and its work. Without requests (ConPeticiones false)
// the steps need neither the record's callbacks nor room for answers; without powers
// or C code (ConPotencia false) they call nothing but, at the end, the blocks: their registers are
// then all the caller's, and the call saves none. SoloNumero answers as the entry for a
// number result does, into *Numero, and builds no block.
#if EVALION_HILADO // labels as values, a GCC extension
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
template <bool ConPeticiones, bool ConPotencia, bool SoloNumero = false>
EVALION_NOINLINE std::conditional_t<SoloNumero, int32_t, BLOQUEDEDATOS>
EvaluarPasos(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero = nullptr)
{
    double N[RANURAS_NUMERICAS];
    // (ConPotencia: a form that may call C code, whose values are kept as the host's are.)
    std::conditional_t<ConPeticiones || ConPotencia, Repeticion, SinRepeticion> Rep;
    std::conditional_t<ConPeticiones, BLOQUEDEDATOS, SinRepeticion> Respuesta; // the host's answers
    AjustesDeEvaluacion Ajustes;
    if (F->Ajustar)
        Ajustes.Entrar();
    double v;
#if EVALION_HILADO
    __asm__("" : "=x"(v)); // no instruction: every form has a step before its end, which sets v
#else
    v = 0;
#endif
    const Paso *P = F->Pasos;
#if defined(__GNUC__)
#define EVALION_NUNCA __builtin_unreachable()
#else
#define EVALION_NUNCA goto Salida
#endif
    // A case per code of CodigoDePaso, in the order of the codes; the operations a form
    // never holds here are cases that cannot be reached.
#define EVALION_OPERAR(OP, FI, FD)                                                                             \
    if constexpr ((OP != P_POTENCIA || ConPotencia) &&                                                        \
                  (PASOS_AMPLIOS || (FI != DE_VALOR && FD != DE_VALOR && OP < P_MASPOR))) {                      \
        if (!Operar<OP>(Leer<FI>(P->Izq, N, v), Leer<FD>(P->Der, N, v), P->Extra, P->Sumando,                  \
                        SumaASuRanura(OP) ? N[P->A] : 0.0, v))                                                 \
            goto Salida;                                                                                        \
        N[P->A] = v;                                                                                            \
        EVALION_SIGUIENTE;                                                                                      \
    } else                                                                                                      \
        EVALION_NUNCA;
    // A call of C code; only the forms that call out hold one, and only with the wider set
    // of steps (the x87 build leaves them to the blocks).
#define EVALION_NATIVA                                                                                         \
    if constexpr (ConPotencia && PASOS_AMPLIOS) {                                                              \
        if (P->Extra == 1 && !F->Ajustar) /* the usual call, straight to the code */                          \
            v = reinterpret_cast<double (*)(double)>(P->Izq.Funcion)(N[P->A + 1]);                              \
        else                                                                                                    \
            v = LlamarNativa(F->Ajustar ? &Ajustes : nullptr, P->Izq.Funcion, P->Extra, &N[P->A + 1]);          \
        N[P->A] = Rep.Nativas[Rep.CuantasNativas++] = v;                                                        \
        EVALION_SIGUIENTE;                                                                                      \
    } else                                                                                                      \
        EVALION_NUNCA
#if EVALION_HILADO
#define EVALION_ETIQUETA(OP, FI, FD) Paso_##OP##_##FI##_##FD
#define EVALION_SIGUIENTE goto *Destinos[(++P)->Codigo]
#define EVALION_CASO(OP, FI, FD) EVALION_ETIQUETA(OP, FI, FD) : EVALION_OPERAR(OP, FI, FD)
#define EVALION_DESTINO(OP, FI, FD) &&EVALION_ETIQUETA(OP, FI, FD),
#define EVALION_CASOS_DER(M, OP, FI) M(OP, FI, 0) M(OP, FI, 1) M(OP, FI, 2) M(OP, FI, 3)
#define EVALION_CASOS(M, OP)                                                                                   \
    EVALION_CASOS_DER(M, OP, 0) EVALION_CASOS_DER(M, OP, 1) EVALION_CASOS_DER(M, OP, 2) EVALION_CASOS_DER(M, OP, 3)
#define EVALION_TODOS(M)                                                                                       \
    EVALION_CASOS(M, 0) EVALION_CASOS(M, 1) EVALION_CASOS(M, 2) EVALION_CASOS(M, 3) EVALION_CASOS(M, 4)          \
    EVALION_CASOS(M, 5) EVALION_CASOS(M, 6) EVALION_CASOS(M, 7) EVALION_CASOS(M, 8) EVALION_CASOS(M, 9)          \
    EVALION_CASOS(M, 10) EVALION_CASOS(M, 11) EVALION_CASOS(M, 12) EVALION_CASOS(M, 13)     \
    EVALION_CASOS(M, 14)
    static_assert(P_MENOSKPOR == 14 && CODIGO_PEDIR == 15 * 16 && CODIGO_FIN == CODIGO_PEDIR + 1 &&
                      CODIGO_NATIVA == CODIGO_FIN + 1,
                  "one case per code, in order");
    static const void *const Destinos[] = {EVALION_TODOS(EVALION_DESTINO) && Pedir, &&Fin, &&Nativa};
    goto *Destinos[P->Codigo];
    EVALION_TODOS(EVALION_CASO)
Nativa:
    EVALION_NATIVA;
Pedir:
#else
#define EVALION_SIGUIENTE                                                                                      \
    ++P;                                                                                                        \
    continue
#define EVALION_CASO(OP, FI, FD)                                                                               \
    case CodigoDePaso(OP, FI, FD):                                                                              \
        EVALION_OPERAR(OP, FI, FD)
#define EVALION_CASOS_DER(OP, FI) EVALION_CASO(OP, FI, 0) EVALION_CASO(OP, FI, 1) EVALION_CASO(OP, FI, 2)
#define EVALION_CASOS(OP) EVALION_CASOS_DER(OP, 0) EVALION_CASOS_DER(OP, 1) EVALION_CASOS_DER(OP, 2)
    for (;;) {
        switch (P->Codigo) {
            EVALION_CASOS(P_CARGAR)
            EVALION_CASOS(P_NEGAR)
            EVALION_CASOS(P_SUMA)
            EVALION_CASOS(P_RESTA)
            EVALION_CASOS(P_COMPARAR)
            EVALION_CASOS(P_POR)
            EVALION_CASOS(P_ENTRE)
            EVALION_CASOS(P_POTENCIA)
            EVALION_CASOS(P_PORMAS)
            EVALION_CASOS(P_PORMENOS)
        case CODIGO_FIN:
            goto Fin;
        case CODIGO_NATIVA:
            EVALION_NATIVA;
        case CODIGO_PEDIR:
            break;
        default: // Traducir writes no other code
#if defined(__GNUC__)
            __builtin_unreachable();
#else
            goto Salida;
#endif
        }
#endif
        // CODIGO_PEDIR
        if constexpr (!ConPeticiones) {
            (void)Respuesta;
#if defined(__GNUC__)
            __builtin_unreachable();
#endif
        } else {
            Texto Nombre;
            std::memcpy(&Nombre, &P->Izq, sizeof Nombre);
            Pedir(Instalada(Estado->AlPedirVariable), E_VARIABLE,
                  [&](char *Destino) { CopiarPedido(F, Nombre, Destino); }, F->Ajustar, Ajustes, Respuesta,
                  [&](char *Texto) { LlamarVariable(Estado, Texto, &Respuesta); }, false);
            if (Respuesta.Error != 0 || Respuesta.Tipo != TIPO_NUMERO) {
                Rep.Ultima = &Respuesta;
                goto Salida;
            }
            v = Rep.Numeros[Rep.Cuantos++] = Respuesta.Numero;
            N[P->A] = v;
        }
        EVALION_SIGUIENTE;
#if !EVALION_HILADO
    }
#endif
Fin:
    if (F->Ajustar)
        Ajustes.Salir();
    if constexpr (SoloNumero) {
        *Numero = v;
        return 0;
    } else
        return BloqueDeNumero(v);
Salida:
    if (F->Ajustar)
        Ajustes.Salir();
    if constexpr (SoloNumero && (ConPeticiones || ConPotencia)) // (A_Valor's steps have no record)
        return Estado == nullptr ? NumeroPorBloque(F, Estado, Numero)
                                 : NumeroDeBloque(EvaluarEnBloques(F, Estado, &Rep), Numero);
    else if constexpr (SoloNumero)
        return NumeroPorBloque(F, Estado, Numero);
    else if constexpr (ConPeticiones || ConPotencia)
        return EvaluarEnBloques(F, Estado, &Rep);
    else
        return EvaluarEnBloques(F, Estado, nullptr);
#undef EVALION_OPERAR
#undef EVALION_NATIVA
#undef EVALION_SIGUIENTE
#undef EVALION_NUNCA
#undef EVALION_CASO
#undef EVALION_CASOS_DER
#undef EVALION_CASOS
#if EVALION_HILADO
#undef EVALION_ETIQUETA
#undef EVALION_DESTINO
#undef EVALION_TODOS
#endif
}
#if EVALION_HILADO
#pragma GCC diagnostic pop
#endif

// The steps of a form that calls C code, counted in course (Maquina.cpp, out of line: the
// count's release is no cleanup the exported entries compile).
BLOQUEDEDATOS PasosConLlamadas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado);
int32_t NumeroConLlamadas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero);

// Each way is one jump from the entry, which keeps no frame of its own.
EVALION_SIEMPRE_EN_LINEA BLOQUEDEDATOS Evaluar(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado)
{
    if (F == nullptr || Estado == nullptr)
        return EvaluarResto(F, Estado);
#if EVALION_PASOS_AMPLIOS
    if (F->Ligera) {
#if EVALION_ENSAMBLADO
        double v;
        if (F->Ensamblado != nullptr && F->Nativa(F, Estado, &v) == 0)
            return BloqueDeNumero(v);
#endif
        return EvaluarPasos<false, false>(F, Estado);
    }
#endif
    if (F->SinPeticiones) {
        // (The x87 build's steps call no C code: such a form is not one of them.)
        if constexpr (PASOS_AMPLIOS)
            if (F->Llama)
                return PasosConLlamadas(F, Estado);
#if EVALION_ENSAMBLADO
        double v; // a form with powers
        if (F->Ensamblado != nullptr && F->Nativa(F, Estado, &v) == 0)
            return BloqueDeNumero(v);
#endif
        return EvaluarPasos<false, true>(F, Estado);
    }
    return EvaluarResto(F, Estado);
}

// The number of a form by its steps where they give it, else through its block; each way is
// one jump. A form's entry for a number result (Nativa) unless it was assembled.
EVALION_NOINLINE inline int32_t NumeroPorPasos(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
#if EVALION_PASOS_AMPLIOS
    if (F->Ligera)
        return EvaluarPasos<false, false, true>(F, Estado, Numero);
#endif
    if (F->SinPeticiones)
        return F->Llama ? NumeroConLlamadas(F, Estado, Numero) : EvaluarPasos<false, true, true>(F, Estado, Numero);
    return NumeroPorBloque(F, Estado, Numero);
}

// A form's entry for a number result when it has no machine code; the x87 build answers
// from the block (EvaluarNumero), without a step function of its own.
inline EvaluacionNativa EntradaSinEnsamblar()
{
#if EVALION_PASOS_AMPLIOS
    return NumeroPorPasos;
#else
    return nullptr;
#endif
}

// A_Valor of a form without machine code: the number of an evaluation that asks the host
// nothing, else a NaN. Without a record nothing can be asked: the steps of a form of numbers
// that asks nothing never read one (where they fail, the null record's E_OPERANDO stands for
// the code, which a NaN answers anyway), and any other form runs on an empty record, where a
// request fails.
EVALION_SIEMPRE_EN_LINEA double ValorSinEnsamblar(const FORMULAPREPARADA *F)
{
    double v;
#if EVALION_PASOS_AMPLIOS
    if (F->SinPeticiones)
        return NumeroPorPasos(F, nullptr, &v) == 0 ? v : __builtin_nan("");
#endif
    ESTADODEANALISIS Registro{};
    return NumeroDeBloque(EvaluarResto(F, &Registro), &v) == 0 ? v : __builtin_nan("");
}

// A form without machine code, its entries the steps' (or a copy that must not use the form's
// code, which it does not own).
inline void SinEnsamblar(FORMULAPREPARADA *F)
{
    F->Ensamblado = nullptr;
    F->LargoEnsamblado = 0;
    F->Nativa = EntradaSinEnsamblar();
#if EVALION_VALOR_EN_FORMA
    F->Valor = ValorSinEnsamblar;
#endif
}


// The entry for a number result: the same evaluation, without a block where the steps (or
// the form's machine code) give the number, through the form's own entry: one jump. The x87
// build answers from the block, which keeps its DLLs small.
EVALION_SIEMPRE_EN_LINEA int32_t EvaluarNumero(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
#if EVALION_PASOS_AMPLIOS
    if (F == nullptr || Estado == nullptr || Numero == nullptr)
        return NumeroPorBloque(F, Estado, Numero);
    return F->Nativa(F, Estado, Numero);
#else
    return NumeroDeBloque(Evaluar(F, Estado), Numero);
#endif
}

// A_Valor: the form's own entry, one jump; a NaN for no form.
EVALION_SIEMPRE_EN_LINEA double Valor(const FORMULAPREPARADA *F)
{
    if (F == nullptr)
        return __builtin_nan("");
#if EVALION_VALOR_EN_FORMA
    return F->Valor(F);
#else
    return ValorSinEnsamblar(F);
#endif
}

// How the steps of a copy of a form read the host's columns (A_EvaluarFilas): the copy binds
// the name k's column to its own number Actual[k], so that an address there stands for the
// host's column Columnas[k]; any other address holds one number for every row.
struct DesdeColumnas {
    const double *Actual;
    const double *const *Columnas;
    uint32_t Nombres;

    // The host's column an address of the copy's steps stands for, or null: one number.
    const double *Columna(const double *Direccion) const
    {
        // As integers: an address outside Actual is no element of it to subtract from.
        const uintptr_t Lugar = reinterpret_cast<uintptr_t>(Direccion) - reinterpret_cast<uintptr_t>(Actual);
        return Lugar < Nombres * sizeof(double) ? Columnas[Lugar / sizeof(double)] : nullptr;
    }
};

// Blocks of rows pay where the compiler vectorises their loops. With the x87 unit (32-bit
// x86) a double is no vector lane, and rows go one by one there, which also keeps the 32-bit
// DLLs small.
#if defined(__i386__)
#define EVALION_FILAS_EN_BLOQUES 0
#else
#define EVALION_FILAS_EN_BLOQUES 1
#endif
#if EVALION_FILAS_EN_BLOQUES
// Rows go through a form of numbers a block at a time: each step runs over the whole block
// before the next, a loop the compiler vectorises, and its dispatch is paid once per block.
// A block of rows is 8 KB per slot: the few slots of a usual form stay in the first-level
// cache, and the dispatch is paid once per 1024 rows.
constexpr uint32_t FILAS_POR_BLOQUE = 1024;

// A block's first row, and how the copy's steps read the host's columns.
struct DesdeFila : DesdeColumnas {
    size_t Fila;
};

// How a block of rows went through the steps: whether every step ran (else one stopped at a
// row it cannot give, a division by zero), and how many calls of C code ran over the whole
// block, whose values are kept; Aplazadas, whether a row left a call of C code to its own
// evaluation (Hechas).
struct Recorrido {
    bool Completo;
    uint32_t Llamadas;
    bool Aplazadas = false;
};

// For each row of a block, how many of its calls of C code the block made: all of them
// (TODAS_HECHAS), or those before the first whose argument was a not-a-number. The loops
// of a block may take the operands of a sum or product in either order, and of two
// not-a-numbers x86 keeps the first, so such an argument may carry other bits than one
// evaluation's; the call is then left to the row's own evaluation, with every later one of
// the row, so that the code still sees each call once, with the arguments it would.
constexpr uint32_t TODAS_HECHAS = UINT32_MAX;

// The steps of a form of numbers without requests over the n rows of a block (Desde) into
// Valores (Maquina.cpp). Ranuras holds a block per slot the steps write and Libre one more,
// which each step writes and then swaps with its slot's, so that no loop writes what it
// reads; Guardadas a block per call of C code, where its values are kept for the rows
// computed again. Rows whose value is a not-a-number are the caller's to compute again.
Recorrido FilasEnBloque(const FORMULAPREPARADA *F, double **Ranuras, double *&Libre, double *const *Guardadas,
                        uint32_t *Hechas, const DesdeFila &Desde, uint32_t n, double *Valores,
                        const AjustesDeEvaluacion *Anfitrion);
#endif

} // namespace Motor

#endif
