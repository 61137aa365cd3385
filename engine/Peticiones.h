// Host requests: the one place where the two callback forms differ (what "installed" means
// and how a request is called), and the one way a request is made, by the analysis and by
// the prepared evaluator alike. The grammar and the evaluator only use these helpers.
#ifndef EVALION_PETICIONES_H
#define EVALION_PETICIONES_H

#include "ComaFlotante.h"
#include "Motor.h"
#include "Operaciones.h"

namespace Motor {

#if defined(EVALION_OBJETO)

inline bool Instalada(const ALPEDIRVARIABLE &Peticion) { return Peticion.Codigo != nullptr; }
inline bool Instalada(const ALPEDIRFUNCION &Peticion) { return Peticion.Codigo != nullptr; }

// The bare calls, under whatever settings are loaded.
inline void LlamarVariable(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    Estado->AlPedirVariable.Codigo(Estado->AlPedirVariable.Objeto, Nombre, R);
}

inline void LlamarFuncion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                          BLOQUEDEDATOS *R)
{
    const ALPEDIRFUNCION &Peticion = Estado->AlPedirFuncion;
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

inline void LlamarVariable(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    Estado->AlPedirVariable(Nombre, R);
}

inline void LlamarFuncion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                          BLOQUEDEDATOS *R)
{
    Estado->AlPedirFuncion(Nombre, Parametros, N, R);
}

inline ALPEDIRVARIABLE SinVariable() { return nullptr; }
inline ALPEDIRFUNCION SinFuncion() { return nullptr; }

#endif

// The calls a request of the analysis makes. A callback that sets the separators of the
// record in use changes nothing: the text is being read with the separators in force when
// the analysis began, and those stay set (Parser.h). The two separators are neighbours, kept
// and put back as one 16-bit word.
static_assert(offsetof(ESTADODEANALISIS, SepMillar) == offsetof(ESTADODEANALISIS, SepDecimal) + 1,
              "the separators are neighbours");

inline uint16_t GuardarSeparadores(const ESTADODEANALISIS *Estado)
{
    uint16_t Separadores;
    std::memcpy(&Separadores, &Estado->SepDecimal, sizeof Separadores);
    return Separadores;
}
inline void ReponerSeparadores(ESTADODEANALISIS *Estado, uint16_t Separadores)
{
    std::memcpy(&Estado->SepDecimal, &Separadores, sizeof Separadores);
}

inline void PedirVariableAlAnfitrion(ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    const uint16_t Separadores = GuardarSeparadores(Estado);
    LlamarVariable(Estado, Nombre, R);
    ReponerSeparadores(Estado, Separadores);
}

inline void PedirFuncionAlAnfitrion(ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                                    BLOQUEDEDATOS *R)
{
    const uint16_t Separadores = GuardarSeparadores(Estado);
    LlamarFuncion(Estado, Nombre, Parametros, N, R);
    ReponerSeparadores(Estado, Separadores);
}

// The analysis's switch around a request: the host's settings kept in the record.
struct AjustesDelAnalisis {
    const ESTADODEANALISIS *Estado;
    void Prestar() const { PrestarAjustes(Estado); }
    void Recobrar() const { RecobrarAjustes(); }
};

// One request, as every path makes it: R emptied; with no callback installed (Hay false)
// the engine's own answer, SinPeticion with the name in Cadena, so that a host can show
// which name was not resolved; otherwise the name copied (Copiar) into a buffer of its own,
// the host asked (Llamada) under its settings when the evaluation switches them (Cambiar,
// through Ajustes), and its answer completed, unless the caller takes only plain numbers
// from it (Completar false).
template <class TCopiar, class TAjustes, class TLlamada>
EVALION_SIEMPRE_EN_LINEA void Pedir(bool Hay, int32_t SinPeticion, const TCopiar &Copiar, bool Cambiar,
                                    const TAjustes &Ajustes, BLOQUEDEDATOS &R, const TLlamada &Llamada,
                                    bool Completar = true)
{
    VaciarResultado(R);
    if (!Hay) {
        Copiar(R.Cadena);
        R.Error = SinPeticion;
        return;
    }
    char Nombre[EVALION_LARGO_CADENA];
    Copiar(Nombre);
    if (Cambiar)
        Ajustes.Prestar();
    Llamada(Nombre);
    if (Cambiar)
        Ajustes.Recobrar();
    if (Completar)
        CompletarRespuesta(R);
}

} // namespace Motor

#endif
