# The tests of a build for another machine (the windows and arm64 presets), run
# on that machine's programs through CMAKE_CROSSCOMPILING_EMULATOR (Wine,
# qemu). The suites run in a few groups, one start of the emulator each,
# rather than listed at build time; Program.* starts the game through a shell
# of the build machine, so the game itself is played by binary_test.py instead:
# through its own standard input and output, as a player or a script has it.

set(DUSK_GROUPS
  transcripts "Transcripts/*:TranscriptManifest.*"
  story "Story.*"
  any-input "AnyInput.*"
  other-suites "-Transcripts/*:TranscriptManifest.*:Story.*:AnyInput.*:Program.*")
while(DUSK_GROUPS)
  list(POP_FRONT DUSK_GROUPS name filter)
  add_test(NAME ${name} COMMAND dusk_tests --gtest_filter=${filter} --gtest_brief=1)
  # A filter that no longer matches fails rather than passing with nothing run.
  set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "\\] 0 tests from")
  list(APPEND DUSK_CROSS_TESTS ${name})
endwhile()

# The game program itself, from the approved transcripts' inputs.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(DUSK_PLAY ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/binary_test.py
    --data ${CMAKE_CURRENT_SOURCE_DIR}/data --version ${PROJECT_VERSION})
if(WIN32)
  list(APPEND DUSK_PLAY --windows)
endif()
add_test(NAME program COMMAND ${DUSK_PLAY} -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:dusk-lynx>)
list(APPEND DUSK_CROSS_TESTS program)

# The libraries that the program needs, which the machine must have: on
# Windows only its own DLLs (never MinGW's C++ runtime, libgcc or winpthread),
# and a console program, which opens its own window when started from the
# desktop; on Linux only the C library, the C++ runtime being linked in.
if(WIN32)
  set(DUSK_NEEDS --subsystem "Windows CUI" KERNEL32.dll msvcrt.dll)
else()
  set(DUSK_NEEDS libc.so.6 ld-linux-aarch64.so.1)
endif()
add_test(NAME libraries
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/libraries_test.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:dusk-lynx> ${DUSK_NEEDS})
set_tests_properties(libraries PROPERTIES SKIP_RETURN_CODE 77)

# Wine: the prefix is made once in this build folder, and one server is kept
# running for the whole ctest run, so that a test costs tenths of a second.
if(WIN32)
  set(DUSK_WINE_SERVER bash ${CMAKE_CURRENT_SOURCE_DIR}/wine_server.sh ${CMAKE_BINARY_DIR}/wine)
  add_test(NAME wine-start COMMAND ${DUSK_WINE_SERVER} start)
  add_test(NAME wine-stop COMMAND ${DUSK_WINE_SERVER} stop)
  set_tests_properties(wine-start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine-stop PROPERTIES FIXTURES_CLEANUP wine)
  set_tests_properties(${DUSK_CROSS_TESTS} PROPERTIES FIXTURES_REQUIRED wine)
endif()
