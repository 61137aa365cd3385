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

int32_t Vincular(FORMULAPREPARADA *F, const char *Variable, const double *Direccion, bool Columna)
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
        F->Columnas[n] = Columna && Direccion != nullptr;
        for (uint32_t k = 0; k < F->Instrucciones; ++k) {
            Instruccion &I = F->Codigo[k];
            if ((I.Codigo == O_VARIABLE || I.Codigo == O_VINCULADA) && I.U.Nombre.Extra == n) {
                I.Codigo = Direccion ? O_VINCULADA : O_VARIABLE;
                ++Usos;
            }
        }
    }
    Clasificar(F);
    Ensamblar(F);
    return Usos;
}

int32_t VincularFuncion(FORMULAPREPARADA *F, const char *Nombre, int32_t Argumentos, FuncionNativa Funcion)
{
    if (F == nullptr || Nombre == nullptr || Argumentos < 0 || Argumentos > MAXIMO_NATIVOS)
        return 0;
    const size_t Largo = std::strlen(Nombre);
    int32_t Usos = 0;
    for (uint32_t n = 0; n < F->CuantosNombres; ++n) {
        const Uso &U = F->Nombres[n];
        if (U.Argumentos != Argumentos || U.Nombre.Largo != Largo || std::memcmp(F->Textos + U.Nombre.Inicio, Nombre, Largo))
            continue;
        F->Nativas[n] = Funcion;
        // A bound call names its entry of the list; unbound, it names the function again,
        // to ask for it by (the list's copy of the name).
        for (uint32_t k = 0; k < F->Instrucciones; ++k) {
            Instruccion &I = F->Codigo[k];
            const bool Mia = I.Codigo == O_NATIVA ? I.U.Nombre.Inicio == n
                             : I.Codigo == O_FUNCION && I.U.Nombre.Extra == U.Nombre.Extra &&
                                   MismoNombre(F->Textos, I.U.Nombre, U.Nombre);
            if (!Mia)
                continue;
            I.Codigo = Funcion ? O_NATIVA : O_FUNCION;
            I.U.Nombre = U.Nombre;
            if (Funcion)
                I.U.Nombre.Inicio = n;
            ++Usos;
        }
    }
    if (Usos > 0) {
        Clasificar(F);
        Ensamblar(F);
    }
    return Usos;
}

} // namespace Motor
