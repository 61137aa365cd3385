// The prepared evaluator against the analysis: the fuzz corpus, then random texts with hosts
// whose answers change from call to call, each case compared by Comparacion.
//
//   evalion_diferencial [CASES [SEED [CORPUS-DIR]]]
//
// Prints the counts and exits 1 at the first difference, with the case that shows it.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>

#include "Comparacion.h"

namespace {

struct Azar {
    uint64_t Estado;
    uint64_t Siguiente()
    {
        Estado ^= Estado << 13;
        Estado ^= Estado >> 7;
        Estado ^= Estado << 17;
        return Estado;
    }
    uint32_t Hasta(uint32_t n) { return static_cast<uint32_t>(Siguiente() % n); }
};

// Pieces of texts: everything the lexer tells apart, in the engine's syntax.
const char *const OPERANDOS[] = {"1", "0", "2,5", "1.000", "007", "12345678901234567890", ",5", "1e5", "x", "y",
                                 "Pi", "año", "\"ab\"", "\"\"", "\"x\"", "f(x)", "g(1;\"a\")", "h(2;3;4)",
                                 "-x", "+-1", "--\"a\""};
// Only numbers and variables: the forms that bound variables turn into numbers only.
const char *const NUMERICOS[] = {"1", "0", "2,5", "3", "x", "y", "-x", "1e5", "12345678901234567890", "0,1", "2", "0,5"};
const char *const OPERADORES[] = {"+", "-", "*", "/", "^", "=", "<>", "<", ">", "<=", ">=", " + ", "^-"};
// The standard library's names, in other cases too, for the cases that bind it: functions of
// numbers (bound), and of texts or of any kind (always asked for); and its constants.
const char *const ESTANDAR[] = {"Raiz", "Abs", "Seno", "Coseno", "Tangente", "Ln", "Log", "Exp", "Max", "MIN",
                                "Suma", "Promedio", "Redondear", "Resto", "Signo", "Y", "o", "No", "Truncar",
                                "Entero", "Techo", "ArcoSeno", "ArcoCoseno", "ArcoTangente", "raiz", "si",
                                "Texto", "Longitud", "Valor", "Mayusculas"};
const char *const CONSTANTES[] = {"Pi", "E", "pi", "-E", "Raiz(-1)", "Ln(0)", "Exp(1000)", "-Exp(1000)"};
const char *const RUIDO[] = {"(", ")", ";", "$", "\t", " ", "\"", "f(", "((", "))", ",", ".", "ü", "#", "^^"};

void Expresion(Azar &A, std::string &T, int Hondura, bool Numeros, bool Estandar);

// A call of Nombre with 1 to 5 arguments (1 to 4 are bound where the function takes them).
void Llamada(Azar &A, std::string &T, const char *Nombre, int Hondura, bool Numeros, bool Estandar)
{
    T += Nombre;
    T += "(";
    const uint32_t Argumentos = 1 + A.Hasta(Estandar ? 5 : 3);
    for (uint32_t a = 0; a < Argumentos; ++a) {
        if (a > 0)
            T += ";";
        Expresion(A, T, Hondura + 1, Numeros, Estandar);
    }
    T += ")";
}

void Expresion(Azar &A, std::string &T, int Hondura, bool Numeros, bool Estandar)
{
    const uint32_t Terminos = 1 + A.Hasta(Hondura > 3 ? 2 : 4);
    for (uint32_t k = 0; k < Terminos; ++k) {
        if (k > 0)
            T += OPERADORES[A.Hasta(std::size(OPERADORES))];
        const uint32_t Que = A.Hasta(10);
        if (Que < 2 && Hondura < 6) {
            T += A.Hasta(2) ? "(" : "-(";
            Expresion(A, T, Hondura + 1, Numeros, Estandar);
            T += ")";
        } else if (Estandar && Que >= 7 && Hondura < 6) {
            Llamada(A, T, ESTANDAR[A.Hasta(Numeros ? 24 : std::size(ESTANDAR))], Hondura, Numeros, Estandar);
        } else if (Estandar && Que == 6) {
            T += CONSTANTES[A.Hasta(std::size(CONSTANTES))];
        } else if (Numeros) {
            T += NUMERICOS[A.Hasta(std::size(NUMERICOS))];
        } else if (Que == 2 && Hondura < 6) {
            Llamada(A, T, A.Hasta(2) ? "f" : "Raiz", Hondura, Numeros, Estandar);
        } else {
            T += OPERANDOS[A.Hasta(std::size(OPERANDOS))];
        }
    }
}

// A well-formed text, then as often as not a few pieces put in, taken out or changed.
std::string Texto(Azar &A, bool Estandar)
{
    std::string T;
    Expresion(A, T, 0, A.Hasta(3) == 0, Estandar);
    for (uint32_t Cambios = A.Hasta(2) ? 0 : 1 + A.Hasta(3); Cambios > 0 && !T.empty(); --Cambios) {
        const size_t Donde = A.Hasta(static_cast<uint32_t>(T.size()));
        switch (A.Hasta(3)) {
        case 0: T.insert(Donde, RUIDO[A.Hasta(std::size(RUIDO))]); break;
        case 1: T.erase(Donde, 1 + A.Hasta(3)); break;
        default: T[Donde] = static_cast<char>(' ' + A.Hasta(95)); break;
        }
    }
    return T;
}

bool Probar(const Comparacion::Caso &C)
{
    const std::string Diferencia = Comparacion::Comparar(C);
    if (Diferencia.empty())
        return true;
    std::printf("difference on [%s] (thousands %d, decimal %d, seed %llu%s%s%s%s%s):\n%s\n", C.Texto.c_str(), C.Millar,
                C.Decimal, static_cast<unsigned long long>(C.Semilla), C.SinPeticiones ? ", no callbacks" : "",
                C.Vincular ? ", variables bound" : "", C.Nativas ? ", C code" : "",
                C.AjustesDelAnfitrion ? ", host's settings" : "", C.Estandar ? ", standard library" : "",
                Diferencia.c_str());
    return false;
}

// The fuzz target's inputs: separators, callbacks, a seed, the text.
uint64_t Corpus(const char *Carpeta)
{
    DIR *D = opendir(Carpeta);
    if (D == nullptr)
        return 0;
    uint64_t Casos = 0;
    while (const dirent *E = readdir(D)) {
        if (E->d_name[0] == '.')
            continue;
        std::ifstream Archivo(std::string(Carpeta) + "/" + E->d_name, std::ios::binary);
        const std::string Bytes((std::istreambuf_iterator<char>(Archivo)), std::istreambuf_iterator<char>());
        if (Bytes.size() < 11)
            continue;
        Comparacion::Caso C;
        C.Millar = Bytes[0];
        C.Decimal = Bytes[1];
        C.SinPeticiones = (Bytes[2] & 3) == 0;
        for (int k = 0; k < 8; ++k)
            C.Semilla = C.Semilla << 8 | static_cast<unsigned char>(Bytes[3 + k]);
        C.Texto = std::string(Bytes.c_str() + 11);
        for (uint64_t Variante = 0; Variante < 4; ++Variante, ++Casos) {
            C.Semilla += Variante;
            if (!Probar(C))
                std::exit(1);
        }
    }
    closedir(D);
    return Casos;
}

} // namespace

int main(int argc, char **argv)
{
    const uint64_t Casos = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    Azar A{argc > 2 ? std::strtoull(argv[2], nullptr, 10) | 1 : 88172645463325252ull};
    const uint64_t DelCorpus = argc > 3 ? Corpus(argv[3]) : 0;

    for (uint64_t k = 0; k < Casos; ++k) {
        Comparacion::Caso C;
        C.Estandar = A.Hasta(4) == 0; // a quarter of the cases: standard names, bound
        C.Texto = Texto(A, C.Estandar);
        C.Semilla = A.Siguiente();
        C.SinPeticiones = A.Hasta(16) == 0 && !C.Estandar; // the library's handler needs the callbacks
        C.AjustesDelAnfitrion = A.Hasta(4) == 0;
        if (A.Hasta(4) == 0) { // variables bound, some to values the operators treat apart
            // (not-a-numbers: quiet with a payload, negative, signaling)
            const double VALORES[] = {5, 0, -1, 0.5, 1e308, Comparacion::NAN_CARGADO,
                                      Comparacion::NAN_NEGATIVO, Comparacion::NAN_SENALIZADOR};
            C.Vincular = true;
            C.SinPeticiones = false; // the analysis's host answers what the form binds
            C.Vinculada = VALORES[A.Hasta(std::size(VALORES))];
            C.Nativas = !C.Estandar && C.Semilla / 64 % 2 == 1; // and half the time the functions to C code
            C.EnSuSitio = C.Semilla / 128 % 2 == 1;
            // the trap unmasked, where no bound code (the host's own) divides by zero
            C.Trampas = !C.Nativas && C.Semilla / 256 % 2 == 1;
        }
        if (A.Hasta(8) == 0) { // the other common pair, or a digit as a separator
            C.Millar = A.Hasta(2) ? ',' : '1';
            C.Decimal = '.';
        }
        if (!Probar(C))
            return 1;
    }
    const Comparacion::Cuentas &N = Comparacion::Contadas();
    std::printf("%llu cases (%llu from the corpus): %llu prepared, %llu refused, %llu requests compared, "
                "%llu across rows (%llu in place), %llu with the invalid trap unmasked, %llu calls of bound "
                "code counted, %llu with the standard library bound (%llu names), no difference\n",
                static_cast<unsigned long long>(Casos + DelCorpus), static_cast<unsigned long long>(DelCorpus),
                static_cast<unsigned long long>(N.Preparados), static_cast<unsigned long long>(N.Rechazados),
                static_cast<unsigned long long>(N.Peticiones), static_cast<unsigned long long>(N.Filas),
                static_cast<unsigned long long>(N.EnSuSitio), static_cast<unsigned long long>(N.Trampas),
                static_cast<unsigned long long>(N.Llamadas), static_cast<unsigned long long>(N.Estandar),
                static_cast<unsigned long long>(N.Estandares));
    return 0;
}
