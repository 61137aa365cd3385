/* The rows of a prepared form (A_EvaluarFilas) through EvalionFormula.dll: row by row the
 * same bits, codes and positions as A_Evaluar with that row's number, for a cubic and for a
 * quotient that fails where its column is 0; then the time of the cubic
 * x*x*x+2*x*x-3*x+7 over 1,000,000 rows in one call, the best of 5 runs, with the form's
 * default options and with FORMULA_AJUSTES_DEL_ANFITRION, printed in nanoseconds per row.
 * Builds as well on Linux against libevalion-formula, for the same figure there.
 *   Filas [ROWS]     exits 0 when every row agrees */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
static double Segundos(void)
{
    LARGE_INTEGER Cuenta, Frecuencia;
    QueryPerformanceCounter(&Cuenta);
    QueryPerformanceFrequency(&Frecuencia);
    return (double)Cuenta.QuadPart / (double)Frecuencia.QuadPart;
}
#else
#include <time.h>
static double Segundos(void)
{
    struct timespec T;
    clock_gettime(CLOCK_MONOTONIC, &T);
    return (double)T.tv_sec + (double)T.tv_nsec * 1e-9;
}
#endif

#include "Formula.h"

static int Fallos = 0;

static void Verificar(int Cumple, const char *Que, int Fila)
{
    if (!Cumple && Fallos++ < 10)
        printf("FAILED: %s (row %d)\n", Que, Fila);
}

static int MismosBits(double A, double B) { return memcmp(&A, &B, sizeof A) == 0; }

/* Every row of Texto over Columna against A_Evaluar of the same form with x bound to the
 * row's number. */
static void Comparar(ESTADODEANALISIS *E, const char *Texto, const double *Columna, int Filas)
{
    FORMULAPREPARADA *F = A_Preparar(E, Texto, NULL);
    if (!F) {
        Verificar(0, "the form is prepared", 0);
        return;
    }
    double *Valores = malloc(sizeof(double) * (size_t)Filas);
    int32_t *Errores = malloc(sizeof(int32_t) * (size_t)Filas);
    int32_t *Posiciones = malloc(sizeof(int32_t) * (size_t)Filas);
    Verificar(A_VincularColumna(F, "x", Columna) > 0, "x is bound as a column", 0);
    const int32_t Fallidas = A_EvaluarFilas(F, E, Filas, Valores, Errores, Posiciones);
    int32_t Contadas = 0;
    for (int i = 0; i < Filas; ++i) {
        double X = Columna[i];
        A_Vincular(F, "x", &X);
        const BLOQUEDEDATOS R = A_Evaluar(F, E);
        Contadas += R.Error != 0;
        Verificar(Errores[i] == R.Error, "the row's code is A_Evaluar's", i);
        if (R.Error != 0) {
            Verificar(Posiciones[i] == R.Posicion, "the row's position is A_Evaluar's", i);
            Verificar(Valores[i] != Valores[i], "a failed row's value is a NaN", i);
        } else {
            Verificar(MismosBits(Valores[i], R.Numero), "the row's bits are A_Evaluar's", i);
        }
    }
    Verificar(Fallidas == Contadas, "A_EvaluarFilas counts the failed rows", Filas);
    printf("%-22s %d rows, %d failed, as A_Evaluar gives them\n", Texto, Filas, (int)Fallidas);
    A_Liberar(F);
    free(Valores);
    free(Errores);
    free(Posiciones);
}

/* ns per row of the cubic over Filas rows in one call, the best of 5. */
static double Medir(ESTADODEANALISIS *E, const double *Columna, double *Valores, int Filas, int Opciones)
{
    FORMULAPREPARADA *F = A_Preparar(E, "x*x*x+2*x*x-3*x+7", NULL);
    A_VincularColumna(F, "x", Columna);
    A_Opciones(F, Opciones);
    double Mejor = 1e300;
    for (int Vez = 0; Vez < 5; ++Vez) {
        const double Inicio = Segundos();
        const int32_t Fallidas = A_EvaluarFilas(F, E, Filas, Valores, NULL, NULL);
        const double Tiempo = Segundos() - Inicio;
        Verificar(Fallidas == 0, "no row of the cubic fails", Vez);
        if (Tiempo < Mejor)
            Mejor = Tiempo;
    }
    for (int i = 0; i < Filas; i += 997) {
        const double X = Columna[i];
        /* The language groups + and - from the right (doc/lenguaje.md). */
        Verificar(MismosBits(Valores[i], X * X * X + (2 * X * X - (3 * X + 7))), "the cubic's row is C's", i);
    }
    A_Liberar(F);
    return Mejor * 1e9 / Filas;
}

int main(int argc, char **argv)
{
    const int Filas = argc > 1 ? atoi(argv[1]) : 1000000;
    ESTADODEANALISIS E;
    A_Inicializar(&E);
    A_AsignarSeparadores(&E, ',', '.'); /* "," thousands, "." decimal, as C writes numbers */
    double *Columna = malloc(sizeof(double) * (size_t)Filas);
    double *Valores = malloc(sizeof(double) * (size_t)Filas);
    for (int i = 0; i < Filas; ++i)
        Columna[i] = (i % 7 == 0) ? 0.0 : (double)(i % 2001 - 1000) / 8.0 + 1.0 / 3.0;
    const int Comparadas = Filas < 20000 ? Filas : 20000;
    Comparar(&E, "x*x*x+2*x*x-3*x+7", Columna, Comparadas);
    Comparar(&E, "1/x + x^2", Columna, Comparadas);
    const double Propias = Medir(&E, Columna, Valores, Filas, 0);
    const double Anfitrion = Medir(&E, Columna, Valores, Filas, FORMULA_AJUSTES_DEL_ANFITRION);
    printf("x*x*x+2*x*x-3*x+7 over %d rows in one A_EvaluarFilas call: %.2f ns per row "
           "(FORMULA_AJUSTES_DEL_ANFITRION: %.2f)\n",
           Filas, Propias, Anfitrion);
    printf("%d failures\n", Fallos);
    free(Columna);
    free(Valores);
    return Fallos == 0 ? 0 : 1;
}
