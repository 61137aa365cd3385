// What hosts show for the engine's results: numbers in general format and the message line
// of an error.
#ifndef EVALION_FORMATO_H
#define EVALION_FORMATO_H

#include <cstdint>
#include <string>
#include <string_view>

namespace Evalion {

// General format: up to 15 significant digits, no trailing zeros, "." as the point.
// Infinities and not-a-number values read "INF", "-INF" and "NAN", a negative zero "0".
std::string FormatearNumero(double Valor);

// The same with Punto, a locale's decimal separator in UTF-8, in place of the ".".
std::string FormatearNumero(double Valor, std::string_view Punto);

// "Error: " followed by the code's text and the position; "Error: " alone for a code
// without a text. Windows-1252, as the table.
std::string MensajeDeError(int32_t Codigo, int32_t Posicion);

} // namespace Evalion

#endif
