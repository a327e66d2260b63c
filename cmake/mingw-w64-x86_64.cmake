# Cross-builds the tool for 64-bit Windows with the distribution's MinGW-w64 (the posix
# thread variants, which have std::thread). Programs are linked statically, so a built
# .exe runs on Windows or under Wine without any of the compiler's DLLs beside it.
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and headers come from the MinGW sysroot only: the build machine's /usr/include
# holds glibc's headers, which must never reach a Windows build.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Built programs (tests, the sample generator) run under Wine on the build machine.
find_program(QUORVEL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(QUORVEL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEL_WINE64})
endif()
