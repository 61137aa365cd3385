// Heap use of an analysis: none without calls; for a call, one growth of the argument
// array per argument and one release. The engine's allocation calls are routed through
// counters by the linker (--wrap), so nothing else in the program is counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Motor.h"
#include "Peticiones.h"

extern "C" {
void *__real_malloc(size_t Tamano);
void *__real_calloc(size_t Cuantos, size_t Tamano);
void *__real_realloc(void *Puntero, size_t Tamano);
void __real_free(void *Puntero);
}

namespace {

struct Cuentas {
    int Reservas = 0;      // malloc, calloc, and realloc of a null pointer
    int Crecimientos = 0;  // realloc of an existing block
    int Liberaciones = 0;  // free of a non-null pointer
};
Cuentas Contadas;
int FallarEn = 0; // when positive, that allocation (1 = the next one) fails
int Llamadas = 0; // function requests made

void EVALION_CONV Variable(char *, BLOQUEDEDATOS *R)
{
    R->Numero = 2;
    R->Tipo = TIPO_NUMERO;
}

void EVALION_CONV Funcion(char *, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    ++Llamadas;
    R->Numero = N > 0 ? Parametros[0].Numero : 0;
    R->Tipo = TIPO_NUMERO;
}

Cuentas Contar(const std::string &Expresion, BLOQUEDEDATOS *Resultado = nullptr)
{
    ESTADODEANALISIS Estado;
    Motor::Inicializar(&Estado, Variable, Funcion, '\0', '\0');
    Contadas = Cuentas();
    Llamadas = 0;
    const BLOQUEDEDATOS R = Motor::Analizar(&Estado, Expresion.c_str());
    if (Resultado)
        *Resultado = R;
    return Contadas;
}

// Whether the allocation being made now is the one chosen to fail.
bool Falla()
{
    return FallarEn > 0 && --FallarEn == 0;
}

} // namespace

extern "C" {
void *__wrap_malloc(size_t Tamano)
{
    ++Contadas.Reservas;
    return __real_malloc(Tamano);
}
void *__wrap_calloc(size_t Cuantos, size_t Tamano)
{
    ++Contadas.Reservas;
    return __real_calloc(Cuantos, Tamano);
}
void *__wrap_realloc(void *Puntero, size_t Tamano)
{
    ++(Puntero ? Contadas.Crecimientos : Contadas.Reservas);
    return Falla() ? nullptr : __real_realloc(Puntero, Tamano);
}
void __wrap_free(void *Puntero)
{
    if (Puntero)
        ++Contadas.Liberaciones;
    __real_free(Puntero);
}
}

namespace {

TEST(Memoria, NoHeapWithoutCalls)
{
    const std::string Casos[] = {
        "1+2*3", "\"abc\"<\"abd\"", "((((x))))+-x^2", "1/0", "(1", std::string(1024, '('),
        "\"" + std::string(1022, 'a') + "\"", "x+" + std::string(500, '-') + "1",
    };
    for (const std::string &Caso : Casos) {
        SCOPED_TRACE(Caso.substr(0, 40));
        const Cuentas C = Contar(Caso);
        EXPECT_EQ(C.Reservas + C.Crecimientos + C.Liberaciones, 0);
    }
}

// f(1;1;...;1) with 511 arguments: 1024 characters, the longest call there is.
std::string Llamada511()
{
    std::string Texto = "f(";
    for (int i = 0; i < 510; ++i)
        Texto += "1;";
    return Texto + "1)";
}

TEST(Memoria, OneGrowthPerArgumentAndOneRelease)
{
    struct Caso {
        std::string Expresion;
        int Argumentos;
        int Llamadas;
    };
    const Caso Casos[] = {
        {"f(1)", 1, 1},
        {"f(1;2;3)", 3, 1},
        {"f(g(1);2)", 3, 2},
        {"x+f(x;f(x;2))", 4, 2},
        {Llamada511(), 511, 1},
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion.substr(0, 40));
        const Cuentas Hechas = Contar(C.Expresion);
        // The first argument of each call allocates, every further one grows the array.
        EXPECT_EQ(Hechas.Reservas, C.Llamadas);
        EXPECT_EQ(Hechas.Crecimientos, C.Argumentos - C.Llamadas);
        EXPECT_EQ(Hechas.Liberaciones, C.Llamadas);
    }
}

TEST(Memoria, FailedCallsReleaseWhatTheyGrew)
{
    const char *const Casos[] = {"f(1;2", "f(1;2;)", "f(1;x 2)", "f(1;2)#", "f(1;1/0)"};
    for (const char *Caso : Casos) {
        SCOPED_TRACE(Caso);
        const Cuentas C = Contar(Caso);
        EXPECT_EQ(C.Reservas, 1);
        EXPECT_EQ(C.Liberaciones, 1);
    }
}

// Without memory for the arguments the call fails with E_MEMORIA where the list stood,
// the function is not requested, and what the array held is released.
TEST(Memoria, NoMemoryForArgumentsIsAnErrorAndLeaksNothing)
{
    struct Caso {
        const char *Expresion;
        int Falla; // which allocation fails
        int32_t Posicion;
        int Liberaciones;
    };
    const Caso Casos[] = {
        {"f(1;2;3)", 1, 4, 0}, // the first argument: nothing was held yet
        {"f(1;2;3)", 2, 6, 1}, // the second: the first block is released
        {"f(1;2;3)", 3, 8, 1},
        {"1+f(g(1);2)", 1, 8, 0}, // g's own array fails at its ")"
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion + std::string(" failing allocation ") + std::to_string(C.Falla));
        FallarEn = C.Falla;
        BLOQUEDEDATOS R;
        const Cuentas Hechas = Contar(C.Expresion, &R);
        FallarEn = 0;
        EXPECT_EQ(R.Error, E_MEMORIA);
        EXPECT_EQ(R.Posicion, C.Posicion);
        EXPECT_EQ(Llamadas, 0);
        EXPECT_EQ(Hechas.Liberaciones, C.Liberaciones);
    }
}

} // namespace
