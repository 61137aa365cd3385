// The evalion command as a user runs it: arguments or standard input in, one line out per
// expression, UTF-8 on both sides, and the exit status.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Resultado {
    std::string Salida;
    int Estado;
};

// Runs the command with Argumentos and Entrada on its standard input; standard error is
// left to the test's own. The input is written before the output is read, which is fine
// for the few lines these tables use.
Resultado Ejecutar(const std::vector<std::string> &Argumentos, const std::string &Entrada = "")
{
    std::signal(SIGPIPE, SIG_IGN); // with arguments the command never reads its input
    int HaciaHijo[2], DesdeHijo[2];
    if (pipe(HaciaHijo) != 0 || pipe(DesdeHijo) != 0)
        return {"pipe failed", -1};

    posix_spawn_file_actions_t Acciones;
    posix_spawn_file_actions_init(&Acciones);
    posix_spawn_file_actions_adddup2(&Acciones, HaciaHijo[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&Acciones, DesdeHijo[1], STDOUT_FILENO);
    for (int Descriptor : {HaciaHijo[0], HaciaHijo[1], DesdeHijo[0], DesdeHijo[1]})
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
    if (Lanzado == 0 && !Entrada.empty())
        (void)!write(HaciaHijo[1], Entrada.data(), Entrada.size());
    close(HaciaHijo[1]);

    Resultado R{"", -1};
    char Buffer[4096];
    for (ssize_t Leido; (Leido = read(DesdeHijo[0], Buffer, sizeof Buffer)) > 0;)
        R.Salida.append(Buffer, static_cast<size_t>(Leido));
    close(DesdeHijo[0]);
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
    EXPECT_EQ(R.Estado, 0);
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
        {"\n", "Error: Se esperaba un operando en la posición 0\n", 1},
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

} // namespace
