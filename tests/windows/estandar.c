/* A Windows host of EvalionEstandar.dll, linked at load time through its import library, as
 * a host calls it from its own requests. Exits with 0 when every answer is right. */
#include <stdio.h>
#include <string.h>

#include "Estandar.h"

int main(void)
{
    BLOQUEDEDATOS Argumento, R;
    int Fallos = 0;
    memset(&Argumento, 0, sizeof Argumento);
    Argumento.Tipo = TIPO_NUMERO;
    Argumento.Numero = 2.25;
    if (!A_EstandarFuncion("RAIZ", &Argumento, 1, &R) || R.Error != 0 || R.Numero != 1.5)
        ++Fallos;
    if (A_EstandarFuncion("Dolar", &Argumento, 1, &R) != 0)
        ++Fallos;
    /* Raiz's machine code in a form; si only where its C code returns a double whole (x86-64) */
#if defined(_WIN64)
    if (A_EstandarMarcas("raiz", 1) != 0x1000 || A_EstandarMarcas("si", 3) != 0x3100 || A_EstandarNativa("si", 3 | 0x100) == NULL)
        ++Fallos;
#else
    if (A_EstandarMarcas("raiz", 1) != 0x1000 || A_EstandarMarcas("si", 3) != 0 || A_EstandarNativa("si", 3 | 0x100) != NULL)
        ++Fallos;
#endif
    if (!A_EstandarVariable("pi", &R) || R.Numero != 3.141592653589793)
        ++Fallos;
    Argumento.Tipo = TIPO_CADENA;
    strcpy(Argumento.Cadena, "12.5");
    if (!A_EstandarFuncion("Valor", &Argumento, 1, &R) || R.Numero != 12.5)
        ++Fallos;
    {
        /* The number texts go through MinGW's conversions in the DLL: each row, then Texto
         * of many doubles against this program's own printf. */
        static const struct {
            const char *Funcion;
            double Numero;
            const char *Texto;
            int Decimales; /* Redondear's second argument; 0: a function of one */
            double Esperado;
            const char *Escrito;
        } Filas[] = {
            {"Texto", 1.0 / 3, NULL, 0, 0, "0.333333333333333"}, {"Texto", 1e20, NULL, 0, 0, "1e+20"},
            {"Texto", 0.00001, NULL, 0, 0, "1e-05"}, {"Texto", -2.5, NULL, 0, 0, "-2.5"},
            {"Valor", 0, " -3e2 ", 0, -300, NULL}, {"Valor", 0, ".5", 0, 0.5, NULL},
            {"Valor", 0, "1e999", 0, 1e308 * 10, NULL}, {"Redondear", 2.675, NULL, 2, 2.68, NULL},
            {"Redondear", 123456789012.3456, NULL, 4, 123456789012.3456, NULL},
        };
        unsigned long long Bits = 2026;
        size_t i;
        int k;
        for (i = 0; i < sizeof Filas / sizeof Filas[0]; ++i) {
            BLOQUEDEDATOS P[2];
            memset(P, 0, sizeof P);
            P[0].Tipo = Filas[i].Texto ? TIPO_CADENA : TIPO_NUMERO;
            P[0].Numero = Filas[i].Numero;
            if (Filas[i].Texto)
                strcpy(P[0].Cadena, Filas[i].Texto);
            P[1].Tipo = TIPO_NUMERO;
            P[1].Numero = Filas[i].Decimales;
            if (!A_EstandarFuncion(Filas[i].Funcion, P, Filas[i].Decimales ? 2 : 1, &R) ||
                R.Error != 0 || (Filas[i].Escrito ? strcmp(R.Cadena, Filas[i].Escrito) != 0 : R.Numero != Filas[i].Esperado)) {
                printf("wrong: %s row %u\n", Filas[i].Funcion, (unsigned)i);
                ++Fallos;
            }
        }
        for (k = 0; k < 20000; ++k) {
            char Esperado[40];
            double Valor;
            Bits = Bits * 6364136223846793005ULL + 1442695040888963407ULL;
            memcpy(&Valor, &Bits, sizeof Valor);
            if (Valor != Valor || Valor - Valor != 0 || Valor == 0)
                continue;
            Argumento.Tipo = TIPO_NUMERO;
            Argumento.Numero = Valor;
            __mingw_snprintf(Esperado, sizeof Esperado, "%.15g", Valor);
            if (!A_EstandarFuncion("Texto", &Argumento, 1, &R) || strcmp(R.Cadena, Esperado) != 0) {
                printf("wrong: Texto(%s) gave %s\n", Esperado, R.Cadena);
                ++Fallos;
                break;
            }
        }
    }
    {
        /* The C code for prepared forms (cdecl) against the handler, bit for bit, on sums
         * whose x87 intermediates would round otherwise in registers wider than a double. */
        static const double Valores[] = {1e16, 1, -1e16, 0.1, 3, -0.0, 1e308, 2.5};
        typedef double (*TRES)(double, double, double);
        typedef double (*CUATRO)(double, double, double, double);
        typedef double (*UNA)(double);
        const TRES Suma = (TRES)A_EstandarNativa("suma", 3);
        const CUATRO Promedio = (CUATRO)A_EstandarNativa("Promedio", 4);
        const UNA Raiz = (UNA)A_EstandarNativa("Raiz", 1);
        const double *Pi = A_EstandarConstante("PI");
        size_t i, j;
        if (Suma == NULL || Promedio == NULL || Raiz == NULL || Pi == NULL || *Pi != 3.141592653589793 ||
            A_EstandarNativa("Texto", 1) != NULL || A_EstandarConstante("Tau") != NULL)
            ++Fallos;
        for (i = 0; Suma != NULL && Promedio != NULL && Raiz != NULL && i < 8; ++i)
            for (j = 0; j < 8; ++j) {
                BLOQUEDEDATOS P[4];
                double a = Valores[i], b = Valores[j], c = Valores[(i + j) % 8], Nativo;
                memset(P, 0, sizeof P);
                P[0].Numero = a, P[1].Numero = b, P[2].Numero = c, P[3].Numero = a;
                P[0].Tipo = P[1].Tipo = P[2].Tipo = P[3].Tipo = TIPO_NUMERO;
                A_EstandarFuncion("Suma", P, 3, &R);
                Nativo = Suma(a, b, c);
                Fallos += memcmp(&Nativo, &R.Numero, sizeof Nativo) != 0;
                A_EstandarFuncion("Promedio", P, 4, &R);
                Nativo = Promedio(a, b, c, a);
                Fallos += memcmp(&Nativo, &R.Numero, sizeof Nativo) != 0;
                A_EstandarFuncion("Raiz", P + 2, 1, &R);
                Nativo = Raiz(c);
                Fallos += memcmp(&Nativo, &R.Numero, sizeof Nativo) != 0;
            }
    }
    if (A_Mensaje(E_VARIABLE) == NULL || strcmp(A_Mensaje(E_VARIABLE), "Se esperaba una variable en la posici\xF3n ") != 0)
        ++Fallos;
    printf("%d wrong answers\n", Fallos);
    return Fallos == 0 ? 0 : 1;
}
