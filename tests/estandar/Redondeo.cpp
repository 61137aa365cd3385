// Redondear against a decimal computation of its own: the shortest digits found with
// printf's "%.*e" and strtod, rounded half away from zero on the digit string, read back
// with strtod. Prints how many inputs it tried and every one on which the two differ;
// exits with 1 when any did.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "Estandar.h"

namespace {

// The shortest "%.*e" that reads back as X (X positive and finite): its digits and the
// exponent of the first.
void Cortos(double X, std::string &Digitos, int &Exponente)
{
    char Texto[64];
    for (int Precision = 0; Precision < 17; ++Precision) {
        std::snprintf(Texto, sizeof Texto, "%.*e", Precision, X);
        if (std::strtod(Texto, nullptr) == X)
            break;
    }
    Digitos.clear();
    const char *c = Texto;
    for (; *c != 'e'; ++c)
        if (*c >= '0' && *c <= '9')
            Digitos += *c;
    Exponente = std::atoi(c + 1);
}

double Esperado(double X, int Lugares)
{
    if (X == 0)
        return 0;
    std::string Digitos;
    int Exponente = 0;
    Cortos(std::fabs(X), Digitos, Exponente);
    // Digit i is worth 10^(Exponente - i); those worth at least 10^-Lugares stay.
    const long Enteros = static_cast<long>(Exponente) + Lugares + 1;
    if (Enteros >= static_cast<long>(Digitos.size()))
        return X;
    if (Enteros < 0)
        return 0;
    std::string Unidades = Digitos.substr(0, static_cast<size_t>(Enteros));
    bool Lleva = Digitos[static_cast<size_t>(Enteros)] >= '5';
    for (size_t i = Unidades.size(); Lleva && i-- > 0;) {
        Lleva = Unidades[i] == '9';
        Unidades[i] = Lleva ? '0' : static_cast<char>(Unidades[i] + 1);
    }
    if (Lleva)
        Unidades = "1" + Unidades;
    if (Unidades.empty())
        return 0;
    const double Valor = std::strtod((Unidades + "e" + std::to_string(-Lugares)).c_str(), nullptr);
    return Valor == 0 ? 0 : std::copysign(Valor, X);
}

} // namespace

int main()
{
    std::mt19937_64 Azar(20261208);
    std::uniform_int_distribution<int> Decimales(-20, 20);
    const int CUANTOS = 100000;
    int Diferentes = 0;
    for (int i = 0; i < CUANTOS; ++i) {
        double X;
        switch (i % 3) {
        case 0: { // a decimal of up to 17 digits, where halves are common
            char Texto[64];
            std::snprintf(Texto, sizeof Texto, "%llde%d", static_cast<long long>(Azar() % 100000000000000000ULL) *
                                                              (Azar() % 2 ? 1 : -1),
                          static_cast<int>(Azar() % 30) - 20);
            X = std::strtod(Texto, nullptr);
            break;
        }
        case 1: { // any bits, with a moderate exponent
            const uint64_t Bits = (Azar() & 0x800FFFFFFFFFFFFFULL) | ((1023ULL - 60 + Azar() % 120) << 52);
            std::memcpy(&X, &Bits, sizeof X);
            break;
        }
        default: // any finite double
            do {
                const uint64_t Bits = Azar();
                std::memcpy(&X, &Bits, sizeof X);
            } while (!std::isfinite(X));
        }
        const int Lugares = i % 3 == 2 ? static_cast<int>(Azar() % 801) - 400 : Decimales(Azar);
        BLOQUEDEDATOS P[2] = {}, R = {};
        P[0].Tipo = P[1].Tipo = TIPO_NUMERO;
        P[0].Numero = X;
        P[1].Numero = Lugares;
        A_EstandarFuncion("Redondear", P, 2, &R);
        const double E = Esperado(X, Lugares);
        if (R.Error != 0 || std::memcmp(&R.Numero, &E, sizeof E) != 0) {
            if (++Diferentes <= 20)
                std::printf("Redondear(%.17g; %d): %.17g, expected %.17g\n", X, Lugares, R.Numero, E);
        }
    }
    std::printf("%d inputs, %d mismatches\n", CUANTOS, Diferentes);
    return Diferentes == 0 ? 0 : 1;
}
