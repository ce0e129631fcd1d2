# The toolchain of the web preset: Debian's emscripten, or a plain word on what
# to install when it is missing.
set(DUSK_EMSCRIPTEN_TOOLCHAIN "/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake")
if(NOT EXISTS "${DUSK_EMSCRIPTEN_TOOLCHAIN}")
  message(FATAL_ERROR "The web build needs emscripten, which is not installed "
                      "(no ${DUSK_EMSCRIPTEN_TOOLCHAIN}). On Debian: apt-get install emscripten")
endif()
include("${DUSK_EMSCRIPTEN_TOOLCHAIN}")
