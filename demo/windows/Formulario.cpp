#include "Formulario.h"

#include <cwchar>
#include <stdexcept>
#include <vector>

#include "Controles.h"
#include "Formato.h"
#include "Texto.h"

namespace {

// The window's texts are UTF-16; the shared code speaks UTF-8, and turns it into the
// engine's Windows-1252 itself, so no ANSI code page of the system plays a part.
std::string Utf8(const wchar_t *Texto, int Largo = -1)
{
    const int Bytes = WideCharToMultiByte(CP_UTF8, 0, Texto, Largo, nullptr, 0, nullptr, nullptr);
    std::string Salida(static_cast<size_t>(Bytes > 0 ? Bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Texto, Largo, Salida.data(), Bytes, nullptr, nullptr);
    if (Largo < 0 && !Salida.empty())
        Salida.pop_back(); // the terminator
    return Salida;
}

std::wstring Utf16(const std::string &Texto)
{
    const int Largo = static_cast<int>(Texto.size());
    const int Unidades = MultiByteToWideChar(CP_UTF8, 0, Texto.data(), Largo, nullptr, 0);
    std::wstring Salida(static_cast<size_t>(Unidades), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Texto.data(), Largo, Salida.data(), Unidades);
    return Salida;
}

std::string TextoDe(HWND Control)
{
    std::vector<wchar_t> Texto(static_cast<size_t>(GetWindowTextLengthW(Control)) + 1);
    const int Largo = GetWindowTextW(Control, Texto.data(), static_cast<int>(Texto.size()));
    return Utf8(Texto.data(), Largo);
}

// "MS Sans Serif" 8 pt: 11-pixel characters in 13-pixel lines at 96 pixels per inch, the
// metrics every position on the form was laid out with.
constexpr int ALTO_FUENTE = 11;
// The smallest character height a label's font is made smaller to.
constexpr int ALTO_MINIMO = 7;

HFONT CrearFuente(int Peso, int Alto = ALTO_FUENTE)
{
    return CreateFontW(-Alto, 0, 0, 0, Peso, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

// How wide Texto is in Fuente, in pixels, where Control draws.
int AnchoDe(HWND Control, HFONT Fuente, const wchar_t *Texto)
{
    HDC Dc = GetDC(Control);
    HGDIOBJ Antes = SelectObject(Dc, Fuente);
    SIZE Tamano{};
    GetTextExtentPoint32W(Dc, Texto, static_cast<int>(std::wcslen(Texto)), &Tamano);
    SelectObject(Dc, Antes);
    ReleaseDC(Control, Dc);
    return Tamano.cx;
}

struct TControl {
    HWND TForm1::*Campo;
    const wchar_t *Clase;
    const wchar_t *Texto;
    int Id, Izquierda, Arriba, Ancho, Alto;
    DWORD Estilo, EstiloExtendido;
    bool Negrita;
};

constexpr DWORD LINEA = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD ETIQUETA = SS_LEFT | SS_NOPREFIX;

// In the order of the form's fields; the three with WS_TABSTOP come in tab order.
const TControl CONTROLES[] = {
    {&TForm1::Expresion, L"EDIT", L"Expresion", ID_EXPRESION, 64, 24, 321, 21, LINEA, WS_EX_CLIENTEDGE, false},
    {&TForm1::Resultado, L"EDIT", L"Resultado", ID_RESULTADO, 64, 88, 321, 21, LINEA, WS_EX_CLIENTEDGE, false},
    {&TForm1::Label1, L"STATIC", L"Expresi\u00f3n:", ID_LABEL1, 8, 28, 49, 13, ETIQUETA, 0, false},
    {&TForm1::Label2, L"STATIC", L"=", ID_LABEL2, 48, 92, 6, 13, ETIQUETA, 0, false},
    {&TForm1::Button1, L"BUTTON", L"&Calcular", ID_BUTTON1, 112, 56, 75, 25, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, false},
    {&TForm1::Label3, L"STATIC", L"Variables:", ID_LABEL3, 16, 120, 57, 13, ETIQUETA, 0, true},
    {&TForm1::Label5, L"STATIC", L"Euro, Pesetas, Hora y Fecha", ID_LABEL5, 80, 120, 136, 13, ETIQUETA, 0, false},
    {&TForm1::Label4, L"STATIC", L"Funciones:", ID_LABEL4, 16, 136, 63, 13, ETIQUETA, 0, true},
    {&TForm1::Label6, L"STATIC", L"Raiz(x), Seno(x), Si(F;A;B)", ID_LABEL6, 80, 136, 121, 13, ETIQUETA, 0, false},
};

} // namespace

std::string TFormatoWindows::Numero(double Valor) const
{
    wchar_t Punto[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Punto, 8) == 0)
        return Evalion::FormatearNumero(Valor);
    return Evalion::FormatearNumero(Valor, Utf8(Punto));
}

// The locale's time format, which writes the seconds.
std::string TFormatoWindows::Hora() const
{
    wchar_t Texto[64];
    return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, Texto, 64) ? Utf8(Texto) : std::string();
}

std::string TFormatoWindows::Fecha() const
{
    wchar_t Texto[64];
    return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, Texto, 64) ? Utf8(Texto)
                                                                                            : std::string();
}

// The window at 194, 108, 405 x 191 pixels outside, as the form was designed.
TForm1::TForm1(HINSTANCE Instancia, int Mostrar)
{
    WNDCLASSW Clase{};
    Clase.lpfnWndProc = Procedimiento;
    Clase.hInstance = Instancia;
    Clase.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    Clase.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Clase.lpszClassName = L"" EVALDEMO_CLASE;
    Fuente = CrearFuente(FW_NORMAL);
    Negrita = CrearFuente(FW_BOLD);
    if (!RegisterClassW(&Clase) ||
        !CreateWindowExW(0, Clase.lpszClassName, L"" EVALDEMO_TITULO, WS_OVERLAPPEDWINDOW, 194, 108, 405, 191,
                         nullptr, nullptr, Instancia, this))
        throw std::runtime_error("No se pudo crear el formulario");
    ShowWindow(Ventana, Mostrar);
    SetFocus(Expresion);
}

TForm1::~TForm1()
{
    if (Ventana)
        DestroyWindow(Ventana);
    DeleteObject(Fuente);
    DeleteObject(Negrita);
    for (HFONT Reducida : Reducidas)
        DeleteObject(Reducida);
}

// A system without "MS Sans Serif" (Wine without fonts-wine) gives a wider font in its place,
// and a label clips its text at its width: the end, the colon, would be lost. So a label
// whose text does not fit gets a smaller font of the same weight, one pixel of height at a
// time, until it does; the form's own font where it fits.
HFONT TForm1::FuenteQueCabe(HWND Etiqueta, const wchar_t *Texto, int Ancho, int Peso)
{
    HFONT Propia = Peso == FW_BOLD ? Negrita : Fuente;
    if (AnchoDe(Etiqueta, Propia, Texto) <= Ancho)
        return Propia;
    HFONT Reducida = nullptr;
    for (int Alto = ALTO_FUENTE - 1; Alto >= ALTO_MINIMO; --Alto) {
        if (Reducida)
            DeleteObject(Reducida);
        Reducida = CrearFuente(Peso, Alto);
        if (AnchoDe(Etiqueta, Reducida, Texto) <= Ancho)
            break;
    }
    Reducidas.push_back(Reducida);
    return Reducida;
}

void TForm1::CrearControles()
{
    SendMessageW(Ventana, WM_SETFONT, reinterpret_cast<WPARAM>(Fuente), FALSE);
    for (const TControl &C : CONTROLES) {
        HWND Control = CreateWindowExW(C.EstiloExtendido, C.Clase, C.Texto, WS_CHILD | WS_VISIBLE | C.Estilo,
                                       C.Izquierda, C.Arriba, C.Ancho, C.Alto, Ventana,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(C.Id)),
                                       reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Ventana, GWLP_HINSTANCE)), nullptr);
        HFONT Suya = C.Negrita ? Negrita : Fuente;
        if (C.Estilo == ETIQUETA)
            Suya = FuenteQueCabe(Control, C.Texto, C.Ancho, C.Negrita ? FW_BOLD : FW_NORMAL);
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Suya), FALSE);
        this->*C.Campo = Control;
    }
    // What the engine reads: no more is typed or pasted.
    SendMessageW(Expresion, EM_LIMITTEXT, EVALION_LARGO_EXPRESION, 0);
}

LRESULT CALLBACK TForm1::Procedimiento(HWND Ventana, UINT Mensaje, WPARAM W, LPARAM L)
{
    auto *Formulario = reinterpret_cast<TForm1 *>(GetWindowLongPtrW(Ventana, GWLP_USERDATA));
    switch (Mensaje) {
    case WM_NCCREATE:
        Formulario = static_cast<TForm1 *>(reinterpret_cast<CREATESTRUCTW *>(L)->lpCreateParams);
        Formulario->Ventana = Ventana;
        SetWindowLongPtrW(Ventana, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Formulario));
        break;
    case WM_CREATE:
        Formulario->CrearControles();
        return 0;
    case WM_COMMAND: // the button's click, or Enter in either line
        if (LOWORD(W) == ID_BUTTON1 && HIWORD(W) == BN_CLICKED) {
            Formulario->Button1Click();
            return 0;
        }
        break;
    case WM_DESTROY:
        Formulario->Ventana = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(Ventana, Mensaje, W, L);
}

void TForm1::Button1Click()
{
    SetWindowTextW(Resultado, L"");

    ESTADODEANALISIS Estado;
    A_Inicializar(&Estado);
    A_AsignarAlPedir(&Estado, AlPedirVariable, this, AlPedirFuncion, this);
    const BLOQUEDEDATOS R = A_Analizar(&Estado, Evalion::Codificacion::Utf8ALatin1(TextoDe(Expresion)).c_str());

    const Evalion::TPresentacion Presentacion = Evalion::Presentar(R, Formato);
    if (!Presentacion.Error) {
        SetWindowTextW(Resultado, Utf16(Presentacion.Texto).c_str());
        return;
    }
    MessageBoxW(Ventana, Utf16(Presentacion.Texto).c_str(), L"Error", MB_OKCANCEL); // either button closes it
}

void EVALION_METODO TForm1::AlPedirVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R)
{
    Evalion::PedirVariable(Variable, *R, static_cast<TForm1 *>(Objeto)->Formato);
}

#if defined(__i386__)
void EVALION_METODO TForm1::AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, BLOQUEDEDATOS *R,
                                           int32_t N)
#else
void EVALION_METODO TForm1::AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                           BLOQUEDEDATOS *R)
#endif
{
    (void)Objeto; // the functions need nothing of the form
    Evalion::PedirFuncion(Funcion, Parametros, N, *R);
}

// IsDialogMessage gives the window what a dialog has: Tab and Shift+Tab move between the
// controls, Enter presses the default button, Alt+C the button.
int Ejecutar(TForm1 &Formulario)
{
    MSG Mensaje;
    BOOL Leido;
    while ((Leido = GetMessageW(&Mensaje, nullptr, 0, 0)) > 0) {
        if (Formulario.Ventana && IsDialogMessageW(Formulario.Ventana, &Mensaje))
            continue;
        TranslateMessage(&Mensaje);
        DispatchMessageW(&Mensaje);
    }
    return Leido < 0 ? 1 : static_cast<int>(Mensaje.wParam);
}
