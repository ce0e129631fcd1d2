#pragma once
// The weapon shop and the armour shop: twin screens that list five items (and
// sell a sixth, hidden one), and buy back the held item for three quarters of
// its price. A purchase ends at the main menu; a sale and every refusal end at
// the SHOPS menu.

#include "core/game.hpp"

namespace dusk {

Screen weaponShop(Game& game);
Screen armourShop(Game& game);
// Offer the item on the counter (game.offer); weaponShop and armourShop put it there.
Screen buyWeapon(Game& game);
Screen buyArmour(Game& game);
Screen sellWeapon(Game& game);
Screen sellArmour(Game& game);

}  // namespace dusk
