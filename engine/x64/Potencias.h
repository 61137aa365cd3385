// The powers the machine code computes itself rather than call pow for (Emisor.cpp): x^2, x^3,
// x^-1 and x^0,5.
#ifndef EVALION_X64_POTENCIAS_H
#define EVALION_X64_POTENCIAS_H

#include "Escritor.h"

#if EVALION_ENSAMBLADO
namespace Motor {
namespace {

// A power as the steps compute it, for the code to call.
EVALION_NOINLINE double ElevarEnCodigo(double Base, double Exponente) { return Elevar(Base, Exponente); }

// Whether the processor has FMA and pow's error is glibc's (2.28 on) bound: the powers that are
// a product, a quotient or a root may then be checked here rather than called.
bool PotenciaConFma()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// A power is pow's double, which the code calls for. But the powers a text most often has, x^2,
// x^3, x^-1 and x^0,5, are first computed here as a product, a quotient or a square root, with
// its exact error from fused operations: when the value is far enough from the middle between
// two doubles, it is the correctly rounded power, and pow gives that same double; else (and
// for a zero, an infinity, a not-a-number, a value near the ends of the range) pow decides.
// How far is enough is pow's own error bound: glibc's pow (2.28 on) errs by at most 0.511
// units in the last place, plus 1.5 * 2^-68 of the logarithm of its value, relative, which is
// under 0.513 units for values from 2^-64 to 2^64 and under 0.546 for any; the values are taken
// at 0.48 and 0.45 units from the double. Elsewhere, or without FMA, every power is called.
//
// Writes the power's value into xmm15 from the base in register x, one evaluation's (scalar)
// or two rows' (packed), then a test whose flags say, for the jcc that follows, whether pow
// must decide (one evaluation: SI_NO_MAYOR; rows: SI_DISTINTO, which rows in eax's two bits).
// Uses xmm12 to xmm15.
inline void EscribirPotenciaRapida(Escritor &E, Constantes &K, bool Filas, double k, uint8_t x)
{
    const uint8_t Forma = Filas ? EMPAQUETADO : ESCALAR;
    const auto Operar = [&](uint8_t Codigo, uint8_t R, const Lugar &L, int Inmediato = -1) {
        E.Sse(Forma, Codigo, R, L, Inmediato);
    };
    const uint8_t V = XMM_VALOR, D = XMM_DATO, U = Filas ? 12 : 13, W = Filas ? 13 : 12;
    const uint8_t Escalar = Filas ? 0 : 1; // the FMA opcodes' scalar forms are the next ones
    const auto Mover = [&](uint8_t a, uint8_t b) { E.Sse(EMPAQUETADO, MOVAPD, a, EnRegistro(b)); };
    const auto Constante = [&](double d) { return Lugar{Lugar::CONSTANTE, 0, K.Numero(d), nullptr}; };
    const auto Mascara = [&](uint64_t b) { return Lugar{Lugar::CONSTANTE, 0, K.Agregar(b), nullptr}; };
    // T = how far from R its power may be: 0.45 units in the last place of R (of the lower
    // binade where R is a power of two: R * (1 - 2^-53) falls into it), 0.03 more from 2^-64
    // to 2^64, none below 2^-920 or for no finite number (pow decides). Scaled by 2^-100,
    // so that those small ones are subnormal, with no exponent. Changes W.
    const auto Umbral = [&](uint8_t T, uint8_t R) {
        Mover(T, R);
        Operar(MUL, T, Constante((1.0 - 0x1p-53) * 0x1p-100));
        E.Sse(EMPAQUETADO, AND, T, Mascara(0x7FF0000000000000));
        Mover(W, T);
        Operar(CMP, W, Constante(0x1p-164), CMP_NO_MENOR);
        E.Sse(EMPAQUETADO, AND, W, EnRegistro(T));
        Operar(MIN, W, Constante(0x1p-37));
        Operar(MUL, T, Constante(0.45 * 0x1p-52 * 0x1p100));
        Operar(MUL, W, Constante(0.03 * 0x1p-52 * 0x1p100));
        Operar(ADD, T, EnRegistro(W));
    };
    uint8_t Residuo = D, Limite = U, Valor = V;
    if (k == 2.0) { // V = x*x, D = x*x - V
        Mover(V, x);
        Operar(MUL, V, EnRegistro(x));
        Mover(D, V);
        E.Fma(FMSUB231 + Escalar, D, x, x);
        Umbral(U, V);
    } else if (k == 3.0) {
        // x*x = p + e, p*x = h + l: x^3 = h + (l + e*x), the sum rounded to D, V what remains
        Mover(V, x);
        Operar(MUL, V, EnRegistro(x));
        Mover(D, V);
        E.Fma(FMSUB231 + Escalar, D, x, x);
        Mover(U, V);
        Operar(MUL, U, EnRegistro(x));
        E.Fma(FMSUB213 + Escalar, V, x, U);
        E.Fma(FMADD231 + Escalar, V, D, x);
        Mover(D, U);
        Operar(ADD, D, EnRegistro(V));
        Operar(SUB, U, EnRegistro(D));
        Operar(ADD, V, EnRegistro(U)); // exact but for a rounding of 2^-53 of itself, inside the margin
        Umbral(U, D);
        Residuo = V, Valor = D;
    } else if (k == -1.0) { // V = 1/x, D = V*x - 1; the error of V is D/x
        E.Sse(EMPAQUETADO, MOVAPD, V, Constante(1.0));
        Operar(DIV, V, EnRegistro(x));
        Umbral(U, V);
        Operar(MUL, U, EnRegistro(x));
        E.Sse(EMPAQUETADO, AND, U, Mascara(0x7FFFFFFFFFFFFFFF));
        E.Sse(EMPAQUETADO, MOVAPD, D, Constante(1.0));
        E.Fma(FMSUB231 + Escalar, D, V, x);
    } else { // V = sqrt(x), D = x - V*V; the error of V is D/2V
        Operar(SQRT, V, EnRegistro(x));
        Umbral(U, V);
        Operar(MUL, U, EnRegistro(V));
        Operar(ADD, U, EnRegistro(U));
        Mover(D, x);
        E.Fma(FNMADD231 + Escalar, D, V, V);
    }
    E.Sse(EMPAQUETADO, AND, Residuo, Mascara(0x7FFFFFFFFFFFFFFF));
    if (Filas) { // a row not under its limit (or a not-a-number) calls, its bit in eax
        E.Sse(EMPAQUETADO, CMP, Residuo, EnRegistro(Limite), CMP_NO_MENOR);
        E.ProbarMascara(Residuo);
    } else {
        E.Sse(EMPAQUETADO, UCOMISD, Limite, EnRegistro(Residuo));
    }
    if (Valor != XMM_VALOR) // (a move keeps the flags)
        Mover(XMM_VALOR, Valor);
}

} // namespace
} // namespace Motor
#endif

#endif
