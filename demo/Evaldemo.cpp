// Evaldemo: one window that evaluates what the user types with libevalionobj and answers the
// names Euro, Pesetas, Hora, Fecha, Raiz, Seno and si itself.
#include "Aplicacion.h"
#include "Formulario.h"

int main(int argc, char **argv)
{
    TAplicacion Aplicacion(argc, argv);
    return Ejecutar(Aplicacion, [] { return std::make_unique<TForm1>(); });
}
