#include "Formulario.h"

#include <algorithm>

#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>

#include "Formato.h"
#include "Texto.h"

namespace {

// "MS Sans Serif" 8 pt at 96 pixels per inch: 11-pixel characters in 13-pixel lines, the
// metrics every position on the form was laid out with. Wine's font of that name has the
// same widths; when it is not installed, the nearest sans serif stands in.
QFont FuenteDelFormulario()
{
    const QString Familia = QStringLiteral("MS Sans Serif");
    if (!QFontDatabase::families().contains(Familia)) {
        const QString Archivo =
            QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("wine/fonts/ms_sans_serif.ttf"));
        if (!Archivo.isEmpty())
            QFontDatabase::addApplicationFont(Archivo);
    }
    QFont Fuente(Familia);
    Fuente.setStyleHint(QFont::SansSerif);
    Fuente.setPixelSize(11);
    return Fuente;
}

// A label at its place; it grows, never shrinks, when the stand-in font needs more room.
QLabel *Etiqueta(QWidget *Padre, const char *Nombre, const QString &Texto, QRect Lugar, bool Negrita = false)
{
    auto *Label = new QLabel(Texto, Padre);
    Label->setObjectName(QLatin1String(Nombre));
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (Negrita) {
        QFont Fuente = Padre->font();
        Fuente.setBold(true);
        Label->setFont(Fuente);
        Label->installEventFilter(Padre);
    }
    Lugar.setWidth(std::max(Lugar.width(), Label->sizeHint().width()));
    Label->setGeometry(Lugar);
    return Label;
}

QLineEdit *Linea(QWidget *Padre, const char *Nombre, const QString &Texto, const QRect &Lugar)
{
    auto *Edit = new QLineEdit(Texto, Padre);
    Edit->setObjectName(QLatin1String(Nombre));
    Edit->setGeometry(Lugar);
    return Edit;
}

// Qt's text and the engine's Latin-1 meet through the UTF-8 conversions every host shares.
std::string ALatin1(const QString &Texto) { return Evalion::Codificacion::Utf8ALatin1(Texto.toStdString()); }

// The engine calls the form's methods through these, with the form as the object.
void EVALION_CONV VariableDelFormulario(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    static_cast<TForm1 *>(Objeto)->AlPedirVariable(Variable, R);
}

void EVALION_CONV FuncionDelFormulario(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                       BLOQUEDEDATOS *R)
{
    static_cast<TForm1 *>(Objeto)->AlPedirFuncion(Funcion, Parametros, N, R);
}

} // namespace

std::string TFormatoQt::Numero(double Valor) const
{
    return Evalion::FormatearNumero(Valor, Local.decimalPoint().toStdString());
}

// Time and date by the rule every host shares, so that the window and the command write
// them alike in one locale (Qt's own formats come from other locale data).
std::string TFormatoQt::Hora() const { return Evalion::HoraLocal(); }

std::string TFormatoQt::Fecha() const { return Evalion::FechaLocal(); }

// The layout in pixels, as the form was designed: 397 x 164 inside a 405 x 191 window
// (4-pixel borders, a 19-pixel caption) placed at 194, 108.
TForm1::TForm1(QWidget *Padre) : QWidget(Padre)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(FuenteDelFormulario());
    move(194, 108);
    resize(397, 164);

    Expresion = Linea(this, "Expresion", QStringLiteral("Expresion"), {64, 24, 321, 21});
    Expresion->setMaxLength(EVALION_LARGO_EXPRESION); // what the engine reads: no more is typed or pasted
    Resultado = Linea(this, "Resultado", QStringLiteral("Resultado"), {64, 88, 321, 21});
    Label1 = Etiqueta(this, "Label1", QStringLiteral("Expresión:"), {8, 28, 49, 13});
    Label2 = Etiqueta(this, "Label2", QStringLiteral("="), {48, 92, 6, 13});
    Button1 = new QPushButton(QStringLiteral("&Calcular"), this); // Alt+C
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 56, 75, 25);
    Button1->setDefault(true);
    Label3 = Etiqueta(this, "Label3", QStringLiteral("Variables:"), {16, 120, 57, 13}, true);
    Label4 = Etiqueta(this, "Label4", QStringLiteral("Funciones:"), {16, 136, 63, 13}, true);
    Label5 = Etiqueta(this, "Label5", QStringLiteral("Euro, Pesetas, Hora y Fecha"), {80, 120, 136, 13});
    Label6 = Etiqueta(this, "Label6", QStringLiteral("Raiz(x), Seno(x), Si(F;A;B)"), {80, 136, 121, 13});

    setTabOrder(Expresion, Resultado);
    setTabOrder(Resultado, Button1);
    Expresion->setFocus();
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

// Outside a dialog Qt has no default button, so the form presses it on Enter; the line edits
// and the button leave that key to their window.
void TForm1::keyPressEvent(QKeyEvent *Evento)
{
    if (Evento->key() == Qt::Key_Return || Evento->key() == Qt::Key_Enter)
        Button1->click();
    else
        QWidget::keyPressEvent(Evento);
}

// MS Sans Serif is a bitmap font without a bold face. Like Windows, a bold label whose font
// cannot embolden itself draws its text twice, one pixel apart.
bool TForm1::eventFilter(QObject *Objeto, QEvent *Evento)
{
    auto *Label = qobject_cast<QLabel *>(Objeto);
    if (Evento->type() != QEvent::Paint || !Label || QFontDatabase::isSmoothlyScalable(QFontInfo(Label->font()).family()))
        return QWidget::eventFilter(Objeto, Evento);
    QPainter Pintor(Label);
    Pintor.setPen(Label->palette().color(QPalette::WindowText));
    for (int Desplazamiento : {0, 1})
        Pintor.drawText(Label->contentsRect().translated(Desplazamiento, 0), static_cast<int>(Label->alignment()),
                        Label->text());
    return true;
}

void TForm1::Button1Click()
{
    Resultado->setText(QString());

    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, VariableDelFormulario, this, FuncionDelFormulario, this);
    const BLOQUEDEDATOS R = A_Analizar(&Estado, ALatin1(Expresion->text()).c_str());

    const Evalion::TPresentacion Presentacion = Evalion::Presentar(R, Formato);
    if (!Presentacion.Error) {
        Resultado->setText(QString::fromStdString(Presentacion.Texto));
        return;
    }
    // Which button closes the box makes no difference.
    QMessageBox Caja(QMessageBox::NoIcon, QStringLiteral("Error"), QString::fromStdString(Presentacion.Texto),
                     QMessageBox::Ok | QMessageBox::Cancel, this);
    Caja.setTextFormat(Qt::PlainText);
    Caja.exec();
}

void TForm1::AlPedirVariable(char *Variable, BLOQUEDEDATOS *R)
{
    Evalion::PedirVariable(Variable, *R, Formato);
}

void TForm1::AlPedirFuncion(char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    Evalion::PedirFuncion(Funcion, Parametros, N, *R);
}
