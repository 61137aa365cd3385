// A_EvaluarFilas: the rows of a form, through its machine code across rows, the machine's
// blocks of rows, or one evaluation each, on a copy of the form whose columns read the row's
// numbers; and the inputs read as they were when the call began, whatever the answers are
// written over.
#include <cstdlib>
#include <cstring>

#include "Ensamblador.h"
#include "Forma.h"

namespace Motor {

namespace {


// Whether two arrays share a byte (none when either is null or empty); as integers, since
// pointers into different arrays do not compare.
EVALION_NOINLINE bool Solapan(const void *a, size_t LargoA, const void *b, size_t LargoB)
{
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return a != nullptr && b != nullptr && LargoA > 0 && LargoB > 0 && x < y + LargoB && y < x + LargoA;
}

// The host's arrays of answers (Valores, Errores, Posiciones: what the rows write).
struct Salidas {
    double *Valores;
    int32_t *Errores;
    int32_t *Posiciones;
    size_t Filas;

    // Whether the rows' writes reach n bytes at a.
    EVALION_NOINLINE bool Alcanzan(const void *a, size_t n) const
    {
        return Solapan(a, n, Valores, Filas * sizeof(double)) || Solapan(a, n, Errores, Filas * sizeof(int32_t)) ||
               Solapan(a, n, Posiciones, Filas * sizeof(int32_t));
    }
};

// Rows one by one through the host's own entry (Una, A_Evaluar), on a copy of the form whose
// columns read one number each, set to the row's before each evaluation, while a variable
// bound to one number reads it where the host keeps it: every row is then A_Evaluar's
// evaluation itself.
//
// Every row reads what the host's arrays held when the call began, as if the inputs were
// read whole before the first answer is written: a column that the answers reach is read
// from a copy taken first, and so is a number bound where they reach; only the column that
// is Valores itself, a transform in place, is read where it is, since each row is computed,
// block by block, before its answer is written over its input.
struct Sombra {
    FORMULAPREPARADA Forma;
    double *Actual = nullptr;       // per name of the form: the row's number of a column
    const double **Direcciones = nullptr;
    const double **Columnas = nullptr; // per name: the column the rows read, the host's or a copy
    double *Copias = nullptr;          // the copies of columns and numbers the answers reach
    Paso *Pasos = nullptr;
    bool EnSuSitio = false;            // a column is Valores

    ~Sombra()
    {
        std::free(Actual);
        std::free(Direcciones);
        std::free(Columnas);
        std::free(Copias);
        std::free(Pasos);
    }

    // False when memory runs out.
    EVALION_NOINLINE bool Preparar(const FORMULAPREPARADA *F, const Salidas &S)
    {
        Forma = *F;
        Forma.EnCurso = 0; // the copy counts its own evaluations
        Forma.PorLiberar = false;
        const size_t Nombres = F->CuantosNombres ? F->CuantosNombres : 1;
        Actual = static_cast<double *>(std::calloc(Nombres, sizeof *Actual));
        Direcciones = static_cast<const double **>(std::calloc(Nombres, sizeof *Direcciones));
        Columnas = static_cast<const double **>(std::calloc(Nombres, sizeof *Columnas));
        if (Actual == nullptr || Direcciones == nullptr || Columnas == nullptr)
            return false;
        // What the answers reach, copied into one array: N doubles a column, one a number.
        // The first pass counts (Libre null), the second copies.
        size_t Copiar = 0;
        for (double *Libre = nullptr;; Libre = Copias) {
            for (uint32_t k = 0; k < F->CuantosNombres; ++k) {
                const double *D = F->Direcciones[k];
                const size_t Cuantos = F->Columnas[k] ? S.Filas : 1;
                Columnas[k] = D;
                Direcciones[k] = F->Columnas[k] ? &Actual[k] : D;
                EnSuSitio = EnSuSitio || (F->Columnas[k] && D == S.Valores);
                if (D == nullptr || (F->Columnas[k] && D == S.Valores) || !S.Alcanzan(D, Cuantos * sizeof(double)))
                    continue;
                if (Libre == nullptr) {
                    Copiar += Cuantos;
                    continue;
                }
                std::memcpy(Libre, D, Cuantos * sizeof(double));
                (F->Columnas[k] ? Columnas[k] : Direcciones[k]) = Libre;
                Libre += Cuantos;
            }
            if (Libre != nullptr || Copiar == 0)
                break;
            if ((Copias = static_cast<double *>(std::malloc(Copiar * sizeof(double)))) == nullptr)
                return false;
        }
        // The steps hold the addresses too: the copy's are written from its own bindings, by
        // name, so that a column and a number bound at one same address stay apart.
        Forma.Direcciones = Direcciones;
        Forma.Pasos = nullptr;
        SinEnsamblar(&Forma); // the form's code reads the form's addresses: the copy keeps its steps
        Clasificar(&Forma);
        Pasos = Forma.Pasos;
        return Forma.Numerico || !F->Numerico; // the copy lacks the form's steps only for want of memory
    }

    // How the copy's steps read the columns.
    DesdeColumnas Desde() const { return {Actual, Columnas, Forma.CuantosNombres}; }

#if EVALION_FILAS_EN_BLOQUES
    // How the copy's steps read a block of rows from Desde.
    DesdeFila Bloque(size_t Fila) const { return {Desde(), Fila}; }
#endif

    void PonerColumnas(size_t i)
    {
        for (uint32_t k = 0; k < Forma.CuantosNombres; ++k)
            if (Forma.Columnas[k])
                Actual[k] = Columnas[k][i];
    }

    BLOQUEDEDATOS Fila(ESTADODEANALISIS *Estado, size_t i, Evaluacion Una)
    {
        PonerColumnas(i);
        return Una(&Forma, Estado);
    }

#if EVALION_FILAS_EN_BLOQUES
    // Row i again, as row j of a block whose first Llamadas calls of C code ran over it and
    // kept their values in Guardadas: with those values (through the blocks, which take them
    // as the steps hand them over), so that the code sees each call once.
    BLOQUEDEDATOS FilaOtraVez(ESTADODEANALISIS *Estado, size_t i, uint32_t j, double *const *Guardadas,
                              uint32_t Llamadas, Repeticion &Rep, Evaluacion Una)
    {
        if (Llamadas == 0)
            return Fila(Estado, i, Una);
        PonerColumnas(i);
        Rep.Cuantos = 0;
        Rep.Ultima = nullptr;
        Rep.CuantasNativas = Llamadas;
        for (uint32_t k = 0; k < Llamadas; ++k)
            Rep.Nativas[k] = Guardadas[k][j];
        return EvaluarEnBloques(&Forma, Estado, &Rep);
    }
#endif
};

// One row's block into the host's arrays (the value into *Valor, when there is one); true
// when the row failed.
inline bool PonerFila(const BLOQUEDEDATOS &R, double *Valor, size_t i, int32_t *Errores, int32_t *Posiciones)
{
    if (Valor != nullptr)
        NumeroDeBloque(R, Valor);
    if (Errores != nullptr)
        Errores[i] = R.Error;
    if (Posiciones != nullptr)
        Posiciones[i] = R.Posicion;
    return R.Error != 0;
}

inline double *Fila(double *Valores, size_t i) { return Valores != nullptr ? Valores + i : nullptr; }

// Rows one by one: each the block Igual when given (every row fails alike), else one
// evaluation of its numbers on the copy, else (no copy: a NULL form or record) A_Evaluar's.
EVALION_NOINLINE int32_t FilasUnaAUna(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra *Copia,
                                      const BLOQUEDEDATOS *Igual, size_t N, double *Valores, int32_t *Errores,
                                      int32_t *Posiciones, Evaluacion Una)
{
    int32_t Fallidas = 0;
    for (size_t i = 0; i < N; ++i)
        Fallidas += PonerFila(Igual != nullptr ? *Igual : Copia != nullptr ? Copia->Fila(Estado, i, Una) : Una(F, Estado),
                              Fila(Valores, i), i, Errores, Posiciones);
    return Fallidas;
}

#if EVALION_FILAS_EN_BLOQUES
// A not-a-number, told by its bits: a comparison would raise the invalid flag for a signaling
// one, and trap where the host unmasked it, which no evaluation of it does.
inline bool EsNaN(double v)
{
    uint64_t Bits;
    std::memcpy(&Bits, &v, sizeof Bits);
    return (Bits << 1) > (uint64_t{0x7FF0000000000000} << 1);
}

// Rows worth a form's own machine code: writing it into pages of its own takes some 25
// microseconds on a virtual machine (the system's calls and first touch of the pages), and it
// saves some 0.4 ns a row against the blocks.
constexpr size_t FILAS_PARA_ENSAMBLAR = 65536;

// The rows through a form's own code, under the engine's settings once (unless the host
// chose its own), four a turn; the pair of rows it stops at, and the last rows short of four,
// one evaluation each.
int32_t FilasDeCodigo(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra &Copia,
                      FilasEnsambladas::Funcion Codigo, size_t N, double *Valores, int32_t *Errores,
                      int32_t *Posiciones, Evaluacion Una)
{
    int32_t Fallidas = 0;
    AjustesDeEvaluacion Ajustes;
    for (size_t Desde = 0; Desde < N;) {
        const size_t Cuatros = Desde + ((N - Desde) & ~size_t{3});
        if (F->Ajustar)
            Ajustes.Entrar();
        const size_t Hasta = Desde < Cuatros ? Codigo(Valores, Desde, Cuatros) : Desde;
        if (F->Ajustar)
            Ajustes.Salir();
        if (Errores != nullptr)
            std::memset(Errores + Desde, 0, (Hasta - Desde) * sizeof *Errores);
        if (Posiciones != nullptr)
            std::memset(Posiciones + Desde, 0, (Hasta - Desde) * sizeof *Posiciones);
        const size_t Otras = Hasta < Cuatros ? Hasta + 2 : N; // rows for one evaluation each
        for (size_t i = Hasta; i < Otras; ++i)
            Fallidas += PonerFila(Copia.Fila(Estado, i, Una), &Valores[i], i, Errores, Posiciones);
        Desde = Otras;
    }
    return Fallidas;
}

// The calls of C code among a form's steps.
uint32_t LlamadasEnPasos(const FORMULAPREPARADA *F)
{
    uint32_t n = 0;
    for (uint32_t p = 0; p < F->CuantosPasos; ++p)
        n += F->Pasos[p].Codigo == CODIGO_NATIVA;
    return n;
}

// The rows of a form of numbers without requests, a block of rows through each step at once
// (or the form's own code across rows); false when there is no memory for the blocks.
EVALION_NOINLINE bool FilasEnBloques(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, Sombra &Copia, size_t N,
                                     double *Valores, int32_t *Errores, int32_t *Posiciones, Evaluacion Una,
                                     int32_t &Fallidas)
{
    // Many rows of a light form (or under the host's settings, of one calling C code too):
    // its own machine code, four rows a turn, where it has such code.
    if (N >= FILAS_PARA_ENSAMBLAR && Valores != nullptr) {
        FilasEnsambladas Codigo(&Copia.Forma, Copia.Desde());
        if (Codigo.Rechazadas) // (a flag only ever set: rows on several threads may set it at once)
            __atomic_store_n(&const_cast<FORMULAPREPARADA *>(F)->SinPaginas, true, __ATOMIC_RELAXED);
        if (Codigo.Codigo != nullptr) {
            Fallidas = FilasDeCodigo(F, Estado, Copia, Codigo.Codigo, N, Valores, Errores, Posiciones, Una);
            return true;
        }
    }
    // Per block: a block per slot, one more that each step writes, one per call of C code, and
    // the answers' own where they are not written straight into Valores.
    const uint32_t Llamadas = LlamadasEnPasos(&Copia.Forma);
    double *Memoria = static_cast<double *>(
        std::malloc((F->Ranuras + 2u + Llamadas) * size_t{FILAS_POR_BLOQUE} * sizeof(double)));
    if (Memoria == nullptr)
        return false;
    Fallidas = 0;
    double *Ranuras[RANURAS_NUMERICAS];
    for (uint32_t k = 0; k < F->Ranuras; ++k)
        Ranuras[k] = Memoria + k * FILAS_POR_BLOQUE;
    double *Libre = Memoria + F->Ranuras * FILAS_POR_BLOQUE;
    double *const Propias = Libre + FILAS_POR_BLOQUE;
    double *Guardadas[MAXIMO_PEDIDAS];
    for (uint32_t k = 0; k < Llamadas && k < MAXIMO_PEDIDAS; ++k)
        Guardadas[k] = Propias + (k + 1) * size_t{FILAS_POR_BLOQUE};
    // Straight into Valores unless a row computed again would then read an answer as its input.
    const bool Directas = Valores != nullptr && !Copia.EnSuSitio;
    Repeticion Rep;
    uint32_t Hechas[FILAS_POR_BLOQUE]; // per row, the calls of C code the block made
    AjustesDeEvaluacion Ajustes; // one switch for every block
    if (F->Ajustar)
        Ajustes.Entrar();
    for (size_t Desde = 0; Desde < N; Desde += FILAS_POR_BLOQUE) {
        const uint32_t n = static_cast<uint32_t>(N - Desde < FILAS_POR_BLOQUE ? N - Desde : FILAS_POR_BLOQUE);
        double *const Destino = Directas ? Valores + Desde : Propias;
        const Recorrido B = FilasEnBloque(&Copia.Forma, Ranuras, Libre, Guardadas, Hechas, Copia.Bloque(Desde), n,
                                          Destino, F->Ajustar ? &Ajustes : nullptr);
        if (Errores != nullptr)
            std::memset(Errores + Desde, 0, n * sizeof *Errores);
        if (Posiciones != nullptr)
            std::memset(Posiciones + Desde, 0, n * sizeof *Posiciones);
        // Rows the steps cannot give, one evaluation each, under the host's settings as each
        // evaluation expects them: every row of a block a step stopped in; otherwise those
        // whose value is a not-a-number, since a vectorised loop may take the operands of a
        // sum or product in either order, and of two not-a-numbers x86 keeps the first; and
        // those that left a call of C code to their own evaluation, with the calls before it.
        bool Fuera = false;
        for (uint32_t j = 0; j < n; ++j) {
            const uint32_t Hecha = B.Aplazadas && Hechas[j] < B.Llamadas ? Hechas[j] : B.Llamadas;
            if (B.Completo && !EsNaN(Destino[j]) && Hecha == B.Llamadas)
                continue;
            if (!Fuera && F->Ajustar)
                Ajustes.Salir();
            Fuera = true;
            Fallidas += PonerFila(Copia.FilaOtraVez(Estado, Desde + j, j, Guardadas, Hecha, Rep, Una), &Destino[j],
                                  Desde + j, Errores, Posiciones);
        }
        if (Fuera && F->Ajustar)
            Ajustes.Entrar();
        if (Valores != nullptr && Destino != Valores + Desde)
            std::memcpy(Valores + Desde, Destino, n * sizeof(double));
    }
    if (F->Ajustar)
        Ajustes.Salir();
    std::free(Memoria);
    return true;
}
#endif

} // namespace

int32_t EvaluarFilas(const FORMULAPREPARADA *F, ESTADODEANALISIS *Estado, int32_t Filas, double *Valores,
                     int32_t *Errores, int32_t *Posiciones, Evaluacion Una)
{
    if (Filas <= 0)
        return 0;
    const size_t N = static_cast<size_t>(Filas);
    // Answers written over each other would leave the host no row it can trust.
    if (Solapan(Valores, N * sizeof(double), Errores, N * sizeof(int32_t)) ||
        Solapan(Valores, N * sizeof(double), Posiciones, N * sizeof(int32_t)) ||
        Solapan(Errores, N * sizeof(int32_t), Posiciones, N * sizeof(int32_t)))
        return FILAS_SOLAPADAS;
    if (F == nullptr || Estado == nullptr) // as A_Evaluar answers them
        return FilasUnaAUna(F, Estado, nullptr, nullptr, N, Valores, Errores, Posiciones, Una);
    const EnCurso Cuenta(F); // (released last, after the copy)
    Sombra Copia;
    if (!Copia.Preparar(F, Salidas{Valores, Errores, Posiciones, N})) {
        BLOQUEDEDATOS SinMemoria;
        PonerErrorGeneral(SinMemoria, E_MEMORIA);
        return FilasUnaAUna(F, Estado, nullptr, &SinMemoria, N, Valores, Errores, Posiciones, Una);
    }
    // Blocks only where every row is the steps' numbers: no request, nothing but numbers.
#if EVALION_FILAS_EN_BLOQUES
    int32_t Fallidas;
    if (F->Numerico && F->SinPeticiones &&
        FilasEnBloques(F, Estado, Copia, N, Valores, Errores, Posiciones, Una, Fallidas))
        return Fallidas;
#endif
    return FilasUnaAUna(F, Estado, &Copia, nullptr, N, Valores, Errores, Posiciones, Una);
}

} // namespace Motor
