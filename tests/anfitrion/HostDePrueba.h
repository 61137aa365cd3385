// A recording fake host for the tests. It answers the names it was given, reports every
// other name as the demonstration does (E_VARIABLE / E_FUNCION in R.Error), and records
// each request in order with the arguments it received. The same source serves both
// callback forms: the build's EVALION_OBJETO decides which adapters get installed.
#ifndef EVALION_HOSTDEPRUEBA_H
#define EVALION_HOSTDEPRUEBA_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Parser.h"

namespace Pruebas {

// A double's bits and the double of some bits, as the tests compare numbers (not-a-numbers
// and the sign of zero included).
inline uint64_t Bits(double Valor)
{
    uint64_t B;
    std::memcpy(&B, &Valor, sizeof B);
    return B;
}
inline double DeBits(uint64_t B)
{
    double Valor;
    std::memcpy(&Valor, &B, sizeof Valor);
    return Valor;
}

BLOQUEDEDATOS Numero(double Valor);
BLOQUEDEDATOS Texto(const std::string &Valor);
BLOQUEDEDATOS ConError(int32_t Codigo, int32_t Posicion = 0);

struct Peticion {
    std::string Nombre;
    bool EsFuncion;
    std::vector<BLOQUEDEDATOS> Parametros; // empty for a variable
    int32_t ErrorDeR = 0;                  // R.Error as the engine handed R over
    bool RVacio = true;                    // R came with Numero 0, Tipo 0 and the empty text too
};

class HostDePrueba {
public:
    using Funcion = std::function<void(const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS &R)>;

    std::map<std::string, BLOQUEDEDATOS> Variables; // the whole block is copied into R
    std::map<std::string, Funcion> Funciones;
    std::set<std::string> SinRespuesta; // answered by leaving R exactly as it came
    std::vector<Peticion> Peticiones;
    std::function<void()> AlEntrar; // when set, runs first in every request

    // Installs this host's two requests on the record (either may be left out).
    void Instalar(ESTADODEANALISIS *Estado, bool ConVariables = true, bool ConFunciones = true);

    // The names requested, in order, e.g. "x", "h()", "g()".
    std::vector<std::string> Orden() const;

    // Sum of the numeric arguments: a typical host function for the tables.
    static void Suma(const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS &R);

    void PedirVariable(const char *Nombre, BLOQUEDEDATOS *R);
    void PedirFuncion(const char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);
};

#if defined(EVALION_OBJETO)
// An object-form request written once, as (object, name, ..., N, R), and installed through
// Puente, which gives it the shape the library calls: on 32-bit Windows the register
// convention, with R declared before N (Parser.h); elsewhere the same order as written.
using VariableDeObjeto = void (*)(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
using FuncionDeObjeto = void (*)(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                 BLOQUEDEDATOS *R);
#if defined(_WIN32) && defined(__i386__)
template <VariableDeObjeto F>
void EVALION_METODO PuenteVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    F(Objeto, Variable, R);
}
template <FuncionDeObjeto F>
void EVALION_METODO PuenteFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS *R,
                                  int32_t N)
{
    F(Objeto, Funcion, Parametros, N, R);
}
#else
template <VariableDeObjeto F> constexpr ALPEDIRVARIABLE_CODIGO PuenteVariable = F;
template <FuncionDeObjeto F> constexpr ALPEDIRFUNCION_CODIGO PuenteFuncion = F;
#endif
#endif

// A fresh record, initialised, with the given separators (NUL keeps a default).
struct Analisis {
    ESTADODEANALISIS Estado;
    explicit Analisis(HostDePrueba *Host = nullptr, char Millar = '\0', char Decimal = '\0');
    BLOQUEDEDATOS operator()(const std::string &Expresion) { return A_Analizar(&Estado, Expresion.c_str()); }
};

// gtest-friendly description of a block, for failure messages.
std::string Describir(const BLOQUEDEDATOS &B);

} // namespace Pruebas

#endif
