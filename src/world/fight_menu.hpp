#pragma once
// Choosing a fight: FIGHT WHERE (the areas open at the hero's progress), then
// an area's FIGHT WHO list, which sets up the monster and starts the battle.
// BACK on a list leads to the main menu; any other number off a list, or a
// locked area, leads back to FIGHT WHERE without a word.

#include "core/game.hpp"

namespace dusk {

Screen fightMenu(Game& game);
Screen forestList(Game& game);
Screen graveyardList(Game& game);
Screen cavesList(Game& game);
// At kCastleOpen and once the story is over; ULTIMA WEAPON only then.
Screen castleList(Game& game);
// At kMasterAwaits: THE MASTER alone.
Screen masterList(Game& game);

}  // namespace dusk
