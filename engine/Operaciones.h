// The rules that the analysis and the prepared evaluator both apply to blocks: what each
// operator does with its operands, how a sign acts, how a request's block is made ready and
// completed. One definition for both, so that a prepared form cannot drift from the grammar.
//
// They sit in an unnamed namespace: each translation unit keeps its own copy, which the
// compiler inlines into the levels as freely as a function of that file.
#ifndef EVALION_OPERACIONES_H
#define EVALION_OPERACIONES_H

#include <cmath>
#include <cstring>

#include "Parser.h"

namespace Motor {

namespace {

inline bool EsNumero(const BLOQUEDEDATOS &B) { return (B.Tipo & TIPO_NUMERO) != 0; }
inline bool EsCadena(const BLOQUEDEDATOS &B) { return (B.Tipo & TIPO_CADENA) != 0; }

// A text ends within its field: a host text without its terminator is cut (CompletarRespuesta).
inline size_t LargoCadena(const BLOQUEDEDATOS &B) { return strnlen(B.Cadena, EVALION_LARGO_CADENA); }

inline void PonerNumero(BLOQUEDEDATOS &B, double Valor)
{
    B.Numero = Valor;
    B.Cadena[0] = '\0';
    B.Tipo = TIPO_NUMERO;
    B.Error = 0;
}

// A text of Largo characters (at most 1023) into B, the rest of its field zero.
inline void PonerTexto(BLOQUEDEDATOS &B, const char *Texto, size_t Largo)
{
    std::memcpy(B.Cadena, Texto, Largo);
    std::memset(B.Cadena + Largo, 0, sizeof B.Cadena - Largo);
    B.Numero = 0;
    B.Tipo = TIPO_CADENA;
    B.Error = 0;
}

// An error the engine's own rules make (an operand missing, kinds that do not fit, a
// division by zero, an invalid character) carries no value: 0, the empty text and no kind,
// so that every byte a host may look at is defined and the same on every path.
inline void PonerError(BLOQUEDEDATOS &B, int32_t Codigo)
{
    B.Numero = 0;
    B.Cadena[0] = '\0';
    B.Tipo = 0;
    B.Error = Codigo;
}

// An error that stands for the whole text, at position 0: a null text, record or form
// (E_OPERANDO), no memory (E_MEMORIA).
inline void PonerErrorGeneral(BLOQUEDEDATOS &B, int32_t Codigo)
{
    PonerError(B, Codigo);
    B.Posicion = 0;
}

// Byte-order comparison as strcmp does it, on texts that may fill their field.
inline int CompararTextos(const char *Izq, size_t LargoIzq, const char *Der, size_t LargoDer)
{
    const int Orden = std::memcmp(Izq, Der, LargoIzq < LargoDer ? LargoIzq : LargoDer);
    if (Orden != 0)
        return Orden;
    return LargoIzq < LargoDer ? -1 : (LargoIzq > LargoDer ? 1 : 0);
}

// Destino = the left text followed by as much of Der's as fits in 1023 characters.
// Destino may be Der itself, or the block whose field holds the left text.
inline void Concatenar(const char *Izq, size_t LargoIzq, const BLOQUEDEDATOS &Der, BLOQUEDEDATOS &Destino)
{
    constexpr size_t MAXIMO = EVALION_LARGO_CADENA - 1;
    if (LargoIzq > MAXIMO)
        LargoIzq = MAXIMO;
    size_t Resto = LargoCadena(Der);
    if (Resto > MAXIMO - LargoIzq)
        Resto = MAXIMO - LargoIzq;
    if (&Destino == &Der) // the right text moves up to make room for the left one
        std::memmove(Destino.Cadena + LargoIzq, Der.Cadena, Resto);
    else
        std::memcpy(Destino.Cadena + LargoIzq, Der.Cadena, Resto);
    if (Destino.Cadena != Izq)
        std::memmove(Destino.Cadena, Izq, LargoIzq);
    Destino.Cadena[LargoIzq + Resto] = '\0';
    Destino.Numero = 0;
    Destino.Tipo = TIPO_CADENA;
    Destino.Error = 0;
}

inline bool Compara(int32_t Operador, int Orden)
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

inline bool ComparaNumeros(int32_t Operador, double a, double b)
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
inline double Elevar(double Base, double Exponente)
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

inline bool EsOperadorNivel1(int32_t Token)
{
    switch (Token) {
    case '+': case '-': case '<': case '=': case '>': case T_DISTINTO: case T_MENORIGUAL: case T_MAYORIGUAL:
        return true;
    default:
        return false;
    }
}

// The four operations on two numbers, each one instruction that takes the left operand as
// its first. Of two not-a-numbers, the SSE unit keeps the first operand's (quieted), so the
// analysis, the steps and the machine code (which emits that same instruction on the
// operands in that order) all answer the left one's bits. Written as plain operators, a + b
// and a * b may come out with their operands swapped, since they commute but for which
// not-a-number survives, and the bits would depend on the compiler's choice of registers.
// EnOrden false leaves the compiler free: for the loops over blocks of rows, which it
// vectorises, and which compute again one by one every row whose value is a not-a-number.
// (The x87 unit of the 32-bit build keeps the larger significand whatever the order.)
#if defined(__x86_64__) && defined(__GNUC__)
#define EVALION_SSE_EN_ORDEN(INSTRUCCION)                                                                        \
    if constexpr (EnOrden) {                                                                                    \
        __asm__(INSTRUCCION " %1, %0" : "+x"(a) : "xm"(b));                                                   \
        return a;                                                                                               \
    }
#else
#define EVALION_SSE_EN_ORDEN(INSTRUCCION)
#endif
template <bool EnOrden = true> inline double Sumar(double a, double b)
{
    EVALION_SSE_EN_ORDEN("addsd")
    return a + b;
}
template <bool EnOrden = true> inline double Restar(double a, double b)
{
    EVALION_SSE_EN_ORDEN("subsd")
    return a - b;
}
template <bool EnOrden = true> inline double Multiplicar(double a, double b)
{
    EVALION_SSE_EN_ORDEN("mulsd")
    return a * b;
}
template <bool EnOrden = true> inline double Dividir(double a, double b)
{
    EVALION_SSE_EN_ORDEN("divsd")
    return a / b;
}
#undef EVALION_SSE_EN_ORDEN

// The level-1 operators on two numbers: the sum, the difference, or a comparison as 1 or 0.
template <bool EnOrden = true> inline double Nivel1Numeros(int32_t Operador, double a, double b)
{
    switch (Operador) {
    case '+': return Sumar<EnOrden>(a, b);
    case '-': return Restar<EnOrden>(a, b);
    default: return ComparaNumeros(Operador, a, b) ? 1.0 : 0.0;
    }
}

// "*" or "/" on two numbers into v; false for a division by zero, which has no value.
// The one place that decides it, for the analysis, the prepared steps and the folding of
// constants alike.
template <bool EnOrden = true> inline bool TerminoNumeros(int32_t Operador, double a, double b, double &v)
{
    if (Operador == '*') {
        v = Multiplicar<EnOrden>(a, b);
        return true;
    }
    if (b == 0.0)
        return false;
    v = Dividir<EnOrden>(a, b);
    return true;
}

// Destino = a op b for a level-1 operator when both operands are numbers (Numericos), else
// E_INCOMPATIBLES: the case of every left operand that holds no text.
inline void PonerNivel1(int32_t Operador, bool Numericos, double a, double b, BLOQUEDEDATOS &Destino)
{
    if (Numericos)
        PonerNumero(Destino, Nivel1Numeros(Operador, a, b));
    else
        PonerError(Destino, E_INCOMPATIBLES);
}

// A left operand of level 1 while its right side is evaluated: only what the operators
// read of it. Its text may be its own block's, or a copy of just its length.
struct Izquierdo {
    uint8_t Tipo;
    double Numero;
    const char *Texto;
    size_t Largo;
};

inline Izquierdo ComoIzquierdo(const BLOQUEDEDATOS &B)
{
    return Izquierdo{B.Tipo, B.Numero, B.Cadena, EsCadena(B) ? LargoCadena(B) : 0};
}

// Applies a level-1 operator to an error-free left operand and an error-free right block,
// leaving the result in Destino, which may be the right block or the left's own.
inline void OperarNivel1(int32_t Operador, const Izquierdo &Izq, const BLOQUEDEDATOS &Der, BLOQUEDEDATOS &Destino)
{
    const bool IzqNumero = (Izq.Tipo & TIPO_NUMERO) != 0, IzqCadena = (Izq.Tipo & TIPO_CADENA) != 0;
    if (IzqNumero && EsNumero(Der)) {
        PonerNumero(Destino, Nivel1Numeros(Operador, Izq.Numero, Der.Numero));
    } else if (IzqCadena && EsCadena(Der) && Operador == '+') {
        Concatenar(Izq.Texto, Izq.Largo, Der, Destino);
    } else if (IzqCadena && EsCadena(Der) && Operador != '-') {
        const int Orden = CompararTextos(Izq.Texto, Izq.Largo, Der.Cadena, LargoCadena(Der));
        PonerNumero(Destino, Compara(Operador, Orden) ? 1.0 : 0.0);
    } else {
        PonerError(Destino, E_INCOMPATIBLES);
    }
}

// Destino = a ^ b when both are numbers (Numericos), else E_INCOMPATIBLES.
inline void PonerPotencia(bool Numericos, double a, double b, BLOQUEDEDATOS &Destino)
{
    if (Numericos)
        PonerNumero(Destino, Elevar(a, b));
    else
        PonerError(Destino, E_INCOMPATIBLES);
}

// Destino = a * b or a / b when both are numbers (Numericos); else E_INCOMPATIBLES, and
// E_DIVISION for a division by zero.
inline void PonerTermino(int32_t Operador, bool Numericos, double a, double b, BLOQUEDEDATOS &Destino)
{
    double v;
    if (!Numericos)
        PonerError(Destino, E_INCOMPATIBLES);
    else if (!TerminoNumeros(Operador, a, b, v))
        PonerError(Destino, E_DIVISION);
    else
        PonerNumero(Destino, v);
}

// The signs before an error-free operand, reduced to whether they negate: E_VALOR unless it
// is a number.
inline void AplicarSigno(BLOQUEDEDATOS &R, bool Negar)
{
    if (!(R.Tipo & TIPO_NUMERO))
        R.Error = E_VALOR;
    else if (Negar)
        R.Numero = -R.Numero;
}

constexpr size_t LARGO_NOMBRE = EVALION_LARGO_CADENA - 1; // longer names are cut

// A name as it stands in a text that outlives the request (the record's copy of the
// expression, a prepared form's names); it is copied into a NUL-terminated buffer only when
// a request is made.
struct Nombre {
    const char *Texto;
    size_t Largo;
};

inline void CopiarNombre(const Nombre &N, char *Destino)
{
    std::memcpy(Destino, N.Texto, N.Largo);
    Destino[N.Largo] = '\0';
}

// The host gets a result block with nothing of an earlier value in it: what it leaves
// unset reads as zero and the empty text.
inline void VaciarResultado(BLOQUEDEDATOS &R)
{
    R.Numero = 0;
    R.Cadena[0] = '\0';
    R.Tipo = 0;
    R.Error = 0;
}

// A value the host gave is handed on with the field its kind does not name defined too.
inline void CompletarRespuesta(BLOQUEDEDATOS &R)
{
    // A text holds at most 1023 characters: one that fills the field ends with it.
    R.Cadena[sizeof R.Cadena - 1] = '\0';
    if (R.Error != 0)
        return;
    if (R.Tipo == TIPO_NUMERO)
        R.Cadena[0] = '\0';
    else if (R.Tipo == TIPO_CADENA)
        R.Numero = 0;
}

} // namespace

} // namespace Motor

#endif
