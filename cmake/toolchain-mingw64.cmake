# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread needs). Executables are linked statically, so no DLL of
# the compiler's has to lie beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KVX_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KVX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine on the build machine.
find_program(KVX_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(KVX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVX_WINE})
endif()
