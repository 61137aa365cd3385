// The compiler of prepared forms: the walk of the grammar (Recorrido.h) with a back-end that
// emits the program (Programa.h) as it goes, its values being slots and the numbers known
// while preparing; and the form built around the program, which the preparation (forma/)
// then gives its ways of evaluating.
//
// One instruction is emitted for every step an analysis takes with a value: a literal into
// a block, a request, an operator, a sign. Literals stay constants until an operation needs
// them in a block, and operations of two constants are done once, here, by the same rules
// and under the same floating-point settings as an evaluation. Each instruction that can
// fail gets the place where its error ends up, read from the text that follows it.
#include <cstdlib>
#include <cstring>

#include "Peticiones.h"
#include "Programa.h"
#include "Recorrido.h"

namespace Motor {

namespace {

// A value in the walk: the slot it goes into, and its number when it is known while
// preparing. A text literal is known to be one, for the operations it makes fail whatever
// the host answers.
struct Ranura {
    uint32_t t;
    bool Constante;
    bool EsTexto;
    double Numero;
};

struct Compilador {
    ESTADODEANALISIS Lector; // the lexer's record, with the host's separators
    Lista<Instruccion> Codigo;
    Lista<Fallo> Fallos;
    Lista<Uso> Usos;
    Lista<char> Textos;
    uint32_t Ranuras = 1;
    int32_t Abiertos = 0; // parentheses open around the current point
    bool Parado = false;  // an instruction that always fails was emitted: nothing after it runs

    bool SinMemoria() const
    {
        return Codigo.SinMemoria || Fallos.SinMemoria || Usos.SinMemoria || Textos.SinMemoria;
    }
};

Dato DeNumero(double Valor) { Dato D{}; D.Numero = Valor; return D; }
Dato DeTexto(Texto T) { Dato D{}; D.Nombre = T; return D; }

// A name or a literal into Textos, NUL-terminated.
Texto Guardar(Compilador &C, const char *Desde, size_t Largo)
{
    const Texto T{C.Textos.Cuantos, static_cast<uint16_t>(Largo), 0};
    C.Textos.Agregar(Desde, static_cast<uint32_t>(Largo));
    C.Textos.Agregar('\0');
    return T;
}

// What happens to an error made at this point on its way out: each open parenthesis passes
// a ")" or, finding none, makes it E_PARENTESIS where it stands. The ")" are read from the
// text after the current token, which the scan has passed.
uint32_t NuevoFallo(Compilador &C)
{
    const ESTADODEANALISIS &L = C.Lector;
    Fallo F{L.InicioToken + 1, 0};
    if (C.Abiertos > 0 && L.TokenActual != ')') {
        F.Reemplazo = E_PARENTESIS;
    } else if (C.Abiertos > 0) {
        const char *p = L.Cursor; // just after the current ")"
        F.Posicion = static_cast<int32_t>(p - L.Texto) + 1;
        for (int32_t g = 1; g < C.Abiertos; ++g) {
            p = TrasSimbolo(p, ')');
            if (p == nullptr) {
                F.Reemplazo = E_PARENTESIS;
                break;
            }
            F.Posicion = static_cast<int32_t>(p - L.Texto) + 1;
        }
    }
    C.Fallos.Agregar(F);
    return C.Fallos.Cuantos - 1;
}

void Emitir(Compilador &C, uint8_t Operacion, uint32_t A, uint8_t Extra, uint32_t Fallo, Dato D = Dato{})
{
    if (A + 1 > C.Ranuras)
        C.Ranuras = A + 1;
    Instruccion I{};
    I.Codigo = Operacion;
    I.Extra = Extra;
    I.A = static_cast<uint16_t>(A);
    I.Fallo = Fallo;
    I.U = D;
    C.Codigo.Agregar(I);
}

// An instruction that may fail; when it fails whatever the host answers (Siempre), it ends
// the program.
void EmitirConFallo(Compilador &C, uint8_t Operacion, uint32_t A, uint8_t Extra, Dato D = Dato{},
                    bool Siempre = false)
{
    const uint32_t Fallo = NuevoFallo(C);
    Emitir(C, Operacion, A, Extra, Fallo, D);
    C.Parado = C.Parado || Siempre;
}

void Materializar(Compilador &C, Ranura &V)
{
    if (!V.Constante)
        return;
    Emitir(C, O_NUMERO, V.t, 0, 0, DeNumero(V.Numero));
    V.Constante = false;
}

void Fallar(Compilador &C, uint32_t A, int32_t Error, uint8_t Forma)
{
    Dato D{};
    D.Error = Error;
    EmitirConFallo(C, O_FALLAR, A, Forma, D, true);
}

struct Compilacion {
    using Registro = Compilador;
    using Valor = Ranura;
    static constexpr bool ESPERA_TEXTOS = false;

    struct Argumentos {
        uint32_t Cuantos;
    };

    static ESTADODEANALISIS *Lector(Registro *C) { return &C->Lector; }
    static bool Fallido(const Registro *C, const Valor &) { return C->Parado; }
    static bool Detenido(const Registro *C) { return C->Parado; }

    static Valor Esperar(const Registro *, const Valor &V) { return V; }
    static Valor Derecho(const Valor &V) { return Valor{V.t + 1, false, false, 0.0}; }

    static void Numero(Registro *, Valor &V, double Numero) { V = Valor{V.t, true, false, Numero}; }
    static void Cadena(Registro *C, Valor &V, const char *Literal)
    {
        Emitir(*C, O_CADENA, V.t, 0, 0, DeTexto(Guardar(*C, Literal, std::strlen(Literal))));
        V = Valor{V.t, false, true, 0.0};
    }
    static void Signo(Registro *C, Valor &V, bool Negar)
    {
        if (V.Constante)
            V.Numero = Negar ? -V.Numero : V.Numero;
        else
            EmitirConFallo(*C, O_SIGNO, V.t, Negar ? 1 : 0, Dato{}, V.EsTexto);
    }

    // Izq is what Destino held before the right side was evaluated into the slot above it.
    static void Nivel1(Registro *C, int32_t Operador, const Valor &Izq, Valor &Der, Valor &Destino)
    {
        if (Izq.Constante && Der.Constante) {
            Destino.Numero = Nivel1Numeros(Operador, Izq.Numero, Der.Numero);
            return;
        }
        const bool Siempre = (Izq.EsTexto && (Der.Constante || Operador == '-')) ||
                             (Der.EsTexto && (Izq.Constante || Operador == '-'));
        Materializar(*C, Destino);
        if (Der.Constante)
            EmitirConFallo(*C, O_NIVEL1K, Destino.t, IndiceOperador(Operador), DeNumero(Der.Numero), Siempre);
        else
            EmitirConFallo(*C, O_NIVEL1, Destino.t, IndiceOperador(Operador), Dato{}, Siempre);
        Destino.EsTexto = false;
    }
    static void Termino(Registro *C, int32_t Operador, const Valor &Izq, Valor &Der, Valor &Destino)
    {
        double v;
        if (Izq.Constante && Der.Constante && TerminoNumeros(Operador, Izq.Numero, Der.Numero, v)) {
            Destino.Numero = v;
            return;
        }
        Materializar(*C, Destino);
        if (Izq.Constante && Der.Constante)
            return Fallar(*C, Destino.t, E_DIVISION, F_SINVALOR);
        const bool Siempre =
            Izq.EsTexto || Der.EsTexto || (Operador == '/' && Der.Constante && Der.Numero == 0.0);
        const uint8_t Op = static_cast<uint8_t>(Operador);
        if (Der.Constante)
            EmitirConFallo(*C, O_TERMINOK, Destino.t, Op, DeNumero(Der.Numero), Siempre);
        else
            EmitirConFallo(*C, O_TERMINO, Destino.t, Op, Dato{}, Siempre);
        Destino.EsTexto = false;
    }
    static void Potencia(Registro *C, const Valor &Base, Valor &Exponente, Valor &Destino)
    {
        if (Base.Constante && Exponente.Constante) {
            Destino.Numero = Elevar(Base.Numero, Exponente.Numero);
            return;
        }
        const bool Siempre = Base.EsTexto || Exponente.EsTexto;
        Materializar(*C, Destino);
        if (Exponente.Constante)
            EmitirConFallo(*C, O_POTENCIAK, Destino.t, 0, DeNumero(Exponente.Numero), Siempre);
        else
            EmitirConFallo(*C, O_POTENCIA, Destino.t, 0, Dato{}, Siempre);
        Destino.EsTexto = false;
    }

    static void Variable(Registro *C, const Nombre &N, Valor &R)
    {
        const Texto T = Guardar(*C, N.Texto, N.Largo);
        EmitirConFallo(*C, O_VARIABLE, R.t, 0, DeTexto(T));
        C->Usos.Agregar(Uso{static_cast<uint32_t>(N.Texto - C->Lector.Texto), T, -1});
        R = Valor{R.t, false, false, 0.0};
    }
    static void Funcion(Registro *C, const Nombre &N, const Argumentos &A, Valor &R)
    {
        Texto T = Guardar(*C, N.Texto, N.Largo);
        T.Extra = static_cast<uint16_t>(A.Cuantos);
        EmitirConFallo(*C, O_FUNCION, R.t, 0, DeTexto(T));
        C->Usos.Agregar(Uso{static_cast<uint32_t>(N.Texto - C->Lector.Texto), T, static_cast<int32_t>(A.Cuantos)});
        R = Valor{R.t, false, false, 0.0};
    }
    // The arguments stand side by side above the call's slot.
    static Valor Argumento(Registro *, const Argumentos &A, const Valor &R)
    {
        return Valor{R.t + 1 + A.Cuantos, false, false, 0.0};
    }
    static bool Agregar(Registro *C, Argumentos &A, Valor &Argumento)
    {
        Materializar(*C, Argumento);
        ++A.Cuantos;
        return true;
    }
    static void Soltar(Argumentos &) {}

    static void FallarSinValor(Registro *C, Valor &V, int32_t Codigo) { Fallar(*C, V.t, Codigo, F_SINVALOR); }
    static void FallarCodigo(Registro *C, Valor &V, int32_t Codigo)
    {
        Materializar(*C, V);
        Fallar(*C, V.t, Codigo, F_CODIGO);
    }
    static void Abrir(Registro *C, int32_t Cuantos) { C->Abiertos += Cuantos; }
    static void Cerrar(Registro *C, int32_t Cuantos) { C->Abiertos -= Cuantos; }
};

// The uses in the order of the text, each name once (a function once per count).
uint32_t OrdenarUsos(Uso *Usos, uint32_t Cuantos, const char *Textos)
{
    for (uint32_t k = 1; k < Cuantos; ++k)
        for (uint32_t j = k; j > 0 && Usos[j - 1].Lugar > Usos[j].Lugar; --j) {
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

// The tokens of the text, for the size a form takes per token.
uint32_t ContarTokens(ESTADODEANALISIS *L)
{
    LeerCaracter(L, LEER_REINICIAR);
    uint32_t Cuantos = 1;
    while (SiguienteToken(L) != T_FIN)
        ++Cuantos;
    return Cuantos;
}

// The form around a compiled program; null, with E_MEMORIA in Error, when memory runs out.
FORMULAPREPARADA *Formar(Compilador &C, BLOQUEDEDATOS &Error)
{
    auto *F = static_cast<FORMULAPREPARADA *>(std::calloc(1, sizeof(FORMULAPREPARADA)));
    const char Relleno[COPIA_CORTA] = {};
    const uint32_t LargoTextos = C.Textos.Cuantos;
    C.Textos.Agregar(Relleno, COPIA_CORTA);
    if (F == nullptr || C.SinMemoria()) {
        std::free(F);
        PonerErrorGeneral(Error, E_MEMORIA);
        return nullptr;
    }
    F->Instrucciones = C.Codigo.Cuantos;
    F->Fallidas = C.Fallos.Cuantos;
    F->LargoTextos = LargoTextos;
    F->Ranuras = static_cast<uint16_t>(C.Ranuras);
    F->Textos = C.Textos.Soltar();
    const uint32_t Nombres = OrdenarUsos(C.Usos.Datos, C.Usos.Cuantos, F->Textos);
    F->CuantosNombres = Nombres;
    F->Codigo = C.Codigo.Soltar();
    F->Fallos = C.Fallos.Soltar();
    C.Usos.Cuantos = Nombres;
    F->Nombres = C.Usos.Soltar();
    F->Direcciones = static_cast<const double **>(std::calloc(Nombres ? Nombres : 1, sizeof(const double *)));
    F->Columnas = static_cast<bool *>(std::calloc(Nombres ? Nombres : 1, sizeof(bool)));
    F->Nativas = static_cast<FuncionNativa *>(std::calloc(Nombres ? Nombres : 1, sizeof(FuncionNativa)));
    if (F->Direcciones == nullptr || F->Columnas == nullptr || F->Nativas == nullptr) {
        SoltarPrograma(F);
        PonerErrorGeneral(Error, E_MEMORIA);
        return nullptr;
    }
    // A variable's or a call's uses know which entry of the list binds them (a call's count
    // of arguments is read there from then on).
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        Instruccion &I = F->Codigo[k];
        if (I.Codigo != O_VARIABLE && I.Codigo != O_FUNCION)
            continue;
        const int32_t Argumentos = I.Codigo == O_VARIABLE ? -1 : I.U.Nombre.Extra;
        for (uint32_t n = 0; n < Nombres; ++n)
            if (F->Nombres[n].Argumentos == Argumentos && MismoNombre(F->Textos, F->Nombres[n].Nombre, I.U.Nombre))
                I.U.Nombre.Extra = static_cast<uint16_t>(n);
    }
    return F;
}

} // namespace

void SoltarPrograma(FORMULAPREPARADA *F)
{
    std::free(F->Codigo);
    std::free(F->Fallos);
    std::free(F->Textos);
    std::free(F->Nombres);
    std::free(F->Direcciones);
    std::free(F->Columnas);
    std::free(F->Nativas);
    std::free(F->Pasos);
    std::free(F);
}

FORMULAPREPARADA *Compilar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error)
{
    if (Estado == nullptr || Expresion == nullptr || Expresion[0] == '\0') {
        PonerErrorGeneral(Error, E_OPERANDO);
        return nullptr;
    }
    // Literals are converted and constants folded under the engine's settings, as in an
    // analysis. The separators are the ones in force now, as for an analysis that starts.
    Compilador C;
    Inicializar(&C.Lector, SinVariable(), SinFuncion(), Estado->SepMillar, Estado->SepDecimal);
    CargarTexto(&C.Lector, Expresion);
    const PendientesAnfitrion Pendientes = EntrarAlMotor(&C.Lector);
    Ranura V{0, false, false, 0.0};
    Recorrer<Compilacion>(&C, V);
    if (!C.Parado) {
        Materializar(C, V);
        Emitir(C, O_FIN, 0, 0, 0);
    }
    const uint32_t Tokens = ContarTokens(&C.Lector);
    SalirDelMotor(&C.Lector, Pendientes);
    FORMULAPREPARADA *F = Formar(C, Error);
    if (F != nullptr)
        F->Tokens = Tokens;
    return F;
}

} // namespace Motor
