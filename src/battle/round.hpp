#pragma once
// A battle round: the hero's choice, the monster's turn, and the test that
// decides between defeat, victory and the next round. Each is a screen of its
// own, so a battle of any length runs in the same memory.

#include "core/game.hpp"

namespace dusk {

// Both fighters' hit points and the BATTLE menu; any unlisted number runs away.
Screen battleMenu(Game& game);
// The monster acts (even when it is already down), then the player presses Enter.
Screen enemyTurn(Game& game);
// The hero is tested first: a round in which both fall is lost.
Screen checkBattleEnd(Game& game);

}  // namespace dusk
