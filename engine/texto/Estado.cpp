// Set-up of a parser state record. These touch only the separators and the callbacks;
// everything else in the record belongs to the next analysis. A null record is left alone.
#include "Motor.h"

namespace Motor {

namespace {
constexpr char SEP_MILLAR_DEFECTO = '.';
constexpr char SEP_DECIMAL_DEFECTO = ',';
} // namespace

void Inicializar(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion, char Millar,
                 char Decimal)
{
    if (Estado == nullptr)
        return;
    Estado->AlPedirVariable = Variable;
    Estado->AlPedirFuncion = Funcion;
    Estado->SepMillar = Millar ? Millar : SEP_MILLAR_DEFECTO;
    Estado->SepDecimal = Decimal ? Decimal : SEP_DECIMAL_DEFECTO;
}

void AsignarAlPedir(ESTADODEANALISIS *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion)
{
    if (Estado == nullptr)
        return;
    Estado->AlPedirVariable = Variable;
    Estado->AlPedirFuncion = Funcion;
}

void AsignarSeparadores(ESTADODEANALISIS *Estado, char Millar, char Decimal)
{
    if (Estado == nullptr)
        return;
    if (Millar)
        Estado->SepMillar = Millar;
    if (Decimal)
        Estado->SepDecimal = Decimal;
}

} // namespace Motor
