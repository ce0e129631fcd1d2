#pragma once
// The hub: OPTIONS, the screen that every other screen comes back to, and the
// only place where the hero's limits are applied.

#include "core/game.hpp"

namespace dusk {

Screen mainMenu(Game& game);

}  // namespace dusk
