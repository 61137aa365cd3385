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
#include <cmath>
#include <cstring>

#include "Motor.h"
#include "Peticiones.h"

namespace Motor {

namespace {

inline bool EsNumero(const BLOQUEDEDATOS &B) { return (B.Tipo & TIPO_NUMERO) != 0; }
inline bool EsCadena(const BLOQUEDEDATOS &B) { return (B.Tipo & TIPO_CADENA) != 0; }

// A host text may lack its terminator; it then ends with the field.
inline size_t LargoCadena(const BLOQUEDEDATOS &B) { return strnlen(B.Cadena, EVALION_LARGO_CADENA); }

inline void PonerNumero(BLOQUEDEDATOS &B, double Valor)
{
    B.Numero = Valor;
    B.Cadena[0] = '\0';
    B.Tipo = TIPO_NUMERO;
    B.Error = 0;
}

inline void PonerError(BLOQUEDEDATOS &B, int32_t Codigo)
{
    B.Tipo = 0;
    B.Error = Codigo;
}

// Byte-order comparison as strcmp does it, on texts that may fill their field.
int CompararCadenas(const BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
{
    const size_t LargoIzq = LargoCadena(Izq), LargoDer = LargoCadena(Der);
    const int Orden = std::memcmp(Izq.Cadena, Der.Cadena, LargoIzq < LargoDer ? LargoIzq : LargoDer);
    if (Orden != 0)
        return Orden;
    return LargoIzq < LargoDer ? -1 : (LargoIzq > LargoDer ? 1 : 0);
}

// Appends as much of Der as fits in 1023 characters.
void Concatenar(BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
{
    constexpr size_t MAXIMO = EVALION_LARGO_CADENA - 1;
    size_t LargoIzq = LargoCadena(Izq);
    if (LargoIzq > MAXIMO)
        LargoIzq = MAXIMO;
    size_t Resto = LargoCadena(Der);
    if (Resto > MAXIMO - LargoIzq)
        Resto = MAXIMO - LargoIzq;
    std::memcpy(Izq.Cadena + LargoIzq, Der.Cadena, Resto);
    Izq.Cadena[LargoIzq + Resto] = '\0';
    Izq.Numero = 0;
    Izq.Tipo = TIPO_CADENA;
    Izq.Error = 0;
}

bool Compara(int32_t Operador, int Orden)
{
    switch (Operador) {
    case '=': return Orden == 0;
    case T_DISTINTO: return Orden != 0;
    case '<': return Orden < 0;
    case '>': return Orden > 0;
    case T_MENORIGUAL: return Orden <= 0;
    default: return Orden >= 0; // T_MAYORIGUAL
    }
}

bool ComparaNumeros(int32_t Operador, double a, double b)
{
    // Written out rather than through an order, so that a not-a-number compares false
    // (and different) as the plain operators say.
    switch (Operador) {
    case '=': return a == b;
    case T_DISTINTO: return a != b;
    case '<': return a < b;
    case '>': return a > b;
    case T_MENORIGUAL: return a <= b;
    default: return a >= b; // T_MAYORIGUAL
    }
}

// pow, with a shortcut for the common small integer powers. A product of integers below
// 2^53 in magnitude is exact, and pow returns that same exact value; the moment a product
// reaches 2^53 it may have been rounded (3202^5 lies halfway between two doubles), so the
// shortcut gives up and pow decides. It changes no result, only the time.
double Elevar(double Base, double Exponente)
{
    constexpr double EXACTO = 9007199254740992.0; // 2^53
    if (Exponente >= 0 && Exponente <= 64 && Exponente == static_cast<int>(Exponente) && Base == std::trunc(Base) &&
        std::fabs(Base) < EXACTO) {
        double Resultado = 1.0, Factor = Base;
        for (int e = static_cast<int>(Exponente);;) {
            if (e & 1)
                Resultado *= Factor;
            e >>= 1;
            if (std::fabs(Resultado) >= EXACTO)
                break;
            if (e == 0)
                return Resultado;
            Factor *= Factor;
            if (std::fabs(Factor) >= EXACTO)
                break;
        }
    }
    return std::pow(Base, Exponente);
}

bool EsOperadorNivel1(int32_t Token)
{
    switch (Token) {
    case '+': case '-': case '<': case '=': case '>': case T_DISTINTO: case T_MENORIGUAL: case T_MAYORIGUAL:
        return true;
    default:
        return false;
    }
}

// Applies a level-1 operator to two error-free blocks, leaving the result in Izq.
void OperarNivel1(int32_t Operador, BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
{
    if (EsNumero(Izq) && EsNumero(Der)) {
        switch (Operador) {
        case '+': PonerNumero(Izq, Izq.Numero + Der.Numero); return;
        case '-': PonerNumero(Izq, Izq.Numero - Der.Numero); return;
        default: PonerNumero(Izq, ComparaNumeros(Operador, Izq.Numero, Der.Numero) ? 1.0 : 0.0); return;
        }
    }
    if (EsCadena(Izq) && EsCadena(Der) && Operador != '-') {
        if (Operador == '+')
            Concatenar(Izq, Der);
        else
            PonerNumero(Izq, Compara(Operador, CompararCadenas(Izq, Der)) ? 1.0 : 0.0);
        return;
    }
    PonerError(Izq, E_INCOMPATIBLES);
}

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
    if (!EsNumero(Izq) || !EsNumero(Der))
        PonerError(Izq, E_INCOMPATIBLES);
    else if (Operador == '*')
        PonerNumero(Izq, Izq.Numero * Der.Numero);
    else if (Der.Numero == 0.0)
        PonerError(Izq, E_DIVISION);
    else
        PonerNumero(Izq, Izq.Numero / Der.Numero);
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

// Destino = base ^ exponent, for an exponent without error; E_INCOMPATIBLES unless both are
// numbers. Destino may be the exponent's own block.
void PonerPotencia(bool BaseNumerica, double Base, const BLOQUEDEDATOS &Exponente, BLOQUEDEDATOS &Destino)
{
    if (!BaseNumerica || !EsNumero(Exponente))
        PonerError(Destino, E_INCOMPATIBLES);
    else
        PonerNumero(Destino, Elevar(Base, Exponente.Numero));
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
