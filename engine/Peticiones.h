// The one place where the two callback forms differ: what "installed" means and how a
// request is called. The grammar only uses these helpers.
#ifndef EVALION_PETICIONES_H
#define EVALION_PETICIONES_H

#include "Parser.h"

namespace Motor {

#if defined(EVALION_OBJETO)

inline bool Instalada(const ALPEDIRVARIABLE &Peticion) { return Peticion.Codigo != nullptr; }
inline bool Instalada(const ALPEDIRFUNCION &Peticion) { return Peticion.Codigo != nullptr; }

inline void LlamarVariable(const ALPEDIRVARIABLE &Peticion, char *Nombre, BLOQUEDEDATOS *R)
{
    Peticion.Codigo(Peticion.Objeto, Nombre, R);
}

inline void LlamarFuncion(const ALPEDIRFUNCION &Peticion, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                          BLOQUEDEDATOS *R)
{
#if defined(_WIN32) && defined(__i386__)
    Peticion.Codigo(Peticion.Objeto, Nombre, Parametros, R, N); // N is pushed first, then R
#else
    Peticion.Codigo(Peticion.Objeto, Nombre, Parametros, N, R);
#endif
}

inline ALPEDIRVARIABLE SinVariable() { return ALPEDIRVARIABLE{nullptr, nullptr}; }
inline ALPEDIRFUNCION SinFuncion() { return ALPEDIRFUNCION{nullptr, nullptr}; }

#else

inline bool Instalada(ALPEDIRVARIABLE Peticion) { return Peticion != nullptr; }
inline bool Instalada(ALPEDIRFUNCION Peticion) { return Peticion != nullptr; }

inline void LlamarVariable(ALPEDIRVARIABLE Peticion, char *Nombre, BLOQUEDEDATOS *R) { Peticion(Nombre, R); }

inline void LlamarFuncion(ALPEDIRFUNCION Peticion, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                          BLOQUEDEDATOS *R)
{
    Peticion(Nombre, Parametros, N, R);
}

inline ALPEDIRVARIABLE SinVariable() { return nullptr; }
inline ALPEDIRFUNCION SinFuncion() { return nullptr; }

#endif

} // namespace Motor

#endif
