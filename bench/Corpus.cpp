#include "Corpus.h"

#include <cmath>
#include <cstring>

namespace Banco {

namespace {

constexpr size_t LARGO_SUMA = 200;
constexpr size_t LARGO_ANIDADA = 1000;
constexpr size_t LARGO_TEXTO = 1000;

// A sum of decimal literals of exactly Largo characters. The literals are binary fractions,
// so the sum is exact in any grouping and muparser must give the same value.
Fila SumaDecimales(size_t Largo)
{
    struct Termino {
        const char *Texto;
        double Valor;
    };
    constexpr Termino TERMINOS[] = {{"1,25", 1.25},   {"2,5", 2.5},   {"0,125", 0.125},
                                    {"10,75", 10.75}, {"3,375", 3.375}, {"7,5", 7.5}};
    std::string Texto;
    double Suma = 0;
    // Every term adds at most six characters, so the loop leaves room for a last "+" and
    // an integer of one to six digits that makes the length exact.
    for (size_t i = 0; Largo - Texto.size() > 7; ++i) {
        const Termino &T = TERMINOS[i % (sizeof TERMINOS / sizeof TERMINOS[0])];
        if (!Texto.empty())
            Texto += '+';
        Texto += T.Texto;
        Suma += T.Valor;
    }
    const size_t Digitos = Largo - Texto.size() - 1;
    Texto += "+1" + std::string(Digitos - 1, '0');
    Suma += std::pow(10.0, static_cast<double>(Digitos - 1));

    std::string Mu = Texto;
    for (char &c : Mu)
        if (c == ',')
            c = '.';
    return {"suma 200", Texto, Mu, Suma, false};
}

// Nested sums and differences in which every parenthesis holds exactly one operator, so
// that the grouping from the right and muparser's grouping from the left give one value.
struct Arbol {
    unsigned Hojas = 0;
    unsigned Operadores = 0;

    // Appends an expression of exactly Largo characters and returns its value.
    double Generar(std::string &Texto, size_t Largo)
    {
        if (Largo <= 4) { // a literal of Largo digits, taken from a rotating "123456789"
            double Valor = 0;
            for (size_t i = 0; i < Largo; ++i) {
                const char Digito = static_cast<char>('1' + (Hojas + i) % 9);
                Texto += Digito;
                Valor = Valor * 10 + (Digito - '0');
            }
            ++Hojas;
            return Valor;
        }
        const size_t Dentro = Largo - 3; // the parentheses and the operator
        const char Operador = (Operadores++ % 2) ? '-' : '+';
        Texto += '(';
        const double Izq = Generar(Texto, Dentro / 2);
        Texto += Operador;
        const double Der = Generar(Texto, Dentro - Dentro / 2);
        Texto += ')';
        return Operador == '+' ? Izq + Der : Izq - Der;
    }
};

Fila Anidada(size_t Largo)
{
    std::string Texto;
    Arbol A;
    const double Valor = A.Generar(Texto, Largo);
    return {"anidada " + std::to_string(Largo), Texto, Texto, Valor, false};
}

// Two equal text literals compared with "=": every byte of both is copied and compared.
Fila ComparacionDeTextos(size_t Largo)
{
    constexpr char RELLENO[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 ";
    const size_t Caracteres = (Largo - 6) / 2; // two pairs of quotes, the blank and "="
    std::string Cadena;
    for (size_t i = 0; i < Caracteres; ++i)
        Cadena += RELLENO[i % (sizeof RELLENO - 1)];
    std::string Texto = '"' + Cadena + "\" =\"" + Cadena + '"';
    // muparser takes texts only as arguments of string functions and cannot compare two.
    return {"texto 1000", Texto, "", 1.0, false};
}

// Two texts that differ only in their last byte, compared with "<": "aa...a" <"aa...ab".
Fila OrdenDeTextos(size_t Largo)
{
    const size_t Caracteres = (Largo - 6) / 2;
    const std::string Izq(Caracteres, 'a');
    const std::string Der = std::string(Caracteres - 1, 'a') + 'b';
    return {"texto < 1000", '"' + Izq + "\" <\"" + Der + '"', "", 1.0, false};
}

std::vector<Fila> Construir()
{
    std::vector<Fila> Filas = {
        {"1", "1", "1", 1, false},
        {"1+2", "1+2", "1+2", 3, false},
        {"167,386+1", "167,386+1", "167.386+1", 168.386, false},
        // 10-2-3 groups as 10-(2-3) here; muparser needs the grouping written out.
        {"(1+2)-(3-4)+5", "(1+2)-(3-4)+5", "(1+2)-((3-4)+5)", -1, false},
        {"2^3^2", "2^3^2", "2^3^2", 512, false},
        // The sign binds tighter than "^" here, looser in muparser.
        {"-2^2", "-2^2", "(-2)^2", 4, false},
        {"x+1", "x+1", "x+1", VALOR_X + 1, true},
        {"Raiz(4)+Seno(0)", "Raiz(4)+Seno(0)", "sqrt(4)+sin(0)", 2, true},
        {"parentesis x10", "((((((((((x))))))))))", "((((((((((x))))))))))", VALOR_X, true},
    };
    Filas.push_back(SumaDecimales(LARGO_SUMA));
    Filas.push_back(Anidada(LARGO_ANIDADA));
    Filas.push_back(ComparacionDeTextos(LARGO_TEXTO));
    Filas.push_back(OrdenDeTextos(LARGO_TEXTO));
    // The same shape at other lengths, to show how the cost grows with the text.
    for (size_t Largo : LARGOS_DE_CRECIMIENTO)
        if (Largo != LARGO_ANIDADA)
            Filas.push_back(Anidada(Largo));
    return Filas;
}

} // namespace

const std::vector<Fila> &Corpus()
{
    static const std::vector<Fila> FILAS = Construir();
    return FILAS;
}

std::vector<const Fila *> FilasDeCrecimiento()
{
    std::vector<const Fila *> Filas;
    for (size_t Largo : LARGOS_DE_CRECIMIENTO)
        Filas.push_back(BuscarFila("anidada " + std::to_string(Largo)));
    return Filas;
}

const Fila *BuscarFila(const std::string &Nombre)
{
    for (const Fila &F : Corpus())
        if (F.Nombre == Nombre)
            return &F;
    return nullptr;
}

void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Variable, "x") == 0) {
        R->Numero = VALOR_X;
        R->Tipo = TIPO_NUMERO;
    } else {
        R->Error = E_VARIABLE;
    }
}

void EVALION_CONV PedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    if (N != 1 || !(Parametros[0].Tipo & TIPO_NUMERO)) {
        R->Error = E_INCOMPATIBLES;
        return;
    }
    if (std::strcmp(Funcion, "Raiz") == 0)
        R->Numero = std::sqrt(Parametros[0].Numero);
    else if (std::strcmp(Funcion, "Seno") == 0)
        R->Numero = std::sin(Parametros[0].Numero);
    else {
        R->Error = E_FUNCION;
        return;
    }
    R->Tipo = TIPO_NUMERO;
}

} // namespace Banco
