// TEvalion: construction, separators, events and ownership, as an application uses it.
#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "Evalion.h"

namespace {

struct Peticion {
    QObject *Sender;
    std::string Nombre;
    std::vector<double> Parametros; // empty for a variable
};

// A form that handles both events: every variable is 5 and every function the sum of its
// arguments, except the names in Errores, which get that code. It records each request.
class Formulario : public QObject {
public:
    std::map<std::string, int32_t> Errores;
    std::vector<Peticion> Peticiones;

    void PedirVariable(QObject *Sender, char *Variable, BLOQUEDEDATOS *R)
    {
        Peticiones.push_back({Sender, Variable, {}});
        if (Responder(Variable, R))
            R->Numero = 5;
    }

    void PedirFuncion(QObject *Sender, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
    {
        Peticiones.push_back({Sender, Funcion, {}});
        double Suma = 0;
        for (int32_t i = 0; i < N; ++i) {
            const double Valor = Parametros[i].Numero; // a copy: with 4-byte packing the field may be unaligned
            Peticiones.back().Parametros.push_back(Valor);
            Suma += Valor;
        }
        if (Responder(Funcion, R))
            R->Numero = Suma;
    }

    void Manejar(TEvalion &Componente)
    {
        Componente.Asignar(&TEvalion::OnPedirVariable, this, &Formulario::PedirVariable);
        Componente.Asignar(&TEvalion::OnPedirFuncion, this, &Formulario::PedirFuncion);
    }

private:
    bool Responder(const char *Nombre, BLOQUEDEDATOS *R)
    {
        const auto Error = Errores.find(Nombre);
        if (Error != Errores.end())
            R->Error = Error->second;
        else
            R->Tipo = TIPO_NUMERO;
        return Error == Errores.end();
    }
};

void ComprobarNumero(const BLOQUEDEDATOS &R, double Esperado)
{
    ASSERT_EQ(R.Error, 0) << "at " << R.Posicion;
    EXPECT_EQ(R.Tipo, TIPO_NUMERO);
    EXPECT_EQ(R.Numero, Esperado);
}

TEST(Componente, DefaultsAfterConstruction)
{
    TEvalion Componente;
    EXPECT_EQ(Componente.GetSeparadorDecimal(), ',');
    EXPECT_EQ(Componente.GetSeparadorMillar(), '.');
    EXPECT_EQ(Componente.property("SeparadorDecimal").value<char>(), ',');
    EXPECT_EQ(Componente.property("SeparadorMillar").value<char>(), '.');
    ComprobarNumero(Componente.Analizar("1.234,5"), 1234.5);
}

struct CasoSeparadores {
    char Decimal, Millar;                 // set in this order; 0 leaves a separator as it is
    char DecimalLeido, MillarLeido;       // what the getters report afterwards
    const char *Expresion;
    double Esperado;
};

TEST(Componente, Separators)
{
    const CasoSeparadores Casos[] = {
        {'.', ',', '.', ',', "1,234.5", 1234.5},
        {'\0', '\0', ',', '.', "1.234,5", 1234.5},
        {'\0', ' ', ',', ' ', "1 000,5", 1000.5},
        // One character for both: it acts as the decimal separator.
        {'.', '\0', '.', '.', "1.5", 1.5},
        {'\0', ',', ',', ',', "1,5", 1.5},
        {';', ';', ';', ';', "1;5", 1.5},
        // A byte above 127 is a negative char; it still works as a separator.
        {'\xB7', '\0', '\xB7', '.', "1.000\xB7" "5", 1000.5},
    };
    for (const CasoSeparadores &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        TEvalion Componente;
        Componente.SetSeparadorDecimal(Caso.Decimal);
        Componente.SetSeparadorMillar(Caso.Millar);
        EXPECT_EQ(Componente.GetSeparadorDecimal(), Caso.DecimalLeido);
        EXPECT_EQ(Componente.GetSeparadorMillar(), Caso.MillarLeido);
        ComprobarNumero(Componente.Analizar(Caso.Expresion), Caso.Esperado);
    }
}

TEST(Componente, ZeroKeepsTheLastSeparator)
{
    TEvalion Componente;
    Componente.SetSeparadorDecimal('.');
    Componente.SetSeparadorMillar(',');
    Componente.SetSeparadorDecimal('\0');
    Componente.SetSeparadorMillar('\0');
    EXPECT_EQ(Componente.GetSeparadorDecimal(), '.');
    EXPECT_EQ(Componente.GetSeparadorMillar(), ',');
    ComprobarNumero(Componente.Analizar("1,234.5"), 1234.5);
}

// Every form of an empty text is analysed as empty, never as an absent one.
TEST(Componente, EmptyTexts)
{
    TEvalion Componente;
    const BLOQUEDEDATOS Resultados[] = {Componente.Analizar(""), Componente.Analizar(QByteArray()),
                                        Componente.Analizar(QString()), Componente.Analizar(QString("")),
                                        Componente.Analizar(static_cast<const char *>(nullptr))};
    for (const BLOQUEDEDATOS &R : Resultados) {
        EXPECT_EQ(R.Error, E_OPERANDO);
        EXPECT_EQ(R.Posicion, 0);
    }
}

// A QString reaches the engine as Windows-1252, one byte per character, "?" beyond it, and
// an engine text comes back the same.
TEST(Componente, QStringIsWindows1252)
{
    TEvalion Componente;
    Formulario Form;
    Form.Manejar(Componente);
    const BLOQUEDEDATOS Texto = Componente.Analizar(QString::fromUtf8("\"Año\" + \"é\""));
    ASSERT_EQ(Texto.Error, 0);
    EXPECT_STREQ(Texto.Cadena, "A\xF1o\xE9");
    ComprobarNumero(Componente.Analizar(QString::fromUtf8("Año + 1")), 6);
    ASSERT_EQ(Form.Peticiones.size(), 1u);
    EXPECT_EQ(Form.Peticiones[0].Nombre, "A\xF1o");
    const BLOQUEDEDATOS Euro = Componente.Analizar(QString::fromUtf8("\"€Ñÿ\" + \"😀\""));
    ASSERT_EQ(Euro.Error, 0);
    EXPECT_STREQ(Euro.Cadena, "\x80\xD1\xFF?");
    EXPECT_EQ(TEvalion::Texto(Euro.Cadena), QString::fromUtf8("€Ñÿ?"));
}

// A QString longer than the engine reads is refused without a request, as E_OPERADOR at
// 1025, the first character left over; characters count, not UTF-8 bytes, and a text of
// 1024 characters is analysed whole (E_OPERADOR there is never past 1024).
TEST(Componente, LongQStringRefused)
{
    const QString Enes = QString(1022, QChar(0xF1));
    const struct {
        QString Texto;
        int32_t Error, Posicion;
    } Casos[] = {
        {QString(1024, '0'), 0, 0},
        {"\"" + Enes + "\"", 0, 0},                       // 1024 characters, 2046 bytes of UTF-8
        {QString(1023, '1') + "x", E_OPERADOR, 1024},     // left over within the engine's reach
        {QString(1024, '0') + "+5", E_OPERADOR, 1025},
        {"x" + QString(1023, ' ') + "+1", E_OPERADOR, 1025}, // x is not asked for
        {"\"" + Enes + "\"\"", E_OPERADOR, 1025},
    };
    TEvalion Componente;
    Formulario Form;
    Form.Manejar(Componente);
    for (const auto &Caso : Casos) {
        SCOPED_TRACE(Caso.Texto.size());
        const BLOQUEDEDATOS R = Componente.Analizar(Caso.Texto);
        EXPECT_EQ(R.Error, Caso.Error);
        EXPECT_EQ(R.Posicion, Caso.Posicion);
    }
    EXPECT_TRUE(Form.Peticiones.empty());
}

TEST(ComponenteEventos, VariableHandlerGetsTheComponentAndTheName)
{
    TEvalion Componente;
    Formulario Form;
    Form.Manejar(Componente);
    ComprobarNumero(Componente.Analizar("x ^ 2"), 25);
    ASSERT_EQ(Form.Peticiones.size(), 1u);
    EXPECT_EQ(Form.Peticiones[0].Sender, &Componente);
    EXPECT_EQ(Form.Peticiones[0].Nombre, "x");
}

struct CasoError {
    const char *Expresion;
    int32_t Error, Posicion;
};

// A handler's code comes back unchanged, at the name that was asked for.
TEST(ComponenteEventos, HandlerErrorsAtTheName)
{
    const CasoError Casos[] = {
        {"y", 1000, 1}, {"1 + y", 1000, 4}, {"2 ^ malo", 4242, 4}, {"f(1;h(2))", 1100, 5}, {"(y)", 1000, 4},
    };
    for (const CasoError &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        TEvalion Componente;
        Formulario Form;
        Form.Errores = {{"y", E_VARIABLE}, {"malo", 4242}, {"h", E_FUNCION}};
        Form.Manejar(Componente);
        const BLOQUEDEDATOS R = Componente.Analizar(Caso.Expresion);
        EXPECT_EQ(R.Error, Caso.Error);
        EXPECT_EQ(R.Posicion, Caso.Posicion);
        EXPECT_NE(Form.Peticiones.back().Nombre, "f"); // a failed argument stops the call
    }
}

TEST(ComponenteEventos, FunctionAfterAllItsArguments)
{
    TEvalion Componente;
    Formulario Form;
    Form.Manejar(Componente);
    ComprobarNumero(Componente.Analizar("f(1;2)"), 3);
    ASSERT_EQ(Form.Peticiones.size(), 1u);
    EXPECT_EQ(Form.Peticiones[0].Sender, &Componente);
    EXPECT_EQ(Form.Peticiones[0].Nombre, "f");
    EXPECT_EQ(Form.Peticiones[0].Parametros, (std::vector<double>{1, 2}));

    Form.Peticiones.clear();
    ComprobarNumero(Componente.Analizar("f(x;g(x))"), 10);
    std::vector<std::string> Orden;
    for (const Peticion &P : Form.Peticiones)
        Orden.push_back(P.Nombre);
    EXPECT_EQ(Orden, (std::vector<std::string>{"x", "x", "g", "f"}));
}

struct CasoSinManejador {
    const char *Expresion;
    int32_t Error, Posicion;
    const char *Cadena;
};

// With an event unassigned the request is answered as the libraries answer it without a
// callback: the code, and the name in Cadena.
TEST(ComponenteEventos, UnassignedEvents)
{
    const CasoSinManejador Casos[] = {
        {"abc", 1000, 1, "abc"},
        {"abc(1)", 1100, 1, "abc"},
        {"1 + A\xF1o", 1000, 4, "A\xF1o"},
        {"f(2 + 3)", 1100, 1, "f"},
    };
    for (const CasoSinManejador &Caso : Casos) {
        SCOPED_TRACE(Caso.Expresion);
        TEvalion Componente;
        const BLOQUEDEDATOS R = Componente.Analizar(Caso.Expresion);
        EXPECT_EQ(R.Error, Caso.Error);
        EXPECT_EQ(R.Posicion, Caso.Posicion);
        EXPECT_STREQ(R.Cadena, Caso.Cadena);
    }
}

// Each event on its own: the variable is handled while the function is not.
TEST(ComponenteEventos, OneEventAssigned)
{
    TEvalion Componente;
    Formulario Form;
    Componente.Asignar(&TEvalion::OnPedirVariable, &Form, &Formulario::PedirVariable);
    const BLOQUEDEDATOS R = Componente.Analizar("f(x)");
    EXPECT_EQ(R.Error, E_FUNCION);
    EXPECT_STREQ(R.Cadena, "f");
    ASSERT_EQ(Form.Peticiones.size(), 1u);
    EXPECT_EQ(Form.Peticiones[0].Nombre, "x");
}

// Assigning replaces the handler; a lambda is a handler too; removing it restores the default.
TEST(ComponenteEventos, OneHandlerAtATime)
{
    TEvalion Componente;
    Formulario Form;
    int Lambda = 0;
    Componente.Asignar(&TEvalion::OnPedirVariable, &Form, [&Lambda](QObject *, char *, BLOQUEDEDATOS *R) {
        ++Lambda;
        R->Tipo = TIPO_NUMERO;
        R->Numero = 7;
    });
    ComprobarNumero(Componente.Analizar("x"), 7);
    Componente.Asignar(&TEvalion::OnPedirVariable, &Form, &Formulario::PedirVariable);
    ComprobarNumero(Componente.Analizar("x"), 5);
    EXPECT_EQ(Lambda, 1);
    EXPECT_EQ(Form.Peticiones.size(), 1u);
    Componente.Quitar(&TEvalion::OnPedirVariable);
    EXPECT_EQ(Componente.Analizar("x").Error, E_VARIABLE);
    EXPECT_EQ(Form.Peticiones.size(), 1u);
}

// A handler whose object is gone is no longer called (under ASan: no use after free).
TEST(ComponenteEventos, HandlerGoesWithItsReceiver)
{
    TEvalion Componente;
    {
        Formulario Form;
        Form.Manejar(Componente);
        ComprobarNumero(Componente.Analizar("f(x)"), 5);
    }
    EXPECT_EQ(Componente.Analizar("x").Error, E_VARIABLE);
    EXPECT_EQ(Componente.Analizar("f(1)").Error, E_FUNCION);
}

TEST(Componente, TheOwnerDeletesIt)
{
    auto *Propietario = new QObject;
    QPointer<TEvalion> Componente = new TEvalion(Propietario);
    EXPECT_EQ(Componente->parent(), Propietario);
    delete Propietario;
    EXPECT_TRUE(Componente.isNull());
}

// A designer sees the separators as char properties, stored, with the declared default 0,
// and writes them through the setters.
TEST(ComponenteMetaobjeto, PublishedProperties)
{
    const QMetaObject &Clase = TEvalion::staticMetaObject;
    for (const char *Nombre : {"SeparadorDecimal", "SeparadorMillar"}) {
        SCOPED_TRACE(Nombre);
        const QMetaProperty P = Clase.property(Clase.indexOfProperty(Nombre));
        ASSERT_TRUE(P.isValid());
        EXPECT_STREQ(P.typeName(), "char");
        EXPECT_TRUE(P.isReadable() && P.isWritable() && P.isStored());
        const int Defecto = Clase.indexOfClassInfo(QByteArray("Defecto.") + Nombre);
        ASSERT_GE(Defecto, 0);
        EXPECT_STREQ(Clase.classInfo(Defecto).value(), "0");

        TEvalion Componente;
        EXPECT_TRUE(Componente.setProperty(Nombre, QVariant::fromValue<char>('\xE8')));
        EXPECT_EQ(Componente.property(Nombre).value<char>(), '\xE8');
        EXPECT_TRUE(Componente.setProperty(Nombre, QVariant::fromValue<char>('\0')));
        EXPECT_EQ(Componente.property(Nombre).value<char>(), '\xE8');
    }
}

struct CasoEvento {
    const char *Nombre, *Tipo;
    QList<QByteArray> Parametros, Tipos;
};

TEST(ComponenteMetaobjeto, EventsWithTheirParameters)
{
    const CasoEvento Casos[] = {
        {"OnPedirVariable", "TPedirVariableEvent", {"Sender", "Variable", "R"},
         {"QObject*", "char*", "BLOQUEDEDATOS*"}},
        {"OnPedirFuncion", "TPedirFuncionEvent", {"Sender", "Funcion", "Parametros", "N", "R"},
         {"QObject*", "char*", "BLOQUEDEDATOS*", "int32_t", "BLOQUEDEDATOS*"}},
    };
    const QMetaObject &Clase = TEvalion::staticMetaObject;
    for (const CasoEvento &Caso : Casos) {
        SCOPED_TRACE(Caso.Nombre);
        const QMetaMethod Evento =
            Clase.method(Clase.indexOfSignal(QMetaObject::normalizedSignature(
                (QByteArray(Caso.Nombre) + '(' + Caso.Tipos.join(',') + ')').constData())));
        ASSERT_TRUE(Evento.isValid());
        EXPECT_EQ(Evento.parameterNames(), Caso.Parametros);
        const int Tipo = Clase.indexOfClassInfo(QByteArray("Evento.") + Caso.Nombre);
        ASSERT_GE(Tipo, 0);
        EXPECT_STREQ(Clase.classInfo(Tipo).value(), Caso.Tipo);
    }
}

} // namespace
