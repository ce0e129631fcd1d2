#include "core/stats.hpp"

namespace dusk {

void showStats(Game& game) {
  const Hero& hero = game.hero;
  Console& console = game.console;
  console << "\n\nDUSK LYNX : STATISTICS"
          << "\n----------------------"
          << "\nLEVEL: " << hero.level << "\tGOLD: " << hero.gold
          << "\nEXPERIENCE: " << hero.experience << "/" << hero.nextLevelExp << "\nHEALTH: ";
  hero.printHp(console);
  console << "\nMANA  : ";
  hero.printMp(console);
  console << "\nATTACK: " << hero.totalAttack()  //
          << "\nDEFNCE: " << hero.totalDefence() << "\nWEAPON: " << hero.weaponName
          << "\nARMOUR: " << hero.armourName;
  // Flushed at the first line end, not at the pause: the sheet goes out in two writes.
  console.endLine();
  console.endLine();
  console.pause();
}

}  // namespace dusk
