# Cross build for 64-bit Windows, never shipped: on kernels without 32-bit
# user mode, Wine runs the 64-bit build of the same sources instead
# (tools/wine-env.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
find_program(VELKRANE_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT VELKRANE_MINGW_CXX)
  message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix is missing: install "
                      "g++-mingw-w64-x86-64-posix (tools/install-deps wine)")
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
