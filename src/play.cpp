#include "play.hpp"

#include "battle/magic.hpp"
#include "battle/round.hpp"
#include "hub/game_over_and_credits.hpp"
#include "hub/main_menu.hpp"
#include "hub/new_game.hpp"
#include "town/shops_menu_and_inn.hpp"
#include "town/weapon_and_armour_shops.hpp"
#include "world/fight_menu.hpp"
#include "world/victory_and_ending.hpp"

namespace dusk {

void play(std::istream& in, std::ostream& out) {
  Game game(in, out);
  run(game, Screen::newGame);
}

void run(Game& game, Screen first) {
  Screen screen = first;
  // A screen that finds the input ended runs out without printing; the game ends after it.
  while (screen != Screen::quit && !game.console.ended()) screen = show(game, screen);
  game.console.flush();
}

Screen show(Game& game, Screen screen) {
  switch (screen) {
    case Screen::newGame: return newGame(game);
    case Screen::mainMenu: return mainMenu(game);
    case Screen::shopsMenu: return shopsMenu(game);
    case Screen::inn: return inn(game);
    case Screen::weaponShop: return weaponShop(game);
    case Screen::armourShop: return armourShop(game);
    case Screen::buyWeapon: return buyWeapon(game);
    case Screen::buyArmour: return buyArmour(game);
    case Screen::sellWeapon: return sellWeapon(game);
    case Screen::sellArmour: return sellArmour(game);
    case Screen::fightMenu: return fightMenu(game);
    case Screen::forestList: return forestList(game);
    case Screen::graveyardList: return graveyardList(game);
    case Screen::cavesList: return cavesList(game);
    case Screen::castleList: return castleList(game);
    case Screen::masterList: return masterList(game);
    case Screen::battleMenu: return battleMenu(game);
    case Screen::magicMenu: return magicMenu(game);
    case Screen::enemyTurn: return enemyTurn(game);
    case Screen::checkBattleEnd: return checkBattleEnd(game);
    case Screen::victory: return victory(game);
    case Screen::ending: return ending(game);
    case Screen::showCredits: return showCredits(game);
    case Screen::gameOver: return gameOver(game);
    case Screen::quit: break;
  }
  return Screen::quit;
}

}  // namespace dusk
