// Fuzz target for prepared forms: each input is analysed and evaluated prepared, and the two
// must agree on the block and on every request. The input is the analysis target's:
//   [0] thousands separator  [1] decimal separator
//   [2] bits 0-1: callbacks installed, bit 2: variables bound, bit 3: the host-settings option,
//       bit 4: functions bound to C code, bit 5: the standard library bound
//   [3..10] seed of the answers  [11..] the expression
// so that both targets share their seed corpus.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Comparacion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Datos, size_t Largo)
{
    constexpr size_t CABECERA = 11;
    if (Largo < CABECERA)
        return 0;
    Comparacion::Caso C;
    C.Millar = static_cast<char>(Datos[0]);
    C.Decimal = static_cast<char>(Datos[1]);
    C.SinPeticiones = (Datos[2] & 3) == 0;
    C.Vincular = (Datos[2] & 4) != 0 && !C.SinPeticiones;
    C.Vinculada = Datos[3] % 3; // 0, 1 or 2: a divisor of zero among them
    C.Nativas = (Datos[2] & 16) != 0;
    C.Estandar = (Datos[2] & 32) != 0 && !C.SinPeticiones && !C.Nativas;
    C.AjustesDelAnfitrion = (Datos[2] & 8) != 0;
    for (size_t k = 0; k < 8; ++k)
        C.Semilla = C.Semilla << 8 | Datos[3 + k];
    const char *Texto = reinterpret_cast<const char *>(Datos + CABECERA);
    C.Texto.assign(Texto, strnlen(Texto, Largo - CABECERA));
    const std::string Diferencia = Comparacion::Comparar(C);
    if (!Diferencia.empty()) {
        std::fprintf(stderr, "evalion fuzz: prepared form differs on [%s]\n%s\n", C.Texto.c_str(), Diferencia.c_str());
        std::abort();
    }
    return 0;
}
