#include "battle/monster_moves.hpp"

#include "battle/blows.hpp"

namespace dusk {
namespace {

// An end of line, the monster's name, then the rest of the announcement.
void announce(Game& game, std::string_view text) {
  game.console.endLine();  // a flush: what came before goes out alone
  game.monster.printName(game.console);
  game.console << text;
}

MoveOutcome doomDice(Game& game) {
  const std::int32_t roll = randomInRange(game.generator, 1, 6);  // rolled before it is shown
  announce(game, " USES DOOM DICE...\nROLLED A ");
  game.console << roll;
  game.console.endLine();  // a flush: the roll is out before the verdict
  if (roll != 6) return MoveOutcome::done;
  if (game.hero.level > 4) {
    game.hero.hp = randomInRange(game.generator, 1, 4);
    return MoveOutcome::done;
  }
  game.console << "INSTANT DEATH\n";
  return MoveOutcome::instantDeath;
}

void bloodDrain(Game& game, std::int32_t attack) {
  announce(game, " USES BLOOD DRAIN\n");
  // The monster drinks what it drew, even when the hero lost only the 1 of a 0.
  const std::int32_t drain = randomInRange(game.generator, attack / 2, attack + attack / 2);
  strikeHero(game, drain);
  game.monster.healMonster(drain);
  game.console << "ABSORBED " << drain << "HP\n";
}

void dualBlow(Game& game, std::int32_t attack) {
  announce(game, " USES DUAL BLOW\n");
  const std::int32_t blow = randomInRange(game.generator, attack / 2, attack);
  const std::int32_t damage = blow - game.hero.totalDefence();
  strikeHero(game, damage);
  strikeHero(game, damage);
}

}  // namespace

MoveOutcome monsterSpecial(Game& game) {
  Generator& generator = game.generator;
  Console& console = game.console;
  const std::int32_t a = game.monster.attack;
  switch (game.monster.getMove()) {
    case Move::fire:
      announce(game, " USES @FIRE\n");
      strikeHero(game, randomInRange(generator, 30, 120));
      break;
    case Move::heal: {
      announce(game, " USES *HEAL\n");
      const std::int32_t heal = randomInRange(generator, 16, 80);
      game.monster.healMonster(heal);
      console << "HEALED " << heal << "HP\n";
      break;
    }
    case Move::poisonSpore:
      announce(game, " USES POISON SPORE\n");
      strikeHero(game, randomInRange(generator, a / 2, 2 * a) + 5);
      break;
    case Move::dualBlow: dualBlow(game, a); break;
    case Move::cleave:
      announce(game, " USES CLEAVE\n");
      strikeHero(game, 2 * randomInRange(generator, a / 2, 2 * a));
      break;
    case Move::doomDice: return doomDice(game);
    case Move::bloodDrain: bloodDrain(game, a); break;
    case Move::acidBreath:
      console.endLine();  // a flush before the roar, as with every breath
      console << "RRRRRARGHHHH!\n";
      game.monster.printName(console);
      console << " BREATHES ACID BREATH\n";
      strikeHero(game, randomInRange(generator, 1, 2000));
      break;
    case Move::fireBreath:
      console.endLine();  // a flush before the roar
      console << "RRRRRARGHHHH!\n";
      game.monster.printName(console);
      console << " BREATHES FIRE BREATH\n";
      strikeHero(game, randomInRange(generator, 1, 3000));
      break;
    case Move::moonwalk:
      console << "\nAaow!\n";
      game.monster.printName(console);
      console << " DOES THE MOONWALK!\n";
      game.hero.hp = 1;
      break;
    case Move::ultimaBeam:
      game.monster.printName(console);
      console << " USES ULTIMA BEAM\n";
      strikeHero(game, kHitCap);  // as hard as any blow can land
      break;
    case Move::none:
    default: break;  // no such move: the monster's turn passes
  }
  return MoveOutcome::done;
}

}  // namespace dusk
