#pragma once
// The whole state of one run: the hero, the current opponent, the generator
// and the console, plus the screens that hand over to each other.
//
// Every screen is a function `Screen name(Game&)`: it prints, reads at most one
// menu number, changes the records and returns the screen that comes next.
// Only the loop in play.cpp names them all and runs them, so no screen ever
// calls another and a game of any length runs in the same memory.

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "core/console.hpp"
#include "core/random.hpp"
#include "core/records.hpp"

namespace dusk {

enum class Screen {
  // start-up and the hub
  newGame,
  mainMenu,
  // the town
  shopsMenu,
  inn,
  weaponShop,
  armourShop,
  buyWeapon,
  buyArmour,
  sellWeapon,
  sellArmour,
  // choosing a fight
  fightMenu,
  forestList,
  graveyardList,
  cavesList,
  castleList,
  masterList,
  // the battle
  battleMenu,
  magicMenu,
  enemyTurn,
  checkBattleEnd,
  // the ends of a fight and of the story
  victory,
  ending,
  showCredits,
  gameOver,
  quit,
};

// BACK on the FIGHT WHO lists and on the shops' lists: the same number on every
// list, however long, and it always leads to the main menu. A list's own
// entries are numbered from 1 and tested first, so an entry numbered 7 would
// silently take BACK's place: each catalogue checks its length against it.
inline constexpr std::uint32_t kBack = 7;
static_assert(kBack == 7, "players and the approved transcripts know BACK as 7");

struct Game {
  Game(std::istream& in, std::ostream& out) : console(in, out) {}

  Hero hero;
  Monster monster;
  Generator generator;
  Console console;
  // The item that a shop has put on the counter for buyWeapon or buyArmour, by
  // its place in that shop's goods. Every place names an item (the listed ones,
  // then the hidden one), so a purchase is safe before any shop has set it.
  std::size_t offer = 0;
};

}  // namespace dusk
