#include "battle/round.hpp"

#include <algorithm>

#include "battle/blows.hpp"
#include "battle/monster_moves.hpp"
#include "core/stats.hpp"

namespace dusk {
namespace {

constexpr std::int32_t kRunCost = 100;

void printStatus(Game& game) {
  Console& console = game.console;
  // Three line ends that flush, and the menu that the read flushes: four writes
  // a round, which the benchmark counts.
  console << "\nDUSK LYNX: \tHP:";
  game.hero.printHp(console);
  console << "\n\t\tMP:";
  game.hero.printMp(console);
  console.endLine();
  console.endLine();
  game.monster.printName(console);
  console << ": \tHP:";
  game.monster.printHp(console);
  console.endLine();
}

// Running away always works, from bosses too, and never leaves a debt: a hero
// with less than the cost loses all there is.
Screen runAway(Game& game) {
  game.console << "\nYOU RAN AWAY. LOST " << kRunCost << "G\n";
  game.hero.spendGold(std::min(kRunCost, game.hero.gold));
  game.console.pause();
  return Screen::mainMenu;
}

}  // namespace

Screen battleMenu(Game& game) {
  printStatus(game);
  game.console << "\n*****BATTLE*****\n1:ATTACK\n2:DEFEND\n3:MAGIC\n4:STATS\n5:ITEM\n6:RUN\n";
  const auto choice = game.console.readChoice();
  if (!choice) return Screen::battleMenu;
  switch (*choice) {
    case 1: heroBlow(game); return Screen::enemyTurn;
    case 2: return Screen::enemyTurn;  // defending only gives up the action
    case 3: return Screen::magicMenu;
    case 4: showStats(game); return Screen::battleMenu;
    case 5: return Screen::battleMenu;  // there are no items: the round starts again
    default: return runAway(game);
  }
}

Screen enemyTurn(Game& game) {
  const Monster& monster = game.monster;
  // The chance is drawn only for a monster that has a move.
  const bool special =
      monster.getMove() != Move::none && randomInRange(game.generator, 1, 100) < monster.moveChance;
  if (special) {
    if (monsterSpecial(game) == MoveOutcome::instantDeath) return Screen::gameOver;
  } else {
    monsterAttack(game);
  }
  game.console.pause();
  return Screen::checkBattleEnd;
}

Screen checkBattleEnd(Game& game) {
  if (game.hero.hp <= 0) return Screen::gameOver;
  if (game.monster.getHp() <= 0) return Screen::victory;
  return Screen::battleMenu;
}

}  // namespace dusk
