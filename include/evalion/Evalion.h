// TEvalion: the expression engine as a non-visual Qt component. It carries its own parser
// state, publishes the two separators as properties and turns the engine's two requests
// into the events OnPedirVariable and OnPedirFuncion.
#ifndef EVALION_COMPONENTE_H
#define EVALION_COMPONENTE_H

// The component stores its callbacks as (function, object) pairs and the record's layout
// depends on that form, so every includer must see the same one.
#if defined(EVALION_PARSER_H) && !defined(EVALION_OBJETO)
#error "Parser.h was included without EVALION_OBJETO, but TEvalion needs the object form of the callbacks"
#endif
#ifndef EVALION_OBJETO
#define EVALION_OBJETO
#endif

#include <QByteArray>
#include <QObject>
#include <QString>
#include <utility>

#include "Parser.h"

#if defined(EVALCOMP_CONSTRUYENDO)
#define EVALCOMP_API Q_DECL_EXPORT
#else
#define EVALCOMP_API Q_DECL_IMPORT
#endif

// What a handler of each event receives, in order. Variable, Funcion, Parametros and R are
// the engine's and live only during the call; the handler fills R (a value, or an Error).
using TPedirVariableEvent = void(QObject *Sender, char *Variable, BLOQUEDEDATOS *R);
using TPedirFuncionEvent = void(QObject *Sender, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                BLOQUEDEDATOS *R);

class EVALCOMP_API TEvalion : public QObject {
    Q_OBJECT
    Q_PROPERTY(char SeparadorDecimal READ GetSeparadorDecimal WRITE SetSeparadorDecimal STORED true)
    Q_PROPERTY(char SeparadorMillar READ GetSeparadorMillar WRITE SetSeparadorMillar STORED true)
    // Q_PROPERTY has no default value; a designer reads it here, and stores a property only
    // when it differs. No separator is ever 0, so both are always stored.
    Q_CLASSINFO("Defecto.SeparadorDecimal", "0")
    Q_CLASSINFO("Defecto.SeparadorMillar", "0")
    Q_CLASSINFO("Evento.OnPedirVariable", "TPedirVariableEvent")
    Q_CLASSINFO("Evento.OnPedirFuncion", "TPedirFuncionEvent")

public:
    // Ready at once: "," decimal, "." thousands, both adapters installed, no event assigned.
    Q_INVOKABLE explicit TEvalion(QObject *Owner = nullptr);

    // Analyses one expression of Windows-1252 bytes and returns the engine's block unchanged;
    // a null text is analysed as the empty one. Events are called during the call.
    BLOQUEDEDATOS Analizar(const char *Expresion);
    Q_INVOKABLE BLOQUEDEDATOS Analizar(const QByteArray &Expresion);
    // A QString goes in as Windows-1252: "€" is 0x80; a character the code page lacks is "?".
    // One of more than 1024 characters, which the engine would read cut, is refused without
    // a request: E_OPERADOR at position 1025, the first character left over (no analysis of
    // 1024 characters gives that code there).
    BLOQUEDEDATOS Analizar(const QString &Expresion);

    // An engine text (a name, an argument's or a result's Cadena) as a QString, read as
    // Windows-1252, so that what Analizar took in comes back the same.
    static QString Texto(const char *Cadena);

    // Setting 0 leaves a separator unchanged; the two may be the same character.
    char GetSeparadorDecimal() const;
    void SetSeparadorDecimal(char Separador);
    char GetSeparadorMillar() const;
    void SetSeparadorMillar(char Separador);

    // Assigns the handler of an event (&TEvalion::OnPedirVariable or &TEvalion::OnPedirFuncion),
    // replacing the one it had: a method of Receptor, or a function object that lives as long
    // as Receptor. Destroying Receptor unassigns the event.
    template <typename Evento, typename Receptor, typename Manejador>
    void Asignar(Evento Senal, const Receptor *Objeto, Manejador &&M)
    {
        Quitar(Senal);
        connect(this, Senal, Objeto, std::forward<Manejador>(M), Qt::DirectConnection);
    }
    template <typename Evento> void Quitar(Evento Senal) { disconnect(this, Senal, nullptr, nullptr); }

    // The engine's callbacks; Objeto is the component. With its event unassigned a request is
    // answered as the engine answers one without a callback: E_VARIABLE or E_FUNCION, and the
    // name in Cadena.
    static void EVALION_CONV _AlPedirVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
    static void EVALION_CONV _AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                             BLOQUEDEDATOS *R);

signals:
    void OnPedirVariable(QObject *Sender, char *Variable, BLOQUEDEDATOS *R);
    void OnPedirFuncion(QObject *Sender, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R);

private:
    ESTADODEANALISIS FEstado;
};

// Registers TEvalion on the palette page "Evalion" of the designer that loads the package.
EVALCOMP_API void Register();

#endif
