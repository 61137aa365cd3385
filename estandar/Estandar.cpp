// The standard functions and constants, answered from one table: each entry says how many
// arguments it takes and of which kind, so that the counts and kinds are checked in one place
// and every function body sees only arguments it can use.
#include "Estandar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

#include "Bloques.hpp"
#include "Formula.h"
#include "Cifras.h"
#include "Codificacion.hpp"
#include "ComaFlotante.h"
#include "Mensajes.h"
#include "Respuestas.h"

namespace {

using Evalion::MismoNombre;

using Evalion::Bloques::LARGO_TEXTO;

// A text argument: what Cadena holds before its first NUL, so that a host's block without a
// terminator is read no further than its field.
std::string_view Texto(const BLOQUEDEDATOS &B) { return std::string_view(B.Cadena, Evalion::Bloques::LargoTexto(B)); }

// The characters of T from Desde on, at most Cuantos: std::string_view::substr without its
// exception, which would bring the C++ run time into the DLL.
std::string_view Parte(std::string_view T, size_t Desde, size_t Cuantos = std::string_view::npos)
{
    Desde = std::min(Desde, T.size());
    return std::string_view(T.data() + Desde, std::min(Cuantos, T.size() - Desde));
}

// A number as a result gives it: a negative zero is 0, so that no result reads "-0".
double SinMenosCero(double Valor) { return Valor == 0 ? 0.0 : Valor; }

// A number result.
void AsignarNumero(BLOQUEDEDATOS &R, double Valor)
{
    R.Numero = SinMenosCero(Valor);
    R.Tipo = TIPO_NUMERO;
    R.Error = 0;
}

// A text result, cut to what Cadena holds as a join cuts it.
void AsignarTexto(BLOQUEDEDATOS &R, std::string_view Valor) { Evalion::Bloques::PonerTexto(R, Valor.data(), Valor.size()); }

using Evalion::Codificacion::Mayuscula;
using Evalion::Codificacion::Minuscula;

void CambiarCaso(const BLOQUEDEDATOS &T, BLOQUEDEDATOS &R, unsigned char (*Cambio)(unsigned char))
{
    const std::string_view Origen = Texto(T);
    char Salida[LARGO_TEXTO];
    for (size_t i = 0; i < Origen.size(); ++i)
        Salida[i] = static_cast<char>(Cambio(static_cast<unsigned char>(Origen[i])));
    AsignarTexto(R, std::string_view(Salida, Origen.size()));
}

// The characters of T from position Desde (1-based) on, Cuantos of them, counting only those
// that exist: positions before the first or after the last are no characters. Both counts
// are truncated to whole numbers; a window with nothing in it gives the empty text.
void Tramo(std::string_view T, double Desde, double Cuantos, BLOQUEDEDATOS &R)
{
    Desde = std::trunc(Desde);
    const double Hasta = std::min(Desde + std::trunc(Cuantos) - 1, static_cast<double>(T.size()));
    Desde = std::max(Desde, 1.0);
    if (!(Desde <= Hasta))
        return AsignarTexto(R, {});
    AsignarTexto(R, Parte(T, static_cast<size_t>(Desde) - 1, static_cast<size_t>(Hasta - Desde) + 1));
}

// Rounds half away from zero to Decimales decimals (negative: to tens, hundreds...), on the
// decimal digits the number is written with in its shortest form, those that read back as
// the same double: 2,675 rounds to 2,68 as it reads, although its nearest double lies just
// below. An integer has no digit after the point in that form, so it never changes.
double Redondear(double Valor, double Decimales)
{
    if (std::isnan(Decimales))
        return Decimales;
    if (!std::isfinite(Valor) || Valor == 0)
        return Valor;
    // Beyond 400 decimals every double keeps all its digits; below -400 none is left.
    const int Lugares = static_cast<int>(std::clamp(std::trunc(Decimales), -400.0, 400.0));
    char Digitos[18]; // the first one worth 10^Exponente
    int Exponente = 0;
    const int Largo = Evalion::CifrasMasCortas(std::fabs(Valor), Digitos, Exponente);
    const int Guardados = Exponente + Lugares + 1; // the digits worth at least 10^-Lugares
    if (Guardados >= Largo)
        return Valor;
    if (Guardados < 0)
        return 0;
    char Entero[19]; // in units of 10^-Lugares, with room for a carry into a new digit
    int N = Guardados;
    std::memcpy(Entero + 1, Digitos, static_cast<size_t>(N));
    Entero[0] = '0';
    if (Digitos[Guardados] >= '5') {
        int i = N;
        for (; i > 0 && Entero[i] == '9'; --i)
            Entero[i] = '0';
        ++Entero[i];
    }
    const double Resultado = Evalion::LeerCifras(Entero, static_cast<size_t>(N) + 1, -Lugares);
    return std::copysign(Resultado, Valor);
}

// a - b·Truncar(a/b), with the quotient as the division gives it, so that Resto(1;0,1) is 0
// as it reads. A quotient rounded up to a whole number leaves a remainder of the other sign,
// which is that 0; a quotient too large for its units to count is the exact remainder. An
// infinite divisor leaves every finite a as it is, where b·0 would be NaN.
double Resto(double a, double b)
{
    const double Cociente = std::trunc(a / b);
    if (std::isinf(b) || !std::isfinite(Cociente) || std::fabs(Cociente) >= 9007199254740992.0) // 2^53
        return std::fmod(a, b);
    const double Resultado = a - b * Cociente;
    return (Resultado < 0) != (a < 0) ? 0 : Resultado;
}

// The mean; a sum that overflows with finite numbers is taken again scaled down by a power
// of two, which is exact, so that the mean of finite numbers is finite.
// The numbers of a call: those of the blocks of a request, or the doubles of a bound call,
// read by one same body of each function, so that both give the same bits (a second copy
// of a body could keep a sum in the x87 unit's wider registers where the first does not).
class TNumeros {
public:
    explicit TNumeros(const BLOQUEDEDATOS *P)
        : Base(reinterpret_cast<const unsigned char *>(P) + offsetof(BLOQUEDEDATOS, Numero)), Salto(sizeof *P)
    {
    }
    explicit TNumeros(const double *X) : Base(reinterpret_cast<const unsigned char *>(X)), Salto(sizeof *X) {}
    double operator[](int32_t i) const
    {
        double Numero;
        std::memcpy(&Numero, Base + static_cast<size_t>(i) * Salto, sizeof Numero);
        return Numero;
    }

private:
    const unsigned char *Base;
    size_t Salto;
};

double Promedio(TNumeros P, int32_t N)
{
    double Suma = 0;
    bool Finitos = true;
    for (int32_t i = 0; i < N; ++i) {
        Suma += P[i];
        Finitos = Finitos && std::isfinite(P[i]);
    }
    if (std::isfinite(Suma) || !Finitos)
        return Suma / N;
    const int Escala = static_cast<int>(std::ceil(std::log2(static_cast<double>(N)))) + 1;
    Suma = 0;
    for (int32_t i = 0; i < N; ++i)
        Suma += std::ldexp(P[i], -Escala);
    return std::ldexp(Suma / N, Escala);
}

// Whether T is, in any case, Palabra.
bool Igual(std::string_view T, std::string_view Palabra)
{
    return T.size() == Palabra.size() &&
           std::equal(T.begin(), T.end(), Palabra.begin(), [](char a, char b) { return (a | 0x20) == b; });
}

// "nan", or "nan(" letters, digits and "_" ")", in any case.
bool EsNan(std::string_view T)
{
    if (T.size() < 3 || !Igual(Parte(T, 0, 3), "nan"))
        return false;
    if (T.size() == 3)
        return true;
    if (T[3] != '(' || T.back() != ')')
        return false;
    return std::all_of(T.begin() + 4, T.end() - 1, [](char c) {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_';
    });
}

// An unsigned number: digits with at most one "." among them, at least one digit, and an
// optional exponent (e or E, a sign, digits); "inf", "infinity" or a NAN. NAN otherwise.
// Beyond a double it is the infinity or the zero it rounds to.
double LeerNumero(std::string_view T)
{
    if (Igual(T, "inf") || Igual(T, "infinity"))
        return HUGE_VAL;
    if (EsNan(T))
        return NAN;
    char Cifras[LARGO_TEXTO];
    size_t N = 0, i = 0;
    long Exponente = 0;
    bool Punto = false;
    for (; i < T.size(); ++i) {
        if (T[i] == '.' && !Punto) {
            Punto = true;
        } else if (T[i] >= '0' && T[i] <= '9') {
            Cifras[N++] = T[i];
            Exponente -= Punto;
        } else {
            break;
        }
    }
    if (N == 0)
        return NAN;
    if (i < T.size() && (T[i] == 'e' || T[i] == 'E')) {
        ++i;
        const bool Menos = i < T.size() && T[i] == '-';
        i += i < T.size() && (T[i] == '-' || T[i] == '+');
        long Escrito = 0;
        const size_t Inicio = i;
        for (; i < T.size() && T[i] >= '0' && T[i] <= '9'; ++i)
            Escrito = std::min(Escrito * 10 + (T[i] - '0'), 100000L); // past any digit count
        if (i == Inicio)
            return NAN;
        Exponente += Menos ? -Escrito : Escrito;
    }
    return i == T.size() ? Evalion::LeerCifras(Cifras, N, Exponente) : NAN;
}

// A text as a number: blanks around it, one sign, "." as the decimal point, an exponent; the
// infinities and NAN as Texto writes them. Anything else is E_VALOR.
void Valor(const BLOQUEDEDATOS &T, BLOQUEDEDATOS &R)
{
    std::string_view Cifras = Texto(T);
    const size_t Primero = Cifras.find_first_not_of(" \t");
    Cifras = Primero == std::string_view::npos ? std::string_view{} : Parte(Cifras, Primero);
    Cifras = Parte(Cifras, 0, Cifras.find_last_not_of(" \t") + 1);
    const bool Negativo = !Cifras.empty() && Cifras[0] == '-';
    if (!Cifras.empty() && (Cifras[0] == '-' || Cifras[0] == '+'))
        Cifras.remove_prefix(1);
    if (Cifras.empty() || Cifras[0] == '-' || Cifras[0] == '+') {
        R.Error = E_VALOR;
        return;
    }
    const double Numero = LeerNumero(Cifras);
    if (std::isnan(Numero) && !EsNan(Cifras)) {
        R.Error = E_VALOR;
        return;
    }
    AsignarNumero(R, Negativo ? -Numero : Numero);
}

// Y and O: 1 when every argument (Todos) or any of them is not 0, else 0.
template <bool Todos>
double Conectar(TNumeros P, int32_t N)
{
    for (int32_t i = 0; i < N; ++i)
        if ((P[i] != 0) != Todos)
            return Todos ? 0 : 1;
    return Todos ? 1 : 0;
}

// Folds the numbers of P with Paso, starting from the first one.
template <double (*Paso)(double, double)>
double Plegar(TNumeros P, int32_t N)
{
    double Acumulado = P[0];
    for (int32_t i = 1; i < N; ++i)
        Acumulado = Paso(Acumulado, P[i]);
    return Acumulado;
}

// A not-a-number argument makes the extreme not-a-number, as it does any arithmetic.
double Mayor(double a, double b) { return std::isnan(a) ? a : std::isnan(b) || b > a ? b : a; }
double Menor(double a, double b) { return std::isnan(a) ? a : std::isnan(b) || b < a ? b : a; }
double Sumar(double a, double b) { return a + b; }

double Redondeo(TNumeros P, int32_t N) { return Redondear(P[0], N > 1 ? P[1] : 0); }
double Residuo(TNumeros P, int32_t) { return Resto(P[0], P[1]); }

using TCalculo = void (*)(const BLOQUEDEDATOS *P, int32_t N, BLOQUEDEDATOS &R);
using TUnaria = double (*)(double);
using TDeNumeros = double (*)(TNumeros P, int32_t N);

// One function: its name, how many arguments it takes, their kinds ("n" a number, "t" a
// text, "?" either; the last letter stands for every further argument), and its body: a
// function of one number, or of several numbers, or one that fills R from the arguments.
// Which body a function has says whether it has C code for bound calls (Numerica).
struct TFuncion {
    constexpr TFuncion(const char *N, int32_t Mi, int32_t Ma, const char *T, TUnaria U)
        : Nombre(N), Minimo(Mi), Maximo(Ma), Tipos(T), Unaria(U), Numerica(true)
    {
    }
    constexpr TFuncion(const char *N, int32_t Mi, int32_t Ma, const char *T, TDeNumeros D)
        : Nombre(N), Minimo(Mi), Maximo(Ma), Tipos(T), Numeros(D), Numerica(true)
    {
    }
    constexpr TFuncion(const char *N, int32_t Mi, int32_t Ma, const char *T, TCalculo C)
        : Nombre(N), Minimo(Mi), Maximo(Ma), Tipos(T), Calculo(C)
    {
    }
    const char *Nombre;
    int32_t Minimo;
    int32_t Maximo; // 0: no upper bound
    const char *Tipos;
    TUnaria Unaria = nullptr;
    TCalculo Calculo = nullptr;
    TDeNumeros Numeros = nullptr;
    bool Numerica = false; // a function of numbers only, whose answer is a number
};

constexpr TFuncion FUNCIONES[] = {
    {"Abs", 1, 1, "n", [](double x) { return std::fabs(x); }},
    {"Signo", 1, 1, "n", [](double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : x == 0 ? 0.0 : x; }},
    {"Raiz", 1, 1, "n", [](double x) { return std::sqrt(x); }},
    {"Exp", 1, 1, "n", [](double x) { return std::exp(x); }},
    {"Ln", 1, 1, "n", [](double x) { return std::log(x); }},
    {"Log", 1, 1, "n", [](double x) { return std::log10(x); }},
    {"Seno", 1, 1, "n", [](double x) { return std::sin(x); }},
    {"Coseno", 1, 1, "n", [](double x) { return std::cos(x); }},
    {"Tangente", 1, 1, "n", [](double x) { return std::tan(x); }},
    {"ArcoSeno", 1, 1, "n", [](double x) { return std::asin(x); }},
    {"ArcoCoseno", 1, 1, "n", [](double x) { return std::acos(x); }},
    {"ArcoTangente", 1, 1, "n", [](double x) { return std::atan(x); }},
    {"Truncar", 1, 1, "n", [](double x) { return std::trunc(x); }},
    {"Entero", 1, 1, "n", [](double x) { return std::floor(x); }},
    {"Techo", 1, 1, "n", [](double x) { return std::ceil(x); }},
    {"No", 1, 1, "n", [](double x) { return x == 0 ? 1.0 : 0.0; }},
    {"Redondear", 1, 2, "n", Redondeo},
    {"Resto", 2, 2, "n", Residuo},
    {"Max", 1, 0, "n", Plegar<Mayor>},
    {"Min", 1, 0, "n", Plegar<Menor>},
    {"Suma", 1, 0, "n", Plegar<Sumar>},
    {"Promedio", 1, 0, "n", Promedio},
    {"Y", 1, 0, "n", Conectar<true>},
    {"O", 1, 0, "n", Conectar<false>},
    {"si", 3, 3, "?", [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { Evalion::Si(P, R); }},
    {"Longitud", 1, 1, "t",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { AsignarNumero(R, static_cast<double>(Texto(P[0]).size())); }},
    {"Mayusculas", 1, 1, "t",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { CambiarCaso(P[0], R, Mayuscula); }},
    {"Minusculas", 1, 1, "t",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { CambiarCaso(P[0], R, Minuscula); }},
    {"Izquierda", 2, 2, "tn",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { Tramo(Texto(P[0]), 1, P[1].Numero, R); }},
    {"Derecha", 2, 2, "tn",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) {
         const std::string_view T = Texto(P[0]);
         // At most the whole text: the start counted from a larger count would be rounded.
         const double Cuantos = std::min(std::trunc(P[1].Numero), static_cast<double>(T.size()));
         Tramo(T, static_cast<double>(T.size()) - Cuantos + 1, Cuantos, R);
     }},
    {"Medio", 3, 3, "tnn",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { Tramo(Texto(P[0]), P[1].Numero, P[2].Numero, R); }},
    {"Recortar", 1, 1, "t",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) {
         const std::string_view T = Texto(P[0]);
         const size_t Primero = T.find_first_not_of(" \t\r\n");
         AsignarTexto(R, Primero == std::string_view::npos ? std::string_view{}
                                                           : Parte(T, Primero, T.find_last_not_of(" \t\r\n") - Primero + 1));
     }},
    {"Buscar", 2, 2, "t",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) {
         const size_t Donde = Texto(P[1]).find(Texto(P[0]));
         AsignarNumero(R, Donde == std::string_view::npos ? 0.0 : static_cast<double>(Donde + 1));
     }},
    {"Texto", 1, 1, "n",
     [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { char Escrito[32];
         AsignarTexto(R, std::string_view(Escrito, Evalion::EscribirNumero(P[0].Numero, Escrito))); }},
    {"Valor", 1, 1, "t", [](const BLOQUEDEDATOS *P, int32_t, BLOQUEDEDATOS &R) { Valor(P[0], R); }},
};

// Whether every argument is of the kind its place asks for.
bool TiposValidos(const TFuncion &F, const BLOQUEDEDATOS *P, int32_t N)
{
    const size_t Letras = std::strlen(F.Tipos);
    for (int32_t i = 0; i < N; ++i) {
        const char Tipo = F.Tipos[std::min(static_cast<size_t>(i), Letras - 1)];
        if ((Tipo == 'n' && !(P[i].Tipo & TIPO_NUMERO)) || (Tipo == 't' && !(P[i].Tipo & TIPO_CADENA)))
            return false;
    }
    return true;
}

// A bound call of the function FUNCIONES[I] on the numbers X: what the handler answers for
// them, under the settings the handler computes with. Out of line, so that each bound
// function below is only the gathering of its arguments.
EVALION_NOINLINE double Calcular(size_t I, const double *X, int32_t N)
{
    const TFuncion &F = FUNCIONES[I];
#if defined(__x86_64__) || defined(_M_X64)
    // Called under the engine's controls already (a form under the host's settings, which
    // most hosts keep as every C program starts): no switch, whose load of MXCSR is most of
    // the cost of a short function; MXCSR is loaded back only where the function raised a
    // flag the host's did not hold, so that none is left pending.
    const unsigned Antes = _mm_getcsr();
    if ((Antes & ~0x3Fu) == Motor::MXCSR_MOTOR) {
        const double Valor = SinMenosCero(F.Unaria ? F.Unaria(X[0]) : F.Numeros(TNumeros(X), N));
        if ((_mm_getcsr() & ~Antes) != 0)
            _mm_setcsr(Antes);
        return Valor;
    }
#endif
    const Motor::AjustesEnmascarados Ajustes;
    return SinMenosCero(F.Unaria ? F.Unaria(X[0]) : F.Numeros(TNumeros(X), N));
}

#if defined(__x86_64__) || defined(_M_X64)
// si of three numbers, as the handler answers it: the chosen block whole, its bits as they
// came; the condition's zero told by its bits, so that a signaling NaN raises nothing.
double SiNativa(double Condicion, double Si, double No)
{
    uint64_t Bits;
    std::memcpy(&Bits, &Condicion, sizeof Bits);
    return (Bits << 1) == 0 ? No : Si;
}
#endif

template <size_t I> double Nativa1(double a)
{
#if defined(__x86_64__) || defined(_M_X64)
    // A function of one number under the engine's controls, Calcular's first way written out
    // for it: a direct call, no table.
    if constexpr (FUNCIONES[I].Unaria != nullptr) {
        const unsigned Antes = _mm_getcsr();
        if ((Antes & ~0x3Fu) == Motor::MXCSR_MOTOR) {
            const double Valor = SinMenosCero(FUNCIONES[I].Unaria(a));
            if ((_mm_getcsr() & ~Antes) != 0)
                _mm_setcsr(Antes);
            return Valor;
        }
    }
#endif
    const double X[] = {a};
    return Calcular(I, X, 1);
}
template <size_t I> double Nativa2(double a, double b) { const double X[] = {a, b}; return Calcular(I, X, 2); }
template <size_t I> double Nativa3(double a, double b, double c) { const double X[] = {a, b, c}; return Calcular(I, X, 3); }
template <size_t I> double Nativa4(double a, double b, double c, double d)
{
    const double X[] = {a, b, c, d};
    return Calcular(I, X, 4);
}

// Whether FUNCIONES[I] has C code for calls of N numbers: a function of numbers only (its
// body on doubles) that takes N arguments.
constexpr bool ConNativa(size_t I, int32_t N)
{
    const TFuncion &F = FUNCIONES[I];
    return F.Numerica && N >= F.Minimo && (F.Maximo == 0 || N <= F.Maximo);
}

// Each function's C code for 1 to 4 numbers, where it has one; only those are made.
struct TNativas {
    double (*Uno)(double) = nullptr;
    double (*Dos)(double, double) = nullptr;
    double (*Tres)(double, double, double) = nullptr;
    double (*Cuatro)(double, double, double, double) = nullptr;
};
template <size_t I> constexpr TNativas NativasDe()
{
    TNativas T;
    if constexpr (ConNativa(I, 1))
        T.Uno = &Nativa1<I>;
    if constexpr (ConNativa(I, 2))
        T.Dos = &Nativa2<I>;
    if constexpr (ConNativa(I, 3))
        T.Tres = &Nativa3<I>;
    if constexpr (ConNativa(I, 4))
        T.Cuatro = &Nativa4<I>;
    return T;
}
template <size_t... I> constexpr std::array<TNativas, sizeof...(I)> TablaDeNativas(std::index_sequence<I...>)
{
    return {{NativasDe<I>()...}};
}
constexpr auto NATIVAS = TablaDeNativas(std::make_index_sequence<std::size(FUNCIONES)>());

const double PI = 3.141592653589793;
const double E = 2.718281828459045;

} // namespace

extern "C" {

EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarVariable(const char *Variable, BLOQUEDEDATOS *R)
{
    if (Variable == nullptr || R == nullptr)
        return 0;
    if (MismoNombre(Variable, "Pi"))
        AsignarNumero(*R, PI);
    else if (MismoNombre(Variable, "E"))
        AsignarNumero(*R, E);
    else
        return 0;
    return 1;
}

EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarFuncion(const char *Funcion, const BLOQUEDEDATOS *Parametros,
                                                            int32_t N, BLOQUEDEDATOS *R)
{
    if (Funcion == nullptr || R == nullptr || (Parametros == nullptr && N > 0))
        return 0;
    for (const TFuncion &F : FUNCIONES) {
        if (!MismoNombre(Funcion, F.Nombre))
            continue;
        // The functions' values (not-a-number outside a domain, infinity on an overflow)
        // need the engine's floating-point settings; the host's come back as they were.
        const Motor::AjustesEnmascarados Ajustes;
        if (N < F.Minimo || (F.Maximo != 0 && N > F.Maximo))
            R->Error = E_FUNCION;
        else if (!TiposValidos(F, Parametros, N))
            R->Error = E_INCOMPATIBLES;
        else if (F.Unaria)
            AsignarNumero(*R, F.Unaria(Parametros[0].Numero));
        else if (F.Numeros)
            AsignarNumero(*R, F.Numeros(TNumeros(Parametros), N));
        else
            F.Calculo(Parametros, N, *R);
        return 1;
    }
    return 0;
}

EVALION_ESTANDAR_API ESTANDAR_NATIVA EVALION_CONV A_EstandarNativa(const char *Funcion, int32_t Argumentos)
{
#if defined(__x86_64__) || defined(_M_X64) // (where a double comes back in an SSE register, its bits whole)
    if (Funcion != nullptr && Argumentos == (3 | ESTANDAR_CON_TEXTOS) && MismoNombre(Funcion, "si"))
        return reinterpret_cast<ESTANDAR_NATIVA>(&SiNativa);
#endif
    Argumentos &= ~ESTANDAR_CON_TEXTOS;
    if (Funcion == nullptr || Argumentos < 1 || Argumentos > 4)
        return nullptr;
    for (size_t I = 0; I < std::size(FUNCIONES); ++I) {
        if (!MismoNombre(Funcion, FUNCIONES[I].Nombre))
            continue;
        const TNativas &C = NATIVAS[I];
        return Argumentos == 1 ? reinterpret_cast<ESTANDAR_NATIVA>(C.Uno)
             : Argumentos == 2 ? reinterpret_cast<ESTANDAR_NATIVA>(C.Dos)
             : Argumentos == 3 ? reinterpret_cast<ESTANDAR_NATIVA>(C.Tres)
                               : reinterpret_cast<ESTANDAR_NATIVA>(C.Cuatro);
    }
    return nullptr;
}

EVALION_ESTANDAR_API int32_t EVALION_CONV A_EstandarMarcas(const char *Funcion, int32_t Argumentos)
{
    if (Funcion == nullptr)
        return 0;
    if (Argumentos == 1 && MismoNombre(Funcion, "Raiz"))
        return FORMULA_ES_RAIZ;
    if (Argumentos == 1 && MismoNombre(Funcion, "Abs"))
        return FORMULA_ES_ABS;
    if (Argumentos == 3 && MismoNombre(Funcion, "si") && A_EstandarNativa(Funcion, 3 | ESTANDAR_CON_TEXTOS) != nullptr)
        return FORMULA_ES_SI | FORMULA_TEXTO_AL_ANFITRION;
    return 0;
}

EVALION_ESTANDAR_API const double *EVALION_CONV A_EstandarConstante(const char *Variable)
{
    if (Variable == nullptr)
        return nullptr;
    return MismoNombre(Variable, "Pi") ? &PI : MismoNombre(Variable, "E") ? &E : nullptr;
}

EVALION_ESTANDAR_API const char *EVALION_CONV A_Mensaje(int32_t Codigo)
{
    return Evalion::TextoDeError(Codigo);
}

} // extern "C"
