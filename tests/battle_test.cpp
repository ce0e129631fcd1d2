// The battle: the round and its menus, the blows and their limits, the
// monsters' special moves, the hero's spells, running away and dying. The
// Predictor foretells each draw, so the order of the draws is checked too.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "battle/blows.hpp"
#include "battle/magic.hpp"
#include "session.hpp"

namespace dusk::test {
namespace {

// A new hero facing a monster set up by hand, with nothing drawn yet.
struct Fight {
  explicit Fight(std::string_view input = "", std::int32_t move = 0, std::int32_t chance = 25)
      : session(input) {
    setUpNewHero(hero);
    monster.setUpMonster({.name = "GOBLIN",
                          .maxHp = 1000,
                          .attack = 10,
                          .experience = 50,
                          .gold = 50,
                          .move = static_cast<Move>(move),
                          .moveChance = chance},
                         1);
  }
  // True when the game's generator has made exactly the draws foretold so far.
  bool drewAsForetold() { return game.generator.next() == draws.next(); }

  Session session;
  Game& game = session.game;
  Hero& hero = game.hero;
  Monster& monster = game.monster;
  Predictor draws;
};

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The reports of a hit on the hero and of one on the monster.
std::string damagedBy(std::int32_t amount) {
  return "\nDAMAGED BY: " + std::to_string(amount) + "\n";
}
std::string youDamaged(std::int32_t hit) { return "\nYOU DAMAGED: " + std::to_string(hit) + "\n"; }

const std::string kBattleMenu =
    "\n*****BATTLE*****\n1:ATTACK\n2:DEFEND\n3:MAGIC\n4:STATS\n5:ITEM\n6:RUN\n";

// --- the round ----------------------------------------------------------------

TEST(Round, StatusOfBothFightersThenTheMenu) {
  Fight fight("5\n");
  fight.hero.hp = 42;
  fight.hero.mp = 7;
  fight.monster.setUpMonster({.name = "WOLF", .maxHp = 100, .attack = 14, .tabAfterName = true}, 1);
  fight.monster.hp = -3;
  EXPECT_EQ(fight.session.step(Screen::battleMenu), Screen::battleMenu);
  EXPECT_EQ(fight.session.takeOutput(),
            "\nDUSK LYNX: \tHP:42/50\n\t\tMP:7/20\n\nWOLF\t: \tHP:-3/100\n" + kBattleMenu);
}

TEST(Round, TheHeroIsTestedFirst) {
  const struct {
    std::int32_t heroHp, monsterHp;
    Screen next;
  } cases[] = {
      {1, 1, Screen::battleMenu}, {1, 0, Screen::victory},  {1, -5, Screen::victory},
      {0, 5, Screen::gameOver},   {0, 0, Screen::gameOver}, {-3, -3, Screen::gameOver},
  };
  for (const auto& c : cases) {
    Fight fight;
    fight.hero.hp = c.heroHp;
    fight.monster.hp = c.monsterHp;
    EXPECT_EQ(fight.session.step(Screen::checkBattleEnd), c.next) << c.heroHp << " " << c.monsterHp;
  }
}

TEST(Round, StatsAndItemGiveTheMonsterNoTurn) {
  Fight fight("4\n5\n5\n4\nnext");
  for (int choice = 0; choice < 4; ++choice) {
    EXPECT_EQ(fight.session.step(Screen::battleMenu), Screen::battleMenu);
  }
  EXPECT_EQ(fight.session.unread(), "next");  // the statistics wait for Enter
  EXPECT_EQ(fight.hero.hp, 50);
  EXPECT_EQ(fight.monster.hp, 1000);
  EXPECT_TRUE(fight.drewAsForetold());
}

TEST(Round, RunningAwayCosts100GoldButNeverMore) {
  for (const char* choice : {"6", "0", "7", "99"}) {
    for (const auto& [before, after] : {std::pair{250, 150}, {40, 0}}) {
      Fight fight(std::string(choice) + "\nnext");
      fight.hero.gold = before;
      EXPECT_EQ(fight.session.step(Screen::battleMenu), Screen::mainMenu) << choice;
      const std::string output = fight.session.takeOutput();
      EXPECT_TRUE(endsWith(output, kBattleMenu + "\nYOU RAN AWAY. LOST 100G\n")) << output;
      EXPECT_EQ(fight.hero.gold, after) << choice;
      EXPECT_EQ(fight.session.unread(), "next");
      EXPECT_TRUE(fight.drewAsForetold());
    }
  }
}

TEST(Round, AMonsterAlreadyDownStillStrikesAndTheBattleIsLost) {
  Fight fight("1\nxnext");
  fight.hero.hp = 1;
  fight.hero.attack = 1000;
  fight.monster.hp = 10;
  const std::string output = fight.session.runFrom(Screen::battleMenu);
  const std::int32_t hit = fight.draws.inRange(500, 2000);
  const std::int32_t blow = fight.draws.inRange(5, 20);
  EXPECT_EQ(output, "\nDUSK LYNX: \tHP:1/50\n\t\tMP:20/20\n\nGOBLIN: \tHP:10/1000\n" + kBattleMenu +
                        youDamaged(hit) + damagedBy(blow) + "\nYOU WERE SLAIN.\n\tGAME OVER\n");
  EXPECT_EQ(fight.session.unread(), "next");  // one pause in the turn, one for the game over
}

TEST(Round, ADeathEndsAWholeGame) {
  // The hero defends until the GOBLIN has slain him; the rest is never read.
  std::string input = "\n\n\n1\n1\n1\n";
  for (int round = 0; round < 30; ++round) input += "2\n";
  const Played game = playGame(input + "4\n");
  EXPECT_TRUE(endsWith(game.output, "\nYOU WERE SLAIN.\n\tGAME OVER\n")) << game.output;
}

// --- blows ------------------------------------------------------------------

TEST(Blows, TheHerosHitIsDrawnFromHalfToTwiceTheAttack) {
  Fight fight("1\n");
  fight.hero.weaponAttack = 5;
  EXPECT_EQ(fight.session.step(Screen::battleMenu), Screen::enemyTurn);
  const std::int32_t hit = fight.draws.inRange(7, 30);
  const std::string output = fight.session.takeOutput();
  EXPECT_EQ(output.substr(output.find(kBattleMenu) + kBattleMenu.size()), youDamaged(hit));
  EXPECT_EQ(fight.monster.hp, 1000 - hit);
}

TEST(Blows, EveryHitCostsAtLeastOneAndShowsTheHitItself) {
  Fight weak;
  weak.hero.attack = 0;
  heroBlow(weak.game);
  EXPECT_EQ(weak.session.takeOutput(), "\nYOU DAMAGED: 0\n");
  EXPECT_EQ(weak.monster.hp, 999);

  Fight armoured;
  armoured.monster.defence = 300;
  heroBlow(armoured.game);
  const std::int32_t hit = armoured.draws.inRange(5, 20);
  EXPECT_EQ(armoured.session.takeOutput(), youDamaged(hit));
  EXPECT_EQ(armoured.monster.hp, 999);
}

// A monster of 500 defence, to take large hits.
constexpr Opponent kDragon{.name = "RED DRAGON", .maxHp = 50000, .attack = 700, .defence = 500};

TEST(Blows, TheHerosHitStopsAt9999ButLuckySevensStrikeFor7777) {
  Fight strong;
  strong.hero.attack = 20000;
  strong.monster.setUpMonster(kDragon, 1);
  heroBlow(strong.game);
  EXPECT_EQ(strong.session.takeOutput(), "\nYOU DAMAGED: 9999\n");
  EXPECT_EQ(strong.monster.hp, 50000 - 9499);

  Fight fight;
  fight.hero.setMaxHp(1000);
  fight.hero.hp = 777;
  fight.monster.setUpMonster(kDragon, 1);
  heroBlow(fight.game);
  EXPECT_EQ(fight.session.takeOutput(), "<LUCKY{ 7 }SEVENS>!\n\nYOU DAMAGED: 7777\n");
  EXPECT_EQ(fight.monster.hp, 50000 - 7277);
  EXPECT_TRUE(fight.drewAsForetold());  // the lucky blow draws nothing
  for (const std::int32_t hp : {776, 778}) {
    Fight near;
    near.hero.setMaxHp(1000);
    near.hero.hp = hp;
    heroBlow(near.game);
    EXPECT_EQ(near.session.takeOutput(), youDamaged(near.draws.inRange(5, 20)));
  }
}

// DEFEND gives up the action and changes nothing of the monster's blow.
TEST(Blows, TheMonstersBlowLessTheHerosDefenceAfterDefend) {
  Fight fight("2\nnext");
  fight.monster.attack = 20;
  fight.hero.armourDefence = 3;
  EXPECT_EQ(fight.session.step(Screen::battleMenu), Screen::enemyTurn);
  EXPECT_TRUE(endsWith(fight.session.takeOutput(), kBattleMenu));
  EXPECT_EQ(fight.session.step(Screen::enemyTurn), Screen::checkBattleEnd);
  const std::int32_t damage = fight.draws.inRange(10, 40) - 3;
  EXPECT_EQ(fight.session.takeOutput(), damagedBy(damage));
  EXPECT_EQ(fight.hero.hp, 50 - damage);
  EXPECT_EQ(fight.session.unread(), "next");  // the turn's pause took the line break
}

TEST(Blows, TheMonstersBlowIsAtLeastOneAndTakesAtMost9999) {
  Fight blocked;
  blocked.hero.defence = 100;
  blocked.session.step(Screen::enemyTurn);
  EXPECT_EQ(blocked.session.takeOutput(), "\nDAMAGED BY: 1\n");
  EXPECT_EQ(blocked.hero.hp, 49);

  Fight crushed;
  crushed.monster.attack = 20000;
  crushed.session.step(Screen::enemyTurn);
  const std::int32_t damage = crushed.draws.inRange(10000, 40000);
  EXPECT_EQ(crushed.session.takeOutput(), damagedBy(damage));
  EXPECT_EQ(crushed.hero.hp, 50 - 9999);
}

TEST(Blows, AMonsterWithAMoveDrawsItsChanceBeforeItsBlow) {
  // The move comes only when the draw is strictly below the chance.
  const std::int32_t chance = Predictor().inRange(1, 100);
  Fight fight("", 100, chance);
  fight.session.step(Screen::enemyTurn);
  fight.draws.inRange(1, 100);
  const std::int32_t damage = fight.draws.inRange(5, 20);
  EXPECT_EQ(fight.session.takeOutput(), damagedBy(damage));

  Fight special("", 100, chance + 1);
  special.session.step(Screen::enemyTurn);
  EXPECT_EQ(special.session.takeOutput().rfind("\nGOBLIN USES POISON SPORE\n", 0), 0u);
}

// --- special moves ----------------------------------------------------------------

// A hero of 5000 HP and 500 defence (which only DUAL BLOW heeds) against a
// monster that always uses its move; `draws` has taken the 1-to-100 draw.
struct SpecialMove : Fight {
  SpecialMove(const char* name, std::int32_t attack, std::int32_t move,
              std::string_view input = "x")
      : Fight(input) {
    hero.setMaxHp(5000);
    hero.defence = 500;
    monster.setUpMonster({.name = name,
                          .maxHp = 1000,
                          .attack = attack,
                          .move = static_cast<Move>(move),
                          .moveChance = 101},
                         1);
    draws.inRange(1, 100);
  }
  // Moves both generators on until the draws after the chance satisfy `wanted`.
  void waitFor(const std::function<bool(Predictor&)>& wanted) {
    for (;;) {
      Predictor probe = start;
      probe.inRange(1, 100);
      draws = probe;
      if (wanted(probe)) return;
      start.next();
      game.generator.next();
    }
  }
  std::string turn() {
    next = session.step(Screen::enemyTurn);
    return session.takeOutput();
  }
  Predictor start;
  Screen next = Screen::quit;
};

TEST(SpecialMove, MovesThatLandTheirWholeAmount) {
  const struct {
    const char* name;
    std::int32_t attack, move;
    std::string announcement;
    std::int32_t low, high, times, plus;
  } moves[] = {
      {"LIZARDMAN", 30, 1, "\nLIZARDMAN USES @FIRE\n", 30, 120, 1, 0},
      {"LORD OCHU", 50, 100, "\nLORD OCHU USES POISON SPORE\n", 25, 100, 1, 5},
      {"DURAHAN", 120, 102, "\nDURAHAN USES CLEAVE\n", 60, 240, 2, 0},
      {"BLACK DRAGON", 350, 105, "\nRRRRRARGHHHH!\nBLACK DRAGON BREATHES ACID BREATH\n", 1, 2000, 1,
       0},
      {"RED DRAGON", 700, 106, "\nRRRRRARGHHHH!\nRED DRAGON BREATHES FIRE BREATH\n", 1, 3000, 1, 0},
      {"ULTIMA WEAPON", 1500, 108, "ULTIMA WEAPON USES ULTIMA BEAM\n", 9999, 9999, 1, 0},
  };
  for (const auto& move : moves) {
    SpecialMove fight(move.name, move.attack, move.move);
    const std::string output = fight.turn();
    const std::int32_t damage = fight.draws.inRange(move.low, move.high) * move.times + move.plus;
    EXPECT_EQ(output, move.announcement + damagedBy(damage)) << move.name;
    EXPECT_EQ(fight.hero.hp, 5000 - damage) << move.name;
    EXPECT_EQ(fight.next, Screen::checkBattleEnd);
  }
}

TEST(SpecialMove, DualBlowStrikesTwiceLessTheDefence) {
  SpecialMove fight("HOOK HORROR", 190, 101);
  fight.hero.defence = 50;
  const std::string output = fight.turn();
  const std::int32_t damage = fight.draws.inRange(95, 190) - 50;
  EXPECT_EQ(output, "\nHOOK HORROR USES DUAL BLOW\n" + damagedBy(damage) + damagedBy(damage));
  EXPECT_EQ(fight.hero.hp, 5000 - 2 * damage);

  SpecialMove blocked("HOOK HORROR", 190, 101);
  EXPECT_EQ(blocked.turn(), "\nHOOK HORROR USES DUAL BLOW\n" + damagedBy(1) + damagedBy(1));
}

TEST(SpecialMove, BloodDrainHealsTheMonsterByWhatItDrew) {
  SpecialMove fight("VAMPIRE", 100, 104);
  fight.monster.hp = -10;  // brought down by the hero this round
  const std::string output = fight.turn();
  const std::int32_t drain = fight.draws.inRange(50, 150);
  EXPECT_EQ(output, "\nVAMPIRE USES BLOOD DRAIN\n" + damagedBy(drain) + "ABSORBED " +
                        std::to_string(drain) + "HP\n");
  EXPECT_EQ(fight.monster.hp, drain - 10);
  EXPECT_EQ(fight.session.step(Screen::checkBattleEnd), Screen::battleMenu);  // back on its feet
}

TEST(SpecialMove, ABatThatDrainsNothingStillHurtsForOne) {
  SpecialMove fight("BAT", 1, 104);
  fight.monster.tabAfterName = true;
  fight.waitFor([](Predictor& draws) { return draws.inRange(0, 1) == 0; });
  fight.monster.hp = 2;
  EXPECT_EQ(fight.turn(), "\nBAT\t USES BLOOD DRAIN\n" + damagedBy(1) + "ABSORBED 0HP\n");
  EXPECT_EQ(fight.hero.hp, 4999);
  EXPECT_EQ(fight.monster.hp, 2);
}

TEST(SpecialMove, HealShowsTheDrawnAmount) {
  SpecialMove fight("SHAMAN", 10, 5);
  fight.monster.hp = 10;
  const std::string output = fight.turn();
  const std::int32_t heal = fight.draws.inRange(16, 80);
  EXPECT_EQ(output, "\nSHAMAN USES *HEAL\nHEALED " + std::to_string(heal) + "HP\n");
  EXPECT_EQ(fight.monster.hp, 10 + heal);
}

TEST(SpecialMove, DoomDiceKillsOnlyOnASixAtLevelFourOrLess) {
  const auto rolls = [](std::int32_t roll) {
    return [roll](Predictor& draws) { return draws.inRange(1, 6) == roll; };
  };
  SpecialMove lucky("NECROMANCER", 58, 103);
  lucky.waitFor(rolls(3));
  EXPECT_EQ(lucky.turn(), "\nNECROMANCER USES DOOM DICE...\nROLLED A 3\n");
  EXPECT_EQ(lucky.hero.hp, 5000);

  SpecialMove strong("NECROMANCER", 58, 103);
  strong.hero.level = 5;
  strong.waitFor(rolls(6));
  EXPECT_EQ(strong.turn(), "\nNECROMANCER USES DOOM DICE...\nROLLED A 6\n");
  strong.draws.inRange(1, 6);
  EXPECT_EQ(strong.hero.hp, strong.draws.inRange(1, 4));
  EXPECT_EQ(strong.session.step(Screen::checkBattleEnd), Screen::battleMenu);

  SpecialMove doomed("NECROMANCER", 58, 103, "xnext");
  doomed.hero.level = 4;
  doomed.waitFor(rolls(6));
  EXPECT_EQ(doomed.session.runFrom(Screen::enemyTurn),
            "\nNECROMANCER USES DOOM DICE...\nROLLED A 6\nINSTANT DEATH\n"
            "\nYOU WERE SLAIN.\n\tGAME OVER\n");
  EXPECT_EQ(doomed.session.unread(), "next");  // the game over's pause alone
}

TEST(SpecialMove, MoonwalkLeavesExactlyOneHp) {
  SpecialMove fight("SORVANE TELLICK", 500, 107);
  EXPECT_EQ(fight.turn(), "\nAaow!\nSORVANE TELLICK DOES THE MOONWALK!\n");
  EXPECT_EQ(fight.hero.hp, 1);
  EXPECT_EQ(fight.session.step(Screen::checkBattleEnd), Screen::battleMenu);
}

TEST(SpecialMove, AnUnknownMovePassesTheTurn) {
  SpecialMove fight("GOLEM", 500, 50);
  EXPECT_EQ(fight.turn(), "");
  EXPECT_EQ(fight.hero.hp, 5000);
  EXPECT_EQ(fight.next, Screen::checkBattleEnd);
  EXPECT_EQ(fight.session.unread(), "");
  EXPECT_TRUE(fight.drewAsForetold());
}

// --- magic --------------------------------------------------------------------

std::string magicMenu(const std::string& mp, const std::string& spells) {
  return "\n*****MAGIC*****MP: " + mp + "\n" + spells + "0:BACK\n";
}

const std::string kAllSpells =
    "1:FIRE\t\t3\n2:BOLT\t\t4\n3:ICE\t\t5\n4:CURE\t\t4\n5:FIRE2\t\t22\n6:ICE2\t\t24\n"
    "7:BOLT3\t\t28\n8:CURE2\t\t20\n9:CURE4\t\t50\n";

// An unlisted number, an unlearnt spell included, casts nothing and gives the monster its turn.
TEST(Magic, TheMenuListsWhatTheLevelHasLearnt) {
  const struct {
    std::int32_t level;
    std::string spells;
    const char* unlisted;
  } levels[] = {{1, "", "1\n"}, {4, "1:FIRE\t\t3\n4:CURE\t\t4\n", "2\n"}, {20, kAllSpells, "10\n"}};
  for (const auto& at : levels) {
    for (const char* choice : {"0\n", at.unlisted}) {
      Fight fight(choice);
      fight.hero.level = at.level;
      EXPECT_EQ(fight.session.step(Screen::magicMenu), Screen::enemyTurn) << at.level;
      EXPECT_EQ(fight.session.takeOutput(), magicMenu("20/20", at.spells)) << at.level;
      EXPECT_EQ(fight.hero.mp, 20);
      EXPECT_TRUE(fight.drewAsForetold());
    }
  }
}

TEST(Magic, EverySpellItsCostMessageAndEffect) {
  enum Kind { damage, heal, fullHeal };
  const struct {
    const char* choice;
    std::int32_t cost;
    std::string message;
    Kind kind;
    std::int32_t low, high;
  } spells[] = {
      {"1", 3, "\nCASTING @FIRE...\n", damage, 30, 120},
      {"2", 4, "\nCASTING @BOLT...\n", damage, 50, 180},  // spell 3
      {"3", 5, "\nCASTING @ICE...\n", damage, 70, 240},   // spell 2
      {"4", 4, "\nCASTING *CURE...\n", heal, 16, 80},
      {"5", 22, "\nCASTING @FIRE2...\n", damage, 200, 600},
      {"6", 24, "\nCASTING @ICE2...\n", damage, 240, 700},
      {"7", 28, "\nCASTING @BOLT2...\n", damage, 100, 1000},
      {"8", 20, "\nCASTING *CURE2...\n", heal, 200, 500},
      {"9", 50, "\nCASTING *CURE4...\n", fullHeal, 0, 0},
  };
  for (const auto& spell : spells) {
    Fight fight(std::string(spell.choice) + "\n");
    fight.hero.level = 20;
    fight.hero.setMaxMp(100);
    fight.hero.setMaxHp(1000);
    fight.hero.hp = 10;
    EXPECT_EQ(fight.session.step(Screen::magicMenu), Screen::enemyTurn) << spell.message;
    const std::int32_t amount =
        spell.kind == fullHeal ? 1000 : fight.draws.inRange(spell.low, spell.high);
    const std::string effect =
        spell.kind == damage ? youDamaged(amount) : "HEALED " + std::to_string(amount) + "HP\n";
    EXPECT_EQ(fight.session.takeOutput(),
              magicMenu("100/100", kAllSpells) + spell.message + effect);
    EXPECT_EQ(fight.hero.mp, 100 - spell.cost) << spell.message;
    EXPECT_EQ(fight.hero.hp, spell.kind == damage ? 10 : std::min(10 + amount, 1000))
        << spell.message;
    EXPECT_EQ(fight.monster.hp, spell.kind == damage ? 1000 - amount : 1000) << spell.message;
  }
}

TEST(Magic, ExactlyEnoughMpCastsAndOneShortStartsTheRoundAgain) {
  Fight enough("1\n");
  enough.hero.level = 3;
  enough.hero.mp = 3;
  EXPECT_EQ(enough.session.step(Screen::magicMenu), Screen::enemyTurn);
  EXPECT_EQ(enough.hero.mp, 0);
  EXPECT_EQ(enough.monster.hp, 1000 - enough.draws.inRange(30, 120));

  Fight shy("1\nnext");
  shy.hero.level = 3;
  shy.hero.mp = 2;
  EXPECT_EQ(shy.session.step(Screen::magicMenu), Screen::battleMenu);
  EXPECT_EQ(shy.session.takeOutput(), magicMenu("2/20", "1:FIRE\t\t3\n") + "\nNOT ENOUGH MP!\n");
  EXPECT_EQ(shy.session.unread(), "next");
  EXPECT_EQ(shy.hero.mp, 2);
  EXPECT_TRUE(shy.drewAsForetold());
}

}  // namespace
}  // namespace dusk::test
