#include "hub/main_menu.hpp"

#include "core/stats.hpp"

namespace dusk {
namespace {

// The most that base attack and base defence may reach; the weapon and armour come on top.
constexpr std::int32_t kStatCap = 999;
// The most experience a hero keeps, and at the top level what the next level would need.
constexpr std::int32_t kExperienceCap = 9999999;

}  // namespace

Screen mainMenu(Game& game) {
  clampHeroStats(game.hero);
  // Seven newlines and no line end: the menu goes out in one write, at the read.
  game.console << "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n";
  const auto choice = game.console.readChoice();
  if (!choice) return Screen::mainMenu;
  switch (*choice) {
    case 1: return Screen::fightMenu;
    case 2: return Screen::shopsMenu;
    case 3: showStats(game); return Screen::mainMenu;
    case 4: return Screen::quit;
    case 5: return Screen::newGame;  // not on the menu: starts the game again
    default: return Screen::mainMenu;
  }
}

void clampHeroStats(Hero& hero) {
  // Once the final boss has fallen, maximum hit points have no upper limit.
  if (hero.maxHp > kHitCap && hero.progress != kStoryOver) hero.maxHp = kHitCap;
  if (hero.hp > hero.maxHp) hero.hp = hero.maxHp;
  if (hero.maxMp > kHitCap) hero.maxMp = kHitCap;
  if (hero.mp > hero.maxMp) hero.mp = hero.maxMp;
  if (hero.mp < 0) hero.mp = 0;
  // Base values only: the weapon and armour bonuses come on top.
  if (hero.attack > kStatCap) hero.attack = kStatCap;
  if (hero.defence > kStatCap) hero.defence = kStatCap;
  if (hero.level >= kTopLevel) {
    hero.level = kTopLevel;
    hero.nextLevelExp = kExperienceCap;
  }
  if (hero.experience > kExperienceCap) hero.experience = kExperienceCap;
}

}  // namespace dusk
