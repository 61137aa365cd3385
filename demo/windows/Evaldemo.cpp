// Evaldemo for Windows: one window that evaluates what the user types with Evalionobj.dll and
// answers the names Euro, Pesetas, Hora, Fecha, Raiz, Seno and si itself.
#include <windows.h>

#include <exception>

#include "Formulario.h"

// An exception that escapes start-up is shown to the user; the program still ends with 0.
int WINAPI WinMain(HINSTANCE Instancia, HINSTANCE, LPSTR, int Mostrar)
{
    try {
        TForm1 Form1(Instancia, Mostrar);
        return Ejecutar(Form1);
    } catch (const std::exception &Excepcion) {
        MessageBoxA(nullptr, Excepcion.what(), "Evaldemo", MB_OK | MB_ICONERROR);
        return 0;
    }
}
