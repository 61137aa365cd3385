// The walk of the grammar: every decision of the language's syntax, written once, for two
// back-ends chosen at compile time. The analysis (Analisis.cpp) computes as it walks, its
// values being blocks; the compiler (Compilador.cpp) emits the program of a prepared form as
// it walks, its values being slots and constants. The levels are templates over the
// back-end B, whose actions inline, so that each walk compiles to code of its own.
//
//   EvaluarExpresion -> Termino RestoExpresion
//   RestoExpresion   -> [ ("+" | "-" | "=" | "<>" | "<" | ">" | "<=" | ">=") Termino RestoExpresion ]
//   Termino          -> Potencia { ("*" | "/") Potencia }
//   Potencia         -> Operando RestoPotencia
//   RestoPotencia    -> [ "^" Operando RestoPotencia ]
//   Operando         -> { "-" | "+" } ( numero | cadena | "(" EvaluarExpresion ")"
//                                      | nombre [ "(" ListaParametros ")" ] )
//   ListaParametros  -> EvaluarExpresion { ";" EvaluarExpresion }
//
// Level 1 and "^" group from the right; "*" and "/" from the left. The right side of an
// operator is evaluated into B::Derecho of its left side, and only B::Esperar of the left
// waits on the frame meanwhile, so that no level holds a block of its own.
//
// What a back-end B provides (R is B::Registro, V is B::Valor): Lector(R), the record whose
// lexer reads the text; Fallido(R, V), the walk stops here (the analysis: V holds an error);
// Detenido(R), even the parenthesis rule stops (the compiler, whose failures carry that rule
// already); Esperar and Derecho, what waits of a left operand and where its right one goes;
// the actions Numero, Cadena, Signo, Nivel1, Termino, Potencia, Variable, Funcion; the
// argument list (Argumentos, Argumento, Agregar, Soltar); FallarSinValor and FallarCodigo;
// Abrir and Cerrar of parentheses; and ESPERA_TEXTOS, whether a left text waits apart.
#ifndef EVALION_RECORRIDO_H
#define EVALION_RECORRIDO_H

#include <cstdlib>
#include <cstring>

#include "Motor.h"
#include "Operaciones.h"

namespace Motor {

template <class B> EVALION_SIEMPRE_EN_LINEA void EvaluarExpresion(typename B::Registro *E, typename B::Valor &V);
template <class B> void Operando(typename B::Registro *E, typename B::Valor &V);

template <class B> inline int32_t Token(typename B::Registro *E) { return B::Lector(E)->TokenActual; }

// Whether a "^" chain goes on after the error-free operand in V. An invalid character there
// is where an operator could stand: it becomes E_CARACTER, and the chain ends.
template <class B> EVALION_SIEMPRE_EN_LINEA bool SiguePotencia(typename B::Registro *E, typename B::Valor &V)
{
    if (Token<B>(E) == T_INVALIDO) {
        B::FallarSinValor(E, V, E_CARACTER);
        return false;
    }
    return Token<B>(E) == '^';
}

// A "^" is current after the base in Base: leaves there the value of the power, whose
// exponent is everything to its right in the chain.
template <class B> void CadenaPotencia(typename B::Registro *E, typename B::Valor &Base)
{
    const auto Izq = B::Esperar(E, Base);
    LeerToken(B::Lector(E));
    auto &&Exponente = B::Derecho(Base);
    Operando<B>(E, Exponente);
    if (!B::Fallido(E, Exponente) && SiguePotencia<B>(E, Exponente))
        CadenaPotencia<B>(E, Exponente);
    if (!B::Fallido(E, Exponente))
        B::Potencia(E, Izq, Exponente, Base);
}

// RestoPotencia -> [ "^" Operando RestoPotencia ]
// Also the one place that reports an invalid character standing where an operator could.
template <class B> EVALION_SIEMPRE_EN_LINEA void RestoPotencia(typename B::Registro *E, typename B::Valor &Izq)
{
    if (!B::Fallido(E, Izq) && SiguePotencia<B>(E, Izq))
        CadenaPotencia<B>(E, Izq);
}

// Potencia -> Operando RestoPotencia
template <class B> EVALION_SIEMPRE_EN_LINEA void Potencia(typename B::Registro *E, typename B::Valor &V)
{
    Operando<B>(E, V);
    RestoPotencia<B>(E, V);
}

// The "*" and "/" that follow the first factor of a term, grouped from the left.
template <class B> EVALION_SIEMPRE_EN_LINEA void RestoTermino(typename B::Registro *E, typename B::Valor &Izq)
{
    while (!B::Fallido(E, Izq) && (Token<B>(E) == '*' || Token<B>(E) == '/')) {
        const int32_t Operador = Token<B>(E);
        const auto Espera = B::Esperar(E, Izq);
        LeerToken(B::Lector(E));
        auto &&Der = B::Derecho(Izq);
        Potencia<B>(E, Der);
        if (B::Fallido(E, Der))
            return;
        B::Termino(E, Operador, Espera, Der, Izq);
    }
}

// Termino -> Potencia { ("*" | "/") Potencia }
template <class B> EVALION_SIEMPRE_EN_LINEA void Termino(typename B::Registro *E, typename B::Valor &V)
{
    Potencia<B>(E, V);
    RestoTermino<B>(E, V);
}

template <class B> EVALION_SIEMPRE_EN_LINEA void RestoExpresion(typename B::Registro *E, typename B::Valor &Izq);

// A level-1 operator whose left operand holds a text, in a back-end whose values are blocks,
// out of the frames of the chains of numbers. The left text waits as a copy of its length,
// and the right side is evaluated into the left's own block. A short text waits on the
// stack; a long one on the heap, since a chain of them would otherwise keep about 1 KB of
// stack per operator (511 texts of 1023 characters, 600 KB), more than many hosts give a
// thread. With no memory for the copy the operator fails with E_MEMORIA before its right
// side is evaluated, as a call does when its argument array cannot grow.
constexpr size_t TEXTO_CORTO = 255;

template <class B> EVALION_NOINLINE void Nivel1Texto(typename B::Registro *E, typename B::Valor &Izq)
{
    const int32_t Operador = Token<B>(E);
    LeerToken(B::Lector(E));
    Izquierdo Espera = ComoIzquierdo(Izq);
    const bool Corto = Espera.Largo <= TEXTO_CORTO;
    void *Copia = Corto ? __builtin_alloca(Espera.Largo + 1) : std::malloc(Espera.Largo);
    if (Copia == nullptr) {
        B::FallarSinValor(E, Izq, E_MEMORIA);
        return;
    }
    Espera.Texto = static_cast<const char *>(std::memcpy(Copia, Izq.Cadena, Espera.Largo));
    Termino<B>(E, Izq);
    RestoExpresion<B>(E, Izq);
    if (!B::Fallido(E, Izq))
        OperarNivel1(Operador, Espera, Izq, Izq);
    if (!Corto)
        std::free(Copia);
}

// One level-1 operator, current, after the error-free left operand in Izq (one without text
// where the back-end lets texts wait apart). The right operand is the value of the whole
// rest of the chain, so 10-2-3 is 10-(2-3).
template <class B> void AplicarNivel1(typename B::Registro *E, typename B::Valor &Izq)
{
    const int32_t Operador = Token<B>(E);
    LeerToken(B::Lector(E));
    const auto Espera = B::Esperar(E, Izq);
    auto &&Der = B::Derecho(Izq);
    Termino<B>(E, Der);
    RestoExpresion<B>(E, Der);
    if (!B::Fallido(E, Der))
        B::Nivel1(E, Operador, Espera, Der, Izq);
}

// RestoExpresion -> [ op1 Termino RestoExpresion ]
template <class B> EVALION_SIEMPRE_EN_LINEA void RestoExpresion(typename B::Registro *E, typename B::Valor &Izq)
{
    if (B::Fallido(E, Izq) || !EsOperadorNivel1(Token<B>(E)))
        return;
    if constexpr (B::ESPERA_TEXTOS) {
        if (EsCadena(Izq))
            return Nivel1Texto<B>(E, Izq);
    }
    AplicarNivel1<B>(E, Izq);
}

// EvaluarExpresion -> Termino RestoExpresion
template <class B> EVALION_SIEMPRE_EN_LINEA void EvaluarExpresion(typename B::Registro *E, typename B::Valor &V)
{
    Termino<B>(E, V);
    RestoExpresion<B>(E, V);
}

// What follows a complete operand up to the end of its expression: the rest of its "^"
// chain, of its term and of its level-1 chain. A parenthesis that closes right after it
// (the common case) has nothing to continue.
template <class B> void ContinuarExpresion(typename B::Registro *E, typename B::Valor &V)
{
    if (B::Fallido(E, V) || Token<B>(E) == ')')
        return;
    RestoPotencia<B>(E, V);
    RestoTermino<B>(E, V);
    RestoExpresion<B>(E, V);
}

// Passes the run of the current one-character token, at most Maximo of them, and reads the
// token after it; returns how many it passed.
inline int32_t PasarRepetidos(ESTADODEANALISIS *L, int32_t Maximo)
{
    const int32_t Cuantos = SaltarRepetidos(L, Maximo);
    LeerToken(L);
    return Cuantos;
}

// Parenthesis: "(" is current. A failed inside still passes a ")" that follows it, and a
// missing ")" replaces whatever error the inside had.
// A run of "(" is taken at once: the innermost expression is evaluated once, and on the
// way out each closed parenthesis is the first operand of the expression around it. A run
// of ")" is taken at once too, since after a ")" that another ")" follows there is nothing
// to continue. The tokens are read in the same order as by plain recursion, so values and
// positions are those of "(" Operando... one level at a time, with no frames for the run.
template <class B> void Parentesis(typename B::Registro *E, typename B::Valor &V)
{
    constexpr int32_t SIN_LIMITE = EVALION_LARGO_EXPRESION + 1;
    ESTADODEANALISIS *L = B::Lector(E);
    LeerToken(L);
    const int32_t Niveles = L->TokenActual == '(' ? 1 + PasarRepetidos(L, SIN_LIMITE) : 1;
    B::Abrir(E, Niveles);
    EvaluarExpresion<B>(E, V);
    for (int32_t Nivel = 0; Nivel < Niveles;) {
        if (Nivel > 0)
            ContinuarExpresion<B>(E, V);
        if (B::Detenido(E))
            return;
        B::Cerrar(E, 1);
        ++Nivel;
        if (L->TokenActual != ')') {
            B::FallarCodigo(E, V, E_PARENTESIS);
            continue;
        }
        LeerToken(L);
        if (L->TokenActual == ')' && Nivel < Niveles) {
            const int32_t Pasados = PasarRepetidos(L, Niveles - Nivel);
            B::Cerrar(E, Pasados);
            Nivel += Pasados;
        }
    }
}

// ListaParametros -> EvaluarExpresion { ";" EvaluarExpresion }
// Each argument into B::Argumento, appended to A once the token after it says it is whole.
// On success ")" is current; a failure is in R or, for the analysis, the argument's block,
// which is R.
template <class B>
void ListaParametros(typename B::Registro *E, typename B::Argumentos &A, typename B::Valor &R)
{
    for (;;) {
        auto &&Argumento = B::Argumento(E, A, R);
        EvaluarExpresion<B>(E, Argumento);
        if (B::Fallido(E, Argumento))
            return;
        switch (Token<B>(E)) {
        case T_FIN:
            B::FallarCodigo(E, Argumento, E_CIERREFUNCION);
            return;
        case ')':
            B::Agregar(E, A, Argumento);
            return;
        case ';':
            if (!B::Agregar(E, A, Argumento))
                return;
            LeerToken(B::Lector(E));
            break;
        default:
            B::FallarCodigo(E, Argumento, E_SEPARADOR);
            return;
        }
    }
}

// A call: "(" is current after the name N. The arguments are released here, on every path.
template <class B>
void Llamada(typename B::Registro *E, const Nombre &N, int32_t InicioNombre, typename B::Valor &R)
{
    ESTADODEANALISIS *L = B::Lector(E);
    typename B::Argumentos A{};
    LeerToken(L);
    ListaParametros<B>(E, A, R);
    if (!B::Fallido(E, R)) {
        LeerToken(L);                 // passes the ")"
        L->InicioToken = InicioNombre; // later errors are reported at the name
        B::Funcion(E, N, A, R);
    }
    B::Soltar(A);
}

// A name is current: a call when "(" follows, a variable otherwise.
template <class B> void Identificador(typename B::Registro *E, typename B::Valor &R)
{
    ESTADODEANALISIS *L = B::Lector(E);
    // The name runs from its first character after the blanks up to where the scan left
    // Cursor; taken from the text, which outlives the walk, rather than from TextoToken.
    const char *Inicio = L->Texto + L->InicioToken;
    while (*Inicio == ' ')
        ++Inicio;
    const size_t Largo = static_cast<size_t>(L->Cursor - Inicio);
    const Nombre N{Inicio, Largo < LARGO_NOMBRE ? Largo : LARGO_NOMBRE};
    const int32_t InicioNombre = L->InicioToken;
    LeerToken(L);
    L->InicioToken = InicioNombre; // until another token is read, errors point at the name
    if (L->TokenActual == '(')
        Llamada<B>(E, N, InicioNombre, R);
    else
        B::Variable(E, N, R);
}

// Signs bind to one operand each and stack; taken in a loop rather than by recursion, so
// that a text of a thousand signs costs no stack. Only the parity of "-" matters: an inner
// error passes, a non-number fails at the innermost sign as at every other.
template <class B> void Operando(typename B::Registro *E, typename B::Valor &V)
{
    ESTADODEANALISIS *L = B::Lector(E);
    bool ConSigno = false, Negar = false;
    while (L->TokenActual == '-' || L->TokenActual == '+') {
        ConSigno = true;
        Negar ^= L->TokenActual == '-';
        LeerToken(L);
    }

    switch (L->TokenActual) {
    case T_NUMERO:
        B::Numero(E, V, L->ValorNumero);
        LeerToken(L);
        break;
    case T_CADENA:
        B::Cadena(E, V, L->TextoToken);
        LeerToken(L);
        break;
    case '(':
        Parentesis<B>(E, V);
        break;
    case T_IDENTIFICADOR:
        Identificador<B>(E, V);
        break;
    default:
        B::FallarSinValor(E, V, E_OPERANDO);
        return;
    }

    if (ConSigno && !B::Fallido(E, V))
        B::Signo(E, V, Negar);
}

// The whole text, its first token not read yet: an expression, and anything left after it
// is E_OPERADOR.
template <class B> void Recorrer(typename B::Registro *E, typename B::Valor &V)
{
    LeerToken(B::Lector(E));
    EvaluarExpresion<B>(E, V);
    if (!B::Fallido(E, V) && Token<B>(E) != T_FIN)
        B::FallarCodigo(E, V, E_OPERADOR);
}

} // namespace Motor

#endif
