/* What the run-time checks of the 32-bit and the 64-bit interface share (Interfaz.c,
 * ../windows64/Interfaz64.c): the callbacks' C side, which keeps the last request as it came
 * and answers it, the tally of failed checks, the exports called as compiled code calls them,
 * and their addresses (linked, or with EVALION_DINAMICO by GetProcAddress). Included after
 * windows.h, Parser.h and the caller's Llamada header (TCodigo), with NOMBRE_DLL defined. */
#ifndef EVALION_PRUEBAS_INTERFAZCOMUN_H
#define EVALION_PRUEBAS_INTERFAZCOMUN_H

#include <stdio.h>
#include <string.h>

/* The last request as the callback received it. Plain callbacks carry no context, so this
 * test program keeps it here; it runs on one thread. */
typedef struct TPeticion {
    int Cuantas;
    void *Objeto;
    char Nombre[16];
    BLOQUEDEDATOS *Parametros, *R;
    int32_t N, ErrorDeR;
    double Argumentos[2];
} TPeticion;
static TPeticion Ultima;

static void Registrar(void *Objeto, const char *Nombre, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    memset(&Ultima.Nombre, 0, sizeof Ultima.Nombre);
    Ultima.Cuantas++;
    Ultima.Objeto = Objeto;
    strncpy(Ultima.Nombre, Nombre, sizeof Ultima.Nombre - 1);
    Ultima.Parametros = Parametros;
    Ultima.N = N;
    Ultima.R = R;
    Ultima.ErrorDeR = R->Error;
    for (int32_t i = 0; i < N && i < 2; ++i)
        Ultima.Argumentos[i] = Parametros[i].Numero;
}

/* x is 5; any other name is unknown. */
void RegistrarVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    Registrar(Objeto, Variable, NULL, 0, R);
    if (strcmp(Variable, "x") != 0) {
        R->Error = E_VARIABLE;
        return;
    }
    R->Numero = 5;
    R->Tipo = TIPO_NUMERO;
}

/* Every function is the sum of its arguments. */
void RegistrarFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N, BLOQUEDEDATOS *R)
{
    Registrar(Objeto, Funcion, Parametros, N, R);
    R->Numero = 0;
    for (int32_t i = 0; i < N; ++i)
        R->Numero += Parametros[i].Numero;
    R->Tipo = TIPO_NUMERO;
}

typedef struct TExportaciones {
    TCodigo Inicializar, AsignarAlPedir, AsignarSeparadores, Analizar;
} TExportaciones;

typedef struct TPrueba {
    int Fallos;
} TPrueba;

static void Verificar(TPrueba *P, int Cumple, const char *Que)
{
    if (!Cumple) {
        printf("FAILED: %s\n", Que);
        P->Fallos++;
    }
}

/* The same exports called as compiled code calls them, many times: a wrong stack
 * adjustment or a register not kept would have crashed long before the end. */
static void ProbarLlamadasCompiladas(TPrueba *P, const TExportaciones *X)
{
    typedef void(EVALION_CONV * TInicializar)(ESTADODEANALISIS *);
    typedef BLOQUEDEDATOS(EVALION_CONV * TAnalizar)(ESTADODEANALISIS *, const char *);
    ESTADODEANALISIS E;
    ((TInicializar)X->Inicializar)(&E);
    double Suma = 0;
    for (int i = 0; i < 100000; ++i)
        Suma += ((TAnalizar)X->Analizar)(&E, "1+2").Numero;
    Verificar(P, Suma == 300000, "100000 compiled calls of A_Analizar");
}

static int Obtener(TExportaciones *X)
{
#if defined(EVALION_DINAMICO)
    HMODULE Dll = LoadLibraryA(NOMBRE_DLL);
    if (!Dll) {
        printf("FAILED: LoadLibrary(\"%s\"): error %lu\n", NOMBRE_DLL, (unsigned long)GetLastError());
        return 0;
    }
    /* By plain name only: the decorated names are not exported. */
    if (GetProcAddress(Dll, "A_Analizar@8") || GetProcAddress(Dll, "_A_Analizar@8")) {
        printf("FAILED: %s exports a decorated name\n", NOMBRE_DLL);
        return 0;
    }
    X->Inicializar = (TCodigo)GetProcAddress(Dll, "A_Inicializar");
    X->AsignarAlPedir = (TCodigo)GetProcAddress(Dll, "A_AsignarAlPedir");
    X->AsignarSeparadores = (TCodigo)GetProcAddress(Dll, "A_AsignarSeparadores");
    X->Analizar = (TCodigo)GetProcAddress(Dll, "A_Analizar");
#else
    X->Inicializar = (TCodigo)A_Inicializar;
    X->AsignarAlPedir = (TCodigo)A_AsignarAlPedir;
    X->AsignarSeparadores = (TCodigo)A_AsignarSeparadores;
    X->Analizar = (TCodigo)A_Analizar;
#endif
    if (!X->Inicializar || !X->AsignarAlPedir || !X->AsignarSeparadores || !X->Analizar) {
        printf("FAILED: %s lacks an export\n", NOMBRE_DLL);
        return 0;
    }
    return 1;
}

#endif
