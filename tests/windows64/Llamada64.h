/* A 64-bit Windows call made by hand, for checking the binary interface without trusting a
 * compiler's idea of it: the four argument registers (and XMM0-XMM3 with the same bits) and
 * the stack words above the 32 bytes of shadow space loaded by hand, the shadow space filled
 * with garbage, every register a callee must keep loaded with a canary, and all of them read
 * back after the call. */
#ifndef EVALION_LLAMADA64_H
#define EVALION_LLAMADA64_H

#include <stdint.h>

/* Any code address; cast every function to this one type to pass it. */
typedef void (*TCodigo)(void);

/* What Llamada64.S loads into the registers the callee must keep: RBX, RBP, RSI, RDI,
 * R12-R15 get CANARIO + i (i = 0..7 in that order), XMM6-XMM15 both halves CANARIO_XMM + j
 * (j = 0..9). */
#define CANARIO 0xC0DE5AFE00000000ull
#define CANARIO_XMM 0x7FF4DEAD00000000ull /* a signalling NaN's bits: never a result */

typedef struct TLlamada {
    uint64_t Rax;       /* as returned */
    int64_t Movido;     /* RSP after the call minus RSP before it: 0 in this convention */
    uint64_t Guardados[8];   /* RBX, RBP, RSI, RDI, R12, R13, R14, R15 after the call */
    uint64_t Xmm[10][2];     /* XMM6-XMM15 after the call */
    double Xmm0;        /* a double result */
} TLlamada;

/* Calls Funcion with Palabras[0..3] in RCX, RDX, R8 and R9 (and XMM0-XMM3) and
 * Palabras[4..N-1] at [RSP+40], [RSP+48]... in the callee; Palabras holds at least 4 words
 * whatever N is. Not re-entrant. */
void EvalionLlamar(TCodigo Funcion, int64_t N, const uint64_t *Palabras, TLlamada *Salida);

/* How many callbacks of Retrollamadas64.S were entered with a misaligned stack (RSP + 8 not
 * a multiple of 16), and how many were called. */
extern int64_t EvalionDesalineadas, EvalionRetrollamadas;

#endif
