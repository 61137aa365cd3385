// The machine of prepared forms: it runs a program (Programa.h) on blocks, as the analysis
// would compute the same text, and runs the forms of numbers only as steps on doubles.
//
// Every operator, sign, request and division is computed through the one rule of it
// (Operaciones.h, Peticiones.h), never restated here. The steps of a form of numbers only
// give up (a division by zero, an answer that is no plain number) by handing what they
// asked so far to the block evaluation, which then gives the analysis's answer without
// asking the host a second time.
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
    for (uint32_t k = 0; k < F->Instrucciones; ++k) {
        switch (F->Codigo[k].Codigo) {
        case O_NUMERO: case O_VINCULADA: case O_SIGNO: case O_FIN: // no arithmetic: a sign is a bit
            break;
        case O_NIVEL1: case O_NIVEL1K: case O_TERMINO: case O_TERMINOK: case O_POTENCIA: case O_POTENCIAK:
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

namespace {

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
    uint32_t Pedidas = 0;
    const auto Fuente = [&](uint32_t Ranura, uint8_t &Donde, OperandoPaso &O) {
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
    uint32_t Pedidas = 0; // variable requests so far, for the ones Rep answers
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
            case O_FUNCION:
                Pedir(Instalada(Estado->AlPedirFuncion), E_FUNCION,
                      [&](char *Destino) { CopiarPedido(F, I->U.Nombre, Destino); }, Ajustar, Ajustes, A,
                      [&](char *Nombre) { // the arguments in slots A+1 ...
                          LlamarFuncion(Estado, Nombre, &Otras[I->A], I->U.Nombre.Extra, &A);
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

// Everything but the forms of numbers and bound variables: kept out of Evaluar, whose frame
// is then that of the shortest evaluations.
EVALION_NOINLINE void EvaluarResto(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, BLOQUEDEDATOS &R)
{
    // A callback's change of the separators is undone once, at the end: nothing reads them.
    const uint16_t Separadores = GuardarSeparadores(Estado);
    Repeticion Rep;
    double Valor;
    if (!F->Numerico || F->SinPeticiones) { // a division by zero of the steps comes here too
        EvaluarBloques(F, Estado, R, nullptr);
    } else if (EvaluarPasos<true>(F, Estado, Valor, &Rep, &R)) { // the host's answer is received in R
        PonerNumero(R, Valor);
        R.Posicion = 0;
    } else if (Rep.Ultima == nullptr) {
        EvaluarBloques(F, Estado, R, &Rep);
    } else {
        BLOQUEDEDATOS Respuesta;
        std::memcpy(&Respuesta, &R, sizeof Respuesta);
        Rep.Ultima = &Respuesta;
        EvaluarBloques(F, Estado, R, &Rep);
    }
    ReponerSeparadores(Estado, Separadores);
}


} // namespace Motor
