#include "Evalion.h"

#include <QMetaMethod>
#include <type_traits>

#include "Bloques.hpp"
#include "Codificacion.hpp"
#include "Motor.h"
#include "Paleta.h"
#include "Peticiones.h"

// Each event is exactly its handler type, on the component.
static_assert(std::is_same_v<decltype(&TEvalion::OnPedirVariable), TPedirVariableEvent TEvalion::*>);
static_assert(std::is_same_v<decltype(&TEvalion::OnPedirFuncion), TPedirFuncionEvent TEvalion::*>);

namespace {

// The engine's own answer to a request that nobody handles.
void SinManejador(const char *Nombre, int32_t Codigo, BLOQUEDEDATOS *R) { Evalion::Bloques::Desconocido(Nombre, Codigo, *R); }

} // namespace

TEvalion::TEvalion(QObject *Owner) : QObject(Owner)
{
    Motor::Inicializar(&FEstado, Motor::SinVariable(), Motor::SinFuncion(), '\0', '\0');
    Motor::AsignarAlPedir(&FEstado, ALPEDIRVARIABLE{&_AlPedirVariable, this}, ALPEDIRFUNCION{&_AlPedirFuncion, this});
}

BLOQUEDEDATOS TEvalion::Analizar(const char *Expresion)
{
    return Motor::Analizar(&FEstado, Expresion ? Expresion : "");
}

BLOQUEDEDATOS TEvalion::Analizar(const QByteArray &Expresion) { return Analizar(Expresion.constData()); }

BLOQUEDEDATOS TEvalion::Analizar(const QString &Expresion)
{
    const QByteArray Utf8 = Expresion.toUtf8();
    const std::string Latin1 = Evalion::Codificacion::Utf8ALatin1(std::string_view(Utf8.constData(), Utf8.size()));
    if (Latin1.size() > EVALION_LARGO_EXPRESION) {
        // Never a value of the part the engine would read: the characters past it are left
        // over, as after a complete expression, from the first one.
        BLOQUEDEDATOS Rechazo{};
        Rechazo.Error = E_OPERADOR;
        Rechazo.Posicion = EVALION_LARGO_EXPRESION + 1;
        return Rechazo;
    }
    return Analizar(Latin1.c_str());
}

QString TEvalion::Texto(const char *Cadena)
{
    return QString::fromStdString(Evalion::Codificacion::Latin1AUtf8(Cadena ? Cadena : ""));
}

char TEvalion::GetSeparadorDecimal() const { return FEstado.SepDecimal; }

void TEvalion::SetSeparadorDecimal(char Separador) { Motor::AsignarSeparadores(&FEstado, '\0', Separador); }

char TEvalion::GetSeparadorMillar() const { return FEstado.SepMillar; }

void TEvalion::SetSeparadorMillar(char Separador) { Motor::AsignarSeparadores(&FEstado, Separador, '\0'); }

void TEvalion::_AlPedirVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    auto *Componente = static_cast<TEvalion *>(Objeto);
    if (Componente->isSignalConnected(QMetaMethod::fromSignal(&TEvalion::OnPedirVariable)))
        emit Componente->OnPedirVariable(Componente, Variable, R);
    else
        SinManejador(Variable, E_VARIABLE, R);
}

void TEvalion::_AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    auto *Componente = static_cast<TEvalion *>(Objeto);
    if (Componente->isSignalConnected(QMetaMethod::fromSignal(&TEvalion::OnPedirFuncion)))
        emit Componente->OnPedirFuncion(Componente, Funcion, Parametros, N, R);
    else
        SinManejador(Funcion, E_FUNCION, R);
}

void Register() { RegisterComponents(QStringLiteral("Evalion"), {&TEvalion::staticMetaObject}); }
