#include "world/fight_menu.hpp"

#include <string_view>

#include "world/opponents.hpp"

namespace dusk {
namespace {

constexpr std::uint32_t kBack = 7;

bool castleOpen(std::int16_t progress) { return progress == 3 || progress == kStoryOver; }

// Sets up the opponent; the hero's level at this visit divides the experience.
Screen fight(Game& game, const Opponent& opponent) {
  setUpOpponent(game.monster, opponent, game.hero.level);
  return Screen::battleMenu;
}

Screen areaList(Game& game, std::string_view text, std::span<const Opponent* const> opponents,
                Screen self) {
  game.console << text;
  const auto choice = game.console.readChoice();
  if (!choice) return self;
  if (*choice >= 1 && *choice <= opponents.size()) return fight(game, *opponents[*choice - 1]);
  return *choice == kBack ? Screen::mainMenu : Screen::fightMenu;
}

}  // namespace

Screen fightMenu(Game& game) {
  const std::int16_t progress = game.hero.progress;
  Console& console = game.console;
  console << "\n\n**FIGHT WHERE?**\n1:FOREST\n";
  if (progress > 0) console << "2:GRAVEYARD\n";
  if (progress > 1) console << "3:CAVES\n";
  if (progress > 2) {
    console << "4:CASTLE";
    console.endLine();
  }
  console << "0:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::fightMenu;
  switch (*choice) {
    case 0: return Screen::mainMenu;
    case 1: return Screen::forestList;
    case 2: return progress > 0 ? Screen::graveyardList : Screen::fightMenu;
    case 3: return progress > 1 ? Screen::cavesList : Screen::fightMenu;
    case 4:
      if (castleOpen(progress)) return Screen::castleList;
      return progress == 4 ? Screen::masterList : Screen::fightMenu;
    default: return Screen::fightMenu;
  }
}

Screen forestList(Game& game) {
  return areaList(game,
                  "\n***FIGHT WHO?***\n1:GOBLIN\n2:WOLF\n3:GNOLL\n4:DIRE BOAR\n5:LIZARDMAN\n"
                  "6:BOSS:LORD OCHU\n7:BACK\n",
                  forestOpponents(), Screen::forestList);
}

Screen graveyardList(Game& game) {
  return areaList(game,
                  "\n***FIGHT WHO?***\n1:ZOMBIE\n2:SKELETON\n3:WRAITH\n4:NECROMANCER\n5:VAMPIRE\n"
                  "6:BOSS:DURAHAN\n7:BACK\n",
                  graveyardOpponents(), Screen::graveyardList);
}

Screen cavesList(Game& game) {
  return areaList(game,
                  "\n***FIGHT WHO?***\n1:BAT\n2:OGRE\n3:DROW\n4:HOOK HORROR\n5:UMBER HULK\n"
                  "6:BOSS:BLACK DRAGON\n7:BACK\n",
                  cavesOpponents(), Screen::cavesList);
}

Screen castleList(Game& game) {
  const bool storyOver = game.hero.progress == kStoryOver;
  Console& console = game.console;
  console << "\n***FIGHT WHO?***\n1:LORD OCHU\n2:DURAHAN\n3:BLACK DRAGON\n4:RED DRAGON";
  if (storyOver) console << "\n5:ULTIMA WEAPON\n";
  console << "\n7:BACK";  // the player types on this line
  const auto choice = console.readChoice();
  if (!choice) return Screen::castleList;
  if (*choice >= 1 && *choice <= 4) return fight(game, *castleOpponents()[*choice - 1]);
  if (*choice == 5 && storyOver) {
    console << "\nI am Ultima... I am as old as the Cosmos. You cannot defeat me!\n";
    console.pause();
    return fight(game, kUltimaWeapon);
  }
  return *choice == kBack ? Screen::mainMenu : Screen::fightMenu;
}

Screen masterList(Game& game) {
  Console& console = game.console;
  console << "\n***FIGHT WHO?***\n1:THE MASTER\n7:BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::masterList;
  if (*choice == 1) {
    console << "\nI've been waiting for you, Dusk Lynx.\nYou took your time.\n";
    console.pause();
    console << "But now, your little adventure is at an end. You must die, for the children!\n";
    console.pause();
    return fight(game, kSorvaneTellick);
  }
  return *choice == kBack ? Screen::mainMenu : Screen::fightMenu;
}

}  // namespace dusk
