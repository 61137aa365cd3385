// The messages hosts show for the engine's codes. Texts are Latin-1: \xE9 is e acute,
// \xED i acute, \xF3 o acute.
#include <gtest/gtest.h>

#include <string>

#include "Formato.h"
#include "Mensajes.h"
#include "Parser.h"

namespace {

struct CasoTexto {
    int32_t Codigo;
    const char *Esperado;
};

TEST(Mensajes, EveryCodeHasItsText)
{
    const CasoTexto Casos[] = {
        {E_OPERADOR, "Se esperaba un operador en la posici\xF3n "},
        {E_VALOR, "Se ha encontrado un valor que no puede ser evaluado como una expresi\xF3n num\xE9rica en la "
                  "posici\xF3n "},
        {E_PARENTESIS, "Se esperaba un par\xE9ntesis en la posici\xF3n "},
        {E_CIERREFUNCION, "Se esperaba un par\xE9ntesis de cierre de funci\xF3n en la posici\xF3n "},
        {E_OPERANDO, "Se esperaba un operando en la posici\xF3n "},
        {E_SEPARADOR, "Se esperaba un separador de lista en la posici\xF3n "},
        {E_INCOMPATIBLES, "Los operandos no son compatibles en la posici\xF3n "},
        {E_CARACTER, "Se ha encontrado un caracter no valido en la posicion "}, // without accents
        {E_VARIABLE, "Se esperaba una variable en la posici\xF3n "},
        {E_FUNCION, "Se esperaba una funci\xF3n en la posici\xF3n "},
        {E_DIVISION, "Error de divisi\xF3n en la posici\xF3n "},
    };
    for (const CasoTexto &Caso : Casos) {
        SCOPED_TRACE(Caso.Codigo);
        const char *Texto = Evalion::TextoDeError(Caso.Codigo);
        ASSERT_NE(Texto, nullptr);
        EXPECT_EQ(std::string(Texto), Caso.Esperado);
    }
}

// Codes without a text: success, E_MEMORIA, and whatever a host's callback invents.
TEST(Mensajes, CodesWithoutText)
{
    const int32_t Codigos[] = {0, E_MEMORIA, 1, 99, 900, 1400, 4242, -1};
    for (int32_t Codigo : Codigos) {
        SCOPED_TRACE(Codigo);
        EXPECT_EQ(Evalion::TextoDeError(Codigo), nullptr);
    }
}

struct CasoMensaje {
    int32_t Codigo;
    int32_t Posicion;
    const char *Esperado;
};

// The position follows the text directly; a code without a text shows "Error: " alone.
TEST(Mensajes, MensajeDeError)
{
    const CasoMensaje Casos[] = {
        {E_OPERADOR, 2, "Error: Se esperaba un operador en la posici\xF3n 2"},
        {E_OPERANDO, 0, "Error: Se esperaba un operando en la posici\xF3n 0"},
        {E_CARACTER, 12, "Error: Se ha encontrado un caracter no valido en la posicion 12"},
        {E_VARIABLE, 1, "Error: Se esperaba una variable en la posici\xF3n 1"},
        {E_DIVISION, 1024, "Error: Error de divisi\xF3n en la posici\xF3n 1024"},
        {E_MEMORIA, 7, "Error: "},
        {4242, 3, "Error: "},
    };
    for (const CasoMensaje &Caso : Casos) {
        SCOPED_TRACE(Caso.Codigo);
        EXPECT_EQ(Evalion::MensajeDeError(Caso.Codigo, Caso.Posicion), Caso.Esperado);
    }
}

} // namespace
