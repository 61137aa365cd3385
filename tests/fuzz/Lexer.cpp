// Fuzz target for the token scanner on its own: any text of any bytes, any separators.
// Beyond "no crash": the reader's counters stay consistent, every scan moves forward,
// and the scan of a text always reaches T_FIN within its length + 1 tokens.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Motor.h"
#include "Peticiones.h"

namespace {

void Exigir(bool Condicion)
{
    if (!Condicion)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Datos, size_t Tamano)
{
    if (Tamano < 2)
        return 0;
    ESTADODEANALISIS Estado;
    Motor::Inicializar(&Estado, Motor::SinVariable(), Motor::SinFuncion(), static_cast<char>(Datos[0]),
                       static_cast<char>(Datos[1]));
    Datos += 2;
    Tamano -= 2;
    const size_t Largo = Tamano < EVALION_LARGO_EXPRESION ? Tamano : EVALION_LARGO_EXPRESION;
    std::memset(Estado.Texto, 0, sizeof Estado.Texto);
    std::memcpy(Estado.Texto, Datos, Largo);
    const size_t LargoTexto = strnlen(Estado.Texto, sizeof Estado.Texto);
    Motor::LeerCaracter(&Estado, Motor::LEER_REINICIAR);

    int32_t Anterior = -1;
    for (size_t Tokens = 0;; ++Tokens) {
        Exigir(Tokens <= LargoTexto + 1);
        const int32_t Token = Motor::SiguienteToken(&Estado);
        Exigir(Estado.Leidos == Estado.Cursor - Estado.Texto);
        Exigir(Estado.InicioToken > Anterior && Estado.InicioToken < Estado.Leidos);
        Exigir(static_cast<size_t>(Estado.Leidos) <= LargoTexto + 1);
        Anterior = Estado.InicioToken;
        if (Token == T_NUMERO || Token == T_IDENTIFICADOR || Token == T_CADENA)
            Exigir(strnlen(Estado.TextoToken, sizeof Estado.TextoToken) < sizeof Estado.TextoToken);
        if (Token == T_FIN)
            break;
    }
    Exigir(Estado.Leidos == static_cast<int32_t>(LargoTexto) + 1);
    return 0;
}
