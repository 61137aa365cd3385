// The processor's floating-point settings: the one place that knows them, used by the
// analysis, the prepared forms and the standard library.
//
// The language's values (infinity for an overflow, not-a-number for an invalid operation,
// correctly rounded literals and sums) need every exception masked and rounding to nearest,
// but a host may run with traps enabled (Pascal programs start so) or another rounding. The
// engine therefore computes under its own settings and gives the host's back on return: its
// control words as they were and its status flags as they were, so that nothing the
// engine's arithmetic raised is left pending. Host code runs under the host's settings: a
// callback gets them as the host called with, and whatever a callback leaves in them (flags
// it raised, a control word it changed) is dropped when the engine takes its own back.
//
// Two forms of one switch: EntrarAlMotor, SalirDelMotor, PrestarAjustes and RecobrarAjustes
// keep the caller's control words in the record, where the request helpers of a deep
// analysis find them, and stay out of line so that their memory operands never enlarge the
// frames of a deep nesting; AjustesDeEvaluacion keeps them in itself, for the short
// evaluations of a prepared form and for the standard functions, which have no record.
#ifndef EVALION_COMAFLOTANTE_H
#define EVALION_COMAFLOTANTE_H

#include <cstdint>

#include "Motor.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#elif defined(__i386__)
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
#else
#include <cfenv>
#endif

namespace Motor {

#if defined(__x86_64__) || defined(_M_X64)

// Only SSE: the engine's arithmetic and the C library's pow run in SSE registers here, so
// the x87 unit is never touched and its settings stay the host's without any work. Reading
// MXCSR is the dear part (it waits for a load of it still in flight), so it is read once,
// and loaded unconditionally where a test would need another read.
constexpr unsigned MXCSR_MOTOR = 0x1F80; // all six exceptions masked, to nearest, no flags

struct PendientesAnfitrion {}; // MXCSR carries its flags with it

EVALION_NOINLINE inline PendientesAnfitrion EntrarAlMotor(ESTADODEANALISIS *Estado)
{
    Estado->MxcsrAnfitrion = static_cast<uint16_t>(_mm_getcsr());
    _mm_setcsr(MXCSR_MOTOR);
    return {};
}
EVALION_NOINLINE inline void PrestarAjustes(const ESTADODEANALISIS *Estado) { _mm_setcsr(Estado->MxcsrAnfitrion); }
EVALION_NOINLINE inline void RecobrarAjustes() { _mm_setcsr(MXCSR_MOTOR); }
inline void SalirDelMotor(const ESTADODEANALISIS *Estado, PendientesAnfitrion) { PrestarAjustes(Estado); }

// Short enough that the switch is most of its cost: loading the value MXCSR already holds
// is cheap, so the engine's settings are loaded only when the host's controls differ from
// them. A host running the engine's controls (every C and C++ program starts so) keeps its
// MXCSR, and gets exactly it back at the end and before each request, which drops any flag
// the engine's arithmetic raised in between.
class AjustesDeEvaluacion {
public:
    void Entrar()
    {
        Anfitrion = _mm_getcsr();
        constexpr unsigned BANDERAS = 0x3F;
        if ((Anfitrion & ~BANDERAS) == MXCSR_MOTOR) {
            Propios = Anfitrion;
        } else {
            Propios = MXCSR_MOTOR;
            _mm_setcsr(MXCSR_MOTOR);
        }
    }
    void Prestar() const { _mm_setcsr(Anfitrion); }
    void Recobrar() const { _mm_setcsr(Propios); }
    void Salir() const { _mm_setcsr(Anfitrion); }

private:
    unsigned Anfitrion = 0, Propios = 0;
};

#elif defined(__i386__)

// x87, which does the arithmetic, and SSE where the processor has it (the C library's pow
// may use it). The x87 control word is what a C program of this compiler starts with:
// exceptions masked, to nearest, 64-bit precision. FNCLEX comes before every FLDCW, so that
// loading a control word never unmasks a flag that is pending and turns it into a trap.
constexpr uint16_t CONTROL_MOTOR = 0x037F;
constexpr unsigned MXCSR_MOTOR = 0x1F80;

inline bool TieneSse()
{
#if defined(_WIN32)
    return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0;
#else
    return __builtin_cpu_supports("sse");
#endif
}

inline void CargarControl(uint16_t Control)
{
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(Control) : "memory");
}

inline void CargarMxcsr(unsigned Valor) { __asm__ __volatile__("ldmxcsr %0" : : "m"(Valor) : "memory"); }

// The host's settings when it called: its control words and its x87 status word.
struct AjustesAnfitrion {
    uint16_t Control;
    uint16_t Estado;
    uint16_t Mxcsr;
};

inline AjustesAnfitrion TomarAjustes()
{
    AjustesAnfitrion A{};
    __asm__ __volatile__("fnstcw %0\n\tfnstsw %1" : "=m"(A.Control), "=m"(A.Estado) : : "memory");
    CargarControl(CONTROL_MOTOR);
    if (TieneSse()) {
        unsigned Mxcsr;
        __asm__ __volatile__("stmxcsr %0" : "=m"(Mxcsr) : : "memory");
        A.Mxcsr = static_cast<uint16_t>(Mxcsr);
        CargarMxcsr(MXCSR_MOTOR);
    }
    return A;
}

inline void CargarAjustes(uint16_t Control, unsigned Mxcsr)
{
    CargarControl(Control);
    if (TieneSse())
        CargarMxcsr(Mxcsr);
}

// The host gets its status word back as it was: the flags it had pending, none of the
// engine's, and the condition codes its own code last set. They can only be set through
// the whole environment, so when the word differs after FNCLEX (a pending flag of the host,
// or a condition code the engine's arithmetic changed) the environment is stored, patched
// and loaded again; otherwise the return is FNCLEX, FLDCW and FNSTSW. The word's stack top
// (TOP, bits 11-13) stays the current one: where this is inlined, the compiler may hold the
// engine's result in an x87 register across it, and loading the host's TOP would move the
// stack under that register and hand back a stale value.
constexpr uint16_t TOPE_X87 = 0x3800;

inline void DevolverAjustes(const AjustesAnfitrion &A)
{
    CargarAjustes(A.Control, A.Mxcsr);
    uint16_t Ahora;
    __asm__ __volatile__("fnstsw %0" : "=m"(Ahora) : : "memory");
    if ((Ahora & ~TOPE_X87) != (A.Estado & ~TOPE_X87)) {
        uint16_t Entorno[14]; // FNSTENV's 28 bytes: control, status, tags, pointers
        __asm__ __volatile__("fnstenv %0" : "=m"(Entorno) : : "memory");
        Entorno[2] = static_cast<uint16_t>((A.Estado & ~TOPE_X87) | (Entorno[2] & TOPE_X87));
        __asm__ __volatile__("fldenv %0" : : "m"(Entorno) : "memory");
    }
}

struct PendientesAnfitrion {
    uint16_t Estado; // the host's x87 status word when it called; only the entry keeps it
};

EVALION_NOINLINE inline PendientesAnfitrion EntrarAlMotor(ESTADODEANALISIS *Estado)
{
    const AjustesAnfitrion A = TomarAjustes();
    Estado->ControlAnfitrion = A.Control;
    Estado->MxcsrAnfitrion = A.Mxcsr;
    return {A.Estado};
}
EVALION_NOINLINE inline void PrestarAjustes(const ESTADODEANALISIS *Estado)
{
    CargarAjustes(Estado->ControlAnfitrion, Estado->MxcsrAnfitrion);
}
EVALION_NOINLINE inline void RecobrarAjustes() { CargarAjustes(CONTROL_MOTOR, MXCSR_MOTOR); }
EVALION_NOINLINE inline void SalirDelMotor(const ESTADODEANALISIS *Estado, PendientesAnfitrion Anfitrion)
{
    DevolverAjustes(AjustesAnfitrion{Estado->ControlAnfitrion, Anfitrion.Estado, Estado->MxcsrAnfitrion});
}

class AjustesDeEvaluacion {
public:
    void Entrar() { Anfitrion = TomarAjustes(); }
    void Prestar() const { CargarAjustes(Anfitrion.Control, Anfitrion.Mxcsr); }
    void Recobrar() const { CargarAjustes(CONTROL_MOTOR, MXCSR_MOTOR); }
    void Salir() const { DevolverAjustes(Anfitrion); }

private:
    AjustesAnfitrion Anfitrion{};
};

#else

// Elsewhere the engine runs under the host's settings as they are.
struct PendientesAnfitrion {};
inline PendientesAnfitrion EntrarAlMotor(ESTADODEANALISIS *) { return {}; }
inline void SalirDelMotor(const ESTADODEANALISIS *, PendientesAnfitrion) {}
inline void PrestarAjustes(const ESTADODEANALISIS *) {}
inline void RecobrarAjustes() {}

class AjustesDeEvaluacion {
public:
    void Entrar() {}
    void Prestar() const {}
    void Recobrar() const {}
    void Salir() const {}
};

#endif

// The switch around a whole computation that has no record (a standard function called from
// a host's request): the engine's settings while it lives, the host's back when it ends.
// Where the engine leaves the settings alone, the functions still mask every exception and
// round to nearest, through the C library.
class AjustesEnmascarados {
public:
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    AjustesEnmascarados() { Ajustes.Entrar(); }
    ~AjustesEnmascarados() { Ajustes.Salir(); }
#else
    AjustesEnmascarados()
    {
        feholdexcept(&Ajustes);
        fesetround(FE_TONEAREST);
    }
    ~AjustesEnmascarados() { fesetenv(&Ajustes); }
#endif
    AjustesEnmascarados(const AjustesEnmascarados &) = delete;
    AjustesEnmascarados &operator=(const AjustesEnmascarados &) = delete;

private:
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    AjustesDeEvaluacion Ajustes;
#else
    std::fenv_t Ajustes;
#endif
};

} // namespace Motor

#endif
