#pragma once
// Turns experience into levels after a won fight: one level at a time, each
// with its own message and wait, while the experience suffices and the level
// is below 100. The gains are not limited here; the main menu does that.

#include "core/game.hpp"

namespace dusk {

void levelUp(Game& game);

}  // namespace dusk
