// Fuzz target for whole analyses. The input chooses the separators, which requests are
// installed, the host's answers (through a seed) and the expression bytes:
//   [0] thousands separator  [1] decimal separator  [2] bit 0 variable, bit 1 function
//   [3..10] seed of the answers  [11..] the expression
// Beyond "no crash", each input is checked for: a position within the analysed text,
// a successful kind and text the rules allow, the same meaningful result from the plain
// and the object build, and the same result on a reused record as on a fresh one.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Anfitrion.h"
#include "Motor.h"
#include "Objeto.h"

namespace {

constexpr size_t CABECERA = 11;

thread_local Anfitrion *Actual = nullptr;

void PedirVariable(char *, BLOQUEDEDATOS *R) { Actual->Responder(*R, static_cast<const BLOQUEDEDATOS *>(nullptr), 0); }
void PedirFuncion(char *, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R) { Actual->Responder(*R, Parametros, N); }

void Fallo(const char *Que)
{
    std::fprintf(stderr, "evalion fuzz: %s\n", Que);
    std::abort();
}

struct Entrada {
    char Millar, Decimal;
    bool ConVariable, ConFuncion;
    uint64_t Semilla;
    std::string Expresion; // up to its first NUL, as a host would pass it
};

BLOQUEDEDATOS AnalizarPlano(ESTADODEANALISIS &Estado, const Entrada &E, Anfitrion &Host)
{
    Host.Reiniciar(E.Semilla);
    Actual = &Host;
    Motor::Inicializar(&Estado, E.ConVariable ? PedirVariable : nullptr, E.ConFuncion ? PedirFuncion : nullptr,
                       E.Millar, E.Decimal);
    return Motor::Analizar(&Estado, E.Expresion.c_str());
}

bool MismoNumero(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// The fields a host may read: Error (and Posicion with it), else Tipo and the field it names.
bool MismoSignificado(const BLOQUEDEDATOS &a, const BLOQUEDEDATOS &b)
{
    if (a.Error != b.Error)
        return false;
    if (a.Error != 0)
        return a.Posicion == b.Posicion;
    if (a.Tipo != b.Tipo)
        return false;
    if ((a.Tipo & TIPO_NUMERO) && !MismoNumero(a.Numero, b.Numero))
        return false;
    if ((a.Tipo & TIPO_CADENA) &&
        std::strncmp(a.Cadena, b.Cadena, sizeof a.Cadena) != 0)
        return false;
    return true;
}

void ComprobarResultado(const BLOQUEDEDATOS &R, const Entrada &E, const Anfitrion &Host)
{
    const size_t Analizado = E.Expresion.size() < EVALION_LARGO_EXPRESION ? E.Expresion.size() : EVALION_LARGO_EXPRESION;
    if (R.Error != 0) {
        if (R.Posicion < 0 || static_cast<size_t>(R.Posicion) > Analizado + 1)
            Fallo("position outside the analysed text");
        if ((R.Posicion == 0) != E.Expresion.empty())
            Fallo("position 0 for a text that is not empty, or the reverse");
        return;
    }
    // The engine makes only kinds 1 and 2; anything else must be a host's value passed on.
    if (R.Tipo != TIPO_NUMERO && R.Tipo != TIPO_CADENA && !Host.TipoRaro[R.Tipo])
        Fallo("a successful kind that neither the engine nor the host made");
    if (R.Tipo == TIPO_CADENA && !Host.CadenaSinFin && std::memchr(R.Cadena, 0, sizeof R.Cadena) == nullptr)
        Fallo("a text result without its terminator");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Datos, size_t Tamano)
{
    if (Tamano < CABECERA)
        return 0;
    Entrada E;
    E.Millar = static_cast<char>(Datos[0]);
    E.Decimal = static_cast<char>(Datos[1]);
    E.ConVariable = Datos[2] & 1;
    E.ConFuncion = Datos[2] & 2;
    std::memcpy(&E.Semilla, Datos + 3, sizeof E.Semilla);
    E.Expresion.assign(reinterpret_cast<const char *>(Datos + CABECERA), Tamano - CABECERA);
    E.Expresion.resize(strnlen(E.Expresion.c_str(), E.Expresion.size()));

    Anfitrion Host;
    ESTADODEANALISIS Nuevo;
    const BLOQUEDEDATOS Fresco = AnalizarPlano(Nuevo, E, Host);
    ComprobarResultado(Fresco, E, Host);

    // A record that has just analysed something else must give the same answer.
    ESTADODEANALISIS Usado;
    Entrada Otra = E;
    Otra.Expresion.assign(E.Expresion.rbegin(), E.Expresion.rend());
    AnalizarPlano(Usado, Otra, Host);
    if (!MismoSignificado(Fresco, AnalizarPlano(Usado, E, Host)))
        Fallo("a reused record differs from a fresh one");

    Anfitrion HostObjeto;
    HostObjeto.Reiniciar(E.Semilla);
    BLOQUEDEDATOS Objeto;
    if (!AnalizarConObjeto(E.Expresion.c_str(), E.Millar, E.Decimal, E.ConVariable, E.ConFuncion, HostObjeto,
                           &Objeto))
        Fallo("the object library could not be loaded");
    if (!MismoSignificado(Fresco, Objeto))
        Fallo("the plain and the object build differ");
    return 0;
}
