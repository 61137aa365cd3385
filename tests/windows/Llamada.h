/* A call made word by word, for checking a binary interface without trusting a compiler's
 * idea of it: the arguments are pushed by hand, the argument registers loaded by hand, and
 * the stack pointer and the registers a callee must keep are read back after the call. */
#ifndef EVALION_LLAMADA_H
#define EVALION_LLAMADA_H

#include <stdint.h>

/* Any code address; cast every function to this one type to pass it. */
typedef void (*TCodigo)(void);

/* The values the callee is handed in the registers it must keep (as Llamada.S loads them). */
#define CANARIO_EBX 0xB0B0B0B0u
#define CANARIO_ESI 0x51515151u
#define CANARIO_EDI 0xD1D1D1D1u
#define CANARIO_EBP 0xBEBEBEBEu

typedef struct TLlamada {
    uint32_t Retirados; /* bytes of arguments the callee removed from the stack */
    uint32_t Eax, Ebx, Esi, Edi, Ebp;
} TLlamada;

/* Pushes Palabras[N-1] first and Palabras[0] last (so Palabras[0] is at [esp+4] in the
 * callee), loads EAX, EDX and ECX from Registros, the canaries into EBX, ESI, EDI and EBP,
 * calls Funcion and fills Salida. Returns Salida->Retirados. Not re-entrant. */
uint32_t EvalionLlamar(TCodigo Funcion, int32_t N, const uint32_t *Palabras, const uint32_t Registros[3],
                       TLlamada *Salida);

#endif
