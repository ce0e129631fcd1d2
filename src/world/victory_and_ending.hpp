#pragma once
// A won fight: the rewards, the story's next stage when the boss of the
// current stage falls, the level-up, and after the final boss the ending.

#include "core/game.hpp"

namespace dusk {

Screen victory(Game& game);
// The final boss's last words and the end of the story; the credits follow.
Screen ending(Game& game);

}  // namespace dusk
