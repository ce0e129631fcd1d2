#pragma once
// Test helpers: a game played in-process from a string of input, and the
// test data read from its files.

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "core/game.hpp"
#include "core/version.hpp"
#include "hub/new_game.hpp"
#include "play.hpp"

namespace dusk::test {

// A whole game from the title, as a player would type it.
struct Played {
  std::string output;
};

inline Played playGame(std::string_view input) {
  std::istringstream in{std::string(input)};
  std::ostringstream out;
  play(in, out);
  return {out.str()};
}

// A game whose records a test sets up by hand before running a screen.
class Session {
 public:
  explicit Session(std::string_view input = "") : in_(std::string(input)), game(in_, out_) {}

  // Runs screens from `first` until the game ends (quit, death or end of input).
  std::string runFrom(Screen first) {
    run(game, first);
    return takeOutput();
  }
  // Runs exactly one screen and returns the screen it hands over to.
  Screen step(Screen screen) { return show(game, screen); }
  std::string takeOutput() {
    game.console.flush();
    std::string text = out_.str();
    out_.str("");
    return text;
  }
  // What is left of the input.
  std::string unread() {
    std::string rest;
    std::getline(in_, rest, '\0');
    return rest;
  }

 private:
  std::istringstream in_;
  std::ostringstream out_;

 public:
  Game game;
};

// A whole file, byte for byte; empty when it cannot be read.
std::string readFile(const std::string& path);
// The whole story's input, data/story.txt.
std::string readStory();

// The texts that open every game: the title and the introduction.
// The version line shows the project's version ("V1.6" while it is 1.6).
inline const std::string kTitle =
    std::string("*THE ADVENTURES*\n*******OF*******\n***DUSK  LYNX***\nV") + kVersion +
    "\nCREATED BY:\n     DUSK LYNX\n";
inline constexpr std::string_view kIntroduction =
    "\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\n"
    "TO RID THE VILLAGE OF JETEK FROM A CURSE.\n"
    "HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?\n(YOU SHOULD BUY A SWORD)\n";
inline constexpr std::string_view kMainMenu = "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n";

// Our own copy of the generator's formula, started where every game starts: it
// foretells the game's draws, so a test also checks the order they are made in.
class Predictor {
 public:
  std::int32_t next();
  std::int32_t inRange(std::int32_t low, std::int32_t high);

 private:
  std::uint32_t state_ = 1;
};

}  // namespace dusk::test
