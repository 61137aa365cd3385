#include "Demostracion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <new>

#include "Bloques.hpp"
#include "Codificacion.hpp"
#include "Mensajes.h"
#include "Respuestas.h"
#include "Formato.h"
#include "Texto.h"

namespace Evalion {

namespace {

// The exchange rate fixed for the peseta, and its inverse, as the exact doubles the
// demonstration has always answered (bits 4064CC5A1CAC0831 and 3F789E119540A799).
constexpr double PESETAS = 166.386;
constexpr double EURO = 1 / PESETAS;

// A text value in the engine's character set, cut to what Cadena holds.
void AsignarTexto(BLOQUEDEDATOS &R, const std::string &Utf8)
{
    const std::string Latin1 = Codificacion::Utf8ALatin1(Utf8);
    Bloques::PonerTexto(R, Latin1.data(), Latin1.size());
}

// The local time now, written by strftime with Formato; empty if the clock cannot be read.
std::string Ahora(const char *Formato)
{
    const std::time_t Segundos = std::time(nullptr);
    std::tm Local{};
    char Texto[128];
    if (!localtime_r(&Segundos, &Local))
        return {};
    return std::string(Texto, std::strftime(Texto, sizeof Texto, Formato, &Local));
}

class TFormatoDeC final : public TFormatoRegional {
public:
    std::string Numero(double Valor) const override { return FormatearNumero(Valor); }
    std::string Hora() const override { return HoraLocal(); }
    std::string Fecha() const override { return FechaLocal(); }
};

} // namespace

std::string HoraLocal() { return Ahora("%X"); }

std::string FechaLocal() { return Ahora("%x"); }

const TFormatoRegional &FormatoDeLaBibliotecaC()
{
    static const TFormatoDeC Formato;
    return Formato;
}

void PedirVariable(const char *Variable, BLOQUEDEDATOS &R, const TFormatoRegional &Formato) noexcept
{
    try {
        if (MismoNombre(Variable, "Euro")) {
            R.Numero = EURO;
            R.Tipo = TIPO_NUMERO;
        } else if (MismoNombre(Variable, "Pesetas")) {
            R.Numero = PESETAS;
            R.Tipo = TIPO_NUMERO;
        } else if (MismoNombre(Variable, "Hora")) {
            AsignarTexto(R, Formato.Hora());
        } else if (MismoNombre(Variable, "Fecha")) {
            AsignarTexto(R, Formato.Fecha());
        } else {
            R.Error = E_VARIABLE;
        }
    } catch (const std::bad_alloc &) { // no exception may cross back into the engine
        R.Error = E_MEMORIA;
    }
}

void PedirFuncion(const char *Funcion, const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS &R) noexcept
{
    if (N == 1 && MismoNombre(Funcion, "Raiz")) {
        R.Tipo = TIPO_NUMERO;
        R.Numero = std::sqrt(Parametros[0].Numero);
    } else if (N == 1 && MismoNombre(Funcion, "Seno")) {
        R.Tipo = TIPO_NUMERO;
        R.Numero = std::sin(Parametros[0].Numero);
    } else if (N == 3 && MismoNombre(Funcion, "si")) {
        Si(Parametros, R);
    } else {
        R.Error = E_FUNCION;
    }
}

TPresentacion Presentar(const BLOQUEDEDATOS &R, const TFormatoRegional &Formato)
{
    if (R.Error != 0)
        return {true, Codificacion::Latin1AUtf8(MensajeDeError(R.Error, R.Posicion))};
    if (R.Tipo == TIPO_CADENA)
        return {false, Codificacion::Latin1AUtf8(std::string_view(R.Cadena, Bloques::LargoTexto(R)))};
    return {false, Formato.Numero(R.Numero)};
}

} // namespace Evalion
