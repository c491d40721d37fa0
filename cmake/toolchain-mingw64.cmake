# Cross build of the same Windows program as 64-bit code with mingw-w64. The
# product is the 32-bit build (toolchain-mingw32.cmake); this one exists so that
# the Win32 code runs, tests and all, under 64-bit Wine on machines whose
# kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model gives the full <thread>/<mutex> library.
find_program(CORVANE_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++ REQUIRED)
find_program(CORVANE_MINGW_CC NAMES x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_CXX})
set(CMAKE_C_COMPILER ${CORVANE_MINGW_CC})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under 64-bit Wine in a 64-bit prefix of their own.
set(CORVANE_WINE_BITS 64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --win64)
