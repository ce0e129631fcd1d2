#include "town/weapon_and_armour_shops.hpp"

#include <cmath>
#include <span>
#include <string_view>

#include "town/items.hpp"

namespace dusk {
namespace {

// Which of the hero's two items a shop deals in.
enum class Goods { weapon, armour };

// Everything in which the two shops differ.
struct Shop {
  Goods goods;
  std::string_view heading;     // followed by the gold and the list
  std::span<const Item> items;  // menu numbers 1 to 5
  const Item& hidden;           // sold on kHiddenItemChoice
  Screen list;                  // the screens of this shop
  Screen buy;
  Screen sell;
  std::string_view alreadyHave;
  std::string_view bought;
  std::string_view nothingToSell;
  const char* emptyName;  // what the hero holds when there is nothing to sell
};

const Shop kWeaponShop{
    .goods = Goods::weapon,
    .heading = "\n**WEAPON SHOP***\tGOLD: ",
    .items = weaponCatalogue(),
    .hidden = hiddenWeapon(),
    .list = Screen::weaponShop,
    .buy = Screen::buyWeapon,
    .sell = Screen::sellWeapon,
    .alreadyHave = "\nYOU ALREADY HAVE THIS WEAPON!\n",
    .bought = "\nYOU BOUGHT A ",  // the article stands before every weapon, vowel or not
    .nothingToSell = "\nYOU HAVE NO WEAPON!\n",
    .emptyName = kUnarmed,
};

const Shop kArmourShop{
    .goods = Goods::armour,
    .heading = "\n**ARMOUR SHOP***\tGOLD: ",
    .items = armourCatalogue(),
    .hidden = hiddenArmour(),
    .list = Screen::armourShop,
    .buy = Screen::buyArmour,
    .sell = Screen::sellArmour,
    .alreadyHave = "\nYOU ALREADY HAVE THIS ARMOUR!\n",
    .bought = "\nYOU BOUGHT ",
    .nothingToSell = "\nYOU HAVE NO ARMOUR!\n",
    .emptyName = kOldClothes,
};

// The item at `place` on the counter: a listed item by its place in the list,
// the hidden item at any place after them.
const Item& itemAt(const Shop& shop, std::size_t place) {
  return place < shop.items.size() ? shop.items[place] : shop.hidden;
}

// What the hero holds of a shop's goods: its name, its bonus and the price paid.
Item held(const Hero& hero, Goods goods) {
  if (goods == Goods::weapon) return {hero.weaponName, hero.weaponAttack, hero.weaponPrice};
  return {hero.armourName, hero.armourDefence, hero.armourPrice};
}

void equip(Hero& hero, Goods goods, const Item& item) {
  if (goods == Goods::weapon) {
    hero.equipWeapon(item.name, item.bonus, item.price);
  } else {
    hero.equipArmour(item.name, item.bonus, item.price);
  }
}

// What the shop pays back for an item bought at `price`: three quarters, a
// weapon's value rounded up and an armour's down.
double sellPrice(Goods goods, std::int32_t price) {
  return goods == Goods::weapon ? std::ceil(price * 0.75) : std::floor(price * 0.75);
}

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
  const auto items = shop.items;
  game.console << shop.heading << game.hero.gold;
  printItems(game.console, items);
  const auto choice = game.console.readChoice();
  if (!choice) return shop.list;
  if (*choice >= 1 && *choice <= items.size()) {
    game.offer = *choice - 1;
    return shop.buy;
  }
  switch (*choice) {
    case kSell: return shop.sell;
    case kBack: return Screen::mainMenu;
    case kHiddenItemChoice: game.offer = items.size(); return shop.buy;
    default: return Screen::shopsMenu;
  }
}

Screen buy(Game& game, const Shop& shop) {
  Hero& hero = game.hero;
  Console& console = game.console;
  const Item& item = itemAt(shop, game.offer);
  console << "\nBUY " << item.name << "?\n1:BUY\n2:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return shop.buy;
  if (*choice != 1) return Screen::shopsMenu;
  // Ownership is tested before money: a poor hero still hears that he has it.
  if (held(hero, shop.goods).name == item.name) {
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
  equip(hero, shop.goods, item);  // the old item is gone, unpaid
  console << shop.bought << item.name;
  console.endLine();
  console.pause();
  return Screen::mainMenu;
}

Screen sell(Game& game, const Shop& shop) {
  Hero& hero = game.hero;
  Console& console = game.console;
  const Item item = held(hero, shop.goods);
  if (item.name == shop.emptyName) {
    console << shop.nothingToSell;
    console.pause();
    return Screen::shopsMenu;
  }
  const double value = sellPrice(shop.goods, item.price);
  // The prompt follows the player's input line directly, with no line end of its own.
  console << "GOLD: " << hero.gold << "\nSELL YOUR " << item.name << " FOR ";
  console.printValue(value);
  console << "G?\n1:SELL\n2:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return shop.sell;
  if (*choice != 1) return Screen::shopsMenu;
  hero.addGold(static_cast<std::int32_t>(value));
  console << "\nYOU SOLD YOUR " << item.name;
  console.endLine();
  equip(hero, shop.goods, {shop.emptyName, 0, 0});
  console.pause();
  return Screen::shopsMenu;
}

}  // namespace

Screen weaponShop(Game& game) { return showList(game, kWeaponShop); }
Screen armourShop(Game& game) { return showList(game, kArmourShop); }
Screen buyWeapon(Game& game) { return buy(game, kWeaponShop); }
Screen buyArmour(Game& game) { return buy(game, kArmourShop); }
Screen sellWeapon(Game& game) { return sell(game, kWeaponShop); }
Screen sellArmour(Game& game) { return sell(game, kArmourShop); }

}  // namespace dusk
