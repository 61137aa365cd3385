// A prepared form released at the end of its scope, for the tests of the prepared forms.
#ifndef EVALION_PRUEBAS_FORMULADEPRUEBA_H
#define EVALION_PRUEBAS_FORMULADEPRUEBA_H

#include "Formula.h"

namespace Pruebas {

struct Formula {
    FORMULAPREPARADA *F;
    explicit Formula(FORMULAPREPARADA *Preparada) : F(Preparada) {}
    Formula(const Formula &) = delete;
    Formula &operator=(const Formula &) = delete;
    ~Formula() { A_Liberar(F); }
};

} // namespace Pruebas

#endif
