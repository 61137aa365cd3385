// Decimal digits of doubles, through exact conversions (MinGW's on Windows, the C++
// library's elsewhere) but never a locale's decimal point: the digits and the exponent are taken apart and put together by hand, so
// that a host that changed its locale (a "," point) reads and writes the same. Small and
// without allocation, for the standard library's 32-bit DLL as much as for the programs.
#ifndef EVALION_CIFRAS_H
#define EVALION_CIFRAS_H

#include <cstddef>

namespace Evalion {

// The digits of a finite Valor >= 0 rounded to Precision + 1 significant ones (at most
// 17), into Cifras (at least 18 bytes, no terminator), and the power of ten of the first;
// returns how many digits (Precision + 1).
int Descomponer(double Valor, int Precision, char *Cifras, int &Exponente);

// The fewest digits of a finite Valor >= 0 that read back as it, as Descomponer gives them.
int CifrasMasCortas(double Valor, char *Cifras, int &Exponente);

// The double nearest to the integer of the N digits of Cifras times 10^Exponente: an
// infinity beyond the largest, 0 below the smallest.
double LeerCifras(const char *Cifras, std::size_t N, long Exponente);

// Valor in general format, as printf's "%.15g" writes it in the C locale: up to 15
// significant digits, no trailing zeros, "." as the point; "INF", "-INF", "NAN", and 0 for a
// negative zero. Salida holds at least 32 bytes; returns the length, a NUL after it.
std::size_t EscribirNumero(double Valor, char *Salida);

} // namespace Evalion

#endif
