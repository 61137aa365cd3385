#include "Formato.h"

#include "Cifras.h"
#include "Mensajes.h"

namespace Evalion {

std::string FormatearNumero(double Valor)
{
    char Texto[32];
    return std::string(Texto, EscribirNumero(Valor, Texto));
}

std::string FormatearNumero(double Valor, std::string_view Punto)
{
    std::string Texto = FormatearNumero(Valor);
    const size_t Lugar = Texto.find('.');
    if (Lugar != std::string::npos)
        Texto.replace(Lugar, 1, Punto);
    return Texto;
}

// Here rather than beside the table: the table goes into the standard library's DLL, which
// has no C++ run time for a std::string.
std::string MensajeDeError(int32_t Codigo, int32_t Posicion)
{
    std::string Texto = "Error: ";
    if (const char *Tabla = TextoDeError(Codigo))
        Texto.append(Tabla).append(std::to_string(Posicion));
    return Texto;
}

} // namespace Evalion
