# Cross build of velor.exe for 64-bit Windows with Debian's MinGW-w64
# compilers (package g++-mingw-w64-x86-64-posix; the posix threads variant
# has std::thread).  Programs are linked statically, so velor.exe needs
# nothing beside it but the DLLs every Windows system has.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-windows -j2
#
# Where wine is installed, ctest runs the test programs under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELOR_MINGW_TRIPLET}-windres)

# Libraries, headers and CMake packages only from the Windows side.
set(CMAKE_FIND_ROOT_PATH /usr/${VELOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: no DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(VELOR_WINE NAMES wine wine64)
  if(VELOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELOR_WINE})
  endif()
endif()
