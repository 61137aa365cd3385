/* A host of libevalion, the library with plain-function callbacks: it answers one
 * variable, IVA, evaluates a few expressions and prints each value or error. */
#include <stdio.h>
#include <string.h>

#include <evalion/Parser.h>

/* The engine asks for every name it meets. Known names fill R with a value; any other
 * is reported with an error code, which the engine hands back with the position. */
static void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    if (strcmp(Variable, "IVA") == 0) {
        R->Tipo = TIPO_NUMERO;
        R->Numero = 0.21;
    } else {
        R->Error = E_VARIABLE;
    }
}

static void Mostrar(ESTADODEANALISIS *Estado, const char *Expresion)
{
    const BLOQUEDEDATOS R = A_Analizar(Estado, Expresion);
    if (R.Error != 0)
        printf("%-22s error %d at position %d\n", Expresion, (int)R.Error, (int)R.Posicion);
    else if (R.Tipo == TIPO_CADENA)
        printf("%-22s \"%s\"\n", Expresion, R.Cadena);
    else
        printf("%-22s %.15g\n", Expresion, R.Numero);
}

int main(void)
{
    ESTADODEANALISIS Estado; /* the host owns the record; the engine keeps nothing */
    A_Inicializar(&Estado);  /* "," decimal, "." thousands, no callbacks */
    A_AsignarAlPedir(&Estado, PedirVariable, NULL);

    Mostrar(&Estado, "1.250 * (1 + IVA)");      /* 1512.5: "." groups thousands */
    Mostrar(&Estado, "IVA * 100 > 20");         /* 1: comparisons give 1 or 0 */
    Mostrar(&Estado, "\"IVA\" + \" incluido\""); /* a text */
    Mostrar(&Estado, "Precio * (1 + IVA)");     /* error 1000 at position 1 */
    Mostrar(&Estado, "\"IVA: \" + IVA");        /* error 700: a text and a number */
    Mostrar(&Estado, "max(1; 2)");              /* error 1100: no function callback */
    return 0;
}
