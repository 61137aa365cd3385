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
inline int CompararCadenas(const BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
{
    const size_t LargoIzq = LargoCadena(Izq), LargoDer = LargoCadena(Der);
    const int Orden = std::memcmp(Izq.Cadena, Der.Cadena, LargoIzq < LargoDer ? LargoIzq : LargoDer);
    if (Orden != 0)
        return Orden;
    return LargoIzq < LargoDer ? -1 : (LargoIzq > LargoDer ? 1 : 0);
}

// Appends as much of Der as fits in 1023 characters.
inline void Concatenar(BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
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

// Applies a level-1 operator to two error-free blocks, leaving the result in Izq.
inline void OperarNivel1(int32_t Operador, BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
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

// Destino = base ^ exponent, for an exponent without error; E_INCOMPATIBLES unless both are
// numbers. Destino may be the exponent's own block.
inline void PonerPotencia(bool BaseNumerica, double Base, const BLOQUEDEDATOS &Exponente, BLOQUEDEDATOS &Destino)
{
    if (!BaseNumerica || !EsNumero(Exponente))
        PonerError(Destino, E_INCOMPATIBLES);
    else
        PonerNumero(Destino, Elevar(Base, Exponente.Numero));
}

// One "*" or "/" on two error-free blocks, leaving the result (or the error) in Izq.
inline void OperarTermino(int32_t Operador, BLOQUEDEDATOS &Izq, const BLOQUEDEDATOS &Der)
{
    if (!EsNumero(Izq) || !EsNumero(Der))
        PonerError(Izq, E_INCOMPATIBLES);
    else if (Operador == '*')
        PonerNumero(Izq, Izq.Numero * Der.Numero);
    else if (Der.Numero == 0.0)
        PonerError(Izq, E_DIVISION);
    else
        PonerNumero(Izq, Izq.Numero / Der.Numero);
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

// A request with no callback installed: the engine answers it with Codigo and the name
// in Cadena, so that a host can show which name was not resolved.
inline void SinPeticion(const Nombre &N, int32_t Codigo, BLOQUEDEDATOS &R)
{
    CopiarNombre(N, R.Cadena);
    R.Error = Codigo;
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
