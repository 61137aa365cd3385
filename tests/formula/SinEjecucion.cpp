// A system that refuses executable memory (a policy such as SELinux's execmem): this program
// defines mprotect itself, which the libraries' calls then reach, and refuses every request
// for PROT_EXEC. A form then evaluates through its steps with the same answers, and asks the
// system once, not again at every binding or call across rows.
#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <sys/mman.h>
#include <vector>

#include "FormulaDePrueba.h"

namespace {
int Intentos; // requests for executable pages
} // namespace

extern "C" int mprotect(void *Direccion, size_t Largo, int Proteccion)
{
    if (Proteccion & PROT_EXEC) {
        ++Intentos;
        errno = EACCES;
        return -1;
    }
    using Original = int (*)(void *, size_t, int);
    static const Original Sistema = reinterpret_cast<Original>(dlsym(RTLD_NEXT, "mprotect"));
    return Sistema(Direccion, Largo, Proteccion);
}

TEST(Paginas, RefusedOnceThenTheSteps)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    for (const char *Texto : {"x*2+1", "x*x*x+2*x*x-3*x+7", "x^2+x^0,5"}) {
        SCOPED_TRACE(Texto);
        Pruebas::Formula P(A_Preparar(&Estado, Texto, nullptr));
        double x = 3;
        A_Vincular(P.F, "x", &x);
        const double Esperado = A_Evaluar(P.F, &Estado).Numero;
        Intentos = 0;
        A_Opciones(P.F, FORMULA_AJUSTES_DEL_ANFITRION); // asks for the form's code: refused
        std::vector<double> X(70000, 3), Valores(70000);
        for (int Vez = 0; Vez < 100; ++Vez) {
            A_Vincular(P.F, "x", &x);
            double Numero = 0;
            EXPECT_EQ(A_EvaluarNumero(P.F, &Estado, &Numero), 0);
            EXPECT_EQ(Numero, Esperado);
            EXPECT_EQ(A_ValorEnLinea(P.F), Esperado);
        }
        A_VincularColumna(P.F, "x", X.data());
        for (int Vez = 0; Vez < 3; ++Vez) {
            EXPECT_EQ(A_EvaluarFilas(P.F, &Estado, 70000, Valores.data(), nullptr, nullptr), 0);
            EXPECT_EQ(Valores[69999], Esperado);
        }
        EXPECT_EQ(Intentos, 1);
        // A form whose first code is for rows is refused there once too.
        Pruebas::Formula Q(A_Preparar(&Estado, Texto, nullptr));
        A_VincularColumna(Q.F, "x", X.data());
        Intentos = 0;
        for (int Vez = 0; Vez < 3; ++Vez)
            EXPECT_EQ(A_EvaluarFilas(Q.F, &Estado, 70000, Valores.data(), nullptr, nullptr), 0);
        EXPECT_EQ(Valores[0], Esperado);
        EXPECT_EQ(Intentos, 1);
    }
}
