// The steps on doubles of a form of numbers only (Programa.h), from its program and the
// bindings of the moment: one step per operation, each operand read where it is, and the
// fusions the program's shape proves, each operation still rounded on its own.
#include <cstdlib>
#include <cstring>

#include "Programa.h"

namespace Motor {

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

} // namespace

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
            P.Der.Ranura = static_cast<uint32_t>(F->Nombres[I.U.Nombre.Extra].Marcas & NATIVA_OPERACION);
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

} // namespace Motor
