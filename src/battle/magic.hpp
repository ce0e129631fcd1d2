#pragma once
// The hero's spells: the MAGIC menu, which lists what the hero's level has
// learnt, and castSpell, which takes the MP and works the spell.

#include <cstdint>

#include "core/game.hpp"

namespace dusk {

// Lists the spells learnt; a listed spell is cast, anything else (BACK, an
// unlearnt or unknown number) gives the monster its turn as DEFEND does.
Screen magicMenu(Game& game);

// Casts spell `spell` for `cost` MP and returns true; the monster's turn
// follows. Returns false, with its message and without a turn for the monster,
// when the hero lacks the MP (nothing is taken) or `spell` is no spell (the MP
// is gone all the same).
bool castSpell(Game& game, std::int32_t spell, std::int32_t cost);

}  // namespace dusk
