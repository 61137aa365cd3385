// Correctly rounded decimal to double, for the literals too long to convert on the way.
//
// Exact arithmetic on integers of a few thousand bits: the value is digits / 10^decimals;
// the quotient is taken to 55 bits, with a bit that says whether anything was left over,
// and rounded once, so the result is the nearest double (ties to even) whatever the
// length of the literal and whatever the C locale. It needs nothing of the C++ run time,
// which the 32-bit Windows libraries do without.
#include <cmath>
#include <cstring>

#include "Motor.h"

namespace Motor {

namespace {

// Beyond these powers of ten a literal is infinity or zero without arithmetic: a value of
// at least 10^310 is above the largest double, one below 10^-326 under half the smallest.
constexpr long ORDEN_MAXIMO = 310;
constexpr long ORDEN_MINIMO = -326;

// Room for 10^1024 shifted left by 56 bits, the largest number the division meets, and a
// word for the shift to spill into.
constexpr int PALABRAS = 112;

constexpr uint32_t POTENCIAS[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// A non-negative integer in 32-bit words, least significant first.
struct Entero {
    uint32_t Palabra[PALABRAS];
    int Largo; // words in use; the top one is not 0
};

void Normalizar(Entero &E)
{
    while (E.Largo > 0 && E.Palabra[E.Largo - 1] == 0)
        --E.Largo;
}

void MultiplicarSumar(Entero &E, uint32_t Factor, uint32_t Suma)
{
    uint64_t Acarreo = Suma;
    for (int i = 0; i < E.Largo; ++i) {
        Acarreo += static_cast<uint64_t>(E.Palabra[i]) * Factor;
        E.Palabra[i] = static_cast<uint32_t>(Acarreo);
        Acarreo >>= 32;
    }
    if (Acarreo != 0)
        E.Palabra[E.Largo++] = static_cast<uint32_t>(Acarreo);
}

// E = E * 10^Cuantos + the integer that the digits D[0..Cuantos) spell, nine at a time.
void AgregarDigitos(Entero &E, const char *D, size_t Cuantos)
{
    while (Cuantos > 0) {
        const size_t Tramo = Cuantos < 9 ? Cuantos : 9;
        uint32_t Valor = 0;
        for (size_t i = 0; i < Tramo; ++i)
            Valor = Valor * 10 + static_cast<uint32_t>(D[i] - '0');
        MultiplicarSumar(E, POTENCIAS[Tramo], Valor);
        D += Tramo;
        Cuantos -= Tramo;
    }
}

int BitsDe(uint64_t Valor)
{
    int Bits = 0;
    for (; Valor != 0; Valor >>= 1)
        ++Bits;
    return Bits;
}

int Bits(const Entero &E) { return E.Largo == 0 ? 0 : 32 * (E.Largo - 1) + BitsDe(E.Palabra[E.Largo - 1]); }

void DesplazarIzquierda(Entero &E, int Cuanto)
{
    if (E.Largo == 0 || Cuanto == 0)
        return;
    const int Palabras = Cuanto / 32, Resto = Cuanto % 32;
    E.Palabra[E.Largo] = 0;
    for (int i = E.Largo; i >= 0; --i) {
        const uint32_t Bajo = (i > 0 && Resto != 0) ? E.Palabra[i - 1] >> (32 - Resto) : 0;
        E.Palabra[i + Palabras] = (E.Palabra[i] << Resto) | Bajo;
    }
    std::memset(E.Palabra, 0, sizeof E.Palabra[0] * static_cast<size_t>(Palabras));
    E.Largo += Palabras + 1;
    Normalizar(E);
}

void DividirEntreDos(Entero &E)
{
    for (int i = 0; i < E.Largo; ++i)
        E.Palabra[i] = (E.Palabra[i] >> 1) | (i + 1 < E.Largo ? E.Palabra[i + 1] << 31 : 0);
    Normalizar(E);
}

bool MayorOIgual(const Entero &A, const Entero &B)
{
    if (A.Largo != B.Largo)
        return A.Largo > B.Largo;
    for (int i = A.Largo - 1; i >= 0; --i)
        if (A.Palabra[i] != B.Palabra[i])
            return A.Palabra[i] > B.Palabra[i];
    return true;
}

void Restar(Entero &A, const Entero &B) // A >= B
{
    int64_t Prestamo = 0;
    for (int i = 0; i < A.Largo; ++i) {
        Prestamo += static_cast<int64_t>(A.Palabra[i]) - (i < B.Largo ? B.Palabra[i] : 0);
        A.Palabra[i] = static_cast<uint32_t>(Prestamo);
        Prestamo = Prestamo < 0 ? -1 : 0;
    }
    Normalizar(A);
}

// floor(X / Divisor) for a quotient below 2^55; X keeps the remainder, Divisor is spent.
uint64_t Dividir(Entero &X, Entero &Divisor)
{
    constexpr int BITS_COCIENTE = 55;
    DesplazarIzquierda(Divisor, BITS_COCIENTE);
    uint64_t Cociente = 0;
    for (int i = 0; i <= BITS_COCIENTE; ++i) {
        Cociente <<= 1;
        if (MayorOIgual(X, Divisor)) {
            Restar(X, Divisor);
            Cociente |= 1;
        }
        DividirEntreDos(Divisor);
    }
    return Cociente;
}

// The double m * 2^Exponente, where m <= 2^53 and either m >= 2^52 and Exponente >= -1074
// (a normal number) or Exponente is -1074 (a subnormal). Its bits are then exactly this
// sum, carries into the exponent included; from the exponent of infinity up, infinity.
double Componer(uint64_t m, long Exponente)
{
    constexpr uint64_t INFINITO = 0x7FF0000000000000u;
    const long Sesgado = Exponente + 1074;
    uint64_t Bits = Sesgado > 2046 ? INFINITO : (static_cast<uint64_t>(Sesgado) << 52) + m;
    if (Bits > INFINITO)
        Bits = INFINITO;
    double Valor;
    std::memcpy(&Valor, &Bits, sizeof Valor);
    return Valor;
}

} // namespace

double ValorDecimal(const char *Entero_, size_t LargoEntero, const char *Decimales, size_t LargoDecimales)
{
    while (LargoEntero > 0 && *Entero_ == '0') {
        ++Entero_;
        --LargoEntero;
    }
    size_t Ceros = 0; // zeros that open the decimals of a number below 1
    if (LargoEntero == 0)
        while (Ceros < LargoDecimales && Decimales[Ceros] == '0')
            ++Ceros;
    if (LargoEntero + LargoDecimales == Ceros)
        return 0.0;
    // The value lies in [10^(Orden-1), 10^Orden).
    const long Orden = LargoEntero > 0 ? static_cast<long>(LargoEntero) : -static_cast<long>(Ceros);
    if (Orden > ORDEN_MAXIMO)
        return HUGE_VAL;
    if (Orden < ORDEN_MINIMO)
        return 0.0;

    Entero X{{}, 0}, Divisor{{1}, 1};
    AgregarDigitos(X, Entero_, LargoEntero);
    AgregarDigitos(X, Decimales + Ceros, LargoDecimales - Ceros);
    for (size_t Resto = LargoDecimales; Resto > 0; Resto -= Resto < 9 ? Resto : 9)
        MultiplicarSumar(Divisor, POTENCIAS[Resto < 9 ? Resto : 9], 0);

    // X / Divisor lies in (2^(k-1), 2^(k+1)) for k the difference of their bit lengths;
    // scaled by 2^Escala the quotient has 54 or 55 bits.
    const int Escala = 54 - (Bits(X) - Bits(Divisor));
    if (Escala > 0)
        DesplazarIzquierda(X, Escala);
    else
        DesplazarIzquierda(Divisor, -Escala);
    const uint64_t Cociente = Dividir(X, Divisor);
    const bool Sobra = X.Largo != 0;

    // Keep 53 bits, fewer for a subnormal, and round what is dropped to nearest, ties to even.
    const int Largo = BitsDe(Cociente);
    const long Exponente = Largo - 1 - Escala; // the value lies in [2^Exponente, 2^(Exponente+1))
    const long Precision = Exponente >= -1022 ? 53 : Exponente + 1075;
    const long Fuera = Largo - Precision;
    if (Fuera > 56)
        return 0.0; // below a quarter of the smallest subnormal
    uint64_t m = Cociente >> Fuera;
    const uint64_t Resto = Cociente & ((uint64_t{1} << Fuera) - 1), Mitad = uint64_t{1} << (Fuera - 1);
    if (Resto > Mitad || (Resto == Mitad && (Sobra || (m & 1) != 0)))
        ++m;
    return Componer(m, Fuera - Escala);
}

// The literal as the lexer collected it: digits, points, and nothing else.
double ConvertirNumero(const char *Texto, size_t Largo)
{
    // The longest valid prefix: digits, at most one point, digits; leading zeros dropped.
    const char *Fin = Texto + Largo, *p = Texto;
    const char *Digitos[2] = {nullptr, nullptr}; // the integer digits, then the decimals
    size_t Cuantos[2] = {0, 0};
    for (int Parte = 0; Parte < 2; ++Parte) {
        Digitos[Parte] = p;
        while (p < Fin && (*p >= '0' && *p <= '9'))
            ++p;
        Cuantos[Parte] = static_cast<size_t>(p - Digitos[Parte]);
        if (p == Fin || *p != '.')
            break;
        ++p;
    }
    return ValorDecimal(Digitos[0], Cuantos[0], Digitos[1], Cuantos[1]);
}

} // namespace Motor
