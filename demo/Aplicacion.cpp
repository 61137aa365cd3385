#include "Aplicacion.h"

#include <QMessageBox>

bool TAplicacion::notify(QObject *Receptor, QEvent *Evento)
{
    try {
        return QApplication::notify(Receptor, Evento);
    } catch (const std::exception &Excepcion) {
        MostrarExcepcion(Excepcion);
        return false;
    }
}

void TAplicacion::MostrarExcepcion(const std::exception &Excepcion)
{
    QMessageBox::critical(nullptr, applicationName(), QString::fromLocal8Bit(Excepcion.what()));
}

int Ejecutar(TAplicacion &Aplicacion, const std::function<std::unique_ptr<QWidget>()> &CrearFormulario)
{
    try {
        const std::unique_ptr<QWidget> Formulario = CrearFormulario();
        Formulario->show();
        return Aplicacion.exec();
    } catch (const std::exception &Excepcion) {
        TAplicacion::MostrarExcepcion(Excepcion);
        return 0;
    }
}
