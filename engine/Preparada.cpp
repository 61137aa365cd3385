// The prepared forms' operations besides preparing (Compilador.cpp) and evaluating
// (Maquina.cpp): what a form holds, the names it asks for, binding them, its options, and
// its release. The exported entry points (formula/Exportaciones.cpp) delegate to these.
#include <cstdlib>
#include <cstring>

#include "Evaluacion.h" // and the program

namespace Motor {

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
    std::free(F->Codigo);
    std::free(F->Fallos);
    std::free(F->Textos);
    std::free(F->Nombres);
    std::free(F->Direcciones);
    std::free(F->Columnas);
    std::free(F->Nativas);
    std::free(F->Pasos);
    SoltarEnsamblado(F);
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
    if (F == nullptr || Nombre == nullptr || Argumentos > MAXIMO_NATIVOS)
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
