// The fuzzed host: its answers are drawn from the fuzzer's input, so that one input
// always meets the same answers, whichever build or record analyses it.
#ifndef EVALION_FUZZ_ANFITRION_H
#define EVALION_FUZZ_ANFITRION_H

#include <cstdint>
#include <cstring>

struct Anfitrion {
    uint64_t Semilla = 0;
    uint32_t Peticiones = 0;
    // What the answers allow a result to be: a kind other than 1 or 2, a text without NUL.
    bool TipoRaro[256] = {};
    bool CadenaSinFin = false;

    void Reiniciar(uint64_t NuevaSemilla)
    {
        *this = Anfitrion();
        Semilla = NuevaSemilla;
    }

    uint64_t Siguiente()
    {
        uint64_t z = (Semilla += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Fills R as a host might: numbers of any bits, texts of every length, kinds 0, 3 or
    // any byte, a text with no NUL in its field, any error code with any position, or
    // (for a function) one of its arguments copied whole.
    // Bloque is the block type of the build at hand (both have the same layout).
    template <class Bloque> void Responder(Bloque &R, const Bloque *Parametros, int32_t N)
    {
        ++Peticiones;
        const uint64_t x = Siguiente();
        const uint64_t y = Siguiente();
        std::memcpy(&R.Numero, &y, sizeof R.Numero);
        const size_t Largo = (x >> 8) % 1024;
        std::memset(R.Cadena, 'a' + static_cast<int>(x % 26), sizeof R.Cadena);
        R.Cadena[Largo] = '\0';
        switch (x % 8) {
        case 0: R.Tipo = 1; break;
        case 1: R.Tipo = 2; break;
        case 2: R.Tipo = 0; break;
        case 3: R.Tipo = 3; break;
        case 4: R.Tipo = static_cast<uint8_t>(x >> 24); break;
        case 5:
            R.Tipo = 2;
            std::memset(R.Cadena, 'z', sizeof R.Cadena);
            CadenaSinFin = true;
            break;
        case 6:
            R.Tipo = static_cast<uint8_t>(x >> 24);
            R.Error = static_cast<int32_t>(y >> 32) | 1;
            R.Posicion = static_cast<int32_t>(y);
            break;
        default:
            if (N > 0) {
                std::memcpy(&R, &Parametros[(x >> 32) % static_cast<uint64_t>(N)], sizeof R);
                if (std::memchr(R.Cadena, 0, sizeof R.Cadena) == nullptr)
                    CadenaSinFin = true;
            } else {
                R.Tipo = 1;
            }
            break;
        }
        if (R.Tipo != 1 && R.Tipo != 2)
            TipoRaro[R.Tipo] = true;
    }
};

#endif
