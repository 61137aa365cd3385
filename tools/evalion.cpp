// evalion: evaluates each argument, or each line of standard input, and prints its value
// or its error. Exits with 1 when any expression failed, 2 on a usage or input error.
#include <cstring>
#include <iostream>
#include <string>

#include "Mensajes.h"
#include "Parser.h"
#include "Texto.h"

namespace {

const char *const AYUDA =
    "Usage: evalion [EXPRESSION...]\n"
    "Evaluates each EXPRESSION, or each line of standard input when none is given,\n"
    "and prints its value or \"Error: \" with the message and the position.\n"
    "Numbers use \",\" as the decimal separator and \".\" as the thousands separator.\n";

// Prints the value or the error of one UTF-8 expression; false when it failed.
bool Evaluar(ESTADODEANALISIS &Estado, const std::string &Utf8)
{
    const std::string Expresion = Evalion::Utf8ALatin1(Utf8);
    const BLOQUEDEDATOS R = A_Analizar(&Estado, Expresion.c_str());
    std::string Salida;
    if (R.Error != 0)
        Salida = Evalion::MensajeDeError(R.Error, R.Posicion);
    else if (R.Tipo == TIPO_CADENA)
        Salida.assign(R.Cadena, strnlen(R.Cadena, sizeof R.Cadena));
    else
        Salida = Evalion::FormatearNumero(R.Numero);
    std::cout << Evalion::Latin1AUtf8(Salida) << '\n';
    return R.Error == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << AYUDA;
        return 0;
    }
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);

    bool Correcto = true;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            Correcto &= Evaluar(Estado, argv[i]);
    } else {
        std::string Linea;
        while (std::getline(std::cin, Linea)) {
            if (!Linea.empty() && Linea.back() == '\r')
                Linea.pop_back();
            Correcto &= Evaluar(Estado, Linea);
        }
        if (std::cin.bad()) {
            std::cerr << "evalion: cannot read standard input\n";
            return 2;
        }
    }
    std::cout.flush();
    return Correcto ? 0 : 1;
}
