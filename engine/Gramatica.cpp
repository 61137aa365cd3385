// The analysis entry and the operator levels.
//
//   EvaluarExpresion -> Termino RestoExpresion
//   RestoExpresion   -> [ ("+" | "-" | "=" | "<>" | "<" | ">" | "<=" | ">=") Termino RestoExpresion ]
//   Termino          -> Potencia { ("*" | "/") Potencia }
//   Potencia         -> Operando RestoPotencia
//   RestoPotencia    -> [ "^" Operando RestoPotencia ]
//
// Level 1 and "^" group from the right; "*" and "/" from the left. Errors are values:
// the first block with a non-zero Error travels up unchanged and the entry stamps it.
// Functions that hold a block of their own are kept out of line, so that the levels a
// deep nesting passes through (Termino, Potencia, Operando) carry no block in their frames.
#include "Motor.h"
#include "Operaciones.h"
#include "Peticiones.h"

namespace Motor {

namespace {

// One "*" or "/" of a Termino: the operator is current; Izq holds the error-free left side.
EVALION_NOINLINE void AplicarTermino(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq)
{
    const int32_t Operador = Estado->TokenActual;
    LeerToken(Estado);
    BLOQUEDEDATOS Der;
    Potencia(Estado, Der);
    if (Der.Error) {
        Izq = Der;
        return;
    }
    OperarTermino(Operador, Izq, Der);
}

// Whether a "^" chain goes on after the error-free operand in R. An invalid character
// there is where an operator could stand: it becomes E_CARACTER in R, and the chain ends.
bool SiguePotencia(const ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    if (Estado->TokenActual == T_INVALIDO) {
        PonerError(R, E_CARACTER);
        return false;
    }
    return Estado->TokenActual == '^';
}

// The "*" and "/" that follow the first factor of a term, grouped from the left.
void RestoTermino(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    while (R.Error == 0 && (Estado->TokenActual == '*' || Estado->TokenActual == '/'))
        AplicarTermino(Estado, R);
}

// The rest of a "^" chain after a "^": leaves in Der the value of everything to its right.
// The chain keeps one block for all its operands: each level saves the only things the
// power needs of its base (is it a number, which one) and hands the block on.
void CadenaPotencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Der)
{
    LeerToken(Estado);
    Operando(Estado, Der);
    if (Der.Error || !SiguePotencia(Estado, Der))
        return;
    const bool BaseNumerica = EsNumero(Der);
    const double Base = Der.Numero;
    CadenaPotencia(Estado, Der);
    if (Der.Error == 0)
        PonerPotencia(BaseNumerica, Base, Der, Der);
}

EVALION_NOINLINE void AplicarPotencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq)
{
    BLOQUEDEDATOS Der;
    CadenaPotencia(Estado, Der);
    if (Der.Error)
        Izq = Der;
    else
        PonerPotencia(EsNumero(Izq), Izq.Numero, Der, Izq);
}

// One level-1 operator, current, after the error-free left side in Izq. Holds the right
// side's block, so it is kept out of the frames that nesting passes through.
EVALION_NOINLINE void AplicarNivel1(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq)
{
    const int32_t Operador = Estado->TokenActual;
    LeerToken(Estado);
    BLOQUEDEDATOS Der;
    Termino(Estado, Der);
    RestoExpresion(Estado, Der);
    if (Der.Error) {
        Izq = Der;
        return;
    }
    OperarNivel1(Operador, Izq, Der);
}

} // namespace

BLOQUEDEDATOS Analizar(ESTADODEANALISIS *Estado, const char *Expresion)
{
    BLOQUEDEDATOS R;
    if (Expresion == nullptr || Expresion[0] == '\0') {
        R.Numero = 0; // it names neither value, and none comes from the stack
        R.Cadena[0] = '\0';
        PonerError(R, E_OPERANDO);
        R.Posicion = 0;
        return R;
    }
    // Copy at most 1024 characters; the rest of the buffer is NUL, which ends every scan.
    const size_t Largo = strnlen(Expresion, EVALION_LARGO_EXPRESION);
    std::memcpy(Estado->Texto, Expresion, Largo);
    std::memset(Estado->Texto + Largo, 0, sizeof Estado->Texto - Largo);
    LeerCaracter(Estado, LEER_REINICIAR);
    const PendientesAnfitrion Pendientes = EntrarAlMotor(Estado);
    LeerToken(Estado);

    EvaluarExpresion(Estado, R);
    SalirDelMotor(Estado, Pendientes);
    if (R.Error == 0 && Estado->TokenActual != T_FIN)
        R.Error = E_OPERADOR;
    R.Posicion = R.Error ? Estado->InicioToken + 1 : 0;
    return R;
}

// EvaluarExpresion -> Termino RestoExpresion
void EvaluarExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    Termino(Estado, R);
    RestoExpresion(Estado, R);
}

// RestoExpresion -> [ op1 Termino RestoExpresion ]
// The right operand is the value of the whole rest of the chain, so 10-2-3 is 10-(2-3).
void RestoExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq)
{
    if (Izq.Error == 0 && EsOperadorNivel1(Estado->TokenActual))
        AplicarNivel1(Estado, Izq);
}

// Termino -> Potencia { ("*" | "/") Potencia }
void Termino(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    Potencia(Estado, R);
    RestoTermino(Estado, R);
}

// Potencia -> Operando RestoPotencia
void Potencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    Operando(Estado, R);
    RestoPotencia(Estado, R);
}

// RestoPotencia -> [ "^" Operando RestoPotencia ]
// Also the one place that reports an invalid character standing where an operator could.
void RestoPotencia(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &Izq)
{
    if (Izq.Error == 0 && SiguePotencia(Estado, Izq))
        AplicarPotencia(Estado, Izq);
}

// What follows a complete operand up to the end of its expression: the rest of its "^"
// chain, of its term and of its level-1 chain. A parenthesis that closes right after it
// (the common case) has nothing to continue.
void ContinuarExpresion(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    if (R.Error || Estado->TokenActual == ')')
        return;
    RestoPotencia(Estado, R);
    RestoTermino(Estado, R);
    RestoExpresion(Estado, R);
}

} // namespace Motor
