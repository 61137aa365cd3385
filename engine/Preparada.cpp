// The prepared forms' operations besides preparing (Compilador.cpp) and evaluating
// (Maquina.cpp): what a form holds, the names it asks for, binding them, its options, and
// its release. The exported entry points (formula/Exportaciones.cpp) delegate to these.
#include <cstdlib>
#include <cstring>

#include "Programa.h"

namespace Motor {

size_t Tamano(const FORMULAPREPARADA *F, uint32_t &Tokens)
{
    Tokens = F->Tokens;
    return sizeof *F + F->Instrucciones * sizeof(Instruccion) + F->Fallidas * sizeof(Fallo) + F->LargoTextos +
           F->CuantosNombres * (sizeof(Uso) + sizeof(const double *) + sizeof(bool) + sizeof(FuncionNativa)) + F->CuantosPasos * sizeof(Paso) + F->LargoEnsamblado;
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

void Opciones(FORMULAPREPARADA *F, int32_t Opciones)
{
    if (F == nullptr)
        return;
    F->Opciones = Opciones;
    Clasificar(F);
    Ensamblar(F);
}

namespace {

// Binds a name of that count of arguments (-1: a variable) to Direccion (Columna: a column)
// or to Funcion, or unbinds it when that is null: every use of it switches between the
// asked code and the bound one. How many uses there are.
int32_t Ligar(FORMULAPREPARADA *F, const char *Nombre, int32_t Argumentos, const double *Direccion, bool Columna,
              FuncionNativa Funcion)
{
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
        for (uint32_t k = 0; k < F->Instrucciones; ++k) {
            Instruccion &I = F->Codigo[k];
            if ((I.Codigo == Pedida || I.Codigo == Ligada) && I.U.Nombre.Extra == n) {
                I.Codigo = Ligado ? Ligada : Pedida;
                ++Usos;
            }
        }
    }
    return Usos;
}

} // namespace

int32_t Vincular(FORMULAPREPARADA *F, const char *Variable, const double *Direccion, bool Columna)
{
    if (F == nullptr || Variable == nullptr)
        return 0;
    const int32_t Usos = Ligar(F, Variable, -1, Direccion, Columna, nullptr);
    Clasificar(F);
    Ensamblar(F);
    return Usos;
}

int32_t VincularFuncion(FORMULAPREPARADA *F, const char *Nombre, int32_t Argumentos, FuncionNativa Funcion)
{
    if (F == nullptr || Nombre == nullptr || Argumentos < 0 || Argumentos > MAXIMO_NATIVOS)
        return 0;
    const int32_t Usos = Ligar(F, Nombre, Argumentos, nullptr, false, Funcion);
    if (Usos > 0) {
        Clasificar(F);
        Ensamblar(F);
    }
    return Usos;
}

} // namespace Motor
