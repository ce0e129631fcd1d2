// Choosing a fight and what a won fight brings: the monster catalogue, the
// FIGHT WHERE and FIGHT WHO menus at every stage of the story, the rewards,
// the stages, the level-up, the ending and the credits.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "session.hpp"
#include "world/level_up.hpp"

namespace dusk::test {
namespace {

// A hero fresh from a new game, at the given stage of the story.
Session& atStage(Session& session, std::int16_t progress, std::int32_t level = 1) {
  setUpNewHero(session.game.hero);
  session.game.hero.progress = progress;
  session.game.hero.level = level;
  return session;
}

// --- the monster catalogue --------------------------------------------------

struct Slot {
  Screen list;
  std::int16_t progress;
  const char* input;  // the choice, and the line break for the speeches' pauses
  const char* name;   // as the battle shows it
  std::int32_t maxHp, attack, defence, experience;
  bool perLevel;  // the experience is divided by the hero's level
  std::int32_t gold, move, moveChance;
};

constexpr bool kDivided = true;
constexpr bool kFixed = false;

// clang-format off
const Slot kCatalogue[] = {
  {Screen::forestList,    0, "1\n",   "GOBLIN",             30,   10,   0,      50, kDivided,      50,   0, 25},
  {Screen::forestList,    0, "2\n",   "WOLF\t",            100,   14,   0,     100, kDivided,      60,   0, 25},
  {Screen::forestList,    0, "3\n",   "GNOLL\t",           150,   20,   0,     150, kDivided,      80,   0, 25},
  {Screen::forestList,    0, "4\n",   "DIRE BOAR",         220,   26,   0,     200, kDivided,      90, 101, 55},
  {Screen::forestList,    0, "5\n",   "LIZARDMAN",         260,   30,   0,     220, kDivided,     100,   1, 15},
  {Screen::forestList,    0, "6\n",   "LORD OCHU",        3500,   50,   5,    1000, kFixed,       300, 100, 45},
  {Screen::graveyardList, 1, "1\n",   "ZOMBIE",            120,   20,  30,     200, kDivided,      80,   0, 25},
  {Screen::graveyardList, 1, "2\n",   "SKELETON",          200,   32, 100,     400, kDivided,     150,   0, 25},
  {Screen::graveyardList, 1, "3\n",   "WRAITH",            180,   28, 300,    1000, kDivided,     300,   1, 74},
  {Screen::graveyardList, 1, "4\n",   "NECROMANCER",       750,   58,   0,    1500, kDivided,     330, 103, 90},
  {Screen::graveyardList, 1, "5\n",   "VAMPIRE",          1000,  100, 250,    3000, kDivided,     400, 104, 50},
  {Screen::graveyardList, 1, "6\n",   "DURAHAN",          5000,  120, 200,   10000, kDivided,    1000, 102, 80},
  {Screen::cavesList,     2, "1\n",   "BAT\t",               3,    1,   0,       1, kFixed,         1, 104, 99},
  {Screen::cavesList,     2, "2\n",   "OGRE",              840,   80,   0,    2000, kDivided,     300,   0, 25},
  {Screen::cavesList,     2, "3\n",   "DROW",             1500,   50,  50,    2500, kDivided,     400,   0, 25},
  {Screen::cavesList,     2, "4\n",   "HOOK HORROR",       700,  190, 300,    4000, kDivided,     500, 101, 25},
  {Screen::cavesList,     2, "5\n",   "UMBER HULK",       2000,  120, 400,    5000, kDivided,     750,   0, 25},
  {Screen::cavesList,     2, "6\n",   "BLACK DRAGON",    35000,  350, 300,   50000, kDivided,    5000, 105, 25},
  {Screen::castleList,    3, "1\n",   "LORD OCHU",        3500,   50,   5,    1000, kFixed,       300, 100, 45},
  {Screen::castleList,    3, "2\n",   "DURAHAN",          5000,  120, 200,   10000, kDivided,    1000, 102, 80},
  {Screen::castleList,    3, "3\n",   "BLACK DRAGON",    35000,  350, 300,   50000, kDivided,    5000, 105, 25},
  {Screen::castleList,    3, "4\n",   "RED DRAGON",      50000,  700, 500,   25000, kDivided,   25000, 106, 25},
  {Screen::castleList,  999, "5\n",   "ULTIMA WEAPON", 1500000, 1500, 500, 1000000, kFixed,   1000000, 108, 25},
  {Screen::masterList,    4, "1\n\n", "SORVANE TELLICK",  99999,  500, 500, 1000000, kDivided,   99999, 107, 25},
};
// clang-format on

// The monster's name as the battle screens print it.
std::string shownName(const Monster& monster) {
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  monster.printName(console);
  console.flush();
  return out.str();
}

TEST(Catalogue, EverySlotSetsUpItsRowAtEveryLevel) {
  for (const Slot& slot : kCatalogue) {
    for (const std::int32_t level : {1, 3, 51, 100}) {
      Session session(slot.input);
      atStage(session, slot.progress, level);
      const std::string where = std::string(slot.name) + " at level " + std::to_string(level);
      ASSERT_EQ(session.step(slot.list), Screen::battleMenu) << where;
      const Monster& m = session.game.monster;
      ASSERT_NE(m.name, nullptr) << where;
      EXPECT_EQ(shownName(m), slot.name) << where;
      const std::int32_t experience = slot.perLevel ? slot.experience / level : slot.experience;
      EXPECT_EQ(std::tuple(m.maxHp, m.hp, m.attack, m.defence, m.experience, m.gold,
                           static_cast<std::int32_t>(m.move), m.moveChance),
                std::tuple(slot.maxHp, slot.maxHp, slot.attack, slot.defence, experience, slot.gold,
                           slot.move, slot.moveChance))
          << where;
    }
  }
}

// The opponent that a FIGHT WHO list sets up.
Monster opponent(Screen list, const char* input, std::int16_t progress, std::int32_t level = 1) {
  Session session(input);
  atStage(session, progress, level);
  session.step(list);
  return session.game.monster;
}

TEST(Catalogue, ExperienceRoundsDownAndFixedRewardsStay) {
  EXPECT_EQ(opponent(Screen::forestList, "1\n", 0, 3).experience, 16);
  EXPECT_EQ(opponent(Screen::forestList, "1\n", 0, 51).experience, 0);
  EXPECT_EQ(opponent(Screen::forestList, "6\n", 0, 100).experience, 1000);
  EXPECT_EQ(opponent(Screen::masterList, "1\n\n", 4, 100).experience, 10000);
}

// The CASTLE's bosses are the very same opponents, so the story knows them there too.
const char* nameFrom(Screen list, std::int16_t progress, const char* input) {
  return opponent(list, input, progress).name;
}

TEST(Catalogue, CastleBossesAreTheAreaBossesThemselves) {
  for (const std::int16_t progress : {3, 999}) {
    EXPECT_EQ(nameFrom(Screen::castleList, progress, "1\n"),
              nameFrom(Screen::forestList, 0, "6\n"));
    EXPECT_EQ(nameFrom(Screen::castleList, progress, "2\n"),
              nameFrom(Screen::graveyardList, 1, "6\n"));
    EXPECT_EQ(nameFrom(Screen::castleList, progress, "3\n"), nameFrom(Screen::cavesList, 2, "6\n"));
  }
}

// --- FIGHT WHERE --------------------------------------------------------------

const std::string kWhere = "\n\n**FIGHT WHERE?**\n1:FOREST\n";
const std::string kBack = "0:BACK\n";
const std::string kAllAreas = kWhere + "2:GRAVEYARD\n3:CAVES\n4:CASTLE\n" + kBack;

TEST(FightWhere, EachStageListsAndOpensItsAreas) {
  const Screen f = Screen::fightMenu;
  const struct {
    std::int16_t progress;
    std::string text;
    Screen choice[5];  // where choices 1 to 5 lead; a locked one shows the menu again
  } stages[] = {
      {0, kWhere + kBack, {Screen::forestList, f, f, f, f}},
      {1, kWhere + "2:GRAVEYARD\n" + kBack, {Screen::forestList, Screen::graveyardList, f, f, f}},
      {2,
       kWhere + "2:GRAVEYARD\n3:CAVES\n" + kBack,
       {Screen::forestList, Screen::graveyardList, Screen::cavesList, f, f}},
      {3,
       kAllAreas,
       {Screen::forestList, Screen::graveyardList, Screen::cavesList, Screen::castleList, f}},
      {4,
       kAllAreas,
       {Screen::forestList, Screen::graveyardList, Screen::cavesList, Screen::masterList, f}},
      {999,
       kAllAreas,
       {Screen::forestList, Screen::graveyardList, Screen::cavesList, Screen::castleList, f}},
  };
  for (const auto& stage : stages) {
    for (std::uint32_t choice = 0; choice <= 6; ++choice) {
      Session session(std::to_string(choice == 6 ? 4294967295u : choice) + "\n");
      atStage(session, stage.progress);
      const Screen expected = choice == 0   ? Screen::mainMenu
                              : choice == 6 ? f
                                            : stage.choice[choice - 1];
      EXPECT_EQ(session.step(Screen::fightMenu), expected)
          << "progress " << stage.progress << ", choice " << choice;
      EXPECT_EQ(session.takeOutput(), stage.text);  // nothing of its own for a locked area
    }
  }
}

// --- FIGHT WHO ----------------------------------------------------------------

const std::string kForestList =
    "\n***FIGHT WHO?***\n1:GOBLIN\n2:WOLF\n3:GNOLL\n4:DIRE BOAR\n5:LIZARDMAN\n"
    "6:BOSS:LORD OCHU\n7:BACK\n";
const std::string kCastleList =
    "\n***FIGHT WHO?***\n1:LORD OCHU\n2:DURAHAN\n3:BLACK DRAGON\n4:RED DRAGON";
const std::string kMasterList = "\n***FIGHT WHO?***\n1:THE MASTER\n7:BACK\n";

// BACK leads to the main menu; any other number off a list leads to FIGHT WHERE
// and sets up nobody. The CASTLE list has no line break after BACK.
TEST(FightWho, ListTextsAndNumbersOffTheList) {
  const struct {
    Screen list;
    std::int16_t progress;
    std::string text;
    std::vector<const char*> offList;
  } lists[] = {
      {Screen::forestList, 0, kForestList, {"0", "8"}},
      {Screen::graveyardList,
       1,
       "\n***FIGHT WHO?***\n1:ZOMBIE\n2:SKELETON\n3:WRAITH\n4:NECROMANCER\n5:VAMPIRE\n"
       "6:BOSS:DURAHAN\n7:BACK\n",
       {"0", "8"}},
      {Screen::cavesList,
       2,
       "\n***FIGHT WHO?***\n1:BAT\n2:OGRE\n3:DROW\n4:HOOK HORROR\n5:UMBER HULK\n"
       "6:BOSS:BLACK DRAGON\n7:BACK\n",
       {"0", "8"}},
      {Screen::castleList, 3, kCastleList + "\n7:BACK", {"0", "5", "6", "8"}},  // no 5 before 999
      {Screen::masterList, 4, kMasterList, {"0", "2", "8"}},
  };
  for (const auto& list : lists) {
    Session back("7\n");
    atStage(back, list.progress);
    EXPECT_EQ(back.step(list.list), Screen::mainMenu);
    EXPECT_EQ(back.takeOutput(), list.text);
    for (const char* number : list.offList) {
      Session session(std::string(number) + "\n");
      atStage(session, list.progress);
      EXPECT_EQ(session.step(list.list), Screen::fightMenu) << number;
      EXPECT_EQ(session.takeOutput(), list.text) << number;
      EXPECT_EQ(session.game.monster.name, nullptr) << number;
    }
  }
}

TEST(FightWho, BackFromAListSkipsFightWhere) {
  Session session("1\n7\n4\n");
  atStage(session, 0);
  EXPECT_EQ(session.runFrom(Screen::fightMenu),
            kWhere + kBack + kForestList + std::string(kMainMenu));
}

// After the story an empty line stands before BACK.
TEST(FightWho, UltimaSpeaksAndItsPauseTakesTheLineBreak) {
  Session session("5\nnext");
  atStage(session, 999);
  EXPECT_EQ(session.step(Screen::castleList), Screen::battleMenu);
  EXPECT_EQ(session.takeOutput(),
            kCastleList + "\n5:ULTIMA WEAPON\n\n7:BACK" +
                "\nI am Ultima... I am as old as the Cosmos. You cannot defeat me!\n");
  EXPECT_EQ(session.unread(), "next");
}

TEST(FightWho, TheMasterSpeaksTwiceAndTheSecondPauseWaits) {
  Session session("1\nxnext");
  atStage(session, 4);
  EXPECT_EQ(session.step(Screen::masterList), Screen::battleMenu);
  EXPECT_EQ(session.takeOutput(),
            kMasterList +
                "\nI've been waiting for you, Dusk Lynx.\nYou took your time.\n"
                "But now, your little adventure is at an end. You must die, for the children!\n");
  EXPECT_EQ(session.unread(), "next");
  EXPECT_STREQ(session.game.monster.name, "SORVANE TELLICK");
}

// --- victory and the stages of the story -------------------------------------

// Sets up the opponent of a menu slot, chosen at the hero's level and already beaten.
void beaten(Session& session, Screen list, const char* input) {
  const Hero& hero = session.game.hero;
  session.game.monster = opponent(list, input, hero.progress, hero.level);
  session.game.monster.hp = 0;
}

TEST(Victory, GoblinRewardsWithTwoPauses) {
  Session session("abnext");
  atStage(session, 0);
  beaten(session, Screen::forestList, "1\n");
  EXPECT_EQ(session.step(Screen::victory), Screen::mainMenu);
  EXPECT_EQ(session.takeOutput(),
            "\nYOU DEFEATED: GOBLIN\n\nYOU GOT:\n50 EXPERIENCE POINTS\n50 GOLD\n");
  EXPECT_EQ(session.unread(), "next");
  EXPECT_EQ(session.game.hero.experience, 50);
  EXPECT_EQ(session.game.hero.gold, 100);
  EXPECT_EQ(session.game.hero.level, 1);
}

TEST(Victory, TheWolfsNameKeepsItsTab) {
  Session session("abc");
  atStage(session, 0);
  beaten(session, Screen::forestList, "2\n");
  session.step(Screen::victory);
  EXPECT_EQ(session.takeOutput(),
            "\nYOU DEFEATED: WOLF\t\n\nYOU GOT:\n100 EXPERIENCE POINTS\n60 GOLD\n"
            "\nLEVEL UP!\n");
}

struct Boss {
  Screen list;
  const char* choice;
  std::int16_t stage;  // the only progress at which beating it moves the story on
  const char* message;
};

const std::string kNewArea = "\nYOU CAN NOW FIGHT IN A NEW AREA!\n";

const Boss kBosses[] = {
    {Screen::forestList, "6\n", 0, kNewArea.c_str()},
    {Screen::graveyardList, "6\n", 1, kNewArea.c_str()},
    {Screen::cavesList, "6\n", 2, kNewArea.c_str()},
    {Screen::castleList, "1\n", -1, ""},  // LORD OCHU, DURAHAN and BLACK DRAGON in the
    {Screen::castleList, "2\n", -1, ""},  // CASTLE: it is open at 3 and 999 only, past
    {Screen::castleList, "3\n", -1, ""},  // their own stages
    {Screen::castleList, "4\n", 3, "\nTHE MASTER AWAITS...\n"},
    {Screen::castleList, "5\n\n", -1, ""},  // ULTIMA WEAPON
    {Screen::forestList, "1\n", -1, ""},    // GOBLIN
};

TEST(Victory, EachBossMovesTheStoryOnOnlyAtItsOwnStage) {
  for (const Boss& boss : kBosses) {
    for (const std::int16_t progress : {0, 1, 2, 3, 4, 999}) {
      const bool castle = boss.list == Screen::castleList;
      if (castle && progress != 3 && progress != 999) continue;
      if (std::strcmp(boss.choice, "5\n\n") == 0 && progress != 999) continue;
      Session session("ab");
      atStage(session, progress, 100);  // level 100: no level-up to get in the way
      beaten(session, boss.list, boss.choice);
      EXPECT_EQ(session.step(Screen::victory), Screen::mainMenu);
      const Monster& monster = session.game.monster;
      const bool moves = progress == boss.stage;
      const std::string expected = "\nYOU DEFEATED: " + std::string(monster.name) +
                                   "\n\nYOU GOT:\n" + std::to_string(monster.experience) +
                                   " EXPERIENCE POINTS\n" + std::to_string(monster.gold) +
                                   " GOLD\n" + (moves ? boss.message : "");
      const std::string where = std::string(monster.name) + " at " + std::to_string(progress);
      EXPECT_EQ(session.takeOutput(), expected) << where;
      EXPECT_EQ(session.game.hero.progress, moves ? progress + 1 : progress) << where;
    }
  }
}

TEST(Victory, LordOchuAtLevelOneOpensTheGraveyardThenFourLevels) {
  Session session("abcdefnext");
  atStage(session, 0);
  beaten(session, Screen::forestList, "6\n");
  EXPECT_EQ(session.step(Screen::victory), Screen::mainMenu);
  EXPECT_EQ(session.takeOutput(),
            "\nYOU DEFEATED: LORD OCHU\n\nYOU GOT:\n1000 EXPERIENCE POINTS\n300 GOLD\n" + kNewArea +
                "\nLEVEL UP!\n\nLEVEL UP!\n\nLEVEL UP!\n\nLEVEL UP!\n");
  EXPECT_EQ(session.unread(), "next");  // two pauses of its own, one per level
  EXPECT_EQ(session.game.hero.progress, 1);
  EXPECT_EQ(session.game.hero.level, 5);
}

TEST(Victory, LevelUpOnlyWhenTheExperienceReachesTheNextLevel) {
  for (const auto& [before, levels] : {std::pair{49, 1}, {50, 2}}) {
    Session session("abc");
    atStage(session, 0);
    session.game.hero.experience = before;
    beaten(session, Screen::forestList, "1\n");
    session.step(Screen::victory);
    EXPECT_EQ(session.game.hero.level, levels) << before;
  }
  Session top("abc");
  atStage(top, 0, 100);
  top.game.hero.experience = 9000000;
  beaten(top, Screen::forestList, "1\n");
  top.step(Screen::victory);
  EXPECT_EQ(top.game.hero.level, 100);
  EXPECT_EQ(top.takeOutput().find("LEVEL UP"), std::string::npos);
}

// --- the level-up ---------------------------------------------------------------

struct Gains {
  std::int32_t maxHp, maxMp, attack, defence;
};

// What one level brings, drawn in the game's order.
Gains gainsOfLevel(Predictor& draws, std::int32_t level) {
  Gains gains{};
  gains.maxHp = draws.inRange(10, 50) * level;
  gains.maxMp = draws.inRange(level, level * 10);
  gains.attack = draws.inRange(1, 10) + level;
  gains.defence = draws.inRange(1, 5) + level;
  return gains;
}

TEST(LevelUp, AsManyLevelsAsTheExperienceReachesUpToOneHundred) {
  const std::string kLevelUp = "\nLEVEL UP!\n";
  const struct {
    std::int32_t level, nextLevelExp, experience, levels, nextLevelExpAfter;
  } cases[] = {
      {1, 100, 100, 1, 300},
      {1, 100, 1000, 4, 1500},  // 300, 600, then 1000 exactly lets the fourth level through
      {98, 485100, 9999999, 2, 505000},
  };
  for (const auto& c : cases) {
    Session session("abcdnext");
    Hero& hero = atStage(session, 0, c.level).game.hero;
    hero.nextLevelExp = c.nextLevelExp;
    hero.experience = c.experience;
    hero.hp = 30;
    hero.mp = 5;
    levelUp(session.game);
    Predictor draws;
    Gains total{};
    for (std::int32_t level = c.level + 1; level <= c.level + c.levels; ++level) {
      const Gains gains = gainsOfLevel(draws, level);
      total = {total.maxHp + gains.maxHp, total.maxMp + gains.maxMp, total.attack + gains.attack,
               total.defence + gains.defence};
    }
    std::string messages;
    for (int level = 0; level < c.levels; ++level) messages += kLevelUp;
    EXPECT_EQ(session.takeOutput(), messages);
    EXPECT_EQ(session.unread(), std::string("abcdnext").substr(c.levels));  // a pause each
    EXPECT_EQ(hero.level, c.level + c.levels);
    EXPECT_EQ(hero.nextLevelExp, c.nextLevelExpAfter);
    EXPECT_EQ(std::tuple(hero.maxHp, hero.maxMp, hero.attack, hero.defence),
              std::tuple(50 + total.maxHp, 20 + total.maxMp, 10 + total.attack, total.defence));
    EXPECT_EQ(std::pair(hero.hp, hero.mp), std::pair(30, 5));  // a level-up does not heal
  }
}

// --- the ending and the credits ----------------------------------------------------

const std::string kCredits =
    "\n\n\n\n\n---DUSK LYNX---\n    CREDITS\n"
    "\n\n\nCREATED BY:\n\tDUSK LYNX\n"
    "\n\n\nGRAPHICS BY:\n\tNED HOLLOW\n"
    "\n\n\nSPECIAL THANKS:\n\tTHE VILLAGERS OF JETEK\n\tTHE INNKEEPER\n\tTHE WEAPON SMITH\n"
    "\tTHE ARMOURER\n\tALL WHO FELL IN THE CASTLE\n\tAND, MOST OF ALL, YOU, THE PLAYER.\n"
    "\n\n\n\n\n\t--THANK YOU FOR PLAYING!--\n\n\n";

TEST(Ending, TheFinalBossEndsTheStoryAndTheGameGoesOn) {
  // One pause after the rewards, three in the ending, five in the credits; a
  // missing or extra pause would feed a dot or the 4 to the wrong reader.
  Session session(".........4\n");
  Hero& hero = atStage(session, 4).game.hero;
  hero.maxHp = 12000;
  beaten(session, Screen::masterList, "1\n\n");
  EXPECT_EQ(session.runFrom(Screen::victory),
            "\nYOU DEFEATED: SORVANE TELLICK\n\nYOU GOT:\n1000000 EXPERIENCE POINTS\n"
            "99999 GOLD\n"
            "\nUgh... Aaow!... No, you.. you can't!\n"
            "I can't die! I'm Sorvane Tellick... Ugh...\n"
            "\n\nSORVANE TELLICK'S EVIL REIGN OF TERROR IS OVER, AND THE\n"
            "WHOLE WORLD CAN NOW REST IN PEACE.\n" +
                kCredits + std::string(kMainMenu));
  EXPECT_EQ(session.unread(), "\n");
  EXPECT_EQ(hero.progress, 999);
  EXPECT_EQ(hero.level, 1);  // those levels come with the next victory
  EXPECT_EQ(hero.experience, 1000000);
  EXPECT_EQ(hero.gold, 50 + 99999);
  EXPECT_EQ(hero.maxHp, 12000);  // no longer held to 9999
}

}  // namespace
}  // namespace dusk::test
