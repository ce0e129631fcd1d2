#pragma once
// The town: the SHOPS menu and the inn.

#include "core/game.hpp"

namespace dusk {

Screen shopsMenu(Game& game);
// Rest for the inn's fee, charged even at full health; always back to the main menu.
Screen inn(Game& game);

}  // namespace dusk
