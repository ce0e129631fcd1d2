#include "hub/main_menu.hpp"

#include "core/stats.hpp"

namespace dusk {

Screen mainMenu(Game& game) {
  clampHeroStats(game.hero);
  game.console << "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n";
  const auto choice = game.console.readChoice();
  if (!choice) return Screen::mainMenu;
  switch (*choice) {
    case 1: return Screen::fightMenu;
    case 2: return Screen::shopsMenu;
    case 3: showStats(game); return Screen::mainMenu;
    case 4: return Screen::quit;
    case 5: return Screen::newGame;  // not on the menu: starts the game again
    default: return Screen::mainMenu;
  }
}

}  // namespace dusk
