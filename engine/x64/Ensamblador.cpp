// Which forms get machine code of their own, and the code's life in the form: written
// (Emisor.cpp) into pages of its own (Paginas.cpp), its entries set in the form, kept while a
// new binding writes the same code, given back when the form changes or goes.
#include <cstdlib>
#include <cstring>

#include "Emisor.h"
#include "Ensamblador.h"
#include "Paginas.h"

namespace Motor {

#if EVALION_ENSAMBLADO
namespace {

// A division whose divisor may be zero (none but a constant's is known not to be).
bool DivideEntreVariables(const FORMULAPREPARADA *F)
{
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        if (F->Pasos[p].Codigo < CODIGO_PEDIR && OperacionDePaso(F->Pasos[p].Codigo) == P_ENTRE &&
            FuenteDerecha(F->Pasos[p].Codigo) != DE_CONSTANTE)
            return true;
    return false;
}

// A call of C code that the machine code makes (one it computes itself, FORMULA_ES_..., is as
// pure as an operator: made again for a row, it changes nothing).
bool LlamaCodigoC(const FORMULAPREPARADA *F)
{
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        if (F->Pasos[p].Codigo == CODIGO_NATIVA && F->Pasos[p].Der.Ranura == 0)
            return true;
    return false;
}

// Every failure of the form keeps its code (none turns into E_PARENTESIS), so that the code
// of a form that calls C code may answer a division by zero's E_DIVISION itself.
bool CodigosPropios(const FORMULAPREPARADA *F)
{
    for (uint32_t k = 0; k < F->Fallidas; ++k)
        if (F->Fallos[k].Reemplazo != 0)
            return false;
    return true;
}

// The entries of a form that calls C code: counted in course around its machine code, so
// that the code a call runs cannot change or release the form under it.
int32_t NativaEnCurso(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, double *Numero)
{
    const EnCurso Cuenta(F);
    return F->NativaEnsamblada(F, Estado, Numero);
}
double ValorEnCurso(const FORMULAPREPARADA *F)
{
    const EnCurso Cuenta(F);
    return F->ValorEnsamblado(F);
}

bool Ensamblable(const FORMULAPREPARADA *F)
{
    // Under the engine's settings the switch costs more than the steps save; and a form is
    // assembled only once the host has chosen its own settings, so that preparing a form,
    // which many hosts do for one evaluation, asks the system for no pages. A form that asks
    // nothing: numbers, powers, and C code, which it calls straight under those settings.
    return !F->SinPaginas && F->SinPeticiones && !F->Ajustar && (F->Opciones & AJUSTES_DEL_ANFITRION) &&
           (!F->Llama || CodigosPropios(F));
}


} // namespace

void Ensamblar(FORMULAPREPARADA *F)
{
    if (!Ensamblable(F)) {
        SoltarEnsamblado(F);
        return;
    }
    uint8_t *Texto;
    size_t Largo, Entrada = 0, EntradaValor = 0;
    uint32_t Funciones = 0;
    const double *Enlaces[ENLACES_EN_FORMA];
    if (!CodigoDeEvaluacion(F, Texto, Largo, Entrada, EntradaValor, Enlaces, Funciones)) {
        std::free(Texto);
        SoltarEnsamblado(F);
        return;
    }
    // The code reads the bindings through the form: binding a variable elsewhere writes the
    // same code, which is kept (asking the system for pages costs microseconds).
    if (F->Ensamblado == nullptr || F->LargoEnsamblado != Largo || std::memcmp(F->Ensamblado, Texto, Largo) != 0) {
        SoltarEnsamblado(F);
        F->Ensamblado = Ejecutable(Texto, Largo, Funciones);
        // Refused (a policy against executable memory): the steps serve, and every later
        // binding would only be refused again, each time a system call and maybe an audit record.
        F->SinPaginas = F->Ensamblado == nullptr;
        if (F->Ensamblado != nullptr) {
            F->LargoEnsamblado = Largo;
            F->NativaEnsamblada = reinterpret_cast<EvaluacionNativa>(static_cast<uint8_t *>(F->Ensamblado) + Entrada);
            F->ValorEnsamblado = reinterpret_cast<EvaluacionValor>(static_cast<uint8_t *>(F->Ensamblado) + EntradaValor);
            F->Nativa = F->Llama ? NativaEnCurso : F->NativaEnsamblada;
            F->Valor = F->Llama ? ValorEnCurso : F->ValorEnsamblado;
        }
    }
    std::memcpy(F->Enlaces, Enlaces, sizeof Enlaces); // the new bindings, where the code reads them
    std::free(Texto);
}

FilasEnsambladas::FilasEnsambladas(const FORMULAPREPARADA *F, const DesdeColumnas &Desde)
{
    // A form that asks nothing, whose powers the code computes as the steps do; one that calls
    // C code only under the host's settings, which the code calls it under as they stand.
    const bool Llama = F->Llama && LlamaCodigoC(F);
    if (!F->SinPeticiones || (Llama && F->Ajustar))
        return;
    // Calls of C code, which would be made again for the two rows the code stops at: rows in
    // blocks, which keep the calls' values, where a division may stop it.
    if (F->SinPaginas || (Llama && DivideEntreVariables(F)))
        return;
    uint8_t *Texto;
    size_t Entrada = 0;
    uint32_t Funciones = 0;
    if (CodigoDeFilas(F, Desde, Texto, Largo, Entrada, Funciones)) {
        Memoria = Ejecutable(Texto, Largo, Funciones);
        Rechazadas = Memoria == nullptr;
    }
    std::free(Texto);
    if (Memoria != nullptr)
        Codigo = reinterpret_cast<Funcion>(static_cast<uint8_t *>(Memoria) + Entrada);
}

FilasEnsambladas::~FilasEnsambladas()
{
    if (Memoria != nullptr)
        SoltarPaginas(Memoria, Largo);
}

size_t PaginasEnsambladas(const FORMULAPREPARADA *F)
{
    return F->Ensamblado != nullptr ? EnPaginas(F->LargoEnsamblado) : 0;
}

void SoltarEnsamblado(FORMULAPREPARADA *F)
{
    if (F->Ensamblado != nullptr)
        SoltarPaginas(F->Ensamblado, F->LargoEnsamblado);
    SinEnsamblar(F);
}

#endif

} // namespace Motor
