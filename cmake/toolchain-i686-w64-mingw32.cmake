# Cross build for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686).
#
# The posix thread flavour of the compiler is preferred: its libstdc++ has std::mutex and
# std::thread, which the stand-in run-time and the tests use. Everything is linked statically
# (quorvel.dll itself needs only libgcc: cmake/Win32Library.cmake), so the modules need no
# mingw DLLs beside them, and without a time stamp in the PE header, so that two builds of the
# same sources give the same bytes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QV_MINGW_TRIPLET i686-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${QV_MINGW_TRIPLET}-gcc-posix ${QV_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QV_MINGW_TRIPLET}-g++-posix ${QV_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QV_MINGW_TRIPLET}-windres)
find_program(QV_DLLTOOL NAMES ${QV_MINGW_TRIPLET}-dlltool REQUIRED)
find_program(QV_OBJDUMP NAMES ${QV_MINGW_TRIPLET}-objdump REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
