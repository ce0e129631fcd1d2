#pragma once
// The front door: a new game with its title and introduction.

#include "core/game.hpp"

namespace dusk {

// Sets the hero up from scratch (keeping its experience), shows the title and
// the introduction with their three waits.
Screen newGame(Game& game);
// The hero's starting values; everything but the experience.
void setUpNewHero(Hero& hero);

}  // namespace dusk
