// A C++ host: an analyser with a few names of its own and the standard library, in UTF-8.
#include <iostream>
#include <stdexcept>

#include <evalion/Evalion.hpp>

int main()
{
    Evalion::TAnalizador Analizador(Evalion::TComparacion::IgnorarMayusculas);
    Analizador.Variable("IVA", 0.21)
        .Variable("Tienda", "Ferretería Núñez")
        .Funcion("ConIva", 1, [](const Evalion::TArgumentos &A) -> Evalion::TResultado {
            if (!A[0].EsNumero())
                return Evalion::TResultado::Error(E_INCOMPATIBLES);
            return A[0].Numero() * 1.21;
        })
        .Funcion("Stock", 1, [](const Evalion::TArgumentos &) -> Evalion::TResultado {
            throw std::runtime_error("the stock service is down");
        })
        .Estandar(); // Raiz, Redondear, Mayusculas, Pi...

    for (const char *Expresion : {"Redondear(ConIva(9,99); 2)", "Mayusculas(TIENDA)", "conIVA(\"diez\")", "Precio * 2"}) {
        const Evalion::TResultado R = Analizador.Analizar(Expresion);
        std::cout << Expresion << " -> ";
        if (R.EsError())
            std::cout << "Error " << R.Codigo() << ": " << R.Mensaje() << '\n';
        else if (R.EsTexto())
            std::cout << '"' << R.Texto() << "\"\n";
        else
            std::cout << R.Numero() << '\n';
    }
    try {
        Analizador.Analizar("Stock(7) + 1");
    } catch (const std::runtime_error &Fallo) { // out of Analizar, once the engine has returned
        std::cout << "Stock(7) + 1 -> exception: " << Fallo.what() << '\n';
    }
    return 0;
}
