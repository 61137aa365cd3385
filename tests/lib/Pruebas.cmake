# The behaviour tables of the libraries, one file per behaviour. The native tests and the
# Windows build of the same tables both take this list.
set(EVALION_PRUEBAS_BIBLIOTECAS
  Operadores.cpp
  Posiciones.cpp
  Separadores.cpp
  Peticiones.cpp
  Limites.cpp
  Profundidad.cpp
  Concurrencia.cpp)
