// The rows, the hand-written functions, and the measurers of our form and of muparser.
#include "Pares.h"

#include <cstring>
#include <string>

#include "Formula.h"

#if defined(EVALION_CON_MUPARSER)
#include <muParser.h>
#endif

namespace Pares {

double F(double V)
{
    return V * V;
}

namespace {

// The hand-written rows, grouped as the engine groups them.
inline double Lineal(double X, double)
{
    return X * 2 + 1;
}
inline double Cubica(double X, double)
{
    return X * X * X + (2 * X * X - (3 * X + 7));
}
inline double Horner(double X, double)
{
    return (((((3 * X + 2) * X + 5) * X + 4) * X + 1) * X + 6) * X + 7;
}
inline double Cociente(double X, double)
{
    return (X + 1) * (X - 1) / 4;
}
inline double MasUno(double X, double)
{
    return X + 1;
}
inline double Rampa(double X, double)
{
    return (X > 3 ? 1.0 : 0.0) * (X - 3);
}
inline double Funcion(double X, double)
{
    return F(X) + 1;
}

// The 30-term sum: coefficient I times x*y, x*x or y*y by I's remainder, summed from the right.
constexpr int TERMINOS = 30;
template <int I> inline double Termino(double X, double Y)
{
    if constexpr (I % 3 == 1)
        return I * X * Y;
    else if constexpr (I % 3 == 2)
        return I * X * X;
    else
        return I * Y * Y;
}
template <int I> inline double Suma(double X, double Y)
{
    if constexpr (I == TERMINOS)
        return Termino<I>(X, Y);
    else
        return Termino<I>(X, Y) + Suma<I + 1>(X, Y);
}
inline double Productos(double X, double Y)
{
    return Suma<1>(X, Y);
}

// Its text; Parentesis gives the peers the grouping from the right.
std::string TextoProductos(bool Parentesis)
{
    static const char *const PRODUCTO[] = {"*y*y", "*x*y", "*x*x"};
    std::string Texto, Cierre;
    for (int I = 1; I <= TERMINOS; ++I) {
        if (I > 1)
            Texto += Parentesis ? "+(" : "+";
        if (I > 1 && Parentesis)
            Cierre += ")";
        Texto += std::to_string(I) + PRODUCTO[I % 3];
    }
    return Texto + Cierre;
}

// A real call per row, as a host calls a compiled function it cannot inline.
template <double (*G)(double, double)> __attribute__((noipa)) double Suelta(double X, double Y)
{
    return G(X, Y);
}

// The loop a compiler vectorises when it sees the whole expression.
template <double (*G)(double, double)> void Columnas(const double *X, const double *Y, double *Salida, size_t N)
{
    for (size_t I = 0; I < N; ++I)
        Salida[I] = G(X[I], Y[I]);
}

template <double (*G)(double, double)> Fila Hacer(const char *Nombre, std::string Nuestra, std::string Ajena)
{
    return {Nombre, std::move(Nuestra), std::move(Ajena), G, Suelta<G>, Columnas<G>};
}

void EVALION_CONV PedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Variable, "x") == 0)
        R->Numero = VALOR_X;
    else if (std::strcmp(Variable, "y") == 0)
        R->Numero = VALOR_Y;
    else {
        R->Error = E_VARIABLE;
        return;
    }
    R->Tipo = TIPO_NUMERO;
}

void EVALION_CONV PedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    if (std::strcmp(Funcion, "f") != 0 || N != 1) {
        R->Error = E_FUNCION;
        return;
    }
    if (!(Parametros[0].Tipo & TIPO_NUMERO)) {
        R->Error = E_INCOMPATIBLES;
        return;
    }
    R->Numero = F(Parametros[0].Numero);
    R->Tipo = TIPO_NUMERO;
}

class Nuestra : public Medida {
public:
    Nuestra(const Fila &Fila, Medidor M)
        : Vinculada(M == VINCULADA || M == VINCULADA_ANFITRION || M == NUMERO || M == NUMERO_ANFITRION ||
                    M == VALOR_ANFITRION),
          SoloNumero(M == NUMERO || M == NUMERO_ANFITRION), SoloValor(M == VALOR_ANFITRION)
    {
        A_Inicializar(&Registro);
        A_AsignarAlPedir(&Registro, PedirVariable, PedirFuncion);
        Formula = A_Preparar(&Registro, Fila.Nuestra.c_str(), nullptr);
        // The bound forms get x, y and f as muparser and exprtk get them: from the host's own
        // doubles and C function; the asked ones ask for all three.
        if (Formula && Vinculada) {
            A_Vincular(Formula, "x", &X);
            A_Vincular(Formula, "y", &Y);
            A_VincularFuncion(Formula, "f", 1, reinterpret_cast<FORMULA_NATIVA>(F));
        }
        if (Formula && (M == PIDIENDO_ANFITRION || M == VINCULADA_ANFITRION || M == NUMERO_ANFITRION ||
                        M == VALOR_ANFITRION))
            A_Opciones(Formula, FORMULA_AJUSTES_DEL_ANFITRION);
    }
    ~Nuestra() override { A_Liberar(Formula); }
    bool Preparada() const { return Formula != nullptr; }

    double Repetir(long Veces) override
    {
        double Suma = 0;
        if (SoloValor) { // as a host writes it, the form in hand
            const FORMULAPREPARADA *const Esta = Formula;
            for (long I = 0; I < Veces; ++I)
                Suma += A_ValorEnLinea(Esta);
            return Suma;
        }
        if (SoloNumero) {
            for (long I = 0; I < Veces; ++I) {
                double Valor;
                A_EvaluarNumero(Formula, &Registro, &Valor);
                Suma += Valor;
            }
            return Suma;
        }
        for (long I = 0; I < Veces; ++I)
            Suma += A_Evaluar(Formula, &Registro).Numero;
        return Suma;
    }

    // The columns bound for one call across the rows, then the single doubles again; asked
    // forms have no columns to read.
    bool Columnas(const double *Xs, const double *Ys, double *Salida, size_t N) override
    {
        if (!Vinculada)
            return false;
        A_VincularColumna(Formula, "x", Xs);
        A_VincularColumna(Formula, "y", Ys);
        const int32_t Fallidas = A_EvaluarFilas(Formula, &Registro, static_cast<int32_t>(N), Salida, nullptr, nullptr);
        A_Vincular(Formula, "x", &X);
        A_Vincular(Formula, "y", &Y);
        return Fallidas == 0;
    }

private:
    ESTADODEANALISIS Registro;
    FORMULAPREPARADA *Formula = nullptr;
    bool Vinculada, SoloNumero, SoloValor;
    double X = VALOR_X, Y = VALOR_Y;
};

class Mano : public Medida {
public:
    explicit Mano(const Fila &Fila) : Una(Fila.ManoSuelta), Todas(Fila.ManoColumnas) {}

    double Repetir(long Veces) override
    {
        double Suma = 0;
        for (long I = 0; I < Veces; ++I) {
            double X = VALOR_X, Y = VALOR_Y;
            Opaco(X);
            Opaco(Y);
            Suma += Una(X, Y);
        }
        return Suma;
    }

    bool Columnas(const double *X, const double *Y, double *Salida, size_t N) override
    {
        Todas(X, Y, Salida, N);
        return true;
    }

private:
    double (*Una)(double, double);
    void (*Todas)(const double *, const double *, double *, size_t);
};

#if defined(EVALION_CON_MUPARSER)
class Muparser : public MedidaDeUnValor<Muparser> {
public:
    // Throws mu::Parser::exception_type when muparser cannot take the text.
    explicit Muparser(const Fila &Fila)
    {
        Parser.DefineVar("x", &X);
        Parser.DefineVar("y", &Y);
        Parser.DefineFun("f", F);
        Parser.SetExpr(Fila.Ajena);
        Parser.Eval();
    }

    double Valor() { return Parser.Eval(); }

private:
    mu::Parser Parser;
};
#endif

} // namespace

const char *const NOMBRE[MEDIDORES] = {"asked",    "bound",  "asked/host", "bound/host", "number",
                                       "number/host", "value/host", "muparser", "exprtk", "hand"};

Medidor BuscarMedidor(const std::string &Nombre)
{
    for (int M = 0; M < MEDIDORES; ++M)
        if (Nombre == NOMBRE[M])
            return static_cast<Medidor>(M);
    return MEDIDORES;
}

const std::vector<Fila> &Filas()
{
    static const std::vector<Fila> TODAS = {
        Hacer<Lineal>("x*2+1", "x*2+1", "x*2+1"),
        Hacer<Cubica>("x*x*x+2*x*x-3*x+7", "x*x*x+2*x*x-3*x+7", "x*x*x+(2*x*x-(3*x+7))"),
        Hacer<Horner>("Horner 6", "(((((3*x+2)*x+5)*x+4)*x+1)*x+6)*x+7", "(((((3*x+2)*x+5)*x+4)*x+1)*x+6)*x+7"),
        Hacer<Productos>("30 products x,y", TextoProductos(false), TextoProductos(true)),
        Hacer<Cociente>("(x+1)*(x-1)/2^2", "(x+1)*(x-1)/2^2", "(x+1)*(x-1)/2^2"),
        Hacer<MasUno>("x+1", "x+1", "x+1"),
        Hacer<Rampa>("(x>3)*(x-3)", "(x>3)*(x-3)", "(x>3)*(x-3)"),
        Hacer<Funcion>("f(x)+1", "f(x)+1", "f(x)+1"),
    };
    return TODAS;
}

const Fila *BuscarFila(const std::string &Nombre)
{
    for (const Fila &F : Filas())
        if (F.Nombre == Nombre)
            return &F;
    return nullptr;
}

std::unique_ptr<Medida> Preparar(const Fila &Fila, Medidor M, std::string &Motivo)
{
    switch (M) {
    case MANO:
        return std::make_unique<Mano>(Fila);
    case EXPRTK:
        return PrepararExprtk(Fila, Motivo);
    case MUPARSER:
#if defined(EVALION_CON_MUPARSER)
        try {
            return std::make_unique<Muparser>(Fila);
        } catch (const mu::Parser::exception_type &Error) {
            Motivo = Error.GetMsg();
            return nullptr;
        }
#else
        Motivo = "muparser was not found when this was built";
        return nullptr;
#endif
    default: {
        auto Nueva = std::make_unique<Nuestra>(Fila, M);
        if (Nueva->Preparada())
            return Nueva;
        Motivo = "the text is not prepared";
        return nullptr;
    }
    }
}

} // namespace Pares
