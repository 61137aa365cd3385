#include "Cifras.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
// MinGW's exact conversions (David Gay's), which its own printf and strtod are built on;
// used directly, so that the standard library's DLL carries no printf.
extern "C" char *__dtoa(double Valor, int Modo, int Cifras, int *Punto, int *Signo, char **Fin);
extern "C" void __freedtoa(char *Texto);
#else
#include <charconv>
#endif

namespace Evalion {

namespace {

// "e" and the exponent, at least Minimo digits, a "+" before a positive one when Signo;
// returns the bytes written.
std::size_t EscribirExponente(long Exponente, char *Salida, int Minimo = 1, bool Signo = false)
{
    char Cifras[24];
    int N = 0;
    unsigned long Resto = Exponente < 0 ? 0UL - static_cast<unsigned long>(Exponente) : static_cast<unsigned long>(Exponente);
    do {
        Cifras[N++] = static_cast<char>('0' + Resto % 10);
        Resto /= 10;
    } while (Resto != 0 || N < Minimo);
    std::size_t L = 0;
    Salida[L++] = 'e';
    if (Exponente < 0 || Signo)
        Salida[L++] = Exponente < 0 ? '-' : '+';
    while (N > 0)
        Salida[L++] = Cifras[--N];
    return L;
}

#ifdef _WIN32
// Mode 0: the shortest digits that read back; mode 2: Cuantas digits, trailing zeros left out.
int Digitos(double Valor, int Modo, int Cuantas, char *Cifras, int &Exponente)
{
    int Punto = 0, Signo = 0;
    char *Fin = nullptr;
    char *Texto = __dtoa(Valor, Modo, Cuantas, &Punto, &Signo, &Fin);
    if (Texto == nullptr) { // out of memory in its big numbers: nothing better to give
        Cifras[0] = '0';
        Exponente = 0;
        return 1;
    }
    int N = static_cast<int>(Fin - Texto);
    std::memcpy(Cifras, Texto, static_cast<std::size_t>(N));
    __freedtoa(Texto);
    if (N == 0) // zero
        Cifras[N++] = '0', Punto = 1;
    for (; Modo == 2 && N < Cuantas; ++N)
        Cifras[N] = '0';
    Exponente = Punto - 1;
    return N;
}
#else
// d.ddde+X as its digits and X.
int Separar(const char *Escrito, const char *Fin, char *Cifras, int &Exponente)
{
    int N = 0;
    const char *c = Escrito;
    for (; c < Fin && *c != 'e'; ++c)
        if (*c != '.')
            Cifras[N++] = *c;
    Exponente = 0;
    if (c < Fin)
        std::from_chars(c + 1 + (c[1] == '+'), Fin, Exponente);
    return N;
}
#endif

} // namespace

int Descomponer(double Valor, int Precision, char *Cifras, int &Exponente)
{
#ifdef _WIN32
    return Digitos(Valor, 2, Precision + 1, Cifras, Exponente);
#else
    char Escrito[40];
    const std::to_chars_result R =
        std::to_chars(Escrito, Escrito + sizeof Escrito, Valor, std::chars_format::scientific, Precision);
    return Separar(Escrito, R.ptr, Cifras, Exponente);
#endif
}

int CifrasMasCortas(double Valor, char *Cifras, int &Exponente)
{
#ifdef _WIN32
    return Digitos(Valor, 0, 0, Cifras, Exponente);
#else
    char Escrito[40];
    const std::to_chars_result R = std::to_chars(Escrito, Escrito + sizeof Escrito, Valor, std::chars_format::scientific);
    return Separar(Escrito, R.ptr, Cifras, Exponente);
#endif
}

double LeerCifras(const char *Cifras, std::size_t N, long Exponente)
{
    while (N > 1 && *Cifras == '0') // leading zeros count for nothing
        ++Cifras, --N;
    char Texto[1100]; // the digits of any text a block holds, and an exponent
    if (N == 0 || N > sizeof Texto - 24)
        return 0;
    std::memcpy(Texto, Cifras, N);
    const std::size_t L = N + EscribirExponente(Exponente, Texto + N);
#ifdef _WIN32
    Texto[L] = '\0';
    return std::strtod(Texto, nullptr); // MinGW's own, exact; no point in the text for a locale to change
#else
    double Valor = 0;
    if (std::from_chars(Texto, Texto + L, Valor).ec == std::errc::result_out_of_range) // the infinity or zero
        return static_cast<long>(N) + Exponente > 0 ? HUGE_VAL : 0;
    return Valor;
#endif
}

std::size_t EscribirNumero(double Valor, char *Salida)
{
    std::size_t L = 0;
    const auto Poner = [&](const char *Texto) {
        while (*Texto)
            Salida[L++] = *Texto++;
    };
    if (std::isnan(Valor) || std::isinf(Valor)) {
        Poner(std::isnan(Valor) ? "NAN" : Valor > 0 ? "INF" : "-INF");
        Salida[L] = '\0';
        return L;
    }
    if (Valor < 0)
        Salida[L++] = '-';
    char Cifras[18];
    int Exponente = 0;
    int N = Valor == 0 ? (Cifras[0] = '0', 1) : Descomponer(std::fabs(Valor), 14, Cifras, Exponente);
    while (N > 1 && Cifras[N - 1] == '0')
        --N;
    if (Exponente < -4 || Exponente >= 15) { // d.ddde+XX, as printf writes it
        Salida[L++] = Cifras[0];
        if (N > 1)
            Salida[L++] = '.';
        for (int i = 1; i < N; ++i)
            Salida[L++] = Cifras[i];
        L += EscribirExponente(Exponente, Salida + L, 2, true); // e+20, e-05, as printf
        Salida[L] = '\0';
        return L;
    }
    if (Exponente < 0) {
        Poner("0.");
        for (int i = -1; i > Exponente; --i)
            Salida[L++] = '0';
        for (int i = 0; i < N; ++i)
            Salida[L++] = Cifras[i];
    } else {
        for (int i = 0; i <= Exponente; ++i)
            Salida[L++] = i < N ? Cifras[i] : '0';
        if (N > Exponente + 1)
            Salida[L++] = '.';
        for (int i = Exponente + 1; i < N; ++i)
            Salida[L++] = Cifras[i];
    }
    Salida[L] = '\0';
    return L;
}

} // namespace Evalion
