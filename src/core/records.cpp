#include "core/records.hpp"

#include <algorithm>
#include <limits>

#include "core/console.hpp"

namespace dusk {

void Hero::printHp(Console& console) const { console << hp << "/" << maxHp; }

void Hero::printMp(Console& console) const { console << mp << "/" << maxMp; }

void Hero::setMaxHp(std::int32_t value) {
  maxHp = value;
  hp = maxHp;
}

void Hero::setMaxMp(std::int32_t value) {
  maxMp = value;
  mp = maxMp;
}

void Hero::equipWeapon(const char* name, std::int32_t bonus, std::int32_t price) {
  weaponName = name;
  weaponAttack = bonus;
  weaponPrice = price;
}

void Hero::equipArmour(const char* name, std::int32_t bonus, std::int32_t price) {
  armourName = name;
  armourDefence = bonus;
  armourPrice = price;
}

void Hero::addGold(std::int32_t amount) {
  const std::int64_t sum = std::int64_t{gold} + amount;
  gold = static_cast<std::int32_t>(std::clamp<std::int64_t>(
      sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void Hero::restoreHero() {
  hp = maxHp;
  mp = maxMp;
}

void Hero::damageHero(std::int32_t amount) { hp -= std::min(amount, kHitCap); }

void Hero::healHero(std::int32_t amount) {
  hp += std::min(amount, kHitCap);
  if (hp > maxHp) hp = maxHp;
}

void Monster::setUpMonster(const Opponent& row, std::int32_t level) {
  name = row.name;
  maxHp = row.maxHp;
  hp = row.maxHp;
  attack = row.attack;
  defence = row.defence;
  experience = row.perLevel ? row.experience / level : row.experience;
  gold = row.gold;
  move = row.move;
  moveChance = row.moveChance;
  tabAfterName = row.tabAfterName;
}

void Monster::printName(Console& console) const {
  console << name;
  if (tabAfterName) console << "\t";
}

void Monster::printHp(Console& console) const { console << hp << "/" << maxHp; }

void Monster::damageMonster(std::int32_t amount, Console& console) {
  const std::int32_t hit = std::min(amount, kHitCap);
  hp -= std::max(hit - defence, 1);
  console << "\nYOU DAMAGED: " << hit;
  console.endLine();  // a flush: the hit is out before the monster's turn
}

void Monster::healMonster(std::int32_t amount) {
  hp += std::min(amount, kHitCap);
  if (hp > maxHp) hp = maxHp;
}

}  // namespace dusk
