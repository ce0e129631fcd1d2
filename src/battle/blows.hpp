#pragma once
// The ordinary blows of a battle. Every blow that lands on the hero ends in
// strikeHero, which lands at least 1 and at most kHitCap.

#include <cstdint>

#include "core/game.hpp"

namespace dusk {

// ATTACK: a draw from half to twice the hero's attack, or 7777 at exactly 777 HP.
void heroBlow(Game& game);
// The monster's ordinary blow: the only one that the hero's defence softens.
void monsterAttack(Game& game);
// Lands `amount` on the hero (0 or less counts as 1) and reports it.
void strikeHero(Game& game, std::int32_t amount);

}  // namespace dusk
