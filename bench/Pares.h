// Our prepared form beside its peers (muparser, exprtk) and a hand-written C++ function, on
// the shapes hosts evaluate in loops: one evaluation at a time, and a whole column of rows.
// Every measurer evaluates the same row with the same values; the benchmark (Frente.cpp) times
// them and the counter (contar_pares.cpp) runs them under callgrind.
#ifndef EVALION_BANCO_PARES_H
#define EVALION_BANCO_PARES_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Pares {

// The values of the variables in one evaluation at a time.
constexpr double VALOR_X = 5.0;
constexpr double VALOR_Y = 3.0;

// The host's function f of one number, the same for every evaluator.
double F(double V);

struct Fila {
    std::string Nombre;
    std::string Nuestra; // in the engine's syntax: level 1 grouped from the right
    std::string Ajena;   // for the peers, with the parentheses that give the same operations
    double (*Mano)(double X, double Y);                                    // one row, inlined
    double (*ManoSuelta)(double X, double Y);                              // one row, a real call
    void (*ManoColumnas)(const double *X, const double *Y, double *Salida, size_t N); // vectorised loop
};

// The rows, built once.
const std::vector<Fila> &Filas();
const Fila *BuscarFila(const std::string &Nombre);

// Asked: the host answers every name at every evaluation. Bound: x and y read from doubles
// (A_Vincular), f still asked. "/host": FORMULA_AJUSTES_DEL_ANFITRION, no floating-point switch.
// Number: bound, through the entry for a number result (A_EvaluarNumero) rather than A_Evaluar.
// Value: bound, under the host's settings, through A_ValorEnLinea (A_Valor in the caller's loop).
enum Medidor {
    PIDIENDO,
    VINCULADA,
    PIDIENDO_ANFITRION,
    VINCULADA_ANFITRION,
    NUMERO,
    NUMERO_ANFITRION,
    VALOR_ANFITRION,
    MUPARSER,
    EXPRTK,
    MANO,
    MEDIDORES
};
extern const char *const NOMBRE[MEDIDORES];
Medidor BuscarMedidor(const std::string &Nombre); // MEDIDORES when there is none of that name

// One row ready to evaluate with one measurer.
class Medida {
public:
    virtual ~Medida() = default;
    // Evaluates the row Veces times with x = VALOR_X, y = VALOR_Y; returns the sum of the values.
    virtual double Repetir(long Veces) = 0;
    // Evaluates the row once per element of the columns X and Y, into Salida; false when a row failed.
    virtual bool Columnas(const double *X, const double *Y, double *Salida, size_t N) = 0;
};

// A peer that reads x and y from two doubles of its own and gives its value with Valor():
// the same loops for every such peer, with Valor() inlined into them (no virtual call more).
template <class Peer> class MedidaDeUnValor : public Medida {
public:
    double Repetir(long Veces) override
    {
        double Suma = 0;
        for (long I = 0; I < Veces; ++I)
            Suma += static_cast<Peer *>(this)->Valor();
        return Suma;
    }

    bool Columnas(const double *Xs, const double *Ys, double *Salida, size_t N) override
    {
        for (size_t I = 0; I < N; ++I) {
            X = Xs[I];
            Y = Ys[I];
            Salida[I] = static_cast<Peer *>(this)->Valor();
        }
        return true;
    }

protected:
    double X = VALOR_X, Y = VALOR_Y;
};

// The measurer M on that row, or null when this build has no such peer or it cannot take
// the row; Motivo then says why.
std::unique_ptr<Medida> Preparar(const Fila &Fila, Medidor M, std::string &Motivo);

// exprtk's, from its own translation unit (it takes a minute and a gigabyte to compile); null
// when the peers' folder was not there when this was built.
std::unique_ptr<Medida> PrepararExprtk(const Fila &Fila, std::string &Motivo);

// Opaque to the optimiser: the value may have changed, so nothing computed from it is hoisted
// out of a loop.
inline void Opaco(double &V)
{
    asm volatile("" : "+x"(V));
}

} // namespace Pares

#endif
