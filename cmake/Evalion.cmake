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

# The engine compiled with one callback form: a static library with position-independent
# code, so that it can go into the shared libraries and into test programs alike.
function(evalion_motor objetivo)
  cmake_parse_arguments(ARG "OBJETO" "" "" ${ARGN})
  add_library(${objetivo} STATIC
    ${PROJECT_SOURCE_DIR}/engine/Estado.cpp
    ${PROJECT_SOURCE_DIR}/engine/Lexer.cpp
    ${PROJECT_SOURCE_DIR}/engine/Numeros.cpp
    ${PROJECT_SOURCE_DIR}/engine/Gramatica.cpp
    ${PROJECT_SOURCE_DIR}/engine/Operandos.cpp)
  target_include_directories(${objetivo} PUBLIC ${PROJECT_SOURCE_DIR}/engine)
  set_target_properties(${objetivo} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_OBJETO)
    target_compile_definitions(${objetivo} PUBLIC EVALION_OBJETO)
  endif()
  evalion_opciones(${objetivo})
endfunction()
