#pragma once
// The two ends of a story: the hero's death, which ends the game, and the
// credits after the final boss, which lead back to the main menu.

#include "core/game.hpp"

namespace dusk {

Screen gameOver(Game& game);
Screen showCredits(Game& game);

}  // namespace dusk
