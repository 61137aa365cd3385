/* Drives the unchanged Evaldemo.exe through its window, as a user would, from a second
 * process: types into the expression line, presses the button (and Enter), reads the result
 * line and the "Error" box, dismisses the box, and saves two screenshots into the current
 * folder (evaldemo-resultado.bmp, evaldemo-error.bmp). Evaldemo.exe is looked for beside
 * this program. Needs a display. Every wait is bounded; exits 0 when every check holds. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "Controles.h"
#include "Parser.h" /* EVALION_LARGO_EXPRESION, what the engine reads */

enum { ESPERA_MS = 10000, PASO_MS = 10, LARGO = 512 };

typedef struct TConductor {
    PROCESS_INFORMATION Proceso;
    HWND Form, Expresion, Resultado, Button1;
    char Punto[8]; /* the user's decimal separator, as the system gives it */
    int Fallos;
} TConductor;

/* Every wait, multiplied by EVALION_ESCALA_TIEMPO: under an emulated processor Wine and
 * Evaldemo run about ten times slower. */
static DWORD Espera(void)
{
    char Valor[16];
    const DWORD N = GetEnvironmentVariableA("EVALION_ESCALA_TIEMPO", Valor, sizeof Valor);
    const long Factor = N > 0 && N < sizeof Valor ? strtol(Valor, NULL, 10) : 1;
    return ESPERA_MS * (DWORD)(Factor >= 1 && Factor <= 100 ? Factor : 1);
}

static void Fallo(TConductor *C, const char *Que, const char *Detalle)
{
    printf("FAILED: %s%s%s\n", Que, Detalle ? ": " : "", Detalle ? Detalle : "");
    C->Fallos++;
}

static void Utf8(const wchar_t *Texto, char *Salida, int Largo)
{
    if (!WideCharToMultiByte(CP_UTF8, 0, Texto, -1, Salida, Largo, NULL, NULL))
        Salida[0] = '\0';
}

static void Utf16(const char *Texto, wchar_t *Salida, int Largo)
{
    if (!MultiByteToWideChar(CP_UTF8, 0, Texto, -1, Salida, Largo))
        Salida[0] = L'\0';
}

/* A control's text, read by a message: to another process GetWindowText does not ask. */
static void Leer(HWND Control, char *Texto)
{
    wchar_t Ancho[LARGO] = L"";
    DWORD_PTR Resultado;
    SendMessageTimeoutW(Control, WM_GETTEXT, LARGO, (LPARAM)Ancho, SMTO_ABORTIFHUNG, Espera(), &Resultado);
    Utf8(Ancho, Texto, LARGO);
}

static void Comparar(TConductor *C, const char *Que, const char *Visto, const char *Esperado)
{
    if (strcmp(Visto, Esperado) != 0) {
        char Detalle[2 * LARGO + 32];
        snprintf(Detalle, sizeof Detalle, "\"%s\", expected \"%s\"", Visto, Esperado);
        Fallo(C, Que, Detalle);
    }
}

/* The number text with the user's separator in place of ".". */
static void ConPunto(const TConductor *C, const char *Texto, char *Salida)
{
    const size_t Largo = strlen(C->Punto);
    for (; *Texto; ++Texto) {
        if (*Texto == '.') {
            memcpy(Salida, C->Punto, Largo);
            Salida += Largo;
        } else {
            *Salida++ = *Texto;
        }
    }
    *Salida = '\0';
}

/* Waits until the window's thread has handled everything sent before. */
static void Sincronizar(HWND Ventana)
{
    DWORD_PTR Resultado;
    SendMessageTimeoutW(Ventana, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, Espera(), &Resultado);
}

/* Types Texto (UTF-8) as characters into the expression line, replacing what it held. */
static void Escribir(TConductor *C, const char *Texto)
{
    wchar_t Ancho[LARGO];
    Utf16(Texto, Ancho, LARGO);
    SendMessageW(C->Expresion, EM_SETSEL, 0, -1);
    SendMessageW(C->Expresion, WM_CLEAR, 0, 0);
    for (const wchar_t *p = Ancho; *p; ++p)
        SendMessageW(C->Expresion, WM_CHAR, (WPARAM)*p, 1);
    char Leido[LARGO];
    Leer(C->Expresion, Leido);
    Comparar(C, "the expression line holds what was typed", Leido, Texto);
}

static HWND BuscarCaja(const TConductor *C, DWORD Hasta)
{
    for (;;) {
        HWND Caja = FindWindowA("#32770", "Error");
        DWORD Proceso = 0;
        if (Caja)
            GetWindowThreadProcessId(Caja, &Proceso);
        if (Caja && Proceso == C->Proceso.dwProcessId && IsWindowVisible(Caja))
            return Caja;
        if (GetTickCount() >= Hasta)
            return NULL;
        Sleep(PASO_MS);
    }
}

/* The screen under Lugar, as a 24-bit BMP file. */
static void Capturar(TConductor *C, RECT Lugar, const char *Archivo)
{
    Sleep(300); /* let the windows finish painting */
    const int Ancho = Lugar.right - Lugar.left, Alto = Lugar.bottom - Lugar.top;
    HDC Pantalla = GetDC(NULL), Memoria = CreateCompatibleDC(Pantalla);
    HBITMAP Imagen = CreateCompatibleBitmap(Pantalla, Ancho, Alto);
    HGDIOBJ Antes = SelectObject(Memoria, Imagen);
    BitBlt(Memoria, 0, 0, Ancho, Alto, Pantalla, Lugar.left, Lugar.top, SRCCOPY);
    SelectObject(Memoria, Antes);
    BITMAPINFOHEADER Cabecera;
    memset(&Cabecera, 0, sizeof Cabecera);
    Cabecera.biSize = sizeof Cabecera;
    Cabecera.biWidth = Ancho;
    Cabecera.biHeight = Alto;
    Cabecera.biPlanes = 1;
    Cabecera.biBitCount = 24;
    Cabecera.biCompression = BI_RGB;
    const DWORD Fila = (DWORD)((Ancho * 3 + 3) & ~3), Bytes = Fila * (DWORD)Alto;
    void *Pixeles = HeapAlloc(GetProcessHeap(), 0, Bytes);
    const int Leidas = Pixeles ? GetDIBits(Memoria, Imagen, 0, (UINT)Alto, Pixeles, (BITMAPINFO *)&Cabecera,
                                           DIB_RGB_COLORS)
                               : 0;
    BITMAPFILEHEADER Encabezado = {0x4D42, (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof Cabecera) + Bytes, 0, 0,
                                 (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof Cabecera)};
    Cabecera.biSizeImage = Bytes;
    FILE *Salida = Leidas == Alto ? fopen(Archivo, "wb") : NULL;
    if (!Salida || fwrite(&Encabezado, sizeof Encabezado, 1, Salida) != 1 || fwrite(&Cabecera, sizeof Cabecera, 1, Salida) != 1 ||
        fwrite(Pixeles, Bytes, 1, Salida) != 1)
        Fallo(C, "screenshot not saved", Archivo);
    if (Salida)
        fclose(Salida);
    HeapFree(GetProcessHeap(), 0, Pixeles);
    DeleteObject(Imagen);
    DeleteDC(Memoria);
    ReleaseDC(NULL, Pantalla);
}

typedef struct TCaja {
    int Abierta;
    char Texto[LARGO];
} TCaja;

/* The box that the click opened: its text and buttons checked, then closed with Boton. */
static TCaja Cerrar(TConductor *C, HWND Caja, int Boton, const char *Captura)
{
    TCaja Vista = {1, ""};
    wchar_t Ancho[LARGO] = L"";
    GetDlgItemTextW(Caja, 0xFFFF, Ancho, LARGO);
    Utf8(Ancho, Vista.Texto, LARGO);
    if (!GetDlgItem(Caja, IDOK) || !GetDlgItem(Caja, IDCANCEL))
        Fallo(C, "the box has OK and Cancel", Vista.Texto);
    if (IsWindowEnabled(C->Form))
        Fallo(C, "the box is modal", Vista.Texto);
    if (Captura) {
        RECT Form, Encima, Todo;
        GetWindowRect(C->Form, &Form);
        GetWindowRect(Caja, &Encima);
        UnionRect(&Todo, &Form, &Encima);
        Capturar(C, Todo, Captura);
    }
    PostMessageA(Caja, WM_COMMAND, (WPARAM)Boton, 0);
    const DWORD Hasta = GetTickCount() + Espera();
    while (IsWindow(Caja) && GetTickCount() < Hasta)
        Sleep(PASO_MS);
    if (IsWindow(Caja))
        Fallo(C, "the box did not close", Vista.Texto);
    Sincronizar(C->Form); /* the click has ended once the box is gone */
    return Vista;
}

/* Types Texto and presses the button. A box is waited for when one is expected; a click
 * that should end without one is sent, and returns when the click has been handled. */
static TCaja Calcular(TConductor *C, const char *Texto, int EsperaCaja, int Boton, const char *Captura)
{
    TCaja Vista = {0, ""};
    Escribir(C, Texto);
    if (EsperaCaja) {
        PostMessageA(C->Button1, BM_CLICK, 0, 0); /* sending would block inside MessageBox */
        HWND Caja = BuscarCaja(C, GetTickCount() + Espera());
        return Caja ? Cerrar(C, Caja, Boton, Captura) : Vista;
    }
    DWORD_PTR Resultado;
    if (!SendMessageTimeoutA(C->Button1, BM_CLICK, 0, 0, SMTO_NORMAL, Espera(), &Resultado)) {
        HWND Caja = BuscarCaja(C, GetTickCount());
        if (Caja)
            return Cerrar(C, Caja, IDCANCEL, NULL);
        Fallo(C, "the click did not end", Texto);
    }
    return Vista;
}

typedef struct TResultado {
    const char *Expresion, *Esperado;
    int Numero; /* the expected text is a number with "." for the user's separator */
} TResultado;

/* The names in any case; what the engine's doubles hold besides numbers; texts both ways
 * through Windows-1252, and characters beyond it. */
static const TResultado RESULTADOS[] = {
    {"Euro", "0.00601012104383782", 1},
    {"EURO", "0.00601012104383782", 1},
    {"euro", "0.00601012104383782", 1},
    {"Pesetas", "166.386", 1},
    {"pesetas + 1", "167.386", 1},
    {"Raiz(4)", "2", 1},
    {"Seno(0)", "0", 1},
    {"si(1;2;3)", "2", 1},
    {"si(0;2;3)", "3", 1},
    {"SI(0;\"s\xC3\xAD\";\"no\")", "no", 0},
    {"Raiz(0-4)", "NAN", 1},
    {"-(0^-1)", "-INF", 1},
    {"\"A\xC3\xB1o\"+\"\xC3\xB1\"", "A\xC3\xB1o\xC3\xB1", 0},
    {"\"\xE2\x82\xAC \xC5\x92\"", "\xE2\x82\xAC \xC5\x92", 0},
    {"\"\xE4\xB8\xAD\xCE\xA9\"", "??", 0},
};

#define FUNCION "Error: Se esperaba una funci\xC3\xB3n en la posici\xC3\xB3n "
#define VARIABLE "Error: Se esperaba una variable en la posici\xC3\xB3n "
#define INCOMPATIBLES "Error: Los operandos no son compatibles en la posici\xC3\xB3n "

/* Each function needs its exact count; unknown names; texts where numbers are needed. */
static const char *const ERRORES[][2] = {
    {"Raiz(4;9)", FUNCION "1"},
    {"si(1;2)", FUNCION "1"},
    {"1 + si(1;2;3;4)", FUNCION "4"},
    {"Raiz", VARIABLE "1"},
    {"Dolar", VARIABLE "1"},
    {"1 + Dolar", VARIABLE "4"},
    {"A\xC3\xB1o", VARIABLE "1"},
    {"si(\"a\";2;3)", INCOMPATIBLES "1"},
    {"1 + si(Fecha;1;2)", INCOMPATIBLES "4"},
    {"Hora + 1", INCOMPATIBLES "9"},
    {"", "Error: Se esperaba un operando en la posici\xC3\xB3n 0"},
    {"1\xE4\xB8\xAD", "Error: Se ha encontrado un caracter no valido en la posicion 2"},
    {"\xCE\xA9mega", "Error: Se esperaba un operando en la posici\xC3\xB3n 1"},
};

typedef struct TControl {
    int Id;
    const char *Clase, *Texto;
    int Izquierda, Arriba, Ancho, Alto;
    DWORD Estilo; /* bits that must be set */
} TControl;

static const TControl CONTROLES[] = {
    {ID_EXPRESION, "Edit", "Expresion", 64, 24, 321, 21, WS_TABSTOP | ES_AUTOHSCROLL},
    {ID_RESULTADO, "Edit", "Resultado", 64, 88, 321, 21, WS_TABSTOP | ES_AUTOHSCROLL},
    {ID_LABEL1, "Static", "Expresi\xC3\xB3n:", 8, 28, 49, 13, 0},
    {ID_LABEL2, "Static", "=", 48, 92, 6, 13, 0},
    {ID_BUTTON1, "Button", "&Calcular", 112, 56, 75, 25, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ID_LABEL3, "Static", "Variables:", 16, 120, 57, 13, 0},
    {ID_LABEL4, "Static", "Funciones:", 16, 136, 63, 13, 0},
    {ID_LABEL5, "Static", "Euro, Pesetas, Hora y Fecha", 80, 120, 136, 13, 0},
    {ID_LABEL6, "Static", "Raiz(x), Seno(x), Si(F;A;B)", 80, 136, 121, 13, 0},
};

/* The window's place, its controls' classes, texts, places and styles, and the tab order. */
static void ProbarVentana(TConductor *C)
{
    RECT Lugar;
    GetWindowRect(C->Form, &Lugar);
    if (Lugar.left != 194 || Lugar.top != 108 || Lugar.right - Lugar.left != 405 || Lugar.bottom - Lugar.top != 191)
        Fallo(C, "the window is at 194, 108, 405 x 191", NULL);
    for (size_t i = 0; i < sizeof CONTROLES / sizeof CONTROLES[0]; ++i) {
        const TControl *T = &CONTROLES[i];
        HWND Control = GetDlgItem(C->Form, T->Id);
        char Clase[64] = "", Texto[LARGO];
        GetClassNameA(Control, Clase, sizeof Clase);
        Leer(Control, Texto);
        Comparar(C, "a control's text", Texto, T->Texto);
        if (!Control || lstrcmpiA(Clase, T->Clase) != 0)
            Fallo(C, "a control's class", T->Texto);
        GetWindowRect(Control, &Lugar);
        MapWindowPoints(NULL, C->Form, (POINT *)&Lugar, 2);
        if (Lugar.left != T->Izquierda || Lugar.top != T->Arriba || Lugar.right - Lugar.left != T->Ancho ||
            Lugar.bottom - Lugar.top != T->Alto)
            Fallo(C, "a control's place", T->Texto);
        if (((DWORD)GetWindowLongA(Control, GWL_STYLE) & T->Estilo) != T->Estilo)
            Fallo(C, "a control's style", T->Texto);
    }
    if (GetNextDlgTabItem(C->Form, C->Expresion, FALSE) != C->Resultado ||
        GetNextDlgTabItem(C->Form, C->Resultado, FALSE) != C->Button1 ||
        GetNextDlgTabItem(C->Form, C->Button1, FALSE) != C->Expresion)
        Fallo(C, "tab order Expresion, Resultado, Button1", NULL);
}

/* Whether a pixel is ink: much darker than the form's light grey. */
static int Tinta(COLORREF Color)
{
    return GetRValue(Color) + GetGValue(Color) + GetBValue(Color) < 3 * 128;
}

/* Each label that ends in a colon shows it, whatever font stands in for "MS Sans Serif": the
 * last column of ink on the screen within the label holds two marks one above the other. A
 * label that cut its text at its width ends in a letter's stroke instead. */
static void ProbarDosPuntos(TConductor *C)
{
    static const int ETIQUETAS[] = {ID_LABEL1, ID_LABEL3, ID_LABEL4};
    Sleep(300); /* let the window finish painting */
    HDC Pantalla = GetDC(NULL);
    for (size_t i = 0; i < sizeof ETIQUETAS / sizeof ETIQUETAS[0]; ++i) {
        HWND Etiqueta = GetDlgItem(C->Form, ETIQUETAS[i]);
        char Texto[LARGO];
        RECT Lugar;
        Leer(Etiqueta, Texto);
        GetWindowRect(Etiqueta, &Lugar);
        int Marcas = 0;
        for (int x = Lugar.right - 1; x >= Lugar.left && Marcas == 0; --x)
            for (int y = Lugar.top, Antes = 0; y < Lugar.bottom; ++y) {
                const int Ahora = Tinta(GetPixel(Pantalla, x, y));
                Marcas += Ahora && !Antes;
                Antes = Ahora;
            }
        if (Marcas != 2)
            Fallo(C, "a label does not show its colon", Texto);
    }
    ReleaseDC(NULL, Pantalla);
}

static void ProbarResultados(TConductor *C)
{
    for (size_t i = 0; i < sizeof RESULTADOS / sizeof RESULTADOS[0]; ++i) {
        const TResultado *R = &RESULTADOS[i];
        char Esperado[LARGO], Visto[LARGO];
        if (R->Numero)
            ConPunto(C, R->Esperado, Esperado);
        else
            strcpy(Esperado, R->Esperado);
        const TCaja Caja = Calcular(C, R->Expresion, 0, 0, NULL);
        if (Caja.Abierta)
            Fallo(C, R->Expresion, Caja.Texto);
        Leer(C->Resultado, Visto);
        Comparar(C, R->Expresion, Visto, Esperado);
    }
}

/* A box captioned "Error" with OK and Cancel; the result line stays empty. */
static void ProbarErrores(TConductor *C)
{
    for (size_t i = 0; i < sizeof ERRORES / sizeof ERRORES[0]; ++i) {
        char Visto[LARGO];
        const TCaja Caja = Calcular(C, ERRORES[i][0], 1, IDCANCEL, NULL);
        if (!Caja.Abierta)
            Fallo(C, "no box for", ERRORES[i][0]);
        Comparar(C, ERRORES[i][0], Caja.Texto, ERRORES[i][1]);
        Leer(C->Resultado, Visto);
        Comparar(C, "the result line after an error", Visto, "");
    }
}

/* The result line is cleared before every evaluation, whichever button closed the box. */
static void ProbarLineaDeResultado(TConductor *C)
{
    char Visto[LARGO];
    if (!Calcular(C, "1+", 1, IDOK, NULL).Abierta)
        Fallo(C, "no box for", "1+");
    Leer(C->Resultado, Visto);
    Comparar(C, "after 1+", Visto, "");
    Calcular(C, "2+3", 0, 0, NULL);
    Leer(C->Resultado, Visto);
    Comparar(C, "after 2+3", Visto, "5");
    if (!Calcular(C, "Euro(", 1, IDCANCEL, NULL).Abierta)
        Fallo(C, "no box for", "Euro(");
    Leer(C->Resultado, Visto);
    Comparar(C, "after Euro(", Visto, "");
    SendMessageW(C->Resultado, WM_SETTEXT, 0, (LPARAM)L"typed by the user");
    Calcular(C, "\"x\"", 0, 0, NULL);
    Leer(C->Resultado, Visto);
    Comparar(C, "after \"x\"", Visto, "x");
}

/* Enter in the expression line presses the default button. */
static void ProbarIntro(TConductor *C)
{
    char Visto[LARGO] = "";
    Escribir(C, "4+4");
    PostMessageW(C->Expresion, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(C->Expresion, WM_KEYUP, VK_RETURN, (LPARAM)0xC01C0001u);
    const DWORD Hasta = GetTickCount() + Espera();
    do {
        Sleep(PASO_MS);
        Leer(C->Resultado, Visto);
    } while (strcmp(Visto, "8") != 0 && GetTickCount() < Hasta);
    Comparar(C, "Enter presses the button", Visto, "8");
}

/* The expression line holds no more than the engine reads: a paste is cut there and a key
 * past it is refused, so the value shown is the whole line's. */
static void ProbarLimite(TConductor *C)
{
    static wchar_t Ceros[EVALION_LARGO_EXPRESION + 3];
    for (int i = 0; i < EVALION_LARGO_EXPRESION; ++i)
        Ceros[i] = L'0';
    wcscpy(Ceros + EVALION_LARGO_EXPRESION, L"+5");
    SendMessageW(C->Expresion, EM_SETSEL, 0, -1);
    SendMessageW(C->Expresion, EM_REPLACESEL, TRUE, (LPARAM)Ceros); /* as a paste */
    SendMessageW(C->Expresion, WM_CHAR, L'7', 1);
    const LRESULT Largo = SendMessageW(C->Expresion, WM_GETTEXTLENGTH, 0, 0);
    if (Largo != EVALION_LARGO_EXPRESION) {
        char Detalle[64];
        snprintf(Detalle, sizeof Detalle, "%ld characters", (long)Largo);
        Fallo(C, "the expression line holds more than 1024 characters", Detalle);
    }
    DWORD_PTR Resultado;
    SendMessageTimeoutA(C->Button1, BM_CLICK, 0, 0, SMTO_NORMAL, Espera(), &Resultado);
    char Visto[LARGO];
    Leer(C->Resultado, Visto);
    Comparar(C, "1024 zeros", Visto, "0");
}

/* Hora and Fecha are what the system's formats give for now, shown as texts. */
static void ProbarHoraYFecha(TConductor *C)
{
    wchar_t Antes[64], Despues[64];
    char Uno[LARGO], Otro[LARGO], Visto[LARGO];
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, NULL, NULL, Antes, 64);
    Calcular(C, "Hora", 0, 0, NULL);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, NULL, NULL, Despues, 64);
    Leer(C->Resultado, Visto);
    Utf8(Antes, Uno, LARGO);
    Utf8(Despues, Otro, LARGO);
    if (strcmp(Visto, Uno) != 0)
        Comparar(C, "Hora", Visto, Otro);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, NULL, NULL, Antes, 64);
    Calcular(C, "FECHA", 0, 0, NULL);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, NULL, NULL, Despues, 64);
    Leer(C->Resultado, Visto);
    Utf8(Antes, Uno, LARGO);
    Utf8(Despues, Otro, LARGO);
    if (strcmp(Visto, Uno) != 0)
        Comparar(C, "Fecha", Visto, Otro);
}

static void ProbarCapturas(TConductor *C)
{
    char Esperado[LARGO], Visto[LARGO];
    Calcular(C, "Pesetas * 2 + Raiz(16)", 0, 0, NULL);
    Leer(C->Resultado, Visto);
    ConPunto(C, "336.772", Esperado);
    Comparar(C, "Pesetas * 2 + Raiz(16)", Visto, Esperado);
    RECT Lugar;
    GetWindowRect(C->Form, &Lugar);
    Capturar(C, Lugar, "evaldemo-resultado.bmp");
    const TCaja Caja = Calcular(C, "Pesetas + Dolar", 1, IDCANCEL, "evaldemo-error.bmp");
    Comparar(C, "Pesetas + Dolar", Caja.Texto, VARIABLE "10");
}

/* Starts Evaldemo.exe from this program's folder and waits for its window. */
static int Arrancar(TConductor *C)
{
    char Programa[MAX_PATH];
    const DWORD Largo = GetModuleFileNameA(NULL, Programa, MAX_PATH);
    char *Barra = strrchr(Programa, '\\');
    if (Largo == 0 || Largo >= MAX_PATH - 16 || !Barra) {
        printf("FAILED: no folder of this program\n");
        return 0;
    }
    strcpy(Barra + 1, "Evaldemo.exe");
    STARTUPINFOA Inicio;
    memset(&Inicio, 0, sizeof Inicio);
    Inicio.cb = sizeof Inicio;
    if (!CreateProcessA(Programa, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &Inicio, &C->Proceso)) {
        printf("FAILED: cannot start %s (error %lu)\n", Programa, (unsigned long)GetLastError());
        return 0;
    }
    /* The window can be found before its controls exist: wait for the message loop, and
     * for the window shown with its controls. */
    WaitForInputIdle(C->Proceso.hProcess, 2 * Espera());
    const DWORD Hasta = GetTickCount() + 2 * Espera();
    while (!(C->Form = FindWindowA(EVALDEMO_CLASE, EVALDEMO_TITULO)) || !IsWindowVisible(C->Form) ||
           !GetDlgItem(C->Form, ID_EXPRESION) || !GetDlgItem(C->Form, ID_LABEL6)) {
        DWORD Estado = STILL_ACTIVE;
        GetExitCodeProcess(C->Proceso.hProcess, &Estado);
        if (Estado != STILL_ACTIVE || GetTickCount() >= Hasta) {
            printf("FAILED: no window of class " EVALDEMO_CLASE " (Evaldemo.exe status %lu)\n", (unsigned long)Estado);
            TerminateProcess(C->Proceso.hProcess, 1);
            return 0;
        }
        Sleep(PASO_MS);
    }
    C->Expresion = GetDlgItem(C->Form, ID_EXPRESION);
    C->Resultado = GetDlgItem(C->Form, ID_RESULTADO);
    C->Button1 = GetDlgItem(C->Form, ID_BUTTON1);
    Sincronizar(C->Form);
    if (!C->Expresion || !C->Resultado || !C->Button1) {
        printf("FAILED: the window lacks its controls\n");
        TerminateProcess(C->Proceso.hProcess, 1);
        return 0;
    }
    return 1;
}

/* The user's decimal separator made "," where the system lets a program set it, so that a
 * separator other than the C library's shows; the expected texts use what the system then
 * reports, which Evaldemo must show too. */
static void ElegirPunto(TConductor *C, char *Anterior)
{
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Anterior, 8);
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ",");
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, C->Punto, sizeof C->Punto))
        strcpy(C->Punto, ".");
    printf("decimal separator: \"%s\"\n", C->Punto);
}

int main(void)
{
    TConductor C;
    memset(&C, 0, sizeof C);
    char Anterior[8] = ".";
    ElegirPunto(&C, Anterior);
    if (!Arrancar(&C))
        return 1;
    char Texto[LARGO];
    Leer(C.Expresion, Texto);
    Comparar(&C, "the expression line at start", Texto, "Expresion");
    Leer(C.Resultado, Texto);
    Comparar(&C, "the result line at start", Texto, "Resultado");
    ProbarVentana(&C);
    ProbarDosPuntos(&C);
    ProbarLineaDeResultado(&C);
    ProbarResultados(&C);
    ProbarErrores(&C);
    ProbarIntro(&C);
    ProbarLimite(&C);
    ProbarHoraYFecha(&C);
    ProbarCapturas(&C);

    /* Closing the window ends the program with status 0. */
    PostMessageA(C.Form, WM_CLOSE, 0, 0);
    DWORD Estado = STILL_ACTIVE;
    if (WaitForSingleObject(C.Proceso.hProcess, Espera()) != WAIT_OBJECT_0) {
        Fallo(&C, "Evaldemo.exe did not end after WM_CLOSE", NULL);
        TerminateProcess(C.Proceso.hProcess, 1);
    }
    GetExitCodeProcess(C.Proceso.hProcess, &Estado);
    if (Estado != 0)
        Fallo(&C, "Evaldemo.exe ended with a status other than 0", NULL);
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Anterior);
    printf("Evaldemo.exe driven: %d failures\n", C.Fallos);
    return C.Fallos == 0 ? 0 : 1;
}
