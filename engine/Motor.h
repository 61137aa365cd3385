// Engine operations, shared by the libraries, the component and the tests.
//
// Every evaluation operation builds its result in a block that the caller provides
// (R, or Izq for the operations that continue a chain), so that no level copies a
// 1044-byte block on the way up and a deep expression costs little stack per level.
#ifndef EVALION_MOTOR_H
#define EVALION_MOTOR_H

#include <cstring>

#include "Parser.h"

// Keeps a function that holds a block of its own out of the frames of its callers; puts a
// short one into its callers, where the compiler would not on its own (a level of the walk
// inside the one above it, the numbers-only evaluation inside the entry).
#if defined(__GNUC__)
#define EVALION_NOINLINE __attribute__((noinline))
#define EVALION_SIEMPRE_EN_LINEA inline __attribute__((always_inline))
#else
#define EVALION_NOINLINE
#define EVALION_SIEMPRE_EN_LINEA inline
#endif

namespace Motor {

// The operation of LeerCaracter: back to the start of the text (any other does nothing).
enum { LEER_REINICIAR = 20 };

// Set-up of a record.
void Inicializar(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion, char Millar,
                 char Decimal);
void AsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion);
void AsignarSeparadores(ESTADODEANALISIS *Estado, char Millar, char Decimal);

// Lexer.
char LeerCaracter(ESTADODEANALISIS *Estado, int Operacion);
// Copies Expresion (not null, at most its first 1024 characters) into the record's Texto,
// NUL-padded, which ends every scan, and resets the reader to its start.
inline void CargarTexto(ESTADODEANALISIS *Estado, const char *Expresion)
{
    const size_t Largo = strnlen(Expresion, EVALION_LARGO_EXPRESION);
    std::memcpy(Estado->Texto, Expresion, Largo);
    std::memset(Estado->Texto + Largo, 0, sizeof Estado->Texto - Largo);
    LeerCaracter(Estado, LEER_REINICIAR);
}
int32_t SiguienteToken(ESTADODEANALISIS *Estado);
bool EsCaracterIdentificador(unsigned char Caracter);
// Number conversion (Numeros.cpp).
// Reads the longest prefix of Texto[0..Largo) that is a decimal number with "." as the
// point, whatever the C locale; correctly rounded, infinity when too large, 0 when empty.
double ConvertirNumero(const char *Texto, size_t Largo);
// The double nearest to the decimal Entero.Decimales (digits only, either part may be
// empty; ties to even): infinity above the largest double, 0 below half the smallest.
double ValorDecimal(const char *Entero, size_t LargoEntero, const char *Decimales, size_t LargoDecimales);

// The analysis entry: one whole analysis of Expresion (may be null) with the record Estado
// (may be null: E_OPERANDO at 0, as for a null text).
BLOQUEDEDATOS Analizar(ESTADODEANALISIS *Estado, const char *Expresion);

// Reads the next token into TokenActual.
inline void LeerToken(ESTADODEANALISIS *Estado) { Estado->TokenActual = SiguienteToken(Estado); }

// The current token is a one-character token: passes it and up to Maximo - 1 more of the
// same that follow it (blanks between them allowed) and returns how many it passed. The
// next LeerToken then reads what that many LeerToken calls would have read last, with the
// same InicioToken. (It does not read that token itself, so that the scan of a token is
// never a frame deeper than the grammar's own call of it.)
int32_t SaltarRepetidos(ESTADODEANALISIS *Estado, int32_t Maximo);

// Where a one-character token Simbolo that follows p (blanks before it allowed) ends, or null
// when another character comes first. It reads without moving the scan.
const char *TrasSimbolo(const char *p, char Simbolo);

} // namespace Motor

#endif
