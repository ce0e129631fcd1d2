#include "world/level_up.hpp"

namespace dusk {
namespace {

// Enough experience for the next level, and a level left to gain.
bool levelUpDue(const Hero& hero) {
  return hero.experience >= hero.nextLevelExp && hero.level < kTopLevel;
}

}  // namespace

void levelUp(Game& game) {
  Hero& hero = game.hero;
  Generator& generator = game.generator;
  while (levelUpDue(hero)) {
    game.console << "\nLEVEL UP!\n";
    hero.level += 1;
    const std::int32_t level = hero.level;
    // Four draws per level, always in this order.
    hero.maxHp += randomInRange(generator, 10, 50) * level;
    hero.maxMp += randomInRange(generator, level, level * 10);
    hero.attack += randomInRange(generator, 1, 10) + level;
    hero.defence += randomInRange(generator, 1, 5) + level;
    hero.nextLevelExp += level * 100;
    game.console.pause();
  }
}

}  // namespace dusk
