// DUSK LYNX: a role-playing game played in the console. Every run is a new
// game; there are no options, no files and no saved games.

#include <iostream>

#include "play.hpp"

int main() {
  // The game keeps its own output buffer and flushes it at each endLine() (a
  // "\n" inside a text does not flush) and before each read.
  std::ios::sync_with_stdio(false);
  return dusk::play(std::cin, std::cout);
}
