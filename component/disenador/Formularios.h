// Form files: a root object and the components it owns, with their stored properties and
// the names of the root's methods that handle their events, as JSON:
//
//   { "Formulario": 1, "Clase": "TFormulario", "Nombre": "Form1",
//     "Componentes": [ { "Clase": "TEvalion", "Nombre": "Evalion1",
//                        "Propiedades": { "SeparadorDecimal": ".", "SeparadorMillar": "," },
//                        "Eventos": { "OnPedirVariable": "PedirVariable" } } ] }
//
// A char property is a string of one character from U+0001 to U+00FF, standing for that
// byte; any other property is the JSON value of its type. A property is written when its
// class marks it stored and its value differs from the default the class declares.
#ifndef EVALION_FORMULARIOS_H
#define EVALION_FORMULARIOS_H

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

#include "Paquetes.h"

// A component as placed on a form: the object, and for each assigned event the name of the
// root's method that handles it.
struct TComponenteDeFormulario {
    QObject *Objeto = nullptr;
    QMap<QString, QString> Eventos;
};

// The form file of Raiz and its components (properties are read through their getters);
// empty with Error when a component names an event its class does not have, or a handler
// that is no public slot of Raiz with exactly the event's parameters.
QByteArray EscribirFormulario(const QObject &Raiz, const QList<TComponenteDeFormulario> &Componentes,
                              QString &Error);

// Reads a form file onto Raiz, which must be of the form's root class: creates each component
// from the palette's class with Raiz as its owner, sets its properties through their setters
// and binds each event to the public slot of Raiz with that name and exactly the event's
// parameter types (one handler per event, called directly). On failure nothing stays created and Error says why.
bool CargarFormulario(const QByteArray &Json, QObject &Raiz, const TPaleta &Paleta,
                      QList<TComponenteDeFormulario> &Componentes, QString &Error);

// A property value in its form-file form, and back; false when Json does not fit Tipo.
QJsonValue ValorAJson(const QVariant &Valor);
bool ValorDeJson(const QJsonValue &Json, QMetaType Tipo, QVariant &Valor);

#endif
