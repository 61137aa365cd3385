// The prepared forms' own machine code on 64-bit Windows: that the forms get it, its answers
// and the convention at its entries (canaries in every kept register, a bound function that
// checks its stack and soils its home area), the system's unwinder through it (the entries
// it finds, from a bound function up to the host's frame, from every instruction of the
// code stepped one at a time), a C++ exception and a structured one through it, and the
// steps where executable pages are refused.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#include "Formula.h"

extern "C" {
#include "Llamada64.h"
double Sucia(double x); // x + 1 (below)
int64_t SuciaDesalineada = 0;
int64_t Protegida(void (*Funcion)()); // 1 when the structured exception below ended Funcion
void Rescate();
EXCEPTION_DISPOSITION Manejador(EXCEPTION_RECORD *R, void *Marco, CONTEXT *C, DISPATCHER_CONTEXT *D);
}
constexpr DWORD EXCEPCION = 0xE0000E1A;

// Calls Funcion under a structured exception handler of its own frame (Manejador), which
// unwinds to Rescate, as a compiler's __try/__except would.
__asm__(".globl Protegida, Rescate\n.def Protegida; .scl 2; .type 32; .endef\n.seh_proc Protegida\nProtegida:\n"
        "  push %rbp\n  .seh_pushreg %rbp\n  sub $32, %rsp\n  .seh_stackalloc 32\n  .seh_endprologue\n"
        "  .seh_handler Manejador, @except\n  call *%rcx\n  xor %eax, %eax\n  nop\n  add $32, %rsp\n  pop %rbp\n  ret\n"
        "Rescate:\n  mov $1, %eax\n  add $32, %rsp\n  pop %rbp\n  ret\n.seh_endproc\n");
EXCEPTION_DISPOSITION Manejador(EXCEPTION_RECORD *R, void *Marco, CONTEXT *C, DISPATCHER_CONTEXT *D)
{
    if (!(R->ExceptionFlags & EXCEPTION_UNWINDING) && R->ExceptionCode == EXCEPCION)
        RtlUnwindEx(Marco, reinterpret_cast<void *>(&Rescate), R, reinterpret_cast<void *>(1), C, D->HistoryTable);
    return ExceptionContinueSearch;
}

// A bound function as the convention reads it: counts an entry with RSP misaligned, soils
// the 32 bytes of home area above its return address and every register a callee may change.
__asm__(".globl Sucia\nSucia:\n"
        "  mov %rsp, %rax\n  and $15, %eax\n  cmp $8, %eax\n  je 1f\n  incq SuciaDesalineada(%rip)\n"
        "1:mov $-1, %rax\n  mov %rax, 8(%rsp)\n  mov %rax, 16(%rsp)\n  mov %rax, 24(%rsp)\n  mov %rax, 32(%rsp)\n"
        "  mov %rax, %rcx\n  mov %rax, %rdx\n  mov %rax, %r8\n  mov %rax, %r9\n  mov %rax, %r10\n  mov %rax, %r11\n"
        "  pcmpeqd %xmm1, %xmm1\n  pcmpeqd %xmm2, %xmm2\n  pcmpeqd %xmm3, %xmm3\n  pcmpeqd %xmm4, %xmm4\n"
        "  pcmpeqd %xmm5, %xmm5\n  mov $0x3FF0000000000000, %rax\n  movq %rax, %xmm1\n  addsd %xmm1, %xmm0\n  ret\n");

namespace {

int Fallos = 0;
void Verificar(bool Cumple, const char *Que, const char *Texto)
{
    if (!Cumple && Fallos++ < 20)
        std::printf("FAILED: %s [%s]\n", Que, Texto);
}
uint64_t Bits(double d)
{
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// Whether an address lies in pages of the process's own, executable and not writable.
bool EnCodigo(const void *p)
{
    MEMORY_BASIC_INFORMATION M;
    return VirtualQuery(p, &M, sizeof M) != 0 && M.Type == MEM_PRIVATE && M.Protect == PAGE_EXECUTE_READ;
}

// Every address of the code's pages from the first that has an unwinding entry to the last
// has one (before and after them: the table, the constants, the unwinding data), p too.
bool Cubierta(const void *p)
{
    MEMORY_BASIC_INFORMATION M;
    VirtualQuery(p, &M, sizeof M);
    const DWORD64 Inicio = reinterpret_cast<DWORD64>(M.AllocationBase), d = reinterpret_cast<DWORD64>(p);
    DWORD64 Primera = 0, Ultima = 0, Con = 0, Base;
    for (DWORD64 a = Inicio; a < Inicio + M.RegionSize; ++a)
        if (RtlLookupFunctionEntry(a, &Base, nullptr) != nullptr) {
            Primera = Primera != 0 ? Primera : a;
            Ultima = a;
            ++Con;
        }
    return Con != 0 && Con == Ultima - Primera + 1 && d >= Primera && d <= Ultima;
}

// One frame up, by its function's unwinding entry: false for a frame without one.
bool Subir(CONTEXT &C)
{
    DWORD64 Base, Marco;
    PRUNTIME_FUNCTION Funcion = RtlLookupFunctionEntry(C.Rip, &Base, nullptr);
    void *Datos;
    if (Funcion == nullptr)
        return false;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, Base, C.Rip, Funcion, &C, &Datos, &Marco, nullptr);
    return true;
}

// What a bound function saw of the frames above it, from the first call after Capturar.
CONTEXT Anfitrion; // the host's function that evaluates, as it calls
struct Captura {
    bool Pedida, EnCodigo, Cubierta, Llamador, HastaAnfitrion;
} Visto;
volatile int Evaluaciones;

__attribute__((noinline)) double Capturar(double x)
{
    if (!Visto.Pedida)
        return x + 1;
    Visto.Pedida = false;
    CONTEXT C;
    RtlCaptureContext(&C);
    // Its own frame, then the code's (which must have an entry), then the library's.
    if (!Subir(C))
        return x + 1;
    Visto.EnCodigo = EnCodigo(reinterpret_cast<void *>(C.Rip));
    Visto.Cubierta = Visto.EnCodigo && Cubierta(reinterpret_cast<void *>(C.Rip));
    HMODULE Modulo = nullptr;
    Visto.Llamador = Subir(C) && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                   reinterpret_cast<LPCSTR>(C.Rip), &Modulo) &&
                     Modulo == GetModuleHandleA("EvalionFormula.dll");
    DWORD64 Base;
    const PRUNTIME_FUNCTION Suya = RtlLookupFunctionEntry(Anfitrion.Rip, &Base, nullptr);
    for (int k = 0; k < 16 && Visto.Llamador; ++k)
        if (RtlLookupFunctionEntry(C.Rip, &Base, nullptr) == Suya) {
            Visto.HastaAnfitrion = C.Rsp == Anfitrion.Rsp;
            break;
        } else if (!Subir(C)) {
            break;
        }
    return x + 1;
}

double Lanzar(double x)
{
    if (x > 40000)
        throw std::runtime_error("from the bound function");
    return x * 2;
}
double Levantar(double x)
{
    if (x > 40000)
        RaiseException(EXCEPCION, 0, 0, nullptr);
    return x * 2;
}

// The host's frames the unwinding must reach, each as it calls the library.
__attribute__((noinline)) int32_t Numero(FORMULAPREPARADA *F, ESTADODEANALISIS *E, double *N)
{
    RtlCaptureContext(&Anfitrion);
    const int32_t Codigo = A_EvaluarNumero(F, E, N);
    Evaluaciones = Evaluaciones + 1; // (no jump into the library in place of the call)
    return Codigo;
}
__attribute__((noinline)) int32_t Filas(FORMULAPREPARADA *F, ESTADODEANALISIS *E, int32_t n, double *Valores)
{
    RtlCaptureContext(&Anfitrion);
    const int32_t Fallidas = A_EvaluarFilas(F, E, n, Valores, nullptr, nullptr);
    Evaluaciones = Evaluaciones + 1;
    return Fallidas;
}

// Pisar(Funcion, a, b, c) calls Funcion(a, b, c) one instruction at a time (the trap flag);
// at every instruction in machine code, Paso unwinds frame by frame up to Vuelta, the return
// into Pisar, which must come with the RSP Pisar called with (Pila).
extern "C" {
DWORD64 Pila;
int64_t Pisar(const void *Funcion, const void *a, const void *b, const void *c);
void Vuelta();
}
__asm__(".globl Pisar, Vuelta\n.def Pisar; .scl 2; .type 32; .endef\n.seh_proc Pisar\nPisar:\n"
        "  sub $40, %rsp\n  .seh_stackalloc 40\n  .seh_endprologue\n"
        "  mov %rcx, %rax\n  mov %rdx, %rcx\n  mov %r8, %rdx\n  mov %r9, %r8\n  mov %rsp, Pila(%rip)\n"
        "  pushfq\n  orq $0x100, (%rsp)\n  popfq\n  call *%rax\n"
        "Vuelta:\n  pushfq\n  andq $-257, (%rsp)\n  popfq\n  add $40, %rsp\n  ret\n.seh_endproc\n");
int Pisadas = 0, Perdidos = 0; // instructions of machine code stepped, and those the unwinding lost
LONG CALLBACK Paso(EXCEPTION_POINTERS *P)
{
    if (P->ExceptionRecord->ExceptionCode != EXCEPTION_SINGLE_STEP)
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT &C = *P->ContextRecord;
    if (C.Rip == reinterpret_cast<DWORD64>(&Vuelta))
        return EXCEPTION_CONTINUE_EXECUTION;
    if (EnCodigo(reinterpret_cast<void *>(C.Rip))) {
        CONTEXT U = C;
        int k = 0;
        while (k++ < 8 && U.Rip != reinterpret_cast<DWORD64>(&Vuelta) && Subir(U)) {
        }
        ++Pisadas;
        Perdidos += U.Rip != reinterpret_cast<DWORD64>(&Vuelta) || U.Rsp != Pila;
    }
    C.EFlags |= 0x100;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// VirtualProtect as EvalionFormula.dll imports it, replaced to count (and maybe refuse) the
// requests that make pages executable.
using Proteger = BOOL(WINAPI *)(LPVOID, SIZE_T, DWORD, PDWORD);
Proteger Sistema;
int Ejecutables = 0;
bool Rechazar = false;
BOOL WINAPI Contar(LPVOID Direccion, SIZE_T Largo, DWORD Proteccion, PDWORD Antes)
{
    if (Proteccion == PAGE_EXECUTE_READ) {
        ++Ejecutables;
        if (Rechazar) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    return Sistema(Direccion, Largo, Proteccion, Antes);
}
void Interceptar(HMODULE M)
{
    const auto *Nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(reinterpret_cast<BYTE *>(M) +
                                                                  reinterpret_cast<IMAGE_DOS_HEADER *>(M)->e_lfanew);
    const auto &Directorio = Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *I = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(reinterpret_cast<BYTE *>(M) + Directorio.VirtualAddress); I->Name; ++I) {
        auto *Nombre = reinterpret_cast<IMAGE_THUNK_DATA64 *>(reinterpret_cast<BYTE *>(M) + I->OriginalFirstThunk);
        auto *Destino = reinterpret_cast<IMAGE_THUNK_DATA64 *>(reinterpret_cast<BYTE *>(M) + I->FirstThunk);
        for (; Nombre->u1.AddressOfData != 0; ++Nombre, ++Destino)
            if (!IMAGE_SNAP_BY_ORDINAL64(Nombre->u1.Ordinal) &&
                std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(reinterpret_cast<BYTE *>(M) + Nombre->u1.AddressOfData)->Name,
                            "VirtualProtect") == 0) {
                DWORD Antes;
                VirtualProtect(&Destino->u1.Function, 8, PAGE_READWRITE, &Antes);
                Sistema = reinterpret_cast<Proteger>(Destino->u1.Function);
                Destino->u1.Function = reinterpret_cast<ULONGLONG>(&Contar);
                VirtualProtect(&Destino->u1.Function, 8, Antes, &Antes);
            }
    }
}

} // namespace

int main()
{
    Interceptar(GetModuleHandleA("EvalionFormula.dll"));
    ESTADODEANALISIS E;
    A_Inicializar(&E);
    double V[26];
    const auto Preparar = [&](const char *Texto, double x, double y, bool Propios) {
        FORMULAPREPARADA *F = A_Preparar(&E, Texto, nullptr);
        for (int k = 0; k < 26; ++k) {
            const char Nombre[2] = {static_cast<char>('a' + k), 0};
            V[k] = Nombre[0] == 'x' ? x : Nombre[0] == 'y' ? y : 1 + k / 8.0;
            A_Vincular(F, Nombre, &V[k]);
        }
        A_VincularFuncion(F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(&Sucia));
        A_VincularFuncion(F, "g", 4, reinterpret_cast<FORMULA_NATIVA>(+[](double a, double b, double c, double d) {
                              return a * b - c / d;
                          }));
        A_Opciones(F, Propios ? FORMULA_AJUSTES_DEL_ANFITRION : 0);
        return F;
    };
    // Each form's code against its steps (the same form without the option), called by hand.
    struct Caso {
        const char *Texto;
        double x, y;
    } const CASOS[] = {{"x*2+1", 3, 2}, {"x*x*x+2*x*x-3*x+7", 1.0 / 3, 0}, {"x/y+1", 3, 0}, {"x/y+1", 3, 2},
                       {"x^2+x^0,5", 3, 0}, {"x^y", 2, 0.5}, {"(x<y)+(x>=y)*2+(x=y)", 1, 2},
                       {"-x*y-z*w+a*b/c-d+e*f*g-h*i", 3, 2}, {"a+b+c+d+e+h+i+j+k+l+m+n+o+p", 0, 0},
                       {"a*b+b*c+c*d+d*e+e*h+h*i+i*j+j*k+k*a", 0, 0}, // every register
                       {"f(x)*2+g(x;y;x;y)", 3, 2}, {"f(x/y)+1", 3, 0}, {"f(x/y)+f(y)", 3, 2}};
    for (const Caso &C : CASOS) {
        FORMULAPREPARADA *Pasos = Preparar(C.Texto, C.x, C.y, false), *F = Preparar(C.Texto, C.x, C.y, true);
        double Esperado = 0, N = 0;
        const int32_t Codigo = A_EvaluarNumero(Pasos, &E, &Esperado);
        const bool Llama = std::strchr(C.Texto, '(') != nullptr && std::strchr(C.Texto, 'f') != nullptr;
        if (!Llama) { // A_ValorEnLinea's entry is the code's own
            const void *Entrada = *reinterpret_cast<void *const *>(F);
            Verificar(EnCodigo(Entrada) && Cubierta(Entrada), "the entry is machine code, with unwinding entries", C.Texto);
            const uint64_t Palabras[4] = {reinterpret_cast<uint64_t>(F)};
            TLlamada L;
            EvalionLlamar(reinterpret_cast<TCodigo>(Entrada), 1, Palabras, &L);
            Verificar(Codigo == 0 ? Bits(L.Xmm0) == Bits(Esperado) : L.Xmm0 != L.Xmm0, "A_ValorEnLinea's number", C.Texto);
        }
        const uint64_t Palabras[4] = {reinterpret_cast<uint64_t>(F), reinterpret_cast<uint64_t>(&E), reinterpret_cast<uint64_t>(&N)};
        TLlamada L;
        EvalionLlamar(reinterpret_cast<TCodigo>(&A_EvaluarNumero), 3, Palabras, &L);
        Verificar(static_cast<int32_t>(L.Rax) == Codigo && (Codigo != 0 || Bits(N) == Bits(Esperado)), "A_EvaluarNumero's answer", C.Texto);
        bool Guardados = L.Movido == 0;
        for (int k = 0; k < 8; ++k)
            Guardados = Guardados && L.Guardados[k] == CANARIO + k;
        for (int j = 0; j < 10; ++j)
            Guardados = Guardados && L.Xmm[j][0] == CANARIO_XMM + j && L.Xmm[j][1] == CANARIO_XMM + j;
        Verificar(Guardados, "RSP, RSI, RDI, XMM6-XMM15 and the other kept registers come back", C.Texto);
        A_Liberar(Pasos);
        A_Liberar(F);
    }
    Verificar(SuciaDesalineada == 0, "the code calls with RSP 16-aligned", "");
    std::printf("%zu forms: their machine code answers as their steps, the kept registers kept\n", std::size(CASOS));

    // Rows: through code of their own (pages made executable), every row as its steps answer.
    std::vector<double> X(70000), Valores(X.size());
    for (size_t i = 0; i < X.size(); ++i)
        X[i] = static_cast<double>(i % 2001) / 8 - 100;
    for (const char *Texto : {"x*x*x+2*x*x-3*x+7", "1/x+x^2", "f(x)*2+1"}) {
        FORMULAPREPARADA *Pasos = Preparar(Texto, 0, 0, false), *F = Preparar(Texto, 0, 0, true);
        A_VincularColumna(F, "x", X.data());
        const int Antes = Ejecutables;
        A_EvaluarFilas(F, &E, static_cast<int32_t>(X.size()), Valores.data(), nullptr, nullptr);
        Verificar(Ejecutables == Antes + 1, "the rows get machine code of their own", Texto);
        bool Iguales = true;
        for (size_t i = 0; i < X.size(); ++i) {
            double N = 0;
            V['x' - 'a'] = X[i];
            Iguales = Iguales && (A_EvaluarNumero(Pasos, &E, &N) == 0 ? Bits(N) == Bits(Valores[i]) : Valores[i] != Valores[i]);
        }
        Verificar(Iguales, "every row as the steps answer it", Texto);
        A_Liberar(Pasos);
        A_Liberar(F);
    }
    Verificar(SuciaDesalineada == 0, "the rows' code calls with RSP 16-aligned", "");
    std::printf("rows of %zu: machine code, every row as the steps\n", X.size());

    // The unwinder from a bound function the code calls: its frame, the code's (an entry for
    // it and for every address of its pages), the library's, up to the host's own frame.
    for (bool EnFilas : {false, true}) {
        FORMULAPREPARADA *F = Preparar("f(x)*2+1", 3, 0, true);
        A_VincularFuncion(F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(&Capturar));
        if (EnFilas)
            A_VincularColumna(F, "x", X.data());
        Visto = {true, false, false, false, false};
        double N;
        EnFilas ? Filas(F, &E, static_cast<int32_t>(X.size()), Valores.data()) : Numero(F, &E, &N);
        const char *Donde = EnFilas ? "rows" : "one evaluation";
        Verificar(Visto.EnCodigo, "the bound function is called from machine code", Donde);
        Verificar(Visto.Cubierta, "every address of that code has an unwinding entry", Donde);
        Verificar(Visto.Llamador, "unwinding the code gives its caller in EvalionFormula.dll", Donde);
        Verificar(Visto.HastaAnfitrion, "the unwinding reaches the host's frame with its RSP", Donde);
        A_Liberar(F);
    }
    std::printf("the unwinder goes through the code to the host's frame, one evaluation and rows\n");

    // From every instruction of the code of one evaluation, its prologue and ways out included:
    // the entry's own, that of a zero divisor (to the steps, to a NaN, to E_DIVISION), with
    // calls and the registers they keep.
    AddVectoredExceptionHandler(1, Paso);
    for (const Caso &C : {Caso{"x/y+1", 3, 2}, Caso{"x/y+1", 3, 0}, Caso{"x^2+x^0,5", 3, 0},
                          Caso{"a*b+b*c+c*d+d*e+e*h+h*i+i*j+j*k+k*a", 0, 0}, Caso{"f(x)*2+g(x;y;x;y)", 3, 2},
                          Caso{"f(x/y)+1", 3, 0}}) {
        FORMULAPREPARADA *F = Preparar(C.Texto, C.x, C.y, true);
        double N;
        Pisadas = Perdidos = 0;
        Pisar(reinterpret_cast<const void *>(&A_EvaluarNumero), F, &E, &N);
        Pisar(*reinterpret_cast<void *const *>(F), F, nullptr, nullptr);
        Verificar(Pisadas > 0 && Perdidos == 0, "the unwinding from every instruction of the code gives its caller", C.Texto);
        A_Liberar(F);
    }
    std::printf("the unwinding from every instruction of the code of one evaluation gives its caller\n");

    // A C++ exception and a structured one from a bound function, through the code to the
    // host. (The form is left counted in course: the engine runs no cleanup. It is not used again.)
    for (size_t i = 0; i < X.size(); ++i)
        X[i] = static_cast<double>(i); // the rows from 40001 on throw
    for (bool Estructurada : {false, true})
        for (const char *Forma : {"A_EvaluarNumero", "A_ValorEnLinea", "rows"}) {
            FORMULAPREPARADA *F = Preparar("f(x)*2+1", 50000, 0, true);
            A_VincularFuncion(F, "f", 1, reinterpret_cast<FORMULA_NATIVA>(Estructurada ? &Levantar : &Lanzar));
            if (Forma[0] == 'r')
                A_VincularColumna(F, "x", X.data());
            static std::function<void()> Intento;
            Intento = [&] {
                double N;
                Forma[0] == 'r' ? Filas(F, &E, static_cast<int32_t>(X.size()), Valores.data())
                : Forma[2] == 'E' ? Numero(F, &E, &N) : static_cast<int32_t>(A_ValorEnLinea(F));
            };
            bool Atrapada = false;
            if (Estructurada) {
                Atrapada = Protegida(+[] { Intento(); }) == 1;
            } else {
                try {
                    Intento();
                } catch (const std::runtime_error &) {
                    Atrapada = true;
                }
            }
            Verificar(Atrapada, Estructurada ? "the host's handler gets the structured exception" : "the host catches the C++ exception", Forma);
        }
    std::printf("a C++ exception and a structured one from a bound function reach the host through the code\n");

    // Executable pages refused: the steps, the same answers, and the system asked once.
    Rechazar = true;
    Ejecutables = 0;
    FORMULAPREPARADA *Pasos = Preparar("x*x*x+2*x*x-3*x+7", 3, 0, false), *F = Preparar("x*x*x+2*x*x-3*x+7", 3, 0, true);
    const double Esperado = A_ValorEnLinea(Pasos);
    for (int Vez = 0; Vez < 100; ++Vez)
        Verificar(A_ValorEnLinea(F) == Esperado && !EnCodigo(*reinterpret_cast<void *const *>(F)), "the steps answer", "refused");
    const std::vector<double> Tres(X.size(), 3);
    A_VincularColumna(F, "x", Tres.data());
    for (int Vez = 0; Vez < 3; ++Vez)
        Verificar(A_EvaluarFilas(F, &E, static_cast<int32_t>(X.size()), Valores.data(), nullptr, nullptr) == 0 &&
                      Valores[69999] == Esperado, "the rows' steps answer", "refused");
    Verificar(Ejecutables == 1, "executable pages asked for once", "refused");
    A_Liberar(Pasos);
    A_Liberar(F);
    std::printf("executable pages refused: the steps answer, asked once\n%d failures\n", Fallos);
    return Fallos == 0 ? 0 : 1;
}
