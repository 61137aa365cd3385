// Prepared expressions.
//
// Preparing reads the text with the engine's own lexer into a list of tokens, then walks
// them as the grammar's levels do, emitting one instruction for every step an analysis
// takes with a value: a literal into a block, a request, an operator, a sign. The walk
// follows the levels of Gramatica.cpp and Operandos.cpp decision for decision; the
// operations themselves are the shared ones of Operaciones.h.
//
// Why a linear program can give the analysis's answers: until its first error, the
// analysis reads the same tokens whatever the host answers (values never steer it, only
// errors do), and after the first error it does only one thing more: every parenthesis
// still open passes a ")" that follows or, missing one, turns the error into E_PARENTESIS.
// Both are fixed by the text, so each instruction that can fail carries where the error
// ends up and whether it becomes E_PARENTESIS. A syntax error is an instruction that fails
// always, after the requests that come before it.
//
// Blocks are numbered slots as the analysis's blocks are levels: an expression evaluated
// into slot t uses slots above t for its right operands and arguments, so that the
// arguments of a call stand side by side and the host gets them in place. Slot 0 is the
// block returned. Literals stay constants in the walk until an operation needs them in a
// block, and operations of two constants are done once, while preparing, under the same
// floating-point settings as an evaluation.
#include "Preparada.h"

#include <cstdlib>
#include <cstring>

#include "Motor.h"
#include "Operaciones.h"
#include "Peticiones.h"

// The numbers-only evaluation is the whole of a short form's cost: it goes into the entry.
#if defined(__GNUC__)
#define EVALION_SIEMPRE_EN_LINEA inline __attribute__((always_inline))
#else
#define EVALION_SIEMPRE_EN_LINEA inline
#endif

namespace Motor {

namespace {

enum Operacion : uint8_t {
    O_NUMERO,    // A = Numero
    O_CADENA,    // A = the text Texto
    O_VARIABLE,  // A = the host's answer for the variable Texto
    O_VINCULADA, // A = the number at Direcciones[Texto.Extra]
    O_FUNCION,   // A = the host's answer for the function Texto with A+1 .. A+Texto.Extra
    O_SIGNO,     // the signs before A; Extra: they negate
    O_NIVEL1,    // A = A op A+1 (op: OPERADORES[Extra])
    O_NIVEL1K,   // A = A op Numero
    O_TERMINO,   // A = A * A+1 or A / A+1 (Extra: '*' or '/')
    O_TERMINOK,  // A = A * Numero or A / Numero
    O_POTENCIA,  // A = A ^ A+1; Extra 1: an error goes into A+1, as in a chain of "^"
    O_POTENCIAK, // A = A ^ Numero
    O_FALLAR,    // A fails with Codigo (Extra: which fields the grammar sets)
    O_FIN        // A (slot 0) is the value
};

// The level-1 operators, by the index an instruction keeps of them.
constexpr int32_t OPERADORES[] = {'+', '-', '=', T_DISTINTO, '<', '>', T_MENORIGUAL, T_MAYORIGUAL};

uint8_t IndiceOperador(int32_t Token)
{
    uint8_t i = 0;
    while (OPERADORES[i] != Token)
        ++i;
    return i;
}

// How a failing instruction marks its block, as the grammar does at that point.
enum Forma : uint8_t {
    F_CODIGO,  // only the code (E_PARENTESIS, E_SEPARADOR, E_CIERREFUNCION, E_OPERADOR)
    F_ERROR,   // the code and no kind (E_CARACTER, E_DIVISION of two constants)
    F_OPERANDO // no value: 0 and the empty text (E_OPERANDO)
};

// A text kept in the form: a name (NUL-terminated in Textos) or a literal.
struct Texto {
    uint32_t Inicio;
    uint16_t Largo;
    uint16_t Extra; // a call's count of arguments; a variable's binding
};

struct Instruccion {
    uint8_t Codigo;
    uint8_t Extra;
    uint16_t A;
    uint32_t Fallo; // index in Fallos of where a failure ends up
    union {
        double Numero;
        Texto Nombre;
        int32_t Error;
    } U;
};
static_assert(sizeof(Instruccion) == 16, "an instruction is 16 bytes");

// Where an error made at one instruction ends up: its 1-based position, and E_PARENTESIS
// when a parenthesis still open finds no ")".
struct Fallo {
    int32_t Posicion;
    int32_t Reemplazo; // 0 keeps the code
};

// A name the text uses: the token it stands at, -1 arguments for a variable.
struct Uso {
    uint32_t Token;
    Texto Nombre;
    int32_t Argumentos;
};

// A list that grows with realloc; the engine uses nothing of the C++ run time. A failed
// growth is remembered and makes the whole preparation fail.
template <typename T> struct Lista {
    T *Datos = nullptr;
    uint32_t Cuantos = 0;
    uint32_t Capacidad = 0;
    bool SinMemoria = false;

    Lista() = default;
    Lista(const Lista &) = delete;
    Lista &operator=(const Lista &) = delete;
    ~Lista() { std::free(Datos); }

    T *Agregar(const T *Desde, uint32_t Cuantas)
    {
        if (Cuantas == 0) // an empty text: nothing to copy, and maybe nowhere yet
            return Datos;
        if (Cuantos + Cuantas > Capacidad) {
            uint32_t Nueva = Capacidad ? Capacidad * 2 : 16;
            while (Nueva < Cuantos + Cuantas)
                Nueva *= 2;
            void *Otra = std::realloc(Datos, static_cast<size_t>(Nueva) * sizeof(T));
            if (Otra == nullptr) {
                SinMemoria = true;
                return nullptr;
            }
            Datos = static_cast<T *>(Otra);
            Capacidad = Nueva;
        }
        T *Donde = Datos + Cuantos;
        std::memcpy(Donde, Desde, static_cast<size_t>(Cuantas) * sizeof(T));
        Cuantos += Cuantas;
        return Donde;
    }
    void Agregar(const T &Valor) { Agregar(&Valor, 1); }

    // Hands the items over, exactly as many as there are (at least one byte).
    T *Soltar()
    {
        T *Justo = static_cast<T *>(std::realloc(Datos, Cuantos ? Cuantos * sizeof(T) : 1));
        if (Justo == nullptr)
            Justo = Datos;
        Datos = nullptr;
        Cuantos = Capacidad = 0;
        return Justo;
    }
};

// The steps of a form of numbers only (Traducir).
enum Fuente : uint8_t { DE_RANURA, DE_CONSTANTE, DE_DIRECCION };
enum OperacionNumerica : uint8_t { P_CARGAR, P_NEGAR, P_SUMA, P_RESTA, P_COMPARAR, P_POR, P_ENTRE, P_POTENCIA };

union Operando {
    double Numero;
    const double *Direccion;
    uint32_t Ranura;
};

constexpr uint8_t CodigoDePaso(unsigned Op, unsigned Izq, unsigned Der)
{
    return static_cast<uint8_t>(Op * 9 + Izq * 3 + Der);
}
// A variable asked for: its name in Izq, its rank among the form's requests in Der.
constexpr uint8_t CODIGO_PEDIR = CodigoDePaso(P_POTENCIA + 1, 0, 0);
// Requests a form of numbers only may make; a form with more is evaluated in blocks.
constexpr uint32_t MAXIMO_PEDIDAS = 16;

// What the steps leave to the blocks when they cannot go on: the numbers the host gave so
// far, and the block of the answer that was no plain number (or none: a division by zero,
// no request installed), so that the block evaluation gives the same answers again without
// asking the host a second time.
struct Repeticion {
    double Numeros[MAXIMO_PEDIDAS];
    uint32_t Cuantos = 0;
    const BLOQUEDEDATOS *Ultima = nullptr;
};

struct Paso {
    uint8_t Codigo;  // CodigoDePaso of the operation and where its operands are
    uint8_t Extra;   // a comparison's operator
    uint8_t Fin;     // its value is the form's
    uint32_t A;      // the slot it writes
    Operando Izq, Der;
};

// One token as the lexer left it: its code, where the grammar reports it (InicioToken), and
// its number or its text in Textos.
struct Pieza {
    int32_t Token;
    int32_t Inicio;
    double Numero;
    Texto Nombre;
};

} // namespace
} // namespace Motor

struct FORMULAPREPARADA {
    Motor::Instruccion *Codigo;
    Motor::Fallo *Fallos;
    char *Textos;
    Motor::Uso *Nombres; // each name once, in the order of the text
    const double **Direcciones; // per variable of Nombres: where it is bound, or null
    Motor::Paso *Pasos;         // when Numerico
    uint32_t CuantosPasos;
    uint32_t CuantosNombres;
    uint32_t Instrucciones;
    uint32_t Fallidas; // entries of Fallos
    uint32_t LargoTextos;
    uint32_t Tokens;
    uint16_t Ranuras;
    bool Ajustes;  // it computes or asks: the floating-point settings are switched
    bool Numerico; // only numbers and their operators, few slots: evaluated on doubles
    bool Ajustar;  // Ajustes, and the host did not choose its own settings
    bool Constante; // Numerico with one value, Valor, known while preparing
    bool SinPeticiones; // Numerico without requests
    double Valor;
    int32_t Opciones;
};

namespace Motor {

namespace {

// A value in the walk: a number known while preparing, or whatever its slot will hold.
struct Valor {
    bool Constante;
    double Numero;
};

constexpr Valor EN_RANURA{false, 0.0};

class Compilador {
public:
    explicit Compilador(const Pieza *Piezas) : P(Piezas) { Inicio = P[0].Inicio; }

    // The whole text into slot 0, as the analysis entry does.
    void Compilar()
    {
        Valor V = EvaluarExpresion(0);
        if (Parado)
            return;
        Materializar(0, V);
        if (Token() != T_FIN)
            Fallar(0, E_OPERADOR, F_CODIGO);
        else
            Emitir(O_FIN, 0, 0, 0);
    }

    bool SinMemoria() const { return Codigo.SinMemoria || Fallos.SinMemoria || Usos.SinMemoria; }

    Lista<Instruccion> Codigo;
    Lista<Fallo> Fallos;
    Lista<Uso> Usos;
    uint32_t Ranuras = 1;

private:
    const Pieza *P;
    uint32_t i = 0;      // the current token
    int32_t Inicio = 0;  // InicioToken: where an error made now is reported
    int32_t Abiertos = 0; // parentheses open around the current point
    bool Parado = false; // a syntax error was emitted: nothing after it runs

    int32_t Token() const { return P[i].Token; }
    // The grammar never reads past the end.
    void Leer()
    {
        if (P[i].Token != T_FIN)
            ++i;
        Inicio = P[i].Inicio;
    }

    void Usar(uint32_t Ranura)
    {
        if (Ranura + 1 > Ranuras)
            Ranuras = Ranura + 1;
    }

    // What happens to an error made at this point on its way out: each open parenthesis
    // passes a ")" or, finding none, makes it E_PARENTESIS where it stands.
    uint32_t NuevoFallo()
    {
        uint32_t j = i;
        Fallo F{Inicio + 1, 0};
        for (int32_t g = 0; g < Abiertos; ++g) {
            if (P[j].Token != ')') {
                F.Reemplazo = E_PARENTESIS;
                break;
            }
            ++j;
            F.Posicion = P[j].Inicio + 1;
        }
        Fallos.Agregar(F);
        return Fallos.Cuantos - 1;
    }

    union Dato {
        double Numero;
        Texto Nombre;
        int32_t Error;
    };
    static Dato Numero(double Valor) { Dato D{}; D.Numero = Valor; return D; }
    static Dato DeTexto(Texto T) { Dato D{}; D.Nombre = T; return D; }

    void Emitir(uint8_t Operacion, uint32_t A, uint8_t Extra, uint32_t Fallo, Dato D = Dato{})
    {
        Usar(A);
        Instruccion I{};
        I.Codigo = Operacion;
        I.Extra = Extra;
        I.A = static_cast<uint16_t>(A);
        I.Fallo = Fallo;
        std::memcpy(&I.U, &D, sizeof I.U);
        Codigo.Agregar(I);
    }

    void EmitirConFallo(uint8_t Operacion, uint32_t A, uint8_t Extra, Dato D = Dato{})
    {
        const uint32_t Fallo = NuevoFallo();
        Emitir(Operacion, A, Extra, Fallo, D);
    }

    void Materializar(uint32_t A, Valor &V)
    {
        if (!V.Constante)
            return;
        Emitir(O_NUMERO, A, 0, 0, Numero(V.Numero));
        V.Constante = false;
    }

    void Fallar(uint32_t A, int32_t Error, uint8_t Como)
    {
        Dato D{};
        D.Error = Error;
        EmitirConFallo(O_FALLAR, A, Como, D);
        Parado = true;
    }

    // EvaluarExpresion -> Termino RestoExpresion
    Valor EvaluarExpresion(uint32_t t)
    {
        Valor V = Termino(t);
        RestoExpresion(t, V);
        return V;
    }

    Valor Termino(uint32_t t)
    {
        Valor V = Potencia(t);
        RestoTermino(t, V);
        return V;
    }

    Valor Potencia(uint32_t t)
    {
        Valor V = Operando(t);
        RestoPotencia(t, V);
        return V;
    }

    // RestoExpresion: the right operand is the whole rest of the chain.
    void RestoExpresion(uint32_t t, Valor &Izq)
    {
        if (Parado || !EsOperadorNivel1(Token()))
            return;
        const int32_t Operador = Token();
        Leer();
        Valor Der = Termino(t + 1);
        RestoExpresion(t + 1, Der);
        if (Parado)
            return;
        if (Izq.Constante && Der.Constante) {
            Izq.Numero = Plegar(OperarNivel1, Operador, Izq.Numero, Der.Numero);
            return;
        }
        Materializar(t, Izq);
        if (Der.Constante)
            EmitirConFallo(O_NIVEL1K, t, IndiceOperador(Operador), Numero(Der.Numero));
        else
            EmitirConFallo(O_NIVEL1, t, IndiceOperador(Operador));
    }

    void RestoTermino(uint32_t t, Valor &Izq)
    {
        while (!Parado && (Token() == '*' || Token() == '/')) {
            const int32_t Operador = Token();
            Leer();
            Valor Der = Potencia(t + 1);
            if (Parado)
                return;
            if (Izq.Constante && Der.Constante) {
                if (Operador == '/' && Der.Numero == 0.0) {
                    Materializar(t, Izq);
                    Fallar(t, E_DIVISION, F_ERROR);
                    return;
                }
                Izq.Numero = Plegar(OperarTermino, Operador, Izq.Numero, Der.Numero);
                continue;
            }
            Materializar(t, Izq);
            if (Der.Constante)
                EmitirConFallo(O_TERMINOK, t, static_cast<uint8_t>(Operador), Numero(Der.Numero));
            else
                EmitirConFallo(O_TERMINO, t, static_cast<uint8_t>(Operador));
        }
    }

    // An invalid character where an operator could stand fails on the operand before it.
    bool SigueCadena(uint32_t t, Valor &V)
    {
        if (Token() == T_INVALIDO) {
            Materializar(t, V);
            Fallar(t, E_CARACTER, F_ERROR);
            return false;
        }
        return Token() == '^';
    }

    void RestoPotencia(uint32_t t, Valor &Izq)
    {
        if (Parado || !SigueCadena(t, Izq))
            return;
        Valor Der = CadenaPotencia(t + 1);
        if (Parado)
            return;
        if (Izq.Constante && Der.Constante) {
            Izq.Numero = Elevar(Izq.Numero, Der.Numero);
            return;
        }
        Materializar(t, Izq);
        if (Der.Constante)
            EmitirConFallo(O_POTENCIAK, t, 0, Numero(Der.Numero));
        else
            EmitirConFallo(O_POTENCIA, t, 0);
    }

    // After a "^": the value of everything to its right, in slot d. Where the analysis keeps
    // one block for the chain, each operand has its own slot here, and a failed power leaves
    // its error in the exponent's slot, which holds what the analysis's block would.
    Valor CadenaPotencia(uint32_t d)
    {
        Leer();
        Valor Base = Operando(d);
        if (Parado || !SigueCadena(d, Base))
            return Base;
        Valor Exponente = CadenaPotencia(d + 1);
        if (Parado)
            return Base;
        if (Base.Constante && Exponente.Constante)
            return Valor{true, Elevar(Base.Numero, Exponente.Numero)};
        Materializar(d, Base);
        Materializar(d + 1, Exponente);
        EmitirConFallo(O_POTENCIA, d, 1);
        return EN_RANURA;
    }

    Valor Operando(uint32_t t)
    {
        bool ConSigno = false, Negar = false;
        while (Token() == '-' || Token() == '+') {
            ConSigno = true;
            Negar ^= Token() == '-';
            Leer();
        }
        Valor V = EN_RANURA;
        switch (Token()) {
        case T_NUMERO:
            V = Valor{true, P[i].Numero};
            Leer();
            break;
        case T_CADENA:
            Emitir(O_CADENA, t, 0, 0, DeTexto(P[i].Nombre));
            Leer();
            break;
        case '(':
            V = Parentesis(t);
            break;
        case T_IDENTIFICADOR:
            Identificador(t);
            break;
        default:
            Fallar(t, E_OPERANDO, F_OPERANDO);
            return V;
        }
        if (!ConSigno || Parado)
            return V;
        if (V.Constante) {
            if (Negar)
                V.Numero = -V.Numero;
            return V;
        }
        EmitirConFallo(O_SIGNO, t, Negar ? 1 : 0);
        return V;
    }

    // A run of "(" is one level per parenthesis, as in the analysis.
    Valor Parentesis(uint32_t t)
    {
        Leer();
        int32_t Niveles = 1;
        while (Token() == '(') {
            ++Niveles;
            Leer();
        }
        Abiertos += Niveles;
        Valor V = EvaluarExpresion(t);
        for (int32_t Nivel = 0; Nivel < Niveles; ++Nivel) {
            if (Parado)
                return V;
            if (Nivel > 0 && Token() != ')') {
                RestoPotencia(t, V);
                RestoTermino(t, V);
                RestoExpresion(t, V);
                if (Parado)
                    return V;
            }
            --Abiertos;
            if (Token() != ')') {
                Materializar(t, V);
                Fallar(t, E_PARENTESIS, F_CODIGO);
                return V;
            }
            Leer();
        }
        return V;
    }

    void Identificador(uint32_t t)
    {
        const uint32_t Nombre = i;
        const int32_t InicioNombre = Inicio;
        Leer();
        Inicio = InicioNombre; // errors point at the name until another token is read
        if (Token() != '(') {
            EmitirConFallo(O_VARIABLE, t, 0, DeTexto(P[Nombre].Nombre));
            Usos.Agregar(Uso{Nombre, P[Nombre].Nombre, -1});
            return;
        }
        Leer();
        const uint32_t Argumentos = ListaParametros(t);
        if (Parado)
            return;
        Leer(); // the ")"
        Inicio = InicioNombre;
        Texto Llamada = P[Nombre].Nombre;
        Llamada.Extra = static_cast<uint16_t>(Argumentos);
        EmitirConFallo(O_FUNCION, t, 0, DeTexto(Llamada));
        Usos.Agregar(Uso{Nombre, Llamada, static_cast<int32_t>(Argumentos)});
    }

    // The arguments into t+1, t+2, ...; returns how many, with ")" current.
    uint32_t ListaParametros(uint32_t t)
    {
        uint32_t a = t + 1;
        Valor V = EvaluarExpresion(a);
        for (;;) {
            if (Parado)
                return 0;
            Materializar(a, V);
            switch (Token()) {
            case T_FIN:
                Fallar(a, E_CIERREFUNCION, F_CODIGO);
                return 0;
            case ')':
                return a - t;
            case ';':
                Leer();
                ++a;
                V = EvaluarExpresion(a);
                break;
            default:
                Fallar(a, E_SEPARADOR, F_CODIGO);
                return 0;
            }
        }
    }

    // Two constants: the grammar's own operations on two blocks, which hold no error and
    // cannot fail with numbers. Kept out of line so that the walk's deep recursion carries
    // no block in its frames.
    using OperacionDeBloques = void (*)(int32_t, BLOQUEDEDATOS &, const BLOQUEDEDATOS &);
    static EVALION_NOINLINE double Plegar(OperacionDeBloques Operar, int32_t Operador, double a, double b)
    {
        BLOQUEDEDATOS Izq, Der;
        PonerNumero(Izq, a);
        PonerNumero(Der, b);
        Operar(Operador, Izq, Der);
        return Izq.Numero;
    }
};

// Reads the text into pieces with the engine's lexer, from a record with the host's
// separators; the names and literals go into Textos.
bool Leer(const ESTADODEANALISIS *Separadores, const char *Expresion, ESTADODEANALISIS &Estado,
          Lista<Pieza> &Piezas, Lista<char> &Textos)
{
    Estado.SepDecimal = Separadores->SepDecimal;
    Estado.SepMillar = Separadores->SepMillar;
    const size_t Largo = strnlen(Expresion, EVALION_LARGO_EXPRESION);
    std::memcpy(Estado.Texto, Expresion, Largo);
    std::memset(Estado.Texto + Largo, 0, sizeof Estado.Texto - Largo);
    LeerCaracter(&Estado, LEER_REINICIAR);
    for (;;) {
        LeerToken(&Estado);
        Pieza P{};
        P.Token = Estado.TokenActual;
        P.Inicio = Estado.InicioToken;
        const char *Desde = nullptr;
        size_t Cuanto = 0;
        if (P.Token == T_NUMERO) {
            P.Numero = Estado.ValorNumero;
        } else if (P.Token == T_CADENA) {
            Desde = Estado.TextoToken;
            Cuanto = std::strlen(Estado.TextoToken);
        } else if (P.Token == T_IDENTIFICADOR) {
            // As the analysis takes a name: from its first character to where the scan
            // stopped, cut to the longest text a block holds.
            Desde = Estado.Texto + Estado.InicioToken;
            while (*Desde == ' ')
                ++Desde;
            Cuanto = static_cast<size_t>(Estado.Cursor - Desde);
            if (Cuanto > LARGO_NOMBRE)
                Cuanto = LARGO_NOMBRE;
        }
        if (Desde != nullptr) {
            P.Nombre.Inicio = Textos.Cuantos;
            P.Nombre.Largo = static_cast<uint16_t>(Cuanto);
            Textos.Agregar(Desde, static_cast<uint32_t>(Cuanto));
            Textos.Agregar('\0');
        }
        Piezas.Agregar(P);
        if (P.Token == T_FIN)
            return !Piezas.SinMemoria && !Textos.SinMemoria;
    }
}

bool MismoNombre(const char *Textos, const Texto &a, const Texto &b)
{
    return a.Largo == b.Largo && std::memcmp(Textos + a.Inicio, Textos + b.Inicio, a.Largo) == 0;
}

// The uses in the order of the text, each name once (a function once per count).
uint32_t OrdenarUsos(Uso *Usos, uint32_t Cuantos, const char *Textos)
{
    for (uint32_t k = 1; k < Cuantos; ++k)
        for (uint32_t j = k; j > 0 && Usos[j - 1].Token > Usos[j].Token; --j) {
            const Uso Cambio = Usos[j];
            Usos[j] = Usos[j - 1];
            Usos[j - 1] = Cambio;
        }
    uint32_t Quedan = 0;
    for (uint32_t k = 0; k < Cuantos; ++k) {
        bool Visto = false;
        for (uint32_t j = 0; j < Quedan && !Visto; ++j)
            Visto = Usos[j].Argumentos == Usos[k].Argumentos && MismoNombre(Textos, Usos[j].Nombre, Usos[k].Nombre);
        if (!Visto)
            Usos[Quedan++] = Usos[k];
    }
    return Quedan;
}

void SinMemoria(BLOQUEDEDATOS &Error)
{
    Error.Numero = 0;
    Error.Cadena[0] = '\0';
    Error.Tipo = 0;
    Error.Error = E_MEMORIA;
    Error.Posicion = 0;
}

// A request's name, NUL-terminated, into the buffer the host gets.
// Names are kept NUL-terminated with room after them, so that a short one is copied as one
// fixed block of bytes rather than by a call.
constexpr uint32_t COPIA_CORTA = 16;

inline void CopiarPedido(const FORMULAPREPARADA *F, const Texto &T, char *Destino)
{
    if (T.Largo < COPIA_CORTA)
        std::memcpy(Destino, F->Textos + T.Inicio, COPIA_CORTA);
    else
        std::memcpy(Destino, F->Textos + T.Inicio, T.Largo + 1u);
}

constexpr uint32_t RANURAS_EN_PILA = 6; // besides slot 0; deeper forms take them from the heap
constexpr uint32_t RANURAS_NUMERICAS = 64; // of doubles, all of them on the stack

bool Traducir(FORMULAPREPARADA *F);

// What an evaluation needs, from the instructions and the bindings of the moment.
void Clasificar(FORMULAPREPARADA *F)
{
    F->Ajustes = false;
    F->Numerico = true;
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        switch (F->Codigo[k].Codigo) {
        case O_NUMERO: case O_VINCULADA: case O_SIGNO: case O_FIN: // no arithmetic: a sign is a bit
            break;
        case O_NIVEL1: case O_NIVEL1K: case O_TERMINO: case O_TERMINOK: case O_POTENCIA: case O_POTENCIAK:
            F->Ajustes = true;
            break;
        case O_VARIABLE: // asked in the steps too, while the host answers plain numbers
            F->Ajustes = true;
            break;
        case O_FUNCION:
            F->Ajustes = true;
            F->Numerico = false;
            break;
        default: // texts, failures
            F->Numerico = false;
            break;
        }
    }
    F->Numerico = F->Numerico && F->Ranuras <= RANURAS_NUMERICAS && Traducir(F);
    F->SinPeticiones = F->SinPeticiones && F->Numerico;
    F->Constante = F->Numerico && F->CuantosPasos == 1 &&
                   F->Pasos[0].Codigo == CodigoDePaso(P_CARGAR, DE_CONSTANTE, DE_CONSTANTE);
    if (F->Constante)
        F->Valor = F->Pasos[0].Izq.Numero;
    F->Ajustar = F->Ajustes && !(F->Opciones & AJUSTES_DEL_ANFITRION);
}

// A form of numbers only is also kept as steps on doubles: the slots' values without the
// rest of their blocks, each operand read where it is (a slot, a constant, a bound
// variable), so that loading a literal or a variable is no step of its own.
bool Traducir(FORMULAPREPARADA *F)
{
    Lista<Paso> Pasos;
    struct Donde {
        uint8_t Fuentes;
        Operando Izq;
    } Pendiente[RANURAS_NUMERICAS]; // per slot: where its value is to be read
    for (uint32_t k = 0; k < RANURAS_NUMERICAS; ++k)
        Pendiente[k].Fuentes = DE_RANURA, Pendiente[k].Izq.Ranura = k;
    uint32_t Pedidas = 0;
    const auto Fuente = [&](uint32_t Ranura, uint8_t &Donde, Operando &O) {
        Donde = Pendiente[Ranura].Fuentes;
        O = Pendiente[Ranura].Izq;
    };
    const auto EnRanura = [&](uint32_t Ranura) {
        Pendiente[Ranura].Fuentes = DE_RANURA;
        Pendiente[Ranura].Izq.Ranura = Ranura;
    };
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        const Instruccion &I = F->Codigo[k];
        Paso P{};
        P.A = I.A;
        uint8_t Izq = DE_RANURA, Der = DE_CONSTANTE;
        switch (I.Codigo) {
        case O_NUMERO:
            Pendiente[I.A].Fuentes = DE_CONSTANTE;
            Pendiente[I.A].Izq.Numero = I.U.Numero;
            continue;
        case O_VINCULADA:
            Pendiente[I.A].Fuentes = DE_DIRECCION;
            Pendiente[I.A].Izq.Direccion = F->Direcciones[I.U.Nombre.Extra];
            continue;
        case O_VARIABLE:
            if (Pedidas == MAXIMO_PEDIDAS)
                return false;
            P.Codigo = CODIGO_PEDIR;
            static_assert(sizeof P.Izq == sizeof I.U.Nombre, "a name fits in an operand");
            std::memcpy(&P.Izq, &I.U.Nombre, sizeof P.Izq);
            P.Der.Ranura = Pedidas++;
            Pasos.Agregar(P);
            EnRanura(I.A);
            continue;
        case O_SIGNO:
            if (I.Extra == 0)
                continue;
            if (Pendiente[I.A].Fuentes == DE_CONSTANTE) {
                Pendiente[I.A].Izq.Numero = -Pendiente[I.A].Izq.Numero;
                continue;
            }
            P.Codigo = P_NEGAR;
            Fuente(I.A, Izq, P.Izq);
            break;
        case O_NIVEL1: case O_NIVEL1K: {
            const int32_t Operador = OPERADORES[I.Extra];
            P.Codigo = Operador == '+' ? P_SUMA : Operador == '-' ? P_RESTA : P_COMPARAR;
            P.Extra = I.Extra;
            break;
        }
        case O_TERMINO: case O_TERMINOK:
            P.Codigo = I.Extra == '*' ? P_POR : P_ENTRE;
            break;
        case O_POTENCIA: case O_POTENCIAK:
            P.Codigo = P_POTENCIA;
            break;
        default: { // O_FIN: the last step gives the value, or one that reads it
            if (Pendiente[0].Fuentes == DE_RANURA && Pasos.Cuantos > 0 && Pasos.Datos[Pasos.Cuantos - 1].A == 0) {
                Pasos.Datos[Pasos.Cuantos - 1].Fin = 1;
            } else {
                P.Codigo = P_CARGAR;
                P.Fin = 1;
                Fuente(0, Izq, P.Izq);
                P.Codigo = CodigoDePaso(P.Codigo, Izq, Der);
                Pasos.Agregar(P);
            }
            std::free(F->Pasos);
            F->CuantosPasos = Pasos.SinMemoria ? 0 : Pasos.Cuantos;
            F->SinPeticiones = Pedidas == 0;
            F->Pasos = Pasos.SinMemoria ? nullptr : Pasos.Soltar();
            return F->Pasos != nullptr;
        }
        }
        if (P.Codigo != P_NEGAR) {
            Fuente(I.A, Izq, P.Izq);
            if (I.Codigo == O_NIVEL1K || I.Codigo == O_TERMINOK || I.Codigo == O_POTENCIAK)
                P.Der.Numero = I.U.Numero;
            else
                Fuente(I.A + 1u, Der, P.Der);
        }
        P.Codigo = CodigoDePaso(P.Codigo, Izq, Der);
        Pasos.Agregar(P);
        EnRanura(I.A);
    }
    return false; // a form always ends with O_FIN
}

template <unsigned F> inline double Leer(const Operando &O, const double *N)
{
    if constexpr (F == DE_CONSTANTE)
        return O.Numero;
    else if constexpr (F == DE_RANURA)
        return N[O.Ranura];
    else
        return *O.Direccion;
}

// One operation on two numbers, as the block operations do it; false for a division by 0.
template <unsigned Op> inline bool Operar(double a, double b, uint8_t Extra, double &v)
{
    if constexpr (Op == P_CARGAR)
        v = a;
    else if constexpr (Op == P_NEGAR)
        v = -a;
    else if constexpr (Op == P_SUMA)
        v = a + b;
    else if constexpr (Op == P_RESTA)
        v = a - b;
    else if constexpr (Op == P_COMPARAR)
        v = ComparaNumeros(OPERADORES[Extra], a, b) ? 1.0 : 0.0;
    else if constexpr (Op == P_POR)
        v = a * b;
    else if constexpr (Op == P_ENTRE) {
        if (b == 0.0)
            return false;
        v = a / b;
    } else
        v = Elevar(a, b);
    return true;
}

// False when the blocks must decide (a division by zero, an answer that is no plain
// number), with what was asked so far in Rep. One case per operation and kinds of
// operands, so that a step is a jump and its work.
// Without requests (Pedir false) the steps need neither the record nor Rep.
template <bool Pedir>
EVALION_SIEMPRE_EN_LINEA bool EvaluarNumeros(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado,
                                             const AjustesDeEvaluacion &Ajustes, double *N, double &Valor,
                                             Repeticion &Rep, BLOQUEDEDATOS &Respuesta)
{
#define EVALION_CASO(OP, FI, FD)                                                                              \
    case CodigoDePaso(OP, FI, FD):                                                                             \
        if (!Operar<OP>(Leer<FI>(P->Izq, N), Leer<FD>(P->Der, N), P->Extra, v))                                \
            return false;                                                                                      \
        break;
#define EVALION_CASOS_DER(OP, FI) EVALION_CASO(OP, FI, 0) EVALION_CASO(OP, FI, 1) EVALION_CASO(OP, FI, 2)
#define EVALION_CASOS(OP) EVALION_CASOS_DER(OP, 0) EVALION_CASOS_DER(OP, 1) EVALION_CASOS_DER(OP, 2)
    for (const Paso *P = F->Pasos;; ++P) {
        double v;
        switch (P->Codigo) {
            EVALION_CASOS(P_CARGAR)
            EVALION_CASOS(P_NEGAR)
            EVALION_CASOS(P_SUMA)
            EVALION_CASOS(P_RESTA)
            EVALION_CASOS(P_COMPARAR)
            EVALION_CASOS(P_POR)
            EVALION_CASOS(P_ENTRE)
            EVALION_CASOS(P_POTENCIA)
        case CODIGO_PEDIR: {
            if constexpr (!Pedir) {
                (void)Estado, (void)Ajustes, (void)Rep, (void)Respuesta;
#if defined(__GNUC__)
                __builtin_unreachable();
#endif
            }
            if (!Instalada(Estado->AlPedirVariable))
                return false;
            Texto Nombre;
            std::memcpy(&Nombre, &P->Izq, sizeof Nombre);
            char Pedido[EVALION_LARGO_CADENA];
            CopiarPedido(F, Nombre, Pedido);
            VaciarResultado(Respuesta);
            if (F->Ajustar)
                Ajustes.Prestar();
            PedirVariableAlAnfitrion(Estado, Pedido, &Respuesta);
            if (F->Ajustar)
                Ajustes.Recobrar();
            if (Respuesta.Error != 0 || Respuesta.Tipo != TIPO_NUMERO) {
                Rep.Ultima = &Respuesta;
                return false;
            }
            v = Rep.Numeros[Rep.Cuantos++] = Respuesta.Numero;
            break;
        }
        default: // Traducir writes no other code
#if defined(__GNUC__)
            __builtin_unreachable();
#else
            return false;
#endif
        }
        if (P->Fin) {
            Valor = v;
            return true;
        }
        N[P->A] = v;
    }
#undef EVALION_CASOS
#undef EVALION_CASOS_DER
#undef EVALION_CASO
}

} // namespace

FORMULAPREPARADA *Preparar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error)
{
    if (Expresion == nullptr || Expresion[0] == '\0') {
        Error.Numero = 0;
        Error.Cadena[0] = '\0';
        Error.Tipo = 0;
        Error.Error = E_OPERANDO;
        Error.Posicion = 0;
        return nullptr;
    }
    // Literals are converted and constants folded under the engine's settings, as in an
    // analysis; the lexer's record is this one, and evaluates the form once when it asks
    // the host nothing.
    ESTADODEANALISIS Lector;
    Inicializar(&Lector, SinVariable(), SinFuncion(), Estado->SepMillar, Estado->SepDecimal);
    const PendientesAnfitrion Pendientes = EntrarAlMotor(&Lector);
    Lista<Pieza> Piezas;
    Lista<char> Textos;
    const bool Leido = Leer(Estado, Expresion, Lector, Piezas, Textos);
    if (!Leido) {
        SalirDelMotor(&Lector, Pendientes);
        SinMemoria(Error);
        return nullptr;
    }
    Compilador C(Piezas.Datos);
    C.Compilar();
    SalirDelMotor(&Lector, Pendientes);
    if (C.SinMemoria() || Textos.SinMemoria) {
        SinMemoria(Error);
        return nullptr;
    }

    auto *F = static_cast<FORMULAPREPARADA *>(std::calloc(1, sizeof(FORMULAPREPARADA)));
    if (F == nullptr) {
        SinMemoria(Error);
        return nullptr;
    }
    F->Instrucciones = C.Codigo.Cuantos;
    F->Fallidas = C.Fallos.Cuantos;
    F->LargoTextos = Textos.Cuantos;
    F->Tokens = Piezas.Cuantos;
    F->Ranuras = static_cast<uint16_t>(C.Ranuras);
    const char Relleno[COPIA_CORTA] = {};
    Textos.Agregar(Relleno, COPIA_CORTA);
    if (Textos.SinMemoria) {
        std::free(F);
        SinMemoria(Error);
        return nullptr;
    }
    F->Textos = Textos.Soltar();
    F->CuantosNombres = OrdenarUsos(C.Usos.Datos, C.Usos.Cuantos, F->Textos);
    const uint32_t Nombres = F->CuantosNombres;
    F->Codigo = C.Codigo.Soltar();
    F->Fallos = C.Fallos.Soltar();
    C.Usos.Cuantos = Nombres;
    F->Nombres = C.Usos.Soltar();
    F->Direcciones = static_cast<const double **>(std::calloc(Nombres ? Nombres : 1, sizeof(const double *)));
    if (F->Direcciones == nullptr) {
        Liberar(F);
        SinMemoria(Error);
        return nullptr;
    }
    // A variable's uses know which entry of the list binds them.
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        Instruccion &I = F->Codigo[k];
        if (I.Codigo != O_VARIABLE)
            continue;
        for (uint32_t n = 0; n < Nombres; ++n)
            if (F->Nombres[n].Argumentos < 0 && MismoNombre(F->Textos, F->Nombres[n].Nombre, I.U.Nombre))
                I.U.Nombre.Extra = static_cast<uint16_t>(n);
    }

    Clasificar(F);
    // A form that asks nothing gives one answer: an error refuses it.
    if (Nombres == 0) {
        Inicializar(&Lector, SinVariable(), SinFuncion(), '\0', '\0');
        const BLOQUEDEDATOS R = Evaluar(F, &Lector);
        if (R.Error != 0) {
            Liberar(F);
            std::memcpy(&Error, &R, sizeof R);
            return nullptr;
        }
    }
    return F;
}

size_t Tamano(const FORMULAPREPARADA *F, uint32_t &Tokens)
{
    Tokens = F->Tokens;
    return sizeof *F + F->Instrucciones * sizeof(Instruccion) + F->Fallidas * sizeof(Fallo) + F->LargoTextos +
           F->CuantosNombres * (sizeof(Uso) + sizeof(const double *)) + F->CuantosPasos * sizeof(Paso);
}

void Liberar(FORMULAPREPARADA *F)
{
    if (F == nullptr)
        return;
    std::free(F->Codigo);
    std::free(F->Fallos);
    std::free(F->Textos);
    std::free(F->Nombres);
    std::free(F->Direcciones);
    std::free(F->Pasos);
    std::free(F);
}

const char *NombreUsado(const FORMULAPREPARADA *F, int32_t Indice, int32_t *Argumentos)
{
    if (F == nullptr || Indice < 0 || static_cast<uint32_t>(Indice) >= F->CuantosNombres)
        return nullptr;
    const Uso &U = F->Nombres[Indice];
    if (Argumentos != nullptr)
        *Argumentos = U.Argumentos;
    return F->Textos + U.Nombre.Inicio;
}

void Opciones(FORMULAPREPARADA *F, int32_t Opciones)
{
    if (F == nullptr)
        return;
    F->Opciones = Opciones;
    Clasificar(F);
}

int32_t Vincular(FORMULAPREPARADA *F, const char *Variable, const double *Direccion)
{
    if (F == nullptr || Variable == nullptr)
        return 0;
    const size_t Largo = std::strlen(Variable);
    int32_t Usos = 0;
    for (uint32_t n = 0; n < F->CuantosNombres; ++n) {
        const Uso &U = F->Nombres[n];
        if (U.Argumentos >= 0 || U.Nombre.Largo != Largo || std::memcmp(F->Textos + U.Nombre.Inicio, Variable, Largo))
            continue;
        F->Direcciones[n] = Direccion;
        for (uint32_t k = 0; k < F->Instrucciones; ++k) {
            Instruccion &I = F->Codigo[k];
            if ((I.Codigo == O_VARIABLE || I.Codigo == O_VINCULADA) && I.U.Nombre.Extra == n) {
                I.Codigo = Direccion ? O_VINCULADA : O_VARIABLE;
                ++Usos;
            }
        }
    }
    Clasificar(F);
    return Usos;
}

namespace {

// A form of numbers only: false when the blocks must decide, with Rep for them.
EVALION_SIEMPRE_EN_LINEA bool EvaluarNumerico(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double &Valor,
                                              Repeticion &Rep, BLOQUEDEDATOS &Respuesta)
{
    double N[RANURAS_NUMERICAS];
    AjustesDeEvaluacion Ajustes(Estado);
    if (F->Ajustar)
        Ajustes.Entrar();
    const bool Hecho = EvaluarNumeros<true>(F, Estado, Ajustes, N, Valor, Rep, Respuesta);
    if (F->Ajustar)
        Ajustes.Salir();
    return Hecho;
}

// A form of numbers and bound variables only: a function of its own, with nothing of the
// requests in its frame. False on a division by zero.
EVALION_SIEMPRE_EN_LINEA bool EvaluarSinPeticiones(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double &Valor)
{
    double N[RANURAS_NUMERICAS];
    Repeticion SinRep;          // never used without requests
    BLOQUEDEDATOS SinRespuesta; // nor this
    AjustesDeEvaluacion Ajustes(Estado); // where the switch keeps the host's settings
    if (F->Ajustar)
        Ajustes.Entrar();
    const bool Hecho = EvaluarNumeros<false>(F, nullptr, Ajustes, N, Valor, SinRep, SinRespuesta);
    if (F->Ajustar)
        Ajustes.Salir();
    return Hecho;
}

// One request of the block evaluation, as the analysis makes it: A emptied, the engine's own
// answer when no callback is installed, else the host asked under its settings (Ajustes,
// when they are switched) with the name in a buffer of its own, and its answer completed.
template <class TLlamada>
inline void Pedir(const FORMULAPREPARADA *F, const Texto &T, bool HayPeticion, int32_t SinPeticion,
                  const AjustesDeEvaluacion *Ajustes, BLOQUEDEDATOS &A, TLlamada Llamada)
{
    VaciarResultado(A);
    if (!HayPeticion) {
        CopiarPedido(F, T, A.Cadena);
        A.Error = SinPeticion;
        return;
    }
    char Nombre[EVALION_LARGO_CADENA];
    CopiarPedido(F, T, Nombre);
    if (Ajustes)
        Ajustes->Prestar();
    Llamada(Nombre);
    if (Ajustes)
        Ajustes->Recobrar();
    CompletarRespuesta(A);
}

EVALION_NOINLINE void EvaluarBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R,
                                     const Repeticion *Rep)
{
    const bool Ajustar = F->Ajustar;
    AjustesDeEvaluacion Ajustes(Estado);
    BLOQUEDEDATOS Pila[RANURAS_EN_PILA];
    BLOQUEDEDATOS *Otras = Pila; // slots 1, 2, ... at Otras[0], Otras[1], ...
    if (F->Ranuras > RANURAS_EN_PILA + 1) {
        Otras = static_cast<BLOQUEDEDATOS *>(std::malloc((F->Ranuras - 1u) * sizeof(BLOQUEDEDATOS)));
        if (Otras == nullptr) {
            SinMemoria(R);
            return;
        }
    }
    uint32_t Pedidas = 0; // variable requests so far, for the ones Rep answers
    if (Ajustar)
        Ajustes.Entrar();
    const Instruccion *I = F->Codigo;
    BLOQUEDEDATOS *Mal = nullptr; // the block of the first error
    for (;; ++I) {
        BLOQUEDEDATOS &A = I->A ? Otras[I->A - 1] : R;
        switch (I->Codigo) {
        case O_NUMERO:
            PonerNumero(A, I->U.Numero);
            continue;
        case O_CADENA: {
            const size_t Largo = I->U.Nombre.Largo;
            std::memcpy(A.Cadena, F->Textos + I->U.Nombre.Inicio, Largo);
            std::memset(A.Cadena + Largo, 0, sizeof A.Cadena - Largo);
            A.Numero = 0;
            A.Tipo = TIPO_CADENA;
            A.Error = 0;
            continue;
        }
        case O_VARIABLE:
            if (Rep != nullptr && Pedidas <= Rep->Cuantos) {
                // Asked already by the steps: the same answer, without the host.
                if (Pedidas < Rep->Cuantos) {
                    PonerNumero(A, Rep->Numeros[Pedidas++]);
                    continue;
                }
                if (Rep->Ultima != nullptr) {
                    ++Pedidas;
                    std::memcpy(&A, Rep->Ultima, sizeof A);
                    CompletarRespuesta(A);
                    if (A.Error) {
                        Mal = &A;
                        break;
                    }
                    continue;
                }
            }
            ++Pedidas;
            Pedir(F, I->U.Nombre, Instalada(Estado->AlPedirVariable), E_VARIABLE, Ajustar ? &Ajustes : nullptr, A,
                  [&](char *Nombre) { PedirVariableAlAnfitrion(Estado, Nombre, &A); });
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        case O_VINCULADA:
            PonerNumero(A, *F->Direcciones[I->U.Nombre.Extra]);
            continue;
        case O_FUNCION:
            Pedir(F, I->U.Nombre, Instalada(Estado->AlPedirFuncion), E_FUNCION, Ajustar ? &Ajustes : nullptr, A,
                  [&](char *Nombre) { // the arguments in slots A+1 ...
                      PedirFuncionAlAnfitrion(Estado, Nombre, &Otras[I->A], I->U.Nombre.Extra, &A);
                  });
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        case O_SIGNO:
            AplicarSigno(A, I->Extra != 0);
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        case O_NIVEL1:
            OperarNivel1(OPERADORES[I->Extra], A, Otras[I->A]);
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        case O_NIVEL1K: {
            BLOQUEDEDATOS &Izq = A;
            if (!EsNumero(Izq)) {
                PonerError(Izq, E_INCOMPATIBLES);
                Mal = &Izq;
                break;
            }
            const double a = Izq.Numero, b = I->U.Numero;
            switch (OPERADORES[I->Extra]) {
            case '+': PonerNumero(Izq, a + b); break;
            case '-': PonerNumero(Izq, a - b); break;
            default: PonerNumero(Izq, ComparaNumeros(OPERADORES[I->Extra], a, b) ? 1.0 : 0.0); break;
            }
            continue;
        }
        case O_TERMINO:
            OperarTermino(I->Extra, A, Otras[I->A]);
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        case O_TERMINOK: {
            const double b = I->U.Numero;
            if (!EsNumero(A))
                PonerError(A, E_INCOMPATIBLES);
            else if (I->Extra == '*')
                PonerNumero(A, A.Numero * b);
            else if (b == 0.0)
                PonerError(A, E_DIVISION);
            else
                PonerNumero(A, A.Numero / b);
            if (A.Error) {
                Mal = &A;
                break;
            }
            continue;
        }
        case O_POTENCIA: {
            BLOQUEDEDATOS &Exponente = Otras[I->A];
            if (I->Extra == 0) {
                PonerPotencia(EsNumero(A), A.Numero, Exponente, A);
                if (A.Error) {
                    Mal = &A;
                    break;
                }
            } else if (EsNumero(A) && EsNumero(Exponente)) {
                PonerNumero(A, Elevar(A.Numero, Exponente.Numero));
            } else {
                PonerError(Exponente, E_INCOMPATIBLES);
                Mal = &Exponente;
                break;
            }
            continue;
        }
        case O_POTENCIAK:
            if (!EsNumero(A)) {
                PonerError(A, E_INCOMPATIBLES);
                Mal = &A;
                break;
            }
            PonerNumero(A, Elevar(A.Numero, I->U.Numero));
            continue;
        case O_FALLAR:
            if (I->Extra == F_OPERANDO) {
                A.Numero = 0;
                A.Cadena[0] = '\0';
            } else if (I->Extra == F_ERROR) {
                A.Tipo = 0;
            }
            A.Error = I->U.Error;
            Mal = &A;
            break;
        default: // O_FIN
            Mal = nullptr;
            break;
        }
        break;
    }
    if (Ajustar)
        Ajustes.Salir();
    if (Mal == nullptr) {
        R.Posicion = 0;
    } else {
        if (Mal != &R)
            std::memcpy(&R, Mal, sizeof R);
        const Fallo &Donde = F->Fallos[I->Fallo];
        if (Donde.Reemplazo)
            R.Error = Donde.Reemplazo;
        R.Posicion = Donde.Posicion;
    }
    if (Otras != Pila)
        std::free(Otras);
}

} // namespace

namespace {

// Everything but the forms of numbers and bound variables: kept out of Evaluar, whose frame
// is then that of the shortest evaluations.
EVALION_NOINLINE void EvaluarResto(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    if (F == nullptr) {
        R.Numero = 0;
        R.Cadena[0] = '\0';
        R.Tipo = 0;
        R.Error = E_OPERANDO;
        R.Posicion = 0;
        return;
    }
    if (!F->Numerico || F->SinPeticiones) { // a division by zero of the steps comes here too
        EvaluarBloques(F, Estado, R, nullptr);
        return;
    }
    Repeticion Rep;
    double Valor;
    // The host's answer is received in R, which is free until the result is written.
    if (EvaluarNumerico(F, Estado, Valor, Rep, R)) {
        PonerNumero(R, Valor);
        R.Posicion = 0;
        return;
    }
    if (Rep.Ultima == nullptr) {
        EvaluarBloques(F, Estado, R, &Rep);
        return;
    }
    BLOQUEDEDATOS Respuesta;
    std::memcpy(&Respuesta, &R, sizeof Respuesta);
    Rep.Ultima = &Respuesta;
    EvaluarBloques(F, Estado, R, &Rep);
}

} // namespace

BLOQUEDEDATOS Evaluar(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado)
{
    BLOQUEDEDATOS R;
    double Valor;
    // Most texts without names fold to one number; forms of numbers and bound variables
    // need neither the record nor blocks.
    if (F != nullptr && (F->Constante || F->SinPeticiones)) {
        if (F->Constante)
            Valor = F->Valor;
        if (F->Constante || EvaluarSinPeticiones(F, Estado, Valor)) {
            PonerNumero(R, Valor);
            R.Posicion = 0;
            return R;
        }
    }
    EvaluarResto(F, Estado, R);
    return R;
}

} // namespace Motor
