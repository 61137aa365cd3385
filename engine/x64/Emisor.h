// The code of a light form as x86-64 machine code, written into a buffer of the heap: one
// evaluation's two entries, or rows four a turn (Emisor.cpp). Pages are not its business.
#ifndef EVALION_X64_EMISOR_H
#define EVALION_X64_EMISOR_H

#include <cstddef>
#include <cstdint>

#include "Evaluacion.h"

#if EVALION_ENSAMBLADO
namespace Motor {

// One evaluation's code into Texto (to be released with free, also on failure), Largo bytes:
// at Entrada int32_t (F, Estado, Numero) as EvaluarPasos<false, false, true> answers, at
// EntradaValor double (F) as A_Valor answers; the first ENLACES_EN_FORMA variables' addresses
// it reads from the form go to Enlaces. False when memory runs out or no code can be written.
// On 64-bit Windows Texto begins with Funciones RUNTIME_FUNCTION entries that describe its
// code to the system's unwinder (none elsewhere).
bool CodigoDeEvaluacion(const FORMULAPREPARADA *F, uint8_t *&Texto, size_t &Largo, size_t &Entrada,
                        size_t &EntradaValor, const double *(&Enlaces)[ENLACES_EN_FORMA], uint32_t &Funciones);
// The rows' code (FilasEnsambladas::Funcion at Entrada) of a copy whose addresses stand for
// the columns as Desde says.
bool CodigoDeFilas(const FORMULAPREPARADA *F, const DesdeColumnas &Desde, uint8_t *&Texto, size_t &Largo,
                   size_t &Entrada, uint32_t &Funciones);

} // namespace Motor
#endif

#endif
