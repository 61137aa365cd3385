// exprtk's measurer, alone in this file: its header takes about a minute and a gigabyte to
// compile, and compiling it once keeps the rest of the benchmark quick to rebuild. Its
// expressions are compiled once, outside every timed loop (compiling allocates about 1.5 MB).
#include "Pares.h"

#if defined(EVALION_CON_EXPRTK)
#include <exprtk.hpp>
#endif

namespace Pares {

#if defined(EVALION_CON_EXPRTK)
namespace {

class Exprtk : public MedidaDeUnValor<Exprtk> {
public:
    explicit Exprtk(const Fila &Fila)
    {
        Simbolos.add_variable("x", X);
        Simbolos.add_variable("y", Y);
        Simbolos.add_function("f", F);
        Expresion.register_symbol_table(Simbolos);
        exprtk::parser<double> Parser;
        if (!Parser.compile(Fila.Ajena, Expresion))
            Motivo = Parser.error();
    }
    std::string Motivo;

    double Valor() { return Expresion.value(); }

private:
    exprtk::symbol_table<double> Simbolos;
    exprtk::expression<double> Expresion;
};

} // namespace

std::unique_ptr<Medida> PrepararExprtk(const Fila &Fila, std::string &Motivo)
{
    auto Nueva = std::make_unique<Exprtk>(Fila);
    if (Nueva->Motivo.empty())
        return Nueva;
    Motivo = Nueva->Motivo;
    return nullptr;
}
#else
std::unique_ptr<Medida> PrepararExprtk(const Fila &, std::string &Motivo)
{
    Motivo = "the peers' folder was not there when this was built";
    return nullptr;
}
#endif

} // namespace Pares
