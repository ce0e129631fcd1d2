#include "town/shops_menu_and_inn.hpp"

namespace dusk {
namespace {

constexpr std::int32_t kInnFee = 50;
constexpr std::uint32_t kShopsBack = 5;  // the SHOPS menu's own BACK, after the four shops

}  // namespace

Screen shopsMenu(Game& game) {
  game.console << "\n*****SHOPS*****\n1:WEAPON SHOP\n2:ARMOUR SHOP\n3:MISC. SHOP\n4:INN\n"
               << kShopsBack << ":BACK\n";
  const auto choice = game.console.readChoice();
  if (!choice) return Screen::shopsMenu;
  switch (*choice) {
    case 1: return Screen::weaponShop;
    case 2: return Screen::armourShop;
    case 4: return Screen::inn;
    case kShopsBack: return Screen::mainMenu;
    default: return Screen::shopsMenu;  // there is no misc. shop
  }
}

Screen inn(Game& game) {
  Hero& hero = game.hero;
  Console& console = game.console;
  console << "\nDO YOU WANT TO REST FOR " << kInnFee << "G?\tGOLD: " << hero.gold;
  console.endLine();  // the question goes out alone, its two choices with the read
  console << "1:REST, PAY " << kInnFee << "G\n2:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::inn;
  if (*choice != 1) return Screen::mainMenu;
  if (hero.gold < kInnFee) {
    // No line end: the main menu's own blank lines follow.
    console << "YOU DO NOT HAVE ENOUGH MONEY!";
    return Screen::mainMenu;
  }
  hero.restoreHero();
  hero.spendGold(kInnFee);
  console << "\nYOU RESTED AND RECOVERED FULLY.\n";
  console.pause();
  return Screen::mainMenu;
}

}  // namespace dusk
