// One text analysed and evaluated prepared, with the same host, compared: the block, and
// every request with its name and arguments. Shared by the differential program and the
// fuzz target.
#ifndef EVALION_PRUEBAS_COMPARACION_H
#define EVALION_PRUEBAS_COMPARACION_H

#include <cstdint>
#include <string>

namespace Comparacion {

// Separators of the record (NUL: the default) and the seed of the host's answers.
struct Caso {
    std::string Texto;
    char Millar = '\0';
    char Decimal = '\0';
    uint64_t Semilla = 0;
    bool SinPeticiones = false; // the record has no callbacks installed
    // Every variable bound to Vinculada, which the analysis's host answers for each of them.
    bool Vincular = false;
    double Vinculada = 0;
    // With Vincular, every call of 1 to 4 arguments bound to C code, which the analysis's
    // host answers as that code (a text argument: E_INCOMPATIBLES), as it answers the others.
    bool Nativas = false;
    bool AjustesDelAnfitrion = false; // the form's option
    // Across rows, the answers written over the column itself (a transform in place).
    bool EnSuSitio = false;
    // The form given the standard library (A_VincularEstandar) and the analysis's host
    // answering its names with A_EstandarFuncion and A_EstandarVariable before its script;
    // with Vincular the variables are the host's own, which the form leaves to it.
    bool Estandar = false;
    // Without the option, the invalid operation's trap unmasked around every call of the
    // engine, as Pascal programs run: none may trap (the host's code runs with it masked).
    bool Trampas = false;
};

// Not-a-numbers of other bits than the one an invalid operation makes, which the cases bind
// and put in their columns: quiet with a payload, negative, and signaling.
double NaN(uint64_t Bits);
extern const double NAN_CARGADO, NAN_NEGATIVO, NAN_SENALIZADOR;

// An empty text when both agree, otherwise what differs.
std::string Comparar(const Caso &C);

// How many cases were prepared (not refused), how many requests were compared, and how many
// cases were also compared across rows, so far.
struct Cuentas {
    uint64_t Preparados = 0, Rechazados = 0, Peticiones = 0, Filas = 0;
    // Of the rows' cases, how many were in place; the cases run with the trap unmasked; the
    // calls of bound code compared (the analysis's, each matched on every way).
    uint64_t EnSuSitio = 0, Trampas = 0, Llamadas = 0;
    // The cases with the standard library bound, and the standard names they bound.
    uint64_t Estandar = 0, Estandares = 0;
};
const Cuentas &Contadas();

} // namespace Comparacion

#endif
