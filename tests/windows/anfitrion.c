/* A Windows host of either DLL, linked at load time through its import library: that it
 * links at all shows that the declarations of Parser.h and the import library agree. The
 * callbacks are declared exactly as a host writes them for each form. */
#include <stdio.h>
#include <string.h>

#include "Parser.h"

#if defined(EVALION_OBJETO)
static void EVALION_METODO Variable(void *Objeto, char *Nombre, BLOQUEDEDATOS *R)
{
    (void)Objeto;
    R->Tipo = TIPO_NUMERO;
    R->Numero = strcmp(Nombre, "x") == 0 ? 5.0 : 0.0;
}

#if defined(__i386__) /* the register convention pushes N first: R is declared before it */
static void EVALION_METODO Funcion(void *Objeto, char *Nombre, BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS *R,
                                   int32_t N)
#else /* 64-bit Windows: the parameters in order, after the object */
static void EVALION_METODO Funcion(void *Objeto, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                                   BLOQUEDEDATOS *R)
#endif
{
    (void)Objeto;
    (void)Nombre;
    R->Tipo = TIPO_NUMERO;
    R->Numero = N > 0 ? Parametros[0].Numero : 0.0;
}
#else
static void EVALION_CONV Variable(char *Nombre, BLOQUEDEDATOS *R)
{
    R->Tipo = TIPO_NUMERO;
    R->Numero = strcmp(Nombre, "x") == 0 ? 5.0 : 0.0;
}

static void EVALION_CONV Funcion(char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    (void)Nombre;
    R->Tipo = TIPO_NUMERO;
    R->Numero = N > 0 ? Parametros[0].Numero : 0.0;
}
#endif

int main(int argc, char **argv)
{
    ESTADODEANALISIS Estado;
    BLOQUEDEDATOS R;
    A_Inicializar(&Estado);
#if defined(EVALION_OBJETO)
    A_AsignarAlPedir(&Estado, Variable, &Estado, Funcion, &Estado);
#else
    A_AsignarAlPedir(&Estado, Variable, Funcion);
#endif
    A_AsignarSeparadores(&Estado, '\0', '\0');
    R = A_Analizar(&Estado, argc > 1 ? argv[1] : "f(x)+1");
    if (R.Error != 0) {
        printf("error %d at %d\n", (int)R.Error, (int)R.Posicion);
        return 1;
    }
    printf("%.15g\n", R.Numero);
    return 0;
}
