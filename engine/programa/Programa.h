// The program of a prepared form: its instruction set, the failures its instructions carry,
// the names it asks for, the steps on doubles of a form of numbers only, and the form that
// holds them. The compiler (Compilador.cpp) writes it, the machine (Maquina.cpp) runs it.
//
// Why a linear program can give the analysis's answers: until its first error, the analysis
// reads the same tokens whatever the host answers (values never steer it, only errors do),
// and after the first error it does only one thing more: every parenthesis still open
// passes a ")" that follows or, missing one, turns the error into E_PARENTESIS. Both are
// fixed by the text, so each instruction that can fail carries where the error ends up and
// whether it becomes E_PARENTESIS. A syntax error is an instruction that fails always,
// after the requests that come before it, and so is an operation that fails whatever the
// host answers (a division by the constant 0): nothing after it is compiled.
//
// Blocks are numbered slots as the analysis's blocks are levels: an expression evaluated
// into slot t uses slots above t for its right operands and arguments, so that the
// arguments of a call stand side by side and the host gets them in place. Slot 0 is the
// block returned.
#ifndef EVALION_PROGRAMA_H
#define EVALION_PROGRAMA_H

#include <cstdlib>
#include <cstring>

#include "Parser.h"

namespace Motor {

// The instruction set. A is the slot an instruction writes.
enum Operacion : uint8_t {
    O_NUMERO,    // A = Numero
    O_CADENA,    // A = the text Nombre
    O_VARIABLE,  // A = the host's answer for the variable Nombre
    O_VINCULADA, // A = the number at Direcciones[Nombre.Extra]
    O_FUNCION,   // A = the host's answer for the function Nombre with A+1 .. A+n
                 // (n: Nombres[Nombre.Extra].Argumentos)
    O_SIGNO,     // the signs before A; Extra: they negate
    O_NIVEL1,    // A = A op A+1 (op: OPERADORES[Extra])
    O_NIVEL1K,   // A = A op Numero
    O_TERMINO,   // A = A * A+1 or A / A+1 (Extra: '*' or '/')
    O_TERMINOK,  // A = A * Numero or A / Numero
    O_POTENCIA,  // A = A ^ A+1
    O_POTENCIAK, // A = A ^ Numero
    O_FALLAR,    // A fails with Error (Extra: F_CODIGO or F_SINVALOR)
    O_NATIVA,    // A = Nativas[Nombre.Extra] of A+1 .. A+n (a function bound to C code)
    O_FIN        // A (slot 0) is the value
};

// The level-1 operators, by the index an instruction keeps of them.
constexpr int32_t OPERADORES[] = {'+', '-', '=', T_DISTINTO, '<', '>', T_MENORIGUAL, T_MAYORIGUAL};

inline uint8_t IndiceOperador(int32_t Token)
{
    uint8_t i = 0;
    while (OPERADORES[i] != Token)
        ++i;
    return i;
}

// How a failing instruction marks its block, as the grammar does at that point.
enum Forma : uint8_t {
    F_CODIGO,  // only the code, on the value (E_PARENTESIS, E_SEPARADOR, E_CIERREFUNCION, E_OPERADOR)
    F_SINVALOR // no value: 0, the empty text, no kind (E_OPERANDO, E_CARACTER)
};

// A text kept in the form: a name (NUL-terminated in Textos) or a literal.
struct Texto {
    uint32_t Inicio;
    uint16_t Largo;
    uint16_t Extra; // a variable's or a call's entry in Nombres (while compiling, a call's
                    // count of arguments)
};

// What an instruction works with besides its slot, by its code.
union Dato {
    double Numero;
    Texto Nombre;
    int32_t Error;
};

struct Instruccion {
    uint8_t Codigo;
    uint8_t Extra;
    uint16_t A;
    uint32_t Fallo; // index in Fallos of where a failure ends up
    Dato U;
};
static_assert(sizeof(Instruccion) == 16, "an instruction is 16 bytes");

// Where an error made at one instruction ends up: its 1-based position, and E_PARENTESIS
// when a parenthesis still open finds no ")".
struct Fallo {
    int32_t Posicion;
    int32_t Reemplazo; // 0 keeps the code
};

// A name the text uses: where it stands in the text, -1 arguments for a variable.
struct Uso {
    uint32_t Lugar;
    Texto Nombre;
    int32_t Argumentos;
    int32_t Marcas = 0; // a function bound to C code: what else the binding says of it (NATIVA_...)
};

// What a binding of C code may say besides the count of its arguments (A_VincularFuncion's
// Argumentos): a call with an argument that is no number asks the host instead of failing;
// and the operation it computes, which the machine code may then compute itself.
enum : int32_t {
    NATIVA_TEXTO_AL_ANFITRION = 0x100,
    NATIVA_OPERACION = 0xF000, // one of:
    NATIVA_RAIZ = 0x1000,      // sqrt(x), a zero +0
    NATIVA_ABS = 0x2000,       // fabs(x)
    NATIVA_SI = 0x3000,        // c (no zero, a NaN too) ? a : b, the chosen one's bits
};

// The steps of a form of numbers only: the slots' values without the rest of their blocks,
// each operand read where it is (a slot, a constant, a bound variable, or the value the step
// before has just made, still in a register), so that loading a literal or a variable is no
// step of its own. A DE_VALOR operand keeps its slot in Ranura too, where the rows in blocks
// read it.
enum Fuente : uint8_t { DE_RANURA, DE_CONSTANTE, DE_DIRECCION, DE_VALOR };
// Besides one step per operation, the compiler fuses two when the first one's slot is read
// only by the second, each operation still rounded as its own:
// P_PORMAS and P_PORMENOS are a product followed by the sum or difference with a constant
// (x*k+c, 3*x-7);
// P_MASPOR and P_MENOSPOR are a sum or difference whose right operand is a product:
// the step's own slot plus or minus Izq*Der (the terms of a polynomial, s+2*x, s-x*y);
// P_KPOR is a product of three whose first factor is a constant, Sumando: Sumando*Izq*Der
// (2*x*x, 3*x*y); P_MASKPOR and P_MENOSKPOR the slot plus or minus such a product.
enum OperacionNumerica : uint8_t {
    P_CARGAR, P_NEGAR, P_SUMA, P_RESTA, P_COMPARAR, P_POR, P_ENTRE, P_POTENCIA, P_PORMAS, P_PORMENOS, P_MASPOR,
    P_MENOSPOR, P_KPOR, P_MASKPOR, P_MENOSKPOR
};

// The fused sums of a product add to the value of their own slot.
constexpr bool SumaASuRanura(unsigned Op)
{
    return Op == P_MASPOR || Op == P_MENOSPOR || Op == P_MASKPOR || Op == P_MENOSKPOR;
}

// A function bound to C code of 0 to 4 doubles returning a double (A_VincularFuncion), kept
// as the host hands it over, cast to a pointer of no arguments.
using FuncionNativa = void (*)(void);
constexpr int32_t MAXIMO_NATIVOS = 4; // arguments of such a function

union OperandoPaso {
    double Numero;
    const double *Direccion;
    uint32_t Ranura;
    FuncionNativa Funcion;
};

constexpr uint8_t CodigoDePaso(unsigned Op, unsigned Izq, unsigned Der)
{
    return static_cast<uint8_t>(Op * 16 + Izq * 4 + Der);
}
// A variable asked for: its name in Izq, its rank among the form's requests in Der.
constexpr uint8_t CODIGO_PEDIR = CodigoDePaso(P_MENOSKPOR + 1, 0, 0);
// After the last step: its value is the form's.
constexpr uint8_t CODIGO_FIN = CODIGO_PEDIR + 1;
// A call of a function bound to C code: Izq.Funcion of the Extra slots from A+1.
constexpr uint8_t CODIGO_NATIVA = CODIGO_FIN + 1;
// The operation and the kinds of the operands of a step's code.
constexpr unsigned OperacionDePaso(uint8_t Codigo) { return Codigo / 16u; }
constexpr unsigned FuenteIzquierda(uint8_t Codigo) { return Codigo / 4u % 4u; }
constexpr unsigned FuenteDerecha(uint8_t Codigo) { return Codigo % 4u; }
// The value of the step before in a register, and the fused sums of products, pay where
// doubles are SSE registers; the x87 build (32-bit x86) keeps the smaller set of steps,
// which also keeps the 32-bit DLLs small.
// Where GCC takes the address of a label, the steps are also threaded code (Evaluacion.h).
#if defined(__GNUC__) && !defined(__i386__)
#define EVALION_PASOS_AMPLIOS 1
#else
#define EVALION_PASOS_AMPLIOS 0
#endif
constexpr bool PASOS_AMPLIOS = EVALION_PASOS_AMPLIOS != 0;
// Where a form keeps its own entry for A_Valor, which hosts call inline (Formula.h); the
// 32-bit build does not, which keeps the DLLs small, and its hosts call A_Valor.
#if defined(__i386__)
#define EVALION_VALOR_EN_FORMA 0
#else
#define EVALION_VALOR_EN_FORMA 1
#endif
// Where the light forms are also assembled into machine code of their own (x64/): x86-64
// Linux and 64-bit Windows, whose conventions and pages the writer knows.
#if EVALION_PASOS_AMPLIOS && defined(__x86_64__) && (defined(__linux__) || defined(_WIN64))
#define EVALION_ENSAMBLADO 1
#else
#define EVALION_ENSAMBLADO 0
#endif
// Requests a form of numbers only may make: as many as a text can hold (a one-letter name
// and an operator each), so that asking never sends a form to the blocks, whose deeper
// forms take their slots from the heap. Their answers are kept on the stack (4 KB).
constexpr uint32_t MAXIMO_PEDIDAS = EVALION_LARGO_EXPRESION / 2 + 1;
constexpr uint32_t RANURAS_EN_PILA = 6;    // besides slot 0; deeper forms take them from the heap
constexpr uint32_t RANURAS_NUMERICAS = 64; // of doubles, all of them on the stack

struct Paso {
    uint8_t Codigo; // CodigoDePaso of the operation and where its operands are
    uint8_t Extra;  // a comparison's operator
    uint8_t Fin;    // its value is the form's (a CODIGO_FIN step follows it)
    uint32_t A;     // the slot it writes
    OperandoPaso Izq, Der;
    double Sumando; // what P_PORMAS adds and P_PORMENOS subtracts; P_KPOR's first factor
};

// Names are kept NUL-terminated with room after them, so that a short one is copied as one
// fixed block of bytes rather than by a call.
constexpr uint32_t COPIA_CORTA = 16;

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

inline bool MismoNombre(const char *Textos, const Texto &a, const Texto &b)
{
    return a.Largo == b.Largo && std::memcmp(Textos + a.Inicio, Textos + b.Inicio, a.Largo) == 0;
}

// How many bound variables' addresses a form also keeps in itself, where its machine code
// reads them with one load.
constexpr uint32_t ENLACES_EN_FORMA = 8;

} // namespace Motor

// The entry for a number result of one form: its machine code (x64/) or the steps.
struct FORMULAPREPARADA;
typedef int32_t (*EvaluacionNativa)(const FORMULAPREPARADA *, ESTADODEANALISIS *, double *);
// The entry of A_Valor: the number, or a NaN for any other answer.
typedef double (*EvaluacionValor)(const FORMULAPREPARADA *);

struct FORMULAPREPARADA {
    // First, so that A_Valor's entry reaches it at the form's own address (formula/Enlace.cpp).
    EvaluacionValor Valor; // A_Valor's entry: the machine code's, or the steps' (null on 32-bit x86)
    Motor::Instruccion *Codigo;
    Motor::Fallo *Fallos;
    char *Textos;
    Motor::Uso *Nombres;        // each name once, in the order of the text
    const double **Direcciones; // per variable of Nombres: where it is bound, or null
    bool *Columnas;             // per variable of Nombres: bound to a column, one number per row
    Motor::FuncionNativa *Nativas; // per function of Nombres: the C code bound to it, or null
    Motor::Paso *Pasos;         // when Numerico
    uint32_t CuantosPasos;
    uint32_t CuantosNombres;
    uint32_t Instrucciones;
    uint32_t Fallidas; // entries of Fallos
    uint32_t LargoTextos;
    uint32_t Tokens;
    uint16_t Ranuras;
    bool Ajustes;       // it computes or asks: the floating-point settings are switched
    bool Numerico;      // only numbers and their operators, few slots: evaluated on doubles
    bool Ajustar;       // Ajustes, and the host did not choose its own settings
    bool SinPeticiones; // Numerico without requests
    bool Ligera;        // SinPeticiones and no step calls out (a power, C code): evaluated in the entry
    int32_t Opciones;
    bool Llama;         // some call is bound to C code
    EvaluacionNativa Nativa; // the entry for a number result: its machine code, or the steps'
    const double *Enlaces[Motor::ENLACES_EN_FORMA]; // with machine code: its first variables' addresses
    void *Ensamblado;        // the pages of that code, or null
    bool SinPaginas;         // the system refused pages for code once: none is asked for again
    size_t LargoEnsamblado;
    // The machine code's own entries where Nativa and Valor first count the evaluation in
    // course (a form that calls C code: Evaluacion.h, EnCurso).
    EvaluacionNativa NativaEnsamblada;
    EvaluacionValor ValorEnsamblado;
    int32_t EnCurso;  // evaluations in course that may run the host's code
    bool PorLiberar;  // released by the host while one was: the last one releases it
    void (*Soltar)(FORMULAPREPARADA *); // how the form is released (Liberar), for that last one
};

namespace Motor {

// A form of numbers only is also kept as steps on doubles: writes F's steps from its program
// and the bindings of the moment (Pasos.cpp); false when it is no such form or memory runs out.
// Sets SinPeticiones: the steps ask the host nothing.
bool Traducir(FORMULAPREPARADA *F);

// Options of a form, as bits: evaluate under the host's floating-point settings as they are.
enum : int32_t { AJUSTES_DEL_ANFITRION = 1 };

// The program of Expresion read with the separators of Estado, as a form whose evaluation is
// not chosen yet (Compilador.cpp); null, with the error in Error, for a syntax error that
// leaves nothing to evaluate, E_MEMORIA at position 0 when memory runs out.
FORMULAPREPARADA *Compilar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error);
// Frees what the program of a form holds on the heap, and the form.
void SoltarPrograma(FORMULAPREPARADA *F);

} // namespace Motor

#endif
