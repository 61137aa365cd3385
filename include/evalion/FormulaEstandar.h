/*
 * The standard library inside a prepared form: its functions of numbers bound to their C code
 * and its constants bound to their numbers, so that the form computes them in its own steps
 * (and machine code, and rows in blocks) without asking the host. For a host that links both
 * libevalion-formula (or -formulaobj) and libevalion-estandar.
 */
#ifndef EVALION_FORMULA_ESTANDAR_H
#define EVALION_FORMULA_ESTANDAR_H

#include "Estandar.h"
#include "Formula.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Asked for each name before it is bound (Argumentos -1 for a variable, else the count of
 * arguments of the call): nonzero when the host answers that name itself, which then stays
 * as it is. Datos is what the host passed to A_VincularEstandar. */
typedef int32_t (*ESTANDAR_PROPIO)(void *Datos, const char *Nombre, int32_t Argumentos);

/* Binds every name of the form that the standard library computes as a number: each call of
 * a function of numbers with a count it takes (1 to 4) to A_EstandarNativa's code (through
 * A_VincularFuncion), each constant (Pi, E) to A_EstandarConstante's number (through
 * A_Vincular), with the bits A_EstandarMarcas gives; evaluations then give what a host
 * answering those names with A_EstandarFuncion and A_EstandarVariable gets, with no request
 * (si too on x86-64, whose calls with a text argument stay the host's requests). Names for
 * which Propio (when not NULL) returns nonzero are skipped; so are the rest of the standard
 * library (the texts' functions, Texto, other counts), which a host answers through its
 * requests.
 * Returns how many names it bound; FORMULA_EN_CURSO, with what was bound until then, when
 * the form is being evaluated; 0 for a NULL form. */
static inline int32_t A_VincularEstandar(FORMULAPREPARADA *Formula, ESTANDAR_PROPIO Propio, void *Datos)
{
    int32_t Vinculados = 0;
    int32_t Argumentos;
    int32_t k;
    const char *Nombre;
    for (k = 0; (Nombre = A_Nombre(Formula, k, &Argumentos)) != NULL; ++k) {
        const double *Constante = Argumentos < 0 ? A_EstandarConstante(Nombre) : NULL;
        const int32_t Marcas = Argumentos < 0 ? 0 : A_EstandarMarcas(Nombre, Argumentos);
        const ESTANDAR_NATIVA Nativa =
            Argumentos < 0 ? NULL
                           : A_EstandarNativa(Nombre, Argumentos | (Marcas & FORMULA_TEXTO_AL_ANFITRION ? ESTANDAR_CON_TEXTOS : 0));
        int32_t Usos;
        if ((Constante == NULL && Nativa == NULL) || (Propio != NULL && Propio(Datos, Nombre, Argumentos) != 0))
            continue;
        Usos = Constante != NULL ? A_Vincular(Formula, Nombre, Constante)
                                 : A_VincularFuncion(Formula, Nombre, Argumentos | Marcas, (FORMULA_NATIVA)Nativa);
        if (Usos == FORMULA_EN_CURSO)
            return FORMULA_EN_CURSO;
        Vinculados += Usos > 0;
    }
    return Vinculados;
}

#ifdef __cplusplus
}
#endif

#endif /* EVALION_FORMULA_ESTANDAR_H */
