# Installs the build into a scratch prefix and builds hosts against that installation only,
# as a user of the package would: the examples through find_package(Evalion) and through
# pkg-config, and the installed command; with the Qt component, the Qt example the same two
# ways. Run by CTest as
#   cmake -DCONSTRUCCION=<build dir> -DFUENTES=<source dir> -DGENERADOR=<generator>
#         -DCOMPILADOR_C=<C compiler> -DCOMPILADOR_CXX=<C++ compiler>
#         -DDIRECTORIO_LIB=<lib dir, relative> -DDIRECTORIO_MAN=<man dir, relative>
#         -DCON_COMPONENTE=<0|1> -DCON_EVALDEMO=<0|1> -DCONFIGURACION=<build type>
#         -P Instalacion.cmake
cmake_minimum_required(VERSION 3.25)

foreach(variable CONSTRUCCION FUENTES GENERADOR COMPILADOR_C COMPILADOR_CXX DIRECTORIO_LIB DIRECTORIO_MAN
    CON_COMPONENTE CON_EVALDEMO CONFIGURACION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "Instalacion.cmake needs -D${variable}=...")
  endif()
endforeach()

set(TRABAJO ${CONSTRUCCION}/prueba-instalacion)
set(PREFIJO ${TRABAJO}/prefijo)
file(REMOVE_RECURSE ${TRABAJO})
file(MAKE_DIRECTORY ${TRABAJO})

# Runs a command and fails the test when it fails; the output is kept in SALIDA.
function(ejecutar)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE estado OUTPUT_VARIABLE salida ERROR_VARIABLE errores)
  if(NOT estado EQUAL 0)
    string(REPLACE ";" " " orden "${ARGN}")
    message(FATAL_ERROR "Failed (${estado}): ${orden}\n${salida}${errores}")
  endif()
  set(SALIDA "${salida}" PARENT_SCOPE)
endfunction()

# The example hosts print one line per expression; these lines prove that each ran against a
# working library (a value, an error reported by the engine, the object passed back, the
# standard library, a message, an exception rethrown).
function(comprobar_ejemplo nombre salida)
  if(nombre MATCHES "cpp")
    string(CONCAT esperado "Redondear\\(ConIva\\(9,99\\); 2\\) -> 12\\.09\n.*\"FERRETERÍA NÚÑEZ\"\n.*"
      "Precio \\* 2 -> Error 1000: Se esperaba una variable en la posición 1\n"
      "Stock\\(7\\) \\+ 1 -> exception: the stock service is down\n")
  elseif(nombre MATCHES "objeto")
    set(esperado "Max\\(3; 40 \\* IVA; 7\\) +8\\.4\n.*Min\\(1; 2\\) +error 1100 at position 1\nrequests answered: 4\n")
  else()
    set(esperado "1\\.250 \\* \\(1 \\+ IVA\\) +1512\\.5\n.*Precio \\* \\(1 \\+ IVA\\) +error 1000 at position 1\n")
  endif()
  if(NOT salida MATCHES "${esperado}")
    message(FATAL_ERROR "${nombre} printed an unexpected result:\n${salida}")
  endif()
endfunction()

ejecutar(${CMAKE_COMMAND} --install ${CONSTRUCCION} --config ${CONFIGURACION} --prefix ${PREFIJO})

# Every file the manual's list (doc/instalacion.md) names, each library with its versioned name.
set(INSTALADOS
  ${DIRECTORIO_LIB}/libevalion.so ${DIRECTORIO_LIB}/libevalion.so.1
  ${DIRECTORIO_LIB}/libevalionobj.so ${DIRECTORIO_LIB}/libevalionobj.so.1
  ${DIRECTORIO_LIB}/libevalion-estandar.so ${DIRECTORIO_LIB}/libevalion-estandar.so.1
  ${DIRECTORIO_LIB}/libevalion-formula.so ${DIRECTORIO_LIB}/libevalion-formula.so.1
  ${DIRECTORIO_LIB}/libevalion-formulaobj.so ${DIRECTORIO_LIB}/libevalion-formulaobj.so.1
  include/evalion/Parser.h include/evalion/Estandar.h include/evalion/Formula.h include/evalion/Evalion.hpp
  include/evalion/Codificacion.hpp include/evalion/Bloques.hpp bin/evalion ${DIRECTORIO_MAN}/man1/evalion.1
  ${DIRECTORIO_LIB}/cmake/Evalion/EvalionConfig.cmake
  ${DIRECTORIO_LIB}/cmake/Evalion/EvalionConfigVersion.cmake
  ${DIRECTORIO_LIB}/pkgconfig/evalion.pc ${DIRECTORIO_LIB}/pkgconfig/evalionobj.pc
  ${DIRECTORIO_LIB}/pkgconfig/evalion-estandar.pc ${DIRECTORIO_LIB}/pkgconfig/evalionxx.pc
  ${DIRECTORIO_LIB}/pkgconfig/evalion-formula.pc ${DIRECTORIO_LIB}/pkgconfig/evalion-formulaobj.pc)
if(CON_PAGINAS)
  list(APPEND INSTALADOS ${DIRECTORIO_MAN}/man3/evalion.3 ${DIRECTORIO_MAN}/man3/evalion-formula.3
    ${DIRECTORIO_MAN}/man3/evalion-estandar.3 ${DIRECTORIO_MAN}/man3/A_Analizar.3
    ${DIRECTORIO_MAN}/man3/A_Preparar.3 ${DIRECTORIO_MAN}/man3/A_Mensaje.3 ${DIRECTORIO_MAN}/man7/evalion-lenguaje.7)
endif()
if(CON_COMPONENTE)
  list(APPEND INSTALADOS ${DIRECTORIO_LIB}/libevalcomp.so ${DIRECTORIO_LIB}/libevalcomp.so.1
    include/evalion/Evalion.h include/evalion/Paleta.h bin/evalion-disenador
    ${DIRECTORIO_MAN}/man1/evalion-disenador.1 ${DIRECTORIO_LIB}/pkgconfig/evalcomp.pc)
endif()
if(CON_EVALDEMO)
  list(APPEND INSTALADOS bin/Evaldemo)
endif()
# Every function the C headers declare has a page that `man` finds by its name.
if(CON_PAGINAS)
  foreach(cabecera Parser.h Formula.h Estandar.h FormulaEstandar.h)
    file(STRINGS ${PREFIJO}/include/evalion/${cabecera} lineas REGEX "A_[A-Za-z]+ *\\(")
    string(REGEX MATCHALL "A_[A-Za-z]+ *\\(" llamadas "${lineas}")
    foreach(llamada ${llamadas})
      string(REGEX REPLACE " *\\($" "" exportacion "${llamada}")
      list(APPEND INSTALADOS ${DIRECTORIO_MAN}/man3/${exportacion}.3)
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES INSTALADOS)
endif()
foreach(archivo ${INSTALADOS})
  if(NOT EXISTS ${PREFIJO}/${archivo})
    message(FATAL_ERROR "Not installed: ${archivo}")
  endif()
endforeach()

# The installed command finds the installed libraries by its run path.
ejecutar(${PREFIJO}/bin/evalion -e "2^3^2" "Raiz(16)")
if(NOT SALIDA STREQUAL "512\n4\n")
  message(FATAL_ERROR "The installed evalion printed: ${SALIDA}")
endif()

# Same major version: 1.0 is satisfied; 0.9 and 2.0 are not, although 1.0.0 is newer than 0.9.
foreach(pedida 1.0 0.9 2.0)
  set(PACKAGE_FIND_VERSION ${pedida})
  string(REGEX MATCH "^[0-9]+" PACKAGE_FIND_VERSION_MAJOR ${pedida})
  unset(PACKAGE_VERSION_COMPATIBLE)
  include(${PREFIJO}/${DIRECTORIO_LIB}/cmake/Evalion/EvalionConfigVersion.cmake)
  if(pedida STREQUAL "1.0")
    set(esperado TRUE)
  else()
    set(esperado FALSE)
  endif()
  if(NOT PACKAGE_VERSION_COMPATIBLE STREQUAL esperado)
    message(FATAL_ERROR "Version ${PACKAGE_VERSION} for a request of ${pedida}: "
      "compatible is ${PACKAGE_VERSION_COMPATIBLE}, expected ${esperado}")
  endif()
endforeach()

# The examples as a project of their own, with find_package(Evalion) and both targets.
ejecutar(${CMAKE_COMMAND} -S ${FUENTES}/examples -B ${TRABAJO}/ejemplos -G ${GENERADOR}
  -DCMAKE_C_COMPILER=${COMPILADOR_C} -DCMAKE_CXX_COMPILER=${COMPILADOR_CXX} -DCMAKE_PREFIX_PATH=${PREFIJO}
  -DCMAKE_BUILD_TYPE=Release)
ejecutar(${CMAKE_COMMAND} --build ${TRABAJO}/ejemplos)
foreach(ejemplo ejemplo_host ejemplo_host_objeto ejemplo_host_cpp)
  ejecutar(${TRABAJO}/ejemplos/${ejemplo})
  comprobar_ejemplo(${ejemplo} "${SALIDA}")
endforeach()

# The same sources compiled by hand with the flags pkg-config gives, run with the library
# found through LD_LIBRARY_PATH.
find_program(PKG_CONFIG NAMES pkgconf pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${PREFIJO}/${DIRECTORIO_LIB}/pkgconfig)
set(ENV{LD_LIBRARY_PATH} ${PREFIJO}/${DIRECTORIO_LIB})
ejecutar(${PKG_CONFIG} --modversion evalion)
if(NOT SALIDA MATCHES "^1\\.")
  message(FATAL_ERROR "pkg-config reports version ${SALIDA}")
endif()
foreach(ejemplo IN ITEMS "host.c:evalion:c99" "host_objeto.c:evalionobj:c11" "host.cpp:evalionxx:c++17")
  string(REPLACE ":" ";" partes ${ejemplo})
  list(GET partes 0 fuente)
  list(GET partes 1 paquete)
  list(GET partes 2 norma)
  ejecutar(${PKG_CONFIG} --cflags --libs ${paquete})
  separate_arguments(opciones UNIX_COMMAND "${SALIDA}")
  string(REPLACE "." "_" programa ${fuente})
  set(programa ${TRABAJO}/${programa}_pkgconfig)
  set(compilador ${COMPILADOR_C})
  if(fuente MATCHES "cpp$")
    set(compilador ${COMPILADOR_CXX})
  endif()
  ejecutar(${compilador} -std=${norma} -Wall -Wextra -Wpedantic -Werror
    ${FUENTES}/examples/${fuente} ${opciones} -o ${programa})
  ejecutar(${programa})
  comprobar_ejemplo(${fuente} "${SALIDA}")
endforeach()

# Both callback forms in one program, built as a user would: a C module of the plain form and
# a C++ part over Evalion.hpp, linked with only the libraries each needs.
ejecutar(${PKG_CONFIG} --cflags evalion-formula)
separate_arguments(opciones UNIX_COMMAND "${SALIDA}")
ejecutar(${COMPILADOR_C} -std=c11 -Wall -Wextra -Werror -c ${FUENTES}/tests/lib/Modulo.c ${opciones}
  -o ${TRABAJO}/modulo.o)
ejecutar(${PKG_CONFIG} --cflags --libs evalionxx evalion-formula)
separate_arguments(opciones UNIX_COMMAND "${SALIDA}")
ejecutar(${COMPILADOR_CXX} -std=c++17 -Wall -Wextra -Werror ${FUENTES}/tests/lib/Mezcla.cpp
  ${TRABAJO}/modulo.o -Wl,--as-needed ${opciones} -o ${TRABAJO}/mezcla_pkgconfig)
ejecutar(${TRABAJO}/mezcla_pkgconfig)

# The Qt example through find_package(Evalion COMPONENTS evalcomp) and through pkg-config.
if(CON_COMPONENTE)
  ejecutar(${CMAKE_COMMAND} -S ${FUENTES}/examples/qt -B ${TRABAJO}/ejemplo_qt -G ${GENERADOR}
    -DCMAKE_CXX_COMPILER=${COMPILADOR_CXX} -DCMAKE_PREFIX_PATH=${PREFIJO} -DCMAKE_BUILD_TYPE=Release)
  ejecutar(${CMAKE_COMMAND} --build ${TRABAJO}/ejemplo_qt)
  ejecutar(${PKG_CONFIG} --cflags --libs evalcomp)
  separate_arguments(opciones UNIX_COMMAND "${SALIDA}")
  ejecutar(${COMPILADOR_CXX} -std=c++17 -fPIC ${FUENTES}/examples/qt/calculadora.cpp ${opciones}
    -o ${TRABAJO}/ejemplo_qt_pkgconfig)
  foreach(programa ${TRABAJO}/ejemplo_qt/ejemplo_qt ${TRABAJO}/ejemplo_qt_pkgconfig)
    ejecutar(${programa})
    if(NOT SALIDA MATCHES "^doble\\(x\\) -> 42\n")
      message(FATAL_ERROR "${programa} printed an unexpected result:\n${SALIDA}")
    endif()
  endforeach()
endif()
