#include "Mensajes.h"

#include "Parser.h"

namespace Evalion {

namespace {

struct Mensaje {
    int32_t Codigo;
    const char *Texto;
};

// Latin-1 bytes: \xE9 e acute, \xED i acute, \xF3 o acute. The text for E_CARACTER has
// always been written without accents; hosts and users match on it as it is.
constexpr Mensaje MENSAJES[] = {
    {E_OPERADOR, "Se esperaba un operador en la posici\xF3n "},
    {E_VALOR, "Se ha encontrado un valor que no puede ser evaluado como una expresi\xF3n num\xE9rica en la posici\xF3n "},
    {E_PARENTESIS, "Se esperaba un par\xE9ntesis en la posici\xF3n "},
    {E_CIERREFUNCION, "Se esperaba un par\xE9ntesis de cierre de funci\xF3n en la posici\xF3n "},
    {E_OPERANDO, "Se esperaba un operando en la posici\xF3n "},
    {E_SEPARADOR, "Se esperaba un separador de lista en la posici\xF3n "},
    {E_INCOMPATIBLES, "Los operandos no son compatibles en la posici\xF3n "},
    {E_CARACTER, "Se ha encontrado un caracter no valido en la posicion "},
    {E_VARIABLE, "Se esperaba una variable en la posici\xF3n "},
    {E_FUNCION, "Se esperaba una funci\xF3n en la posici\xF3n "},
    {E_DIVISION, "Error de divisi\xF3n en la posici\xF3n "},
};

} // namespace

const char *TextoDeError(int32_t Codigo)
{
    for (const Mensaje &M : MENSAJES)
        if (M.Codigo == Codigo)
            return M.Texto;
    return nullptr;
}

} // namespace Evalion
