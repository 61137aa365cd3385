/* What the engine's object in the 32-bit Windows package takes from the C library, bound
 * to msvcrt.dll itself. Free Pascal's linker cannot take MinGW's own run time, and MinGW's
 * import library of msvcrt.dll leaves out the functions MinGW replaces (pow, modf reach the
 * DLL only through their import pointers) and those the old DLL lacks (strnlen, trunc). */
#include <stddef.h>

extern double (*_imp__pow)(double, double);
extern double (*_imp__modf)(double, double *);

double pow(double Base, double Exponente) { return _imp__pow(Base, Exponente); }

/* modf splits toward zero, infinities and not-a-number kept, as trunc does. */
double trunc(double Valor)
{
    double Entero;
    _imp__modf(Valor, &Entero);
    return Entero;
}

size_t strnlen(const char *Texto, size_t Maximo)
{
    size_t Largo = 0;
    while (Largo < Maximo && Texto[Largo] != '\0')
        ++Largo;
    return Largo;
}
