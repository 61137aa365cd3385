// evalion-disenador: a command-line form designer for component packages. It loads a package,
// runs its registration, lists the palette, exports palette bitmaps, and writes and reads
// form files whose root is a TFormulario. Exits with 1 when a command fails (for load, when
// any expression fails too; for any command, when its output cannot be written), 2 on bad
// usage.
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Codificacion.hpp"
#include "Formularios.h"
#include "Paquetes.h"
#include "Parser.h"
#include "Version.h"

namespace {

const char *const AYUDA =
    "Usage: evalion-disenador COMMAND PACKAGE [ARGUMENTS...]\n"
    "  palette PACKAGE                 list the pages, classes, properties and events\n"
    "  bitmap PACKAGE CLASS FILE.png   write the palette bitmap of CLASS as PNG\n"
    "  create PACKAGE FORM CLASS [NAME=VALUE...]\n"
    "                                  write a form file: a TFormulario Form1 owning one CLASS;\n"
    "                                  NAME is a property (VALUE one character, or #N for the\n"
    "                                  byte N) or an event (VALUE a slot of TFormulario)\n"
    "  load PACKAGE FORM [EXPRESSION...]\n"
    "                                  read a form file, show what it set and bound, and\n"
    "                                  analyse each EXPRESSION with its components\n"
    "TFormulario's slots: PedirVariable answers pi; PedirFuncion answers suma(a; b; ...).\n"
    "An event binds only to a slot with exactly its parameters.\n"
    "  --help      print this help    --version   print the version\n";

// The root of the forms this designer writes and reads; its public slots are what events bind to.
class TFormulario : public QObject {
    Q_OBJECT

public slots:
    void PedirVariable(QObject *, char *Variable, BLOQUEDEDATOS *R)
    {
        if (std::strcmp(Variable, "pi") != 0) {
            R->Error = E_VARIABLE;
            return;
        }
        R->Tipo = TIPO_NUMERO;
        R->Numero = 3.14159265358979323846;
    }

    void PedirFuncion(QObject *, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
    {
        if (std::strcmp(Funcion, "suma") != 0) {
            R->Error = E_FUNCION;
            return;
        }
        R->Tipo = TIPO_NUMERO;
        R->Numero = 0;
        for (int32_t i = 0; i < N; ++i) {
            if (!(Parametros[i].Tipo & TIPO_NUMERO)) {
                R->Error = E_INCOMPATIBLES;
                return;
            }
            R->Numero += Parametros[i].Numero;
        }
    }
};

int Fallo(const QString &Mensaje)
{
    QTextStream(stderr) << "evalion-disenador: " << Mensaje << '\n';
    return 1;
}

// Writes Datos to Archivo whole; false with the reason in Error. The flush is checked: a full
// device refuses the bytes only then.
bool Escribir(const QString &Archivo, const QByteArray &Datos, QString &Error)
{
    QFile Destino(Archivo);
    if (Destino.open(QIODevice::WriteOnly | QIODevice::Truncate) && Destino.write(Datos) == Datos.size() &&
        Destino.flush()) {
        Destino.close();
        if (Destino.error() == QFileDevice::NoError)
            return true;
    }
    Error = QStringLiteral("cannot write %1: %2").arg(Archivo, Destino.errorString());
    return false;
}

// What a command printed, written to standard output at its end; 1 with the reason when
// that fails, as it does into a full device or a closed pipe.
int Terminar(int Codigo, const QString &Salida)
{
    const QByteArray Bytes = Salida.toUtf8();
    errno = 0;
    const bool Escrito = std::fwrite(Bytes.constData(), 1, Bytes.size(), stdout) == static_cast<std::size_t>(Bytes.size());
    if (std::fflush(stdout) == 0 && Escrito && !std::ferror(stdout))
        return Codigo;
    const QString Motivo = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("unknown error");
    return Fallo(QStringLiteral("cannot write standard output: %1").arg(Motivo));
}

// A property value as the listings show it: a char as the character itself, or as #N (the
// form create takes) when it is a blank or a control character.
QString Mostrar(const QVariant &Valor)
{
    if (Valor.metaType().id() != QMetaType::Char)
        return Valor.toString();
    const auto Byte = static_cast<unsigned char>(Valor.value<char>());
    const QChar Caracter = QChar::fromLatin1(static_cast<char>(Byte));
    return Caracter.isPrint() && !Caracter.isSpace() ? QString(Caracter) : QStringLiteral("#%1").arg(Byte);
}

int Listar(const TPaleta &Paleta, QTextStream &Salida)
{
    for (const TPaleta::TPaquete &Paquete : Paleta.Paquetes())
        Salida << "Package " << Paquete.Nombre << ": " << Paquete.Descripcion << '\n';
    QString Pagina;
    for (const TPaleta::TClase &Clase : Paleta.Clases()) {
        const QMetaObject &Meta = *Clase.Meta;
        if (Clase.Pagina != Pagina)
            Salida << "Page " << (Pagina = Clase.Pagina) << '\n';
        const QImage Bitmap = Paleta.Bitmap(Clase);
        Salida << "  " << Meta.className() << " (bitmap " << Bitmap.width() << 'x' << Bitmap.height() << ")\n";
        for (const QMetaProperty &P : Propiedades(Meta)) {
            const QString Declarado = Defecto(Meta, P);
            Salida << "    property " << P.name() << ": " << P.typeName() << ", default "
                     << (Declarado.isNull() ? QStringLiteral("none") : Declarado)
                     << (P.isStored() ? ", stored\n" : ", not stored\n");
        }
        for (const QMetaMethod &Evento : Eventos(Meta)) {
            QStringList Parametros;
            for (int i = 0; i < Evento.parameterCount(); ++i)
                Parametros << QString::fromLatin1(Evento.parameterTypes().at(i) + ' ' + Evento.parameterNames().at(i));
            Salida << "    event " << Evento.name() << ": " << TipoDeEvento(Meta, Evento) << '('
                     << Parametros.join(QLatin1String(", ")) << ")\n";
        }
    }
    return 0;
}

int ExportarBitmap(const TPaleta &Paleta, const QString &NombreDeClase, const QString &Archivo)
{
    const TPaleta::TClase *Clase = Paleta.Buscar(NombreDeClase);
    if (Clase == nullptr)
        return Fallo(QStringLiteral("class %1 is on no palette page").arg(NombreDeClase));
    const QImage Imagen = Paleta.Bitmap(*Clase);
    QByteArray Png;
    QBuffer Memoria(&Png);
    Memoria.open(QIODevice::WriteOnly);
    if (Imagen.isNull() || !Imagen.save(&Memoria, "PNG"))
        return Fallo(QStringLiteral("cannot make the bitmap of %1").arg(NombreDeClase));
    QString Error;
    return Escribir(Archivo, Png, Error) ? 0 : Fallo(Error);
}

// A property value as typed on the command line; for a char, "#N" stands for the byte N.
QJsonValue ValorTecleado(const QMetaProperty &P, const QString &Texto)
{
    if (P.metaType().id() == QMetaType::Char && Texto.size() > 1 && Texto.startsWith('#'))
        return QString(QChar(Texto.mid(1).toUShort()));
    return Texto;
}

int Crear(const TPaleta &Paleta, const QString &Archivo, const QString &NombreDeClase, const QStringList &Valores)
{
    const TPaleta::TClase *Clase = Paleta.Buscar(NombreDeClase);
    if (Clase == nullptr)
        return Fallo(QStringLiteral("class %1 is on no palette page").arg(NombreDeClase));
    TFormulario Raiz;
    Raiz.setObjectName(QStringLiteral("Form1"));
    TComponenteDeFormulario Componente{Clase->Meta->newInstance(Q_ARG(QObject *, &Raiz)), {}};
    if (Componente.Objeto == nullptr)
        return Fallo(QStringLiteral("%1 has no constructor that takes an owner").arg(NombreDeClase));
    Componente.Objeto->setObjectName(NombreDeClase.mid(NombreDeClase.startsWith('T') ? 1 : 0) + '1');

    for (const QString &Asignacion : Valores) {
        const QString Nombre = Asignacion.section('=', 0, 0), Texto = Asignacion.section('=', 1);
        const int Indice = Clase->Meta->indexOfProperty(Nombre.toLatin1().constData());
        if (Indice < QObject::staticMetaObject.propertyCount()) {
            if (!BuscarEvento(*Clase->Meta, Nombre).isValid())
                return Fallo(QStringLiteral("%1 has no property or event %2").arg(NombreDeClase, Nombre));
            Componente.Eventos.insert(Nombre, Texto); // its handler is checked when the form is written
            continue;
        }
        const QMetaProperty P = Clase->Meta->property(Indice);
        QVariant Valor;
        if (!ValorDeJson(ValorTecleado(P, Texto), P.metaType(), Valor) || !P.write(Componente.Objeto, Valor))
            return Fallo(QStringLiteral("%1 is no value of %2 (%3)").arg(Texto, Nombre, QLatin1String(P.typeName())));
    }
    QString Error;
    const QByteArray Json = EscribirFormulario(Raiz, {Componente}, Error);
    if (Json.isEmpty() || !Escribir(Archivo, Json, Error))
        return Fallo(Error);
    return 0;
}

// The engine's bytes of a text typed on the command line.
QByteArray Windows1252(const QString &Texto)
{
    const QByteArray Utf8 = Texto.toUtf8();
    return QByteArray::fromStdString(Evalion::Codificacion::Utf8ALatin1(std::string_view(Utf8.constData(), Utf8.size())));
}

// Analyses Expresion with a component that has Analizar and prints the result; false when the
// expression fails. A component without Analizar is passed over.
bool AnalizarCon(QObject &Componente, const QString &Expresion, QTextStream &Salida)
{
    BLOQUEDEDATOS R{};
    if (!QMetaObject::invokeMethod(&Componente, "Analizar", Qt::DirectConnection, Q_RETURN_ARG(BLOQUEDEDATOS, R),
                                   Q_ARG(QByteArray, Windows1252(Expresion))))
        return true;
    Salida << "  " << Componente.objectName() << ": " << Expresion << " -> ";
    if (R.Error != 0)
        Salida << "error " << R.Error << " at " << R.Posicion << '\n';
    else if (R.Tipo == TIPO_CADENA)
        Salida << '"' << QString::fromStdString(Evalion::Codificacion::Latin1AUtf8(R.Cadena)) << "\"\n";
    else
        Salida << QString::number(R.Numero, 'g', 15) << '\n';
    return R.Error == 0;
}

int Cargar(const TPaleta &Paleta, const QString &Archivo, const QStringList &Expresiones, QTextStream &Salida)
{
    QFile Origen(Archivo);
    if (!Origen.open(QIODevice::ReadOnly))
        return Fallo(QStringLiteral("cannot read %1: %2").arg(Archivo, Origen.errorString()));
    TFormulario Raiz;
    QList<TComponenteDeFormulario> Componentes;
    QString Error;
    if (!CargarFormulario(Origen.readAll(), Raiz, Paleta, Componentes, Error))
        return Fallo(Error);
    Salida << Raiz.objectName() << ": TFormulario\n";
    for (const TComponenteDeFormulario &Componente : Componentes) {
        const QMetaObject &Meta = *Componente.Objeto->metaObject();
        Salida << "  " << Componente.Objeto->objectName() << ": " << Meta.className() << '\n';
        for (const QMetaProperty &P : Propiedades(Meta))
            Salida << "    " << P.name() << " = " << Mostrar(P.read(Componente.Objeto)) << '\n';
        for (auto E = Componente.Eventos.cbegin(); E != Componente.Eventos.cend(); ++E)
            Salida << "    " << E.key() << " -> " << Raiz.objectName() << '.' << E.value() << '\n';
    }
    bool Correcto = true;
    for (const QString &Expresion : Expresiones)
        for (const TComponenteDeFormulario &Componente : Componentes)
            Correcto &= AnalizarCon(*Componente.Objeto, Expresion, Salida);
    return Correcto ? 0 : 1;
}

// Each command with how many arguments it takes, itself and the package included (-1: any).
struct TOrden {
    const char *Nombre;
    qsizetype Minimo, Maximo;
};
constexpr TOrden ORDENES[] = {{"palette", 2, 2}, {"bitmap", 4, 4}, {"create", 4, -1}, {"load", 3, -1}};

bool UsoValido(const QStringList &Argumentos)
{
    for (const TOrden &Orden : ORDENES)
        if (Argumentos.value(0) == QLatin1String(Orden.Nombre))
            return Argumentos.size() >= Orden.Minimo && (Orden.Maximo < 0 || Argumentos.size() <= Orden.Maximo);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication Aplicacion(argc, argv);
    const QStringList Argumentos = Aplicacion.arguments().mid(1);
    const QString Orden = Argumentos.value(0);
    if (Argumentos.size() == 1 && Orden == QLatin1String("--version"))
        return Terminar(0, QStringLiteral("evalion-disenador " EVALION_VERSION "\n"));
    if (!UsoValido(Argumentos)) {
        if (Orden == QLatin1String("--help"))
            return Terminar(0, QLatin1String(AYUDA));
        QTextStream(stderr) << AYUDA;
        return 2;
    }
    TPaleta Paleta;
    QString Error;
    if (!Paleta.CargarPaquete(Argumentos.at(1), Error))
        return Fallo(Error);
    if (Orden == QLatin1String("bitmap"))
        return ExportarBitmap(Paleta, Argumentos.at(2), Argumentos.at(3));
    if (Orden == QLatin1String("create"))
        return Crear(Paleta, Argumentos.at(2), Argumentos.at(3), Argumentos.mid(4));
    QString Texto;
    QTextStream Salida(&Texto);
    const int Codigo = Orden == QLatin1String("palette") ? Listar(Paleta, Salida)
                                                         : Cargar(Paleta, Argumentos.at(2), Argumentos.mid(3), Salida);
    Salida.flush();
    return Terminar(Codigo, Texto);
}

#include "main.moc"
