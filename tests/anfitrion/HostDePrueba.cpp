#include "HostDePrueba.h"

#include <cstring>
#include <sstream>

namespace Pruebas {

BLOQUEDEDATOS Numero(double Valor)
{
    BLOQUEDEDATOS B{};
    B.Numero = Valor;
    B.Tipo = TIPO_NUMERO;
    return B;
}

BLOQUEDEDATOS Texto(const std::string &Valor)
{
    BLOQUEDEDATOS B{};
    std::strncpy(B.Cadena, Valor.c_str(), sizeof B.Cadena - 1);
    B.Tipo = TIPO_CADENA;
    return B;
}

BLOQUEDEDATOS ConError(int32_t Codigo, int32_t Posicion)
{
    BLOQUEDEDATOS B{};
    B.Error = Codigo;
    B.Posicion = Posicion;
    return B;
}

// Whether a result block holds nothing of an earlier value.
static bool Vacio(const BLOQUEDEDATOS &R)
{
    return R.Numero == 0 && R.Tipo == 0 && R.Cadena[0] == '\0' && R.Error == 0;
}

void HostDePrueba::PedirVariable(const char *Nombre, BLOQUEDEDATOS *R)
{
    if (AlEntrar)
        AlEntrar();
    Peticiones.push_back({Nombre, false, {}, R->Error, Vacio(*R)});
    if (SinRespuesta.count(Nombre))
        return;
    const auto Encontrada = Variables.find(Nombre);
    if (Encontrada == Variables.end())
        R->Error = E_VARIABLE;
    else
        *R = Encontrada->second;
}

void HostDePrueba::PedirFuncion(const char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    if (AlEntrar)
        AlEntrar();
    Peticiones.push_back({Nombre, true, std::vector<BLOQUEDEDATOS>(Parametros, Parametros + N), R->Error, Vacio(*R)});
    if (SinRespuesta.count(Nombre))
        return;
    const auto Encontrada = Funciones.find(Nombre);
    if (Encontrada == Funciones.end())
        R->Error = E_FUNCION;
    else
        Encontrada->second(Parametros, N, *R);
}

void HostDePrueba::Suma(const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS &R)
{
    double Total = 0;
    for (int32_t i = 0; i < N; ++i)
        if (Parametros[i].Tipo & TIPO_NUMERO)
            Total += Parametros[i].Numero;
    R.Numero = Total;
    R.Tipo = TIPO_NUMERO;
}

std::vector<std::string> HostDePrueba::Orden() const
{
    std::vector<std::string> Nombres;
    for (const Peticion &P : Peticiones)
        Nombres.push_back(P.EsFuncion ? P.Nombre + "()" : P.Nombre);
    return Nombres;
}

#if defined(EVALION_OBJETO)

namespace {
void AdaptadorVariable(void *Objeto, char *Nombre, BLOQUEDEDATOS *R)
{
    static_cast<HostDePrueba *>(Objeto)->PedirVariable(Nombre, R);
}
void AdaptadorFuncion(void *Objeto, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    static_cast<HostDePrueba *>(Objeto)->PedirFuncion(Nombre, Parametros, N, R);
}
} // namespace

void HostDePrueba::Instalar(ESTADODEANALISIS *Estado, bool ConVariables, bool ConFunciones)
{
    A_AsignarAlPedir(Estado, ConVariables ? PuenteVariable<AdaptadorVariable> : nullptr, this,
                     ConFunciones ? PuenteFuncion<AdaptadorFuncion> : nullptr, this);
}

#else

namespace {
// Plain callbacks carry no context: the host in use is the one this thread installed last.
thread_local HostDePrueba *Actual = nullptr;

void EVALION_CONV AdaptadorVariable(char *Nombre, BLOQUEDEDATOS *R) { Actual->PedirVariable(Nombre, R); }
void EVALION_CONV AdaptadorFuncion(char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    Actual->PedirFuncion(Nombre, Parametros, N, R);
}
} // namespace

void HostDePrueba::Instalar(ESTADODEANALISIS *Estado, bool ConVariables, bool ConFunciones)
{
    Actual = this;
    A_AsignarAlPedir(Estado, ConVariables ? AdaptadorVariable : nullptr, ConFunciones ? AdaptadorFuncion : nullptr);
}

#endif

Analisis::Analisis(HostDePrueba *Host, char Millar, char Decimal)
{
    A_Inicializar(&Estado);
    A_AsignarSeparadores(&Estado, Millar, Decimal);
    if (Host)
        Host->Instalar(&Estado);
}

std::string Describir(const BLOQUEDEDATOS &B)
{
    std::ostringstream Salida;
    if (B.Error)
        Salida << "Error " << B.Error << " at " << B.Posicion;
    else if (B.Tipo == TIPO_CADENA)
        Salida << "text \"" << std::string(B.Cadena, strnlen(B.Cadena, sizeof B.Cadena)) << "\"";
    else
        Salida << "number " << B.Numero << " (Tipo " << int(B.Tipo) << ")";
    return Salida.str();
}

} // namespace Pruebas
