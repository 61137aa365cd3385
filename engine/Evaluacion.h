// The evaluation's entry and the steps on doubles of a form of numbers only, inline: the
// exported entry point is compiled as the evaluation itself, so that the shortest forms (a
// constant, numbers and bound variables) cost no call more than their own work. The rest
// (requests, texts, failures) is the machine's (Maquina.cpp).
#ifndef EVALION_EVALUACION_H
#define EVALION_EVALUACION_H

#include <cstring>

#include "Peticiones.h" // with the floating-point switch and the operations
#include "Programa.h"

namespace Motor {

// What the steps leave to the blocks when they cannot go on: the numbers the host gave so
// far, and the block of the answer that was no plain number (or none: a division by zero),
// so that the block evaluation gives the same answers again without asking the host a
// second time.
struct Repeticion {
    double Numeros[MAXIMO_PEDIDAS];
    uint32_t Cuantos = 0;
    const BLOQUEDEDATOS *Ultima = nullptr;
};

// A request's name, NUL-terminated, into the buffer the host gets: a short one as one fixed
// block of bytes, which the room after every name allows.
inline void CopiarPedido(const FORMULAPREPARADA *F, const Texto &T, char *Destino)
{
    if (T.Largo < COPIA_CORTA)
        std::memcpy(Destino, F->Textos + T.Inicio, COPIA_CORTA);
    else
        std::memcpy(Destino, F->Textos + T.Inicio, T.Largo + 1u);
}

template <unsigned F> inline double Leer(const OperandoPaso &O, const double *N)
{
    if constexpr (F == DE_CONSTANTE)
        return O.Numero;
    else if constexpr (F == DE_RANURA)
        return N[O.Ranura];
    else
        return *O.Direccion;
}

// One operation on two numbers (and the constant of a fused product and sum), by the rules
// of the block operations; false for a division by 0, which the blocks decide.
template <unsigned Op> inline bool Operar(double a, double b, uint8_t Extra, double Sumando, double &v)
{
    if constexpr (Op == P_PORMAS || Op == P_PORMENOS) {
        double Producto;
        TerminoNumeros('*', a, b, Producto);
        v = Nivel1Numeros(Op == P_PORMAS ? '+' : '-', Producto, Sumando);
    } else if constexpr (Op == P_CARGAR)
        v = a;
    else if constexpr (Op == P_NEGAR)
        v = -a;
    else if constexpr (Op == P_SUMA)
        v = Nivel1Numeros('+', a, b);
    else if constexpr (Op == P_RESTA)
        v = Nivel1Numeros('-', a, b);
    else if constexpr (Op == P_COMPARAR)
        v = ComparaNumeros(OPERADORES[Extra], a, b) ? 1.0 : 0.0;
    else if constexpr (Op == P_POR)
        return TerminoNumeros('*', a, b, v);
    else if constexpr (Op == P_ENTRE)
        return TerminoNumeros('/', a, b, v);
    else
        v = Elevar(a, b);
    return true;
}

// False when the blocks must decide (a division by zero, an answer that is no plain
// number), with what was asked so far in Rep. One case per operation and kinds of
// operands, so that a step is a jump and its work.
// Without requests (ConPeticiones false) the steps need neither the record nor Rep.
template <bool ConPeticiones>
EVALION_SIEMPRE_EN_LINEA bool EvaluarNumeros(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado,
                                             const AjustesDeEvaluacion &Ajustes, double *N, double &Valor,
                                             Repeticion *Rep, BLOQUEDEDATOS *Respuesta)
{
#define EVALION_CASO(OP, FI, FD)                                                                              \
    case CodigoDePaso(OP, FI, FD):                                                                             \
        if (!Operar<OP>(Leer<FI>(P->Izq, N), Leer<FD>(P->Der, N), P->Extra, P->Sumando, v))                    \
            return false;                                                                                      \
        break;
#define EVALION_CASOS_DER(OP, FI) EVALION_CASO(OP, FI, 0) EVALION_CASO(OP, FI, 1) EVALION_CASO(OP, FI, 2)
#define EVALION_CASOS(OP) EVALION_CASOS_DER(OP, 0) EVALION_CASOS_DER(OP, 1) EVALION_CASOS_DER(OP, 2)
    for (const Paso *P = F->Pasos;; ++P) {
        double v;
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
        case CODIGO_PEDIR: {
            if constexpr (!ConPeticiones) {
                (void)Estado, (void)Ajustes;
#if defined(__GNUC__)
                __builtin_unreachable();
#endif
            }
            Texto Nombre;
            std::memcpy(&Nombre, &P->Izq, sizeof Nombre);
            Pedir(Instalada(Estado->AlPedirVariable), E_VARIABLE,
                  [&](char *Destino) { CopiarPedido(F, Nombre, Destino); }, F->Ajustar, Ajustes,
                  *Respuesta, [&](char *Texto) { LlamarVariable(Estado, Texto, Respuesta); }, false);
            if (Respuesta->Error != 0 || Respuesta->Tipo != TIPO_NUMERO) {
                Rep->Ultima = Respuesta;
                return false;
            }
            v = Rep->Numeros[Rep->Cuantos++] = Respuesta->Numero;
            break;
        }
        default: // Traducir writes no other code
#if defined(__GNUC__)
            __builtin_unreachable();
#else
            return false;
#endif
        }
        if (P->Fin) {
            Valor = v;
            return true;
        }
        N[P->A] = v;
    }
#undef EVALION_CASOS
#undef EVALION_CASOS_DER
#undef EVALION_CASO
}

// A form of numbers only under the engine's settings: false when the blocks must decide,
// with Rep for them. Without requests it needs neither the record nor Rep: it then goes
// into the entry with nothing of the requests in its frame.
template <bool ConPeticiones>
EVALION_SIEMPRE_EN_LINEA bool EvaluarPasos(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double &Valor,
                                           Repeticion *Rep, BLOQUEDEDATOS *Respuesta)
{
    double N[RANURAS_NUMERICAS];
    AjustesDeEvaluacion Ajustes;
    if (F->Ajustar)
        Ajustes.Entrar();
    const bool Hecho = EvaluarNumeros<ConPeticiones>(F, Estado, Ajustes, N, Valor, Rep, Respuesta);
    if (F->Ajustar)
        Ajustes.Salir();
    return Hecho;
}

// Everything but the constant forms and those of numbers and bound variables (Maquina.cpp);
// it evaluates any form, as the preparation does once for a form that asks nothing.
void EvaluarResto(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);

EVALION_SIEMPRE_EN_LINEA BLOQUEDEDATOS Evaluar(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado)
{
    BLOQUEDEDATOS R;
    // Most texts without names fold to one number; forms of numbers and bound variables
    // need neither blocks nor the record's callbacks.
    const bool Valido = F != nullptr && Estado != nullptr;
    if (Valido && F->Constante) {
        PonerNumero(R, F->Valor);
        R.Posicion = 0;
        return R;
    }
    double Valor;
    if (!Valido)
        PonerErrorGeneral(R, E_OPERANDO); // as for a null text
    else if (F->SinPeticiones && EvaluarPasos<false>(F, nullptr, Valor, nullptr, nullptr)) {
        PonerNumero(R, Valor);
        R.Posicion = 0;
    } else
        EvaluarResto(F, Estado, R);
    return R;
}

// Filas rows of a form whose bound variables are columns (A_EvaluarFilas; Maquina.cpp). Una
// is the library's exported evaluation, which every row that is not run in blocks goes
// through, so that it is the very code a host calls.
using Evaluacion = BLOQUEDEDATOS(EVALION_CONV *)(const FORMULAPREPARADA *, ESTADODEANALISIS *);
int32_t EvaluarFilas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, int32_t Filas, double *Valores,
                     int32_t *Errores, int32_t *Posiciones, Evaluacion Una);


} // namespace Motor

#endif
