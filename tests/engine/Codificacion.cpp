// The machine code writer's encoder against a disassembler: every instruction form the
// writer emits, written through the encoder, and what objdump reads back from its bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Escritor.h"

#if EVALION_ENSAMBLADO
namespace {

using namespace Motor;

// The instructions objdump reads in Bytes, one text each ("addsd %xmm9,%xmm3"), with its
// spacing collapsed; a rip-relative operand's comment names its target ("# 0x10").
std::vector<std::string> Desensamblar(const std::vector<uint8_t> &Bytes)
{
    char Nombre[] = "/tmp/evalion-codigo-XXXXXX";
    const int Descriptor = mkstemp(Nombre);
    EXPECT_GE(Descriptor, 0);
    FILE *Archivo = fdopen(Descriptor, "wb");
    std::fwrite(Bytes.data(), 1, Bytes.size(), Archivo);
    std::fclose(Archivo);
    const std::string Orden = std::string(EVALION_OBJDUMP) + " -D -z -b binary -m i386:x86-64 --insn-width=16 " + Nombre;
    FILE *Salida = popen(Orden.c_str(), "r");
    std::vector<std::string> Instrucciones;
    char Linea[512];
    while (Salida != nullptr && std::fgets(Linea, sizeof Linea, Salida) != nullptr) {
        std::string L(Linea);
        const size_t Primero = L.find('\t'), Segundo = L.find('\t', Primero + 1);
        if (L.find(':') == std::string::npos || Primero == std::string::npos || Segundo == std::string::npos)
            continue;
        const std::string Texto = L.substr(Segundo + 1);
        std::string Limpio;
        for (char c : Texto)
            if (c != '\n' && !(c == ' ' && (Limpio.empty() || Limpio.back() == ' ')))
                Limpio += c;
        while (!Limpio.empty() && Limpio.back() == ' ')
            Limpio.pop_back();
        Instrucciones.push_back(Limpio);
    }
    if (Salida != nullptr)
        pclose(Salida);
    std::remove(Nombre);
    return Instrucciones;
}

struct Caso {
    std::function<void(Escritor &)> Escribir;
    std::vector<std::string> Esperado;
};

const double *const VARIABLE = reinterpret_cast<const double *>(0x1122334455667788);

Lugar En(decltype(Lugar::Tipo) T, uint32_t Constante, const double *Direccion = nullptr) { return {T, 0, Constante, Direccion}; }

TEST(Codificacion, EveryFormAsTheDisassemblerReadsIt)
{
    // The code's constants lie before it, from offset 0: a rip-relative operand names one.
    const Caso CASOS[] = {
        // An SSE operation on each kind of operand, low and high registers on both sides.
        {[](Escritor &E) { E.Sse(ESCALAR, ADD, 3, EnRegistro(9)); }, {"addsd %xmm9,%xmm3"}},
        {[](Escritor &E) { E.Sse(ESCALAR, SUB, 12, EnRegistro(2)); }, {"subsd %xmm2,%xmm12"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MUL, 15, EnRegistro(14)); }, {"mulpd %xmm14,%xmm15"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, DIV, 0, EnRegistro(13)); }, {"divpd %xmm13,%xmm0"}},
        {[](Escritor &E) { E.Sse(ESCALAR, DIV, 1, En(Lugar::CONSTANTE, 0)); }, {"divsd -0x48(%rip),%xmm1 # 0x0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVAPD, 10, En(Lugar::CONSTANTE, 16)); }, {"movapd -0x39(%rip),%xmm10 # 0x10"}},
        {[](Escritor &E) { E.Sse(ESCALAR, MOVSD, 4, En(Lugar::DIRECCION, 0, VARIABLE)); },
         {"movabs $0x1122334455667788,%rax", "movsd (%rax),%xmm4"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVUPD, 11, En(Lugar::COLUMNA, 16, VARIABLE)); },
         {"movabs $0x1122334455667788,%rax", "movupd 0x10(%rax,%rsi,8),%xmm11"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVUPD, 2, En(Lugar::COLUMNA, 0, VARIABLE)); },
         {"movabs $0x1122334455667788,%rax", "movupd (%rax,%rsi,8),%xmm2"}},
        {[](Escritor &E) { E.Sse(ESCALAR, MUL, 5, En(Lugar::EN_PASO, 0x28)); },
         {"mov 0x28(%rcx),%rax", "mulsd (%rax),%xmm5"}},
        {[](Escritor &E) { E.Sse(ESCALAR, ADD, 8, En(Lugar::EN_FORMA, 0x50)); },
         {"mov 0x50(%rdi),%rax", "addsd (%rax),%xmm8"}},
        {[](Escritor &E) { E.Sse(ESCALAR, MOVSD_GUARDAR, 13, En(Lugar::PILA, 0x40)); }, {"movsd %xmm13,0x40(%rsp)"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVSD_GUARDAR, 3, En(Lugar::PILA, 0x70)); }, {"movupd %xmm3,0x70(%rsp)"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, UNPCKLPD, 7, EnRegistro(7)); }, {"unpcklpd %xmm7,%xmm7"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, UNPCKHPD, 1, EnRegistro(1)); }, {"unpckhpd %xmm1,%xmm1"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, AND, 6, En(Lugar::CONSTANTE, 0)); }, {"andpd -0x48(%rip),%xmm6 # 0x0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, XOR, 14, En(Lugar::CONSTANTE, 0)); }, {"xorpd -0x49(%rip),%xmm14 # 0x0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, UCOMISD, 9, En(Lugar::CONSTANTE, 0)); }, {"ucomisd -0x49(%rip),%xmm9 # 0x0"}},
        // Comparisons, with their predicate after the operand.
        {[](Escritor &E) { E.Sse(ESCALAR, CMP, 2, EnRegistro(3), CMP_IGUAL); }, {"cmpeqsd %xmm3,%xmm2"}},
        {[](Escritor &E) { E.Sse(ESCALAR, CMP, 2, En(Lugar::CONSTANTE, 0), CMP_MENOR); }, {"cmpltsd -0x49(%rip),%xmm2 # 0x0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, CMP, 13, EnRegistro(0), CMP_MENORIGUAL); }, {"cmplepd %xmm0,%xmm13"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, CMP, 13, EnRegistro(12), CMP_DISTINTO); }, {"cmpneqpd %xmm12,%xmm13"}},
        // The general registers: addresses, the frame, the entries, the loop.
        {[](Escritor &E) { E.CargarRax(VARIABLE); }, {"movabs $0x1122334455667788,%rax"}},
        {[](Escritor &E) { E.Mover64(true, Escritor::RDI, Escritor::RSP, 8); }, {"mov %rdi,0x8(%rsp)"}},
        {[](Escritor &E) { E.Mover64(false, Escritor::RCX, Escritor::RSP, 24); }, {"mov 0x18(%rsp),%rcx"}},
        {[](Escritor &E) { E.Mover64(false, Escritor::RCX, Escritor::RDI, 16); }, {"mov 0x10(%rdi),%rcx"}},
        // The frame of an entry on 64-bit Windows: the arguments moved, the kept registers.
        {[](Escritor &E) { E.MoverRegistro(Escritor::RDI, Escritor::RCX); }, {"mov %rcx,%rdi"}},
        {[](Escritor &E) { E.MoverRegistro(Escritor::RDX, Escritor::R8); }, {"mov %r8,%rdx"}},
        {[](Escritor &E) { E.MoverRegistro(Escritor::R8, Escritor::RDX); }, {"mov %rdx,%r8"}},
        {[](Escritor &E) { E.MoverRegistro(Escritor::RDX, Escritor::RSI); }, {"mov %rsi,%rdx"}},
        {[](Escritor &E) { E.Empujar(Escritor::RSI); E.Empujar(Escritor::RDI); }, {"push %rsi", "push %rdi"}},
        {[](Escritor &E) { E.Sacar(Escritor::RDI); E.Sacar(Escritor::RSI); }, {"pop %rdi", "pop %rsi"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVAPD_GUARDAR, 6, En(Lugar::PILA, 0x1b0)); }, {"movapd %xmm6,0x1b0(%rsp)"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, MOVAPD, 15, En(Lugar::PILA, 0x10)); }, {"movapd 0x10(%rsp),%xmm15"}},
        {[](Escritor &E) { E.Pila(true, 0x128); }, {"sub $0x128,%rsp"}},
        {[](Escritor &E) { E.Pila(false, 0x128); }, {"add $0x128,%rsp"}},
        {[](Escritor &E) { E.Volver(); }, {"ret"}},
        {[](Escritor &E) { E.LlamarRax(); }, {"call *%rax"}},
        {[](Escritor &E) { E.SaltarARax(); }, {"jmp *%rax"}},
        {[](Escritor &E) { E.LlamarA(16); }, {"call *-0x36(%rip) # 0x10"}},
        {[](Escritor &E) { E.PonerEax(1200); }, {"mov $0x4b0,%eax"}},
        {[](Escritor &E) { E.CerosEnEax(); }, {"xor %eax,%eax"}},
        {[](Escritor &E) { E.RaxDeRsi(); }, {"mov %rsi,%rax"}},
        {[](Escritor &E) { E.RaxDeRsiMas(2); }, {"lea 0x2(%rsi),%rax"}},
        {[](Escritor &E) { E.CompararRsiRdx(); }, {"cmp %rdx,%rsi"}},
        {[](Escritor &E) { E.SumarARsi(4); }, {"add $0x4,%rsi"}},
        {[](Escritor &E) { E.GuardarEnRdx(); }, {"movsd %xmm0,(%rdx)"}},
        {[](Escritor &E) { E.GuardarFilas(16); }, {"movupd %xmm0,0x10(%rdi,%rsi,8)"}},
        {[](Escritor &E) { E.ProbarMascara(); }, {"movmskpd %xmm13,%eax", "test %eax,%eax"}},
        {[](Escritor &E) { E.ProbarMascara(3); }, {"movmskpd %xmm3,%eax", "test %eax,%eax"}},
        {[](Escritor &E) { E.Fma(FMSUB231, 14, 3, 3); }, {"vfmsub231pd %xmm3,%xmm3,%xmm14"}},
        {[](Escritor &E) { E.Fma(FMSUB231 + 1, 2, 12, 9); }, {"vfmsub231sd %xmm9,%xmm12,%xmm2"}},
        {[](Escritor &E) { E.Fma(FMADD231 + 1, 15, 14, 1); }, {"vfmadd231sd %xmm1,%xmm14,%xmm15"}},
        {[](Escritor &E) { E.Fma(FNMADD231, 14, 15, 15); }, {"vfnmadd231pd %xmm15,%xmm15,%xmm14"}},
        {[](Escritor &E) { E.Fma(FMSUB213 + 1, 0, 8, 13); }, {"vfmsub213sd %xmm13,%xmm8,%xmm0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, SQRT, 15, EnRegistro(4)); }, {"sqrtpd %xmm4,%xmm15"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, CMP, 14, EnRegistro(12), CMP_NO_MENOR); }, {"cmpnltpd %xmm12,%xmm14"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, ANDN, 15, EnRegistro(2)); }, {"andnpd %xmm2,%xmm15"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, OR, 15, EnRegistro(14)); }, {"orpd %xmm14,%xmm15"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, PCMPEQD, 14, En(Lugar::CONSTANTE, 0)); }, {"pcmpeqd -0x49(%rip),%xmm14 # 0x0"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, PSHUFD, 15, EnRegistro(14), 0xB1); }, {"pshufd $0xb1,%xmm14,%xmm15"}},
        {[](Escritor &E) { E.Sse(EMPAQUETADO, PAND, 14, EnRegistro(15)); }, {"pand %xmm15,%xmm14"}},
        // Jumps: back to a place written, forward to one patched, the short one over a jcc.
        {[](Escritor &E) { E.Saltar(Escritor::SI_IGUAL, 0x40); }, {"je 0x40"}},
        {[](Escritor &E) { E.Saltar(Escritor::SI_PARIDAD, 0x40); }, {"jp 0x40"}},
        {[](Escritor &E) { E.Saltar(Escritor::SI_DISTINTO, 0x40); }, {"jne 0x40"}},
        {[](Escritor &E) { E.Saltar(0, 0x40); }, {"jmp 0x40"}},
        {[](Escritor &E) { E.Saltar(Escritor::SI_NO_MAYOR, 0x40); }, {"jbe 0x40"}},
        {[](Escritor &E) { E.GuardarEax(80); }, {"mov %eax,0x50(%rsp)"}},
        {[](Escritor &E) { E.ProbarBits(80, 2); }, {"testb $0x2,0x50(%rsp)"}},
        {[](Escritor &E) { E.Sse(ESCALAR, MIN, 13, En(Lugar::CONSTANTE, 0)); }, {"minsd -0x49(%rip),%xmm13 # 0x0"}},
        {[](Escritor &E) {
             const size_t En = E.Saltar(Escritor::SI_NO_MENOR, Escritor::SIN_DESTINO);
             E.Volver();
             E.Resolver(En);
         },
         {"jae 0x47", "ret"}},
        {[](Escritor &E) {
             E.SaltarJccSiParidad();
             E.Saltar(Escritor::SI_IGUAL, 0);
         },
         {"jp 0x48", "je 0x0"}},
    };
    for (const Caso &C : CASOS) {
        std::vector<uint8_t> Memoria(256, 0);
        Escritor E{Memoria.data(), Memoria.size()};
        E.Largo = 0x40; // as if after the constants
        C.Escribir(E);
        ASSERT_FALSE(E.Lleno);
        // The whole buffer from its start, so that addresses read as offsets in it.
        std::vector<uint8_t> Codigo(Memoria.begin(), Memoria.begin() + static_cast<std::ptrdiff_t>(E.Largo));
        std::vector<std::string> Leidas = Desensamblar(Codigo);
        // The 0x40 zero bytes before decode as 32 "add %al,(%rax)".
        ASSERT_GE(Leidas.size(), 32u);
        Leidas.erase(Leidas.begin(), Leidas.begin() + 32);
        EXPECT_EQ(Leidas, C.Esperado);
    }
}

} // namespace
#endif
