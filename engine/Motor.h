// Engine operations, shared by the libraries, the component and the tests.
//
// Every evaluation operation builds its result in a block that the caller provides
// (R, or Izq for the operations that continue a chain), so that no level copies a
// 1044-byte block on the way up and a deep expression costs little stack per level.
#ifndef EVALION_MOTOR_H
#define EVALION_MOTOR_H

#include "Parser.h"

// Keeps a function that holds a block of its own out of the frames of its callers.
#if defined(__GNUC__)
#define EVALION_NOINLINE __attribute__((noinline))
#else
#define EVALION_NOINLINE
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
int32_t SiguienteToken(ESTADODEANALISIS *Estado);
bool EsCaracterIdentificador(unsigned char Caracter);
// Number conversion (Numeros.cpp).
// Reads the longest prefix of Texto[0..Largo) that is a decimal number with "." as the
// point, whatever the C locale; correctly rounded, infinity when too large, 0 when empty.
double ConvertirNumero(const char *Texto, size_t Largo);
// The double nearest to the decimal Entero.Decimales (digits only, either part may be
// empty; ties to even): infinity above the largest double, 0 below half the smallest.
double ValorDecimal(const char *Entero, size_t LargoEntero, const char *Decimales, size_t LargoDecimales);

// The analysis entry: one whole analysis of Expresion (may be null).
BLOQUEDEDATOS Analizar(ESTADODEANALISIS *Estado, const char *Expresion);

// Grammar levels (the current token is the first one of what they evaluate).
void EvaluarExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);
void RestoExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq);
void Termino(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);
void Potencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);
void RestoPotencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq);
void Operando(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);
// Finishes the expression whose operand R has just been evaluated (as Potencia, Termino
// and EvaluarExpresion would after it).
void ContinuarExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R);
void ListaParametros(ESTADODEANALISIS *Estado, BLOQUEDEDATOS *&Parametros, int32_t &N, BLOQUEDEDATOS &R);

// Reads the next token into TokenActual.
inline void LeerToken(ESTADODEANALISIS *Estado) { Estado->TokenActual = SiguienteToken(Estado); }

// The current token is a one-character token: passes it and up to Maximo - 1 more of the
// same that follow it (blanks between them allowed) and returns how many it passed. The
// next LeerToken then reads what that many LeerToken calls would have read last, with the
// same InicioToken. (It does not read that token itself, so that the scan of a token is
// never a frame deeper than the grammar's own call of it.)
int32_t SaltarRepetidos(ESTADODEANALISIS *Estado, int32_t Maximo);

} // namespace Motor

#endif
