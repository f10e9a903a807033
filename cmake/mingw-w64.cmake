# Cross compiling for Windows with Debian's MinGW-w64 compilers (posix threads). The target is
# read from the environment, so that CMake's own try-compile projects see it too:
#   MOVITREL_MINGW_ARCH  x86_64 (the default) or i686
#   MOVITREL_WIN_DEPS    the prefix that holds libjpeg and libpng built for that target
set(arch "$ENV{MOVITREL_MINGW_ARCH}")
if(NOT arch)
  set(arch x86_64)
endif()
set(triple ${arch}-w64-mingw32)

set(CMAKE_SYSTEM_NAME Windows)
if(arch STREQUAL "i686")
  set(CMAKE_SYSTEM_PROCESSOR X86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(CMAKE_FIND_ROOT_PATH /usr/${triple} $ENV{MOVITREL_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The static zlib, so that a module links it in and imports nothing but the system's DLLs
# (MinGW's lib folder holds both libz.a and the import library libz.dll.a).
set(ZLIB_USE_STATIC_LIBS ON)
