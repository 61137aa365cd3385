// The demonstration's answers to the engine's requests, called as the engine calls them, and
// what a host shows for a returned block.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Demostracion.h"

namespace {

// A locale whose time and date are fixed, and which shows which number it was asked for.
class TFormatoFijo final : public Evalion::TFormatoRegional {
public:
    std::string Numero(double Valor) const override
    {
        Pedidos.push_back(Valor);
        return "numero";
    }
    std::string Hora() const override { return "21:05:09"; }
    std::string Fecha() const override { return "mi\xC3\xA9rcoles, 7"; } // UTF-8 e acute
    mutable std::vector<double> Pedidos;
};

// A block as the engine hands it to a request: Error 0, every other byte left over.
BLOQUEDEDATOS BloqueDelMotor()
{
    BLOQUEDEDATOS R;
    std::memset(&R, 0x5A, sizeof R);
    R.Error = 0;
    return R;
}

uint64_t Bits(double Valor)
{
    uint64_t Resultado;
    std::memcpy(&Resultado, &Valor, sizeof Resultado);
    return Resultado;
}

BLOQUEDEDATOS Numero(double Valor, uint8_t Tipo = TIPO_NUMERO)
{
    BLOQUEDEDATOS B = BloqueDelMotor();
    B.Numero = Valor;
    B.Tipo = Tipo;
    return B;
}

BLOQUEDEDATOS Texto(const char *Valor)
{
    BLOQUEDEDATOS B = BloqueDelMotor();
    std::strcpy(B.Cadena, Valor);
    B.Tipo = TIPO_CADENA;
    return B;
}

// The exact doubles of the peseta, and the two times and dates, in any case; a match writes
// Tipo and its field only.
TEST(Demostracion, KnownVariables)
{
    const struct {
        const char *Nombre;
        uint64_t Bits;
    } Numeros[] = {
        {"Euro", 0x3F789E119540A799}, {"EURO", 0x3F789E119540A799}, {"eUrO", 0x3F789E119540A799},
        {"Pesetas", 0x4064CC5A1CAC0831}, {"pesetas", 0x4064CC5A1CAC0831},
    };
    const TFormatoFijo Formato;
    for (const auto &Caso : Numeros) {
        SCOPED_TRACE(Caso.Nombre);
        BLOQUEDEDATOS R = BloqueDelMotor();
        Evalion::PedirVariable(Caso.Nombre, R, Formato);
        EXPECT_EQ(R.Error, 0);
        EXPECT_EQ(R.Tipo, TIPO_NUMERO);
        EXPECT_EQ(Bits(R.Numero), Caso.Bits);
        EXPECT_EQ(R.Cadena[0], 0x5A);
    }

    const struct {
        const char *Nombre;
        const char *Cadena;
    } Textos[] = {
        {"Hora", "21:05:09"}, {"HORA", "21:05:09"}, {"Fecha", "mi\xE9rcoles, 7"}, {"fECHA", "mi\xE9rcoles, 7"},
    };
    for (const auto &Caso : Textos) {
        SCOPED_TRACE(Caso.Nombre);
        BLOQUEDEDATOS R = BloqueDelMotor();
        Evalion::PedirVariable(Caso.Nombre, R, Formato);
        EXPECT_EQ(R.Error, 0);
        EXPECT_EQ(R.Tipo, TIPO_CADENA);
        EXPECT_STREQ(R.Cadena, Caso.Cadena); // in the engine's Latin-1
        EXPECT_EQ(Bits(R.Numero), 0x5A5A5A5A5A5A5A5Au);
    }
}

// Any other name, near misses included, sets E_VARIABLE and nothing else.
TEST(Demostracion, UnknownVariables)
{
    const TFormatoFijo Formato;
    for (const char *Nombre : {"Dolar", "Eur", "Euros", "", "Pesetas2", "Raiz", "si", "Hora_", "Fech\xE1"}) {
        SCOPED_TRACE(Nombre);
        BLOQUEDEDATOS R = BloqueDelMotor();
        BLOQUEDEDATOS Antes;
        std::memcpy(&Antes, &R, sizeof R);
        Evalion::PedirVariable(Nombre, R, Formato);
        EXPECT_EQ(R.Error, E_VARIABLE);
        R.Error = 0;
        EXPECT_EQ(std::memcmp(&R, &Antes, sizeof R), 0);
    }
}

struct CasoFuncion {
    const char *Nombre;
    std::vector<BLOQUEDEDATOS> Parametros;
    int32_t Error;
    double Numero; // when Error is 0
};

// Each function by name in any case and its exact argument count; otherwise E_FUNCION.
TEST(Demostracion, Functions)
{
    const CasoFuncion Casos[] = {
        {"Raiz", {Numero(4)}, 0, 2},
        {"RAIZ", {Numero(2)}, 0, 1.4142135623730951},
        {"raiz", {Numero(9, TIPO_CADENA)}, 0, 3}, // the argument's kind is not looked at
        {"Seno", {Numero(0)}, 0, 0},
        {"SENO", {Numero(1.5707963267948966)}, 0, 1},
        {"si", {Numero(1), Numero(2), Numero(3)}, 0, 2},
        {"Si", {Numero(0), Numero(2), Numero(3)}, 0, 3},
        {"SI", {Numero(-0.0), Numero(2), Numero(3)}, 0, 3},
        {"sI", {Numero(0.5), Numero(2), Numero(3)}, 0, 2},
        {"si", {Numero(NAN), Numero(2), Numero(3)}, 0, 2}, // NaN is not 0
        {"si", {Texto("1"), Numero(2), Numero(3)}, E_INCOMPATIBLES, 0},
        {"si", {Numero(1, TIPO_NUMERO | TIPO_CADENA), Numero(2), Numero(3)}, E_INCOMPATIBLES, 0},
        {"Raiz", {Numero(4), Numero(9)}, E_FUNCION, 0},
        {"Seno", {Numero(1), Numero(2)}, E_FUNCION, 0},
        {"si", {Numero(1), Numero(2)}, E_FUNCION, 0},
        {"si", {Numero(1), Numero(2), Numero(3), Numero(4)}, E_FUNCION, 0},
        {"Coseno", {Numero(0)}, E_FUNCION, 0},
        {"Ra\xEDz", {Numero(4)}, E_FUNCION, 0},
        {"Euro", {Numero(1)}, E_FUNCION, 0},
    };
    for (const CasoFuncion &Caso : Casos) {
        SCOPED_TRACE(std::string(Caso.Nombre) + " with " + std::to_string(Caso.Parametros.size()));
        BLOQUEDEDATOS R = BloqueDelMotor();
        Evalion::PedirFuncion(Caso.Nombre, Caso.Parametros.data(), static_cast<int32_t>(Caso.Parametros.size()), R);
        EXPECT_EQ(R.Error, Caso.Error);
        if (Caso.Error == 0) {
            EXPECT_EQ(R.Tipo, TIPO_NUMERO);
            EXPECT_EQ(R.Numero, Caso.Numero);
        }
    }
}

TEST(Demostracion, RaizOfANegativeNumberIsNotANumber)
{
    BLOQUEDEDATOS R = BloqueDelMotor();
    const BLOQUEDEDATOS Menos4 = Numero(-4);
    Evalion::PedirFuncion("Raiz", &Menos4, 1, R);
    EXPECT_EQ(R.Error, 0);
    EXPECT_TRUE(std::isnan(R.Numero));
}

// si hands back the chosen block whole, every one of its 1044 bytes.
TEST(Demostracion, SiCopiesTheWholeBlock)
{
    for (double Condicion : {1.0, 0.0}) {
        SCOPED_TRACE(Condicion);
        BLOQUEDEDATOS Parametros[3] = {Numero(Condicion), Texto("A\xF1o"), Numero(7)};
        std::memset(reinterpret_cast<char *>(&Parametros[1]) + 1033, 0x11, 3); // padding
        Parametros[1].Posicion = 99;
        Parametros[2].Posicion = -3;
        BLOQUEDEDATOS R = BloqueDelMotor();
        Evalion::PedirFuncion("si", Parametros, 3, R);
        EXPECT_EQ(std::memcmp(&R, &Parametros[Condicion != 0 ? 1 : 2], sizeof R), 0);
    }
}

// An error first, with the position; then a text exactly when Tipo is 2; then the number.
TEST(Demostracion, WhatAHostShows)
{
    struct Caso {
        BLOQUEDEDATOS R;
        bool Error;
        const char *Texto;
    };
    BLOQUEDEDATOS Variable = Texto("Dolar");
    Variable.Error = E_VARIABLE;
    Variable.Posicion = 3;
    BLOQUEDEDATOS Caracter = Numero(1);
    Caracter.Error = E_CARACTER;
    Caracter.Posicion = 2;
    BLOQUEDEDATOS Vacio = Numero(0, 0);
    Vacio.Error = E_OPERANDO;
    Vacio.Posicion = 0;
    BLOQUEDEDATOS Propio = Numero(1);
    Propio.Error = 4242;
    Propio.Posicion = 7;
    BLOQUEDEDATOS Memoria = Numero(1);
    Memoria.Error = E_MEMORIA;
    Memoria.Posicion = 5;
    const Caso Casos[] = {
        {Variable, true, "Error: Se esperaba una variable en la posici\xC3\xB3n 3"},
        {Caracter, true, "Error: Se ha encontrado un caracter no valido en la posicion 2"},
        {Vacio, true, "Error: Se esperaba un operando en la posici\xC3\xB3n 0"},
        {Propio, true, "Error: "},
        {Memoria, true, "Error: "},
        {Texto("A\xF1o \x80"), false, "A\xC3\xB1o \xE2\x82\xAC"}, // UTF-8 for the host
        {Texto(""), false, ""},
        {Numero(0.5), false, "numero"},
        {Numero(0.5, TIPO_NUMERO | TIPO_CADENA), false, "numero"}, // Tipo not exactly 2
        {Numero(0.5, 0), false, "numero"},
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Texto);
        const TFormatoFijo Formato;
        const Evalion::TPresentacion P = Evalion::Presentar(C.R, Formato);
        EXPECT_EQ(P.Error, C.Error);
        EXPECT_EQ(P.Texto, C.Texto);
        EXPECT_EQ(Formato.Pedidos, std::string(C.Texto) == "numero" ? std::vector<double>{0.5} : std::vector<double>{});
    }
}

// The command's locale: numbers as FormatearNumero writes them, strftime's time and date.
TEST(Demostracion, CLibraryFormat)
{
    std::setlocale(LC_TIME, "C");
    const Evalion::TFormatoRegional &Formato = Evalion::FormatoDeLaBibliotecaC();
    EXPECT_EQ(Formato.Numero(0.5), "0.5");
    EXPECT_EQ(Formato.Numero(-HUGE_VAL), "-INF");
    // "9" stands for any digit.
    const auto Encaja = [](const std::string &Texto, const std::string &Patron) {
        return Texto.size() == Patron.size() && std::equal(Texto.begin(), Texto.end(), Patron.begin(), [](char t, char p) {
                   return p == '9' ? t >= '0' && t <= '9' : t == p;
               });
    };
    EXPECT_TRUE(Encaja(Formato.Hora(), "99:99:99")) << Formato.Hora();
    EXPECT_TRUE(Encaja(Formato.Fecha(), "99/99/99")) << Formato.Fecha();
}

} // namespace
