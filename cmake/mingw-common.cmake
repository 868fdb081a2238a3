# Shared by both MinGW-w64 toolchains. The -posix compilers provide std::thread, which the
# test framework needs.
set(CMAKE_C_COMPILER ${VANTOREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANTOREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A static runtime, so the executables run on a Windows with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test programs run under Wine: Debian's `wine` starts 64-bit and, with wine32, 32-bit ones.
# Looked up when the tests run, so that the Wine session's choice of loader counts.
find_program(VANTOREL_WINE NAMES wine)
if(VANTOREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env wine)
endif()
