// Program start-up of Evaldemo: the application object, the main form, the message loop, and
// exceptions shown to the user instead of ending the program unexplained.
#ifndef EVALDEMO_APLICACION_H
#define EVALDEMO_APLICACION_H

#include <QApplication>
#include <exception>
#include <functional>
#include <memory>

class TAplicacion : public QApplication {
public:
    TAplicacion(int &argc, char **argv) : QApplication(argc, argv) {}

    // An exception that an event handler lets escape is shown, and the message loop goes on:
    // no exception may unwind through Qt's own code.
    bool notify(QObject *Receptor, QEvent *Evento) override;

    // A modal box captioned with the program's name, holding the exception's message.
    static void MostrarExcepcion(const std::exception &Excepcion);
};

// Creates the main form, shows it and runs the message loop; returns the loop's status. An
// exception that escapes is shown, and the result is then 0.
int Ejecutar(TAplicacion &Aplicacion, const std::function<std::unique_ptr<QWidget>()> &CrearFormulario);

#endif
