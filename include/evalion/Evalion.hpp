// Evalion for C++17 hosts: an analyser that owns its parser state and answers the engine's
// requests from names the host binds, in UTF-8. Header-only, over libevalionobj (the object
// form of the callbacks carries the analyser), libevalion-formulaobj (prepared expressions)
// and libevalion-estandar (the standard library and the message table); the CMake target
// Evalion::evalionxx and evalionxx.pc bring them.
//
//   Evalion::TAnalizador Analizador;                        // "," decimal, "." thousands
//   Analizador.Variable("IVA", 0.21).Estandar();            // a constant, and Raiz, Pi, ...
//   Analizador.Funcion("Doble", 1, [](const Evalion::TArgumentos &A) { return 2 * A[0].Numero(); });
//   const Evalion::TResultado R = Analizador.Analizar("Doble(Raiz(IVA + 1))");
//   if (R.EsError()) std::cout << "Error: " << R.Mensaje() << '\n';
//
// Texts are UTF-8 both ways. The engine reads one byte per character (Windows-1252): a
// character outside that code page reaches it as "?", which begins no token, so positions
// count characters, not bytes.
//
// A handler that throws ends the analysis at once: the engine gets E_EXCEPCION for its
// request, returns, and Analizar then rethrows the exception. The analyser is left as it was
// before the call (names, handlers, separators) and may analyse again.
#ifndef EVALION_HPP
#define EVALION_HPP

#ifndef EVALION_OBJETO // the object form of the callbacks: the analyser travels with them
#define EVALION_OBJETO
#endif

#include "Bloques.hpp"
#include "Codificacion.hpp"
#include "Estandar.h"
#include "Formula.h"
#include "FormulaEstandar.h"
#include "Parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace Evalion {

// The code the engine gets for a request whose handler threw; Analizar never returns it,
// since it rethrows the exception instead.
constexpr int32_t E_EXCEPCION = -1;

// A value or an error: what Analizar returns and what a handler answers. A number or a text
// (UTF-8) converts implicitly, so a handler may write `return 2 * x;` or `return "sí";`.
class TResultado {
public:
    enum class TTipo { Numero, Texto, Error };

    template <typename T, std::enable_if_t<std::is_arithmetic_v<T> && !std::is_same_v<T, char>, int> = 0>
    TResultado(T Valor) : FNumero(static_cast<double>(Valor)) {}
    // A char would become its code as a number ('a' is 97), never what was meant, whether
    // bound or returned by a handler: a text of one character is written "a", a code
    // (int)'a'. Deleted, so that neither compiles.
    TResultado(char) = delete;
    TResultado(std::string Utf8) : FTipo(TTipo::Texto), FTexto(std::move(Utf8)) {}
    TResultado(std::string_view Utf8) : TResultado(std::string(Utf8)) {}
    TResultado(const char *Utf8) : TResultado(std::string(Utf8)) {}

    // An error with its code (E_VARIABLE, E_INCOMPATIBLES or the host's own) and, in what
    // Analizar returns, the 1-based position where the analysis stopped.
    // Code 0 means success and is no error: refused with std::invalid_argument.
    static TResultado Error(int32_t Codigo, int32_t Posicion = 0)
    {
        if (Codigo == 0)
            throw std::invalid_argument("Evalion::TResultado::Error: code 0 means success, not an error");
        TResultado R(0);
        R.FTipo = TTipo::Error;
        R.FCodigo = Codigo;
        R.FPosicion = Posicion;
        return R;
    }

    // A block as the engine or a C host fills it: its error, else a text when Tipo is
    // exactly TIPO_CADENA, else its number.
    static TResultado DeBloque(const BLOQUEDEDATOS &B)
    {
        if (B.Error != 0)
            return Error(B.Error, B.Posicion);
        if (B.Tipo == TIPO_CADENA)
            return TResultado(Codificacion::Latin1AUtf8(std::string_view(B.Cadena, Largo(B))));
        return TResultado(B.Numero);
    }

    TTipo Tipo() const { return FTipo; }
    bool EsNumero() const { return FTipo == TTipo::Numero; }
    bool EsTexto() const { return FTipo == TTipo::Texto; }
    bool EsError() const { return FTipo == TTipo::Error; }
    double Numero() const { return FNumero; }              // 0 unless a number
    const std::string &Texto() const { return FTexto; }    // UTF-8; empty unless a text
    int32_t Codigo() const { return FCodigo; }             // 0 unless an error
    int32_t Posicion() const { return FPosicion; }

    // The Spanish message of the code followed by the position, in UTF-8
    // ("Se esperaba una variable en la posición 4"); empty for a code without one.
    std::string Mensaje() const
    {
        const char *Texto = EsError() ? A_Mensaje(FCodigo) : nullptr;
        return Texto ? Codificacion::Latin1AUtf8(Texto) + std::to_string(FPosicion) : std::string();
    }

    // Fills the engine's block: a text becomes Windows-1252, cut to the 1023 characters a
    // text holds.
    void Escribir(BLOQUEDEDATOS &R) const
    {
        if (FTipo == TTipo::Error) {
            R.Error = FCodigo;
        } else if (FTipo == TTipo::Texto) {
            Codificacion::Utf8ALatin1(FTexto, R.Cadena, sizeof R.Cadena);
            R.Tipo = TIPO_CADENA;
        } else {
            R.Numero = FNumero;
            R.Tipo = TIPO_NUMERO;
        }
    }

    static std::size_t Largo(const BLOQUEDEDATOS &B) { return Bloques::LargoTexto(B); }

private:
    TTipo FTipo = TTipo::Numero;
    double FNumero = 0;
    std::string FTexto;
    int32_t FCodigo = 0;
    int32_t FPosicion = 0;
};

// One argument of a call, as the engine evaluated it; valid only during the handler.
class TArgumento {
public:
    explicit TArgumento(const BLOQUEDEDATOS &B) : FBloque(B) {}
    bool EsNumero() const { return FBloque.Tipo & TIPO_NUMERO; } // kinds are bits, as the engine tests them
    bool EsTexto() const { return FBloque.Tipo & TIPO_CADENA; }
    double Numero() const { return FBloque.Numero; }
    std::string Texto() const // UTF-8
    {
        return Codificacion::Latin1AUtf8(std::string_view(FBloque.Cadena, TResultado::Largo(FBloque)));
    }
    const BLOQUEDEDATOS &Bloque() const { return FBloque; }

private:
    const BLOQUEDEDATOS &FBloque;
};

// The arguments of a call, at least one, in the order of the text.
class TArgumentos {
public:
    TArgumentos(const BLOQUEDEDATOS *Bloques, int32_t N) : FBloques(Bloques), FN(N) {}
    int32_t Cuantos() const { return FN; }
    TArgumento operator[](int32_t i) const { return TArgumento(FBloques[i]); }
    const BLOQUEDEDATOS *Bloques() const { return FBloques; }

private:
    const BLOQUEDEDATOS *FBloques;
    int32_t FN;
};

// How an analyser matches the names the engine asks for with the names bound to it.
enum class TComparacion {
    Exacta,           // byte for byte
    IgnorarMayusculas // the letters of names, A-Z and Á É Í Ó Ú Ñ, equal their lower case
};

using TCalculoVariable = std::function<TResultado()>;
using TCalculoFuncion = std::function<TResultado(const TArgumentos &)>;
// Catch-all handlers get the name in UTF-8 and answer nothing for a name they do not know.
using TResolverVariable = std::function<std::optional<TResultado>(std::string_view Nombre)>;
using TResolverFuncion = std::function<std::optional<TResultado>(std::string_view Nombre, const TArgumentos &)>;

// An analyser: one parser state and the names it answers. A request is answered by the
// bound name first, then by the catch-all handler, then by the standard library when it is
// on; any other name is E_VARIABLE or E_FUNCION with the name in Cadena.
//
// Neither copyable nor movable: a copy would have to split what it shares with the forms it
// prepared (names, handlers, the parser state). A host that needs to move one holds it in a
// std::unique_ptr. One analysis at a time: a handler that analyses again on the same
// analyser gets std::logic_error.
class TAnalizador {
public:
    explicit TAnalizador(TComparacion Nombres = TComparacion::Exacta) : FNucleo(std::make_shared<TNucleo>(Nombres)) {}
    TAnalizador(const TAnalizador &) = delete;
    TAnalizador &operator=(const TAnalizador &) = delete;
    TAnalizador(TAnalizador &&) = delete;
    TAnalizador &operator=(TAnalizador &&) = delete;

    // The thousands and decimal separators; a NUL leaves one unchanged.
    TAnalizador &Separadores(char Millar, char Decimal)
    {
        A_AsignarSeparadores(&FNucleo->FEstado, Millar, Decimal);
        return *this;
    }

    // A constant: a number, a text or an error. Binding a name again replaces it.
    TAnalizador &Variable(std::string_view Nombre, const TResultado &Valor)
    {
        BLOQUEDEDATOS Bloque{};
        Valor.Escribir(Bloque);
        FNucleo->FVariables.insert_or_assign(Codificacion::Utf8ALatin1(Nombre), TVariable{Bloque, nullptr});
        ++FNucleo->FCambios;
        return *this;
    }

    // A variable computed at every request.
    TAnalizador &Variable(std::string_view Nombre, TCalculoVariable Calculo)
    {
        FNucleo->FVariables.insert_or_assign(Codificacion::Utf8ALatin1(Nombre), TVariable{{}, Compartir(std::move(Calculo))});
        ++FNucleo->FCambios;
        return *this;
    }

    // A function of exactly Argumentos arguments; another count is E_FUNCION.
    TAnalizador &Funcion(std::string_view Nombre, int32_t Argumentos, TCalculoFuncion Calculo)
    {
        FNucleo->FFunciones.insert_or_assign(Codificacion::Utf8ALatin1(Nombre),
                                             TFuncion{Argumentos, std::make_shared<const TCalculoFuncion>(std::move(Calculo))});
        ++FNucleo->FCambios;
        return *this;
    }

    // A function of any number of arguments.
    TAnalizador &Funcion(std::string_view Nombre, TCalculoFuncion Calculo) { return Funcion(Nombre, -1, std::move(Calculo)); }

    TAnalizador &AlPedirVariable(TResolverVariable Resolver)
    {
        FNucleo->FResolverVariable = Compartir(std::move(Resolver));
        ++FNucleo->FCambios;
        return *this;
    }

    TAnalizador &AlPedirFuncion(TResolverFuncion Resolver)
    {
        FNucleo->FResolverFuncion = Compartir(std::move(Resolver));
        ++FNucleo->FCambios;
        return *this;
    }

    // Turns the standard library (Raiz, Seno, Pi, Mayusculas...) on or off. A prepared form
    // computes its functions of numbers and its constants itself (A_VincularEstandar), but
    // for the names this analyser answers otherwise: its own variables and functions, any
    // of one kind when it has a catch-all handler of that kind, and those the form binds.
    TAnalizador &Estandar(bool Activa = true)
    {
        FNucleo->FEstandar = Activa;
        ++FNucleo->FCambios;
        return *this;
    }

    // Analyses one UTF-8 expression of at most 1024 characters. Rethrows what a handler
    // threw. A longer text is std::length_error and a text with a NUL std::invalid_argument
    // naming its position: the engine would read only a cut part of either.
    TResultado Analizar(std::string_view Utf8)
    {
        char Expresion[EVALION_LARGO_EXPRESION + 2];
        Convertir(Utf8, Expresion);
        return FNucleo->Ejecutar([&] { return A_Analizar(&FNucleo->FEstado, Expresion); });
    }

    // Reads an expression once for many evaluations with this analyser's names, handlers
    // and separators (those of the moment of each evaluation, but the separators, which are
    // read now). The same exceptions as Analizar for the text.
    class TFormula Preparar(std::string_view Utf8);

private:
    friend class TFormula;

    // The text for the engine, or the exception that says why the engine would misread it.
    static void Convertir(std::string_view Utf8, char (&Expresion)[EVALION_LARGO_EXPRESION + 2])
    {
        // One character more than the engine reads, to see a longer text.
        const std::size_t Largo = Codificacion::Utf8ALatin1(Utf8, Expresion, sizeof Expresion);
        if (Largo > EVALION_LARGO_EXPRESION)
            throw std::length_error("Evalion: an expression holds at most 1024 characters");
        if (const void *Nulo = std::memchr(Expresion, '\0', Largo))
            throw std::invalid_argument("Evalion: the expression has a NUL at character " +
                                        std::to_string(static_cast<const char *>(Nulo) - Expresion + 1));
    }

    // Orders names byte by byte, folded or not; transparent, so that a request looks its
    // name up without copying it.
    struct TMenor {
        using is_transparent = void;
        TComparacion Modo;

        unsigned char Plegar(unsigned char c) const
        {
            if (Modo == TComparacion::Exacta)
                return c;
            return Codificacion::PlegarNombre(c);
        }
        bool operator()(std::string_view a, std::string_view b) const
        {
            for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
                const unsigned char x = Plegar(static_cast<unsigned char>(a[i]));
                const unsigned char y = Plegar(static_cast<unsigned char>(b[i]));
                if (x != y)
                    return x < y;
            }
            return a.size() < b.size();
        }
    };

    // Handlers are shared: a request holds its own reference while one runs (a count, no
    // copy of the closure), so that it may rebind any name, its own included, and return.
    template <class F> static std::shared_ptr<const F> Compartir(F Manejador)
    {
        return Manejador ? std::make_shared<const F>(std::move(Manejador)) : nullptr;
    }
    struct TVariable {
        BLOQUEDEDATOS Valor; // a constant, ready for the engine
        std::shared_ptr<const TCalculoVariable> Calculo;
    };
    struct TFuncion {
        int32_t Argumentos; // -1: any number
        std::shared_ptr<const TCalculoFuncion> Calculo;
    };

    // Everything an analysis reads: the parser state, the names and handlers. The analyser and
    // every form it prepared share it, so that a form may outlive its analyser; the engine
    // holds its address, which never changes.
    struct TNucleo {
        explicit TNucleo(TComparacion Nombres) : FVariables(TMenor{Nombres}), FFunciones(TMenor{Nombres})
        {
            A_Inicializar(&FEstado);
            A_AsignarAlPedir(&FEstado, &TNucleo::PedirVariable, this, &TNucleo::PedirFuncion, this);
        }
        TNucleo(const TNucleo &) = delete;
        TNucleo &operator=(const TNucleo &) = delete;

        // One engine call that may make requests: one at a time, and what a handler threw is
        // rethrown once the engine has returned.
        template <class F> TResultado Ejecutar(F Llamada)
        {
            if (FAnalizando)
                throw std::logic_error("Evalion: an analyser analyses one expression at a time");
            FAnalizando = true;
            const BLOQUEDEDATOS R = Llamada();
            FAnalizando = false;
            if (FExcepcion)
                std::rethrow_exception(std::exchange(FExcepcion, nullptr));
            return TResultado::DeBloque(R);
        }

        // The engine's requests. Nothing may leave them but what they write into R: an exception
        // is kept for Analizar, and every request after it fails at once.
#if defined(_WIN32) && defined(__i386__) // object methods in the register convention there
#define EVALION_PETICION_ EVALION_METODO
#else
#define EVALION_PETICION_
#endif
        static void EVALION_PETICION_ PedirVariable(void *Objeto, char *Nombre, BLOQUEDEDATOS *R)
        {
            TNucleo *const Nucleo = static_cast<TNucleo *>(Objeto);
            Nucleo->Atender(*R, [&] { Nucleo->ResponderVariable(Nombre, *R); });
        }
#if defined(_WIN32) && defined(__i386__) // R comes before N there, as the convention pushes them
        static void EVALION_PETICION_ PedirFuncion(void *Objeto, char *Nombre, BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS *R,
                                                    int32_t N)
#else
        static void PedirFuncion(void *Objeto, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
#endif
        {
            TNucleo *const Nucleo = static_cast<TNucleo *>(Objeto);
            Nucleo->Atender(*R, [&] { Nucleo->ResponderFuncion(Nombre, TArgumentos(Parametros, N), *R); });
        }
#undef EVALION_PETICION_

        template <typename TRespuesta>
        void Atender(BLOQUEDEDATOS &R, TRespuesta Responder) noexcept
        {
            if (FExcepcion) {
                R.Error = E_EXCEPCION;
                return;
            }
            try {
                Responder();
            } catch (...) {
                FExcepcion = std::current_exception();
                R.Error = E_EXCEPCION;
            }
        }

        void ResponderVariable(const char *Nombre, BLOQUEDEDATOS &R)
        {
            const auto Variable = FVariables.find(std::string_view(Nombre));
            if (Variable != FVariables.end()) {
                if (Variable->second.Calculo) {
                    const auto Calculo = Variable->second.Calculo;
                    (*Calculo)().Escribir(R);
                } else {
                    CopiarValor(Variable->second.Valor, R);
                }
                return;
            }
            if (FResolverVariable) {
                const auto Resolver = FResolverVariable;
                if (const std::optional<TResultado> Valor = (*Resolver)(Codificacion::Latin1AUtf8(Nombre)))
                    return Valor->Escribir(R);
            }
            if (!(FEstandar && A_EstandarVariable(Nombre, &R)))
                Desconocido(Nombre, E_VARIABLE, R);
        }

        void ResponderFuncion(const char *Nombre, const TArgumentos &Argumentos, BLOQUEDEDATOS &R)
        {
            const auto Funcion = FFunciones.find(std::string_view(Nombre));
            if (Funcion != FFunciones.end()) {
                if (Funcion->second.Argumentos >= 0 && Funcion->second.Argumentos != Argumentos.Cuantos()) {
                    R.Error = E_FUNCION;
                } else {
                    const auto Calculo = Funcion->second.Calculo;
                    (*Calculo)(Argumentos).Escribir(R);
                }
                return;
            }
            if (FResolverFuncion) {
                const auto Resolver = FResolverFuncion;
                if (const std::optional<TResultado> Valor = (*Resolver)(Codificacion::Latin1AUtf8(Nombre), Argumentos))
                    return Valor->Escribir(R);
            }
            if (!(FEstandar && A_EstandarFuncion(Nombre, Argumentos.Bloques(), Argumentos.Cuantos(), &R)))
                Desconocido(Nombre, E_FUNCION, R);
        }

        // A constant's value into the engine's block: only the fields it has, which for a number
        // is a small part of the block.
        static void CopiarValor(const BLOQUEDEDATOS &Valor, BLOQUEDEDATOS &R)
        {
            if (Valor.Error != 0) {
                R.Error = Valor.Error;
                return;
            }
            if (Valor.Tipo == TIPO_CADENA)
                std::memcpy(R.Cadena, Valor.Cadena, TResultado::Largo(Valor) + 1);
            else
                R.Numero = Valor.Numero;
            R.Tipo = Valor.Tipo;
        }

        // An unknown name, reported as the engine reports one it cannot ask for.
        static void Desconocido(const char *Nombre, int32_t Codigo, BLOQUEDEDATOS &R)
        {
            Bloques::Desconocido(Nombre, Codigo, R);
        }

        // What the engine holds while it runs, and what the answers read: never moves.
        ESTADODEANALISIS FEstado;
        std::map<std::string, TVariable, TMenor> FVariables;
        std::map<std::string, TFuncion, TMenor> FFunciones;
        std::shared_ptr<const TResolverVariable> FResolverVariable;
        std::shared_ptr<const TResolverFuncion> FResolverFuncion;
        bool FEstandar = false;
        uint64_t FCambios = 0; // counts the changes of names, handlers and FEstandar, for the forms
        bool FAnalizando = false;
        std::exception_ptr FExcepcion;
    };

    std::shared_ptr<TNucleo> FNucleo;
};

// A name a prepared expression uses: a variable (Argumentos -1) or a function and its count.
struct TNombre {
    std::string Nombre; // UTF-8
    int32_t Argumentos;
    bool operator==(const TNombre &Otro) const { return Nombre == Otro.Nombre && Argumentos == Otro.Argumentos; }
};

// An expression prepared by TAnalizador::Preparar: each Evaluar gives what Analizar would on
// the same text, asking the analyser's handlers the same things in the same order, at a
// fraction of the cost. It shares its analyser's names and handlers, and keeps them for as
// long as it lives, so that it may outlive the analyser (a factory may return it); one
// evaluation at a time, as Analizar, on the form and its analyser together. Movable, not
// copyable: it owns its prepared form. A form moved from is empty: any use of it but
// assigning to it is std::logic_error.
class TFormula {
public:
    TFormula(TFormula &&Otra) noexcept
        : FNucleo(std::move(Otra.FNucleo)), FFormula(std::exchange(Otra.FFormula, nullptr)),
          FRechazo(std::move(Otra.FRechazo)), FVinculos(std::move(Otra.FVinculos)),
          FFuncionesPropias(std::move(Otra.FFuncionesPropias)), FEstandar(std::move(Otra.FEstandar)),
          FCambiosVistos(Otra.FCambiosVistos)
    {
    }
    TFormula &operator=(TFormula &&Otra) noexcept
    {
        if (this != &Otra) {
            A_Liberar(FFormula);
            FNucleo = std::move(Otra.FNucleo);
            FFormula = std::exchange(Otra.FFormula, nullptr);
            FRechazo = std::move(Otra.FRechazo);
            FVinculos = std::move(Otra.FVinculos);
            FFuncionesPropias = std::move(Otra.FFuncionesPropias);
            FEstandar = std::move(Otra.FEstandar);
            FCambiosVistos = Otra.FCambiosVistos;
        }
        return *this;
    }
    TFormula(const TFormula &) = delete;
    TFormula &operator=(const TFormula &) = delete;
    ~TFormula() { A_Liberar(FFormula); }

    // False for a text whose every evaluation is one same error without a request ("1+",
    // "(2", "1/0"): Evaluar then returns that error.
    bool Preparada() const
    {
        Nucleo();
        return FFormula != nullptr;
    }

    TResultado Evaluar()
    {
        TAnalizador::TNucleo &Compartido = Nucleo();
        if (FFormula == nullptr)
            return FRechazo;
        AlDia(Compartido);
        return Compartido.Ejecutar([&] { return A_Evaluar(FFormula, &Compartido.FEstado); });
    }

    // The number alone, for loops whose names are all bound (A_Valor, inline): NaN for an
    // error, a text, a NaN value or an evaluation that would ask for a name (nothing is asked,
    // no handler runs); Evaluar then says which.
    double Valor() const
    {
        AlDia(Nucleo());
        return A_ValorEnLinea(FFormula);
    }

    // The names an evaluation may ask for, in the order of the text, each once.
    std::vector<TNombre> Nombres() const
    {
        Nucleo();
        std::vector<TNombre> Lista;
        int32_t Argumentos;
        for (int32_t k = 0; const char *Nombre = A_Nombre(FFormula, k, &Argumentos); ++k)
            Lista.push_back({Codificacion::Latin1AUtf8(Nombre), Argumentos});
        return Lista;
    }

    // Reads the variable Nombre from *Direccion at every evaluation instead of asking for it,
    // as muparser's DefineVar; nullptr asks again. Names match as the analyser matches them:
    // with IgnorarMayusculas, "x" binds both x and X of the text. Returns how often the text
    // uses it.
    int32_t Vincular(std::string_view Nombre, const double *Direccion)
    {
        return VincularUsados(Nombre, Direccion, nullptr);
    }

    // Calls the C function Puntero of Argumentos doubles (0 to 4) for the calls of Nombre with
    // that many arguments, instead of asking for them (A_VincularFuncion); nullptr asks again.
    // Names match as Vincular's. Returns how often the text makes such a call.
    int32_t VincularFuncion(std::string_view Nombre, int32_t Argumentos, FORMULA_NATIVA Puntero)
    {
        const auto Iguales = [Menor = Nucleo().FFunciones.key_comp()](std::string_view a, std::string_view b) {
            return !Menor(a, b) && !Menor(b, a);
        };
        const std::string Buscado = Codificacion::Utf8ALatin1(Nombre);
        int32_t Usos = 0;
        int32_t Cuantos;
        for (int32_t k = 0; const char *Usado = A_Nombre(FFormula, k, &Cuantos); ++k) {
            if (Cuantos != Argumentos || !Iguales(Usado, Buscado))
                continue;
            Usos += Cambiado(A_VincularFuncion(FFormula, Usado, Argumentos, Puntero));
            Propio(Usado, Argumentos, Puntero != nullptr);
        }
        return Usos;
    }
    // The same with the count read from the function's type: VincularFuncion("f", &Funcion)
    // for a double Funcion(double, double) binds the calls of f with two arguments.
    template <class... Dobles> int32_t VincularFuncion(std::string_view Nombre, double (*Funcion)(Dobles...))
    {
        static_assert((std::is_same_v<Dobles, double> && ...), "a C function of doubles");
        return VincularFuncion(Nombre, static_cast<int32_t>(sizeof...(Dobles)), reinterpret_cast<FORMULA_NATIVA>(Funcion));
    }

    // A column of rows: the variable Nombre reads row i from Valores[i]. From any contiguous
    // sequence of doubles (std::vector, std::array, a C array), or a pointer and a count.
    struct TColumna {
        std::string_view Nombre;
        const double *Valores;
        std::size_t Filas;

        TColumna(std::string_view N, const double *V, std::size_t F) : Nombre(N), Valores(V), Filas(F) {}
        template <class C, class = decltype(std::data(std::declval<const C &>()))>
        TColumna(std::string_view N, const C &Contiguos) : TColumna(N, std::data(Contiguos), std::size(Contiguos))
        {
        }
    };

    // Evaluates the form once per row: each column's variable (matched as Vincular matches)
    // reads that row's value, one bound with Vincular its number in every row, other names
    // are asked for at every row, rows in order, as Evaluar would one row at a time. Row
    // i's value goes to Valores[i] (NaN for a failed row or a text), its error code and
    // position (0 when it did not fail) to Errores[i] and Posiciones[i] when they are given.
    // Returns how many rows failed. Throws std::invalid_argument when a column is shorter
    // than Filas or names no variable of the text; a handler's exception is rethrown, as
    // from Evaluar. The form's own bindings (Vincular) are back in place on return.
    std::size_t EvaluarFilas(const std::vector<TColumna> &Columnas, double *Valores, std::size_t Filas,
                             int32_t *Errores = nullptr, int32_t *Posiciones = nullptr)
    {
        TAnalizador::TNucleo &Compartido = Nucleo();
        if (Filas > static_cast<std::size_t>(INT32_MAX))
            throw std::invalid_argument("Evalion: at most 2147483647 rows in one call");
        if (FFormula == nullptr) {
            for (std::size_t i = 0; i < Filas; ++i) {
                Valores[i] = std::numeric_limits<double>::quiet_NaN();
                if (Errores != nullptr)
                    Errores[i] = FRechazo.Codigo();
                if (Posiciones != nullptr)
                    Posiciones[i] = FRechazo.Posicion();
            }
            return Filas;
        }
        std::vector<std::string> Vinculadas; // the text's names the columns bound
        const auto Reponer = [&] {
            for (const std::string &Usado : Vinculadas) {
                const auto Propia = FVinculos.find(Usado);
                A_Vincular(FFormula, Usado.c_str(), Propia == FVinculos.end() ? nullptr : Propia->second);
                if (FEstandar.erase({Usado, -1}) > 0)
                    FCambiosVistos = ~Compartido.FCambios; // a standard constant to bind again
            }
        };
        int32_t Fallidas = 0;
        AlDia(Compartido);
        try {
            // The form's own bindings (Vincular) stay what they are: one number for every row.
            for (const TColumna &C : Columnas) {
                if (C.Filas < Filas)
                    throw std::invalid_argument("Evalion: a column holds fewer values than the rows");
                if (VincularUsados(C.Nombre, C.Valores, &Vinculadas) == 0)
                    throw std::invalid_argument("Evalion: the text uses no variable " + std::string(C.Nombre));
            }
            Compartido.Ejecutar([&] {
                Fallidas = A_EvaluarFilas(FFormula, &Compartido.FEstado, static_cast<int32_t>(Filas), Valores,
                                          Errores, Posiciones);
                return BLOQUEDEDATOS{};
            });
        } catch (...) {
            Reponer();
            throw;
        }
        Reponer();
        return static_cast<std::size_t>(Fallidas);
    }

    // The same into vectors of the columns' length (the shortest when they differ).
    struct TFilas {
        std::vector<double> Valores;
        std::vector<int32_t> Errores, Posiciones;
        std::size_t Fallidas = 0;
    };
    TFilas EvaluarFilas(const std::vector<TColumna> &Columnas)
    {
        std::size_t Filas = Columnas.empty() ? 1 : SIZE_MAX;
        for (const TColumna &C : Columnas)
            Filas = std::min(Filas, C.Filas);
        TFilas R;
        R.Valores.resize(Filas);
        R.Errores.resize(Filas);
        R.Posiciones.resize(Filas);
        R.Fallidas = EvaluarFilas(Columnas, R.Valores.data(), Filas, R.Errores.data(), R.Posiciones.data());
        return R;
    }

    // Computes under the host's floating-point settings as they are, without the switch to
    // the engine's (FORMULA_AJUSTES_DEL_ANFITRION in Formula.h): the same answers for a host
    // with the default settings, for less time.
    TFormula &AjustesDelAnfitrion(bool Activa = true)
    {
        Nucleo();
        Cambiado(A_Opciones(FFormula, Activa ? FORMULA_AJUSTES_DEL_ANFITRION : 0));
        return *this;
    }

private:
    // A change the form refused: asked from a handler or a bound function while the form
    // runs, which finishes on the form it began with.
    static int32_t Cambiado(int32_t Respuesta)
    {
        if (Respuesta == FORMULA_EN_CURSO)
            throw std::logic_error("Evalion: a TFormula is not changed while it is being evaluated");
        return Respuesta;
    }

    friend class TAnalizador;
    TFormula(std::shared_ptr<TAnalizador::TNucleo> Nucleo, FORMULAPREPARADA *Formula, const BLOQUEDEDATOS &Rechazo)
        : FNucleo(std::move(Nucleo)), FFormula(Formula), FRechazo(TResultado::DeBloque(Rechazo))
    {
    }

    // Binds every variable of the text that Nombre matches as the analyser matches names.
    // The form's own bindings are remembered for rows to put back; a column (Columnas not
    // null) is bound as one and not remembered, and the names it bound are added to Columnas.
    int32_t VincularUsados(std::string_view Nombre, const double *Direccion, std::vector<std::string> *Columnas)
    {
        const auto Iguales = [Menor = Nucleo().FVariables.key_comp()](std::string_view a, std::string_view b) {
            return !Menor(a, b) && !Menor(b, a);
        };
        const std::string Buscado = Codificacion::Utf8ALatin1(Nombre);
        int32_t Usos = 0;
        int32_t Argumentos;
        for (int32_t k = 0; const char *Usado = A_Nombre(FFormula, k, &Argumentos); ++k) {
            if (Argumentos >= 0 || !Iguales(Usado, Buscado))
                continue;
            Usos += Cambiado(Columnas != nullptr ? A_VincularColumna(FFormula, Usado, Direccion)
                                                 : A_Vincular(FFormula, Usado, Direccion));
            if (Columnas != nullptr) {
                Columnas->push_back(Usado);
            } else if (Direccion != nullptr) {
                FVinculos[Usado] = Direccion;
                Propio(Usado, -1, true);
            } else {
                FVinculos.erase(Usado);
                Propio(Usado, -1, false);
            }
        }
        return Usos;
    }

    // A name the host bound itself (Mio) or unbound: the standard library no longer binds it
    // or binds it again at the next evaluation.
    void Propio(const std::string &Nombre, int32_t Argumentos, bool Mio)
    {
        if (Argumentos >= 0) {
            if (Mio)
                FFuncionesPropias.insert({Nombre, Argumentos});
            else
                FFuncionesPropias.erase({Nombre, Argumentos});
        }
        if (FEstandar.erase({Nombre, Argumentos}) > 0 || !Mio)
            FCambiosVistos = ~FNucleo->FCambios;
    }

    // The standard library's names bound as the analyser stands: when its names, handlers or
    // standard switch changed since the last evaluation, the names bound before are unbound,
    // and with the library on, those it computes as numbers are bound but for the ones the
    // analyser or the form answers otherwise, which win as they would in a request.
    void AlDia(TAnalizador::TNucleo &Compartido) const
    {
        if (FFormula == nullptr || FCambiosVistos == Compartido.FCambios)
            return;
        for (const auto &[Nombre, Argumentos] : FEstandar) {
            if (Argumentos < 0)
                A_Vincular(FFormula, Nombre.c_str(), nullptr);
            else
                A_VincularFuncion(FFormula, Nombre.c_str(), Argumentos, nullptr);
        }
        FEstandar.clear();
        if (Compartido.FEstandar)
            Cambiado(A_VincularEstandar(FFormula, &TFormula::DelAnfitrion, const_cast<TFormula *>(this)));
        FCambiosVistos = Compartido.FCambios;
    }

    // Whether the analyser or the form answers Nombre itself; the names it leaves to the
    // standard library are remembered, for AlDia to unbind.
    static int32_t DelAnfitrion(void *Datos, const char *Nombre, int32_t Argumentos)
    {
        const TFormula &F = *static_cast<const TFormula *>(Datos);
        const TAnalizador::TNucleo &N = *F.FNucleo;
        const bool Suyo = Argumentos < 0
                              ? N.FResolverVariable || N.FVariables.count(std::string_view(Nombre)) > 0 ||
                                    F.FVinculos.count(Nombre) > 0
                              : N.FResolverFuncion || N.FFunciones.count(std::string_view(Nombre)) > 0 ||
                                    F.FFuncionesPropias.count({Nombre, Argumentos}) > 0;
        if (!Suyo)
            F.FEstandar.insert({Nombre, Argumentos});
        return Suyo;
    }

    // The shared names and handlers; a form moved from has none.
    TAnalizador::TNucleo &Nucleo() const
    {
        if (!FNucleo)
            throw std::logic_error("Evalion: a TFormula moved from has no expression");
        return *FNucleo;
    }

    std::shared_ptr<TAnalizador::TNucleo> FNucleo;
    FORMULAPREPARADA *FFormula;
    TResultado FRechazo;
    std::map<std::string, const double *> FVinculos; // by the text's name: put back after rows
    std::set<std::pair<std::string, int32_t>> FFuncionesPropias; // bound with VincularFuncion
    // The names the standard library bound (-1: a variable), as of the analyser's FCambios.
    mutable std::set<std::pair<std::string, int32_t>> FEstandar;
    mutable uint64_t FCambiosVistos = ~uint64_t{0};
};

inline TFormula TAnalizador::Preparar(std::string_view Utf8)
{
    char Expresion[EVALION_LARGO_EXPRESION + 2];
    Convertir(Utf8, Expresion);
    BLOQUEDEDATOS Rechazo{};
    FORMULAPREPARADA *Formula = A_Preparar(&FNucleo->FEstado, Expresion, &Rechazo);
    return TFormula(FNucleo, Formula, Rechazo);
}

} // namespace Evalion

#endif
