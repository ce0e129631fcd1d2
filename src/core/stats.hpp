#pragma once
// The hero's sheet, shown from the main menu and from a battle; it waits once
// and returns to whichever screen asked for it.

#include "core/game.hpp"

namespace dusk {

void showStats(Game& game);

}  // namespace dusk
