// UTF-8 on terminals: the columns of its characters, as the engine counts them. The conversions to and from the engine's Windows-1252 are
// Codificacion.hpp's, which every host shares.
#ifndef EVALION_TEXTO_H
#define EVALION_TEXTO_H

#include <string>
#include <string_view>

#include "Codificacion.hpp"

namespace Evalion {

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

} // namespace Evalion

#endif
