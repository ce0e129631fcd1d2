#include "world/victory_and_ending.hpp"

#include <string_view>

#include "world/level_up.hpp"
#include "world/opponents.hpp"

namespace dusk {
namespace {

struct Stage {
  std::int16_t progress;  // the stage at which this boss moves the story on
  const Opponent& boss;
  std::string_view message;
};

constexpr std::string_view kNewArea = "\nYOU CAN NOW FIGHT IN A NEW AREA!\n";

const Stage kStages[] = {
    {kStoryStart, kLordOchu, kNewArea},
    {kGraveyardOpen, kDurahan, kNewArea},
    {kCavesOpen, kBlackDragon, kNewArea},
    {kCastleOpen, kRedDragon, "\nTHE MASTER AWAITS...\n"},
};

// Bosses are known by the identity of their name, wherever they were fought.
bool is(const Monster& monster, const Opponent& opponent) { return monster.name == opponent.name; }

void advanceStory(Game& game) {
  for (const Stage& stage : kStages) {
    if (is(game.monster, stage.boss) && game.hero.progress == stage.progress) {
      game.console << stage.message;
      game.hero.progress += 1;  // the next stage
      return;
    }
  }
}

}  // namespace

Screen victory(Game& game) {
  Hero& hero = game.hero;
  const Monster& monster = game.monster;
  Console& console = game.console;
  hero.addExperience(monster.experience);
  hero.addGold(monster.gold);
  console << "\nYOU DEFEATED: ";
  monster.printName(console);
  console.endLine();
  console.pause();
  console << "\nYOU GOT:\n"
          << monster.experience << " EXPERIENCE POINTS\n"
          << monster.gold << " GOLD\n";
  // No level-up after the final boss: those levels come with the next victory.
  if (is(monster, kSorvaneTellick)) return Screen::ending;
  advanceStory(game);
  console.pause();
  levelUp(game);
  return Screen::mainMenu;
}

Screen ending(Game& game) {
  Console& console = game.console;
  console << "\nUgh... Aaow!... No, you.. you can't!\n";
  console.pause();
  console << "I can't die! I'm Sorvane Tellick... Ugh...\n";
  console.pause();
  console << "\n\nSORVANE TELLICK'S EVIL REIGN OF TERROR IS OVER, AND THE\n"
             "WHOLE WORLD CAN NOW REST IN PEACE.\n";
  console.pause();
  game.hero.progress = kStoryOver;
  return Screen::showCredits;
}

}  // namespace dusk
