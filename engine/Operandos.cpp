// Operands: literals, parentheses, signs, and the names the engine asks the host for.
//
//   Operando        -> { "-" | "+" } ( numero | cadena | "(" EvaluarExpresion ")"
//                                     | nombre [ "(" ListaParametros ")" ] )
//   ListaParametros -> EvaluarExpresion { ";" EvaluarExpresion }
#include <cstdlib>
#include <cstring>

#include "Motor.h"
#include "Operaciones.h"
#include "Peticiones.h"

namespace Motor {

namespace {

// Requests are leaves: their 1024-byte name buffer lives only while the host runs, never
// in the frames of a nested evaluation.
EVALION_NOINLINE void PedirVariable(ESTADODEANALISIS *Estado, const Nombre &N, BLOQUEDEDATOS &R)
{
    VaciarResultado(R);
    if (!Instalada(Estado->AlPedirVariable))
        return SinPeticion(N, E_VARIABLE, R);
    char Buffer[EVALION_LARGO_CADENA];
    CopiarNombre(N, Buffer);
    LlamarVariable(Estado, Buffer, &R);
    CompletarRespuesta(R);
}

EVALION_NOINLINE void PedirFuncion(ESTADODEANALISIS *Estado, const Nombre &N, BLOQUEDEDATOS *Parametros,
                                   int32_t Cuantos, BLOQUEDEDATOS &R)
{
    VaciarResultado(R);
    if (!Instalada(Estado->AlPedirFuncion))
        return SinPeticion(N, E_FUNCION, R);
    char Buffer[EVALION_LARGO_CADENA];
    CopiarNombre(N, Buffer);
    LlamarFuncion(Estado, Buffer, Parametros, Cuantos, &R);
    CompletarRespuesta(R);
}

// Grows the argument array by exactly one block and copies Valor into it.
bool Agregar(BLOQUEDEDATOS *&Parametros, int32_t &N, const BLOQUEDEDATOS &Valor)
{
    void *Nuevo = std::realloc(Parametros, (static_cast<size_t>(N) + 1) * sizeof(BLOQUEDEDATOS));
    if (Nuevo == nullptr)
        return false; // the old array stays with the caller, who releases it
    Parametros = static_cast<BLOQUEDEDATOS *>(Nuevo);
    std::memcpy(&Parametros[N++], &Valor, sizeof Valor);
    return true;
}

// A call: "(" is current. The array is grown and released here, on every path.
void Llamada(ESTADODEANALISIS *Estado, const Nombre &N, int32_t InicioNombre, BLOQUEDEDATOS &R)
{
    BLOQUEDEDATOS *Parametros = nullptr;
    int32_t Cuantos = 0;
    LeerToken(Estado);
    ListaParametros(Estado, Parametros, Cuantos, R);
    if (R.Error == 0) {
        LeerToken(Estado);                 // passes the ")"
        Estado->InicioToken = InicioNombre; // later errors are reported at the name
        PedirFuncion(Estado, N, Parametros, Cuantos, R);
    }
    std::free(Parametros);
}

// A name is current: a call when "(" follows, a variable otherwise.
void Identificador(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    // The name runs from its first character after the blanks up to where the scan left
    // Cursor; taken from the text rather than measured in TextoToken, just written.
    const char *Inicio = Estado->Texto + Estado->InicioToken;
    while (*Inicio == ' ')
        ++Inicio;
    const size_t Largo = static_cast<size_t>(Estado->Cursor - Inicio);
    const Nombre N{Inicio, Largo < LARGO_NOMBRE ? Largo : LARGO_NOMBRE};
    const int32_t InicioNombre = Estado->InicioToken;
    LeerToken(Estado);
    Estado->InicioToken = InicioNombre; // until another token is read, errors point at the name
    if (Estado->TokenActual == '(')
        Llamada(Estado, N, InicioNombre, R);
    else
        PedirVariable(Estado, N, R);
}

// Passes the run of the current one-character token, at most Maximo of them, and reads the
// token after it; returns how many it passed.
inline int32_t PasarRepetidos(ESTADODEANALISIS *Estado, int32_t Maximo)
{
    const int32_t Cuantos = SaltarRepetidos(Estado, Maximo);
    LeerToken(Estado);
    return Cuantos;
}

// Parenthesis: "(" is current. A failed inside still passes a ")" that follows it, and a
// missing ")" replaces whatever error the inside had.
// A run of "(" is taken at once: the innermost expression is evaluated once, and on the
// way out each closed parenthesis is the first operand of the expression around it. A run
// of ")" is taken at once too, since after a ")" that another ")" follows there is nothing
// to continue. The tokens are read in the same order as by plain recursion, so values and
// positions are those of "(" Operando... one level at a time, with no frames for the run.
// A single parenthesis, the common case, reads its tokens one by one.
void Parentesis(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    constexpr int32_t SIN_LIMITE = EVALION_LARGO_EXPRESION + 1;
    LeerToken(Estado);
    const int32_t Niveles = Estado->TokenActual == '(' ? 1 + PasarRepetidos(Estado, SIN_LIMITE) : 1;
    EvaluarExpresion(Estado, R);
    for (int32_t Nivel = 0; Nivel < Niveles;) {
        if (Nivel > 0)
            ContinuarExpresion(Estado, R);
        if (Estado->TokenActual != ')') {
            R.Error = E_PARENTESIS;
            ++Nivel;
            continue;
        }
        LeerToken(Estado);
        ++Nivel;
        if (Estado->TokenActual == ')' && Nivel < Niveles)
            Nivel += PasarRepetidos(Estado, Niveles - Nivel);
    }
}

} // namespace

void Operando(ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    // Signs bind to one operand each and stack; taken in a loop rather than by recursion
    // so that a text of a thousand signs costs no stack. Only the parity of "-" matters:
    // an inner error passes, a non-number fails at the innermost sign as at every other.
    bool ConSigno = false, Negar = false;
    while (Estado->TokenActual == '-' || Estado->TokenActual == '+') {
        ConSigno = true;
        Negar ^= Estado->TokenActual == '-';
        LeerToken(Estado);
    }

    switch (Estado->TokenActual) {
    case T_NUMERO:
        R.Numero = Estado->ValorNumero;
        R.Cadena[0] = '\0';
        R.Tipo = TIPO_NUMERO;
        R.Error = 0;
        LeerToken(Estado);
        break;
    case T_CADENA: {
        const size_t Largo = std::strlen(Estado->TextoToken);
        std::memcpy(R.Cadena, Estado->TextoToken, Largo);
        std::memset(R.Cadena + Largo, 0, sizeof R.Cadena - Largo);
        R.Numero = 0;
        R.Tipo = TIPO_CADENA;
        R.Error = 0;
        LeerToken(Estado);
        break;
    }
    case '(':
        Parentesis(Estado, R);
        break;
    case T_IDENTIFICADOR:
        Identificador(Estado, R);
        break;
    default:
        R.Numero = 0; // a block made here, with no value: nothing of the stack goes up in it
        R.Cadena[0] = '\0';
        R.Error = E_OPERANDO;
        return;
    }

    if (ConSigno && R.Error == 0)
        AplicarSigno(R, Negar);
}

// Evaluates the arguments into the array; R serves for each argument in turn and carries
// the failure. On success R.Error is 0 and ")" is current.
void ListaParametros(ESTADODEANALISIS *Estado, BLOQUEDEDATOS *&Parametros, int32_t &N, BLOQUEDEDATOS &R)
{
    EvaluarExpresion(Estado, R);
    for (;;) {
        if (R.Error)
            return;
        switch (Estado->TokenActual) {
        case T_FIN:
            R.Error = E_CIERREFUNCION;
            return;
        case ')':
            if (!Agregar(Parametros, N, R))
                R.Error = E_MEMORIA;
            return;
        case ';':
            if (!Agregar(Parametros, N, R)) {
                R.Error = E_MEMORIA;
                return;
            }
            LeerToken(Estado);
            EvaluarExpresion(Estado, R);
            break;
        default:
            R.Error = E_SEPARADOR;
            return;
        }
    }
}

} // namespace Motor
