#include "hub/new_game.hpp"

#include "core/version.hpp"

namespace dusk {
namespace {

// The six lines of the title; the program's very first output.
void showTitle(Console& console) {
  console << "*THE ADVENTURES*\n"
             "*******OF*******\n"
             "***DUSK  LYNX***\n"
             "V"
          << kVersion;
  console.endLine();  // the title goes out alone, the credit line with the pause
  console << "CREATED BY:\n"
             "     DUSK LYNX\n";
}

}  // namespace

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
  hero.progress = kStoryStart;
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

}  // namespace dusk
