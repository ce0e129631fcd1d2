# The libcxx preset: clang++ with LLVM's C++ library, libc++, the one that
# macOS ships, on Linux. It stands in for a Mac: where the two libraries may
# differ (the order of equal elements after a sort, for one), libc++ is told
# to shuffle such ties, so that a game that depended on them would show it.
find_program(CMAKE_CXX_COMPILER clang++)
find_program(CMAKE_C_COMPILER clang)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_C_COMPILER)
  message(FATAL_ERROR "The libcxx preset needs clang. On Debian: apt-get install clang libc++-dev libc++abi-dev")
endif()
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++ -D_LIBCPP_DEBUG_RANDOMIZE_UNSPECIFIED_STABILITY")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-stdlib=libc++")
