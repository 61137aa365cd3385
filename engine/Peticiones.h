// The one place where the two callback forms differ: what "installed" means and how a
// request is called; and the one place that knows the processor's floating-point settings.
// The grammar only uses these helpers.
#ifndef EVALION_PETICIONES_H
#define EVALION_PETICIONES_H

#include "Motor.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#elif defined(__i386__) && defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace Motor {

// Floating-point settings. The language's values (infinity for an overflow, not-a-number
// for an invalid operation, correctly rounded literals and sums) need every exception
// masked and rounding to nearest, but a host may run with traps enabled (Pascal programs
// start so) or another rounding. Each analysis therefore computes under the engine's own
// settings and gives the host's back on return: its control words as they were and its
// status flags as they were, so that nothing the engine's arithmetic raised is left
// pending. Host code runs under the host's settings: a callback gets them as the host
// called with, and whatever a callback leaves in them (flags it raised, a control word it
// changed) is dropped when the engine takes its own back. The caller's control words wait
// in the record, where the request helpers below find them. The switches are kept out of
// line, so that the memory operands they need never enlarge the frames that a deep nesting
// stacks up (the analysis entry's, a request's).
//
//   EntrarAlMotor    at the start of an analysis: keep the host's, install the engine's;
//   SalirDelMotor    at its end: the host's settings and pending flags as they were;
//   PrestarAjustes   before a callback, RecobrarAjustes after it.
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

// The host's x87 status word when it called; only the entry keeps it.
struct PendientesAnfitrion {
    uint16_t Estado;
};

inline void CargarControl(uint16_t Control)
{
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(Control) : "memory");
}

inline void CargarMxcsr(unsigned Valor) { __asm__ __volatile__("ldmxcsr %0" : : "m"(Valor) : "memory"); }

EVALION_NOINLINE inline PendientesAnfitrion EntrarAlMotor(ESTADODEANALISIS *Estado)
{
    uint16_t Control, Pendientes;
    __asm__ __volatile__("fnstcw %0\n\tfnstsw %1" : "=m"(Control), "=m"(Pendientes) : : "memory");
    Estado->ControlAnfitrion = Control;
    CargarControl(CONTROL_MOTOR);
    if (TieneSse()) {
        unsigned Mxcsr;
        __asm__ __volatile__("stmxcsr %0" : "=m"(Mxcsr) : : "memory");
        Estado->MxcsrAnfitrion = static_cast<uint16_t>(Mxcsr);
        CargarMxcsr(MXCSR_MOTOR);
    }
    return {Pendientes};
}

EVALION_NOINLINE inline void PrestarAjustes(const ESTADODEANALISIS *Estado)
{
    CargarControl(Estado->ControlAnfitrion);
    if (TieneSse())
        CargarMxcsr(Estado->MxcsrAnfitrion);
}

EVALION_NOINLINE inline void RecobrarAjustes()
{
    CargarControl(CONTROL_MOTOR);
    if (TieneSse())
        CargarMxcsr(MXCSR_MOTOR);
}

// The host gets its status word back as it was: the flags it had pending, none of the
// engine's, and the condition codes its own code last set. They can only be set through
// the whole environment, so when the word differs after FNCLEX (a pending flag of the host,
// or a condition code the engine's arithmetic changed) the environment is stored, patched
// and loaded again; otherwise the return is FNCLEX, FLDCW and FNSTSW.
EVALION_NOINLINE inline void SalirDelMotor(const ESTADODEANALISIS *Estado, PendientesAnfitrion Anfitrion)
{
    PrestarAjustes(Estado);
    uint16_t Ahora;
    __asm__ __volatile__("fnstsw %0" : "=m"(Ahora) : : "memory");
    if (Ahora != Anfitrion.Estado) {
        uint16_t Entorno[14]; // FNSTENV's 28 bytes: control, status, tags, pointers
        __asm__ __volatile__("fnstenv %0" : "=m"(Entorno) : : "memory");
        Entorno[2] = Anfitrion.Estado;
        __asm__ __volatile__("fldenv %0" : : "m"(Entorno) : "memory");
    }
}

#else

// Elsewhere the engine runs under the host's settings as they are.
struct PendientesAnfitrion {};
inline PendientesAnfitrion EntrarAlMotor(ESTADODEANALISIS *) { return {}; }
inline void SalirDelMotor(const ESTADODEANALISIS *, PendientesAnfitrion) {}
inline void PrestarAjustes(const ESTADODEANALISIS *) {}
inline void RecobrarAjustes() {}

#endif

#if defined(EVALION_OBJETO)

inline bool Instalada(const ALPEDIRVARIABLE &Peticion) { return Peticion.Codigo != nullptr; }
inline bool Instalada(const ALPEDIRFUNCION &Peticion) { return Peticion.Codigo != nullptr; }

// The bare calls, under whatever settings are loaded.
inline void PedirVariableAlAnfitrion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    Estado->AlPedirVariable.Codigo(Estado->AlPedirVariable.Objeto, Nombre, R);
}

inline void PedirFuncionAlAnfitrion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros,
                                    int32_t N, BLOQUEDEDATOS *R)
{
    const ALPEDIRFUNCION &Peticion = Estado->AlPedirFuncion;
#if defined(_WIN32) && defined(__i386__)
    Peticion.Codigo(Peticion.Objeto, Nombre, Parametros, R, N); // N is pushed first, then R
#else
    Peticion.Codigo(Peticion.Objeto, Nombre, Parametros, N, R);
#endif
}

inline ALPEDIRVARIABLE SinVariable() { return ALPEDIRVARIABLE{nullptr, nullptr}; }
inline ALPEDIRFUNCION SinFuncion() { return ALPEDIRFUNCION{nullptr, nullptr}; }

#else

inline bool Instalada(ALPEDIRVARIABLE Peticion) { return Peticion != nullptr; }
inline bool Instalada(ALPEDIRFUNCION Peticion) { return Peticion != nullptr; }

inline void PedirVariableAlAnfitrion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    Estado->AlPedirVariable(Nombre, R);
}

inline void PedirFuncionAlAnfitrion(const ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros,
                                    int32_t N, BLOQUEDEDATOS *R)
{
    Estado->AlPedirFuncion(Nombre, Parametros, N, R);
}

inline ALPEDIRVARIABLE SinVariable() { return nullptr; }
inline ALPEDIRFUNCION SinFuncion() { return nullptr; }

#endif

// A request under the host's settings, the engine's again after it.
inline void LlamarVariable(ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *R)
{
    PrestarAjustes(Estado);
    PedirVariableAlAnfitrion(Estado, Nombre, R);
    RecobrarAjustes();
}

inline void LlamarFuncion(ESTADODEANALISIS *Estado, char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N,
                          BLOQUEDEDATOS *R)
{
    PrestarAjustes(Estado);
    PedirFuncionAlAnfitrion(Estado, Nombre, Parametros, N, R);
    RecobrarAjustes();
}

// The same contract for a prepared form's evaluation, which is short enough that the
// switches are most of its cost. On x86-64 reading MXCSR is the dear part and loading the
// value it already holds is cheap, so it is read once and the engine's settings are loaded
// only when the host's controls differ from them: a host running the engine's controls
// (every C and C++ program starts so) keeps its MXCSR, and gets exactly it back at the end
// and before each request, which drops any flag the engine's arithmetic raised in between.
// Elsewhere it is the analysis's switch.
#if defined(__x86_64__) || defined(_M_X64)
class AjustesDeEvaluacion {
public:
    explicit AjustesDeEvaluacion(ESTADODEANALISIS *) {}
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
#else
class AjustesDeEvaluacion {
public:
    explicit AjustesDeEvaluacion(ESTADODEANALISIS *Registro) : Estado(Registro) {}
    void Entrar() { Pendientes = EntrarAlMotor(Estado); }
    void Prestar() const { PrestarAjustes(Estado); }
    void Recobrar() const { RecobrarAjustes(); }
    void Salir() const { SalirDelMotor(Estado, Pendientes); }

private:
    ESTADODEANALISIS *Estado;
    PendientesAnfitrion Pendientes{};
};
#endif

} // namespace Motor

#endif
