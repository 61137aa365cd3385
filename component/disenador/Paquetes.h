// The designer's side of component packages: loading them, the palette their registration
// fills, and the type information of the classes on it.
#ifndef EVALION_PAQUETES_H
#define EVALION_PAQUETES_H

#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QString>

#include "Paleta.h"

class TPaleta : public IPaleta {
public:
    struct TPaquete {
        QString Nombre;
        QString Descripcion;
    };
    struct TClase {
        QString Pagina;
        const QMetaObject *Meta;
        QString Paquete;
    };

    // Loads the package at Ruta and runs its registration; false with Error when Ruta is no
    // package. The package stays loaded for the life of the process.
    bool CargarPaquete(const QString &Ruta, QString &Error);

    const QList<TPaquete> &Paquetes() const { return FPaquetes; }
    const QList<TClase> &Clases() const { return FClases; } // in the order of registration
    const TClase *Buscar(const QString &NombreDeClase) const;
    // The class's palette bitmap from its package's resources; a null image when it has none.
    QImage Bitmap(const TClase &Clase) const;

    void Agregar(const QString &Pagina, const QMetaObject &Clase) override;

private:
    QList<TPaquete> FPaquetes;
    QList<TClase> FClases;
    QString FPaqueteEnRegistro;
};

// The metadata of the package at Ruta ("Paquete", "Descripcion"), read without loading its
// code; empty when Ruta is no plugin.
QJsonObject DatosDelPaquete(const QString &Ruta);

// What a class publishes: the properties and events it declares below QObject, in order.
QList<QMetaProperty> Propiedades(const QMetaObject &Clase);
QList<QMetaMethod> Eventos(const QMetaObject &Clase);
QMetaMethod BuscarEvento(const QMetaObject &Clase, const QString &Nombre);
// The default a class declares for a property, or a null string when it declares none.
QString Defecto(const QMetaObject &Clase, const QMetaProperty &Propiedad);
// The declared type of an event ("TPedirVariableEvent"), or "event" when it names none.
QString TipoDeEvento(const QMetaObject &Clase, const QMetaMethod &Evento);

#endif
