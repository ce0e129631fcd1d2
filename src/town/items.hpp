#pragma once
// The weapon and armour catalogues, from which the shops print their lists.
// Each name is a text that exists once; the hero holds an item when its
// weaponName (or armourName) is that very text.

#include <cstdint>
#include <span>

#include "core/game.hpp"

namespace dusk {

struct Item {
  const char* name;
  std::int32_t bonus;  // attack for a weapon, defence for an armour
  std::int32_t price;
};

// SELL on a shop's list, after its items and before BACK.
inline constexpr std::uint32_t kSell = 6;

// The unlisted shop number that sells each shop's hidden item.
inline constexpr std::uint32_t kHiddenItemChoice = 7777;

// Menu numbers 1 to 5, in order: fewer than kSell, which follows them.
std::span<const Item> weaponCatalogue();
std::span<const Item> armourCatalogue();
const Item& hiddenWeapon();
const Item& hiddenArmour();

}  // namespace dusk
