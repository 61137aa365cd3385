// The prepared forms' operations: preparing a form (its program, then the one place that
// chooses how it is evaluated: the steps, the blocks, its machine code), what it holds, the
// names it asks for, binding them, its options, and its release. The exported entry points
// (formula/Exportaciones.cpp) delegate to these.
#include <cstdlib>
#include <cstring>

#include "Ensamblador.h"
#include "Forma.h"

namespace Motor {

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

FORMULAPREPARADA *Preparar(const ESTADODEANALISIS *Estado, const char *Expresion, BLOQUEDEDATOS &Error)
{
    FORMULAPREPARADA *F = Compilar(Estado, Expresion, Error);
    if (F == nullptr)
        return nullptr;
    F->Soltar = Liberar;
    Clasificar(F);
    Ensamblar(F);
    // A form that asks nothing gives one answer: an error refuses it. A record without
    // callbacks serves for that one evaluation.
    if (F->CuantosNombres == 0) {
        ESTADODEANALISIS Registro;
        Inicializar(&Registro, SinVariable(), SinFuncion(), Estado->SepMillar, Estado->SepDecimal);
        const BLOQUEDEDATOS R = EvaluarResto(F, &Registro);
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
           F->CuantosNombres * (sizeof(Uso) + sizeof(const double *) + sizeof(bool) + sizeof(FuncionNativa)) +
           F->CuantosPasos * sizeof(Paso) + PaginasEnsambladas(F);
}

void Liberar(FORMULAPREPARADA *F)
{
    if (F == nullptr)
        return;
    // Released from the host's code an evaluation of it runs (a request, a bound function):
    // the last evaluation in course releases it (EnCurso), whichever of the two claims it.
    __atomic_store_n(&F->PorLiberar, true, __ATOMIC_RELEASE);
    if (EstaEnCurso(F) || !__atomic_exchange_n(&F->PorLiberar, false, __ATOMIC_ACQ_REL))
        return;
    SoltarEnsamblado(F);
    SoltarPrograma(F);
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

int32_t Opciones(FORMULAPREPARADA *F, int32_t Opciones)
{
    if (F == nullptr)
        return 0;
    if (EstaEnCurso(F)) // its steps and code are running: they stay as they are
        return CAMBIO_EN_CURSO;
    F->Opciones = Opciones;
    Clasificar(F);
    Ensamblar(F);
    return 0;
}

int32_t Vincular(FORMULAPREPARADA *F, const char *Nombre, int32_t Argumentos, const double *Direccion, bool Columna,
                 FuncionNativa Funcion)
{
    // A function's count in the low byte, what else its binding says above (only with the
    // count its operation takes).
    const int32_t Marcas = Argumentos < 0 ? 0 : Argumentos & ~0xFF, Operacion = Marcas & NATIVA_OPERACION;
    Argumentos = Argumentos < 0 ? Argumentos : Argumentos & 0xFF;
    const bool Valida = (Marcas & ~(NATIVA_TEXTO_AL_ANFITRION | NATIVA_OPERACION)) == 0 && Operacion <= NATIVA_SI &&
                        (Operacion == 0 || Argumentos == (Operacion == NATIVA_SI ? 3 : 1));
    if (F == nullptr || Nombre == nullptr || Argumentos > MAXIMO_NATIVOS || !Valida)
        return 0;
    if (EstaEnCurso(F))
        return CAMBIO_EN_CURSO;
    const bool Variable = Argumentos < 0;
    const uint8_t Pedida = Variable ? O_VARIABLE : O_FUNCION, Ligada = Variable ? O_VINCULADA : O_NATIVA;
    const bool Ligado = Variable ? Direccion != nullptr : Funcion != nullptr;
    const size_t Largo = std::strlen(Nombre);
    int32_t Usos = 0;
    for (uint32_t n = 0; n < F->CuantosNombres; ++n) {
        const Uso &U = F->Nombres[n];
        if (U.Argumentos != Argumentos || U.Nombre.Largo != Largo || std::memcmp(F->Textos + U.Nombre.Inicio, Nombre, Largo))
            continue;
        if (Variable) {
            F->Direcciones[n] = Direccion;
            F->Columnas[n] = Columna && Ligado;
        } else {
            F->Nativas[n] = Funcion;
            F->Nombres[n].Marcas = Funcion != nullptr ? Marcas : 0;
        }
        // Every use switches between the asked code and the bound one.
        for (uint32_t k = 0; k < F->Instrucciones; ++k) {
            Instruccion &I = F->Codigo[k];
            if ((I.Codigo == Pedida || I.Codigo == Ligada) && I.U.Nombre.Extra == n) {
                I.Codigo = Ligado ? Ligada : Pedida;
                ++Usos;
            }
        }
    }
    Clasificar(F);
    Ensamblar(F);
    return Usos;
}

} // namespace Motor
