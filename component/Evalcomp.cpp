// The package unit: the plugin object through which a designer registers the package, and
// RegisterComponents, which hands what Register names to that designer's palette.
#include <QObject>

#include "Evalion.h"
#include "Paleta.h"

namespace {

// The palette of the registration running on this thread: Register takes none, as the
// registration routine of every package.
thread_local IPaleta *PaletaEnRegistro = nullptr;

class TPaqueteEvalcomp : public QObject, public IPaquete {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID EVALION_IPAQUETE FILE "Evalcomp.json")
    Q_INTERFACES(IPaquete)

public:
    void Registrar(IPaleta &Paleta) override
    {
        PaletaEnRegistro = &Paleta;
        Register();
        PaletaEnRegistro = nullptr;
    }
};

} // namespace

void RegisterComponents(const QString &Pagina, std::initializer_list<const QMetaObject *> Clases)
{
    if (PaletaEnRegistro == nullptr)
        return;
    for (const QMetaObject *Clase : Clases)
        PaletaEnRegistro->Agregar(Pagina, *Clase);
}

#include "Evalcomp.moc"
