#include "Comparacion.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "FormulaEstandar.h"

namespace Comparacion {

namespace {

// The host answers from a script: the k-th request of an analysis gets the k-th answer of
// the seed, so both runs of a case see the same answers in the same order.
struct Peticion {
    std::string Nombre;
    int32_t N; // -1 for a variable
    std::vector<std::string> Argumentos;
    bool Numeros = true; // every argument a plain number
};

uint64_t Semilla;
uint32_t Contador;
const double *Vinculada; // the analysis's host answers every variable with it
bool Nativas;            // and every function as the C code below
bool ConEstandar;        // the standard library answers its names before the script
std::vector<Peticion> *Registro;
Cuentas Cuenta;
uint64_t Llamadas; // calls of the C code below, which every path must make as the analysis asks
bool ConTrampas;   // the invalid operation traps while the engine runs

// The trap unmasked for the life of one call of the engine, when the case asks for it
// (where the C library can unmask it: glibc's).
struct Trampa {
    Trampa() { Poner(true); }
    ~Trampa() { Poner(false); }
    static void Poner(bool Activa)
    {
#if defined(__GLIBC__)
        if (ConTrampas)
            Activa ? feenableexcept(FE_INVALID) : fedisableexcept(FE_INVALID);
#else
        (void)Activa;
#endif
    }
};
template <class Llamada> auto ConTrampa(Llamada L)
{
    const Trampa T;
    return L();
}

uint64_t Mezclar(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A block as the comparison sees it: its code, its kind, the bits of its number and its
// text, whether or not it holds an error, since a host may read every field it is handed.
std::string Describir(const BLOQUEDEDATOS &B, bool ConPosicion)
{
    std::string D = "error " + std::to_string(B.Error);
    if (ConPosicion)
        D += " at " + std::to_string(B.Posicion);
    uint64_t Bits;
    std::memcpy(&Bits, &B.Numero, sizeof Bits);
    D += " tipo " + std::to_string(B.Tipo) + " bits " + std::to_string(Bits);
    D += " cadena [" + std::string(B.Cadena, strnlen(B.Cadena, sizeof B.Cadena)) + "]";
    return D;
}

void Responder(BLOQUEDEDATOS *R)
{
    const uint64_t x = Mezclar(Semilla * 1000003u + Contador++);
    switch (x % 16) {
    case 0: case 1: case 2: case 3: case 4: case 5:
        R->Numero = static_cast<double>(static_cast<int64_t>(x >> 40) % 7 - 2);
        R->Tipo = TIPO_NUMERO;
        break;
    case 6:
        R->Numero = static_cast<double>(x >> 11) / 9007199254740992.0 * 1e300;
        R->Tipo = TIPO_NUMERO;
        break;
    case 7: case 8:
        std::strcpy(R->Cadena, (x >> 20) % 2 ? "ab" : "");
        R->Tipo = TIPO_CADENA;
        break;
    case 9:
        std::strcpy(R->Cadena, "both");
        R->Numero = 3;
        R->Tipo = TIPO_NUMERO | TIPO_CADENA;
        break;
    case 10:
        R->Tipo = static_cast<uint8_t>((x >> 24) % 2 ? 0 : 4); // no kind the engine knows
        break;
    case 11:
        std::memset(R->Cadena, 'z', sizeof R->Cadena); // a text that fills its field
        R->Tipo = TIPO_CADENA;
        break;
    case 12:
        std::strcpy(R->Cadena, "host error");
        R->Error = (x >> 30) % 2 ? E_VARIABLE : 4242;
        break;
    case 13:
        R->Numero = 0;
        R->Tipo = TIPO_NUMERO;
        break;
    default:
        break; // nothing set
    }
}

// The C code bound to the calls of 1 to 4 arguments: infinities and not-a-numbers among its
// values (1/0, 0/0). More arguments are summed.
// One compiled body each, which the form calls through its pointer and the analysis's host
// calls too: a copy inlined into the host could take the operands of a product in the other
// order, and of two not-a-numbers keep the other one.
#if defined(__GNUC__) && !defined(__clang__)
#define EVALION_UNA_COPIA __attribute__((noipa))
#else
#define EVALION_UNA_COPIA __attribute__((noinline))
#endif
EVALION_UNA_COPIA double Nativa1(double a) { return ++Llamadas, 1 / a; }
EVALION_UNA_COPIA double Nativa2(double a, double b) { return ++Llamadas, a / b; }
EVALION_UNA_COPIA double Nativa3(double a, double b, double c) { return ++Llamadas, a * b + c; }
EVALION_UNA_COPIA double Nativa4(double a, double b, double c, double d) { return ++Llamadas, (a - b) / (c - d); }
const FORMULA_NATIVA NATIVAS[] = {reinterpret_cast<FORMULA_NATIVA>(Nativa1), reinterpret_cast<FORMULA_NATIVA>(Nativa2),
                                  reinterpret_cast<FORMULA_NATIVA>(Nativa3), reinterpret_cast<FORMULA_NATIVA>(Nativa4)};

void ComoNativa(const BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    double a[4] = {}, Suma = 0;
    for (int32_t k = 0; k < N; ++k) {
        if (!(Parametros[k].Tipo & TIPO_NUMERO)) {
            R->Error = E_INCOMPATIBLES;
            return;
        }
        if (k < 4)
            a[k] = Parametros[k].Numero;
        Suma += Parametros[k].Numero;
    }
    R->Numero = N == 1 ? Nativa1(a[0]) : N == 2 ? Nativa2(a[0], a[1]) : N == 3 ? Nativa3(a[0], a[1], a[2])
              : N == 4 ? Nativa4(a[0], a[1], a[2], a[3]) : Suma;
    R->Tipo = TIPO_NUMERO;
}

void EVALION_CONV PedirVariable(char *Nombre, BLOQUEDEDATOS *R)
{
    Registro->push_back({Nombre, -1, {}});
    if (Vinculada != nullptr) {
        R->Numero = *Vinculada;
        R->Tipo = TIPO_NUMERO;
        return;
    }
    if (ConEstandar && A_EstandarVariable(Nombre, R))
        return;
    Responder(R);
}

void EVALION_CONV PedirFuncion(char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    Peticion P{Nombre, N, {}};
    for (int32_t k = 0; k < N; ++k) {
        P.Argumentos.push_back(Describir(Parametros[k], false));
        P.Numeros = P.Numeros && Parametros[k].Tipo == TIPO_NUMERO;
    }
    Registro->push_back(P);
    if (Nativas)
        ComoNativa(Parametros, N, R);
    else if (!(ConEstandar && A_EstandarFuncion(Nombre, Parametros, N, R)))
        Responder(R);
}

// The numbers of the rows: the case's bound value first, then what the operators treat
// apart. One case in sixteen takes enough rows to cross blocks of rows, one in 8192 enough
// (and an odd count) for the form's own machine code across rows.
std::vector<double> Columna(const Caso &C)
{
    // (The last four: a square, a cube, an inverse and a root that are not pow's double.)
    const double OTROS[] = {0, -1, 0.5, 2, 1e308, 3, -0.0, 1e-310, NAN_CARGADO, NAN_SENALIZADOR,
                            0x1.b08f6f86721b4p+0, 0x1.cba276b4b881ap+0, 0x1.312dcd8bdbf24p+0, 0x1.03ad2b36e39b2p+27};
    std::vector<double> Filas(C.Semilla % 8192 == 0 ? 65537 : C.Semilla % 16 == 0 ? 600 : 7);
    for (size_t i = 0; i < Filas.size(); ++i)
        Filas[i] = i == 0 ? C.Vinculada : OTROS[(i + C.Semilla) % std::size(OTROS)];
    return Filas;
}

// The bound variables as columns: every row of A_EvaluarFilas against A_Evaluar with that
// row's number bound, requests included, with the host's script from its start for both.
// In half the cases (long and short) every second variable is no column but the case's
// number for every row.
std::string CompararFilas(FORMULAPREPARADA *F, ESTADODEANALISIS &Estado, const Caso &C)
{
    const std::vector<double> Filas = Columna(C);
    const int32_t N = static_cast<int32_t>(Filas.size());
    double Actual = 0;
    const auto VincularTodas = [&](const double *Direccion, bool Columna) {
        int32_t Argumentos;
        uint32_t Variables = 0;
        for (int32_t k = 0; const char *Nombre = A_Nombre(F, k, &Argumentos); ++k) {
            if (Argumentos >= 0)
                continue;
            if (C.Semilla / 16 % 2 == 1 && Variables++ % 2 == 1)
                A_Vincular(F, Nombre, &C.Vinculada);
            else if (Columna)
                A_VincularColumna(F, Nombre, Direccion);
            else
                A_Vincular(F, Nombre, Direccion);
        }
    };
    std::vector<Peticion> UnaAUna, EnFilas;
    // Of each row's block only what a row gives (a block is 1 KB, and the rows are many).
    struct Fila {
        int32_t Error, Posicion;
        uint8_t Tipo;
        double Numero;
    };
    std::vector<Fila> Esperados;
    Vinculada = nullptr;
    Semilla = C.Semilla;
    Contador = 0;
    Registro = &UnaAUna;
    VincularTodas(&Actual, false);
    Llamadas = 0;
    for (double Valor : Filas) {
        Actual = Valor;
        const BLOQUEDEDATOS R = ConTrampa([&] { return A_Evaluar(F, &Estado); });
        Esperados.push_back({R.Error, R.Posicion, R.Tipo, R.Numero});
    }
    const uint64_t LlamadasUnaAUna = Llamadas;
    std::vector<double> Entrada = Filas; // written over when in place
    std::vector<double> Propios(Filas.size());
    std::vector<double> &Valores = C.EnSuSitio ? Entrada : Propios;
    std::vector<int32_t> Errores(Filas.size()), Posiciones(Filas.size());
    Semilla = C.Semilla;
    Contador = 0;
    Registro = &EnFilas;
    VincularTodas(Entrada.data(), true);
    Llamadas = 0;
    const int32_t Fallidas = ConTrampa(
        [&] { return A_EvaluarFilas(F, &Estado, N, Valores.data(), Errores.data(), Posiciones.data()); });
    if (Llamadas != LlamadasUnaAUna)
        return "across rows the bound functions ran " + std::to_string(Llamadas) + " times, one by one " +
               std::to_string(LlamadasUnaAUna);
    int32_t Esperadas = 0;
    for (int32_t i = 0; i < N; ++i) {
        const Fila &R = Esperados[i];
        Esperadas += R.Error != 0;
        const bool Numero = R.Error == 0 && (R.Tipo & TIPO_NUMERO);
        uint64_t A, B;
        std::memcpy(&A, &Valores[i], sizeof A);
        std::memcpy(&B, &R.Numero, sizeof B);
        if (Errores[i] != R.Error || Posiciones[i] != R.Posicion || (Numero ? A != B : !std::isnan(Valores[i])))
            return "row " + std::to_string(i) + " (" + std::to_string(Filas[i]) + "): one by one " +
                   "error " + std::to_string(R.Error) + " at " + std::to_string(R.Posicion) + " value " +
                   std::to_string(R.Numero) + "\nacross rows: error " + std::to_string(Errores[i]) + " at " +
                   std::to_string(Posiciones[i]) + " value " + std::to_string(Valores[i]);
    }
    if (Fallidas != Esperadas)
        return "across rows " + std::to_string(Fallidas) + " rows failed, one by one " + std::to_string(Esperadas);
    if (UnaAUna.size() != EnFilas.size())
        return "rows one by one asked " + std::to_string(UnaAUna.size()) + " times, across rows " +
               std::to_string(EnFilas.size());
    for (size_t k = 0; k < UnaAUna.size(); ++k)
        if (UnaAUna[k].Nombre != EnFilas[k].Nombre || UnaAUna[k].N != EnFilas[k].N ||
            UnaAUna[k].Argumentos != EnFilas[k].Argumentos)
            return "across rows, request " + std::to_string(k) + " differs";
    ++Cuenta.Filas;
    Cuenta.EnSuSitio += C.EnSuSitio;
    return {};
}

// With Vincular every variable is the host's own: the standard library binds none of them.
int32_t VariablesPropias(void *Vincular, const char *, int32_t Argumentos)
{
    return *static_cast<const bool *>(Vincular) && Argumentos < 0;
}

// Whether the form answers a request of the analysis itself: a variable bound to the case's
// number, a call bound to C code, or a name the standard library bound.
bool Ligada(const Peticion &P, const Caso &C)
{
    if (P.N < 0)
        return C.Vincular || (C.Estandar && A_EstandarConstante(P.Nombre.c_str()) != nullptr);
    if (C.Nativas && C.Vincular && P.N <= 4)
        return true;
    const int32_t Marcas = C.Estandar ? A_EstandarMarcas(P.Nombre.c_str(), P.N) : 0;
    const bool AlAnfitrion = (Marcas & FORMULA_TEXTO_AL_ANFITRION) != 0; // unless every argument is a number
    return C.Estandar && A_EstandarNativa(P.Nombre.c_str(), P.N | (AlAnfitrion ? ESTANDAR_CON_TEXTOS : 0)) != nullptr &&
           (!AlAnfitrion || P.Numeros);
}

} // namespace

double NaN(uint64_t Bits)
{
    double d;
    std::memcpy(&d, &Bits, sizeof d);
    return d;
}
const double NAN_CARGADO = NaN(0x7FF8000000000005), NAN_NEGATIVO = NaN(0xFFF8000000000009),
             NAN_SENALIZADOR = NaN(0x7FF0000000000003);

const Cuentas &Contadas() { return Cuenta; }

std::string Comparar(const Caso &C)
{
    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarSeparadores(&Estado, C.Millar, C.Decimal);
    if (!C.SinPeticiones)
        A_AsignarAlPedir(&Estado, PedirVariable, PedirFuncion);

    std::vector<Peticion> DelAnalisis, DeLaFormula;
    Semilla = C.Semilla;
    Contador = 0;
    Registro = &DelAnalisis;
    Vinculada = C.Vincular ? &C.Vinculada : nullptr;
    Nativas = C.Vincular && C.Nativas;
    ConEstandar = C.Estandar;
    ConTrampas = C.Trampas && !C.AjustesDelAnfitrion;
    Llamadas = 0;
    const BLOQUEDEDATOS Esperado = ConTrampa([&] { return A_Analizar(&Estado, C.Texto.c_str()); });
    // The calls the bound code is to see: those the analysis's host made of it.
    const uint64_t Esperadas = Llamadas;
    Cuenta.Llamadas += Esperadas;
    Cuenta.Trampas += ConTrampas;

    BLOQUEDEDATOS Rechazo;
    FORMULAPREPARADA *F = A_Preparar(&Estado, C.Texto.c_str(), &Rechazo);
    std::string Filas;    // what differs across rows
    std::string SinLigar; // a function listed that could not be bound
    BLOQUEDEDATOS Obtenido;
    if (F == nullptr) {
        ++Cuenta.Rechazados;
        Obtenido = Rechazo;
        if (!DelAnalisis.empty())
            return "refused, but the analysis asked the host " + std::to_string(DelAnalisis.size()) + " times";
    } else {
        ++Cuenta.Preparados;
        if (C.Vincular) {
            int32_t N;
            for (int32_t k = 0; const char *Nombre = A_Nombre(F, k, &N); ++k)
                if (N < 0)
                    A_Vincular(F, Nombre, &C.Vinculada);
                else if (Nativas && N >= 1 && N <= 4 && A_VincularFuncion(F, Nombre, N, NATIVAS[N - 1]) == 0)
                    SinLigar = "function " + std::string(Nombre) + "/" + std::to_string(N) + " listed but not bound";
        }
        if (C.Estandar) {
            bool Propias = C.Vincular;
            const int32_t Ligados = A_VincularEstandar(F, VariablesPropias, &Propias);
            ++Cuenta.Estandar;
            Cuenta.Estandares += static_cast<uint64_t>(Ligados);
        }
        if (C.Vincular || C.Estandar) {
            // Bound names are never asked for; the analysis's other requests must match.
            std::vector<Peticion> Pedidas;
            for (const Peticion &P : DelAnalisis)
                if (!Ligada(P, C))
                    Pedidas.push_back(P);
            DelAnalisis.swap(Pedidas);
        }
        if (C.AjustesDelAnfitrion)
            A_Opciones(F, FORMULA_AJUSTES_DEL_ANFITRION);
        Semilla = C.Semilla;
        Contador = 0;
        Registro = &DeLaFormula;
        Llamadas = 0;
        Obtenido = ConTrampa([&] { return A_Evaluar(F, &Estado); });
        if (Llamadas != Esperadas)
            return "[" + C.Texto + "] A_Evaluar ran the bound functions " + std::to_string(Llamadas) +
                   " times, the analysis asked " + std::to_string(Esperadas);
        // The entry for a number result: the same answer and the same requests.
        std::vector<Peticion> DelNumero;
        Semilla = C.Semilla;
        Contador = 0;
        Registro = &DelNumero;
        double Numero;
        Llamadas = 0;
        const int32_t Codigo = ConTrampa([&] { return A_EvaluarNumero(F, &Estado, &Numero); });
        if (Llamadas != Esperadas)
            return "[" + C.Texto + "] A_EvaluarNumero ran the bound functions " + std::to_string(Llamadas) +
                   " times, the analysis asked " + std::to_string(Esperadas);
        const bool EsNumero = Obtenido.Error == 0 && (Obtenido.Tipo & TIPO_NUMERO);
        const int32_t CodigoEsperado = Obtenido.Error ? Obtenido.Error : EsNumero ? 0 : FORMULA_TEXTO;
        if (Codigo != CodigoEsperado || (EsNumero ? std::memcmp(&Numero, &Obtenido.Numero, sizeof Numero) != 0
                                            : !std::isnan(Numero)))
            return "[" + C.Texto + "] A_EvaluarNumero " + std::to_string(Codigo) + " " + std::to_string(Numero) +
                   ", A_Evaluar " + Describir(Obtenido, true);
        if (DelNumero.size() != DeLaFormula.size())
            return "[" + C.Texto + "] A_EvaluarNumero asked " + std::to_string(DelNumero.size()) + " times, A_Evaluar " +
                   std::to_string(DeLaFormula.size());
        // A_Valor: that number where nothing was asked, else a NaN; where nothing was asked,
        // the bound code runs as for the others.
        Llamadas = 0;
        const double Valor = ConTrampa([&] { return A_ValorEnLinea(F); });
        if (DelNumero.empty() && Llamadas != Esperadas)
            return "[" + C.Texto + "] A_Valor ran the bound functions " + std::to_string(Llamadas) +
                   " times, the analysis asked " + std::to_string(Esperadas);
        if (Codigo == 0 && DelNumero.empty() && !std::isnan(Numero) ? std::memcmp(&Valor, &Numero, sizeof Valor) != 0
                                                                     : !std::isnan(Valor))
            return "[" + C.Texto + "] A_Valor " + std::to_string(Valor) + ", A_EvaluarNumero " + std::to_string(Codigo) +
                   " " + std::to_string(Numero);
        // The names list holds every name asked for (the bound variables were listed).
        for (const Peticion &P : DelAnalisis) {
            bool Listado = false;
            int32_t N;
            for (int32_t k = 0; const char *Nombre = A_Nombre(F, k, &N); ++k)
                Listado = Listado || (P.Nombre == Nombre && P.N == N);
            if (!Listado)
                return "name " + P.Nombre + " asked for but not listed";
        }
        if (C.Vincular) {
            Filas = CompararFilas(F, Estado, C);
            if (!Filas.empty())
                Filas = "[" + C.Texto + "] over rows: " + Filas;
        }
        A_Liberar(F);
        if (!SinLigar.empty())
            return SinLigar;
    }
    const std::string a = Describir(Esperado, true), b = Describir(Obtenido, true);
    if (a != b)
        return "analysis: " + a + "\nprepared: " + b;
    if (!Filas.empty())
        return Filas;
    if (F != nullptr) {
        Cuenta.Peticiones += DelAnalisis.size();
        if (DelAnalisis.size() != DeLaFormula.size())
            return "analysis asked " + std::to_string(DelAnalisis.size()) + " times, prepared " +
                   std::to_string(DeLaFormula.size());
        for (size_t k = 0; k < DelAnalisis.size(); ++k) {
            const Peticion &P = DelAnalisis[k], &Q = DeLaFormula[k];
            if (P.Nombre != Q.Nombre || P.N != Q.N || P.Argumentos != Q.Argumentos)
                return "request " + std::to_string(k) + " differs: " + P.Nombre + "/" + std::to_string(P.N) +
                       " against " + Q.Nombre + "/" + std::to_string(Q.N);
        }
    }
    return {};
}

} // namespace Comparacion
