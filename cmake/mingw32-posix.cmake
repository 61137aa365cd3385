# The 32-bit Windows cross-build with MinGW-w64's POSIX thread model, which has std::thread
# and std::mutex (GoogleTest and the concurrency tests need them); the DLLs themselves are
# built with the default model (mingw32.cmake) and need no thread library.
include(${CMAKE_CURRENT_LIST_DIR}/mingw32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
