#pragma once
// The two records that hold a whole game: the hero and the current opponent.
// Names are references to constant texts owned by the program (the shop and
// monster catalogues, kUnarmed, kOldClothes); the records never copy or free
// them, and the shops and the victory screen compare them by address.

#include <cstdint>

namespace dusk {

class Console;

inline constexpr char kUnarmed[] = "UNARMED";
inline constexpr char kOldClothes[] = "OLD CLOTHES";

// No single hit or heal counts for more, and neither maximum HP (until the story
// is over) nor maximum MP may pass it at the main menu.
inline constexpr std::int32_t kHitCap = 9999;
// The last level: no level-up goes past it, and the main menu holds the hero to it.
inline constexpr std::int32_t kTopLevel = 100;
// The stages of the story, in the hero's progress. The boss of each stage moves
// it on to the next; a stage keeps every area that an earlier one opened, and
// kStoryOver lies above them all.
inline constexpr std::int16_t kStoryStart = 0;     // a new game: the FOREST alone
inline constexpr std::int16_t kGraveyardOpen = 1;  // LORD OCHU has fallen
inline constexpr std::int16_t kCavesOpen = 2;      // DURAHAN has fallen
inline constexpr std::int16_t kCastleOpen = 3;     // BLACK DRAGON: the CASTLE with four opponents
inline constexpr std::int16_t kMasterAwaits = 4;   // RED DRAGON: THE MASTER alone in the CASTLE
// SORVANE TELLICK has fallen: the story is over and stays over.
inline constexpr std::int16_t kStoryOver = 999;

struct Hero {
  std::int32_t hp = 0;
  std::int32_t maxHp = 0;
  std::int32_t mp = 0;
  std::int32_t maxMp = 0;
  std::int32_t attack = 0;
  std::int32_t defence = 0;
  const char* weaponName = nullptr;
  std::int32_t weaponAttack = 0;
  const char* armourName = nullptr;
  std::int32_t armourDefence = 0;
  std::int32_t gold = 0;
  std::int32_t level = 0;
  std::int32_t experience = 0;
  std::int32_t nextLevelExp = 0;
  std::int32_t weaponPrice = 0;
  std::int32_t armourPrice = 0;
  std::int16_t progress = kStoryStart;  // a stage of the story, kStoryStart to kStoryOver

  void printHp(Console& console) const;
  void printMp(Console& console) const;
  void setMaxHp(std::int32_t value);
  void setMaxMp(std::int32_t value);
  void setAttack(std::int32_t value) { attack = value; }
  void setDefence(std::int32_t value) { defence = value; }
  void equipWeapon(const char* name, std::int32_t bonus, std::int32_t price);
  void equipArmour(const char* name, std::int32_t bonus, std::int32_t price);
  std::int32_t totalAttack() const { return attack + weaponAttack; }
  std::int32_t totalDefence() const { return defence + armourDefence; }
  // Stops at the largest 32-bit purse instead of wrapping to a negative one.
  void addGold(std::int32_t amount);
  // The one way gold is taken. No check: the inn and the shops test the purse
  // first, and running away asks no more than the hero has.
  void spendGold(std::int32_t amount) { gold -= amount; }
  void addExperience(std::int32_t amount) { experience += amount; }
  void restoreHero();
  // A single hit or heal counts for at most kHitCap; hp has no lower limit.
  void damageHero(std::int32_t amount);
  void healHero(std::int32_t amount);
};

// The monsters' special moves, by their identifiers. A Move of any other value
// is a move that does nothing.
enum class Move : std::int32_t {
  none = 0,
  fire = 1,
  heal = 5,  // no monster in the catalogue has it
  poisonSpore = 100,
  dualBlow = 101,
  cleave = 102,
  doomDice = 103,
  bloodDrain = 104,
  acidBreath = 105,
  fireBreath = 106,
  moonwalk = 107,
  ultimaBeam = 108,
};

// A row of the monster catalogue (world/opponents.cpp): all that a fight's
// Monster is set up from.
struct Opponent {
  const char* name = nullptr;
  std::int32_t maxHp = 0;
  std::int32_t attack = 0;
  std::int32_t defence = 0;
  std::int32_t experience = 0;
  bool perLevel = false;  // the experience is divided by the hero's level
  std::int32_t gold = 0;
  Move move = Move::none;
  std::int32_t moveChance = 0;
  // The battle's screens put a tab after the name: WOLF, GNOLL and BAT line up
  // their HP with the longer names that way (OGRE and DROW never did).
  bool tabAfterName = false;
};

struct Monster {
  std::int32_t maxHp = 0;
  std::int32_t hp = 0;
  std::int32_t attack = 0;
  std::int32_t defence = 0;
  std::int32_t experience = 0;
  std::int32_t gold = 0;
  Move move = Move::none;
  const char* name = nullptr;
  std::int32_t moveChance = 0;
  bool tabAfterName = false;

  // Overwrites every field from a catalogue row, at full hit points; the hero's
  // `level` (1 or more) divides the experience where the row says so.
  void setUpMonster(const Opponent& row, std::int32_t level);
  void printHp(Console& console) const;
  // The name as the battle shows it, with the tab its row asks for.
  void printName(Console& console) const;
  // Prints the hit before the monster's defence is taken off; the loss is at least 1.
  void damageMonster(std::int32_t amount, Console& console);
  void healMonster(std::int32_t amount);
  std::int32_t getHp() const { return hp; }
  Move getMove() const { return move; }
};

}  // namespace dusk
