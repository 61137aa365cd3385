// The window of Evaldemo on the plain Windows API: an expression line, the "&Calcular"
// button and a result line. Each click evaluates the expression through Evalionobj.dll with
// a fresh parser state and shows the value, or the error in a message box.
#ifndef EVALDEMO_WINDOWS_FORMULARIO_H
#define EVALDEMO_WINDOWS_FORMULARIO_H

#include <windows.h>

#include <string>
#include <vector>

#include "Demostracion.h"
#include "Parser.h"

// Numbers with the user's decimal separator, the time and date in the user's formats, all
// as the system's locale settings give them.
class TFormatoWindows final : public Evalion::TFormatoRegional {
public:
    std::string Numero(double Valor) const override;
    std::string Hora() const override;
    std::string Fecha() const override;
};

class TForm1 {
public:
    // Registers the window class, creates the window with its controls and shows it;
    // throws std::runtime_error when Windows refuses.
    TForm1(HINSTANCE Instancia, int Mostrar);
    ~TForm1();
    TForm1(const TForm1 &) = delete;
    TForm1 &operator=(const TForm1 &) = delete;

    HWND Ventana = nullptr;
    HWND Expresion = nullptr;
    HWND Resultado = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Button1 = nullptr;
    HWND Label3 = nullptr;
    HWND Label4 = nullptr;
    HWND Label5 = nullptr;
    HWND Label6 = nullptr;

    void Button1Click();

    // The engine's two requests, as object methods (Parser.h): the form arrives as Objeto. On
    // 32-bit Windows in the register convention, which pushes N first, so R is declared
    // before N; on 64-bit Windows in the one convention, the parameters in order.
    static void EVALION_METODO AlPedirVariable(void *Objeto, char *Variable, BLOQUEDEDATOS *R);
#if defined(__i386__)
    static void EVALION_METODO AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros,
                                              BLOQUEDEDATOS *R, int32_t N);
#else
    static void EVALION_METODO AlPedirFuncion(void *Objeto, char *Funcion, BLOQUEDEDATOS *Parametros, int32_t N,
                                              BLOQUEDEDATOS *R);
#endif

private:
    static LRESULT CALLBACK Procedimiento(HWND Ventana, UINT Mensaje, WPARAM W, LPARAM L);
    void CrearControles();
    HFONT FuenteQueCabe(HWND Etiqueta, const wchar_t *Texto, int Ancho, int Peso);

    HFONT Fuente = nullptr;
    HFONT Negrita = nullptr;
    std::vector<HFONT> Reducidas; // the smaller fonts of labels whose text did not fit
    const TFormatoWindows Formato;
};

// Runs the message loop until the window closes; returns the program's status.
int Ejecutar(TForm1 &Formulario);

#endif
