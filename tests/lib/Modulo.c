/* A C module of the plain callback form, for a program whose other part uses the object
 * form: it analyses and prepares with its own variable x = 2. */
#include "Formula.h"
#include "Parser.h"

#include <string.h>

double ModuloAnalizar(const char *Expresion);
double ModuloEvaluar(const char *Expresion);

static void Variable(char *Nombre, BLOQUEDEDATOS *R)
{
    if (strcmp(Nombre, "x") == 0) {
        R->Numero = 2;
        R->Tipo = TIPO_NUMERO;
    } else {
        R->Error = E_VARIABLE;
    }
}

static void Preparar(ESTADODEANALISIS *Estado)
{
    A_Inicializar(Estado);
    A_AsignarAlPedir(Estado, Variable, NULL);
}

/* The value, or -1 for an error. */
double ModuloAnalizar(const char *Expresion)
{
    ESTADODEANALISIS Estado;
    Preparar(&Estado);
    const BLOQUEDEDATOS R = A_Analizar(&Estado, Expresion);
    return R.Error ? -1 : R.Numero;
}

double ModuloEvaluar(const char *Expresion)
{
    ESTADODEANALISIS Estado;
    Preparar(&Estado);
    FORMULAPREPARADA *Formula = A_Preparar(&Estado, Expresion, NULL);
    const BLOQUEDEDATOS R = A_Evaluar(Formula, &Estado);
    A_Liberar(Formula);
    return R.Error ? -1 : R.Numero;
}
