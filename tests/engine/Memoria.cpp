// Heap use of an analysis: none without calls; for a call, one growth of the argument
// array per argument and one release. The engine's allocation calls are routed through
// counters by the linker (--wrap), so nothing else in the program is counted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    return Falla() ? nullptr : __real_malloc(Tamano);
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
        "\"" + std::string(255, 'a') + "\"+\"b\"", // the longest text that waits on the stack
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

// A text longer than 255 characters waits for its right side in a heap copy of its own,
// released once the operator is applied; without memory for it, the operator fails with
// E_MEMORIA at the token after it, and nothing to its right is requested.
TEST(Memoria, ALongWaitingTextTakesOneCopy)
{
    struct Caso {
        std::string Expresion;
        int Falla; // which allocation fails, 0 none
        int Copias;
        std::string Resultado;
    };
    const std::string Largo = "\"" + std::string(256, 'a') + "\"";
    const Caso Casos[] = {
        {Largo + "+\"b\"", 0, 1, "text of 257"},
        {Largo + "<" + Largo + "+" + Largo, 0, 2, "number 1"},
        {Largo + "+f(x)", 0, 2, "error 700 at 260"}, // the array of the call is one more
        {Largo + "+" + Largo + "+x", 0, 2, "error 700 at 519"},
        {Largo + "+x", 1, 1, "error 1300 at 260"},
        {Largo + "+f(x)", 2, 2, "error 1300 at 262"}, // the call's array fails at its ")", after x
    };
    for (const Caso &C : Casos) {
        SCOPED_TRACE(C.Expresion.substr(255));
        FallarEn = C.Falla;
        BLOQUEDEDATOS R;
        const Cuentas Hechas = Contar(C.Expresion, &R);
        FallarEn = 0;
        char Texto[64];
        if (R.Error)
            std::snprintf(Texto, sizeof Texto, "error %d at %d", static_cast<int>(R.Error), static_cast<int>(R.Posicion));
        else if (R.Tipo & TIPO_NUMERO)
            std::snprintf(Texto, sizeof Texto, "number %g", R.Numero);
        else
            std::snprintf(Texto, sizeof Texto, "text of %zu", strnlen(R.Cadena, sizeof R.Cadena));
        EXPECT_EQ(Texto, C.Resultado);
        EXPECT_EQ(Hechas.Reservas, C.Copias);
        EXPECT_EQ(Hechas.Liberaciones, Hechas.Reservas - (C.Falla ? 1 : 0));
        if (C.Falla) {
            EXPECT_EQ(Llamadas, 0);
        }
    }
}

} // namespace
