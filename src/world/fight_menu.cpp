#include "world/fight_menu.hpp"

#include <cstddef>
#include <span>
#include <string_view>

#include "world/opponents.hpp"

namespace dusk {
namespace {

constexpr std::string_view kFightWho = "\n***FIGHT WHO?***";
constexpr std::uint32_t kWhereBack = 0;  // FIGHT WHERE lists its BACK last, numbered 0

// The CASTLE list with its four opponents; while THE MASTER awaits, he stands there alone.
bool castleListOpen(std::int16_t progress) {
  return progress == kCastleOpen || progress == kStoryOver;
}

// "N:NAME", or "N:BOSS:NAME" with the title "BOSS:".
void printOpponent(Console& console, std::size_t number, const Opponent& opponent,
                   std::string_view title = "") {
  console << static_cast<std::int32_t>(number) << ":" << title << opponent.name;
}

// Sets up the opponent; the hero's level at this visit divides the experience.
Screen fight(Game& game, const Opponent& opponent) {
  game.monster.setUpMonster(opponent, game.hero.level);
  return Screen::battleMenu;
}

// An area's FIGHT WHO list, shown again as `list` when no number came: its
// opponents, the boss last, then BACK.
Screen areaList(Game& game, Screen list, std::span<const Opponent* const> opponents) {
  Console& console = game.console;
  console << kFightWho << "\n";
  for (std::size_t index = 0; index < opponents.size(); ++index) {
    const bool boss = index + 1 == opponents.size();
    printOpponent(console, index + 1, *opponents[index], boss ? "BOSS:" : "");
    console << "\n";
  }
  console << kBack << ":BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return list;
  if (*choice >= 1 && *choice <= opponents.size()) return fight(game, *opponents[*choice - 1]);
  return *choice == kBack ? Screen::mainMenu : Screen::fightMenu;
}

}  // namespace

Screen fightMenu(Game& game) {
  const std::int16_t progress = game.hero.progress;
  Console& console = game.console;
  console << "\n\n**FIGHT WHERE?**\n1:FOREST\n";
  if (progress >= kGraveyardOpen) console << "2:GRAVEYARD\n";
  if (progress >= kCavesOpen) console << "3:CAVES\n";
  if (progress >= kCastleOpen) {
    console << "4:CASTLE";
    console.endLine();  // the one line of FIGHT WHERE that flushes: BACK goes out with the read
  }
  console << kWhereBack << ":BACK\n";
  const auto choice = console.readChoice();
  if (!choice) return Screen::fightMenu;
  switch (*choice) {
    case kWhereBack: return Screen::mainMenu;
    case 1: return Screen::forestList;
    case 2: return progress >= kGraveyardOpen ? Screen::graveyardList : Screen::fightMenu;
    case 3: return progress >= kCavesOpen ? Screen::cavesList : Screen::fightMenu;
    case 4:
      if (castleListOpen(progress)) return Screen::castleList;
      return progress == kMasterAwaits ? Screen::masterList : Screen::fightMenu;
    default: return Screen::fightMenu;
  }
}

Screen forestList(Game& game) { return areaList(game, Screen::forestList, forestOpponents()); }
Screen graveyardList(Game& game) {
  return areaList(game, Screen::graveyardList, graveyardOpponents());
}
Screen cavesList(Game& game) { return areaList(game, Screen::cavesList, cavesOpponents()); }

Screen castleList(Game& game) {
  const bool storyOver = game.hero.progress == kStoryOver;
  const auto castle = castleOpponents();
  const std::size_t ultima = castle.size() + 1;
  Console& console = game.console;
  console << kFightWho;
  for (std::size_t index = 0; index < castle.size(); ++index) {
    console << "\n";
    printOpponent(console, index + 1, *castle[index]);
  }
  if (storyOver) {
    console << "\n";
    printOpponent(console, ultima, kUltimaWeapon);
    console << "\n";
  }
  console << "\n" << kBack << ":BACK";  // the player types on this line
  const auto choice = console.readChoice();
  if (!choice) return Screen::castleList;
  if (*choice >= 1 && *choice <= castle.size()) return fight(game, *castle[*choice - 1]);
  if (*choice == ultima && storyOver) {
    console << "\nI am Ultima... I am as old as the Cosmos. You cannot defeat me!\n";
    console.pause();
    return fight(game, kUltimaWeapon);
  }
  return *choice == kBack ? Screen::mainMenu : Screen::fightMenu;
}

Screen masterList(Game& game) {
  Console& console = game.console;
  console << kFightWho << "\n1:THE MASTER\n" << kBack << ":BACK\n";
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
