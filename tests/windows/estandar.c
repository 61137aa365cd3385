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
    if (!A_EstandarVariable("pi", &R) || R.Numero != 3.141592653589793)
        ++Fallos;
    Argumento.Tipo = TIPO_CADENA;
    strcpy(Argumento.Cadena, "12.5");
    if (!A_EstandarFuncion("Valor", &Argumento, 1, &R) || R.Numero != 12.5)
        ++Fallos;
    if (A_Mensaje(E_VARIABLE) == NULL || strcmp(A_Mensaje(E_VARIABLE), "Se esperaba una variable en la posici\xF3n ") != 0)
        ++Fallos;
    printf("%d wrong answers\n", Fallos);
    return Fallos == 0 ? 0 : 1;
}
