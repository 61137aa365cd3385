// A Windows host of the C++ interface over Evalionobj.dll, EvalionFormulaobj.dll and
// EvalionEstandar.dll: that it builds shows that the interface's requests match the object
// methods of those DLLs. Exits with 0 when every answer is right.
#include <cstdio>
#include <stdexcept>

#include "Evalion.hpp"

// Counts a wrong answer and says which line gave it.
#define COMPROBAR(Condicion)                                                                      \
    do {                                                                                          \
        if (!(Condicion)) {                                                                       \
            ++Fallos;                                                                             \
            std::printf("wrong answer at line %d\n", __LINE__);                                   \
        }                                                                                         \
    } while (0)

int main()
{
    Evalion::TAnalizador Analizador;
    Analizador.Variable("x", 2.25)
        .Funcion("Doble", 1, [](const Evalion::TArgumentos &A) { return 2 * A[0].Numero(); })
        .Funcion("Falla", [](const Evalion::TArgumentos &) -> Evalion::TResultado { throw std::runtime_error("x"); })
        .Estandar();
    int Fallos = 0;
    COMPROBAR(Analizador.Analizar("Doble(Raiz(x)) + Max(1; 2; 3)").Numero() == 6);
    COMPROBAR(Analizador.Analizar("Mayusculas(\"año\")").Texto() == "AÑO");
    COMPROBAR(Analizador.Analizar("1 + y").Mensaje() == "Se esperaba una variable en la posición 4");
    try {
        Analizador.Analizar("Falla(1; 2)");
        COMPROBAR(false);
    } catch (const std::runtime_error &) {
    }
    // A prepared expression asks the same handlers through the register-convention methods.
    Evalion::TFormula Formula = Analizador.Preparar("Doble(x) + Max(x; 3) + y");
    COMPROBAR(Formula.Nombres().size() == 4);
    COMPROBAR(Formula.Evaluar().Mensaje() == "Se esperaba una variable en la posición 23");
    Evalion::TFormula Suma = Analizador.Preparar("Doble(x) * y");
    const double Y = 10;
    COMPROBAR(Suma.Vincular("y", &Y) == 1 && Suma.Evaluar().Numero() == 45);
    try {
        Analizador.Preparar("Falla(x)").Evaluar();
        COMPROBAR(false);
    } catch (const std::runtime_error &) {
    }
    std::printf("%d wrong answers\n", Fallos);
    return Fallos == 0 ? 0 : 1;
}
