// A Qt host of the component: a calculator that owns a TEvalion, answers the variable x and
// the function doble(n) through the component's events, and prints a few results.
#include <QCoreApplication>
#include <QTextStream>
#include <cstring>

#include "Evalion.h"

class Calculadora : public QObject {
public:
    Calculadora()
    {
        Evaluador->Asignar(&TEvalion::OnPedirVariable, this, &Calculadora::PedirVariable);
        Evaluador->Asignar(&TEvalion::OnPedirFuncion, this, &Calculadora::PedirFuncion);
    }

    void Mostrar(const QString &Expresion)
    {
        const BLOQUEDEDATOS R = Evaluador->Analizar(Expresion);
        QTextStream Salida(stdout);
        Salida << Expresion << " -> ";
        if (R.Error != 0)
            Salida << "error " << R.Error << " at position " << R.Posicion << '\n';
        else if (R.Tipo == TIPO_CADENA)
            Salida << '"' << QString::fromLatin1(R.Cadena) << "\"\n";
        else
            Salida << QString::number(R.Numero, 'g', 15) << '\n';
    }

private:
    void PedirVariable(QObject *, char *Variable, BLOQUEDEDATOS *R)
    {
        if (std::strcmp(Variable, "x") != 0) {
            R->Error = E_VARIABLE;
            return;
        }
        R->Tipo = TIPO_NUMERO;
        R->Numero = 21;
    }

    void PedirFuncion(QObject *, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
    {
        if (std::strcmp(Funcion, "doble") != 0 || N != 1 || !(Parametros[0].Tipo & TIPO_NUMERO)) {
            R->Error = E_FUNCION;
            return;
        }
        R->Tipo = TIPO_NUMERO;
        R->Numero = 2 * Parametros[0].Numero;
    }

    TEvalion *Evaluador = new TEvalion(this); // owned: destroyed with the calculator
};

int main(int argc, char **argv)
{
    QCoreApplication Aplicacion(argc, argv);
    Calculadora Calculo;
    for (const char *Expresion : {"doble(x)", "x ^ 2 + 1.000", "doble(1,25)", "doble(1; 2)", "y"})
        Calculo.Mostrar(QString::fromLatin1(Expresion));
    return 0;
}
