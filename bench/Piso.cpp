#include "Piso.h"

#include <cstdlib>
#include <cstring>

namespace Banco {

namespace {

constexpr size_t LARGO_NOMBRE = EVALION_LARGO_CADENA - 1;

// The bytes that begin or continue a name: digits only continue one.
struct TablaNombre {
    bool Es[256] = {};
    constexpr TablaNombre()
    {
        for (int c = 'A'; c <= 'Z'; ++c)
            Es[c] = Es[c + ('a' - 'A')] = true;
        Es[static_cast<unsigned char>('_')] = true;
        constexpr unsigned char ESPANOLAS[] = {193, 201, 205, 209, 211, 218, 225, 233, 237, 241, 243, 250};
        for (unsigned char c : ESPANOLAS)
            Es[c] = true;
    }
};
constexpr TablaNombre NOMBRE;

inline bool EsDigito(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool SigueNombre(unsigned char c) { return NOMBRE.Es[c] || EsDigito(c); }

// A call whose argument list is open: the name as it stands in the text.
struct Llamada {
    const char *Nombre;
    size_t Largo;
};

void CopiarNombre(ESTADOPISO *Estado, const char *Texto, size_t Largo)
{
    if (Largo > LARGO_NOMBRE)
        Largo = LARGO_NOMBRE;
    std::memcpy(Estado->Nombre, Texto, Largo);
    Estado->Nombre[Largo] = '\0';
}

// A literal from its first digit: separators turned into strtod's form, then converted.
const char *Numero(ESTADOPISO *Estado, const char *p, double &Valor)
{
    char *Salida = Estado->Literal;
    for (char c = *p; EsDigito(static_cast<unsigned char>(c)) || c == Estado->SepDecimal || c == Estado->SepMillar;
         c = *++p) {
        if (c == Estado->SepDecimal)
            *Salida++ = '.';
        else if (c != Estado->SepMillar)
            *Salida++ = c;
    }
    *Salida = '\0';
    Valor = std::strtod(Estado->Literal, nullptr);
    return p;
}

// A text literal from its opening quote, into the field after the previous literal's.
const char *Cadena(ESTADOPISO *Estado, const char *p, int &Actual, bool &HayAnterior, int &Orden)
{
    const char *Inicio = ++p;
    while (*p != '"' && *p != '\0')
        ++p;
    const size_t Largo = static_cast<size_t>(p - Inicio);
    char *Campo = Estado->Cadenas[Actual];
    std::memcpy(Campo, Inicio, Largo);
    std::memset(Campo + Largo, 0, EVALION_LARGO_CADENA - Largo);
    if (HayAnterior)
        Orden = std::strcmp(Estado->Cadenas[Actual ^ 1], Campo);
    HayAnterior = true;
    Actual ^= 1;
    return *p == '"' ? p + 1 : p;
}

// The request for a call whose ")" was just met: one argument block on the heap, holding
// the last number seen, as the host reads it.
void PedirFuncion(ESTADOPISO *Estado, const Llamada &L, double &Ultimo)
{
    CopiarNombre(Estado, L.Nombre, L.Largo);
    BLOQUEDEDATOS *Argumento = static_cast<BLOQUEDEDATOS *>(std::malloc(sizeof(BLOQUEDEDATOS)));
    if (Argumento == nullptr)
        return;
    Argumento->Numero = Ultimo;
    Argumento->Tipo = TIPO_NUMERO;
    Argumento->Error = 0;
    BLOQUEDEDATOS R;
    R.Error = 0;
    Estado->AlPedirFuncion(Estado->Nombre, Argumento, 1, &R);
    Ultimo = R.Numero;
    std::free(Argumento);
}

} // namespace

void InicializarPiso(ESTADOPISO *Estado, ALPEDIRVARIABLE Variable, ALPEDIRFUNCION Funcion)
{
    Estado->SepDecimal = ',';
    Estado->SepMillar = '.';
    Estado->AlPedirVariable = Variable;
    Estado->AlPedirFuncion = Funcion;
}

RESULTADOPISO Piso(ESTADOPISO *Estado, const char *Expresion)
{
    RESULTADOPISO Resultado{0.0, 0};
    const size_t Largo = strnlen(Expresion, EVALION_LARGO_EXPRESION);
    std::memcpy(Estado->Texto, Expresion, Largo);
    std::memset(Estado->Texto + Largo, 0, sizeof Estado->Texto - Largo);

    // The open parentheses, each with the call it opens (null name for a plain one), so
    // that a function is requested after its argument, in the order of the text.
    Llamada Abiertas[EVALION_LARGO_EXPRESION];
    size_t Profundidad = 0;
    int Actual = 0;
    bool HayAnterior = false;

    const char *p = Estado->Texto;
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\0')
            break;
        if (EsDigito(c)) {
            p = Numero(Estado, p, Resultado.Ultimo);
        } else if (c == '"') {
            p = Cadena(Estado, p, Actual, HayAnterior, Resultado.Orden);
        } else if (NOMBRE.Es[c]) {
            const char *Inicio = p;
            while (SigueNombre(static_cast<unsigned char>(*++p))) {
            }
            const size_t LargoNombre = static_cast<size_t>(p - Inicio);
            const char *Siguiente = p;
            while (*Siguiente == ' ')
                ++Siguiente;
            if (*Siguiente == '(') {
                Abiertas[Profundidad++] = {Inicio, LargoNombre};
                p = Siguiente + 1;
            } else {
                CopiarNombre(Estado, Inicio, LargoNombre);
                BLOQUEDEDATOS R;
                R.Error = 0;
                Estado->AlPedirVariable(Estado->Nombre, &R);
                Resultado.Ultimo = R.Numero;
            }
        } else if (c == '(') {
            Abiertas[Profundidad++] = {nullptr, 0};
            ++p;
        } else if (c == ')') {
            if (Profundidad > 0 && Abiertas[--Profundidad].Nombre != nullptr)
                PedirFuncion(Estado, Abiertas[Profundidad], Resultado.Ultimo);
            ++p;
        } else {
            ++p; // operators and blanks: nothing to do
        }
    }
    return Resultado;
}

} // namespace Banco
