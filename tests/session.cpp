#include "session.hpp"

namespace dusk::test {

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
}

std::int32_t Predictor::next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<std::int32_t>((state_ >> 16) & 0x7FFFu);
}

std::int32_t Predictor::inRange(std::int32_t low, std::int32_t high) {
  std::int32_t value = next() % (high + 1);
  while (value < low) value = next() % (high + 1);
  return value;
}

}  // namespace dusk::test
