# The windows preset: Windows on x86-64, cross-built with Debian's MinGW-w64.
# Linked -static, so that the program needs only the DLLs that every Windows
# has (KERNEL32 and msvcrt), and tested under Wine: ctest runs each test
# program through the emulator below, in a Wine prefix of this build folder
# (tests/wine_server.sh makes it once and keeps one server for the run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DUSK_MINGW x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER ${DUSK_MINGW}-g++-posix)
find_program(CMAKE_C_COMPILER ${DUSK_MINGW}-gcc-posix)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_C_COMPILER)
  message(FATAL_ERROR "The windows preset needs MinGW-w64. On Debian: apt-get install g++-mingw-w64-x86-64")
endif()
set(CMAKE_RC_COMPILER ${DUSK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DUSK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# WINEPATH is never passed on: it would let a program that needs one of
# MinGW's own DLLs pass here and fail on Windows.
set(CMAKE_CROSSCOMPILING_EMULATOR env -u WINEPATH WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine
    wine)
