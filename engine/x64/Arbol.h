// The tree of a light form's steps, and the order that keeps its values in registers.
#ifndef EVALION_X64_ARBOL_H
#define EVALION_X64_ARBOL_H

#include <cstdlib>

#include "Programa.h"

#if EVALION_ENSAMBLADO
namespace Motor {
namespace {

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
    bool Potencias = false; // some step is a power, which may call pow
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
                Potencias = Potencias || OperacionDePaso(P.Codigo) == P_POTENCIA;
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

} // namespace
} // namespace Motor
#endif

#endif
