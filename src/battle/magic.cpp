#include "battle/magic.hpp"

#include <span>
#include <string_view>

namespace dusk {
namespace {

enum class Effect { damage, heal, fullHeal };

// One row a spell: its line of the MAGIC menu, numbered in this order, and
// what casting it does. BOLT3 on the menu announces itself as @BOLT2.
struct Spell {
  std::string_view name;     // on the menu
  std::int32_t listedAbove;  // the level that the hero must exceed
  std::int32_t cost;
  bool endLineFirst;  // the first three spells flush a line end before their message
  std::string_view message;
  Effect effect;
  std::int32_t low;
  std::int32_t high;
};

// The costs stand at this tab stop, whatever the length of the name.
constexpr std::size_t kCostColumn = 16;

using enum Effect;

// clang-format off
constexpr Spell kSpells[] = {
    // name  above cost  flush  message                  effect      low   high
    {"FIRE",     2,   3, true,  "CASTING @FIRE...\n",    damage,      30,   120},
    {"BOLT",     4,   4, true,  "CASTING @BOLT...\n",    damage,      50,   180},
    {"ICE",      6,   5, true,  "CASTING @ICE...\n",     damage,      70,   240},
    {"CURE",     3,   4, false, "\nCASTING *CURE...\n",  heal,        16,    80},
    {"FIRE2",    9,  22, false, "\nCASTING @FIRE2...\n", damage,     200,   600},
    {"ICE2",    12,  24, false, "\nCASTING @ICE2...\n",  damage,     240,   700},
    {"BOLT3",   13,  28, false, "\nCASTING @BOLT2...\n", damage,     100,  1000},
    {"CURE2",   11,  20, false, "\nCASTING *CURE2...\n", heal,       200,   500},
    {"CURE4",   19,  50, false, "\nCASTING *CURE4...\n", fullHeal,     0,     0},
};
// clang-format on

void work(Game& game, const Spell& spell) {
  Console& console = game.console;
  if (spell.endLineFirst) console.endLine();
  console << spell.message;
  if (spell.effect == damage) {
    game.monster.damageMonster(randomInRange(game.generator, spell.low, spell.high), console);
    return;
  }
  const std::int32_t amount = spell.effect == fullHeal
                                  ? game.hero.maxHp
                                  : randomInRange(game.generator, spell.low, spell.high);
  game.hero.healHero(amount);
  // Shows what was drawn, even when the hero had less to regain.
  console << "HEALED " << amount << "HP\n";
}

// Takes the spell's MP and works it, and returns true: the monster's turn
// follows. A hero who lacks the MP is told so, loses nothing, and gets no
// turn for the monster: false.
bool castSpell(Game& game, const Spell& spell) {
  if (game.hero.mp < spell.cost) {
    game.console << "\nNOT ENOUGH MP!\n";
    game.console.pause();
    return false;
  }
  game.hero.mp -= spell.cost;
  work(game, spell);
  return true;
}

}  // namespace

Screen magicMenu(Game& game) {
  Console& console = game.console;
  console << "\n*****MAGIC*****MP: ";
  game.hero.printMp(console);
  console.endLine();  // the heading goes out alone, then the list with the read
  const std::span<const Spell> menu = kSpells;
  for (std::size_t index = 0; index < menu.size(); ++index) {
    const Spell& entry = menu[index];
    if (game.hero.level > entry.listedAbove) {
      console.printMenuLine(static_cast<std::int32_t>(index + 1), entry.name, entry.cost,
                            kCostColumn);
    }
  }
  console << "0:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::magicMenu;
  if (*choice < 1 || *choice > menu.size()) return Screen::enemyTurn;
  const Spell& entry = menu[*choice - 1];
  if (game.hero.level <= entry.listedAbove) return Screen::enemyTurn;
  return castSpell(game, entry) ? Screen::enemyTurn : Screen::battleMenu;
}

}  // namespace dusk
