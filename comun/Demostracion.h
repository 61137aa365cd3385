// The names the demonstration answers (the variables Euro, Pesetas, Hora and Fecha; the
// functions Raiz, Seno and si) and what it shows for a result. Independent of any toolkit:
// the window of Evaldemo and the evalion command both answer through these handlers, each
// with its own way of writing numbers, times and dates.
#ifndef EVALION_DEMOSTRACION_H
#define EVALION_DEMOSTRACION_H

#include <cstdint>
#include <string>

#include "Parser.h"

namespace Evalion {

// How the user's locale writes what the demonstration shows. Every text is UTF-8.
class TFormatoRegional {
public:
    virtual std::string Numero(double Valor) const = 0; // general format, 15 significant digits
    virtual std::string Hora() const = 0;               // the current time of day
    virtual std::string Fecha() const = 0;              // today's date

protected:
    ~TFormatoRegional() = default;
};

// The current time of day and today's date as the C library's current LC_TIME writes them:
// the locale's time with the seconds (strftime's %X) and its short date (%x). Every host
// answers Hora and Fecha with these, so that one locale gives one text whatever the toolkit;
// the host sets LC_TIME from the environment (setlocale) before it asks.
std::string HoraLocal();
std::string FechaLocal();

// Numbers as FormatearNumero writes them; time and date as HoraLocal and FechaLocal.
const TFormatoRegional &FormatoDeLaBibliotecaC();

// The variable request: Euro, Pesetas, Hora and Fecha in any case fill Tipo and their field
// and leave Error as the engine set it; any other name sets Error to E_VARIABLE only.
void PedirVariable(const char *Variable, BLOQUEDEDATOS &R, const TFormatoRegional &Formato) noexcept;

// The function request: Raiz(x) and Seno(x) with one argument, si(F;A;B) with three, in any
// case; si copies the whole block it chooses. A condition that is not a number sets
// E_INCOMPATIBLES; any other name or count sets E_FUNCION.
void PedirFuncion(const char *Funcion, const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS &R) noexcept;

// What a host shows for a returned block: the message after "Error: " (with the position,
// or "Error: " alone for a code without a text), a text as it is, or the number. UTF-8.
struct TPresentacion {
    bool Error;
    std::string Texto;
};
TPresentacion Presentar(const BLOQUEDEDATOS &R, const TFormatoRegional &Formato);

} // namespace Evalion

#endif
