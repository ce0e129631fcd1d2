#include "battle/magic.hpp"

#include <span>
#include <string_view>

namespace dusk {
namespace {

// A line of the MAGIC menu, numbered in this order. The spell passed is not the
// menu number: BOLT is 3 and ICE is 2.
struct MenuSpell {
  std::string_view name;
  std::int32_t listedAbove;  // the level that the hero must exceed
  std::int32_t spell;
  std::int32_t cost;
};

// The costs stand at this tab stop, whatever the length of the name.
constexpr std::size_t kCostColumn = 16;

// clang-format off
constexpr MenuSpell kMagicMenu[] = {
    // name     above  spell  cost
    {"FIRE",       2,     1,     3},
    {"BOLT",       4,     3,     4},
    {"ICE",        6,     2,     5},
    {"CURE",       3,     5,     4},
    {"FIRE2",      9,     6,    22},
    {"ICE2",      12,     7,    24},
    {"BOLT3",     13,     8,    28},
    {"CURE2",     11,     9,    20},
    {"CURE4",     19,    10,    50},
};
// clang-format on

enum class Effect { damage, heal, fullHeal };

struct SpellEffect {
  std::int32_t spell;
  bool endLineFirst;  // the first three spells flush a line end before their message
  std::string_view message;
  Effect effect;
  std::int32_t low;
  std::int32_t high;
};

// BOLT3 on the menu announces itself as @BOLT2.
// clang-format off
constexpr SpellEffect kSpells[] = {
    // spell  flush  message                   effect              low   high
    {1,  true,  "CASTING @FIRE...\n",    Effect::damage,      30,   120},
    {2,  true,  "CASTING @ICE...\n",     Effect::damage,      70,   240},
    {3,  true,  "CASTING @BOLT...\n",    Effect::damage,      50,   180},
    {5,  false, "\nCASTING *CURE...\n",  Effect::heal,        16,    80},
    {6,  false, "\nCASTING @FIRE2...\n", Effect::damage,     200,   600},
    {7,  false, "\nCASTING @ICE2...\n",  Effect::damage,     240,   700},
    {8,  false, "\nCASTING @BOLT2...\n", Effect::damage,     100,  1000},
    {9,  false, "\nCASTING *CURE2...\n", Effect::heal,       200,   500},
    {10, false, "\nCASTING *CURE4...\n", Effect::fullHeal,     0,     0},
};
// clang-format on

const SpellEffect* findSpell(std::int32_t spell) {
  for (const SpellEffect& effect : kSpells) {
    if (effect.spell == spell) return &effect;
  }
  return nullptr;
}

void work(Game& game, const SpellEffect& spell) {
  Console& console = game.console;
  if (spell.endLineFirst) console.endLine();
  console << spell.message;
  if (spell.effect == Effect::damage) {
    game.monster.damageMonster(randomInRange(game.generator, spell.low, spell.high), console);
    return;
  }
  const std::int32_t amount = spell.effect == Effect::fullHeal
                                  ? game.hero.maxHp
                                  : randomInRange(game.generator, spell.low, spell.high);
  game.hero.healHero(amount);
  // Shows what was drawn, even when the hero had less to regain.
  console << "HEALED " << amount << "HP\n";
}

}  // namespace

Screen magicMenu(Game& game) {
  Console& console = game.console;
  console << "\n*****MAGIC*****MP: ";
  game.hero.printMp(console);
  console.endLine();
  const std::span<const MenuSpell> menu = kMagicMenu;
  for (std::size_t index = 0; index < menu.size(); ++index) {
    const MenuSpell& entry = menu[index];
    if (game.hero.level > entry.listedAbove) {
      console.printMenuLine(static_cast<std::int32_t>(index + 1), entry.name, entry.cost,
                            kCostColumn);
    }
  }
  console << "0:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::magicMenu;
  if (*choice < 1 || *choice > menu.size()) return Screen::enemyTurn;
  const MenuSpell& entry = menu[*choice - 1];
  if (game.hero.level <= entry.listedAbove) return Screen::enemyTurn;
  return castSpell(game, entry.spell, entry.cost) ? Screen::enemyTurn : Screen::battleMenu;
}

bool castSpell(Game& game, std::int32_t spell, std::int32_t cost) {
  Console& console = game.console;
  if (game.hero.mp < cost) {
    console << "\nNOT ENOUGH MP!\n";
    console.pause();
    return false;
  }
  game.hero.mp -= cost;
  const SpellEffect* effect = findSpell(spell);
  if (effect == nullptr) {
    console << "\n\n~~ERROR~~\n\n";
    return false;
  }
  work(game, *effect);
  return true;
}

}  // namespace dusk
