# The 64-bit Windows cross-build with MinGW-w64's POSIX thread model, which has std::thread
# and std::mutex (GoogleTest and the concurrency tests need them); the DLLs themselves are
# built with the win32 model (mingw64.cmake) and need no thread library.
include(${CMAKE_CURRENT_LIST_DIR}/mingw64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
