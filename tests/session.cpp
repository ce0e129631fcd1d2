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

}  // namespace dusk::test
