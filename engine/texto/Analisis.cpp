// The analysis: the walk of the grammar (Recorrido.h) with a back-end that computes as it
// goes, its values being blocks; and the analysis entry, which copies the text, switches the
// floating-point settings and stamps the position of an error.
//
// Errors are values: the first block with a non-zero Error travels up unchanged, and only
// the parenthesis rule reads tokens after it. A block is never copied on the way up: the
// right side of an operator is evaluated into the left's block, and of the left only its
// kind and number wait on the frame (a text waits as a copy of its length), so that a deep
// nesting costs little stack per level. Requests hold their 1024-byte name buffer only
// while the host runs.
#include <cstdlib>
#include <cstring>

#include "Motor.h"
#include "Operaciones.h"
#include "Peticiones.h"
#include "Recorrido.h"

namespace Motor {

namespace {

EVALION_NOINLINE void PedirVariable(ESTADODEANALISIS *Estado, const Nombre &N, BLOQUEDEDATOS &R)
{
    const AjustesDelAnalisis Ajustes{Estado};
    Pedir(Instalada(Estado->AlPedirVariable), E_VARIABLE, [&](char *Destino) { CopiarNombre(N, Destino); },
          true, Ajustes, R, [&](char *Texto) { PedirVariableAlAnfitrion(Estado, Texto, &R); });
}

EVALION_NOINLINE void PedirFuncion(ESTADODEANALISIS *Estado, const Nombre &N, BLOQUEDEDATOS *Parametros,
                                   int32_t Cuantos, BLOQUEDEDATOS &R)
{
    const AjustesDelAnalisis Ajustes{Estado};
    Pedir(Instalada(Estado->AlPedirFuncion), E_FUNCION, [&](char *Destino) { CopiarNombre(N, Destino); },
          true, Ajustes, R, [&](char *Texto) { PedirFuncionAlAnfitrion(Estado, Texto, Parametros, Cuantos, &R); });
}

struct Analisis {
    using Registro = ESTADODEANALISIS;
    using Valor = BLOQUEDEDATOS;
    static constexpr bool ESPERA_TEXTOS = true;

    // What an operator needs of a left operand without text: is it a number, which one.
    struct Factor {
        bool Numerico;
        double Numero;
    };
    // The arguments of a call: an array grown by exactly one block per argument.
    struct Argumentos {
        BLOQUEDEDATOS *Parametros;
        int32_t Cuantos;
    };

    static ESTADODEANALISIS *Lector(Registro *E) { return E; }
    static bool Fallido(const Registro *, const Valor &V) { return V.Error != 0; }
    static constexpr bool Detenido(const Registro *) { return false; }

    static Factor Esperar(const Registro *, const Valor &V) { return Factor{EsNumero(V), V.Numero}; }
    static Valor &Derecho(Valor &V) { return V; }

    static void Numero(Registro *, Valor &V, double Numero) { PonerNumero(V, Numero); }
    static void Cadena(Registro *, Valor &V, const char *Texto) { PonerTexto(V, Texto, std::strlen(Texto)); }
    static void Signo(Registro *, Valor &V, bool Negar) { AplicarSigno(V, Negar); }

    static void Nivel1(Registro *, int32_t Operador, const Factor &Izq, const Valor &Der, Valor &Destino)
    {
        PonerNivel1(Operador, Izq.Numerico && EsNumero(Der), Izq.Numero, Der.Numero, Destino);
    }
    static void Termino(Registro *, int32_t Operador, const Factor &Izq, const Valor &Der, Valor &Destino)
    {
        PonerTermino(Operador, Izq.Numerico && EsNumero(Der), Izq.Numero, Der.Numero, Destino);
    }
    static void Potencia(Registro *, const Factor &Base, const Valor &Exponente, Valor &Destino)
    {
        PonerPotencia(Base.Numerico && EsNumero(Exponente), Base.Numero, Exponente.Numero, Destino);
    }

    static void Variable(Registro *E, const Nombre &N, Valor &R) { PedirVariable(E, N, R); }
    static void Funcion(Registro *E, const Nombre &N, const Argumentos &A, Valor &R)
    {
        PedirFuncion(E, N, A.Parametros, A.Cuantos, R);
    }
    // R serves for each argument in turn and carries the failure.
    static Valor &Argumento(Registro *, Argumentos &, Valor &R) { return R; }
    static bool Agregar(Registro *, Argumentos &A, Valor &Argumento)
    {
        void *Nuevo = std::realloc(A.Parametros, (static_cast<size_t>(A.Cuantos) + 1) * sizeof(BLOQUEDEDATOS));
        if (Nuevo == nullptr) { // the old array stays, and Soltar releases it
            Argumento.Error = E_MEMORIA;
            return false;
        }
        A.Parametros = static_cast<BLOQUEDEDATOS *>(Nuevo);
        std::memcpy(&A.Parametros[A.Cuantos++], &Argumento, sizeof Argumento);
        return true;
    }
    static void Soltar(Argumentos &A) { std::free(A.Parametros); }

    static void FallarSinValor(Registro *, Valor &V, int32_t Codigo) { PonerError(V, Codigo); }
    static void FallarCodigo(Registro *, Valor &V, int32_t Codigo) { V.Error = Codigo; }
    static void Abrir(Registro *, int32_t) {}
    static void Cerrar(Registro *, int32_t) {}
};

} // namespace

BLOQUEDEDATOS Analizar(ESTADODEANALISIS *Estado, const char *Expresion)
{
    BLOQUEDEDATOS R;
    if (Estado == nullptr || Expresion == nullptr || Expresion[0] == '\0') {
        PonerErrorGeneral(R, E_OPERANDO);
        return R;
    }
    CargarTexto(Estado, Expresion);
    const PendientesAnfitrion Pendientes = EntrarAlMotor(Estado);
    Recorrer<Analisis>(Estado, R);
    SalirDelMotor(Estado, Pendientes);
    R.Posicion = R.Error ? Estado->InicioToken + 1 : 0;
    return R;
}

} // namespace Motor
