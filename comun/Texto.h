// Conversions between the engine's single-byte text (Windows-1252, a superset of the
// printable Latin-1) and the UTF-8 of terminals and files, and the number format hosts show.
#ifndef EVALION_TEXTO_H
#define EVALION_TEXTO_H

#include <string>
#include <string_view>

namespace Evalion {

// One byte per character, so that the engine's positions count the characters typed.
// A character the code page lacks becomes "?", which begins no token, and so does each byte
// that is not valid UTF-8.
std::string Utf8ALatin1(std::string_view Utf8);

// Every byte becomes one character; the five bytes Windows-1252 leaves undefined map to
// the control characters of the same value, as in ISO 8859-1.
std::string Latin1AUtf8(std::string_view Latin1);

// The blanks that fill as many terminal columns as the first Caracteres characters of Utf8,
// counted as Utf8ALatin1 counts them: a wide character takes two columns, a combining mark
// none, and a tab stays a tab. Column widths follow LC_CTYPE, which must be a UTF-8 locale.
std::string Sangria(std::string_view Utf8, size_t Caracteres);

// Utf8 cut into rows of at most Ancho terminal columns: the row that holds the character at
// 0-based index Caracter (the length of Utf8 stands for the column just after its end), and
// the blanks that lead to that character within the row, counted as Sangria counts them.
struct TFila {
    std::string Texto;
    std::string Sangria;
};
TFila FilaDe(std::string_view Utf8, size_t Caracter, size_t Ancho);

// General format: up to 15 significant digits, no trailing zeros, "." as the point.
// Infinities and not-a-number values read "INF", "-INF" and "NAN", a negative zero "0".
std::string FormatearNumero(double Valor);

// The same with Punto, a locale's decimal separator in UTF-8, in place of the ".".
std::string FormatearNumero(double Valor, std::string_view Punto);

} // namespace Evalion

#endif
