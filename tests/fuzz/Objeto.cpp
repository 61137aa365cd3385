// The object build's header is included inside a namespace: its record type differs
// from the plain one linked into the fuzzer, and the two must not share a name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

#include "Anfitrion.h"

namespace Objeto {
#define EVALION_OBJETO
#undef EVALION_PARSER_H
#include "Parser.h"
#undef EVALION_OBJETO
} // namespace Objeto

#include "Objeto.h"

namespace {

struct Biblioteca {
    decltype(&Objeto::A_Inicializar) Inicializar = nullptr;
    decltype(&Objeto::A_AsignarAlPedir) AsignarAlPedir = nullptr;
    decltype(&Objeto::A_AsignarSeparadores) AsignarSeparadores = nullptr;
    decltype(&Objeto::A_Analizar) Analizar = nullptr;

    Biblioteca()
    {
        void *Modulo = dlopen(EVALION_BIBLIOTECA_OBJETO, RTLD_NOW | RTLD_LOCAL);
        if (!Modulo)
            return;
        Inicializar = reinterpret_cast<decltype(Inicializar)>(dlsym(Modulo, "A_Inicializar"));
        AsignarAlPedir = reinterpret_cast<decltype(AsignarAlPedir)>(dlsym(Modulo, "A_AsignarAlPedir"));
        AsignarSeparadores = reinterpret_cast<decltype(AsignarSeparadores)>(dlsym(Modulo, "A_AsignarSeparadores"));
        Analizar = reinterpret_cast<decltype(Analizar)>(dlsym(Modulo, "A_Analizar"));
    }
};

void PedirVariable(void *Host, char *, Objeto::BLOQUEDEDATOS *R)
{
    static_cast<Anfitrion *>(Host)->Responder(*R, static_cast<const Objeto::BLOQUEDEDATOS *>(nullptr), 0);
}

void PedirFuncion(void *Host, char *, Objeto::BLOQUEDEDATOS *Parametros, int32_t N, Objeto::BLOQUEDEDATOS *R)
{
    static_cast<Anfitrion *>(Host)->Responder(*R, static_cast<const Objeto::BLOQUEDEDATOS *>(Parametros), N);
}

} // namespace

bool AnalizarConObjeto(const char *Expresion, char Millar, char Decimal, bool ConVariable, bool ConFuncion,
                       Anfitrion &Host, void *Resultado)
{
    static const Biblioteca B;
    if (!B.Analizar || !B.Inicializar || !B.AsignarAlPedir || !B.AsignarSeparadores)
        return false;
    Objeto::ESTADODEANALISIS Estado;
    B.Inicializar(&Estado);
    B.AsignarSeparadores(&Estado, Millar, Decimal);
    // The object is passed even where the code is null: that request is not installed.
    B.AsignarAlPedir(&Estado, ConVariable ? PedirVariable : nullptr, &Host, ConFuncion ? PedirFuncion : nullptr,
                     &Host);
    const Objeto::BLOQUEDEDATOS R = B.Analizar(&Estado, Expresion);
    std::memcpy(Resultado, &R, sizeof R);
    return true;
}
