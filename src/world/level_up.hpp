#pragma once
// Turns experience into levels after a won fight: one level at a time, each
// with its own message and wait, for as long as a level-up is due (enough
// experience, and the top level not reached); nothing when none is. The gains
// are not limited here; the main menu does that. Only the victory calls it.

#include "core/game.hpp"

namespace dusk {

void levelUp(Game& game);

}  // namespace dusk
