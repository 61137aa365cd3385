/* A host of libevalionobj, the library whose callbacks are (function, object) pairs:
 * the engine passes the object back as the first argument, so the callbacks can reach
 * the host's own data without any global. */
#ifndef EVALION_OBJETO /* Evalion::evalionobj and evalionobj.pc define it already */
#define EVALION_OBJETO
#endif

#include <stdio.h>
#include <string.h>

#include <evalion/Parser.h>

struct Tienda {
    double Iva;
    int Peticiones; /* how many requests this host answered */
};

static void EVALION_CONV PedirVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    struct Tienda *Datos = (struct Tienda *)Objeto;
    Datos->Peticiones++;
    if (strcmp(Variable, "IVA") == 0) {
        R->Tipo = TIPO_NUMERO;
        R->Numero = Datos->Iva;
    } else {
        R->Error = E_VARIABLE;
    }
}

/* Max(a; b; ...): the largest of its numeric arguments (there is always at least one). */
static void EVALION_CONV PedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                      BLOQUEDEDATOS *R)
{
    struct Tienda *Datos = (struct Tienda *)Objeto;
    int32_t i;
    Datos->Peticiones++;
    if (strcmp(Funcion, "Max") != 0) {
        R->Error = E_FUNCION;
        return;
    }
    R->Tipo = TIPO_NUMERO;
    R->Numero = Parametros[0].Numero;
    for (i = 0; i < N; ++i) {
        if (!(Parametros[i].Tipo & TIPO_NUMERO)) {
            R->Error = E_INCOMPATIBLES;
            return;
        }
        if (Parametros[i].Numero > R->Numero)
            R->Numero = Parametros[i].Numero;
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
    struct Tienda Datos = {0.21, 0};
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, PedirVariable, &Datos, PedirFuncion, &Datos);

    Mostrar(&Estado, "Max(3; 40 * IVA; 7)"); /* 8.4 */
    Mostrar(&Estado, "Max(1; \"dos\")");     /* error 700 at position 1, the name */
    Mostrar(&Estado, "Min(1; 2)");           /* error 1100 at position 1 */
    printf("requests answered: %d\n", Datos.Peticiones);
    return 0;
}
