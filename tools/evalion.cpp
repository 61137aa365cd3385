// evalion: evaluates each argument, or each line of standard input, and prints its value
// or its error; on a terminal it is an interactive session with line editing and history.
// It answers the demonstration's names, and with --estandar the standard library's first.
// Exits with 1 when any expression failed or was longer than the engine reads, 2 for an
// unknown option or when standard input cannot be read or standard output cannot be written.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include <editline/readline.h>

#include "Demostracion.h"
#include "Evalion.hpp"
#include "Formato.h"
#include "Texto.h"
#include "Version.h"

namespace {

const char *const AYUDA =
    "Usage: evalion [-e|--estandar] [-r|--repetir=N] [--] [EXPRESSION...]\n"
    "Evaluates each EXPRESSION, or each line of standard input when none is given,\n"
    "and prints its value or \"Error: \" with the message and the position.\n"
    "On a terminal, standard input is read with line editing and history, and an error\n"
    "is marked with \"^\" under its position.\n"
    "Numbers use \",\" as the decimal separator and \".\" as the thousands separator.\n"
    "Known names, in any case: Euro, Pesetas, Hora, Fecha, Raiz(x), Seno(x), si(F;A;B).\n"
    "  -e, --estandar  also answer the standard library's functions and constants\n"
    "                  (Abs, Redondear, Max, Mayusculas, Pi...); where a name is in both,\n"
    "                  the standard library's answer wins\n"
    "  -r, --repetir=N times each EXPRESSION (or line of standard input that is not a\n"
    "                  terminal): after one untimed round, prepared once and evaluated N\n"
    "                  times, then over N rows in one call, then analysed N times, the\n"
    "                  time of each written on standard error after the expression; not\n"
    "                  in an interactive session\n"
    "  --              ends the options: an argument that begins with \"-\" and a letter\n"
    "                  is an option before it (\"-x\"), an expression after it\n"
    "  -h, --help      print this help     --version   print the version\n"
    "Empty lines are skipped, and a byte-order mark before the first line is ignored.\n"
    "On a terminal an empty line prompts again; Ctrl-C clears the line, and a second\n"
    "Ctrl-C on the empty line, or Ctrl-D, ends the session.\n"
    "Only the first 1024 characters of an expression are analysed, with a warning.\n"
    "Exit status: 0 when every expression succeeded, 1 when any failed or was longer than\n"
    "1024 characters, 2 for an unknown option or when standard input cannot be read or\n"
    "standard output cannot be written.\n";

const char *const INDICADOR = "> ";
constexpr size_t COLUMNAS_INDICADOR = 2;

// The demonstration's answer as a result, or none when it does not know the name.
std::optional<Evalion::TResultado> Respuesta(const BLOQUEDEDATOS &R, int32_t Desconocido)
{
    if (R.Error == Desconocido)
        return std::nullopt;
    return Evalion::TResultado::DeBloque(R);
}

// An analyser that answers the demonstration's names through its handlers, which keep no
// state; when Estandar is set, the standard library answers first every name it knows (its
// Raiz reports a text as the wrong kind, where the demonstration's would take it for 0).
void Preparar(Evalion::TAnalizador &Analizador, bool Estandar)
{
    Analizador.AlPedirVariable([Estandar](std::string_view Nombre) {
        const std::string Latin1 = Evalion::Codificacion::Utf8ALatin1(Nombre);
        BLOQUEDEDATOS R{};
        if (Estandar && A_EstandarVariable(Latin1.c_str(), &R))
            return std::optional(Evalion::TResultado::DeBloque(R));
        Evalion::PedirVariable(Latin1.c_str(), R, Evalion::FormatoDeLaBibliotecaC());
        return Respuesta(R, E_VARIABLE);
    });
    Analizador.AlPedirFuncion([Estandar](std::string_view Nombre, const Evalion::TArgumentos &Argumentos) {
        const std::string Latin1 = Evalion::Codificacion::Utf8ALatin1(Nombre);
        BLOQUEDEDATOS R{};
        if (Estandar && A_EstandarFuncion(Latin1.c_str(), Argumentos.Bloques(), Argumentos.Cuantos(), &R))
            return std::optional(Evalion::TResultado::DeBloque(R));
        Evalion::PedirFuncion(Latin1.c_str(), Argumentos.Bloques(), Argumentos.Cuantos(), R);
        return Respuesta(R, E_FUNCION);
    });
}

// What of one UTF-8 expression the engine will not see, as warnings for standard error: the
// text after a NUL byte, which ends the engine's text, and the characters after the 1024th.
// Cortada is set for the second: the value printed is then not the whole expression's, and
// the command fails for it.
std::string Avisos(const std::string &Utf8, bool &Cortada)
{
    std::string Texto;
    const size_t Nul = Utf8.find('\0');
    const size_t Caracteres = Evalion::Codificacion::Utf8ALatin1(std::string_view(Utf8).substr(0, Nul)).size();
    if (Nul != std::string::npos)
        Texto += "evalion: warning: a NUL character at position " + std::to_string(Caracteres + 1) +
                 "; the text after it is not analysed\n";
    Cortada = Caracteres > EVALION_LARGO_EXPRESION;
    if (Cortada)
        Texto += "evalion: warning: an expression of " + std::to_string(Caracteres) + " characters; only the first " +
                 std::to_string(EVALION_LARGO_EXPRESION) + " are analysed\n";
    return Texto;
}

// The part of one UTF-8 expression that the warnings say is analysed: up to a NUL, at most
// 1024 characters. The analyser refuses anything more, so the command cuts it itself.
std::string Analizable(const std::string &Utf8)
{
    if (Utf8.size() <= EVALION_LARGO_EXPRESION && Utf8.find('\0') == std::string::npos)
        return Utf8; // no more bytes than characters allowed: nothing to cut, the common case
    std::string Latin1 = Evalion::Codificacion::Utf8ALatin1(std::string_view(Utf8).substr(0, Utf8.find('\0')));
    if (Latin1.size() > EVALION_LARGO_EXPRESION)
        Latin1.resize(EVALION_LARGO_EXPRESION);
    return Evalion::Codificacion::Latin1AUtf8(Latin1);
}

// --repetir: the expression prepared once and evaluated Veces times, then analysed as many
// times, the cost of each on standard error after the text measured; the value is the last
// evaluation's. One round before the clock starts, so that the first expression does not
// pay alone for what the process does once (binding the libraries' entries, the first
// allocations, cold caches).
Evalion::TResultado Medir(Evalion::TAnalizador &Analizador, const std::string &Texto, uint64_t Veces)
{
    using Reloj = std::chrono::steady_clock;
    const auto Nanosegundos = [Veces](Reloj::duration D) {
        return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(D).count()) /
               static_cast<double>(Veces);
    };
    Analizador.Preparar(Texto).Evaluar();
    Analizador.Analizar(Texto);
    const auto Inicio = Reloj::now();
    Evalion::TFormula Formula = Analizador.Preparar(Texto);
    const auto Preparada = Reloj::now();
    for (uint64_t k = 1; k < Veces; ++k)
        Formula.Evaluar();
    Evalion::TResultado R = Formula.Evaluar();
    const auto Evaluada = Reloj::now();
    // The same count of rows through one call across rows per slice of FILAS_POR_LLAMADA,
    // so that a large N needs no more memory.
    constexpr uint64_t FILAS_POR_LLAMADA = 65536;
    std::vector<double> Valores(static_cast<size_t>(std::min(Veces, FILAS_POR_LLAMADA)));
    for (uint64_t Hechas = 0; Hechas < Veces; Hechas += FILAS_POR_LLAMADA)
        Formula.EvaluarFilas({}, Valores.data(), static_cast<size_t>(std::min(Veces - Hechas, FILAS_POR_LLAMADA)));
    const auto EnFilas = Reloj::now();
    for (uint64_t k = 0; k < Veces; ++k)
        Analizador.Analizar(Texto);
    const auto Analizada = Reloj::now();
    char Linea[240];
    std::snprintf(Linea, sizeof Linea,
                  ": prepared in %.0f ns; %llu evaluations, %.1f ns each; %llu rows, %.1f ns each; %llu analyses, %.1f ns each\n",
                  Nanosegundos(Preparada - Inicio) * static_cast<double>(Veces), static_cast<unsigned long long>(Veces),
                  Nanosegundos(Evaluada - Preparada), static_cast<unsigned long long>(Veces),
                  Nanosegundos(EnFilas - Evaluada), static_cast<unsigned long long>(Veces),
                  Nanosegundos(Analizada - EnFilas));
    std::cerr << "evalion: " << Texto << Linea;
    return R;
}

// Prints the value or the error of R on one line; false for an error.
bool Mostrar(const Evalion::TResultado &R)
{
    if (R.EsError())
        std::cout << Evalion::Codificacion::Latin1AUtf8(Evalion::MensajeDeError(R.Codigo(), R.Posicion())) << '\n';
    else if (R.EsTexto())
        std::cout << R.Texto() << '\n';
    else
        std::cout << Evalion::FormatearNumero(R.Numero()) << '\n';
    return !R.EsError();
}

// Analyses one UTF-8 expression after its warnings, or measures it with --repetir (Veces >
// 0), and prints its value; false when it failed or was cut.
bool Evaluar(Evalion::TAnalizador &Analizador, const std::string &Utf8, uint64_t Veces)
{
    bool Cortada;
    std::cerr << Avisos(Utf8, Cortada);
    const std::string Texto = Analizable(Utf8);
    return Mostrar(Veces ? Medir(Analizador, Texto, Veces) : Analizador.Analizar(Texto)) && !Cortada;
}

// Ctrl-C presses since the last key typed: the signal handler adds one, the key reader sets
// it back to 0. A handler reaches nothing of the session, so these are the variables outside it.
volatile std::sig_atomic_t Interrupciones = 0;

// A press the key reader has not yet turned into the end of the line.
volatile std::sig_atomic_t PorAtender = 0;

void AlInterrumpir(int)
{
    Interrupciones = Interrupciones + 1;
    PorAtender = 1;
}

// Ctrl-C is blocked during the session but while the key reader waits for a key, so that a
// press that comes just before the wait is not lost: it stays pending and interrupts the
// wait itself. The mask to wait with, the session's without SIGINT.
sigset_t EsperaDeTecla;

// libedit's key reader, replaced so that Ctrl-C ends the line being typed: a read that the
// signal interrupts gives the end of the input, after which readline returns no line. Other
// signals (a resize) go on reading. One UTF-8 character is handed over as its code point, as
// libedit takes it from a reader of its own; a sequence that is not UTF-8 becomes "?".
constexpr int CTRL_D = 4;

int LeerTecla(FILE *)
{
    char Bytes[4];
    size_t Leidos = 0, Largo = 1;
    while (Leidos < Largo) {
        if (PorAtender != 0) {
            PorAtender = 0;
            return EOF;
        }
        fd_set Entrada;
        FD_ZERO(&Entrada);
        FD_SET(STDIN_FILENO, &Entrada);
        if (pselect(STDIN_FILENO + 1, &Entrada, nullptr, nullptr, nullptr, &EsperaDeTecla) < 0) {
            if (errno == EINTR)
                continue; // a Ctrl-C ends the key above; another signal waits again
            return EOF;
        }
        const ssize_t Leido = read(STDIN_FILENO, &Bytes[Leidos], 1);
        if (Leido < 0 && errno == EINTR)
            continue; // a Ctrl-C is seen above
        if (Leido != 1)
            return EOF;
        const auto Byte = static_cast<unsigned char>(Bytes[Leidos++]);
        // Between two lines the terminal is canonical again, and there a Ctrl-D typed ahead
        // (right after Enter) is taken by the terminal itself as an end of line, which reaches
        // the next line as a NUL byte. A NUL can be in no expression, so it is that Ctrl-D.
        if (Leidos == 1 && Byte == 0)
            return CTRL_D;
        if (Leidos == 1)
            Largo = Byte < 0xC0 ? 1 : Byte < 0xE0 ? 2 : Byte < 0xF0 ? 3 : Byte < 0xF8 ? 4 : 1;
        else if ((Byte & 0xC0) != 0x80)
            break;
    }
    Interrupciones = 0;
    char32_t Punto;
    return Evalion::Codificacion::Decodificar(std::string_view(Bytes, Leidos), 0, Punto) == Largo
        ? static_cast<int>(Punto)
        : '?';
}

enum class TLectura { Linea, Interrumpida, Fin };

// One line typed at the prompt, kept in the history unless blank.
TLectura LeerLinea(std::string &Linea)
{
    char *Leida = readline(INDICADOR);
    if (!Leida) // the end of the input, or Ctrl-C: a second one in a row ends too
        return Interrupciones == 1 ? TLectura::Interrumpida : TLectura::Fin;
    Linea = Leida;
    std::free(Leida);
    if (Linea.find_first_not_of(' ') != std::string::npos)
        add_history(Linea.c_str());
    return TLectura::Linea;
}

// The terminal's width in columns, 0 when it does not say.
size_t AnchoDelTerminal()
{
    winsize Ventana{};
    return ioctl(STDOUT_FILENO, TIOCGWINSZ, &Ventana) == 0 ? Ventana.ws_col : 0;
}

// A "^" under the character of Linea at Posicion: position 0 (an empty text) is the column
// before the text, length + 1 the one after it. When the prompt and the line do not fit the
// terminal's width the typed line has wrapped, so the row of the line that holds the
// position is printed again, on its own, with the caret beneath.
void MarcarPosicion(const std::string &Linea, int32_t Posicion)
{
    if (Posicion <= 0) {
        std::cout << std::string(COLUMNAS_INDICADOR - 1, ' ') << "^\n";
        return;
    }
    const size_t Caracter = static_cast<size_t>(Posicion - 1), Ancho = AnchoDelTerminal();
    if (Ancho == 0 || COLUMNAS_INDICADOR + Evalion::Sangria(Linea, SIZE_MAX).size() < Ancho) {
        std::cout << std::string(COLUMNAS_INDICADOR, ' ') << Evalion::Sangria(Linea, Caracter) << "^\n";
        return;
    }
    // The rows are the screen's: the prompt takes the first columns of the first one.
    const Evalion::TFila Fila = Evalion::FilaDe(INDICADOR + Linea, COLUMNAS_INDICADOR + Caracter, Ancho);
    std::cout << Fila.Texto << '\n' << Fila.Sangria << "^\n";
}

// The terminal session. An empty line prompts again; Ctrl-C drops the line being typed, and
// a second one on the empty line that follows ends the session, as Ctrl-D does. The caret
// under an error comes before the warnings about the expression.
bool Sesion(Evalion::TAnalizador &Analizador)
{
    rl_catch_signals = 0; // libedit would re-raise Ctrl-C and end the program
    rl_getc_function = LeerTecla;
    struct sigaction Accion{};
    Accion.sa_handler = AlInterrumpir; // without SA_RESTART, so that the read is interrupted
    sigemptyset(&Accion.sa_mask);
    sigaction(SIGINT, &Accion, nullptr);
    sigset_t Interrupcion, Previa;
    sigemptyset(&Interrupcion);
    sigaddset(&Interrupcion, SIGINT);
    sigprocmask(SIG_BLOCK, &Interrupcion, &Previa);
    EsperaDeTecla = Previa;
    sigdelset(&EsperaDeTecla, SIGINT);
    rl_bind_key('\t', rl_insert); // a tab is text to analyse, not a file name to complete

    bool Correcto = true;
    for (std::string Linea;;) {
        const TLectura Lectura = LeerLinea(Linea);
        if (Lectura == TLectura::Fin)
            break;
        if (Lectura == TLectura::Interrumpida) {
            std::cout << "^C\n";
            continue;
        }
        if (Linea.empty())
            continue;
        const Evalion::TResultado R = Analizador.Analizar(Analizable(Linea));
        if (R.EsError())
            MarcarPosicion(Linea, R.Posicion());
        bool Cortada;
        std::cerr << Avisos(Linea, Cortada); // standard error is tied to standard output: the caret comes first
        Correcto &= Mostrar(R) && !Cortada;
    }
    std::cout << '\n'; // the end of input leaves the cursor after a prompt
    sigprocmask(SIG_SETMASK, &Previa, nullptr);
    return Correcto;
}

// Says on standard error what could not be done with a standard stream, with the system's
// reason when there is one; the command's status for it.
int FalloDeFlujo(const char *Que, int Error)
{
    std::cerr << "evalion: cannot " << Que;
    if (Error != 0)
        std::cerr << ": " << std::strerror(Error);
    std::cerr << '\n';
    return 2;
}

// Standard output written to the end: flushed and closed, so that a write that failed at
// any point, or only at the close, is seen. Estado, or 2 after saying that it failed, with
// ErrorPrevio as the reason of a failure seen before.
int Terminar(int Estado, int ErrorPrevio = 0)
{
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
        return FalloDeFlujo("write standard output", errno != 0 ? errno : ErrorPrevio);
    if (close(STDOUT_FILENO) != 0)
        return FalloDeFlujo("write standard output", errno);
    return Estado;
}

// Each line of standard input is one expression, empty lines skipped as at the prompt, a
// UTF-8 byte-order mark before the first ignored; false when any failed. A read that fails
// sets Fallo, and Error to its error number when the system gave one; the first write that
// fails ends the reading, with its error number in ErrorDeEscritura.
bool LeerEntrada(Evalion::TAnalizador &Analizador, uint64_t Veces, bool &Fallo, int &Error, int &ErrorDeEscritura)
{
    bool Correcto = true;
    std::string Linea;
    errno = 0;
    for (bool Primera = true; std::getline(std::cin, Linea); Primera = false) {
        if (Primera && Linea.rfind("\xEF\xBB\xBF", 0) == 0)
            Linea.erase(0, 3);
        if (!Linea.empty() && Linea.back() == '\r')
            Linea.pop_back();
        if (Linea.empty())
            continue;
        Correcto &= Evaluar(Analizador, Linea, Veces);
        // Flushed here, not only before the next read, so that a failed write keeps its reason.
        errno = 0;
        std::cout.flush();
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            ErrorDeEscritura = errno;
            break;
        }
        errno = 0;
    }
    Fallo = std::ferror(stdin) || std::cin.bad();
    Error = Fallo ? errno : 0;
    return Correcto;
}

// An argument before "--" is an option when it begins with "-" and a letter, or with "--":
// so "-x" asks for an option, while "-2^2" and "-\"a\"" are expressions.
bool EsOpcion(const std::string &Argumento)
{
    if (Argumento.size() < 2 || Argumento[0] != '-')
        return false;
    const auto Segundo = static_cast<unsigned char>(Argumento[1]);
    return Segundo == '-' || (Segundo < 0x80 && std::isalpha(Segundo));
}

} // namespace

int main(int argc, char **argv)
{
    bool Estandar = false, Ayuda = false, Version = false;
    uint64_t Veces = 0; // --repetir
    std::vector<const char *> Expresiones;
    bool Opciones = true; // until "--"
    for (int i = 1; i < argc; ++i) {
        const std::string Argumento = argv[i];
        if (Opciones && Argumento == "--") {
            Opciones = false;
            continue;
        }
        if (!Opciones || !EsOpcion(Argumento)) {
            Expresiones.push_back(argv[i]);
            continue;
        }
        // As GNU tools take them: "--repetir=3" beside "--repetir 3", and "-r3" beside "-r 3".
        std::string Nombre = Argumento;
        const char *Valor = nullptr;
        if (Argumento.rfind("--", 0) == 0 && Argumento.find('=') != std::string::npos) {
            Nombre = Argumento.substr(0, Argumento.find('='));
            Valor = argv[i] + Nombre.size() + 1;
        } else if (Argumento.rfind("-r", 0) == 0 && Argumento.size() > 2) {
            Nombre = "-r";
            Valor = argv[i] + 2;
        }
        if (Nombre == "-r" || Nombre == "--repetir") {
            if (Valor == nullptr && i + 1 < argc)
                Valor = argv[++i];
            char *Fin = nullptr;
            errno = 0;
            const unsigned long long N = Valor ? std::strtoull(Valor, &Fin, 10) : 0;
            if (N == 0 || errno != 0 || *Fin != '\0' || !std::isdigit(static_cast<unsigned char>(Valor[0]))) {
                std::cerr << "evalion: " << Nombre << " needs a count of times from 1 up\n";
                return 2;
            }
            Veces = N;
        } else if (Valor != nullptr && (Nombre == "--estandar" || Nombre == "--help" || Nombre == "--version")) {
            std::cerr << "evalion: " << Nombre << " takes no value\n";
            return 2;
        } else if (Nombre == "-e" || Nombre == "--estandar") {
            Estandar = true;
        } else if (Nombre == "-h" || Nombre == "--help") {
            Ayuda = true;
        } else if (Nombre == "--version") {
            Version = true;
        } else {
            std::cerr << "evalion: unknown option '" << Argumento << "'\n"
                      << "Usage: evalion [-e|--estandar] [-r|--repetir=N] [--] [EXPRESSION...]; evalion --help tells more\n";
            return 2;
        }
    }
    if (Ayuda) {
        std::cout << AYUDA;
        return Terminar(0);
    }
    if (Version) {
        std::cout << "evalion " << EVALION_VERSION << '\n';
        return Terminar(0);
    }
    // A closed standard descriptor would be handed to the next file opened (the locale's,
    // say), and the command would read or write that file instead: checked before any is.
    const bool LeeLaEntrada = Expresiones.empty();
    if (LeeLaEntrada && fcntl(STDIN_FILENO, F_GETFD) == -1)
        return FalloDeFlujo("read standard input", errno);
    if (fcntl(STDOUT_FILENO, F_GETFD) == -1)
        return FalloDeFlujo("write standard output", errno);

    // Hora and Fecha as the user's locale writes them. Input and output are UTF-8 whatever
    // the environment says, and line editing needs to know it; numbers stay in the C locale.
    std::setlocale(LC_TIME, "");
    if (!std::setlocale(LC_CTYPE, "") || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");

    Evalion::TAnalizador Analizador;
    Preparar(Analizador, Estandar);

    bool Correcto = true;
    bool FalloDeLectura = false;
    int ErrorDeLectura = 0, ErrorDeEscritura = 0;
    if (!LeeLaEntrada) {
        for (const char *Expresion : Expresiones)
            Correcto &= Evaluar(Analizador, Expresion, Veces);
    } else if (isatty(STDIN_FILENO)) {
        if (Veces)
            std::cerr << "evalion: --repetir does not apply to an interactive session; each line is analysed once\n";
        Correcto = Sesion(Analizador);
    } else {
        Correcto = LeerEntrada(Analizador, Veces, FalloDeLectura, ErrorDeLectura, ErrorDeEscritura);
    }
    const int Estado = Terminar(Correcto ? 0 : 1, ErrorDeEscritura);
    if (Estado != 2 && FalloDeLectura)
        return FalloDeFlujo("read standard input", ErrorDeLectura);
    return Estado;
}
