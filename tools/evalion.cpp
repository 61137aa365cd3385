// evalion: evaluates each argument, or each line of standard input, and prints its value
// or its error; on a terminal it is an interactive session with line editing and history.
// It answers the demonstration's names. Exits with 1 when any expression failed, 2 on an
// input error.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <langinfo.h>
#include <unistd.h>

#include <editline/readline.h>

#include "Demostracion.h"
#include "Parser.h"
#include "Texto.h"

namespace {

const char *const AYUDA =
    "Usage: evalion [EXPRESSION...]\n"
    "Evaluates each EXPRESSION, or each line of standard input when none is given,\n"
    "and prints its value or \"Error: \" with the message and the position.\n"
    "On a terminal, standard input is read with line editing and history, and an error\n"
    "is marked with \"^\" under its position.\n"
    "Numbers use \",\" as the decimal separator and \".\" as the thousands separator.\n"
    "Known names, in any case: Euro, Pesetas, Hora, Fecha, Raiz(x), Seno(x), si(F;A;B).\n";

const char *const INDICADOR = "> ";
constexpr size_t COLUMNAS_INDICADOR = 2;

// The engine's plain callbacks, answered by the demonstration's handlers, which keep no state.
void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    Evalion::PedirVariable(Variable, *R, Evalion::FormatoDeLaBibliotecaC());
}

void EVALION_CONV PedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    Evalion::PedirFuncion(Funcion, Parametros, N, *R);
}

// Analyses one UTF-8 expression, warning when it is longer than the engine reads.
BLOQUEDEDATOS Analizar(ESTADODEANALISIS &Estado, const std::string &Utf8)
{
    const std::string Expresion = Evalion::Utf8ALatin1(Utf8);
    if (Expresion.size() > EVALION_LARGO_EXPRESION)
        std::cerr << "evalion: warning: an expression of " << Expresion.size() << " characters; only the first "
                  << EVALION_LARGO_EXPRESION << " are analysed\n";
    return A_Analizar(&Estado, Expresion.c_str());
}

// Prints the value or the error of R on one line; false for an error.
bool Mostrar(const BLOQUEDEDATOS &R)
{
    const Evalion::TPresentacion Presentacion = Evalion::Presentar(R, Evalion::FormatoDeLaBibliotecaC());
    std::cout << Presentacion.Texto << '\n';
    return !Presentacion.Error;
}

// One line typed at the prompt, kept in the history unless blank; false at the end of input.
bool LeerLinea(std::string &Linea)
{
    char *Leida = readline(INDICADOR);
    if (!Leida)
        return false;
    Linea = Leida;
    std::free(Leida);
    if (Linea.find_first_not_of(' ') != std::string::npos)
        add_history(Linea.c_str());
    return true;
}

// The terminal session. A "^" under the echoed line marks where an error was found:
// position 0 (an empty line) is the column before the text, length + 1 the one after it.
bool Sesion(ESTADODEANALISIS &Estado)
{
    rl_bind_key('\t', rl_insert); // a tab is text to analyse, not a file name to complete
    bool Correcto = true;
    for (std::string Linea; LeerLinea(Linea);) {
        const BLOQUEDEDATOS R = Analizar(Estado, Linea);
        if (R.Error != 0) {
            const std::string Delante = R.Posicion > 0
                ? std::string(COLUMNAS_INDICADOR, ' ') + Evalion::Sangria(Linea, static_cast<size_t>(R.Posicion - 1))
                : std::string(COLUMNAS_INDICADOR - 1, ' ');
            std::cout << Delante << "^\n";
        }
        Correcto &= Mostrar(R);
    }
    std::cout << '\n'; // the end of input leaves the cursor after a prompt
    return Correcto;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << AYUDA;
        return 0;
    }
    // Hora and Fecha as the user's locale writes them. Input and output are UTF-8 whatever
    // the environment says, and line editing needs to know it; numbers stay in the C locale.
    std::setlocale(LC_TIME, "");
    if (!std::setlocale(LC_CTYPE, "") || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");

    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);

    bool Correcto = true;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            Correcto &= Mostrar(Analizar(Estado, argv[i]));
    } else if (isatty(STDIN_FILENO)) {
        Correcto = Sesion(Estado);
    } else {
        std::string Linea;
        while (std::getline(std::cin, Linea)) {
            if (!Linea.empty() && Linea.back() == '\r')
                Linea.pop_back();
            Correcto &= Mostrar(Analizar(Estado, Linea));
        }
        if (std::cin.bad()) {
            std::cerr << "evalion: cannot read standard input\n";
            return 2;
        }
    }
    std::cout.flush();
    return Correcto ? 0 : 1;
}
