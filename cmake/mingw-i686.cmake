# Cross build for 32-bit Windows with MinGW-w64 (the shipped program).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
find_program(VELKRANE_MINGW_CXX i686-w64-mingw32-g++-posix)
if(NOT VELKRANE_MINGW_CXX)
  message(FATAL_ERROR "i686-w64-mingw32-g++-posix is missing: install g++-mingw-w64-i686-posix "
                      "(tools/install-deps windows)")
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine's 32-bit loader (called directly: the wrapper
# script would pick it even where the kernel cannot run 32-bit code).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
