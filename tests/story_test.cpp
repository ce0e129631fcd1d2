// The whole story in one game: data/story.txt is a player's input from the
// title through the shops, every area and its boss, RED DRAGON and the master,
// the ending and the credits, then a won fight with ULTIMA WEAPON and QUIT.
// data/make_story.py writes that file (data/story.md says how).

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "session.hpp"

namespace dusk::test {
namespace {

// Played once for the whole suite: it is a long game.
const Played& story() {
  static const Played played = [] {
    const std::string input = readStory();
    EXPECT_FALSE(input.empty()) << "cannot read " DUSK_TEST_DATA "/story.txt";
    return playGame(input);
  }();
  return played;
}

// Keeps the output for a look when a milestone is missing.
void keepOutput() {
  std::ofstream("story.actual.txt", std::ios::binary) << story().output;
  ADD_FAILURE() << "the whole output is in story.actual.txt, in the test's working folder";
}

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t found = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    ++found;
  }
  return found;
}

const std::string kNewArea = "\nYOU CAN NOW FIGHT IN A NEW AREA!\n";
const std::string kMasterAwaits = "\nTHE MASTER AWAITS...\n";
const std::string kEnding[] = {
    "\nUgh... Aaow!... No, you.. you can't!\n",
    "I can't die! I'm Sorvane Tellick... Ugh...\n",
    "\n\nSORVANE TELLICK'S EVIL REIGN OF TERROR IS OVER, AND THE\n"
    "WHOLE WORLD CAN NOW REST IN PEACE.\n",
};
const std::string kCreditsOpen = "\n\n\n\n\n---DUSK LYNX---\n    CREDITS\n";
const std::string kCreditsClose = "\n\n\n\n\n\t--THANK YOU FOR PLAYING!--\n\n\n";
const std::string kUltimaOffered =
    "\n***FIGHT WHO?***\n1:LORD OCHU\n2:DURAHAN\n3:BLACK DRAGON\n4:RED DRAGON"
    "\n5:ULTIMA WEAPON\n\n7:BACK";
const std::string kUltimaDefeated = "\nYOU DEFEATED: ULTIMA WEAPON\n";

// Every stage of the story, in the order in which a player meets them.
const std::vector<std::string> kMilestones = {
    std::string(kTitle) + std::string(kIntroduction) + std::string(kMainMenu),
    "\nYOU BOUGHT A RAGNAROK\n",
    "\nYOU BOUGHT RED DRAGON ARMOUR\n",
    "\nYOU DEFEATED: LORD OCHU\n",
    "\nYOU GOT:\n1000 EXPERIENCE POINTS\n300 GOLD\n" + kNewArea,
    "\n\n**FIGHT WHERE?**\n1:FOREST\n2:GRAVEYARD\n0:BACK\n",
    "\nYOU DEFEATED: DURAHAN\n",
    kNewArea,
    "\n\n**FIGHT WHERE?**\n1:FOREST\n2:GRAVEYARD\n3:CAVES\n0:BACK\n",
    "\nYOU DEFEATED: BLACK DRAGON\n",
    kNewArea,
    "\n\n**FIGHT WHERE?**\n1:FOREST\n2:GRAVEYARD\n3:CAVES\n4:CASTLE\n0:BACK\n",
    "\n***FIGHT WHO?***\n1:LORD OCHU\n2:DURAHAN\n3:BLACK DRAGON\n4:RED DRAGON\n7:BACK",
    "\nYOU DEFEATED: RED DRAGON\n",
    kMasterAwaits,
    "\n***FIGHT WHO?***\n1:THE MASTER\n7:BACK\n",
    "\nI've been waiting for you, Dusk Lynx.\nYou took your time.\n"
    "But now, your little adventure is at an end. You must die, for the children!\n",
    "\nSORVANE TELLICK: \tHP:99999/99999\n",
    "\nYOU DEFEATED: SORVANE TELLICK\n",
    "99999 GOLD\n" + kEnding[0],
    kEnding[1],
    kEnding[2] + kCreditsOpen,
    "\n\n\nCREATED BY:\n\tDUSK LYNX\n",
    "\n\n\nGRAPHICS BY:\n\tNED HOLLOW\n",
    "\n\n\nSPECIAL THANKS:\n",
    "\tAND, MOST OF ALL, YOU, THE PLAYER.\n" + kCreditsClose + std::string(kMainMenu),
    kUltimaOffered + "\nI am Ultima... I am as old as the Cosmos. You cannot defeat me!\n",
    "\nULTIMA WEAPON: \tHP:1500000/1500000\n",
    kUltimaDefeated,
    "\nYOU GOT:\n1000000 EXPERIENCE POINTS\n1000000 GOLD\n",
};

TEST(Story, EveryMilestoneComesInTheStorysOrder) {
  const std::string& output = story().output;
  std::size_t from = 0;
  for (const std::string& milestone : kMilestones) {
    const std::size_t at = output.find(milestone, from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "missing after offset " << from << ":\n" << milestone;
      keepOutput();
      return;
    }
    from = at + milestone.size();
  }
}

TEST(Story, EachStageOpensExactlyOnce) {
  const std::string& output = story().output;
  EXPECT_EQ(count(output, kNewArea), 3u);
  EXPECT_EQ(count(output, kMasterAwaits), 1u);
  for (const std::string& text : kEnding) EXPECT_EQ(count(output, text), 1u) << text;
  EXPECT_EQ(count(output, kCreditsOpen), 1u);
  EXPECT_EQ(count(output, kCreditsClose), 1u);
  EXPECT_EQ(count(output, kUltimaDefeated), 1u);
  // ULTIMA WEAPON is offered only once the story is over.
  EXPECT_GT(output.find("5:ULTIMA WEAPON"), output.find(kCreditsClose));
}

TEST(Story, EndsByQuittingAlive) {
  const Played& played = story();
  EXPECT_EQ(played.output.find("\nYOU WERE SLAIN.\n"), std::string::npos);
  EXPECT_TRUE(played.output.ends_with(kMainMenu));
  // QUIT, not the end of the input, ended it: more input changes nothing.
  EXPECT_EQ(playGame(readStory() + "3\n\n1\n1\n").output, played.output);
}

TEST(Story, TheMastersLevelsComeWithTheNextVictory) {
  const std::string& output = story().output;
  const std::size_t master = output.find("\nYOU DEFEATED: SORVANE TELLICK\n");
  ASSERT_NE(master, std::string::npos);
  const std::size_t next = output.find("\nYOU DEFEATED: ", master + 1);
  ASSERT_NE(next, std::string::npos);
  const std::string_view between(output.data() + master, next - master);
  EXPECT_EQ(count(between, "\nLEVEL UP!\n"), 0u);
  // 1000000 / level experience at a modest level is worth many levels at once.
  const std::size_t after = output.find(kMainMenu, next);
  ASSERT_NE(after, std::string::npos);
  const std::string_view reward(output.data() + next, after - next);
  EXPECT_GE(count(reward, "\nLEVEL UP!\n"), 10u);
}

TEST(Story, TheHeroOutlivesUltimaBeamOnceTheLimitIsLifted) {
  const std::string& output = story().output;
  const std::size_t fight = output.find("\nULTIMA WEAPON: \tHP:1500000/1500000\n");
  ASSERT_NE(fight, std::string::npos);
  // Above 9999 maximum HP, which the limit forbids until the story is over.
  const std::size_t health = output.rfind("\nDUSK LYNX: \tHP:", fight);
  ASSERT_NE(health, std::string::npos);
  std::istringstream status(output.substr(health + 16, 24));
  int hp = 0;
  int maxHp = 0;
  char slash = 0;
  status >> hp >> slash >> maxHp;
  EXPECT_GT(maxHp, 9999);
  EXPECT_GE(count(output.substr(fight), "ULTIMA WEAPON USES ULTIMA BEAM\n\nDAMAGED BY: 9999\n"),
            1u);
}

TEST(Story, ReplaysExactly) { EXPECT_EQ(playGame(readStory()).output, story().output); }

}  // namespace
}  // namespace dusk::test
