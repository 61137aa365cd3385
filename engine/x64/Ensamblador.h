// The face of the x86-64 machine code writer: which forms get code of their own, and the
// code's life in a form and across rows. Where there is no such code (another processor or
// system, the x87 build), Ensamblar only gives a form the steps' entries.
#ifndef EVALION_X64_ENSAMBLADOR_H
#define EVALION_X64_ENSAMBLADOR_H

#include <cstddef>

#include "Evaluacion.h"

namespace Motor {

// A light form's steps as machine code, under the host's settings, when the processor and
// the system allow it; and its release. Ensamblar follows every Clasificar of a form the host
// holds (the bindings' addresses are written into the code). A form whose pages the system
// refused once keeps its steps and asks for no more.
#if EVALION_ENSAMBLADO
void Ensamblar(FORMULAPREPARADA *F);
void SoltarEnsamblado(FORMULAPREPARADA *F);
size_t PaginasEnsambladas(const FORMULAPREPARADA *F); // the bytes its code's pages hold
#else
inline void Ensamblar(FORMULAPREPARADA *F) { SinEnsamblar(F); }
inline void SoltarEnsamblado(FORMULAPREPARADA *) {}
inline size_t PaginasEnsambladas(const FORMULAPREPARADA *) { return 0; }
#endif

// The rows of a copy of a form (DesdeColumnas), a light form (or, under the host's settings,
// one that also calls C code), as machine code: Codigo(Valores, Desde, Hasta) writes rows
// Desde.. up to Hasta (Hasta - Desde a multiple of 4) two at a time, under the settings in
// force, and returns the first of the two rows where it stopped (a zero divisor: rows for one
// evaluation each), Hasta when none. Codigo is null where there is no such code.
class FilasEnsambladas {
public:
    using Funcion = size_t (*)(double *Valores, size_t Desde, size_t Hasta);
#if EVALION_ENSAMBLADO
    FilasEnsambladas(const FORMULAPREPARADA *Copia, const DesdeColumnas &Desde);
    ~FilasEnsambladas();
#else
    FilasEnsambladas(const FORMULAPREPARADA *, const DesdeColumnas &) {}
#endif
    FilasEnsambladas(const FilasEnsambladas &) = delete;
    FilasEnsambladas &operator=(const FilasEnsambladas &) = delete;
    Funcion Codigo = nullptr;
    bool Rechazadas = false; // the system refused the code its pages (the form then asks no more)

private:
    void *Memoria = nullptr;
    size_t Largo = 0;
};

} // namespace Motor

#endif
