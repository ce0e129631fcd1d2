// The town: the SHOPS menu, the inn, and the weapon and armour trade.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/records.hpp"
#include "session.hpp"
#include "town/items.hpp"

namespace dusk::test {
namespace {

const std::string kShops =
    "\n*****SHOPS*****\n1:WEAPON SHOP\n2:ARMOUR SHOP\n3:MISC. SHOP\n4:INN\n5:BACK\n";

std::string weaponList(int gold) {
  return "\n**WEAPON SHOP***\tGOLD: " + std::to_string(gold) +
         "\n1:RUSTY SWORD\t\t15\n2:BRONZE SWORD\t\t50\n3:ANGURVADAL\t\t600\n"
         "4:ASSASSIN BLADE\t1500\n5:RENDING AXE\t\t3000\n6:SELL\n7:BACK\n";
}

std::string armourList(int gold) {
  return "\n**ARMOUR SHOP***\tGOLD: " + std::to_string(gold) +
         "\n1:LEATHER ARMOUR\t10\n2:CHAINMAIL\t\t100\n3:HALF PLATEMAIL\t450\n"
         "4:AEGIS ARMOUR\t\t2000\n5:WHITE DRAGON ARMOUR\t5000\n6:SELL\n7:BACK\n";
}

std::string buyPrompt(const std::string& name) { return "\nBUY " + name + "?\n1:BUY\n2:BACK\n"; }

std::string sellPrompt(std::int64_t gold, const std::string& name, const std::string& value) {
  return "GOLD: " + std::to_string(gold) + "\nSELL YOUR " + name + " FOR " + value +
         "G?\n1:SELL\n2:BACK\n";
}

std::string innPrompt(int gold) {
  return "\nDO YOU WANT TO REST FOR 50G?\tGOLD: " + std::to_string(gold) +
         "\n1:REST, PAY 50G\n2:BACK\n";
}

const Item& weapon(std::size_t choice) { return weaponCatalogue()[choice - 1]; }
const Item& armour(std::size_t choice) { return armourCatalogue()[choice - 1]; }

// Every field, so that a test also sees the changes that should not happen.
auto fields(const Hero& h) {
  return std::make_tuple(h.hp, h.maxHp, h.mp, h.maxMp, h.attack, h.defence, h.weaponName,
                         h.weaponAttack, h.armourName, h.armourDefence, h.gold, h.level,
                         h.experience, h.nextLevelExp, h.weaponPrice, h.armourPrice, h.progress);
}

// --- every way out of every shop screen ------------------------------------

using HeroEdit = void (*)(Hero&);

void unchanged(Hero&) {}
void armed(Hero& hero) {
  setUpNewHero(hero);
  hero.equipWeapon(weapon(1).name, 10, 15);
}
void armoured(Hero& hero) {
  setUpNewHero(hero);
  hero.equipArmour(armour(2).name, 10, 100);
}
template <int gold>
void newHeroWith(Hero& hero) {
  setUpNewHero(hero);
  hero.gold = gold;
}
void armedAndBroke(Hero& hero) {
  armed(hero);
  hero.gold = 0;
}
void armouredAndBroke(Hero& hero) {
  armoured(hero);
  hero.gold = 3;
}

// The changes that a purchase or a sale makes to the hero.
void paidForRustySword(Hero& hero) {
  hero.gold -= 15;
  hero.equipWeapon(weapon(1).name, 10, 15);
}
void paidForLeather(Hero& hero) {
  hero.gold -= 10;
  hero.equipArmour(armour(1).name, 5, 10);
}
void soldRustySword(Hero& hero) {
  hero.gold += 12;
  hero.equipWeapon(kUnarmed, 0, 0);
}
void soldChainmail(Hero& hero) {
  hero.gold += 75;
  hero.equipArmour(kOldClothes, 0, 0);
}

// The counter's place of a listed item, by its menu number; and a place that
// no list puts there, to see that a screen leaves the counter alone.
constexpr std::size_t onCounter(std::size_t choice) { return choice - 1; }
constexpr std::size_t kUntouched = 1000;

struct Outcome {
  std::string what;
  Screen start;
  HeroEdit setUp;
  // The place on the counter: put there before a purchase, expected there after a list.
  std::size_t offer;
  std::string input;
  Screen next;
  std::string output;
  std::string unread;  // a pause after a choice takes the newline that ended it
  HeroEdit change;
};

void addListRows(std::vector<Outcome>& rows, const std::string& shop, Screen list, Screen buy,
                 Screen sell, const std::string& text) {
  const auto row = [&](const std::string& input, Screen next, std::size_t offer) {
    rows.push_back({shop + " list, " + input, list, setUpNewHero, offer, input + "\n", next, text,
                    "\n", unchanged});
  };
  for (std::size_t n = 1; n <= 5; ++n) row(std::to_string(n), buy, onCounter(n));
  row("7777", buy, 5);  // the hidden item, after the five listed
  row("6", sell, kUntouched);
  row("7", Screen::mainMenu, kUntouched);
  for (const char* other : {"0", "8", "7776", "7778", "-1"}) {
    row(other, Screen::shopsMenu, kUntouched);
  }
  rows.push_back({shop + " list, not a number", list, setUpNewHero, kUntouched, "x\n", list, text,
                  "", unchanged});
}

std::vector<Outcome> outcomes() {
  std::vector<Outcome> rows;
  const struct {
    const char* input;
    Screen next;
  } menu[] = {{"1", Screen::weaponShop}, {"2", Screen::armourShop}, {"3", Screen::shopsMenu},
              {"4", Screen::inn},        {"5", Screen::mainMenu},   {"0", Screen::shopsMenu},
              {"6", Screen::shopsMenu}};
  for (const auto& [input, next] : menu) {
    rows.push_back({std::string("shops menu, ") + input, Screen::shopsMenu, setUpNewHero,
                    kUntouched, std::string(input) + "\n", next, kShops, "\n", unchanged});
  }
  addListRows(rows, "weapon", Screen::weaponShop, Screen::buyWeapon, Screen::sellWeapon,
              weaponList(50));
  addListRows(rows, "armour", Screen::armourShop, Screen::buyArmour, Screen::sellArmour,
              armourList(50));

  const Screen buyW = Screen::buyWeapon, buyA = Screen::buyArmour;
  const Screen sellW = Screen::sellWeapon, sellA = Screen::sellArmour;
  const Screen shops = Screen::shopsMenu;
  const std::vector<Outcome> trade = {
      {"weapon purchase, back", buyW, setUpNewHero, onCounter(1), "2\n", shops,
       buyPrompt("RUSTY SWORD"), "\n", unchanged},
      {"weapon purchase, unlisted answer", buyW, setUpNewHero, onCounter(1), "0\n", shops,
       buyPrompt("RUSTY SWORD"), "\n", unchanged},
      {"weapon purchase, not a number", buyW, setUpNewHero, onCounter(1), "x\n", buyW,
       buyPrompt("RUSTY SWORD"), "", unchanged},
      {"weapon held, and too poor", buyW, armedAndBroke, onCounter(1), "1\n", shops,
       buyPrompt("RUSTY SWORD") + "\nYOU ALREADY HAVE THIS WEAPON!\n", "", unchanged},
      {"weapon too dear", buyW, newHeroWith<49>, onCounter(2), "1\n", shops,
       buyPrompt("BRONZE SWORD") + "\nINSUFFICIENT FUNDS\n", "", unchanged},
      {"weapon bought", buyW, setUpNewHero, onCounter(1), "1\n", Screen::mainMenu,
       buyPrompt("RUSTY SWORD") + "\nYOU BOUGHT A RUSTY SWORD\n", "", paidForRustySword},
      {"armour purchase, back", buyA, setUpNewHero, onCounter(1), "2\n", shops,
       buyPrompt("LEATHER ARMOUR"), "\n", unchanged},
      {"armour held, and too poor", buyA, armouredAndBroke, onCounter(2), "1\n", shops,
       buyPrompt("CHAINMAIL") + "\nYOU ALREADY HAVE THIS ARMOUR!\n", "", unchanged},
      {"armour too dear", buyA, newHeroWith<9>, onCounter(1), "1\n", shops,
       buyPrompt("LEATHER ARMOUR") + "\nINSUFFICIENT FUNDS\n", "", unchanged},
      {"armour bought", buyA, setUpNewHero, onCounter(1), "1\n", Screen::mainMenu,
       buyPrompt("LEATHER ARMOUR") + "\nYOU BOUGHT LEATHER ARMOUR\n", "", paidForLeather},
      {"no weapon to sell", sellW, setUpNewHero, kUntouched, "1\n", shops,
       "\nYOU HAVE NO WEAPON!\n", "\n", unchanged},
      {"weapon sale, back", sellW, armed, kUntouched, "2\n", shops,
       sellPrompt(50, "RUSTY SWORD", "12"), "\n", unchanged},
      {"weapon sale, not a number", sellW, armed, kUntouched, "x\n", sellW,
       sellPrompt(50, "RUSTY SWORD", "12"), "", unchanged},
      {"weapon sold", sellW, armed, kUntouched, "1\n", shops,
       sellPrompt(50, "RUSTY SWORD", "12") + "\nYOU SOLD YOUR RUSTY SWORD\n", "", soldRustySword},
      {"no armour to sell", sellA, setUpNewHero, kUntouched, "1\n", shops,
       "\nYOU HAVE NO ARMOUR!\n", "\n", unchanged},
      {"armour sale, back", sellA, armoured, kUntouched, "7\n", shops,
       sellPrompt(50, "CHAINMAIL", "75"), "\n", unchanged},
      {"armour sold", sellA, armoured, kUntouched, "1\n", shops,
       sellPrompt(50, "CHAINMAIL", "75") + "\nYOU SOLD YOUR CHAINMAIL\n", "", soldChainmail},
  };
  rows.insert(rows.end(), trade.begin(), trade.end());
  return rows;
}

TEST(Shops, EveryOutcomeOfEveryScreen) {
  for (const Outcome& row : outcomes()) {
    SCOPED_TRACE(row.what);
    Session session(row.input);
    Hero& hero = session.game.hero;
    row.setUp(hero);
    Hero expected = hero;
    row.change(expected);
    const bool purchase = row.start == Screen::buyWeapon || row.start == Screen::buyArmour;
    session.game.offer = purchase ? row.offer : kUntouched;

    EXPECT_TRUE(session.step(row.start) == row.next);
    EXPECT_EQ(session.takeOutput(), row.output);
    EXPECT_EQ(session.unread(), row.unread);
    EXPECT_EQ(session.game.offer, row.offer);
    EXPECT_EQ(fields(hero), fields(expected));
  }
}

// --- the catalogues, bought at their price and sold back --------------------

struct Ware {
  std::uint32_t choice;
  const char* name;
  std::int32_t bonus;
  std::int32_t price;
  const char* value;  // the sale value as the prompt shows it
};

const Ware kWeapons[] = {
    {1, "RUSTY SWORD", 10, 15, "12"},      {2, "BRONZE SWORD", 28, 50, "38"},
    {3, "ANGURVADAL", 98, 600, "450"},     {4, "ASSASSIN BLADE", 273, 1500, "1125"},
    {5, "RENDING AXE", 460, 3000, "2250"}, {7777, "RAGNAROK", 9000, 1, "1"},
};
const Ware kArmours[] = {
    {1, "LEATHER ARMOUR", 5, 10, "7"},
    {2, "CHAINMAIL", 10, 100, "75"},
    {3, "HALF PLATEMAIL", 15, 450, "337"},
    {4, "AEGIS ARMOUR", 25, 2000, "1500"},
    {5, "WHITE DRAGON ARMOUR", 40, 5000, "3750"},
    {7777, "RED DRAGON ARMOUR", 501, 1, "0"},
};

// Buys `ware` with exactly its price, then sells it back.
void buyAndSellBack(const Ware& ware, bool isWeapon) {
  SCOPED_TRACE(ware.name);
  const std::string choice = std::to_string(ware.choice);
  Session session(choice + "\n1\n1\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = ware.price;
  const char* const& held = isWeapon ? hero.weaponName : hero.armourName;
  const std::int32_t& bonus = isWeapon ? hero.weaponAttack : hero.armourDefence;

  EXPECT_TRUE(session.step(isWeapon ? Screen::weaponShop : Screen::armourShop) ==
              (isWeapon ? Screen::buyWeapon : Screen::buyArmour));
  EXPECT_TRUE(session.step(isWeapon ? Screen::buyWeapon : Screen::buyArmour) == Screen::mainMenu);
  EXPECT_EQ(session.takeOutput(),
            (isWeapon ? weaponList(ware.price) : armourList(ware.price)) + buyPrompt(ware.name) +
                (isWeapon ? "\nYOU BOUGHT A " : "\nYOU BOUGHT ") + ware.name + "\n");
  EXPECT_STREQ(held, ware.name);
  const Item& sold = ware.choice == kHiddenItemChoice
                         ? (isWeapon ? hiddenWeapon() : hiddenArmour())
                         : (isWeapon ? weapon(ware.choice) : armour(ware.choice));
  EXPECT_EQ(held, sold.name);  // the catalogue's own text, not a copy
  EXPECT_EQ(bonus, ware.bonus);
  EXPECT_EQ(hero.gold, 0);

  EXPECT_TRUE(session.step(isWeapon ? Screen::sellWeapon : Screen::sellArmour) ==
              Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(),
            sellPrompt(0, ware.name, ware.value) + "\nYOU SOLD YOUR " + ware.name + "\n");
  EXPECT_EQ(hero.gold, std::stoi(ware.value));
  EXPECT_EQ(held, isWeapon ? kUnarmed : kOldClothes);
  EXPECT_EQ(bonus, 0);
  EXPECT_EQ(isWeapon ? hero.weaponPrice : hero.armourPrice, 0);
}

// One gold short of the price: refused, and nothing taken.
void oneGoldShort(const Ware& ware, bool isWeapon) {
  SCOPED_TRACE(ware.name);
  Session session(std::to_string(ware.choice) + "\n1\n");
  setUpNewHero(session.game.hero);
  session.game.hero.gold = ware.price - 1;
  const Hero before = session.game.hero;
  session.step(isWeapon ? Screen::weaponShop : Screen::armourShop);
  session.takeOutput();
  EXPECT_TRUE(session.step(isWeapon ? Screen::buyWeapon : Screen::buyArmour) == Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(), buyPrompt(ware.name) + "\nINSUFFICIENT FUNDS\n");
  EXPECT_EQ(fields(session.game.hero), fields(before));
}

TEST(Trade, EveryWeaponAtItsPriceAndBack) {
  for (const Ware& ware : kWeapons) buyAndSellBack(ware, true);
  for (const Ware& ware : kWeapons) oneGoldShort(ware, true);
}

TEST(Trade, EveryArmourAtItsPriceAndBack) {
  for (const Ware& ware : kArmours) buyAndSellBack(ware, false);
  for (const Ware& ware : kArmours) oneGoldShort(ware, false);
}

TEST(Trade, APurseAtTheTopStopsThere) {
  Session session("1\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = 2147483640;
  hero.equipWeapon(weapon(5).name, 460, 3000);
  EXPECT_TRUE(session.step(Screen::sellWeapon) == Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(),
            sellPrompt(2147483640, "RENDING AXE", "2250") + "\nYOU SOLD YOUR RENDING AXE\n");
  EXPECT_EQ(hero.gold, 2147483647);
}

TEST(Trade, ANewWeaponReplacesTheOldOneUnpaid) {
  Session session("1\n1\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = 600;
  hero.equipWeapon(weapon(2).name, 28, 50);
  session.game.offer = onCounter(3);
  EXPECT_TRUE(session.step(Screen::buyWeapon) == Screen::mainMenu);
  EXPECT_EQ(hero.gold, 0);
  EXPECT_EQ(hero.weaponName, weapon(3).name);
  session.takeOutput();
  // The sale pays for the new weapon; the bronze sword is gone for nothing.
  session.step(Screen::sellWeapon);
  EXPECT_EQ(session.takeOutput(),
            sellPrompt(0, "ANGURVADAL", "450") + "\nYOU SOLD YOUR ANGURVADAL\n");
  EXPECT_EQ(hero.gold, 450);
}

TEST(Trade, ANewArmourReplacesTheOldOneUnpaid) {
  Session session("1\n1\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = 5000;
  hero.equipArmour(armour(4).name, 25, 2000);
  session.game.offer = onCounter(5);
  EXPECT_TRUE(session.step(Screen::buyArmour) == Screen::mainMenu);
  EXPECT_EQ(hero.gold, 0);
  EXPECT_EQ(hero.armourDefence, 40);
  session.takeOutput();
  session.step(Screen::sellArmour);
  EXPECT_EQ(session.takeOutput(),
            sellPrompt(0, "WHITE DRAGON ARMOUR", "3750") + "\nYOU SOLD YOUR WHITE DRAGON ARMOUR\n");
  EXPECT_EQ(hero.gold, 3750);
}

TEST(Trade, SellingTwiceFindsNothingTheSecondTime) {
  Session session("1\n\n1\n\n");
  Hero& hero = session.game.hero;
  armed(hero);
  hero.equipArmour(armour(3).name, 15, 450);
  session.step(Screen::sellWeapon);
  session.takeOutput();
  EXPECT_EQ(hero.weaponName, kUnarmed);
  EXPECT_TRUE(session.step(Screen::sellWeapon) == Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(), "\nYOU HAVE NO WEAPON!\n");

  session.step(Screen::sellArmour);
  EXPECT_EQ(session.takeOutput(),
            sellPrompt(62, "HALF PLATEMAIL", "337") + "\nYOU SOLD YOUR HALF PLATEMAIL\n");
  EXPECT_EQ(hero.armourName, kOldClothes);
  EXPECT_TRUE(session.step(Screen::sellArmour) == Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(), "\nYOU HAVE NO ARMOUR!\n");
  EXPECT_EQ(hero.gold, 62 + 337);
}

// The counter held nothing before a shop had put an item on it.
TEST(Trade, APurchaseBeforeAnyShopOffersAnItemOfItsOwn) {
  Session session("2\n2\n");
  setUpNewHero(session.game.hero);
  const Hero before = session.game.hero;
  EXPECT_TRUE(session.step(Screen::buyWeapon) == Screen::shopsMenu);
  EXPECT_TRUE(session.step(Screen::buyArmour) == Screen::shopsMenu);
  EXPECT_EQ(session.takeOutput(), buyPrompt("RUSTY SWORD") + buyPrompt("LEATHER ARMOUR"));
  EXPECT_EQ(fields(session.game.hero), fields(before));
}

TEST(Trade, OnlyTheWeaponMessageHasTheArticle) {
  Session session("1\n1\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = 700;
  session.game.offer = onCounter(3);
  session.step(Screen::buyWeapon);
  EXPECT_EQ(session.takeOutput(), buyPrompt("ANGURVADAL") + "\nYOU BOUGHT A ANGURVADAL\n");
  session.game.offer = onCounter(2);
  session.step(Screen::buyArmour);
  EXPECT_EQ(session.takeOutput(), buyPrompt("CHAINMAIL") + "\nYOU BOUGHT CHAINMAIL\n");
}

// --- the SHOPS menu and the inn ------------------------------------------------

TEST(ShopsMenu, UnofferedChoicesShowItAgainAtOnce) {
  Session session("3\n0\n6\n5\n4\n");
  setUpNewHero(session.game.hero);
  EXPECT_EQ(session.runFrom(Screen::shopsMenu),
            kShops + kShops + kShops + kShops + std::string(kMainMenu));
}

// A hero who has lost hit points and magic points, with `gold` in the purse.
Hero& hurtHero(Session& session, int gold) {
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.hp = 7;
  hero.mp = 2;
  hero.gold = gold;
  return hero;
}

TEST(Inn, FiftyGoldBuysAFullRest) {
  Session session("1\n4\n");
  Hero& hero = hurtHero(session, 50);
  EXPECT_EQ(session.runFrom(Screen::inn),
            innPrompt(50) + "\nYOU RESTED AND RECOVERED FULLY.\n" + std::string(kMainMenu));
  EXPECT_EQ(hero.gold, 0);
  EXPECT_EQ(hero.hp, 50);
  EXPECT_EQ(hero.mp, 20);

  // The rest ends in a pause, which takes the newline after the choice.
  Session step("1\nX");
  hurtHero(step, 50);
  EXPECT_TRUE(step.step(Screen::inn) == Screen::mainMenu);
  EXPECT_EQ(step.unread(), "X");
}

TEST(Inn, FortyNineGoldIsTurnedAwayWithoutAWait) {
  Session session("1\n4\n");
  Hero& hero = hurtHero(session, 49);
  const Hero before = hero;
  EXPECT_EQ(session.runFrom(Screen::inn),
            innPrompt(49) + "YOU DO NOT HAVE ENOUGH MONEY!" + std::string(kMainMenu));
  EXPECT_EQ(fields(hero), fields(before));

  // No pause: the newline after the choice is still unread when the main menu comes.
  Session step("1\n");
  hurtHero(step, 49);
  EXPECT_TRUE(step.step(Screen::inn) == Screen::mainMenu);
  EXPECT_EQ(step.unread(), "\n");
}

TEST(Inn, RestingAtFullHealthStillCosts) {
  Session session("1\n4\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.gold = 80;
  Hero expected = hero;
  expected.gold = 30;
  EXPECT_EQ(session.runFrom(Screen::inn),
            innPrompt(80) + "\nYOU RESTED AND RECOVERED FULLY.\n" + std::string(kMainMenu));
  EXPECT_EQ(fields(hero), fields(expected));
}

TEST(Inn, AnyOtherChoiceIsFreeAndLeadsToTheMainMenu) {
  for (const char* choice : {"2\n", "0\n", "3\n", "7777\n"}) {
    SCOPED_TRACE(choice);
    Session session(std::string(choice) + "4\n");
    Hero& hero = hurtHero(session, 500);
    const Hero before = hero;
    EXPECT_EQ(session.runFrom(Screen::inn), innPrompt(500) + std::string(kMainMenu));
    EXPECT_EQ(fields(hero), fields(before));
  }
}

// --- a whole visit to the town from the title -------------------------------

TEST(Town, BuySellTheHiddenSwordAndTryTheInn) {
  const Played game = playGame(
      "\n\n\n"
      "2\n1\n1\n1\n"  // buy the rusty sword
      "2\n1\n6\n1\n"  // sell it back
      "1\n7777\n1\n"  // buy the unlisted sword
      "2\n4\n1\n"     // 46 gold is not enough to rest
      "3\n4\n");
  const std::string menu(kMainMenu);
  const std::string expected =
      std::string(kTitle) + std::string(kIntroduction) + menu + kShops + weaponList(50) +
      buyPrompt("RUSTY SWORD") + "\nYOU BOUGHT A RUSTY SWORD\n" + menu + kShops + weaponList(35) +
      sellPrompt(35, "RUSTY SWORD", "12") + "\nYOU SOLD YOUR RUSTY SWORD\n" + kShops +
      weaponList(47) + buyPrompt("RAGNAROK") + "\nYOU BOUGHT A RAGNAROK\n" + menu + kShops +
      innPrompt(46) + "YOU DO NOT HAVE ENOUGH MONEY!" + menu +
      "\n\nDUSK LYNX : STATISTICS\n----------------------\nLEVEL: 1\tGOLD: 46\n"
      "EXPERIENCE: 0/100\nHEALTH: 50/50\nMANA  : 20/20\nATTACK: 9010\nDEFNCE: 0\n"
      "WEAPON: RAGNAROK\nARMOUR: OLD CLOTHES\n\n" +
      menu;
  EXPECT_EQ(game.output, expected);
}

}  // namespace
}  // namespace dusk::test
