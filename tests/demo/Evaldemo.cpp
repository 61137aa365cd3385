// Evaldemo as a user meets it, without a person: text typed into Expresion, the button
// pressed, Resultado read, and every message box found, read and closed by the test.
#include <QClipboard>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "Aplicacion.h"
#include "Formulario.h"

namespace {

const QString CAPTURAS = QStringLiteral(EVALDEMO_CAPTURAS);

// What a message box showed before the test closed it.
struct TCaja {
    bool Abierta = false;
    QString Titulo;
    QString Texto;
    QMessageBox::StandardButtons Botones;
    QMessageBox::Icon Icono = QMessageBox::NoIcon;
    bool Modal = false;
};

// Runs Accion; a message box it opens is read, saved as Captura when one is named, and closed
// with the button Cerrar, as a user would close it.
TCaja ConCaja(const std::function<void()> &Accion, QMessageBox::StandardButton Cerrar = QMessageBox::Cancel,
              const QString &Captura = {})
{
    TCaja Caja;
    QTimer Temporizador; // fires inside the box's own event loop; gone when no box opened
    Temporizador.setSingleShot(true);
    QObject::connect(&Temporizador, &QTimer::timeout, [&] {
        auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!Box)
            return;
        Caja = {true, Box->windowTitle(), Box->text(), Box->standardButtons(), Box->icon(), Box->isModal()};
        if (!Captura.isEmpty())
            QVERIFY(Box->grab().save(Captura));
        QVERIFY(Box->button(Cerrar));
        Box->button(Cerrar)->click();
    });
    Temporizador.start(0);
    Accion();
    return Caja;
}

// Types Texto key by key. QtTest names keys for ASCII only; any other character arrives as a
// key event carrying its text, as from a keyboard layout that has it.
void Teclear(QWidget *Control, const QString &Texto)
{
    for (const QChar Caracter : Texto) {
        if (Caracter.unicode() < 0x80)
            QTest::keyClick(Control, Caracter.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, Control, Qt::Key_unknown, QString(Caracter), Qt::NoModifier);
    }
}

// A form that also knows a name its host answers with a code of its own.
class TFormConCodigoPropio : public TForm1 {
public:
    void AlPedirVariable(char *Variable, BLOQUEDEDATOS *R) override
    {
        if (QByteArray(Variable) == "Codigo")
            R->Error = 4242;
        else
            TForm1::AlPedirVariable(Variable, R);
    }
};

class TObjetoQueFalla : public QObject {
protected:
    bool event(QEvent *) override { throw std::runtime_error("Fallo en un evento"); }
};

} // namespace

class PruebaEvaldemo : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> Form;

    // Replaces the expression as typed keys and presses the button.
    TCaja Calcular(const QString &Expresion, QMessageBox::StandardButton Cerrar = QMessageBox::Cancel,
                   const QString &Captura = {})
    {
        Form->Expresion->clear();
        Teclear(Form->Expresion, Expresion);
        return ConCaja([&] { QTest::mouseClick(Form->Button1, Qt::LeftButton); }, Cerrar, Captura);
    }

private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(CAPTURAS)); }

    // The window writes numbers as the system's locale does; the test runs under es_ES.UTF-8,
    // which must be installed for the C library too (Qt has set it from the environment).
    void NumerosDelSistema()
    {
        QCOMPARE(QLocale().name(), QStringLiteral("es_ES"));
        QCOMPARE(QString::fromLatin1(std::setlocale(LC_NUMERIC, nullptr)), QStringLiteral("es_ES.UTF-8"));
        QVERIFY(!Calcular(QStringLiteral("1,5 + 1000,25")).Abierta);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("1001,75"));
    }

    void init()
    {
        Form = std::make_unique<TForm1>();
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }

    void cleanup() { Form.reset(); }

    void Ventana()
    {
        QCOMPARE(Form->metaObject()->className(), "TForm1");
        QCOMPARE(Form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(Form->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(Form->size(), QSize(397, 164));
        QCOMPARE(Form->pos(), QPoint(194, 108));
    }

    void Controles_data()
    {
        QTest::addColumn<QString>("Nombre");
        QTest::addColumn<QString>("Clase");
        QTest::addColumn<QRect>("Lugar");
        QTest::addColumn<QString>("Texto");
        QTest::addColumn<bool>("Negrita");
        QTest::newRow("Expresion") << "Expresion" << "QLineEdit" << QRect(64, 24, 321, 21) << "Expresion" << false;
        QTest::newRow("Resultado") << "Resultado" << "QLineEdit" << QRect(64, 88, 321, 21) << "Resultado" << false;
        QTest::newRow("Label1") << "Label1" << "QLabel" << QRect(8, 28, 49, 13) << "Expresión:" << false;
        QTest::newRow("Label2") << "Label2" << "QLabel" << QRect(48, 92, 6, 13) << "=" << false;
        QTest::newRow("Button1") << "Button1" << "QPushButton" << QRect(112, 56, 75, 25) << "&Calcular" << false;
        QTest::newRow("Label3") << "Label3" << "QLabel" << QRect(16, 120, 57, 13) << "Variables:" << true;
        QTest::newRow("Label4") << "Label4" << "QLabel" << QRect(16, 136, 63, 13) << "Funciones:" << true;
        QTest::newRow("Label5") << "Label5" << "QLabel" << QRect(80, 120, 136, 13) << "Euro, Pesetas, Hora y Fecha"
                                << false;
        QTest::newRow("Label6") << "Label6" << "QLabel" << QRect(80, 136, 121, 13) << "Raiz(x), Seno(x), Si(F;A;B)"
                                << false;
    }

    // Every control at its pixel place. A label only grows when the font standing in for
    // MS Sans Serif is wider, so that no text is cut.
    void Controles()
    {
        QFETCH(QString, Nombre);
        QFETCH(QString, Clase);
        QFETCH(QRect, Lugar);
        QFETCH(QString, Texto);
        QFETCH(bool, Negrita);
        auto *Control = Form->findChild<QWidget *>(Nombre);
        QVERIFY(Control);
        QCOMPARE(QString::fromLatin1(Control->metaObject()->className()), Clase);
        QCOMPARE(Control->parentWidget(), Form.get());
        QCOMPARE(Control->font().bold(), Negrita);
        QCOMPARE(Control->font().pixelSize(), 11);
        if (auto *Label = qobject_cast<QLabel *>(Control)) {
            QCOMPARE(Label->text(), Texto);
            QCOMPARE(Label->pos(), Lugar.topLeft());
            QCOMPARE(Label->height(), Lugar.height());
            QVERIFY(Label->width() >= Lugar.width());
            QVERIFY(Label->width() >= Label->sizeHint().width());
        } else {
            QCOMPARE(Control->property("text").toString(), Texto);
            QCOMPARE(Control->geometry(), Lugar);
        }
    }

    // With Wine's MS Sans Serif (fonts-wine) the labels measure what they were laid out for.
    void FuenteMsSansSerif()
    {
        if (QFontInfo(Form->font()).family() != QStringLiteral("MS Sans Serif"))
            QSKIP("MS Sans Serif is not installed (package fonts-wine)");
        QCOMPARE(Form->Label1->fontMetrics().horizontalAdvance(Form->Label1->text()), 49);
        QCOMPARE(Form->Label1->fontMetrics().height(), 13);
        QCOMPARE(Form->Label1->width(), 49);
        QCOMPARE(Form->Label2->width(), 6);
        QCOMPARE(Form->Label5->width(), 136);
        QCOMPARE(Form->Label6->width(), 121);
    }

    // The bold labels put more ink on the screen than their text in the form's own font,
    // also with a bitmap font that has no bold face.
    void EtiquetasEnNegrita()
    {
        const auto Tinta = [](QWidget *Control) {
            const QImage Imagen = Control->grab().toImage();
            int Oscuros = 0;
            for (int y = 0; y < Imagen.height(); ++y)
                for (int x = 0; x < Imagen.width(); ++x)
                    Oscuros += qGray(Imagen.pixel(x, y)) < 128;
            return Oscuros;
        };
        for (QLabel *Negrita : {Form->Label3, Form->Label4}) {
            QLabel Normal(Negrita->text(), Form.get());
            Normal.setGeometry(Negrita->geometry());
            QVERIFY(!Normal.font().bold());
            QVERIFY2(Tinta(Negrita) > Tinta(&Normal) + Negrita->text().size(), qPrintable(Negrita->text()));
        }
    }

    // Tab goes Expresion, Resultado, Button1; the labels take no focus.
    void OrdenDeTabulacion()
    {
        QList<QWidget *> Orden;
        QWidget *Control = Form->Expresion;
        do {
            if (Control->focusPolicy() & Qt::TabFocus)
                Orden << Control;
            Control = Control->nextInFocusChain();
        } while (Control != Form->Expresion);
        QCOMPARE(Orden, (QList<QWidget *>{Form->Expresion, Form->Resultado, Form->Button1}));
    }

    // Enter anywhere presses the default button, and so does Alt+C.
    void BotonPorDefectoYAtajo()
    {
        QVERIFY(Form->Button1->isDefault());
        Form->Expresion->setText(QStringLiteral("1+1"));
        QTest::keyClick(Form->Expresion, Qt::Key_Return);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("2"));
        Form->Expresion->setText(QStringLiteral("2+2"));
        QTest::keyClick(Form->Resultado, Qt::Key_Enter);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("4"));
        Form->Expresion->setText(QStringLiteral("3+3"));
        QTest::keyClick(Form->Button1, Qt::Key_Return);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("6"));

        QApplication::setActiveWindow(Form.get());
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        Form->Expresion->setText(QStringLiteral("4+4"));
        QTest::keyClick(Form.get(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(Form->Resultado->text(), QStringLiteral("8")); // the button shows itself pressed first
    }

    void Resultados_data()
    {
        QTest::addColumn<QString>("Expresion");
        QTest::addColumn<QString>("Resultado");
        // The names in any case; numbers with the locale's decimal comma.
        QTest::newRow("Euro") << "Euro" << "0,00601012104383782";
        QTest::newRow("EURO") << "EURO" << "0,00601012104383782";
        QTest::newRow("euro") << "euro" << "0,00601012104383782";
        QTest::newRow("Pesetas") << "Pesetas" << "166,386";
        QTest::newRow("pesetas + 1") << "pesetas + 1" << "167,386";
        QTest::newRow("Raiz(4)") << "Raiz(4)" << "2";
        QTest::newRow("Seno(0)") << "Seno(0)" << "0";
        QTest::newRow("si(1;2;3)") << "si(1;2;3)" << "2";
        QTest::newRow("si(0;2;3)") << "si(0;2;3)" << "3";
        QTest::newRow("SI(0;\"sí\";\"no\")") << "SI(0;\"sí\";\"no\")" << "no";
        // What the engine's doubles can hold besides numbers.
        QTest::newRow("Raiz(0-4)") << "Raiz(0-4)" << "NAN";
        QTest::newRow("-(0^-1)") << "-(0^-1)" << "-INF";
        // Text both ways: the engine's letters, Windows-1252, and a character beyond it.
        QTest::newRow("Año") << "\"Año\"+\"ñ\"" << "Añoñ";
        QTest::newRow("euro sign") << "\"€ Œ\"" << "€ Œ";
        QTest::newRow("outside the code page") << "\"中Ω\"" << "??";
    }

    void Resultados()
    {
        QFETCH(QString, Expresion);
        QFETCH(QString, Resultado);
        const TCaja Caja = Calcular(Expresion);
        QCOMPARE(Form->Expresion->text(), Expresion);
        QVERIFY2(!Caja.Abierta, qPrintable(Caja.Texto));
        QCOMPARE(Form->Resultado->text(), Resultado);
    }

    void Errores_data()
    {
        QTest::addColumn<QString>("Expresion");
        QTest::addColumn<QString>("Mensaje");
        const QString Funcion = QStringLiteral("Error: Se esperaba una función en la posición ");
        const QString Variable = QStringLiteral("Error: Se esperaba una variable en la posición ");
        const QString Incompatibles = QStringLiteral("Error: Los operandos no son compatibles en la posición ");
        // Each function needs its exact number of arguments; the host's code is reported at the name.
        QTest::newRow("Raiz(4;9)") << "Raiz(4;9)" << Funcion + "1";
        QTest::newRow("si(1;2)") << "si(1;2)" << Funcion + "1";
        QTest::newRow("si(1;2;3;4)") << "1 + si(1;2;3;4)" << Funcion + "4";
        // A function name without arguments is a variable the form does not know, as is any other name.
        QTest::newRow("Raiz") << "Raiz" << Variable + "1";
        QTest::newRow("Dolar") << "Dolar" << Variable + "1";
        QTest::newRow("1 + Dolar") << "1 + Dolar" << Variable + "4";
        QTest::newRow("Año") << "Año" << Variable + "1";
        // A condition of si that is a text, and Hora and Fecha being texts.
        QTest::newRow("si(\"a\";2;3)") << "si(\"a\";2;3)" << Incompatibles + "1";
        QTest::newRow("1 + si(Fecha;1;2)") << "1 + si(Fecha;1;2)" << Incompatibles + "4";
        QTest::newRow("Hora + 1") << "Hora + 1" << Incompatibles + "9";
        QTest::newRow("empty") << "" << "Error: Se esperaba un operando en la posición 0";
        // A character outside Windows-1252 reaches the engine as one byte that begins no token.
        QTest::newRow("1中") << "1中" << "Error: Se ha encontrado un caracter no valido en la posicion 2";
        QTest::newRow("Ωmega") << "Ωmega" << "Error: Se esperaba un operando en la posición 1";
    }

    // A modal box captioned "Error" with OK and Cancel and no icon; Resultado stays empty.
    void Errores()
    {
        QFETCH(QString, Expresion);
        QFETCH(QString, Mensaje);
        const TCaja Caja = Calcular(Expresion);
        QCOMPARE(Form->Expresion->text(), Expresion);
        QVERIFY(Caja.Abierta);
        QCOMPARE(Caja.Texto, Mensaje);
        QCOMPARE(Caja.Titulo, QStringLiteral("Error"));
        QCOMPARE(Caja.Botones, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(Caja.Icono, QMessageBox::NoIcon);
        QVERIFY(Caja.Modal);
        QCOMPARE(Form->Resultado->text(), QString());
    }

    // The expression line holds no more than the engine reads, typed or pasted: what would
    // have been left out never stands in the line, so the value shown is the whole line's.
    void LineaDeLaExpresionLimitada()
    {
        const QString Ceros(EVALION_LARGO_EXPRESION, '0');
        QVERIFY(!Calcular(Ceros + "+5").Abierta);
        QCOMPARE(Form->Expresion->text(), Ceros);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("0"));
        Form->Expresion->clear();
        QApplication::clipboard()->setText(QString(EVALION_LARGO_EXPRESION - 3, ' ') + "7+50");
        Form->Expresion->paste();
        QCOMPARE(Form->Expresion->text().size(), EVALION_LARGO_EXPRESION); // the 0 is not pasted
        QVERIFY(!ConCaja([&] { QTest::mouseClick(Form->Button1, Qt::LeftButton); }).Abierta);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("12"));
    }

    // A code the message table does not know shows "Error: " alone, without a position.
    void CodigoDelAnfitrion()
    {
        Form = std::make_unique<TFormConCodigoPropio>();
        Form->show();
        const TCaja Caja = Calcular(QStringLiteral("1 + Codigo"), QMessageBox::Ok);
        QVERIFY(Caja.Abierta);
        QCOMPARE(Caja.Texto, QStringLiteral("Error: "));
        QCOMPARE(Calcular(QStringLiteral("Pesetas")).Abierta, false);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("166,386"));
    }

    // The result line is cleared before every evaluation: empty after an error whichever
    // button closed the box, and only the new value after a success.
    void LineaDeResultado()
    {
        QCOMPARE(Form->Resultado->text(), QStringLiteral("Resultado"));
        QVERIFY(Calcular(QStringLiteral("1+"), QMessageBox::Ok).Abierta);
        QCOMPARE(Form->Resultado->text(), QString());
        QVERIFY(!Calcular(QStringLiteral("2+3")).Abierta);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("5"));
        QVERIFY(Calcular(QStringLiteral("Euro(")).Abierta);
        QCOMPARE(Form->Resultado->text(), QString());
        Form->Resultado->setText(QStringLiteral("typed by the user"));
        QVERIFY(!Calcular(QStringLiteral("\"x\"")).Abierta);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("x"));
    }

    // Hora and Fecha are texts, written alike by the window and by the evalion command in one
    // locale: its short date and its time with the seconds. The bounds of the time are taken
    // before and after the command runs, so a second that ticks in between is no failure.
    void HoraYFecha_data()
    {
        QTest::addColumn<QByteArray>("Local");
        QTest::addColumn<QString>("Fecha");
        QTest::newRow("es_ES") << QByteArray("es_ES.UTF-8") << "^\\d\\d/\\d\\d/\\d\\d$";
        QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8") << "^\\d\\d\\.\\d\\d\\.\\d{4}$";
    }

    void HoraYFecha()
    {
        QFETCH(QByteArray, Local);
        QFETCH(QString, Fecha);
        const std::string Antes = std::setlocale(LC_TIME, nullptr);
        if (!std::setlocale(LC_TIME, Local.constData()))
            QFAIL(qPrintable(QStringLiteral("the locale %1 is not installed (.ci/instalar-paquetes.sh generates it)")
                                 .arg(QString::fromLatin1(Local))));
        const auto Leer = [this](const QString &Nombre) {
            return Calcular(Nombre).Abierta ? QStringLiteral("(error)") : Form->Resultado->text();
        };
        const QString HoraAntes = Leer(QStringLiteral("Hora")), FechaDelFormulario = Leer(QStringLiteral("FECHA"));
        QProcess Evalion;
        QProcessEnvironment Entorno = QProcessEnvironment::systemEnvironment();
        Entorno.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(Local));
        Evalion.setProcessEnvironment(Entorno);
        Evalion.start(QStringLiteral(EVALION_PROGRAMA), {QStringLiteral("Hora"), QStringLiteral("Fecha")});
        QVERIFY(Evalion.waitForFinished());
        const QString HoraDespues = Leer(QStringLiteral("hora"));
        std::setlocale(LC_TIME, Antes.c_str());

        const QStringList Lineas = QString::fromUtf8(Evalion.readAllStandardOutput()).split(QLatin1Char('\n'));
        QCOMPARE(Lineas.size(), 3);
        QVERIFY2(Lineas[0] == HoraAntes || Lineas[0] == HoraDespues, qPrintable(Lineas[0] + " / " + HoraAntes));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(HoraAntes).hasMatch(),
                 qPrintable(HoraAntes));
        QCOMPARE(Lineas[1], FechaDelFormulario);
        QVERIFY2(QRegularExpression(Fecha).match(FechaDelFormulario).hasMatch(), qPrintable(FechaDelFormulario));
    }

    void NumerosDelLocal_data()
    {
        QTest::addColumn<QLocale>("Local");
        QTest::addColumn<double>("Valor");
        QTest::addColumn<QString>("Texto");
        QTest::newRow("C") << QLocale::c() << 166.386 << "166.386";
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << -0.5 << "-0,5";
        QTest::newRow("Arabic") << QLocale(QLocale::Arabic, QLocale::Egypt) << 2.25 << "2٫25";
        QTest::newRow("no point") << QLocale(QLocale::German, QLocale::Germany) << 1e20 << "1e+20";
        QTest::newRow("infinity") << QLocale(QLocale::German, QLocale::Germany)
                                  << -std::numeric_limits<double>::infinity() << "-INF";
    }

    // General format with the locale's decimal separator and nothing else of the locale.
    void NumerosDelLocal()
    {
        QFETCH(QLocale, Local);
        QFETCH(double, Valor);
        QFETCH(QString, Texto);
        QCOMPARE(QString::fromStdString(TFormatoQt(Local).Numero(Valor)), Texto);
    }

    // Saved under the build tree for a reviewer: the window with a result, and the error box.
    void Capturas()
    {
        QVERIFY(!Calcular(QStringLiteral("Pesetas * 2 + Raiz(16)")).Abierta);
        QCOMPARE(Form->Resultado->text(), QStringLiteral("336,772"));
        const QImage Ventana = Form->grab().toImage();
        QCOMPARE(Ventana.size() / Ventana.devicePixelRatio(), QSize(397, 164));
        QVERIFY(Ventana.save(CAPTURAS + QStringLiteral("/evaldemo-resultado.png")));
        const TCaja Caja = Calcular(QStringLiteral("Pesetas + Dolar"), QMessageBox::Cancel,
                                    CAPTURAS + QStringLiteral("/evaldemo-error.png"));
        QCOMPARE(Caja.Texto, QStringLiteral("Error: Se esperaba una variable en la posición 10"));
        QVERIFY(QImage(CAPTURAS + QStringLiteral("/evaldemo-error.png")).width() > 0);
    }

    // Start-up shows the main form and runs the loop until it closes, with status 0.
    void Arranque()
    {
        Form.reset();
        bool Visto = false;
        QTimer::singleShot(0, [&] {
            auto *Principal = qobject_cast<TForm1 *>(QApplication::activeWindow());
            for (QWidget *Ventana : QApplication::topLevelWidgets())
                if (!Principal && Ventana->isVisible())
                    Principal = qobject_cast<TForm1 *>(Ventana);
            Visto = Principal && Principal->isVisible();
            if (Principal)
                Principal->close();
        });
        auto &Aplicacion = static_cast<TAplicacion &>(*QApplication::instance());
        QCOMPARE(Ejecutar(Aplicacion, [] { return std::make_unique<TForm1>(); }), 0);
        QVERIFY(Visto);
    }

    // An exception that escapes start-up is shown, and the program's status is still 0.
    void ExcepcionAlArrancar()
    {
        auto &Aplicacion = static_cast<TAplicacion &>(*QApplication::instance());
        int Estado = -1;
        const TCaja Caja = ConCaja(
            [&] {
                Estado = Ejecutar(Aplicacion, []() -> std::unique_ptr<QWidget> {
                    throw std::runtime_error("No se pudo crear el formulario");
                });
            },
            QMessageBox::Ok);
        QVERIFY(Caja.Abierta);
        QCOMPARE(Caja.Texto, QStringLiteral("No se pudo crear el formulario"));
        QCOMPARE(Caja.Titulo, QApplication::applicationName());
        QCOMPARE(Estado, 0);
    }

    // One that escapes an event handler is shown too, and the message loop carries on.
    void ExcepcionEnUnEvento()
    {
        TObjetoQueFalla Objeto;
        QEvent Evento(QEvent::User);
        bool Atendido = true;
        const TCaja Caja = ConCaja([&] { Atendido = QCoreApplication::sendEvent(&Objeto, &Evento); },
                                   QMessageBox::Ok);
        QVERIFY(Caja.Abierta);
        QCOMPARE(Caja.Texto, QStringLiteral("Fallo en un evento"));
        QVERIFY(!Atendido);
    }
};

int main(int argc, char **argv)
{
    TAplicacion Aplicacion(argc, argv);
    PruebaEvaldemo Prueba;
    return QTest::qExec(&Prueba, argc, argv);
}

#include "Evaldemo.moc"
