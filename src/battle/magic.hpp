#pragma once
// The hero's spells: the MAGIC menu, which lists what the hero's level has
// learnt, takes the MP of the one chosen and works it.

#include "core/game.hpp"

namespace dusk {

// Lists the spells learnt; a listed spell is cast, anything else (BACK, an
// unlearnt or unknown number) gives the monster its turn as DEFEND does.
Screen magicMenu(Game& game);

}  // namespace dusk
