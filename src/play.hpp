#pragma once
// Plays one whole game on a pair of streams, from the title until the player
// quits, the hero dies or the input ends. Each is an ordinary end of the game,
// so there is nothing to report: the program's exit status is main's.

#include <iosfwd>

#include "core/game.hpp"

namespace dusk {

void play(std::istream& in, std::ostream& out);

// Runs screens from `first` until the game ends; for tests that set a game up
// by hand.
void run(Game& game, Screen first);

// Runs one screen and returns the next.
Screen show(Game& game, Screen screen);

}  // namespace dusk
