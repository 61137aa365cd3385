// The machine of prepared forms: it runs a program (Programa.h) on blocks, as the analysis
// would compute the same text, and runs the forms of numbers only as steps on doubles.
//
// Every operator, sign, request and division is computed through the one rule of it
// (Operaciones.h, Peticiones.h), never restated here. The steps of a form of numbers only
// give up (a division by zero, an answer that is no plain number) by handing what they
// asked so far to the block evaluation, which then gives the analysis's answer without
// asking the host a second time.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Evaluacion.h"

namespace Motor {

namespace {

bool Traducir(FORMULAPREPARADA *F);

} // namespace

// What an evaluation needs, from the instructions and the bindings of the moment.
void Clasificar(FORMULAPREPARADA *F)
{
    F->Ajustes = false;
    F->Numerico = true;
    F->Llama = false;
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        F->Llama = F->Llama || F->Codigo[k].Codigo == O_NATIVA;
        switch (F->Codigo[k].Codigo) {
        case O_NUMERO: case O_VINCULADA: case O_SIGNO: case O_FIN: // no arithmetic: a sign is a bit
            break;
        case O_NIVEL1: case O_NIVEL1K: case O_TERMINO: case O_TERMINOK: case O_POTENCIA: case O_POTENCIAK:
        case O_VARIABLE: // asked in the steps too, while the host answers plain numbers
        case O_NATIVA:   // a step too: its arguments are numbers there
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
    F->Ligera = PASOS_AMPLIOS && F->SinPeticiones;
    for (uint32_t p = 0; F->Ligera && p < F->CuantosPasos; ++p)
        F->Ligera = OperacionDePaso(F->Pasos[p].Codigo) != P_POTENCIA && F->Pasos[p].Codigo != CODIGO_NATIVA;
    F->Ajustar = F->Ajustes && !(F->Opciones & AJUSTES_DEL_ANFITRION);
}

namespace {

// The inverse of a power of two in Inversa, when both are normal numbers (so the inverse is
// exact and the product by it is the quotient, rounded the same); false for any other number
// (0, subnormals, infinities and not-a-numbers among them), which leaves Inversa as it was:
// the caller passes the divisor itself, which must stay when there is no inverse (2^-1074).
// Told by the bits, with no arithmetic: a comparison of a not-a-number constant would raise
// the invalid flag, and trap where a host binding a form has it unmasked.
bool InversaExacta(double d, double &Inversa)
{
    uint64_t Bits;
    std::memcpy(&Bits, &d, sizeof Bits);
    const uint64_t Exponente = Bits >> 52 & 0x7FF, Mantisa = Bits & ((uint64_t{1} << 52) - 1);
    if (Exponente == 0 || Exponente > 2045 || Mantisa != 0) // 2^(e-1023), whose inverse 2^(1023-e) is normal
        return false;
    Bits = (Bits & uint64_t{1} << 63) | (2046 - Exponente) << 52;
    std::memcpy(&Inversa, &Bits, sizeof Inversa);
    return true;
}

// A form of numbers only is also kept as steps on doubles (Programa.h).
bool Traducir(FORMULAPREPARADA *F)
{
    Lista<Paso> Pasos;
    struct Donde {
        uint8_t Fuentes;
        OperandoPaso Izq;
    } Pendiente[RANURAS_NUMERICAS]; // per slot: where its value is to be read
    for (uint32_t k = 0; k < RANURAS_NUMERICAS; ++k)
        Pendiente[k].Fuentes = DE_RANURA, Pendiente[k].Izq.Ranura = k;
    uint32_t Pedidas = 0, Llamadas = 0; // (as many as the steps keep the answers of)
    // The slot the last step wrote is read from the register it left its value in.
    const auto Fuente = [&](uint32_t Ranura, uint8_t &Donde, OperandoPaso &O) {
        Donde = Pendiente[Ranura].Fuentes;
        O = Pendiente[Ranura].Izq;
        if (PASOS_AMPLIOS && Donde == DE_RANURA && Pasos.Cuantos > 0 && Pasos.Datos[Pasos.Cuantos - 1].A == Ranura)
            Donde = DE_VALOR;
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
        case O_NATIVA: {
            if (!PASOS_AMPLIOS || Llamadas++ == MAXIMO_PEDIDAS) // the x87 build keeps the smaller set of steps: blocks
                return false;
            // The call reads its arguments in their slots: a constant or a bound variable is
            // loaded there first. (The value of the step before is in its slot too.)
            const uint32_t Argumentos = static_cast<uint32_t>(F->Nombres[I.U.Nombre.Extra].Argumentos);
            for (uint32_t a = I.A + 1u; a <= I.A + Argumentos; ++a) {
                if (Pendiente[a].Fuentes == DE_RANURA)
                    continue;
                Paso Carga{};
                Carga.A = a;
                Carga.Izq = Pendiente[a].Izq;
                Carga.Codigo = CodigoDePaso(P_CARGAR, Pendiente[a].Fuentes, DE_CONSTANTE);
                Pasos.Agregar(Carga);
                EnRanura(a);
            }
            P.Codigo = CODIGO_NATIVA;
            P.Extra = static_cast<uint8_t>(Argumentos);
            P.Izq.Funcion = F->Nativas[I.U.Nombre.Extra];
            Pasos.Agregar(P);
            EnRanura(I.A);
            continue;
        }
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
            Paso Final{};
            Final.Codigo = CODIGO_FIN;
            Pasos.Agregar(Final);
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
        // Dividing by a power of two is multiplying by its inverse, which is exact: the same
        // rounded quotient, flags and not-a-numbers, for a quicker step.
        if (P.Codigo == P_ENTRE && Der == DE_CONSTANTE && InversaExacta(P.Der.Numero, P.Der.Numero))
            P.Codigo = P_POR;
        // A sum or difference with a constant of the product the last step left in its slot
        // becomes part of that step.
        Paso *Ultimo = Pasos.Cuantos ? &Pasos.Datos[Pasos.Cuantos - 1] : nullptr;
        const unsigned OperacionUltima =
            Ultimo != nullptr && Ultimo->Codigo != CODIGO_PEDIR ? OperacionDePaso(Ultimo->Codigo) : unsigned{P_CARGAR};
        const bool TrasProducto = OperacionUltima == P_POR;
        const auto EsRanura = [](uint8_t Donde) { return Donde == DE_RANURA || Donde == DE_VALOR; };
        if ((P.Codigo == P_SUMA || P.Codigo == P_RESTA) && EsRanura(Izq) && Der == DE_CONSTANTE &&
            P.Izq.Ranura == I.A && TrasProducto && Ultimo->A == I.A) {
            Ultimo->Codigo = CodigoDePaso(P.Codigo == P_SUMA ? P_PORMAS : P_PORMENOS, FuenteIzquierda(Ultimo->Codigo),
                                          FuenteDerecha(Ultimo->Codigo));
            Ultimo->Sumando = P.Der.Numero;
            EnRanura(I.A);
            continue;
        }
        // A sum or difference of the slot's value and the product the last step left in the
        // next slot becomes part of that step, which then writes the sum's slot.
        const bool Sumando = P.Codigo == P_SUMA;
        if (PASOS_AMPLIOS && (Sumando || P.Codigo == P_RESTA) && Izq == DE_RANURA && P.Izq.Ranura == I.A &&
            EsRanura(Der) && P.Der.Ranura == I.A + 1u && (TrasProducto || OperacionUltima == P_KPOR) &&
            Ultimo->A == I.A + 1u) {
            const unsigned Fusion = TrasProducto ? (Sumando ? P_MASPOR : P_MENOSPOR) : (Sumando ? P_MASKPOR : P_MENOSKPOR);
            Ultimo->Codigo = CodigoDePaso(Fusion, FuenteIzquierda(Ultimo->Codigo), FuenteDerecha(Ultimo->Codigo));
            Ultimo->A = I.A;
            EnRanura(I.A);
            continue;
        }
        // A product by what the last step made, when that was the product of a constant and
        // something else, becomes part of that step (2*x*y).
        if (PASOS_AMPLIOS && P.Codigo == P_POR && Izq == DE_VALOR && Der != DE_VALOR && TrasProducto &&
            Ultimo->A == I.A && FuenteIzquierda(Ultimo->Codigo) == DE_CONSTANTE) {
            Ultimo->Codigo = CodigoDePaso(P_KPOR, FuenteDerecha(Ultimo->Codigo), Der);
            Ultimo->Sumando = Ultimo->Izq.Numero;
            Ultimo->Izq = Ultimo->Der;
            Ultimo->Der = P.Der;
            EnRanura(I.A);
            continue;
        }
        P.Codigo = CodigoDePaso(P.Codigo, Izq, Der);
        Pasos.Agregar(P);
        EnRanura(I.A);
    }
    return false; // a form always ends with O_FIN
}

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
            case O_FUNCION: // C code answers in the host's place, through the same request
                Pedir(I->Codigo == O_NATIVA || Instalada(Estado->AlPedirFuncion), E_FUNCION,
                      [&](char *Destino) { CopiarPedido(F, I->U.Nombre, Destino); }, Ajustar, Ajustes, A,
                      [&](char *Nombre) { // the arguments in slots A+1 ...
                          const int32_t Cuantos = F->Nombres[I->U.Nombre.Extra].Argumentos;
                          if (I->Codigo == O_NATIVA)
                              ResponderNativa(F->Nativas[I->U.Nombre.Extra], &Otras[I->A], Cuantos, A);
                          else
                              LlamarFuncion(Estado, Nombre, &Otras[I->A], Cuantos, &A);
                      });
                break;
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

namespace {

// Rows go through a form of numbers a block at a time: each step runs over the whole block
// before the next, a loop the compiler vectorises, and its dispatch is paid once per block.
// A block of rows is 8 KB per slot: the few slots of a usual form stay in the first-level
// cache, and the dispatch is paid once per 1024 rows.
constexpr uint32_t FILAS_POR_BLOQUE = 1024;

// An operand over a block: a slot's block or a column from the block's first row, both
// arrays to the loops, or a constant (Datos null).
struct EnBloque {
    const double *Datos;
    double Constante;
};

// A block's first row, and how the copy's steps read the host's columns.
struct DesdeFila : DesdeColumnas {
    size_t Fila;
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

// A call of C code of Cuantos arguments over n rows, its arguments read in their slots'
// blocks: one call a row, with no dispatch among them.
template <unsigned Cuantos> void NativaEnFilas(FuncionNativa Funcion, const double *const *A, uint32_t n, double *v)
{
    if constexpr (Cuantos == 1) {
        const auto f = reinterpret_cast<double (*)(double)>(Funcion);
        for (uint32_t j = 0; j < n; ++j)
            v[j] = f(A[0][j]);
    } else if constexpr (Cuantos == 2) {
        const auto f = reinterpret_cast<double (*)(double, double)>(Funcion);
        for (uint32_t j = 0; j < n; ++j)
            v[j] = f(A[0][j], A[1][j]);
    } else if constexpr (Cuantos == 3) {
        const auto f = reinterpret_cast<double (*)(double, double, double)>(Funcion);
        for (uint32_t j = 0; j < n; ++j)
            v[j] = f(A[0][j], A[1][j], A[2][j]);
    } else {
        const auto f = reinterpret_cast<double (*)(double, double, double, double)>(Funcion);
        for (uint32_t j = 0; j < n; ++j)
            v[j] = f(A[0][j], A[1][j], A[2][j], A[3][j]);
    }
}

// Such a call over a block, under the host's settings once for the whole block (Anfitrion,
// when the evaluation switches them), as each evaluation would call it under them.
void NativaEnBloque(const Paso &P, double *const *Ranuras, uint32_t n, double *v, const AjustesDeEvaluacion *Anfitrion)
{
    const double *A[MAXIMO_NATIVOS] = {};
    for (unsigned a = 0; a < P.Extra; ++a)
        A[a] = Ranuras[P.A + 1 + a];
    if (Anfitrion != nullptr)
        Anfitrion->Prestar();
    switch (P.Extra) { // one argument at least, as every call
    case 1: NativaEnFilas<1>(P.Izq.Funcion, A, n, v); break;
    case 2: NativaEnFilas<2>(P.Izq.Funcion, A, n, v); break;
    case 3: NativaEnFilas<3>(P.Izq.Funcion, A, n, v); break;
    default: NativaEnFilas<4>(P.Izq.Funcion, A, n, v); break;
    }
    if (Anfitrion != nullptr)
        Anfitrion->Recobrar();
}

// One step over n rows into v; false when a row needs one evaluation of its own.
bool PasoEnBloque(const Paso &P, double *const *Ranuras, const DesdeFila &Desde, uint32_t n, double *v,
                  const AjustesDeEvaluacion *Anfitrion)
{
    if (P.Codigo == CODIGO_NATIVA) {
        NativaEnBloque(P, Ranuras, n, v, Anfitrion);
        return true;
    }
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

// How a block of rows went through the steps: whether every step ran (else one stopped at a
// row it cannot give, a division by zero), and how many calls of C code ran over the whole
// block, whose values are kept.
struct Recorrido {
    bool Completo;
    uint32_t Llamadas;
};

// The steps of a form of numbers without requests over the n rows from Desde into Valores.
// Ranuras holds a block per slot the steps write and Libre one more, which each step writes
// and then swaps with its slot's, so that no loop writes what it reads; Guardadas a block per
// call of C code, where its values are kept for the rows computed again.
Recorrido FilasEnBloque(const FORMULAPREPARADA *F, double **Ranuras, double *&Libre, double *const *Guardadas,
                        const DesdeFila &Desde, uint32_t n, double *Valores, const AjustesDeEvaluacion *Anfitrion)
{
    Recorrido R{false, 0};
    for (const Paso *P = F->Pasos;; ++P) {
        double *const v = P->Fin ? Valores : Libre; // the last step writes the answers
        if (!PasoEnBloque(*P, Ranuras, Desde, n, v, Anfitrion))
            return R;
        if (P->Codigo == CODIGO_NATIVA)
            std::memcpy(Guardadas[R.Llamadas++], v, n * sizeof(double));
        if (P->Fin) {
            R.Completo = true;
            return R;
        }
        double *const Escrita = Libre;
        Libre = Ranuras[P->A];
        Ranuras[P->A] = Escrita;
    }
}

// A not-a-number, told by its bits: a comparison would raise the invalid flag for a signaling
// one, and trap where the host unmasked it, which no evaluation of it does.
inline bool EsNaN(double v)
{
    uint64_t Bits;
    std::memcpy(&Bits, &v, sizeof Bits);
    return (Bits << 1) > (uint64_t{0x7FF0000000000000} << 1);
}

// Blocks of rows pay where the compiler vectorises their loops. With the x87 unit (32-bit
// x86) a double is no vector lane, and rows go one by one there, which also keeps the 32-bit
// DLLs small.
#if defined(__i386__)
constexpr bool FILAS_EN_BLOQUES = false;
#else
constexpr bool FILAS_EN_BLOQUES = true;
#endif

// Whether two arrays share a byte (none when either is null or empty); as integers, since
// pointers into different arrays do not compare.
EVALION_NOINLINE bool Solapan(const void *a, size_t LargoA, const void *b, size_t LargoB)
{
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return a != nullptr && b != nullptr && LargoA > 0 && LargoB > 0 && x < y + LargoB && y < x + LargoA;
}

// The host's arrays of answers (Valores, Errores, Posiciones: what the rows write).
struct Salidas {
    double *Valores;
    int32_t *Errores;
    int32_t *Posiciones;
    size_t Filas;

    // Whether the rows' writes reach n bytes at a.
    EVALION_NOINLINE bool Alcanzan(const void *a, size_t n) const
    {
        return Solapan(a, n, Valores, Filas * sizeof(double)) || Solapan(a, n, Errores, Filas * sizeof(int32_t)) ||
               Solapan(a, n, Posiciones, Filas * sizeof(int32_t));
    }
};

// Rows one by one through the host's own entry (Una, A_Evaluar), on a copy of the form whose
// columns read one number each, set to the row's before each evaluation, while a variable
// bound to one number reads it where the host keeps it: every row is then A_Evaluar's
// evaluation itself.
//
// Every row reads what the host's arrays held when the call began, as if the inputs were
// read whole before the first answer is written: a column that the answers reach is read
// from a copy taken first, and so is a number bound where they reach; only the column that
// is Valores itself, a transform in place, is read where it is, since each row is computed,
// block by block, before its answer is written over its input.
struct Sombra {
    FORMULAPREPARADA Forma;
    double *Actual = nullptr;       // per name of the form: the row's number of a column
    const double **Direcciones = nullptr;
    const double **Columnas = nullptr; // per name: the column the rows read, the host's or a copy
    double *Copias = nullptr;          // the copies of columns and numbers the answers reach
    Paso *Pasos = nullptr;
    bool EnSuSitio = false;            // a column is Valores

    ~Sombra()
    {
        std::free(Actual);
        std::free(Direcciones);
        std::free(Columnas);
        std::free(Copias);
        std::free(Pasos);
    }

    // False when memory runs out.
    EVALION_NOINLINE bool Preparar(const FORMULAPREPARADA *F, const Salidas &S)
    {
        Forma = *F;
        Forma.EnCurso = 0; // the copy counts its own evaluations
        Forma.PorLiberar = false;
        const size_t Nombres = F->CuantosNombres ? F->CuantosNombres : 1;
        Actual = static_cast<double *>(std::calloc(Nombres, sizeof *Actual));
        Direcciones = static_cast<const double **>(std::calloc(Nombres, sizeof *Direcciones));
        Columnas = static_cast<const double **>(std::calloc(Nombres, sizeof *Columnas));
        if (Actual == nullptr || Direcciones == nullptr || Columnas == nullptr)
            return false;
        // What the answers reach, copied into one array: N doubles a column, one a number.
        // The first pass counts (Libre null), the second copies.
        size_t Copiar = 0;
        for (double *Libre = nullptr;; Libre = Copias) {
            for (uint32_t k = 0; k < F->CuantosNombres; ++k) {
                const double *D = F->Direcciones[k];
                const size_t Cuantos = F->Columnas[k] ? S.Filas : 1;
                Columnas[k] = D;
                Direcciones[k] = F->Columnas[k] ? &Actual[k] : D;
                EnSuSitio = EnSuSitio || (F->Columnas[k] && D == S.Valores);
                if (D == nullptr || (F->Columnas[k] && D == S.Valores) || !S.Alcanzan(D, Cuantos * sizeof(double)))
                    continue;
                if (Libre == nullptr) {
                    Copiar += Cuantos;
                    continue;
                }
                std::memcpy(Libre, D, Cuantos * sizeof(double));
                (F->Columnas[k] ? Columnas[k] : Direcciones[k]) = Libre;
                Libre += Cuantos;
            }
            if (Libre != nullptr || Copiar == 0)
                break;
            if ((Copias = static_cast<double *>(std::malloc(Copiar * sizeof(double)))) == nullptr)
                return false;
        }
        // The steps hold the addresses too: the copy's are written from its own bindings, by
        // name, so that a column and a number bound at one same address stay apart.
        Forma.Direcciones = Direcciones;
        Forma.Pasos = nullptr;
        SinEnsamblar(&Forma); // the form's code reads the form's addresses: the copy keeps its steps
        Clasificar(&Forma);
        Pasos = Forma.Pasos;
        return Forma.Numerico || !F->Numerico; // the copy lacks the form's steps only for want of memory
    }

    // How the copy's steps read the columns.
    DesdeColumnas Desde() const { return {Actual, Columnas, Forma.CuantosNombres}; }

    // How the copy's steps read a block of rows from Desde.
    DesdeFila Bloque(size_t Fila) const { return {Desde(), Fila}; }

    void PonerColumnas(size_t i)
    {
        for (uint32_t k = 0; k < Forma.CuantosNombres; ++k)
            if (Forma.Columnas[k])
                Actual[k] = Columnas[k][i];
    }

    BLOQUEDEDATOS Fila(ESTADODEANALISIS *Estado, size_t i, Evaluacion Una)
    {
        PonerColumnas(i);
        return Una(&Forma, Estado);
    }

    // Row i again, as row j of a block whose first Llamadas calls of C code ran over it and
    // kept their values in Guardadas: with those values (through the blocks, which take them
    // as the steps hand them over), so that the code sees each call once.
    BLOQUEDEDATOS FilaOtraVez(ESTADODEANALISIS *Estado, size_t i, uint32_t j, double *const *Guardadas,
                              uint32_t Llamadas, Repeticion &Rep, Evaluacion Una)
    {
        if (Llamadas == 0)
            return Fila(Estado, i, Una);
        PonerColumnas(i);
        Rep.Cuantos = 0;
        Rep.Ultima = nullptr;
        Rep.CuantasNativas = Llamadas;
        for (uint32_t k = 0; k < Llamadas; ++k)
            Rep.Nativas[k] = Guardadas[k][j];
        return EvaluarEnBloques(&Forma, Estado, &Rep);
    }
};

// One row's block into the host's arrays (the value into *Valor, when there is one); true
// when the row failed.
inline bool PonerFila(const BLOQUEDEDATOS &R, double *Valor, size_t i, int32_t *Errores, int32_t *Posiciones)
{
    if (Valor != nullptr)
        NumeroDeBloque(R, Valor);
    if (Errores != nullptr)
        Errores[i] = R.Error;
    if (Posiciones != nullptr)
        Posiciones[i] = R.Posicion;
    return R.Error != 0;
}

inline double *Fila(double *Valores, size_t i) { return Valores != nullptr ? Valores + i : nullptr; }

// Rows worth a form's own machine code: writing it into pages of its own takes some 25
// microseconds on a virtual machine (the system's calls and first touch of the pages), and it
// saves some 0.4 ns a row against the blocks.
constexpr size_t FILAS_PARA_ENSAMBLAR = 65536;

// The rows through a form's own code, under the engine's settings once (unless the host
// chose its own), four a turn; the pair of rows it stops at, and the last rows short of four,
// one evaluation each.
int32_t FilasDeCodigo(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra &Copia,
                      FilasEnsambladas::Funcion Codigo, size_t N, double *Valores, int32_t *Errores,
                      int32_t *Posiciones, Evaluacion Una)
{
    int32_t Fallidas = 0;
    AjustesDeEvaluacion Ajustes;
    for (size_t Desde = 0; Desde < N;) {
        const size_t Cuatros = Desde + ((N - Desde) & ~size_t{3});
        if (F->Ajustar)
            Ajustes.Entrar();
        const size_t Hasta = Desde < Cuatros ? Codigo(Valores, Desde, Cuatros) : Desde;
        if (F->Ajustar)
            Ajustes.Salir();
        if (Errores != nullptr)
            std::memset(Errores + Desde, 0, (Hasta - Desde) * sizeof *Errores);
        if (Posiciones != nullptr)
            std::memset(Posiciones + Desde, 0, (Hasta - Desde) * sizeof *Posiciones);
        const size_t Otras = Hasta < Cuatros ? Hasta + 2 : N; // rows for one evaluation each
        for (size_t i = Hasta; i < Otras; ++i)
            Fallidas += PonerFila(Copia.Fila(Estado, i, Una), &Valores[i], i, Errores, Posiciones);
        Desde = Otras;
    }
    return Fallidas;
}

// The calls of C code among a form's steps.
uint32_t LlamadasEnPasos(const FORMULAPREPARADA *F)
{
    uint32_t n = 0;
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        n += F->Pasos[p].Codigo == CODIGO_NATIVA;
    return n;
}

// Rows one by one: each the block Igual when given (every row fails alike), else one
// evaluation of its numbers on the copy, else (no copy: a NULL form or record) A_Evaluar's.
EVALION_NOINLINE int32_t FilasUnaAUna(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra *Copia,
                                      const BLOQUEDEDATOS *Igual, size_t N, double *Valores, int32_t *Errores,
                                      int32_t *Posiciones, Evaluacion Una)
{
    int32_t Fallidas = 0;
    for (size_t i = 0; i < N; ++i)
        Fallidas += PonerFila(Igual != nullptr ? *Igual : Copia != nullptr ? Copia->Fila(Estado, i, Una) : Una(F, Estado),
                              Fila(Valores, i), i, Errores, Posiciones);
    return Fallidas;
}

// The rows of a form of numbers without requests, a block of rows through each step at once
// (or the form's own code across rows); false when there is no memory for the blocks.
EVALION_NOINLINE bool FilasEnBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra &Copia, size_t N,
                                     double *Valores, int32_t *Errores, int32_t *Posiciones, Evaluacion Una,
                                     int32_t &Fallidas)
{
    // Many rows of a light form (or under the host's settings, of one calling C code too):
    // its own machine code, four rows a turn, where it has such code.
    if (N >= FILAS_PARA_ENSAMBLAR && Valores != nullptr) {
        FilasEnsambladas Codigo(&Copia.Forma, Copia.Desde());
        if (Codigo.Codigo != nullptr) {
            Fallidas = FilasDeCodigo(F, Estado, Copia, Codigo.Codigo, N, Valores, Errores, Posiciones, Una);
            return true;
        }
    }
    // Per block: a block per slot, one more that each step writes, one per call of C code, and
    // the answers' own where they are not written straight into Valores.
    const uint32_t Llamadas = LlamadasEnPasos(&Copia.Forma);
    double *Memoria = static_cast<double *>(
        std::malloc((F->Ranuras + 2u + Llamadas) * size_t{FILAS_POR_BLOQUE} * sizeof(double)));
    if (Memoria == nullptr)
        return false;
    Fallidas = 0;
    double *Ranuras[RANURAS_NUMERICAS];
    for (uint32_t k = 0; k < F->Ranuras; ++k)
        Ranuras[k] = Memoria + k * FILAS_POR_BLOQUE;
    double *Libre = Memoria + F->Ranuras * FILAS_POR_BLOQUE;
    double *const Propias = Libre + FILAS_POR_BLOQUE;
    double *Guardadas[MAXIMO_PEDIDAS];
    for (uint32_t k = 0; k < Llamadas && k < MAXIMO_PEDIDAS; ++k)
        Guardadas[k] = Propias + (k + 1) * size_t{FILAS_POR_BLOQUE};
    // Straight into Valores unless a row computed again would then read an answer as its input.
    const bool Directas = Valores != nullptr && !Copia.EnSuSitio;
    Repeticion Rep;
    AjustesDeEvaluacion Ajustes; // one switch for every block
    if (F->Ajustar)
        Ajustes.Entrar();
    for (size_t Desde = 0; Desde < N; Desde += FILAS_POR_BLOQUE) {
        const uint32_t n = static_cast<uint32_t>(N - Desde < FILAS_POR_BLOQUE ? N - Desde : FILAS_POR_BLOQUE);
        double *const Destino = Directas ? Valores + Desde : Propias;
        const Recorrido B = FilasEnBloque(&Copia.Forma, Ranuras, Libre, Guardadas, Copia.Bloque(Desde), n, Destino,
                                          F->Ajustar ? &Ajustes : nullptr);
        if (Errores != nullptr)
            std::memset(Errores + Desde, 0, n * sizeof *Errores);
        if (Posiciones != nullptr)
            std::memset(Posiciones + Desde, 0, n * sizeof *Posiciones);
        // Rows the steps cannot give, one evaluation each, under the host's settings as each
        // evaluation expects them: every row of a block a step stopped in; otherwise those
        // whose value is a not-a-number, since a vectorised loop may take the operands of a
        // sum or product in either order, and of two not-a-numbers x86 keeps the first.
        bool Fuera = false;
        for (uint32_t j = 0; j < n; ++j) {
            if (B.Completo && !EsNaN(Destino[j]))
                continue;
            if (!Fuera && F->Ajustar)
                Ajustes.Salir();
            Fuera = true;
            Fallidas += PonerFila(Copia.FilaOtraVez(Estado, Desde + j, j, Guardadas, B.Llamadas, Rep, Una), &Destino[j],
                                  Desde + j, Errores, Posiciones);
        }
        if (Fuera && F->Ajustar)
            Ajustes.Entrar();
        if (Valores != nullptr && Destino != Valores + Desde)
            std::memcpy(Valores + Desde, Destino, n * sizeof(double));
    }
    if (F->Ajustar)
        Ajustes.Salir();
    std::free(Memoria);
    return true;
}

} // namespace

int32_t EvaluarFilas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, int32_t Filas, double *Valores,
                     int32_t *Errores, int32_t *Posiciones, Evaluacion Una)
{
    if (Filas <= 0)
        return 0;
    const size_t N = static_cast<size_t>(Filas);
    // Answers written over each other would leave the host no row it can trust.
    if (Solapan(Valores, N * sizeof(double), Errores, N * sizeof(int32_t)) ||
        Solapan(Valores, N * sizeof(double), Posiciones, N * sizeof(int32_t)) ||
        Solapan(Errores, N * sizeof(int32_t), Posiciones, N * sizeof(int32_t)))
        return FILAS_SOLAPADAS;
    if (F == nullptr || Estado == nullptr) // as A_Evaluar answers them
        return FilasUnaAUna(F, Estado, nullptr, nullptr, N, Valores, Errores, Posiciones, Una);
    const EnCurso Cuenta(F); // (released last, after the copy)
    Sombra Copia;
    if (!Copia.Preparar(F, Salidas{Valores, Errores, Posiciones, N})) {
        BLOQUEDEDATOS SinMemoria;
        PonerErrorGeneral(SinMemoria, E_MEMORIA);
        return FilasUnaAUna(F, Estado, nullptr, &SinMemoria, N, Valores, Errores, Posiciones, Una);
    }
    // Blocks only where every row is the steps' numbers: no request, nothing but numbers.
    int32_t Fallidas;
    if constexpr (FILAS_EN_BLOQUES)
        if (F->Numerico && F->SinPeticiones &&
            FilasEnBloques(F, Estado, Copia, N, Valores, Errores, Posiciones, Una, Fallidas))
            return Fallidas;
    return FilasUnaAUna(F, Estado, &Copia, nullptr, N, Valores, Errores, Posiciones, Una);
}

} // namespace Motor
