// The evalion command as a user runs it: arguments or standard input in, one line out per
// expression, UTF-8 on both sides, and the exit status.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <termios.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Version.h"

extern char **environ;

namespace {

struct Resultado {
    std::string Salida;
    int Estado;
    std::string Errores; // standard error
};

// Reads a descriptor to its end.
std::string LeerTodo(int Descriptor)
{
    std::string Texto;
    char Buffer[4096];
    for (ssize_t Leido; (Leido = read(Descriptor, Buffer, sizeof Buffer)) > 0;)
        Texto.append(Buffer, static_cast<size_t>(Leido));
    close(Descriptor);
    return Texto;
}

// Where the command's standard input and output are: the test's pipes (nullptr), a file
// opened by its path, or "-" for none at all, the descriptor closed.
struct Flujos {
    const char *Entrada = nullptr;
    const char *Salida = nullptr;
};

// Makes Descriptor of the command the pipe end Tubo, the file at Ruta, or closed.
void Redirigir(posix_spawn_file_actions_t &Acciones, int Descriptor, int Tubo, const char *Ruta, int Modo)
{
    if (Ruta == nullptr)
        posix_spawn_file_actions_adddup2(&Acciones, Tubo, Descriptor);
    else if (std::string(Ruta) == "-")
        posix_spawn_file_actions_addclose(&Acciones, Descriptor);
    else
        posix_spawn_file_actions_addopen(&Acciones, Descriptor, Ruta, Modo, 0);
}

// Runs the command with Argumentos and Entrada on its standard input. The input is written
// before the output is read, and standard output before standard error, which is fine for
// the few lines these tables use.
Resultado Ejecutar(const std::vector<std::string> &Argumentos, const std::string &Entrada = "", Flujos F = {})
{
    std::signal(SIGPIPE, SIG_IGN); // with arguments the command never reads its input
    int HaciaHijo[2], DesdeHijo[2], ErroresDelHijo[2];
    if (pipe(HaciaHijo) != 0 || pipe(DesdeHijo) != 0 || pipe(ErroresDelHijo) != 0)
        return {"pipe failed", -1, ""};

    posix_spawn_file_actions_t Acciones;
    posix_spawn_file_actions_init(&Acciones);
    Redirigir(Acciones, STDIN_FILENO, HaciaHijo[0], F.Entrada, O_RDONLY);
    Redirigir(Acciones, STDOUT_FILENO, DesdeHijo[1], F.Salida, O_WRONLY);
    posix_spawn_file_actions_adddup2(&Acciones, ErroresDelHijo[1], STDERR_FILENO);
    for (int Descriptor : {HaciaHijo[0], HaciaHijo[1], DesdeHijo[0], DesdeHijo[1], ErroresDelHijo[0], ErroresDelHijo[1]})
        if (Descriptor > STDERR_FILENO)
            posix_spawn_file_actions_addclose(&Acciones, Descriptor);

    std::vector<char *> Argv{const_cast<char *>(EVALION_PROGRAMA)};
    for (const std::string &Argumento : Argumentos)
        Argv.push_back(const_cast<char *>(Argumento.c_str()));
    Argv.push_back(nullptr);

    pid_t Hijo = 0;
    const int Lanzado = posix_spawn(&Hijo, EVALION_PROGRAMA, &Acciones, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Acciones);
    close(HaciaHijo[0]);
    close(DesdeHijo[1]);
    close(ErroresDelHijo[1]);
    if (Lanzado == 0 && !Entrada.empty())
        (void)!write(HaciaHijo[1], Entrada.data(), Entrada.size());
    close(HaciaHijo[1]);

    Resultado R{LeerTodo(DesdeHijo[0]), -1, LeerTodo(ErroresDelHijo[0])};
    int Estado = 0;
    if (Lanzado == 0 && waitpid(Hijo, &Estado, 0) == Hijo && WIFEXITED(Estado))
        R.Estado = WEXITSTATUS(Estado);
    return R;
}

struct Caso {
    std::vector<std::string> Argumentos;
    const char *Salida;
    int Estado;
};

std::string Describir(const std::vector<std::string> &Argumentos)
{
    std::string Texto;
    for (const std::string &Argumento : Argumentos)
        Texto += "[" + Argumento + "] ";
    return Texto;
}

void ComprobarCasos(const std::vector<Caso> &Casos)
{
    for (const Caso &C : Casos) {
        SCOPED_TRACE(Describir(C.Argumentos));
        const Resultado R = Ejecutar(C.Argumentos);
        EXPECT_EQ(R.Salida, C.Salida);
        EXPECT_EQ(R.Estado, C.Estado);
        EXPECT_EQ(R.Errores, "");
    }
}

// Each argument is one expression and one line; the status is 1 as soon as one failed.
TEST(Evalion, ArgumentsOneLineEach)
{
    ComprobarCasos({
        {{"1+2*3"}, "7\n", 0},
        {{"2^3^2", "10-2-3", "1-2+3", "-2^2", "1+2<3", "3>2"}, "512\n11\n-4\n4\n2\n1\n", 0},
        {{"\"a\"+\"b\""}, "ab\n", 0},
        {{"1+", "2"}, "Error: Se esperaba un operando en la posición 3\n2\n", 1},
        {{"2", "x"}, "2\nError: Se esperaba una variable en la posición 1\n", 1},
        {{""}, "Error: Se esperaba un operando en la posición 0\n", 1},
        {{"Raiz(9)", "Seno(\"a\")"}, "3\n0\n", 0}, // a text's number is 0, not the last one computed
    });
}

TEST(Evalion, ArgumentsLeaveStandardInputUnread)
{
    const Resultado R = Ejecutar({"1+1"}, "2+2\n3+3\n");
    EXPECT_EQ(R.Salida, "2\n");
    EXPECT_EQ(R.Estado, 0);
}

TEST(Evalion, HelpGoesToStandardOutput)
{
    const Resultado R = Ejecutar({"--help"});
    EXPECT_EQ(R.Salida.rfind("Usage: evalion", 0), 0u) << R.Salida;
    EXPECT_NE(R.Salida.find("--version"), std::string::npos) << R.Salida;
    EXPECT_EQ(R.Estado, 0);
}

TEST(Evalion, Version)
{
    ComprobarCasos({{{"--version"}, "evalion " EVALION_VERSION "\n", 0}});
}

// Options anywhere before "--": "-" and a letter asks for one, an unknown one is a usage
// error on standard error; after "--", and for "-" before anything else, an expression.
TEST(Evalion, OptionsBeforeTheEnd)
{
    const struct {
        std::vector<std::string> Argumentos;
        const char *Salida; // how standard output begins
        const char *Errores;
        int Estado;
    } Casos[] = {
        {{"1+2", "--help"}, "Usage: evalion", "", 0},
        {{"-e", "--help"}, "Usage: evalion", "", 0},
        {{"1", "--version"}, "evalion " EVALION_VERSION "\n", "", 0},
        {{"--", "--help"}, "Error: Se esperaba una variable en la posición 3\n", "", 1},
        {{"--bogus"}, "", "evalion: unknown option '--bogus'\n", 2},
        {{"1", "-x"}, "", "evalion: unknown option '-x'\n", 2},
        {{"-2^2", "-(1)"}, "4\n-1\n", "", 0},
        {{"-r", "3", "2^10", "1+"}, "1024\nError: Se esperaba un operando en la posición 3\n",
         "evalion: 2^10: prepared in ", 1}, // the values as without it, the times on standard error
        {{"--repetir", "0", "1"}, "", "evalion: --repetir needs a count of times from 1 up\n", 2},
        {{"1", "-r"}, "", "evalion: -r needs a count of times from 1 up\n", 2},
        // A value joined to its option, as GNU tools take it.
        {{"--repetir=3", "2^10"}, "1024\n", "evalion: 2^10: prepared in ", 0},
        {{"-r3", "2^10"}, "1024\n", "evalion: 2^10: prepared in ", 0},
        {{"--repetir=", "1"}, "", "evalion: --repetir needs a count of times from 1 up\n", 2},
        {{"--repetir=x3", "1"}, "", "evalion: --repetir needs a count of times from 1 up\n", 2},
        {{"--estandar=1", "1"}, "", "evalion: --estandar takes no value\n", 2},
        {{"--bogus=1"}, "", "evalion: unknown option '--bogus=1'\n", 2},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Describir(Caso.Argumentos));
        const Resultado R = Ejecutar(Caso.Argumentos);
        EXPECT_EQ(R.Salida.rfind(Caso.Salida, 0), 0u) << R.Salida;
        EXPECT_EQ(R.Salida.empty(), *Caso.Salida == '\0') << R.Salida;
        EXPECT_EQ(R.Errores.rfind(Caso.Errores, 0), 0u) << R.Errores;
        EXPECT_EQ(R.Errores.empty(), *Caso.Errores == '\0') << R.Errores;
        EXPECT_EQ(R.Estado, Caso.Estado);
    }
}

// Input that cannot be read and output that cannot be written are failures, said on
// standard error, with status 2; a closed input does not matter when arguments are given.
TEST(Evalion, StreamFailuresExitWith2)
{
    const struct {
        const char *Caso;
        std::vector<std::string> Argumentos;
        const char *Entrada;
        Flujos F;
        const char *Errores; // how standard error begins
        int Estado;
    } Casos[] = {
        {"a directory as input", {}, "", {"/", nullptr}, "evalion: cannot read standard input: Is a directory\n", 2},
        {"input closed", {}, "", {"-", nullptr}, "evalion: cannot read standard input: Bad file descriptor\n", 2},
        {"output full", {"1"}, "", {nullptr, "/dev/full"}, "evalion: cannot write standard output: No space", 2},
        {"output full, from input", {}, "1\n2\n", {nullptr, "/dev/full"},
         "evalion: cannot write standard output: No space left on device\n", 2},
        {"output closed", {"1"}, "", {nullptr, "-"}, "evalion: cannot write standard output: Bad file descriptor\n", 2},
        {"version into a full output", {"--version"}, "", {nullptr, "/dev/full"}, "evalion: cannot write", 2},
        {"arguments with input closed", {"1"}, "", {"-", nullptr}, "", 0},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Caso);
        const Resultado R = Ejecutar(Caso.Argumentos, Caso.Entrada, Caso.F);
        EXPECT_EQ(R.Errores.rfind(Caso.Errores, 0), 0u) << R.Errores;
        EXPECT_EQ(R.Errores.empty(), *Caso.Errores == '\0') << R.Errores;
        EXPECT_EQ(R.Estado, Caso.Estado);
    }
}

// A NUL ends the engine's text: what follows it is said to be left out, on standard error.
// Each byte that is not UTF-8 is "?", which begins no token.
TEST(Evalion, InputTheEngineCannotTake)
{
    const struct {
        std::string Entrada;
        const char *Salida;
        int Estado;
        const char *Errores;
    } Casos[] = {
        {std::string("1+1\0+x\n", 7), "2\n", 0,
         "evalion: warning: a NUL character at position 4; the text after it is not analysed\n"},
        {std::string("\"\xC3\xB1\"\0\n", 6), "\xC3\xB1\n", 0,
         "evalion: warning: a NUL character at position 4; the text after it is not analysed\n"},
        {std::string("\0\n", 2), "Error: Se esperaba un operando en la posición 0\n", 1,
         "evalion: warning: a NUL character at position 1; the text after it is not analysed\n"},
        {"\"a\xFF" "b\"\n", "a?b\n", 0, ""},
        {"\"\xC3\"\n", "?\n", 0, ""},                                                // a truncated sequence
        {"\xC3+1\n", "Error: Se esperaba un operando en la posición 1\n", 1, ""},
        {"1\xE9\n", "Error: Se ha encontrado un caracter no valido en la posicion 2\n", 1, ""}, // Latin-1 bytes
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Entrada);
        std::vector<Resultado> Resultados{Ejecutar({}, Caso.Entrada)};
        if (Caso.Entrada.find('\0') == std::string::npos) // an argument cannot hold one
            Resultados.push_back(Ejecutar({Caso.Entrada.substr(0, Caso.Entrada.size() - 1)}));
        for (const Resultado &R : Resultados) {
            EXPECT_EQ(R.Salida, Caso.Salida);
            EXPECT_EQ(R.Estado, Caso.Estado);
            EXPECT_EQ(R.Errores, Caso.Errores);
        }
    }
}

// Without arguments every input line is one expression, a failing one included.
TEST(Evalion, StandardInputOneLinePerLine)
{
    struct CasoEntrada {
        const char *Entrada;
        const char *Salida;
        int Estado;
    };
    const CasoEntrada Casos[] = {
        {"1+1\n\"a\"+\"b\"\n", "2\nab\n", 0},
        {"1+1\n1+\n3\n", "2\nError: Se esperaba un operando en la posición 3\n3\n", 1},
        {"", "", 0},
        {"2^10", "1024\n", 0},          // a last line without its line feed
        {"1+1\r\n2\r\n", "2\n2\n", 0},  // CRLF files
        {"\n", "", 0},                    // empty lines are skipped, as at the prompt
        {"1\n\n2\n\r\n", "1\n2\n", 0},
        {"\xEF\xBB\xBF" "1+1\n", "2\n", 0}, // a byte-order mark before the first line
        {"1\t+1\n", "Error: Se ha encontrado un caracter no valido en la posicion 2\n", 1}, // a tab is no blank
    };
    for (const CasoEntrada &C : Casos) {
        SCOPED_TRACE(C.Entrada);
        const Resultado R = Ejecutar({}, C.Entrada);
        EXPECT_EQ(R.Salida, C.Salida);
        EXPECT_EQ(R.Estado, C.Estado);
    }
}

// "Error: ", the code's message and the position, for every code the command can meet.
TEST(Evalion, ErrorMessagesWithPositions)
{
    ComprobarCasos({
        {{"1 2"}, "Error: Se esperaba un operador en la posición 2\n", 1},
        {{"-\"ab\""},
         "Error: Se ha encontrado un valor que no puede ser evaluado como una expresión numérica en la posición 6\n",
         1},
        {{"(1 2)"}, "Error: Se esperaba un paréntesis en la posición 3\n", 1},
        {{"f(1"}, "Error: Se esperaba un paréntesis de cierre de función en la posición 4\n", 1},
        {{"*3"}, "Error: Se esperaba un operando en la posición 1\n", 1},
        {{"f(1 2)"}, "Error: Se esperaba un separador de lista en la posición 4\n", 1},
        {{"1+\"a\""}, "Error: Los operandos no son compatibles en la posición 6\n", 1},
        {{"1 # 2"}, "Error: Se ha encontrado un caracter no valido en la posicion 2\n", 1},
        {{"1 + x"}, "Error: Se esperaba una variable en la posición 4\n", 1},
        {{"abc(1)"}, "Error: Se esperaba una función en la posición 1\n", 1},
        {{"1/0"}, "Error: Error de división en la posición 4\n", 1},
    });
}

// 15 significant digits, no trailing zeros, "." as the point whatever the input used.
TEST(Evalion, NumbersInGeneralFormat)
{
    ComprobarCasos({
        {{"0,1+0,2"}, "0.3\n", 0},
        {{"1/3"}, "0.333333333333333\n", 0},
        {{"100000000000000000000"}, "1e+20\n", 0},
        {{"100000000000000"}, "100000000000000\n", 0},
        {{"2^0,5"}, "1.4142135623731\n", 0},
        {{"1.234,5"}, "1234.5\n", 0},
        {{"1.5"}, "15\n", 0},
        {{"1,2,3"}, "1.2\n", 0},
        {{"5,"}, "5\n", 0},
        {{"2^-1"}, "0.5\n", 0},
        {{"0^-1"}, "INF\n", 0},
    });
}

// Input is UTF-8 and so is output; the engine sees one byte per character, so positions
// count characters.
TEST(Evalion, Utf8BothWays)
{
    ComprobarCasos({
        {{"\"Año\""}, "Año\n", 0},
        {{"\"Año\"+\" 2026\""}, "Año 2026\n", 0},
        {{"\"€ ü Œ\""}, "€ ü Œ\n", 0},
        {{"\"ñ\"+1"}, "Error: Los operandos no son compatibles en la posición 6\n", 1},
        {{"1+ñandú"}, "Error: Se esperaba una variable en la posición 3\n", 1},
        // Outside Windows-1252: one byte that begins no token.
        {{"\"😀\""}, "?\n", 0},
        {{"1😀"}, "Error: Se ha encontrado un caracter no valido en la posicion 2\n", 1},
        {{"😀"}, "Error: Se esperaba un operando en la posición 1\n", 1},
        {{"ü"}, "Error: Se esperaba un operando en la posición 1\n", 1},
    });
}

// The demonstration's names, in any case, answered through the same handlers as Evaldemo's.
TEST(Evalion, DemonstrationNames)
{
    ComprobarCasos({
        {{"EURO", "Pesetas + 1", "Raiz(16)", "si(0;\"a\";\"b\")"}, "0.00601012104383782\n167.386\n4\nb\n", 0},
        {{"Raiz(0-4)"}, "NAN\n", 0},
        {{"1 + si(1;2)"}, "Error: Se esperaba una función en la posición 4\n", 1},
        {{"Hora + 1"}, "Error: Los operandos no son compatibles en la posición 9\n", 1},
        {{"Dolar"}, "Error: Se esperaba una variable en la posición 1\n", 1},
    });
}

// --estandar adds the standard library, which answers first every name it knows (its Raiz
// refuses a text, where the demonstration's takes it for 0), and "--" lets an expression
// begin with "-".
TEST(Evalion, StandardLibraryOption)
{
    ComprobarCasos({
        {{"Pi"}, "Error: Se esperaba una variable en la posición 1\n", 1},
        {{"Raiz(\"a\")"}, "0\n", 0},
        {{"-e", "Raiz(\"a\")", "Seno(\"a\")", "raiz(9)"},
         "Error: Los operandos no son compatibles en la posición 1\n"
         "Error: Los operandos no son compatibles en la posición 1\n3\n",
         1},
        {{"-e", "Pi", "Max(1;7;3)", "Mayusculas(\"ñandú\")", "Pesetas + Abs(-1)"},
         "3.14159265358979\n7\nÑANDÚ\n167.386\n", 0},
        {{"--estandar", "Raiz(16)", "si(\"a\";1;2)", "Raiz(4;9)"},
         "4\nError: Los operandos no son compatibles en la posición 1\nError: Se esperaba una función en la posición 1\n",
         1},
        {{"-e", "--", "-e"}, "-2.71828182845905\n", 0},
        {{"--", "-1"}, "-1\n", 0},
    });
    const Resultado R = Ejecutar({"-e"}, "Suma(1;2)\nRecortar(\" a \")\n");
    EXPECT_EQ(R.Salida, "3\na\n");
    EXPECT_EQ(R.Estado, 0);
}

// Only the first 1024 characters are analysed; a longer expression is said so on standard
// error, and fails the command, whatever the value of the part analysed. Characters count,
// not the bytes of their UTF-8.
TEST(Evalion, LongExpressionsWarn)
{
    std::string Suma = "1";
    for (int i = 0; i < 511; ++i)
        Suma += "+1"; // 1023 characters, worth 512
    const std::string Texto = "\"" + std::string(1022 / 2, 'a') + [] {
        std::string Enes;
        for (int i = 0; i < 1022 / 2; ++i)
            Enes += "\xC3\xB1";
        return Enes;
    }() + "\"";
    const struct {
        std::string Expresion;
        std::string Salida;
        int Caracteres; // 0: no warning
    } Casos[] = {
        {Suma, "512\n", 0},
        {Suma + " ", "512\n", 0},                                                  // 1024
        {Suma + "+1", "Error: Se esperaba un operando en la posición 1025\n", 1025}, // the reading stops after "+"
        {Suma + " +1", "512\n", 1026},                                             // the part read succeeds
        {Texto, Texto.substr(1, Texto.size() - 2) + "\n", 0},                     // 1024 characters, 1535 bytes
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion.size());
        for (const Resultado &R : {Ejecutar({Caso.Expresion}), Ejecutar({}, Caso.Expresion + "\n")}) {
            EXPECT_EQ(R.Salida, Caso.Salida);
            EXPECT_EQ(R.Estado, Caso.Caracteres ? 1 : 0);
            if (Caso.Caracteres)
                EXPECT_EQ(R.Errores, "evalion: warning: an expression of " + std::to_string(Caso.Caracteres) +
                                         " characters; only the first 1024 are analysed\n");
            else
                EXPECT_EQ(R.Errores, "");
        }
    }
}

// The command on a terminal: the session a user types into, through a pseudo-terminal.
class Sesion : public ::testing::Test {
protected:
    void SetUp() override
    {
        Hijo = forkpty(&Terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(Hijo, 0);
        if (Hijo == 0) {
            setenv("TERM", "dumb", 1);
            std::vector<char *> Argv{const_cast<char *>(EVALION_PROGRAMA)};
            for (const char *Opcion : Opciones)
                Argv.push_back(const_cast<char *>(Opcion));
            Argv.push_back(nullptr);
            execv(EVALION_PROGRAMA, Argv.data());
            _exit(127);
        }
        ASSERT_EQ(HastaElIndicador("> "), Antes + "> ");
    }

    void TearDown() override
    {
        if (Terminal >= 0)
            close(Terminal);
        if (Hijo > 0)
            waitpid(Hijo, nullptr, 0);
    }

    // What the terminal shows until it ends with Fin (by default a prompt at the start of a
    // line, which a redrawn line never is), or until the session ends; carriage returns left
    // out. Gives up after ten quiet seconds.
    std::string HastaElIndicador(const std::string &Fin = "\n> ")
    {
        std::string Texto;
        pollfd Espera{Terminal, POLLIN, 0};
        while (Texto.size() < Fin.size() || Texto.compare(Texto.size() - Fin.size(), Fin.size(), Fin) != 0) {
            char Buffer[1024];
            if (poll(&Espera, 1, 10000) <= 0)
                break;
            const ssize_t Leido = read(Terminal, Buffer, sizeof Buffer);
            if (Leido <= 0)
                break; // the command has ended
            for (ssize_t i = 0; i < Leido; ++i)
                if (Buffer[i] != '\r')
                    Texto += Buffer[i];
        }
        return Texto;
    }

    // Types once line editing has taken the terminal: keys typed ahead of it would also be
    // echoed by the terminal itself. Gives what the terminal shows up to Fin.
    std::string Teclear(const std::string &Teclas, const std::string &Fin = "\n> ")
    {
        termios Modo{};
        for (int Intentos = 0; Intentos < 10000 && tcgetattr(Terminal, &Modo) == 0 && (Modo.c_lflag & ICANON); ++Intentos)
            usleep(1000);
        EXPECT_EQ(write(Terminal, Teclas.data(), Teclas.size()), static_cast<ssize_t>(Teclas.size()));
        return HastaElIndicador(Fin);
    }

    // Ends the input as a user does, with Ctrl-D, and gives the exit status.
    int Terminar()
    {
        Teclear("\x04");
        return Estado();
    }

    // The exit status once the session has ended.
    int Estado()
    {
        int Estado = 0;
        const bool Termino = waitpid(Hijo, &Estado, 0) == Hijo;
        Hijo = -1;
        return Termino && WIFEXITED(Estado) ? WEXITSTATUS(Estado) : -1;
    }

    // The terminal's width from now on, as a resized window gives it.
    void Ancho(unsigned short Columnas)
    {
        const winsize Ventana{24, Columnas, 0, 0};
        ASSERT_EQ(ioctl(Terminal, TIOCSWINSZ, &Ventana), 0);
    }

    int Terminal = -1;
    pid_t Hijo = -1;
    std::vector<const char *> Opciones; // the command's, set before SetUp runs
    std::string Antes;                  // what the command writes before its first prompt
};

// --repetir, which cannot time what is typed, says so before the first prompt; the session
// goes on as without it.
class SesionRepetida : public Sesion {
protected:
    void SetUp() override
    {
        Opciones = {"-r", "5"};
        Antes = "evalion: --repetir does not apply to an interactive session; each line is analysed once\n";
        Sesion::SetUp();
    }
};

TEST_F(SesionRepetida, SaysTheOptionDoesNotApply)
{
    EXPECT_EQ(Teclear("2+3\r"), "2+3\n5\n> ");
    EXPECT_EQ(Terminar(), 0);
}

// After the echoed line, a caret under the reported position: the prompt "> " takes two
// columns, position 0 stands just before the text and length + 1 just after it.
TEST_F(Sesion, CaretUnderTheErrorPosition)
{
    const struct {
        const char *Linea;
        const char *Respuesta;
    } Casos[] = {
        {"1 + x", "1 + x\n     ^\nError: Se esperaba una variable en la posición 4\n> "},
        {"   ", "   \n  ^\nError: Se esperaba un operando en la posición 1\n> "},
        {"1/0", "1/0\n     ^\nError: Error de división en la posición 4\n> "},
        {"\"ñ\"+1", "\"ñ\"+1\n       ^\nError: Los operandos no son compatibles en la posición 6\n> "},
        {"Raiz(4;9)", "Raiz(4;9)\n  ^\nError: Se esperaba una función en la posición 1\n> "},
        {"Pesetas+1", "Pesetas+1\n167.386\n> "},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Linea);
        EXPECT_EQ(Teclear(std::string(Caso.Linea) + "\r"), Caso.Respuesta);
    }
    EXPECT_EQ(Terminar(), 1);
}

// A tab is typed into the line, where it is an invalid character, and completes nothing.
TEST_F(Sesion, TabIsText)
{
    const std::string Respuesta = Teclear("1\t+1\r");
    EXPECT_NE(Respuesta.find("\n   ^\nError: Se ha encontrado un caracter no valido en la posicion 2\n"),
              std::string::npos)
        << Respuesta;
    EXPECT_EQ(Terminar(), 1);
}

// The arrow up brings back the line before; the end of input ends the session with 0 when
// nothing failed.
TEST_F(Sesion, History)
{
    EXPECT_EQ(Teclear("2+3\r"), "2+3\n5\n> ");
    const std::string Otra = Teclear("\x1b[A\r");
    EXPECT_NE(Otra.find("2+3"), std::string::npos) << Otra;
    EXPECT_EQ(Otra.substr(Otra.size() - 5), "\n5\n> ") << Otra;
    EXPECT_EQ(Terminar(), 0);
}

// An empty line is no expression: the prompt comes again, and the status stays 0.
TEST_F(Sesion, EmptyLinePromptsAgain)
{
    EXPECT_EQ(Teclear("\r"), "\n> ");
    EXPECT_EQ(Teclear("\r"), "\n> ");
    EXPECT_EQ(Terminar(), 0);
}

// A Ctrl-D typed right after Enter can reach the terminal while it is canonical, between two
// lines and before the command reads again; the terminal then keeps it as an end of line,
// read later as a NUL. A race, so many sessions, each with both keys written at once.
TEST_F(Sesion, CtrlDRightAfterEnterEnds)
{
    for (int Vez = 0; Vez < 200; ++Vez) {
        if (Vez > 0) {
            TearDown();
            SetUp();
        }
        ASSERT_EQ(write(Terminal, "7\r", 2), 2);
        ASSERT_EQ(write(Terminal, "\x04", 1), 1);
        HastaElIndicador("\n\n"); // the answer, then the line that ends the session
        int Estado = -1;
        for (int Intentos = 0; Intentos < 300 && waitpid(Hijo, &Estado, WNOHANG) == 0; ++Intentos)
            usleep(10000);
        ASSERT_TRUE(WIFEXITED(Estado)) << "session " << Vez << " goes on after Ctrl-D";
        Hijo = -1;
        ASSERT_EQ(WEXITSTATUS(Estado), 0);
    }
}

// Ctrl-C drops the line being typed and prompts again; a second one on the empty line
// that follows ends the session, with the status of what was analysed.
TEST_F(Sesion, CtrlCClearsTheLineThenEnds)
{
    // Ctrl-C also drops what the terminal holds unread, so each key is seen before it.
    EXPECT_EQ(Teclear("1+", "1+"), "1+");
    EXPECT_EQ(Teclear("\x03"), "^C\n> ");
    EXPECT_EQ(Teclear("2+3\r"), "2+3\n5\n> ");
    EXPECT_EQ(Teclear("\x03"), "^C\n> "); // the first on an empty line
    EXPECT_EQ(Teclear("7", "7"), "7");        // a key: the next Ctrl-C is a first one again
    EXPECT_EQ(Teclear("\x03"), "^C\n> ");
    EXPECT_EQ(Teclear("\x03"), "\n");
    EXPECT_EQ(Estado(), 0);
}

// A line wider than the terminal wraps, so the row that holds the error, as the screen shows
// it after the prompt, is printed again with the caret beneath; then, on standard error, the
// warning about the length.
TEST_F(Sesion, CaretOnAWrappedLineBeforeTheWarning)
{
    Ancho(12);
    const struct {
        const char *Linea; // 21 columns with the prompt: "> " and 10 characters, then 9
        const char *Fila;
    } Casos[] = {
        {"1+1+1+1+1+1+1+1+1+x", "\n1+1+1+1+x\n        ^\nError: Se esperaba una variable en la posición 19\n> "},
        {"1+1+1+1+x+1+1+1+1+1", "\n> 1+1+1+1+x+\n          ^\nError: Se esperaba una variable en la posición 9\n> "},
        {"1+1+1+1+1+x+1+1+1+1", "\nx+1+1+1+1\n^\nError: Se esperaba una variable en la posición 11\n> "},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Linea);
        const std::string Respuesta = Teclear(std::string(Caso.Linea) + "\r");
        EXPECT_EQ(Respuesta.substr(Respuesta.find("\n")), Caso.Fila);
    }
    Ancho(0);
    std::string Suma = "1";
    for (int i = 0; i < 512; ++i)
        Suma += "+1"; // 1025 characters, the last "1" beyond what is read
    const std::string Larga = Teclear(Suma + "\r");
    EXPECT_NE(Larga.find(std::string(2 + 1024, ' ') + "^\nevalion: warning: an expression of 1025 characters; only the "
                                                         "first 1024 are analysed\nError: Se esperaba un operando en la posición 1025\n> "),
              std::string::npos)
        << Larga;
    EXPECT_EQ(Terminar(), 1);
}

} // namespace
