#include "town/weapon_and_armour_shops.hpp"

#include <cmath>
#include <span>
#include <string_view>

#include "town/items.hpp"

namespace dusk {
namespace {

// Everything in which the two shops differ.
struct Shop {
  std::string_view heading;  // followed by the gold and the list
  std::span<const Item> (*catalogue)();
  const Item& (*hidden)();
  Screen list;  // the screens of this shop
  Screen buy;
  Screen sell;
  std::string_view alreadyHave;
  std::string_view bought;
  std::string_view nothingToSell;
  const char* emptyName;
  const char* Hero::*heldName;
  std::int32_t Hero::*heldPrice;
  void (Hero::*equip)(const char*, std::int32_t, std::int32_t);
  double (*sellPrice)(std::int32_t);
};

const Shop kWeaponShop{
    "\n**WEAPON SHOP***\tGOLD: ",
    weaponCatalogue,
    hiddenWeapon,
    Screen::weaponShop,
    Screen::buyWeapon,
    Screen::sellWeapon,
    "\nYOU ALREADY HAVE THIS WEAPON!\n",
    "\nYOU BOUGHT A ",  // the article stands before every weapon, vowel or not
    "\nYOU HAVE NO WEAPON!\n",
    kUnarmed,
    &Hero::weaponName,
    &Hero::weaponPrice,
    &Hero::equipWeapon,
    weaponSellPrice,
};

const Shop kArmourShop{
    "\n**ARMOUR SHOP***\tGOLD: ",
    armourCatalogue,
    hiddenArmour,
    Screen::armourShop,
    Screen::buyArmour,
    Screen::sellArmour,
    "\nYOU ALREADY HAVE THIS ARMOUR!\n",
    "\nYOU BOUGHT ",
    "\nYOU HAVE NO ARMOUR!\n",
    kOldClothes,
    &Hero::armourName,
    &Hero::armourPrice,
    &Hero::equipArmour,
    armourSellPrice,
};

// SELL on a shop's list, after its five items.
constexpr std::uint32_t kSell = 6;

// The prices stand at this tab stop, whatever the length of the name.
constexpr std::size_t kPriceColumn = 24;

void printItems(Console& console, std::span<const Item> items) {
  console << "\n";
  for (std::size_t index = 0; index < items.size(); ++index) {
    console.printMenuLine(static_cast<std::int32_t>(index + 1), items[index].name,
                          items[index].price, kPriceColumn);
  }
  console << kSell << ":SELL\n" << kBack << ":BACK\n";
}

Screen showList(Game& game, const Shop& shop) {
  const auto items = shop.catalogue();
  game.console << shop.heading << game.hero.gold;
  printItems(game.console, items);
  const auto choice = game.console.readChoice();
  if (!choice) return shop.list;
  if (*choice >= 1 && *choice <= items.size()) {
    game.offer = &items[*choice - 1];
    return shop.buy;
  }
  switch (*choice) {
    case kSell: return shop.sell;
    case kBack: return Screen::mainMenu;
    case kHiddenItemChoice: game.offer = &shop.hidden(); return shop.buy;
    default: return Screen::shopsMenu;
  }
}

Screen buy(Game& game, const Shop& shop) {
  Hero& hero = game.hero;
  Console& console = game.console;
  const Item& item = *game.offer;
  console << "\nBUY " << item.name << "?\n1:BUY\n2:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return shop.buy;
  if (*choice != 1) return Screen::shopsMenu;
  // Ownership is tested before money: a poor hero still hears that he has it.
  if (hero.*shop.heldName == item.name) {
    console << shop.alreadyHave;
    console.pause();
    return Screen::shopsMenu;
  }
  if (hero.gold < item.price) {
    console << "\nINSUFFICIENT FUNDS\n";
    console.pause();
    return Screen::shopsMenu;
  }
  hero.spendGold(item.price);
  (hero.*shop.equip)(item.name, item.bonus, item.price);  // the old item is gone, unpaid
  console << shop.bought << item.name;
  console.endLine();
  console.pause();
  return Screen::mainMenu;
}

Screen sell(Game& game, const Shop& shop) {
  Hero& hero = game.hero;
  Console& console = game.console;
  if (hero.*shop.heldName == shop.emptyName) {
    console << shop.nothingToSell;
    console.pause();
    return Screen::shopsMenu;
  }
  const double value = shop.sellPrice(hero.*shop.heldPrice);
  // The prompt follows the player's input line directly, with no line end of its own.
  console << "GOLD: " << hero.gold << "\nSELL YOUR " << hero.*shop.heldName << " FOR ";
  console.printValue(value);
  console << "G?\n1:SELL\n2:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return shop.sell;
  if (*choice != 1) return Screen::shopsMenu;
  hero.addGold(static_cast<std::int32_t>(value));
  console << "\nYOU SOLD YOUR " << hero.*shop.heldName;
  console.endLine();
  (hero.*shop.equip)(shop.emptyName, 0, 0);
  console.pause();
  return Screen::shopsMenu;
}

}  // namespace

double weaponSellPrice(std::int32_t price) { return std::ceil(price * 0.75); }
double armourSellPrice(std::int32_t price) { return std::floor(price * 0.75); }

Screen weaponShop(Game& game) { return showList(game, kWeaponShop); }
Screen armourShop(Game& game) { return showList(game, kArmourShop); }
Screen buyWeapon(Game& game) { return buy(game, kWeaponShop); }
Screen buyArmour(Game& game) { return buy(game, kArmourShop); }
Screen sellWeapon(Game& game) { return sell(game, kWeaponShop); }
Screen sellArmour(Game& game) { return sell(game, kArmourShop); }

}  // namespace dusk
