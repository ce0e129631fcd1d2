// The game's spine: records and their limits, the generator, menu input, the
// title, the main menu and the statistics screen.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>
#include <vector>

#include "core/console.hpp"
#include "core/random.hpp"
#include "core/records.hpp"
#include "hub/main_menu.hpp"
#include "session.hpp"

namespace dusk::test {
namespace {

const std::string kFreshStats =
    "\n\nDUSK LYNX : STATISTICS\n----------------------\nLEVEL: 1\tGOLD: 50\n"
    "EXPERIENCE: 0/100\nHEALTH: 50/50\nMANA  : 20/20\nATTACK: 10\nDEFNCE: 0\n"
    "WEAPON: UNARMED\nARMOUR: OLD CLOTHES\n\n";

std::string opening() { return std::string(kTitle) + std::string(kIntroduction); }

// --- whole games from the title -------------------------------------------

TEST(Startup, TitleAndIntroductionThenQuit) {
  const Played game = playGame("\n\n\n4\n");
  EXPECT_EQ(game.output, opening() + std::string(kMainMenu));
}

TEST(Startup, FreshStatisticsScreen) {
  const Played game = playGame("\n\n\n3\n\n4\n");
  EXPECT_EQ(game.output, opening() + std::string(kMainMenu) + kFreshStats + std::string(kMainMenu));
}

TEST(Startup, UnlistedMainMenuNumbersShowTheMenuAgain) {
  const Played game = playGame("\n\n\n0\n6\n1000\n-1\n+4\n");
  std::string expected = opening();
  for (int shown = 0; shown < 5; ++shown) expected += kMainMenu;
  EXPECT_EQ(game.output, expected);
}

TEST(Startup, GarbageAtTheMainMenuShowsItAgain) {
  EXPECT_EQ(playGame("\n\n\nabc\n4\n").output,
            opening() + std::string(kMainMenu) + std::string(kMainMenu));
}

TEST(Startup, InputEndingAnywhereEndsTheGameQuietly) {
  const std::string script = "\n\n\n3\n\n5\n\n\n\n2\n9\n1\n7\n";
  const std::string whole = playGame(script + "4\n").output;
  for (std::size_t cut = 0; cut <= script.size(); ++cut) {
    const Played game = playGame(script.substr(0, cut));
    // Whatever was printed is the start of the longer game's output.
    EXPECT_EQ(whole.compare(0, game.output.size(), game.output), 0) << "cut at " << cut;
  }
}

TEST(Startup, NewGameKeepsTheExperience) {
  Session session("5\n\n\n4\n");
  Hero& hero = session.game.hero;
  setUpNewHero(hero);
  hero.level = 7;
  hero.experience = 2500;
  hero.gold = 900;
  hero.progress = 2;
  hero.equipWeapon("SOME SWORD", 30, 60);
  const std::string output = session.runFrom(Screen::mainMenu);
  EXPECT_EQ(output, std::string(kMainMenu) + opening() + std::string(kMainMenu));
  EXPECT_EQ(hero.level, 1);
  EXPECT_EQ(hero.experience, 2500);
  EXPECT_EQ(hero.gold, 50);
  EXPECT_EQ(hero.progress, 0);
  EXPECT_EQ(hero.weaponName, kUnarmed);
  EXPECT_EQ(hero.armourName, kOldClothes);
  EXPECT_EQ(hero.nextLevelExp, 100);
}

TEST(Startup, MainMenuAppliesTheLimitsEachTimeItIsShown) {
  Session session("0\n");
  setUpNewHero(session.game.hero);
  session.game.hero.mp = -3;
  EXPECT_EQ(session.step(Screen::mainMenu), Screen::mainMenu);
  EXPECT_EQ(session.game.hero.mp, 0);
}

// --- the records ----------------------------------------------------------

TEST(ClampHeroStats, MaxHpIsCappedUntilTheStoryIsOver) {
  Hero hero;
  hero.maxHp = hero.hp = 12000;
  hero.progress = 4;
  clampHeroStats(hero);
  EXPECT_EQ(hero.maxHp, 9999);
  EXPECT_EQ(hero.hp, 9999);

  hero.maxHp = hero.hp = 12000;
  hero.progress = 999;
  clampHeroStats(hero);
  EXPECT_EQ(hero.maxHp, 12000);
  EXPECT_EQ(hero.hp, 12000);
}

TEST(ClampHeroStats, MagicPoints) {
  Hero hero;
  hero.maxMp = 20;
  hero.mp = -5;
  clampHeroStats(hero);
  EXPECT_EQ(hero.mp, 0);

  hero.maxMp = hero.mp = 15000;
  hero.progress = 999;  // no exception for MP
  clampHeroStats(hero);
  EXPECT_EQ(hero.maxMp, 9999);
  EXPECT_EQ(hero.mp, 9999);
}

TEST(ClampHeroStats, LevelAttackDefenceAndExperience) {
  Hero hero;
  hero.level = 104;
  hero.nextLevelExp = 500;
  hero.attack = 1000;
  hero.weaponAttack = 460;
  hero.defence = 1500;
  hero.armourDefence = 40;
  hero.experience = 12000000;
  hero.hp = -20;
  clampHeroStats(hero);
  EXPECT_EQ(hero.level, 100);
  EXPECT_EQ(hero.nextLevelExp, 9999999);
  EXPECT_EQ(hero.attack, 999);
  EXPECT_EQ(hero.totalAttack(), 1459);
  EXPECT_EQ(hero.defence, 999);
  EXPECT_EQ(hero.totalDefence(), 1039);
  EXPECT_EQ(hero.experience, 9999999);
  EXPECT_EQ(hero.hp, -20);  // no lower limit
}

TEST(ClampHeroStats, ValuesWithinTheLimitsAreLeftAlone) {
  Hero hero;
  hero.level = 99;
  hero.nextLevelExp = 495000;
  hero.maxHp = 9999;
  hero.hp = 9999;
  hero.attack = 999;
  clampHeroStats(hero);
  EXPECT_EQ(hero.level, 99);
  EXPECT_EQ(hero.nextLevelExp, 495000);
  EXPECT_EQ(hero.maxHp, 9999);
  EXPECT_EQ(hero.attack, 999);
}

class RecordOutput : public ::testing::Test {
 protected:
  std::istringstream in_;
  std::ostringstream out_;
  Console console_{in_, out_};
};

TEST_F(RecordOutput, DamageMonsterShowsTheHitAndCostsAtLeastOne) {
  Monster monster;
  monster.setUpMonster({.name = "TARGET", .maxHp = 20000, .attack = 1, .defence = 500}, 1);
  monster.damageMonster(12000, console_);
  EXPECT_EQ(monster.hp, 20000 - 9499);
  monster.defence = 300;
  monster.damageMonster(40, console_);
  EXPECT_EQ(monster.hp, 20000 - 9499 - 1);
  monster.defence = 0;
  monster.damageMonster(0, console_);
  EXPECT_EQ(monster.hp, 20000 - 9499 - 2);
  console_.flush();
  EXPECT_EQ(out_.str(), "\nYOU DAMAGED: 9999\n\nYOU DAMAGED: 40\n\nYOU DAMAGED: 0\n");
}

TEST_F(RecordOutput, HitPointsPrintAsNumberSlashMaximum) {
  Hero hero;
  hero.hp = -12;
  hero.maxHp = 50;
  hero.mp = 0;
  hero.maxMp = 20;
  hero.printHp(console_);
  hero.printMp(console_);
  console_.flush();
  EXPECT_EQ(out_.str(), "-12/500/20");
}

TEST(Records, HealingAndDamageAreCappedAt9999) {
  Hero hero;
  hero.maxHp = 50;
  hero.hp = 45;
  hero.healHero(30);
  EXPECT_EQ(hero.hp, 50);
  hero.maxHp = 30000;
  hero.hp = 10;
  hero.healHero(20000);
  EXPECT_EQ(hero.hp, 10009);
  hero.hp = 100;
  hero.damageHero(20000);
  EXPECT_EQ(hero.hp, 100 - 9999);

  Monster monster;
  monster.setUpMonster({.name = "TARGET", .maxHp = 50, .attack = 1}, 1);
  monster.hp = 45;
  monster.healMonster(30);
  EXPECT_EQ(monster.hp, 50);
}

TEST(Records, GoldStopsAtTheLargestPurseAndSpendingHasNoCheck) {
  Hero hero;
  hero.gold = 2147483000;
  hero.addGold(1000000);
  EXPECT_EQ(hero.gold, 2147483647);
  hero.addGold(1);
  EXPECT_EQ(hero.gold, 2147483647);
  hero.gold = 40;
  hero.spendGold(100);
  EXPECT_EQ(hero.gold, -60);
}

TEST(Records, SetUpMonsterOverwritesEverythingAndDividesOnlyWhereTheRowSays) {
  Monster monster;
  monster.setUpMonster({"OLD", 10, 2, 3, 4, false, 5, Move::heal, 7}, 1);
  monster.hp = -40;
  monster.setUpMonster({"NEW", 30, 10, 0, 50, true, 60, Move::none, 25}, 3);
  EXPECT_EQ(std::tuple(monster.hp, monster.maxHp, monster.attack, monster.defence,
                       monster.experience, monster.gold, monster.getMove(), monster.moveChance),
            std::tuple(30, 30, 10, 0, 16, 60, Move::none, 25));
  EXPECT_STREQ(monster.name, "NEW");
  monster.setUpMonster({"FIXED", 3, 1, 0, 1000, false, 1, Move::bloodDrain, 99}, 3);
  EXPECT_EQ(monster.experience, 1000);
}

// --- the generator ----------------------------------------------------------

TEST(Generator, FirstValuesOfANewGame) {
  Generator generator;
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (const int value : expected) EXPECT_EQ(generator.next(), value);
}

TEST(Generator, RandomInRangeStaysWithinItsBounds) {
  Generator generator;
  for (int i = 0; i < 2000; ++i) {
    EXPECT_EQ(randomInRange(generator, 5, 5), 5);
    EXPECT_EQ(randomInRange(generator, 0, 0), 0);
    const int value = randomInRange(generator, 1, 100);
    EXPECT_GE(value, 1);
    EXPECT_LE(value, 100);
  }
}

TEST(Generator, RandomInRangeDrawsAgainBelowLow) {
  // 41 % 101 = 41 is below 50, so the second value decides: 18467 % 101 = 85.
  Generator generator;
  EXPECT_EQ(randomInRange(generator, 50, 100), 85);
  EXPECT_EQ(generator.next(), 6334);
}

// --- menu input -------------------------------------------------------------

struct Reading {
  std::istringstream in;
  std::ostringstream out;
  Console console{in, out};
  explicit Reading(std::string text) : in(std::move(text)) {}
  std::string rest() {
    std::string text;
    std::getline(in, text, '\0');
    return text;
  }
};

TEST(MenuInput, NumbersSignsAndWrapping) {
  Reading reading(" \t\n\r 42\n+7\n-1\n-0\n4294967295\n-4294967295\n");
  EXPECT_EQ(reading.console.readChoice(), 42u);
  EXPECT_EQ(reading.console.readChoice(), 7u);
  EXPECT_EQ(reading.console.readChoice(), 4294967295u);
  EXPECT_EQ(reading.console.readChoice(), 0u);
  EXPECT_EQ(reading.console.readChoice(), 4294967295u);
  EXPECT_EQ(reading.console.readChoice(), 1u);
  EXPECT_FALSE(reading.console.ended());
}

TEST(MenuInput, TheRestOfTheLineStaysUnread) {
  Reading reading("12abc def\n");
  EXPECT_EQ(reading.console.readChoice(), 12u);
  EXPECT_EQ(reading.rest(), "abc def\n");
}

TEST(MenuInput, NotANumberDiscardsTheWholeLine) {
  for (const char* line :
       {"abc 5\n", "-\n", "+ 3\n", "--1\n", "4294967296\n", "99999999999999999999999 7\n", "x\n"}) {
    Reading reading(std::string(line) + "8\n");
    EXPECT_EQ(reading.console.readChoice(), std::nullopt) << line;
    EXPECT_FALSE(reading.console.ended()) << line;
    EXPECT_EQ(reading.console.readChoice(), 8u) << line;
  }
  Reading nul(std::string("\0 9\n3\n", 6));
  EXPECT_EQ(nul.console.readChoice(), std::nullopt);
  EXPECT_EQ(nul.console.readChoice(), 3u);
}

TEST(MenuInput, TheEndOfInputEndsTheConsoleForGood) {
  for (const char* text : {"", "   \n\n", "abc", "-", "123456789012"}) {
    Reading reading(text);
    EXPECT_EQ(reading.console.readChoice(), std::nullopt) << text;
    EXPECT_TRUE(reading.console.ended()) << text;
  }
  Reading last("5");
  EXPECT_EQ(last.console.readChoice(), 5u);
  EXPECT_FALSE(last.console.ended());
  EXPECT_EQ(last.console.readChoice(), std::nullopt);
  EXPECT_TRUE(last.console.ended());
}

// Input as a terminal hands it over: each piece is one read, and an empty piece
// is a Ctrl-D on an empty line, after which the terminal would go on reading.
// Each read is noted by the call that came for it: 'm' through underflow() (a
// menu read), 'p' through uflow() (a pause).
class TerminalInput : public std::streambuf {
 public:
  explicit TerminalInput(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}
  int reads = 0;
  std::string calls;

 protected:
  int_type underflow() override { return read('m'); }

  int_type uflow() override {
    const int_type c = read('p');
    if (!traits_type::eq_int_type(c, traits_type::eof())) gbump(1);
    return c;
  }

 private:
  int_type read(char call) {
    calls += call;
    if (reads == static_cast<int>(pieces_.size())) return traits_type::eof();
    std::string& piece = pieces_[static_cast<std::size_t>(reads++)];
    if (piece.empty()) return traits_type::eof();
    setg(piece.data(), piece.data(), piece.data() + piece.size());
    return traits_type::to_int_type(piece[0]);
  }

  std::vector<std::string> pieces_;
};

// The web page waits for the player inside its input stream buffer and offers
// the choices or a Continue button by which of the two calls it is in.
TEST(MenuInput, AMenuReadWaitsThroughUnderflowAndAPauseThroughUflow) {
  TerminalInput terminal({"\n", "  \n", "2\n"});
  std::istream in(&terminal);
  std::ostringstream out;
  Console console(in, out);
  console.pause();
  EXPECT_EQ(console.readChoice(), 2u);  // blanks over two lines
  EXPECT_EQ(terminal.calls, "pmm");
}

TEST(MenuInput, ANumberCutShortByTheEndIsTakenAndTheNextReadEndsAtOnce) {
  // "1", Ctrl-D (the 1 without a line end), Ctrl-D (the end); the player would type on.
  for (const bool pauseNext : {false, true}) {
    TerminalInput terminal({"1", "", "4\n"});
    std::istream in(&terminal);
    std::ostringstream out;
    Console console(in, out);
    EXPECT_EQ(console.readChoice(), 1u);
    EXPECT_FALSE(console.ended());
    console << "SHOWN";
    if (pauseNext) {
      console.pause();
    } else {
      EXPECT_EQ(console.readChoice(), std::nullopt);
    }
    EXPECT_TRUE(console.ended());
    EXPECT_EQ(terminal.reads, 2) << "the terminal was asked again after the end";
    EXPECT_EQ(out.str(), "SHOWN");
  }
}

TEST(Startup, ANumberAtTheVeryEndOfAFileIsStillActedOn) {
  const Played game = playGame("\n\n\n1");
  EXPECT_EQ(game.output,
            opening() + std::string(kMainMenu) + "\n\n**FIGHT WHERE?**\n1:FOREST\n0:BACK\n");
}

TEST(MenuInput, PauseTakesOneCharacterAndNothingIsPrintedAfterTheEnd) {
  Reading reading("7\nx");
  EXPECT_EQ(reading.console.readChoice(), 7u);
  reading.console.pause();  // the newline after the number
  reading.console << "A";
  reading.console.pause();  // the x
  EXPECT_FALSE(reading.console.ended());
  reading.console.pause();
  EXPECT_TRUE(reading.console.ended());
  reading.console << "B" << 5;
  reading.console.endLine();
  EXPECT_EQ(reading.out.str(), "A");
}

TEST(MenuOutput, TableLinesTabToTheColumnAndAlwaysTabOnce) {
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  console.printMenuLine(1, "ICE", 5, 16);                   // 5 columns: two tabs
  console.printMenuLine(4, "ASSASSIN BLADE", 1500, 24);     // 16 columns: one tab
  console.printMenuLine(12, "WHITE DRAGON ARMOUR", 9, 16);  // past the column: one tab
  console.printMenuLine(-3, "X", 0, 8);
  console.flush();
  EXPECT_EQ(out.str(), "1:ICE\t\t5\n4:ASSASSIN BLADE\t1500\n12:WHITE DRAGON ARMOUR\t9\n-3:X\t0\n");
}

TEST(MenuInput, AVeryLongGarbageLineIsThrownAway) {
  std::string input(10'000'000, 'z');
  input += "\n4\n";
  Reading reading(std::move(input));
  EXPECT_EQ(reading.console.readChoice(), std::nullopt);
  EXPECT_EQ(reading.console.readChoice(), 4u);
}

// --- the built program ------------------------------------------------------
// Through a POSIX shell; the Windows build's program is played through its own
// standard streams by binary_test.py instead.

#ifndef _WIN32
TEST(Program, PlaysFromStandardInputAndExitsWithZero) {
  const std::string command = std::string("printf '\\n\\n\\n3\\n\\n4\\n' | ") + DUSK_GAME_BINARY;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, got);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(output, opening() + std::string(kMainMenu) + kFreshStats + std::string(kMainMenu));
}

TEST(Program, EndOfInputIsAnOrdinaryEnd) {
  const std::string command =
      std::string("printf '\\n\\n\\n1\\n1\\n' | ") + DUSK_GAME_BINARY + " > /dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace dusk::test
