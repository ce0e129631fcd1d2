#pragma once
// The hub: OPTIONS, the screen that every other screen comes back to, and the
// only place where the hero's limits are applied.

#include "core/game.hpp"

namespace dusk {

Screen mainMenu(Game& game);
// The hero's limits, applied each time the main menu is shown and nowhere else;
// in between, a level-up and the battle may leave the hero outside them.
void clampHeroStats(Hero& hero);

}  // namespace dusk
