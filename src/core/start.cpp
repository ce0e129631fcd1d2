#include "core/start.hpp"

#include "core/stats.hpp"

namespace dusk {

void setUpNewHero(Hero& hero) {
  hero.level = 1;
  hero.gold = 50;
  hero.nextLevelExp = 100;
  hero.setMaxHp(50);
  hero.setMaxMp(20);
  hero.setAttack(10);
  hero.setDefence(0);
  hero.equipWeapon(kUnarmed, 0, 0);
  hero.equipArmour(kOldClothes, 0, 0);
  hero.progress = 0;
  // Experience is kept: a hero who starts again climbs back on its first victory.
}

Screen newGame(Game& game) {
  setUpNewHero(game.hero);
  Console& console = game.console;
  showTitle(console);
  console.pause();
  console << "\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\n"
             "TO RID THE VILLAGE OF JETEK FROM A CURSE.\n";
  console.pause();
  console << "HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?\n"
             "(YOU SHOULD BUY A SWORD)\n";
  console.pause();
  return Screen::mainMenu;
}

void showTitle(Console& console) {
  console << "*THE ADVENTURES*\n"
             "*******OF*******\n"
             "***DUSK  LYNX***\n"
             "V1.6";
  console.endLine();
  console << "CREATED BY:\n"
             "     DUSK LYNX\n";
}

Screen mainMenu(Game& game) {
  clampHeroStats(game.hero);
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

}  // namespace dusk
