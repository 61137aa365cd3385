// The window of Evaldemo: an expression line, the "&Calcular" button and a result line.
// Each click evaluates the expression through libevalionobj with a fresh parser state and
// shows the value, or the error in a message box.
#ifndef EVALDEMO_FORMULARIO_H
#define EVALDEMO_FORMULARIO_H

#include <QLocale>
#include <QWidget>

#include "Demostracion.h"
#include "Parser.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Numbers with the decimal separator of a Qt locale; the time and date as the C library's
// LC_TIME writes them, which Qt sets from the environment when the application starts.
class TFormatoQt final : public Evalion::TFormatoRegional {
public:
    explicit TFormatoQt(const QLocale &Regional) : Local(Regional) {}
    std::string Numero(double Valor) const override;
    std::string Hora() const override;
    std::string Fecha() const override;

private:
    QLocale Local;
};

class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget *Padre = nullptr);

    QLineEdit *Expresion;
    QLineEdit *Resultado;
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *Button1;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;

public slots:
    void Button1Click();

public:
    // The engine's two requests. Virtual so that a form derived from this one can answer
    // more names than the demonstration's.
    virtual void AlPedirVariable(char *Variable, BLOQUEDEDATOS *R);
    virtual void AlPedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);

protected:
    void keyPressEvent(QKeyEvent *Evento) override;
    bool eventFilter(QObject *Objeto, QEvent *Evento) override;

private:
    const TFormatoQt Formato{QLocale()}; // the user's locale unless the program set another
};

#endif
