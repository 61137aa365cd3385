// evalion_pila: prints the peak stack use of one analysis for each of the deepest shapes
// an expression of at most 1024 characters can take.
//
// Each analysis runs on a thread whose stack this program allocates and paints with a
// pattern; after the thread has ended, the lowest byte that no longer holds the pattern
// marks the deepest point the stack reached. The figure counts from the frame of the
// thread's function, so it is what one A_Analizar call (host callbacks included) costs a
// host's thread. It links the shared library rather than the engine archive: what is
// measured is the code hosts load, behind the exported interface.
//
//   evalion_pila [--limite=BYTES]
//
// With a limit, every shape whose peak passes it is named on standard error and the exit
// status is 1 (ctest runs it so with 256 KiB, what many hosts give a thread).
#include <pthread.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Parser.h"

namespace {

constexpr size_t TAMANO_PILA = 8u << 20; // far more than any shape needs
constexpr unsigned char PATRON = 0xA5;
constexpr size_t LARGO_TEXTO = EVALION_LARGO_CADENA - 1;
constexpr size_t LARGO_CORTO = 255; // the longest text that waits on the stack

std::string Repetir(const std::string &Trozo, int Veces)
{
    std::string Salida;
    for (int i = 0; i < Veces; ++i)
        Salida += Trozo;
    return Salida;
}

// The host: "a" is a text of the greatest length, "b" one of 255 characters, "x" a number;
// f(v) is v+1, g sums.
void VariableDelHost(char *Nombre, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Nombre, "a") == 0 || std::strcmp(Nombre, "b") == 0) {
        const size_t Largo = Nombre[0] == 'a' ? LARGO_TEXTO : LARGO_CORTO;
        std::memset(R->Cadena, Nombre[0], Largo);
        R->Cadena[Largo] = '\0';
        R->Tipo = TIPO_CADENA;
    } else if (std::strcmp(Nombre, "x") == 0) {
        R->Numero = 5;
        R->Tipo = TIPO_NUMERO;
    } else {
        R->Error = E_VARIABLE;
    }
}

void FuncionDelHost(char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    double Total = std::strcmp(Nombre, "f") == 0 ? 1 : 0;
    for (int32_t i = 0; i < N; ++i)
        Total += (Parametros[i].Tipo & TIPO_NUMERO) ? Parametros[i].Numero : 0;
    R->Numero = Total;
    R->Tipo = TIPO_NUMERO;
}

struct Forma {
    const char *Nombre;
    std::string Expresion;
    int Niveles; // nesting levels (or arguments) the shape holds
};

struct Tarea {
    const std::string *Expresion;
    ESTADODEANALISIS Estado;
    BLOQUEDEDATOS Resultado;
    const char *Tope; // the frame of the thread's function
};

void *Analizar(void *Argumento)
{
    Tarea &T = *static_cast<Tarea *>(Argumento);
    T.Tope = static_cast<const char *>(__builtin_frame_address(0));
    T.Resultado = A_Analizar(&T.Estado, T.Expresion->c_str());
    return nullptr;
}

// Peak stack bytes of one analysis of Expresion, or 0 when the thread could not run.
size_t MedirPico(const std::string &Expresion, BLOQUEDEDATOS &Resultado)
{
    void *Pila = mmap(nullptr, TAMANO_PILA, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Pila == MAP_FAILED)
        return 0;
    std::memset(Pila, PATRON, TAMANO_PILA);

    Tarea T{&Expresion, {}, {}, nullptr};
    A_Inicializar(&T.Estado);
    A_AsignarAlPedir(&T.Estado, VariableDelHost, FuncionDelHost);

    pthread_attr_t Atributos;
    pthread_attr_init(&Atributos);
    pthread_attr_setstack(&Atributos, Pila, TAMANO_PILA);
    pthread_t Hilo;
    const bool Lanzado = pthread_create(&Hilo, &Atributos, Analizar, &T) == 0;
    pthread_attr_destroy(&Atributos);
    size_t Pico = 0;
    if (Lanzado) {
        pthread_join(Hilo, nullptr);
        const unsigned char *Byte = static_cast<const unsigned char *>(Pila);
        size_t Intactos = 0;
        while (Intactos < TAMANO_PILA && Byte[Intactos] == PATRON)
            ++Intactos;
        const char *Fondo = static_cast<const char *>(Pila) + Intactos;
        Pico = T.Tope > Fondo ? static_cast<size_t>(T.Tope - Fondo) : 0;
        Resultado = T.Resultado;
    }
    munmap(Pila, TAMANO_PILA);
    return Pico;
}

std::string Describir(const BLOQUEDEDATOS &B)
{
    char Texto[64];
    if (B.Error)
        std::snprintf(Texto, sizeof Texto, "error %d at %d", static_cast<int>(B.Error), static_cast<int>(B.Posicion));
    else if (B.Tipo & TIPO_NUMERO)
        std::snprintf(Texto, sizeof Texto, "%g", B.Numero);
    else
        std::snprintf(Texto, sizeof Texto, "text of %zu", strnlen(B.Cadena, sizeof B.Cadena));
    return Texto;
}

std::vector<Forma> Formas()
{
    return {
        {"parentheses", Repetir("(", 511) + "1" + Repetir(")", 511), 511},
        {"signs", Repetir("-", 1023) + "1", 1023},
        {"calls", Repetir("f(", 341) + "1" + Repetir(")", 341), 341},
        {"power chain", Repetir("2^", 511) + "2", 511},
        {"511 arguments", "g(" + Repetir("1;", 510) + "1)", 511},
        // Each name answered with a text of 1023 characters, or of 255 ("b"), that waits.
        {"host text sum chain", Repetir("a+", 511) + "a", 511},
        {"host text comparisons", Repetir("a=", 511) + "a", 511},
        {"host text parentheses", Repetir("a+(", 255) + "a" + Repetir(")", 255), 255},
        {"short host text chain", Repetir("b+", 511) + "b", 511},
        {"literal text sum chain", Repetir("\"a\"+", 255) + "\"a\"", 255},
        {"number sum chain", Repetir("1+", 511) + "1", 511},
        {"nested sums", Repetir("(1+", 255) + "1" + Repetir(")", 255), 255},
        {"sum of parenthesis", Repetir("1+(", 255) + "1" + Repetir(")", 255), 255},
        {"product of parenthesis", Repetir("2*(", 255) + "1" + Repetir(")", 255), 255},
        {"power of parenthesis", Repetir("1^(", 255) + "1" + Repetir(")", 255), 255},
        {"sum of call", Repetir("1+f(", 204) + "1" + Repetir(")", 204), 204},
        {"call of sum", Repetir("f(1+", 204) + "1" + Repetir(")", 204), 204},
        {"sum of signed parenthesis", Repetir("x+-(", 204) + "1" + Repetir(")", 204), 204},
        {"open parentheses", Repetir("(", 1024), 1024},
        {"open calls", Repetir("f(", 512), 512},
        {"open signed parentheses", Repetir("-(", 512), 512},
        {"open sum of parenthesis", Repetir("1+(", 341) + "1", 341},
        {"open argument lists", Repetir("f(1;", 256), 256},
        {"open sum chain", Repetir("1+", 512), 512},
    };
}

} // namespace

int main(int argc, char **argv)
{
    size_t Limite = 0; // none
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--limite=", 9) == 0 && std::strtoull(argv[i] + 9, nullptr, 10) > 0) {
            Limite = std::strtoull(argv[i] + 9, nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: evalion_pila [--limite=BYTES]\n");
            return 2;
        }
    }
    std::printf("%-26s %6s %10s %10s  %s\n", "shape", "length", "peak", "per level", "result");
    int Fallos = 0;
    for (const Forma &F : Formas()) {
        BLOQUEDEDATOS Resultado{};
        const size_t Pico = MedirPico(F.Expresion, Resultado);
        if (Pico == 0) {
            std::fprintf(stderr, "evalion_pila: could not run %s\n", F.Nombre);
            ++Fallos;
            continue;
        }
        std::printf("%-26s %6zu %10zu %10zu  %s\n", F.Nombre, F.Expresion.size(), Pico, Pico / F.Niveles,
                    Describir(Resultado).c_str());
        if (Limite && Pico > Limite) {
            std::fprintf(stderr, "evalion_pila: %s takes %zu bytes, over the limit of %zu\n", F.Nombre, Pico, Limite);
            ++Fallos;
        }
    }
    return Fallos ? 1 : 0;
}
