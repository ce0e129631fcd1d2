# The arm64 preset: Linux on 64-bit ARM (a Raspberry Pi, an ARM server),
# cross-built with Debian's aarch64-linux-gnu compiler, the C++ runtime linked
# in as in the amd64 build, and tested under qemu's user-mode emulator.
# `char` stays unsigned there, as a native build on such a machine has it, so
# the tests show that the game does not depend on its signedness.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(DUSK_TRIPLET aarch64-linux-gnu)
find_program(CMAKE_CXX_COMPILER ${DUSK_TRIPLET}-g++)
find_program(CMAKE_C_COMPILER ${DUSK_TRIPLET}-gcc)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_C_COMPILER)
  message(FATAL_ERROR "The arm64 preset needs the cross compiler. On Debian: apt-get install g++-aarch64-linux-gnu")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${DUSK_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${DUSK_TRIPLET})
