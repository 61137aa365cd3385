// What a component package and the designer that loads it share: the palette that a
// package's Register fills, and the plugin interface through which the designer runs it.
#ifndef EVALION_PALETA_H
#define EVALION_PALETA_H

#include <QString>
#include <QtPlugin>
#include <initializer_list>

// A designer's palette, as a package sees it while it registers.
class IPaleta {
public:
    virtual void Agregar(const QString &Pagina, const QMetaObject &Clase) = 0;

protected:
    ~IPaleta() = default;
};

// The plugin object of a package. The plugin's metadata carries "Paquete", the package's name,
// and "Descripcion", so that a designer can show them without loading the code; the package's
// resources live under ":/<Paquete>/": "DESCRIPTION" (UTF-16) and one palette bitmap per class,
// named after the class in capitals.
class IPaquete {
public:
    virtual ~IPaquete() = default;
    // Runs the package's Register with its RegisterComponents calls going to Paleta.
    virtual void Registrar(IPaleta &Paleta) = 0;
};

#define EVALION_IPAQUETE "org.evalion.IPaquete/1"
Q_DECLARE_INTERFACE(IPaquete, EVALION_IPAQUETE)

// Puts each class on the page Pagina of the palette that is registering this package; outside
// a registration (an application that calls Register itself) it does nothing.
void RegisterComponents(const QString &Pagina, std::initializer_list<const QMetaObject *> Clases);

#endif
