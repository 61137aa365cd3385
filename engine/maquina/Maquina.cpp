// The machine of prepared forms: it runs a program (Programa.h) on blocks, as the analysis
// would compute the same text, and runs the forms of numbers only as steps on doubles.
//
// Every operator, sign, request and division is computed through the one rule of it
// (Operaciones.h, Peticiones.h), never restated here. The steps of a form of numbers only
// give up (a division by zero, an answer that is no plain number) by handing what they
// asked so far to the block evaluation, which then gives the analysis's answer without
// asking the host a second time.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Evaluacion.h"


namespace Motor {

namespace {

// C code's answer to a call, as a host's: its value, or E_INCOMPATIBLES for an argument
// that is no number (a text). R comes emptied, under the host's settings.
inline void ResponderNativa(FuncionNativa Funcion, const BLOQUEDEDATOS *Parametros, int32_t Cuantos, BLOQUEDEDATOS &R)
{
    double Argumentos[MAXIMO_NATIVOS];
    for (int32_t a = 0; a < Cuantos; ++a) {
        if (!EsNumero(Parametros[a])) {
            R.Error = E_INCOMPATIBLES;
            return;
        }
        Argumentos[a] = Parametros[a].Numero;
    }
    R.Numero = LlamarNativa(nullptr, Funcion, static_cast<unsigned>(Cuantos), Argumentos);
    R.Tipo = TIPO_NUMERO;
}

// A call of C code bound to ask the host for a call with an argument that is no plain number
// (a text, or both kinds), and one such: the host answers it (as if the name were not bound).
inline bool TextoAlAnfitrion(const FORMULAPREPARADA *F, const Instruccion &I, const BLOQUEDEDATOS *Parametros)
{
    const Uso &U = F->Nombres[I.U.Nombre.Extra];
    if (!(U.Marcas & NATIVA_TEXTO_AL_ANFITRION))
        return false;
    for (int32_t a = 0; a < U.Argumentos; ++a)
        if (Parametros[a].Tipo != TIPO_NUMERO)
            return true;
    return false;
}

EVALION_NOINLINE void EvaluarBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R,
                                     const Repeticion *Rep)
{
    const bool Ajustar = F->Ajustar;
    AjustesDeEvaluacion Ajustes;
    BLOQUEDEDATOS Pila[RANURAS_EN_PILA];
    BLOQUEDEDATOS *Otras = Pila; // slots 1, 2, ... at Otras[0], Otras[1], ...
    if (F->Ranuras > RANURAS_EN_PILA + 1) {
        Otras = static_cast<BLOQUEDEDATOS *>(std::malloc((F->Ranuras - 1u) * sizeof(BLOQUEDEDATOS)));
        if (Otras == nullptr) {
            PonerErrorGeneral(R, E_MEMORIA);
            return;
        }
    }
    uint32_t Pedidas = 0;  // variable requests so far, for the ones Rep answers
    uint32_t Llamadas = 0; // calls of C code so far, likewise
    if (Ajustar)
        Ajustes.Entrar();
    // One case per instruction, each through the rule of its operation. An instruction that
    // may fail goes on with the next one unless its block, A, holds an error; the run ends
    // there, or at O_FIN, with the instruction where it ended.
    const auto Ejecutar = [&]() -> const Instruccion * {
        for (const Instruccion *I = F->Codigo;; ++I) {
            BLOQUEDEDATOS &A = I->A ? Otras[I->A - 1] : R;
            switch (I->Codigo) {
            case O_NUMERO:
                PonerNumero(A, I->U.Numero);
                continue;
            case O_CADENA:
                PonerTexto(A, F->Textos + I->U.Nombre.Inicio, I->U.Nombre.Largo);
                continue;
            case O_VARIABLE:
                if (Rep != nullptr && Pedidas < Rep->Cuantos) { // asked already by the steps: the same answer
                    PonerNumero(A, Rep->Numeros[Pedidas++]);
                    continue;
                }
                if (Rep != nullptr && Pedidas == Rep->Cuantos && Rep->Ultima != nullptr) {
                    ++Pedidas;
                    std::memcpy(&A, Rep->Ultima, sizeof A);
                    CompletarRespuesta(A);
                } else {
                    ++Pedidas;
                    Pedir(Instalada(Estado->AlPedirVariable), E_VARIABLE,
                          [&](char *Destino) { CopiarPedido(F, I->U.Nombre, Destino); }, Ajustar, Ajustes, A,
                          [&](char *Nombre) { LlamarVariable(Estado, Nombre, &A); });
                }
                break;
            case O_VINCULADA:
                PonerNumero(A, *F->Direcciones[I->U.Nombre.Extra]);
                continue;
            case O_NATIVA:
                if (Rep != nullptr && Llamadas < Rep->CuantasNativas) { // called already by the steps
                    PonerNumero(A, Rep->Nativas[Llamadas++]);
                    continue;
                }
                ++Llamadas;
                [[fallthrough]];
            case O_FUNCION: { // C code answers in the host's place, through the same request
                const bool Nativa = I->Codigo == O_NATIVA && !TextoAlAnfitrion(F, *I, &Otras[I->A]);
                Pedir(Nativa || Instalada(Estado->AlPedirFuncion), E_FUNCION,
                      [&](char *Destino) { CopiarPedido(F, I->U.Nombre, Destino); }, Ajustar, Ajustes, A,
                      [&](char *Nombre) { // the arguments in slots A+1 ...
                          const int32_t Cuantos = F->Nombres[I->U.Nombre.Extra].Argumentos;
                          if (Nativa)
                              ResponderNativa(F->Nativas[I->U.Nombre.Extra], &Otras[I->A], Cuantos, A);
                          else
                              LlamarFuncion(Estado, Nombre, &Otras[I->A], Cuantos, &A);
                      });
                break;
            }
            case O_SIGNO:
                AplicarSigno(A, I->Extra != 0);
                break;
            case O_NIVEL1:
                OperarNivel1(OPERADORES[I->Extra], ComoIzquierdo(A), Otras[I->A], A);
                break;
            case O_NIVEL1K:
                PonerNivel1(OPERADORES[I->Extra], EsNumero(A), A.Numero, I->U.Numero, A);
                break;
            case O_TERMINO: {
                const BLOQUEDEDATOS &Der = Otras[I->A];
                PonerTermino(I->Extra, EsNumero(A) && EsNumero(Der), A.Numero, Der.Numero, A);
                break;
            }
            case O_TERMINOK:
                PonerTermino(I->Extra, EsNumero(A), A.Numero, I->U.Numero, A);
                break;
            case O_POTENCIA: {
                const BLOQUEDEDATOS &Exponente = Otras[I->A];
                PonerPotencia(EsNumero(A) && EsNumero(Exponente), A.Numero, Exponente.Numero, A);
                break;
            }
            case O_POTENCIAK:
                PonerPotencia(EsNumero(A), A.Numero, I->U.Numero, A);
                break;
            case O_FALLAR:
                if (I->Extra == F_SINVALOR)
                    PonerError(A, I->U.Error);
                else
                    A.Error = I->U.Error;
                break;
            default: // O_FIN
                return I;
            }
            if (A.Error)
                return I;
        }
    };
    const Instruccion *I = Ejecutar();
    BLOQUEDEDATOS *Mal = I->Codigo == O_FIN ? nullptr : &(I->A ? Otras[I->A - 1] : R); // the block of the error
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

BLOQUEDEDATOS EvaluarEnBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, const Repeticion *Rep)
{
    BLOQUEDEDATOS R;
    EvaluarBloques(F, Estado, R, Rep);
    return R;
}

// Everything but the forms of numbers without requests: kept out of Evaluar, which then
// keeps no frame of its own.
EVALION_NOINLINE BLOQUEDEDATOS EvaluarResto(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado)
{
    if (F == nullptr || Estado == nullptr) {
        BLOQUEDEDATOS R;
        PonerErrorGeneral(R, E_OPERANDO); // as for a null text
        return R;
    }
    const EnCurso Cuenta(F); // (released last: the block is made by then)
    // A callback's change of the separators is undone once, at the end: nothing reads them.
    // Undone as the block is already in the caller's hands, so that it is never copied.
    struct Separadores {
        ESTADODEANALISIS *Estado;
        uint16_t Guardados;
        ~Separadores() { ReponerSeparadores(Estado, Guardados); }
    } Guarda{Estado, GuardarSeparadores(Estado)};
    if (!F->Numerico || F->SinPeticiones)
        return EvaluarEnBloques(F, Estado, nullptr);
    return EvaluarPasos<true, true>(F, Estado);
}

#if EVALION_PASOS_AMPLIOS
BLOQUEDEDATOS PasosConLlamadas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado)
{
    const EnCurso Cuenta(F);
    return EvaluarPasos<false, true>(F, Estado);
}

int32_t NumeroConLlamadas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
    const EnCurso Cuenta(F);
    return EvaluarPasos<false, true, true>(F, Estado, Numero);
}
#endif

#if EVALION_FILAS_EN_BLOQUES
namespace {


// An operand over a block: a slot's block or a column from the block's first row, both
// arrays to the loops, or a constant (Datos null).
struct EnBloque {
    const double *Datos;
    double Constante;
};


inline EnBloque OperandoEnBloque(unsigned Fuente, const OperandoPaso &O, double *const *Ranuras,
                                 const DesdeFila &Desde)
{
    if (Fuente == DE_CONSTANTE)
        return {nullptr, O.Numero};
    if (Fuente == DE_RANURA || Fuente == DE_VALOR)
        return {Ranuras[O.Ranura], 0};
    if (const double *Columna = Desde.Columna(O.Direccion))
        return {Columna + Desde.Fila, 0};
    return {nullptr, *O.Direccion}; // once per block: no request runs among the steps to change it
}

template <bool Constante> inline double EnFila(const double *__restrict Datos, double K, uint32_t j)
{
    if constexpr (Constante)
        return K;
    else
        return Datos[j];
}

// One operation over n rows into v, each row through the same rule as one evaluation
// (Calcular(a, b, v) false: a division by zero, left to the blocks row by row).
template <bool IzqK, bool DerK, class Operacion>
bool Recorrer(EnBloque I, EnBloque D, uint32_t n, double *__restrict v, Operacion Calcular)
{
    const double *__restrict Izq = I.Datos;
    const double *__restrict Der = D.Datos;
    bool Bien = true;
    for (uint32_t j = 0; j < n; ++j)
        Bien &= Calcular(EnFila<IzqK>(Izq, I.Constante, j), EnFila<DerK>(Der, D.Constante, j), v[j], j);
    return Bien;
}

// The loop for the kinds of the operands: an array or a constant on each side.
template <class Operacion>
bool Recorrer(const Paso &P, double *const *Ranuras, const DesdeFila &Desde, uint32_t n, double *v, Operacion Calcular)
{
    const unsigned FI = FuenteIzquierda(P.Codigo), FD = FuenteDerecha(P.Codigo);
    const EnBloque I = OperandoEnBloque(FI, P.Izq, Ranuras, Desde), D = OperandoEnBloque(FD, P.Der, Ranuras, Desde);
    if (D.Datos == nullptr)
        return I.Datos == nullptr ? Recorrer<true, true>(I, D, n, v, Calcular)
                                  : Recorrer<false, true>(I, D, n, v, Calcular);
    return I.Datos == nullptr ? Recorrer<true, false>(I, D, n, v, Calcular) : Recorrer<false, false>(I, D, n, v, Calcular);
}

// Whether row j calls the C code of the block's call Llamada: not when an argument is a
// not-a-number, nor after it left an earlier call to its own evaluation (Hechas, TODAS_HECHAS
// in Evaluacion.h), where that call and every later one of the row are left to it as well.
template <unsigned Cuantos>
inline bool Llamar(const double *const *A, uint32_t j, uint32_t Llamada, uint32_t *Hechas, bool &Aplazadas)
{
    bool NaN = Hechas[j] != TODAS_HECHAS;
    for (unsigned a = 0; a < Cuantos; ++a) {
        // Told by the bits: the host's settings are lent here, and a comparison of a
        // signaling not-a-number would trap where the host unmasked the invalid operation.
        uint64_t Bits;
        std::memcpy(&Bits, &A[a][j], sizeof Bits);
        NaN = NaN || (Bits << 1) > (uint64_t{0x7FF0000000000000} << 1);
    }
    if (!NaN)
        return true;
    Hechas[j] = Hechas[j] < Llamada ? Hechas[j] : Llamada;
    Aplazadas = true;
    return false;
}

// A call of C code of Cuantos arguments over n rows, its arguments read in their slots'
// blocks: one call a row, with no dispatch among them; a row left to its own evaluation gets
// a not-a-number, which makes it computed again.
template <unsigned Cuantos>
void NativaEnFilas(FuncionNativa Funcion, const double *const *A, uint32_t n, double *v, uint32_t Llamada,
                   uint32_t *Hechas, bool &Aplazadas)
{
    for (uint32_t j = 0; j < n; ++j) {
        if (!Llamar<Cuantos>(A, j, Llamada, Hechas, Aplazadas)) {
            v[j] = NAN;
        } else if constexpr (Cuantos == 1) {
            v[j] = reinterpret_cast<double (*)(double)>(Funcion)(A[0][j]);
        } else if constexpr (Cuantos == 2) {
            v[j] = reinterpret_cast<double (*)(double, double)>(Funcion)(A[0][j], A[1][j]);
        } else if constexpr (Cuantos == 3) {
            v[j] = reinterpret_cast<double (*)(double, double, double)>(Funcion)(A[0][j], A[1][j], A[2][j]);
        } else {
            v[j] = reinterpret_cast<double (*)(double, double, double, double)>(Funcion)(A[0][j], A[1][j], A[2][j],
                                                                                         A[3][j]);
        }
    }
}

// Such a call over a block, under the host's settings once for the whole block (Anfitrion,
// when the evaluation switches them), as each evaluation would call it under them.
void NativaEnBloque(const Paso &P, double *const *Ranuras, uint32_t n, double *v, const AjustesDeEvaluacion *Anfitrion,
                    uint32_t Llamada, uint32_t *Hechas, bool &Aplazadas)
{
    const double *A[MAXIMO_NATIVOS] = {};
    for (unsigned a = 0; a < P.Extra; ++a)
        A[a] = Ranuras[P.A + 1 + a];
    if (Anfitrion != nullptr)
        Anfitrion->Prestar();
    switch (P.Extra) { // one argument at least, as every call
    case 1: NativaEnFilas<1>(P.Izq.Funcion, A, n, v, Llamada, Hechas, Aplazadas); break;
    case 2: NativaEnFilas<2>(P.Izq.Funcion, A, n, v, Llamada, Hechas, Aplazadas); break;
    case 3: NativaEnFilas<3>(P.Izq.Funcion, A, n, v, Llamada, Hechas, Aplazadas); break;
    default: NativaEnFilas<4>(P.Izq.Funcion, A, n, v, Llamada, Hechas, Aplazadas); break;
    }
    if (Anfitrion != nullptr)
        Anfitrion->Recobrar();
}

// One step but a call of C code over n rows into v; false when a row needs one evaluation
// of its own.
bool PasoEnBloque(const Paso &P, double *const *Ranuras, const DesdeFila &Desde, uint32_t n, double *v)
{
    const auto Comparacion = [&](auto Compara) {
        return Recorrer(P, Ranuras, Desde, n, v, [Compara](double a, double b, double &r, uint32_t) {
            r = Compara(a, b) ? 1.0 : 0.0;
            return true;
        });
    };
    const double c = P.Sumando;
    const double *__restrict Propio = Ranuras[P.A]; // the slot a fused sum of a product adds to
    switch (OperacionDePaso(P.Codigo)) {
    case P_CARGAR: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double, double &r, uint32_t) { return Operar<P_CARGAR, false>(a, 0, 0, 0, 0, r); });
    case P_NEGAR: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double, double &r, uint32_t) { return Operar<P_NEGAR, false>(a, 0, 0, 0, 0, r); });
    case P_SUMA: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double b, double &r, uint32_t) { return Operar<P_SUMA, false>(a, b, 0, 0, 0, r); });
    case P_RESTA: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double b, double &r, uint32_t) { return Operar<P_RESTA, false>(a, b, 0, 0, 0, r); });
    case P_POR: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double b, double &r, uint32_t) { return Operar<P_POR, false>(a, b, 0, 0, 0, r); });
    case P_PORMAS: return Recorrer(P, Ranuras, Desde, n, v, [c](double a, double b, double &r, uint32_t) { return Operar<P_PORMAS, false>(a, b, 0, c, 0, r); });
    case P_PORMENOS: return Recorrer(P, Ranuras, Desde, n, v, [c](double a, double b, double &r, uint32_t) { return Operar<P_PORMENOS, false>(a, b, 0, c, 0, r); });
    case P_MASPOR: return Recorrer(P, Ranuras, Desde, n, v, [Propio](double a, double b, double &r, uint32_t j) { return Operar<P_MASPOR, false>(a, b, 0, 0, Propio[j], r); });
    case P_KPOR: return Recorrer(P, Ranuras, Desde, n, v, [c](double a, double b, double &r, uint32_t) { return Operar<P_KPOR, false>(a, b, 0, c, 0, r); });
    case P_MASKPOR: return Recorrer(P, Ranuras, Desde, n, v, [Propio, c](double a, double b, double &r, uint32_t j) { return Operar<P_MASKPOR, false>(a, b, 0, c, Propio[j], r); });
    case P_MENOSKPOR: return Recorrer(P, Ranuras, Desde, n, v, [Propio, c](double a, double b, double &r, uint32_t j) { return Operar<P_MENOSKPOR, false>(a, b, 0, c, Propio[j], r); });
    case P_MENOSPOR: return Recorrer(P, Ranuras, Desde, n, v, [Propio](double a, double b, double &r, uint32_t j) { return Operar<P_MENOSPOR, false>(a, b, 0, 0, Propio[j], r); });
    case P_POTENCIA: return Recorrer(P, Ranuras, Desde, n, v, [](double a, double b, double &r, uint32_t) { return Operar<P_POTENCIA, false>(a, b, 0, 0, 0, r); });
    case P_ENTRE: // where the divisor is 0 the row fails, and 0/1 stands in for it: no flag
                  // is raised and the loop has no branch, which the compiler vectorises
        return Recorrer(P, Ranuras, Desde, n, v, [](double a, double b, double &r, uint32_t) {
            const bool Cero = b == 0.0;
            r = (Cero ? 0.0 : a) / (Cero ? 1.0 : b);
            return !Cero;
        });
    case P_COMPARAR: // the operator chosen once per block: each loop is one plain comparison
        switch (OPERADORES[P.Extra]) {
        case '=': return Comparacion([](double a, double b) { return ComparaNumeros('=', a, b); });
        case T_DISTINTO: return Comparacion([](double a, double b) { return ComparaNumeros(T_DISTINTO, a, b); });
        case '<': return Comparacion([](double a, double b) { return ComparaNumeros('<', a, b); });
        case '>': return Comparacion([](double a, double b) { return ComparaNumeros('>', a, b); });
        case T_MENORIGUAL: return Comparacion([](double a, double b) { return ComparaNumeros(T_MENORIGUAL, a, b); });
        default: return Comparacion([](double a, double b) { return ComparaNumeros(T_MAYORIGUAL, a, b); });
        }
    default: // a request: never in these forms
        return false;
    }
}


} // namespace

// The steps of a form of numbers without requests over the n rows from Desde into Valores.
// Ranuras holds a block per slot the steps write and Libre one more, which each step writes
// and then swaps with its slot's, so that no loop writes what it reads; Guardadas a block per
// call of C code, where its values are kept for the rows computed again.
Recorrido FilasEnBloque(const FORMULAPREPARADA *F, double **Ranuras, double *&Libre, double *const *Guardadas,
                        uint32_t *Hechas, const DesdeFila &Desde, uint32_t n, double *Valores,
                        const AjustesDeEvaluacion *Anfitrion)
{
    Recorrido R{false, 0};
    for (const Paso *P = F->Pasos;; ++P) {
        double *const v = P->Fin ? Valores : Libre; // the last step writes the answers
        if (P->Codigo == CODIGO_NATIVA) {
            if (R.Llamadas == 0)
                std::fill(Hechas, Hechas + n, TODAS_HECHAS);
            NativaEnBloque(*P, Ranuras, n, v, Anfitrion, R.Llamadas, Hechas, R.Aplazadas);
            std::memcpy(Guardadas[R.Llamadas++], v, n * sizeof(double));
        } else if (!PasoEnBloque(*P, Ranuras, Desde, n, v)) {
            return R;
        }
        if (P->Fin) {
            R.Completo = true;
            return R;
        }
        double *const Escrita = Libre;
        Libre = Ranuras[P->A];
        Ranuras[P->A] = Escrita;
    }
}
#endif

} // namespace Motor
