#include "hub/game_over_and_credits.hpp"

#include <string_view>

namespace dusk {
namespace {

constexpr std::string_view kCredits[] = {
    "\n\n\n\n\n---DUSK LYNX---\n    CREDITS\n",
    "\n\n\nCREATED BY:\n\tDUSK LYNX\n",
    "\n\n\nGRAPHICS BY:\n\tNED HOLLOW\n",
    "\n\n\nSPECIAL THANKS:\n"
    "\tTHE VILLAGERS OF JETEK\n"
    "\tTHE INNKEEPER\n"
    "\tTHE WEAPON SMITH\n"
    "\tTHE ARMOURER\n"
    "\tALL WHO FELL IN THE CASTLE\n"
    "\tAND, MOST OF ALL, YOU, THE PLAYER.\n",
    "\n\n\n\n\n\t--THANK YOU FOR PLAYING!--\n\n\n",
};

}  // namespace

Screen gameOver(Game& game) {
  game.console << "\nYOU WERE SLAIN.\n\tGAME OVER\n";
  game.console.pause();
  return Screen::quit;
}

Screen showCredits(Game& game) {
  for (const std::string_view block : kCredits) {
    game.console << block;
    game.console.pause();
  }
  return Screen::mainMenu;
}

}  // namespace dusk
