/* What the engine's object in the Windows package takes from the C library, bound to
 * msvcrt.dll itself. Free Pascal's linker cannot take MinGW's own run time, and MinGW's
 * import library of msvcrt.dll leaves out the functions MinGW replaces (pow, modf reach the
 * DLL only through their import pointers) and those the old DLL lacks (strnlen, trunc). */
#include <stddef.h>

/* An import pointer's C name: its symbol is __imp_ before the function's symbol, which on
 * 32-bit Windows begins with the underscore every C name gets there; x86-64 adds none. */
#ifdef _WIN64
#define IMPORTADA(Nombre) __imp_##Nombre
#else
#define IMPORTADA(Nombre) _imp__##Nombre
#endif

extern double (*IMPORTADA(pow))(double, double);
extern double (*IMPORTADA(modf))(double, double *);

double pow(double Base, double Exponente) { return IMPORTADA(pow)(Base, Exponente); }

/* modf splits toward zero, infinities and not-a-number kept, as trunc does. */
double trunc(double Valor)
{
    double Entero;
    IMPORTADA(modf)(Valor, &Entero);
    return Entero;
}

size_t strnlen(const char *Texto, size_t Maximo)
{
    size_t Largo = 0;
    while (Largo < Maximo && Texto[Largo] != '\0')
        ++Largo;
    return Largo;
}
