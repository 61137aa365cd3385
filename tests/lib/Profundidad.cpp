// Every expression that fits in 1024 characters completes on a thread with a 1 MiB stack,
// the size many hosts give their worker threads. Each shape is as deep as 1024
// characters allow; its value shows that every level was evaluated.
#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

#include "HostDePrueba.h"

#if defined(__SANITIZE_ADDRESS__)
#define CON_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CON_ASAN 1
#endif
#endif

namespace {

using Pruebas::Describir;
using Pruebas::HostDePrueba;

#if defined(CON_ASAN)
// AddressSanitizer surrounds the locals of every frame with red zones and runs its own
// code on the thread, so frames grow by an amount that depends on the compiler and its
// options (the small frames of a parenthesis nearly triple). The 1 MiB budget is checked
// by the uninstrumented build; here the same shapes are checked for memory errors and
// leaks at full depth, on a stack that leaves room for any instrumentation.
constexpr size_t PILA = 16u << 20;
#else
constexpr size_t PILA = 1u << 20;
#endif

std::string Repetir(const std::string &Trozo, int Veces)
{
    std::string Salida;
    for (int i = 0; i < Veces; ++i)
        Salida += Trozo;
    return Salida;
}

struct Forma {
    const char *Nombre;
    std::string Expresion;
    std::string Esperado; // as Pruebas::Describir writes it
};

struct Trabajo {
    HostDePrueba *Host;
    const std::string *Expresion;
    std::string Resultado;
};

// Runs on the small thread: the record lives on its stack, as a host's would, and the
// host is installed there (plain callbacks find their host through the thread).
void *Evaluar(void *Argumento)
{
    Trabajo &T = *static_cast<Trabajo *>(Argumento);
    Pruebas::Analisis A(T.Host);
    T.Resultado = Describir(A(*T.Expresion));
    return nullptr;
}

// Analyses Expresion on a new thread with exactly PILA bytes of stack.
std::string EnPilaPequena(HostDePrueba &Host, const std::string &Expresion)
{
    Trabajo T{&Host, &Expresion, "thread not started"};
    pthread_attr_t Atributos;
    pthread_attr_init(&Atributos);
    EXPECT_EQ(pthread_attr_setstacksize(&Atributos, PILA), 0);
    pthread_t Hilo;
    const int Creado = pthread_create(&Hilo, &Atributos, Evaluar, &T);
    pthread_attr_destroy(&Atributos);
    EXPECT_EQ(Creado, 0);
    if (Creado == 0)
        pthread_join(Hilo, nullptr);
    return T.Resultado;
}

TEST(Profundidad, DeepestShapesCompleteOnASmallStack)
{
    // a is a text of the greatest length; f(v) is v+1, so a nesting shows in the value.
    HostDePrueba Host;
    const std::string Largo(1023, 'a');
    Host.Variables["a"] = Pruebas::Texto(Largo);
    Host.Variables["x"] = Pruebas::Numero(5);
    Host.Funciones["f"] = [](const BLOQUEDEDATOS *Parametros, int32_t, BLOQUEDEDATOS &R) {
        R.Numero = Parametros[0].Numero + 1;
        R.Tipo = TIPO_NUMERO;
    };
    Host.Funciones["g"] = HostDePrueba::Suma;

    const Forma Formas[] = {
        {"parentheses", Repetir("(", 511) + "1" + Repetir(")", 511), "number 1 (Tipo 1)"},
        {"signs", Repetir("-", 1023) + "1", "number -1 (Tipo 1)"},
        {"calls", Repetir("f(", 341) + "1" + Repetir(")", 341), "number 342 (Tipo 1)"},
        {"power chain", Repetir("2^", 511) + "2", "number inf (Tipo 1)"},
        {"power chain of zeros", Repetir("0^", 511) + "0", "number 1 (Tipo 1)"}, // 0^0=1, 0^1=0, ...
        {"511 arguments", "g(" + Repetir("1;", 510) + "1)", "number 511 (Tipo 1)"},
        {"sum chain of longest texts", Repetir("a+", 511) + "a", "text \"" + Largo + "\""},
        {"comparisons of longest texts", Repetir("a=", 511) + "a", "Error 700 at 1023"},
        {"sums of parenthesised texts", Repetir("a+(", 255) + "a" + Repetir(")", 255), "text \"" + Largo + "\""},
        {"sum chain of numbers", Repetir("1+", 511) + "1", "number 512 (Tipo 1)"},
        {"nested sums", Repetir("(1+", 255) + "1" + Repetir(")", 255), "number 256 (Tipo 1)"},
        {"sums of parentheses", Repetir("1+(", 255) + "1" + Repetir(")", 255), "number 256 (Tipo 1)"},
        {"products of parentheses", Repetir("2*(", 255) + "1" + Repetir(")", 255), "number 5.7896e+76 (Tipo 1)"},
        {"sums of calls", Repetir("1+f(", 204) + "1" + Repetir(")", 204), "number 409 (Tipo 1)"},
        {"calls of sums", Repetir("f(1+", 204) + "1" + Repetir(")", 204), "number 409 (Tipo 1)"},
        {"sums of negated parentheses", Repetir("x+-(", 204) + "1" + Repetir(")", 204), "number 1 (Tipo 1)"},
        // Shapes that never close go one level deeper per character pair, and fail at the end.
        {"open parentheses", Repetir("(", 1024), "Error 300 at 1025"},
        {"open calls", Repetir("f(", 512), "Error 500 at 1025"},
        {"open negated parentheses", Repetir("-(", 512), "Error 300 at 1025"},
        {"open sums of parentheses", Repetir("1+(", 341) + "1", "Error 300 at 1025"},
        {"open argument lists", Repetir("f(1;", 256), "Error 500 at 1025"},
        {"open sum chain", Repetir("1+", 512), "Error 500 at 1025"},
        {"open sum chain of texts", Repetir("a+", 512), "Error 500 at 1025"},
    };
    for (const Forma &F : Formas) {
        SCOPED_TRACE(F.Nombre);
        ASSERT_LE(F.Expresion.size(), 1024u);
        EXPECT_EQ(EnPilaPequena(Host, F.Expresion), F.Esperado);
    }
}

} // namespace
