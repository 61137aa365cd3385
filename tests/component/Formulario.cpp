// Form files: TEvalion written with its properties and handler names, and read back onto a
// root whose methods then handle its events.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <memory>
#include <string>
#include <vector>

#include "Evalion.h"
#include "Formularios.h"

namespace {

const QString RUTA = QStringLiteral(EVALCOMP_RUTA);

} // namespace

// The root of the forms in these tests: its public slots handle the events.
class TFormularioDePrueba : public QObject {
    Q_OBJECT

public:
    std::vector<std::string> Peticiones;

public slots:
    void AlPedirVariable(QObject *Sender, char *Variable, BLOQUEDEDATOS *R)
    {
        Peticiones.push_back(std::string(Variable) + (Sender->parent() == this ? "" : " from elsewhere"));
        R->Tipo = TIPO_NUMERO;
        R->Numero = 5;
    }
    void AlPedirFuncion(QObject *, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
    {
        Peticiones.push_back(std::string(Funcion) + "()");
        R->Tipo = TIPO_NUMERO;
        R->Numero = N > 0 ? Parametros[N - 1].Numero : 0;
    }
    void Incompatible(int) {}

private slots:
    void Oculto(QObject *, char *, BLOQUEDEDATOS *) {}
};

namespace {

class Formulario : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString Error;
        ASSERT_TRUE(Paleta.CargarPaquete(RUTA, Error)) << Error.toStdString();
        Origen.setObjectName(QStringLiteral("Form1"));
        Componente = new TEvalion(&Origen);
        Componente->setObjectName(QStringLiteral("Evalion1"));
    }

    // Writes the form of Origen with Eventos and reads it onto Destino.
    TEvalion *IdaYVuelta(const QMap<QString, QString> &Eventos = {})
    {
        QString Error;
        Json = EscribirFormulario(Origen, {{Componente, Eventos}}, Error);
        EXPECT_FALSE(Json.isEmpty()) << Error.toStdString();
        Destino = std::make_unique<TFormularioDePrueba>();
        QList<TComponenteDeFormulario> Leidos;
        EXPECT_TRUE(CargarFormulario(Json, *Destino, Paleta, Leidos, Error)) << Error.toStdString();
        return Leidos.size() == 1 ? qobject_cast<TEvalion *>(Leidos[0].Objeto) : nullptr;
    }

    QJsonObject Propiedades() const
    {
        return QJsonDocument::fromJson(Json)["Componentes"][0]["Propiedades"].toObject();
    }

    TPaleta Paleta;
    TFormularioDePrueba Origen;
    TEvalion *Componente = nullptr;
    QByteArray Json;
    std::unique_ptr<TFormularioDePrueba> Destino;
};

TEST_F(Formulario, RoundTrip)
{
    Componente->SetSeparadorDecimal('.');
    Componente->SetSeparadorMillar(',');
    TEvalion *Leido = IdaYVuelta({{"OnPedirVariable", "AlPedirVariable"}, {"OnPedirFuncion", "AlPedirFuncion"}});
    ASSERT_NE(Leido, nullptr);
    EXPECT_EQ(Destino->objectName(), QLatin1String("Form1"));
    EXPECT_EQ(Leido->objectName(), QLatin1String("Evalion1"));
    EXPECT_EQ(Leido->parent(), Destino.get());
    EXPECT_EQ(Leido->GetSeparadorDecimal(), '.');
    EXPECT_EQ(Leido->GetSeparadorMillar(), ',');

    const BLOQUEDEDATOS R = Leido->Analizar("1,234.5 + f(x; 2)");
    ASSERT_EQ(R.Error, 0);
    EXPECT_EQ(R.Numero, 1236.5);
    EXPECT_EQ(Destino->Peticiones, (std::vector<std::string>{"x", "f()"}));
    EXPECT_TRUE(Origen.Peticiones.empty());
}

// The declared default is 0 and no separator is ever 0, so both are always written.
TEST_F(Formulario, DefaultSeparatorsAreWritten)
{
    TEvalion *Leido = IdaYVuelta();
    EXPECT_EQ(Propiedades().value("SeparadorDecimal").toString(), QLatin1String(","));
    EXPECT_EQ(Propiedades().value("SeparadorMillar").toString(), QLatin1String("."));
    ASSERT_NE(Leido, nullptr);
    EXPECT_EQ(Leido->Analizar("x").Error, E_VARIABLE); // no event stored, none bound
}

TEST_F(Formulario, EveryByteRoundTrips)
{
    for (int Byte = 1; Byte <= 255; ++Byte) {
        SCOPED_TRACE(Byte);
        const char Decimal = static_cast<char>(Byte), Millar = static_cast<char>(Byte % 255 + 1);
        Componente->SetSeparadorDecimal(Decimal);
        Componente->SetSeparadorMillar(Millar);
        TEvalion *Leido = IdaYVuelta();
        ASSERT_NE(Leido, nullptr);
        EXPECT_EQ(Leido->GetSeparadorDecimal(), Decimal);
        EXPECT_EQ(Leido->GetSeparadorMillar(), Millar);
        EXPECT_EQ(Propiedades().value("SeparadorDecimal").toString(), QString(QChar(Byte)));
    }
}

// A form that would not load is not written either; the message names the event, the slot
// and both signatures.
TEST_F(Formulario, MisWiredFormsAreNotWritten)
{
    const struct {
        const char *Evento, *Metodo, *Error;
    } Casos[] = {
        {"OnPedirNada", "AlPedirVariable", "TEvalion has no event OnPedirNada"},
        {"OnPedirVariable", "NoExiste",
         "TFormularioDePrueba has no public slot NoExiste to handle "
         "TEvalion.OnPedirVariable(QObject*,char*,BLOQUEDEDATOS*)"},
        {"OnPedirFuncion", "AlPedirVariable",
         "TFormularioDePrueba.AlPedirVariable(QObject*,char*,BLOQUEDEDATOS*) cannot handle "
         "TEvalion.OnPedirFuncion(QObject*,char*,BLOQUEDEDATOS*,int32_t,BLOQUEDEDATOS*): the parameters differ"},
    };
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Metodo);
        QString Error;
        EXPECT_TRUE(EscribirFormulario(Origen, {{Componente, {{Caso.Evento, Caso.Metodo}}}}, Error).isEmpty());
        EXPECT_EQ(Error.toStdString(), Caso.Error);
    }
}

struct CasoRechazado {
    const char *Motivo;
    const char *Componente; // the component's JSON inside an otherwise valid form
};

// A form that does not fit the root, the palette or the classes is refused whole.
TEST_F(Formulario, RefusedForms)
{
    const CasoRechazado Casos[] = {
        {"class TNada", R"({"Clase": "TNada"})"},
        {"no property Nada", R"({"Clase": "TEvalion", "Propiedades": {"Nada": 1}})"},
        {"no property objectName", R"({"Clase": "TEvalion", "Propiedades": {"objectName": "x"}})"},
        {"two characters", R"({"Clase": "TEvalion", "Propiedades": {"SeparadorDecimal": ".,"}})"},
        {"beyond Latin-1", R"({"Clase": "TEvalion", "Propiedades": {"SeparadorDecimal": "\u0100"}})"},
        {"byte 0", R"({"Clase": "TEvalion", "Propiedades": {"SeparadorDecimal": "\u0000"}})"},
        {"a number", R"({"Clase": "TEvalion", "Propiedades": {"SeparadorDecimal": 46}})"},
        {"no event OnNada", R"({"Clase": "TEvalion", "Eventos": {"OnNada": "AlPedirVariable"}})"},
        {"no such method", R"({"Clase": "TEvalion", "Eventos": {"OnPedirVariable": "Falta"}})"},
        {"private slot", R"({"Clase": "TEvalion", "Eventos": {"OnPedirVariable": "Oculto"}})"},
        {"other parameters", R"({"Clase": "TEvalion", "Eventos": {"OnPedirVariable": "Incompatible"}})"},
        {"handler of the other event", R"({"Clase": "TEvalion", "Eventos": {"OnPedirVariable": "AlPedirFuncion"}})"},
        {"fewer parameters", R"({"Clase": "TEvalion", "Eventos": {"OnPedirFuncion": "AlPedirVariable"}})"},
    };
    for (const CasoRechazado &Caso : Casos) {
        SCOPED_TRACE(Caso.Motivo);
        const QByteArray Archivo = QByteArray(R"({"Formulario": 1, "Clase": "TFormularioDePrueba", "Componentes": [)") +
                                   R"({"Clase": "TEvalion", "Nombre": "Bueno"}, )" + Caso.Componente + "]}";
        TFormularioDePrueba Raiz;
        QList<TComponenteDeFormulario> Leidos;
        QString Error;
        EXPECT_FALSE(CargarFormulario(Archivo, Raiz, Paleta, Leidos, Error));
        EXPECT_FALSE(Error.isEmpty());
        EXPECT_TRUE(Raiz.children().isEmpty());
        EXPECT_TRUE(Leidos.isEmpty());
    }
}

TEST_F(Formulario, RefusedFiles)
{
    const char *const Archivos[] = {
        "no JSON",
        R"({"Formulario": 2, "Clase": "TFormularioDePrueba", "Componentes": []})",
        R"({"Clase": "TFormularioDePrueba", "Componentes": []})",
        R"({"Formulario": 1, "Clase": "TFormulario", "Componentes": []})",
    };
    for (const char *Archivo : Archivos) {
        SCOPED_TRACE(Archivo);
        TFormularioDePrueba Raiz;
        QList<TComponenteDeFormulario> Leidos;
        QString Error;
        EXPECT_FALSE(CargarFormulario(Archivo, Raiz, Paleta, Leidos, Error));
        EXPECT_FALSE(Error.isEmpty());
    }
}

} // namespace

#include "Formulario.moc"
