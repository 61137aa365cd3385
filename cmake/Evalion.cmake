# The MinGW-w64 tools of a Windows build, and the prefix of a C name in its symbol tables
# (32-bit Windows puts an underscore before every C name, 64-bit Windows none).
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(EVALION_MINGW x86_64-w64-mingw32)
  set(EVALION_SIMBOLO "")
else()
  set(EVALION_MINGW i686-w64-mingw32)
  set(EVALION_SIMBOLO "_")
endif()

# Options every target of the project shares, applied per target.
function(evalion_opciones objetivo)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${objetivo} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion)
    if(EVALION_WERROR)
      target_compile_options(${objetivo} PRIVATE -Werror)
    endif()
    if(EVALION_FUZZ)
      # Coverage for libFuzzer in everything the fuzz targets run, with the sanitizers
      # that turn silent faults into findings.
      target_compile_options(${objetivo} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
      target_link_options(${objetivo} PRIVATE -fsanitize=address,undefined)
    elseif(EVALION_TSAN)
      target_compile_options(${objetivo} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
      target_link_options(${objetivo} PRIVATE -fsanitize=thread)
    elseif(EVALION_SANITIZE)
      target_compile_options(${objetivo} PRIVATE -fsanitize=address,undefined
        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
      target_link_options(${objetivo} PRIVATE -fsanitize=address,undefined)
    endif()
  endif()
endfunction()

# The engine's sources that the analysis needs, without the prepared forms: the Lazarus
# package links just these into its component.
set(EVALION_FUENTES_ANALISIS
  ${PROJECT_SOURCE_DIR}/engine/texto/Estado.cpp
  ${PROJECT_SOURCE_DIR}/engine/texto/Lexer.cpp
  ${PROJECT_SOURCE_DIR}/engine/texto/Numeros.cpp
  ${PROJECT_SOURCE_DIR}/engine/texto/Analisis.cpp)
# The prepared forms, by stage: the program, the machine, the x86-64 writer, the form.
set(EVALION_FUENTES_FORMAS
  ${PROJECT_SOURCE_DIR}/engine/programa/Compilador.cpp
  ${PROJECT_SOURCE_DIR}/engine/programa/Pasos.cpp
  ${PROJECT_SOURCE_DIR}/engine/maquina/Maquina.cpp
  ${PROJECT_SOURCE_DIR}/engine/x64/Emisor.cpp
  ${PROJECT_SOURCE_DIR}/engine/x64/Paginas.cpp
  ${PROJECT_SOURCE_DIR}/engine/x64/Ensamblador.cpp
  ${PROJECT_SOURCE_DIR}/engine/forma/Preparada.cpp
  ${PROJECT_SOURCE_DIR}/engine/forma/Filas.cpp)
# The engine's headers are found by name from every stage: the rules at its root, each stage
# in its folder (tests/capas.py checks that no stage includes one above it).
set(EVALION_INCLUIDOS_MOTOR ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR}/engine/texto
  ${PROJECT_SOURCE_DIR}/engine/programa ${PROJECT_SOURCE_DIR}/engine/maquina ${PROJECT_SOURCE_DIR}/engine/x64
  ${PROJECT_SOURCE_DIR}/engine/forma)

# The engine compiled with one callback form: a static library with position-independent
# code, so that it can go into the shared libraries and into test programs alike.
function(evalion_motor objetivo)
  cmake_parse_arguments(ARG "OBJETO" "" "" ${ARGN})
  add_library(${objetivo} STATIC ${EVALION_FUENTES_ANALISIS} ${EVALION_FUENTES_FORMAS})
  target_include_directories(${objetivo} PUBLIC ${EVALION_INCLUIDOS_MOTOR} ${PROJECT_SOURCE_DIR}/include/evalion)
  # The compiler's lists free themselves; nothing in the engine throws, so no cleanup for an
  # exception is compiled, which would bring the C++ run time into the DLLs.
  set_source_files_properties(${EVALION_FUENTES_FORMAS} PROPERTIES COMPILE_OPTIONS -fno-exceptions)
  set_target_properties(${objetivo} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Nor unwind tables in the 32-bit DLLs, for the analysis either: Windows unwinds them by
  # their frames, and no exception is let through the engine (the C++ interface rethrows a
  # handler's after the engine has returned), so the tables would only take room.
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${objetivo} PRIVATE -fno-asynchronous-unwind-tables -fno-exceptions)
  endif()
  if(ARG_OBJETO)
    target_compile_definitions(${objetivo} PUBLIC EVALION_OBJETO)
  endif()
  evalion_opciones(${objetivo})
endfunction()

# What every shared library we export shares, from the exportaciones.map and NOMBRE_WINDOWS.def
# beside its CMakeLists.txt: the version and SONAME, hidden symbols but the listed ones, and
# no open symbol on Linux; on Windows the DLL NOMBRE_WINDOWS.dll with its exports by plain name
# and an import library made from the decorated names hosts look for, behind the interface
# target OBJETIVO_windows that hosts of the Windows build link.
# On Linux the listed names carry symbol versions named after the library (EVALION_1 for
# Evalion, EVALIONOBJ_1 for Evalionobj...), the map's @NODO@, and NOMBRE_ENLACE_1, its
# @NODO_ENLACE@, under which the public headers bind a host's calls; the 1 is the SONAME's,
# which the headers repeat.
function(evalion_exportar objetivo nombre_windows)
  string(TOUPPER ${nombre_windows} nodo)
  set(NODO ${nodo}_1)
  set(NODO_ENLACE ${nodo}_ENLACE_1)
  set(mapa ${CMAKE_CURRENT_BINARY_DIR}/${objetivo}.map)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/exportaciones.map ${mapa} @ONLY)
  set_target_properties(${objetivo} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${mapa})
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_options(${objetivo} PRIVATE -Wl,--version-script=${mapa})
    # Clang leaves the sanitizer runtime to the program, so its libraries have open symbols.
    if(NOT EVALION_FUZZ AND NOT EVALION_TSAN)
      target_link_options(${objetivo} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
  if(WIN32)
    set_target_properties(${objetivo} PROPERTIES PREFIX "" OUTPUT_NAME ${nombre_windows})
    target_link_options(${objetivo} PRIVATE -Wl,--kill-at -static-libgcc)
    set(carpeta ${CMAKE_CURRENT_BINARY_DIR}/importacion)
    set(importacion ${carpeta}/lib${nombre_windows}.a)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      # 64-bit Windows decorates no name: the import library comes from the same .def with
      # the @N counts taken out (written beside it, and shipped so in the distribution).
      set(definicion ${carpeta}/${nombre_windows}.def)
      file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${nombre_windows}.def texto)
      string(REGEX REPLACE "@[0-9]+" "" texto "${texto}")
      string(REGEX REPLACE ";[^\n]*\n" "" texto "${texto}")
      file(CONFIGURE OUTPUT ${definicion} CONTENT "; Import library of ${nombre_windows}.dll, 64-bit Windows: \
plain names, one calling convention, nothing to decorate.\n${texto}" @ONLY)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${nombre_windows}.def)
      set(opciones_dlltool "")
    else()
      set(definicion ${CMAKE_CURRENT_SOURCE_DIR}/${nombre_windows}.def)
      set(opciones_dlltool -k)
    endif()
    add_custom_command(OUTPUT ${importacion}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${carpeta}
      COMMAND ${EVALION_MINGW}-dlltool ${opciones_dlltool} -d ${definicion} -l ${importacion}
      DEPENDS ${definicion})
    add_custom_target(${objetivo}_importacion ALL DEPENDS ${importacion})
    add_library(${objetivo}_windows INTERFACE)
    add_dependencies(${objetivo}_windows ${objetivo}_importacion ${objetivo})
    target_link_libraries(${objetivo}_windows INTERFACE ${importacion})
    target_include_directories(${objetivo}_windows INTERFACE ${PROJECT_SOURCE_DIR}/include/evalion)
  endif()
endfunction()

# A test that runs a Windows program under Wine (cmake/wine32.sh): labelled "wine", so that
# it can be run apart (in a virtual machine where the kernel cannot run 32-bit code), 77 as
# its skip code, and a time bound scaled like every other bound by EVALION_ESCALA_TIEMPO.
# Its prefix is PREFIJO if given, else the one beside its program; each starts as a copy of
# one model prefix of the build tree.
set(EVALION_ESCALA_TIEMPO "$ENV{EVALION_ESCALA_TIEMPO}" CACHE STRING
  "Factor for every time bound of the Windows tests (10 in an emulating virtual machine)")
function(evalion_propiedades_wine prueba)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PREFIJO" "")
  set(escala ${EVALION_ESCALA_TIEMPO})
  if(NOT escala MATCHES "^[1-9][0-9]*$")
    set(escala 1)
  endif()
  math(EXPR limite "400 * ${escala}")
  set(entorno EVALION_WINE_MODELO=${PROJECT_BINARY_DIR}/wineprefix-modelo)
  if(ARG_PREFIJO)
    list(APPEND entorno WINEPREFIX=${ARG_PREFIJO})
  endif()
  set_tests_properties(${prueba} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${limite} LABELS wine
    ENVIRONMENT "${entorno}")
endfunction()

# One exported library of the engine (the four entry points, or the prepared expressions)
# from Fuente over the engine Motor of one callback form, built with Definicion: its alias,
# the public headers as its interface, its exports (evalion_exportar) and, on Windows, a DLL
# that needs no run-time DLL but the system's. The engine uses nothing of the C++ run time,
# so the DLL is linked as C code (a use of it would fail to link rather than bring it in),
# without the sections nothing calls, and stripped of every symbol but those of the exports
# and the engine's functions (about 2 KB), by which the checks and a disassembly find their
# code. SALIDA names the Linux file when it is not the target's name.
function(evalion_biblioteca_del_motor objetivo fuente motor nombre_windows definicion)
  cmake_parse_arguments(ARG "" "SALIDA" "" ${ARGN})
  add_library(${objetivo} SHARED ${fuente})
  add_library(Evalion::${objetivo} ALIAS ${objetivo})
  target_link_libraries(${objetivo} PRIVATE ${motor})
  target_compile_definitions(${objetivo} PRIVATE ${definicion})
  target_include_directories(${objetivo} INTERFACE
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include/evalion>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/evalion>)
  if(ARG_SALIDA)
    set_target_properties(${objetivo} PROPERTIES OUTPUT_NAME ${ARG_SALIDA})
  endif()
  evalion_exportar(${objetivo} ${nombre_windows})
  if(WIN32)
    set_target_properties(${objetivo} PROPERTIES LINKER_LANGUAGE C)
    target_link_options(${objetivo} PRIVATE -Wl,--gc-sections)
    add_custom_command(TARGET ${objetivo} POST_BUILD
      COMMAND ${CMAKE_STRIP} --strip-all --wildcard --keep-symbol=${EVALION_SIMBOLO}A_*
        --keep-symbol=${EVALION_SIMBOLO}_ZN5Motor*
        $<TARGET_FILE:${objetivo}>
      VERBATIM)
  endif()
  evalion_opciones(${objetivo})
endfunction()
