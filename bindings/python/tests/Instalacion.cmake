# The ways of getting the package, each then analysing once, with EVALION_BIBLIOTECAS unset,
# from a folder of its own:
#   -DPYTHON=... -DFUENTES=bindings/python -DDESTINO=... -DBIBLIOTECAS=... -DCONSTRUCCION=... -P Instalacion.cmake
# 1. pip, offline and isolated, so with nothing but the package's own backend, from a copy,
#    since pip builds in the source folder; the wheel carries the libraries of this build
#    (the setting construccion), and the package loads them from its own folder;
# 2. cmake --install of the whole build into a prefix; the package finds the libraries of
#    that prefix by itself;
# 3. the source package of a checkout whose build/run holds the libraries, as after ./run.sh.

# Runs one analysis with the package found on RUTA and checks that it came from there and
# that it loaded the engine from the folder LIBRERIAS.
function(analizar ruta librerias)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=EVALION_BIBLIOTECAS PYTHONPATH=${ruta}
      ${PYTHON} -c "import evalion, evalion._biblioteca as b; print(evalion.__file__, evalion.Analizador({'x': 20}).analizar('x + 1'), b.bibliotecas().evalion._name)"
    WORKING_DIRECTORY ${DESTINO}
    OUTPUT_VARIABLE salida ERROR_VARIABLE errores RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT salida MATCHES "^${ruta}/evalion/__init__.py 21.0 ${librerias}/libevalion[.]so[.]1\n$")
    message(FATAL_ERROR "the package in ${ruta} did not analyse with the libraries of ${librerias} (${rc}): ${salida}${errores}")
  endif()
  message(STATUS "${salida}")
endfunction()

file(REMOVE_RECURSE ${DESTINO})
file(MAKE_DIRECTORY ${DESTINO})
file(COPY ${FUENTES}/pyproject.toml ${FUENTES}/construir.py ${FUENTES}/evalion DESTINATION ${DESTINO}/fuentes)
execute_process(
  COMMAND ${PYTHON} -m pip install --quiet --no-index --no-deps --no-compile
    --disable-pip-version-check --config-settings construccion=${CONSTRUCCION}
    --target ${DESTINO}/pip ${DESTINO}/fuentes
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pip install failed (${rc})")
endif()
analizar(${DESTINO}/pip ${DESTINO}/pip/evalion/_bibliotecas)

# Outside a checkout and without a build tree named, the backend has no libraries to carry
# and says so, rather than making a wheel that cannot load.
execute_process(
  COMMAND ${PYTHON} -m pip wheel --quiet --no-index --no-deps --disable-pip-version-check
    --wheel-dir ${DESTINO}/ruedas ${DESTINO}/fuentes
  OUTPUT_VARIABLE salida ERROR_VARIABLE errores RESULT_VARIABLE rc)
if(rc EQUAL 0 OR NOT errores MATCHES "construccion=DIR")
  message(FATAL_ERROR "a wheel was built without libraries (${rc}): ${salida}${errores}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --install ${CONSTRUCCION} --prefix ${DESTINO}/prefijo
  OUTPUT_VARIABLE salida RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}): ${salida}")
endif()
file(GLOB paquete LIST_DIRECTORIES true ${DESTINO}/prefijo/*/python3*/site-packages)
get_filename_component(bibliotecas_del_prefijo ${paquete} DIRECTORY)
get_filename_component(bibliotecas_del_prefijo ${bibliotecas_del_prefijo} DIRECTORY)
analizar(${paquete} ${bibliotecas_del_prefijo})

# A checkout after ./run.sh: bindings/python beside build/run, whose folders hold the libraries.
set(checkout ${DESTINO}/checkout)
file(COPY ${FUENTES}/construir.py ${FUENTES}/evalion DESTINATION ${checkout}/bindings/python)
foreach(carpeta lib estandar formula)
  file(COPY ${CONSTRUCCION}/${carpeta}/ DESTINATION ${checkout}/build/run/${carpeta}
    FILES_MATCHING PATTERN "lib*.so*" PATTERN "CMakeFiles" EXCLUDE)
endforeach()
analizar(${checkout}/bindings/python ${checkout}/build/run/lib)
