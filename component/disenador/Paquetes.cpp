#include "Paquetes.h"

#include <QFileInfo>
#include <QPluginLoader>

namespace {

// A package named by a path relative to the working directory is loaded from there: the
// loader would otherwise look for a relative name in the library search path.
QString RutaAbsoluta(const QString &Ruta) { return QFileInfo(Ruta).absoluteFilePath(); }

// What a class says about one of its members in its class information ("Defecto.X").
QString Informacion(const QMetaObject &Clase, const char *Clave, const QByteArray &Miembro)
{
    const int Indice = Clase.indexOfClassInfo(QByteArray(Clave) + '.' + Miembro);
    return Indice < 0 ? QString() : QString::fromUtf8(Clase.classInfo(Indice).value());
}

} // namespace

bool TPaleta::CargarPaquete(const QString &Ruta, QString &Error)
{
    QPluginLoader Cargador(RutaAbsoluta(Ruta));
    const QJsonObject Datos = Cargador.metaData().value(QLatin1String("MetaData")).toObject();
    const QString Nombre = Datos.value(QLatin1String("Paquete")).toString();
    auto *Paquete = Nombre.isEmpty() ? nullptr : qobject_cast<IPaquete *>(Cargador.instance());
    if (Paquete == nullptr) {
        Error = QStringLiteral("%1 is no component package (%2)").arg(Ruta, Cargador.errorString());
        return false;
    }
    FPaquetes.append({Nombre, Datos.value(QLatin1String("Descripcion")).toString()});
    FPaqueteEnRegistro = Nombre;
    Paquete->Registrar(*this);
    FPaqueteEnRegistro.clear();
    return true;
}

const TPaleta::TClase *TPaleta::Buscar(const QString &NombreDeClase) const
{
    for (const TClase &Clase : FClases)
        if (NombreDeClase == QLatin1String(Clase.Meta->className()))
            return &Clase;
    return nullptr;
}

QImage TPaleta::Bitmap(const TClase &Clase) const
{
    const QString Nombre = QString::fromLatin1(Clase.Meta->className()).toUpper();
    return QImage(QStringLiteral(":/%1/%2").arg(Clase.Paquete, Nombre), "BMP");
}

void TPaleta::Agregar(const QString &Pagina, const QMetaObject &Clase)
{
    FClases.append({Pagina, &Clase, FPaqueteEnRegistro});
}

QJsonObject DatosDelPaquete(const QString &Ruta)
{
    return QPluginLoader(RutaAbsoluta(Ruta)).metaData().value(QLatin1String("MetaData")).toObject();
}

QList<QMetaProperty> Propiedades(const QMetaObject &Clase)
{
    QList<QMetaProperty> Lista;
    for (int i = QObject::staticMetaObject.propertyCount(); i < Clase.propertyCount(); ++i)
        Lista.append(Clase.property(i));
    return Lista;
}

QList<QMetaMethod> Eventos(const QMetaObject &Clase)
{
    QList<QMetaMethod> Lista;
    for (int i = QObject::staticMetaObject.methodCount(); i < Clase.methodCount(); ++i)
        if (Clase.method(i).methodType() == QMetaMethod::Signal)
            Lista.append(Clase.method(i));
    return Lista;
}

QMetaMethod BuscarEvento(const QMetaObject &Clase, const QString &Nombre)
{
    for (const QMetaMethod &Evento : Eventos(Clase))
        if (Nombre == QLatin1String(Evento.name()))
            return Evento;
    return {};
}

QString Defecto(const QMetaObject &Clase, const QMetaProperty &Propiedad)
{
    return Informacion(Clase, "Defecto", Propiedad.name());
}

QString TipoDeEvento(const QMetaObject &Clase, const QMetaMethod &Evento)
{
    const QString Tipo = Informacion(Clase, "Evento", Evento.name());
    return Tipo.isNull() ? QStringLiteral("event") : Tipo;
}
