#include "Formularios.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <initializer_list>
#include <memory>

namespace {

constexpr int VERSION_DE_FORMULARIO = 1;

bool Fallar(QString &Error, const QString &Motivo)
{
    Error = Motivo;
    return false;
}

// Whether Valor is the default the class declares for P; a char default is its ordinal.
bool EsDefecto(const QMetaObject &Clase, const QMetaProperty &P, const QVariant &Valor)
{
    const QString Declarado = Defecto(Clase, P);
    if (Declarado.isNull())
        return false;
    if (P.metaType().id() == QMetaType::Char)
        return Valor.value<char>() == Declarado.toInt();
    return Valor.toString() == Declarado;
}

// "TEvalion.OnPedirVariable(QObject*,char*,BLOQUEDEDATOS*)": a member with its parameter types.
QString Firma(const QMetaObject &Clase, const QMetaMethod &Metodo)
{
    return QStringLiteral("%1.%2").arg(QLatin1String(Clase.className()), QLatin1String(Metodo.methodSignature()));
}

// The public slot of Raiz named Metodo that handles Evento of Clase. Its parameter list must
// be the event's, type for type: Qt would also connect a slot that takes fewer parameters,
// and the arguments would then land in the wrong ones (the argument array in a result).
// Invalid, with Error naming the event, the slot and both signatures, when there is none.
QMetaMethod Manejador(const QMetaObject &Clase, const QString &Evento, const QMetaObject &Raiz, const QString &Metodo,
                      QString &Error)
{
    const QMetaMethod Senal = BuscarEvento(Clase, Evento);
    if (!Senal.isValid()) {
        Fallar(Error, QStringLiteral("%1 has no event %2").arg(QLatin1String(Clase.className()), Evento));
        return {};
    }
    QMetaMethod Otro;
    for (int i = 0; i < Raiz.methodCount(); ++i) {
        const QMetaMethod Candidato = Raiz.method(i);
        if (Metodo != QLatin1String(Candidato.name()) || Candidato.methodType() != QMetaMethod::Slot ||
            Candidato.access() != QMetaMethod::Public)
            continue;
        if (Candidato.parameterTypes() == Senal.parameterTypes())
            return Candidato;
        Otro = Candidato;
    }
    if (Otro.isValid())
        Fallar(Error, QStringLiteral("%1 cannot handle %2: the parameters differ")
                          .arg(Firma(Raiz, Otro), Firma(Clase, Senal)));
    else
        Fallar(Error, QStringLiteral("%1 has no public slot %2 to handle %3")
                          .arg(QLatin1String(Raiz.className()), Metodo, Firma(Clase, Senal)));
    return {};
}

bool ComponenteAJson(const TComponenteDeFormulario &Componente, const QMetaObject &Raiz, QJsonObject &Json,
                     QString &Error)
{
    const QMetaObject &Clase = *Componente.Objeto->metaObject();
    QJsonObject Valores, Manejadores;
    for (const QMetaProperty &P : Propiedades(Clase)) {
        const QVariant Valor = P.read(Componente.Objeto);
        if (P.isStored() && !EsDefecto(Clase, P, Valor))
            Valores.insert(QLatin1String(P.name()), ValorAJson(Valor));
    }
    for (auto E = Componente.Eventos.cbegin(); E != Componente.Eventos.cend(); ++E) {
        if (!Manejador(Clase, E.key(), Raiz, E.value(), Error).isValid())
            return false;
        Manejadores.insert(E.key(), E.value());
    }
    Json = QJsonObject{{"Clase", QLatin1String(Clase.className())}, {"Nombre", Componente.Objeto->objectName()},
                       {"Propiedades", Valores}, {"Eventos", Manejadores}};
    return true;
}

// Binds Evento of a newly created Componente to the public slot of Raiz named Metodo.
bool Enlazar(QObject &Componente, const QString &Evento, QObject &Raiz, const QString &Metodo, QString &Error)
{
    const QMetaMethod Slot = Manejador(*Componente.metaObject(), Evento, *Raiz.metaObject(), Metodo, Error);
    if (!Slot.isValid())
        return false;
    QObject::connect(&Componente, BuscarEvento(*Componente.metaObject(), Evento), &Raiz, Slot, Qt::DirectConnection);
    return true;
}

// Creates one component on Raiz and sets it up as the form says.
bool CrearComponente(const QJsonObject &Json, QObject &Raiz, const TPaleta &Paleta,
                     TComponenteDeFormulario &Componente, QString &Error)
{
    const QString NombreDeClase = Json.value(QLatin1String("Clase")).toString();
    const TPaleta::TClase *Clase = Paleta.Buscar(NombreDeClase);
    if (Clase == nullptr)
        return Fallar(Error, QStringLiteral("class %1 is on no palette page").arg(NombreDeClase));
    std::unique_ptr<QObject> Objeto(Clase->Meta->newInstance(Q_ARG(QObject *, &Raiz)));
    if (!Objeto)
        return Fallar(Error, QStringLiteral("%1 has no constructor that takes an owner").arg(NombreDeClase));
    Objeto->setObjectName(Json.value(QLatin1String("Nombre")).toString());

    const QJsonObject Valores = Json.value(QLatin1String("Propiedades")).toObject();
    for (auto V = Valores.constBegin(); V != Valores.constEnd(); ++V)
        if (Clase->Meta->indexOfProperty(V.key().toLatin1()) < QObject::staticMetaObject.propertyCount())
            return Fallar(Error, QStringLiteral("%1 has no property %2").arg(NombreDeClase, V.key()));
    for (const QMetaProperty &P : Propiedades(*Clase->Meta)) { // in the order the class declares them
        const QJsonValue Guardado = Valores.value(QLatin1String(P.name()));
        QVariant Valor;
        if (Guardado.isUndefined())
            continue;
        if (!ValorDeJson(Guardado, P.metaType(), Valor) || !P.write(Objeto.get(), Valor))
            return Fallar(Error, QStringLiteral("%1.%2: the stored value is no %3")
                                     .arg(Objeto->objectName(), QLatin1String(P.name()),
                                          QLatin1String(P.typeName())));
    }

    const QJsonObject Manejadores = Json.value(QLatin1String("Eventos")).toObject();
    for (auto E = Manejadores.constBegin(); E != Manejadores.constEnd(); ++E) {
        if (!Enlazar(*Objeto, E.key(), Raiz, E.value().toString(), Error))
            return false;
        Componente.Eventos.insert(E.key(), E.value().toString());
    }
    Componente.Objeto = Objeto.release();
    return true;
}

// The first key of Json that is not among Conocidas, or a null text.
QString ClaveDesconocida(const QJsonObject &Json, std::initializer_list<QLatin1String> Conocidas)
{
    for (auto V = Json.constBegin(); V != Json.constEnd(); ++V)
        if (std::find(Conocidas.begin(), Conocidas.end(), V.key()) == Conocidas.end())
            return V.key();
    return {};
}

// Whether the form has the shape this designer writes: the known keys only, a list of
// components, each with a class and a name of its own, objects of properties and of events
// whose handlers are names. Checked whole before anything is created.
bool ComprobarForma(const QJsonObject &Formulario, QString &Error)
{
    const QLatin1String CLASE("Clase"), NOMBRE("Nombre"), PROPIEDADES("Propiedades"), EVENTOS("Eventos");
    const QString Ajena = ClaveDesconocida(Formulario, {QLatin1String("Formulario"), CLASE, NOMBRE,
                                                        QLatin1String("Componentes")});
    if (!Ajena.isNull())
        return Fallar(Error, QStringLiteral("unknown key %1 in the form").arg(Ajena));
    if (!Formulario.value(NOMBRE).isString())
        return Fallar(Error, QStringLiteral("the form's Nombre is not a text"));
    const QJsonValue Lista = Formulario.value(QLatin1String("Componentes"));
    if (!Lista.isArray())
        return Fallar(Error, QStringLiteral("the form's Componentes is not a list"));
    QSet<QString> Nombres;
    qsizetype Numero = 0;
    for (const QJsonValue &Valor : Lista.toArray()) {
        ++Numero;
        if (!Valor.isObject())
            return Fallar(Error, QStringLiteral("component %1 is not an object").arg(Numero));
        const QJsonObject Json = Valor.toObject();
        const QString Nombre = Json.value(NOMBRE).toString();
        if (Nombre.isEmpty())
            return Fallar(Error, QStringLiteral("component %1 has no name").arg(Numero));
        if (Nombres.contains(Nombre))
            return Fallar(Error, QStringLiteral("two components are named %1").arg(Nombre));
        Nombres.insert(Nombre);
        const QString Clave = ClaveDesconocida(Json, {CLASE, NOMBRE, PROPIEDADES, EVENTOS});
        if (!Clave.isNull())
            return Fallar(Error, QStringLiteral("unknown key %1 in component %2").arg(Clave, Nombre));
        if (!Json.value(CLASE).isString())
            return Fallar(Error, QStringLiteral("component %1 has no class").arg(Nombre));
        for (const QLatin1String Objeto : {PROPIEDADES, EVENTOS})
            if (Json.contains(Objeto) && !Json.value(Objeto).isObject())
                return Fallar(Error, QStringLiteral("%1 of component %2 is not an object").arg(Objeto, Nombre));
        const QJsonObject Eventos = Json.value(EVENTOS).toObject();
        for (auto E = Eventos.constBegin(); E != Eventos.constEnd(); ++E)
            if (!E.value().isString())
                return Fallar(Error, QStringLiteral("%1.%2: the handler is not a name").arg(Nombre, E.key()));
    }
    return true;
}

} // namespace

QByteArray EscribirFormulario(const QObject &Raiz, const QList<TComponenteDeFormulario> &Componentes,
                              QString &Error)
{
    QJsonArray Lista;
    for (const TComponenteDeFormulario &Componente : Componentes) {
        QJsonObject Json;
        if (!ComponenteAJson(Componente, *Raiz.metaObject(), Json, Error))
            return {};
        Lista.append(Json);
    }
    const QJsonObject Formulario{{"Formulario", VERSION_DE_FORMULARIO},
                                 {"Clase", QLatin1String(Raiz.metaObject()->className())},
                                 {"Nombre", Raiz.objectName()},
                                 {"Componentes", Lista}};
    return QJsonDocument(Formulario).toJson();
}

bool CargarFormulario(const QByteArray &Json, QObject &Raiz, const TPaleta &Paleta,
                      QList<TComponenteDeFormulario> &Componentes, QString &Error)
{
    QJsonParseError Lectura;
    const QJsonObject Formulario = QJsonDocument::fromJson(Json, &Lectura).object();
    if (Lectura.error != QJsonParseError::NoError)
        return Fallar(Error, QStringLiteral("not a form file: %1").arg(Lectura.errorString()));
    if (Formulario.value(QLatin1String("Formulario")).toInt() != VERSION_DE_FORMULARIO)
        return Fallar(Error, QStringLiteral("not a form file of version %1").arg(VERSION_DE_FORMULARIO));
    const QString ClaseRaiz = Formulario.value(QLatin1String("Clase")).toString();
    if (ClaseRaiz != QLatin1String(Raiz.metaObject()->className()))
        return Fallar(Error, QStringLiteral("the form's root is a %1, not a %2")
                                 .arg(ClaseRaiz, QLatin1String(Raiz.metaObject()->className())));
    if (!ComprobarForma(Formulario, Error))
        return false;

    QList<TComponenteDeFormulario> Creados;
    for (const QJsonValue &Valor : Formulario.value(QLatin1String("Componentes")).toArray()) {
        TComponenteDeFormulario Componente;
        if (!CrearComponente(Valor.toObject(), Raiz, Paleta, Componente, Error)) {
            for (const TComponenteDeFormulario &Creado : Creados)
                delete Creado.Objeto;
            return false;
        }
        Creados.append(Componente);
    }
    Raiz.setObjectName(Formulario.value(QLatin1String("Nombre")).toString());
    Componentes = Creados;
    return true;
}

QJsonValue ValorAJson(const QVariant &Valor)
{
    if (Valor.metaType().id() == QMetaType::Char)
        return QString(QChar::fromLatin1(Valor.value<char>()));
    return QJsonValue::fromVariant(Valor);
}

bool ValorDeJson(const QJsonValue &Json, QMetaType Tipo, QVariant &Valor)
{
    if (Tipo.id() == QMetaType::Char) {
        const QString Texto = Json.toString();
        if (Texto.size() != 1 || Texto.at(0).unicode() == 0 || Texto.at(0).unicode() > 0xFF)
            return false;
        Valor = QVariant::fromValue(Texto.at(0).toLatin1());
        return true;
    }
    Valor = Json.toVariant();
    return Valor.convert(Tipo);
}
