// DUSK LYNX: a role-playing game played in the console. Every run is a new
// game; there are no options, no files and no saved games.

#include <iostream>

#include "play.hpp"

int main() {
  // The game writes into std::cout's own buffer, cut loose from C's stdio here,
  // and flushes it at each endLine() (a "\n" inside a text does not flush),
  // before each read and when the game ends.
  std::ios::sync_with_stdio(false);
  dusk::play(std::cin, std::cout);
  return 0;  // quitting, dying and the end of the input all end the game in good order
}
