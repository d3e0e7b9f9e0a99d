# Cross-builds crdview.exe for 64-bit Windows with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64) and runs the built programs under Wine.
#   cmake -S . -B build-mingw --toolchain cmake/toolchain-mingw-w64-x86_64.cmake
#
# The C and C++ runtimes are linked statically, so crdview.exe imports only
# DLLs that every Windows has (KERNEL32, msvcrt), winpthread included, and runs as one file.
# GoogleTest for the tests is built from the system's source
# (/usr/src/googletest, Debian package libgtest-dev); see tests/CMakeLists.txt.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
# The POSIX-threads flavour of the compiler: its C++ library has std::mutex,
# which GoogleTest needs (the win32 flavour of GCC 12 lacks it).
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the .exe files through cmake/wine-run.sh, which keeps its Wine
# prefix inside the build directory and silences Wine's own diagnostics.
if(NOT DEFINED CRDVIEW_WINEPREFIX)
  set(CRDVIEW_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CRDVIEW_WINEPREFIX}")
