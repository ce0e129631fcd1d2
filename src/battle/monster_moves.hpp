#pragma once
// The monsters' special moves, used instead of the ordinary blow when the
// monster's draw comes out below its moveChance.

#include "core/game.hpp"

namespace dusk {

enum class MoveOutcome { done, instantDeath };

// Announces and carries out the monster's move. A Move that the switch has no
// case for does nothing. DOOM DICE can kill a hero of level 4 or less outright; the battle
// then goes straight to the game over.
MoveOutcome monsterSpecial(Game& game);

}  // namespace dusk
