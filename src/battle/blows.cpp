#include "battle/blows.hpp"

namespace dusk {

void heroBlow(Game& game) {
  std::int32_t hit = 7777;
  if (game.hero.hp == 777) {
    game.console << "<LUCKY{ 7 }SEVENS>!\n";
  } else {
    const std::int32_t attack = game.hero.totalAttack();
    hit = randomInRange(game.generator, attack / 2, attack * 2);
  }
  game.monster.damageMonster(hit, game.console);
}

void monsterAttack(Game& game) {
  const std::int32_t attack = game.monster.attack;
  const std::int32_t blow = randomInRange(game.generator, attack / 2, attack * 2);
  strikeHero(game, blow - game.hero.totalDefence());
}

void strikeHero(Game& game, std::int32_t amount) {
  if (amount <= 0) amount = 1;
  game.hero.damageHero(amount);
  game.console << "\nDAMAGED BY: " << amount;
  game.console.endLine();  // a flush: the hit is out before what a move says after it
}

}  // namespace dusk
