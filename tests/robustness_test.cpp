// Any input is survived: menu numbers, blank lines, garbage bytes, NULs, huge
// numbers, signs and very long lines, ending anywhere. Each test draws its
// inputs from its own generator with a fixed seed, so a failure replays; the
// failing input is printed (escaped) with it. Many inputs first follow the
// whole story (data/story.txt) for a while, so that the chaos also reaches the
// later areas, the bosses and the game after the ending.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "session.hpp"

namespace dusk::test {
namespace {

// Writes a random input out of the pieces a careless or hostile player types.
class Scribbler {
 public:
  explicit Scribbler(std::uint32_t seed) : random_(seed), story_(readStory()) {}

  std::string input() {
    std::string text = between(0, 9) < 4 ? storyStart() : "";
    const int pieces = between(1, 250);
    for (int piece = 0; piece < pieces; ++piece) text += this->piece();
    // Half the inputs end in the middle of something.
    if (between(0, 1) == 0) text.resize(static_cast<std::size_t>(between(0, int(text.size()))));
    return text;
  }

  int between(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }

 private:
  // The story up to the end of one of its lines.
  std::string storyStart() {
    const auto end = story_.find('\n', std::size_t(between(0, int(story_.size()))));
    return story_.substr(0, end == std::string::npos ? story_.size() : end + 1);
  }

  std::string piece() {
    const int kind = between(0, 99);
    if (kind < 50) return menuNumber() + "\n";
    if (kind < 65) return "\n";
    if (kind < 72) return garbage(between(1, 40)) + "\n";
    if (kind < 79) return signedNumber() + "\n";
    if (kind < 86) return huge() + "\n";
    if (kind < 91) return menuNumber() + separator() + menuNumber() + "\n";
    if (kind < 99) return garbage(between(1, 8));
    return longLine();
  }

  // Mostly the numbers that menus offer; QUIT's 4 less often, so games last.
  std::string menuNumber() {
    static constexpr std::array<std::string_view, 16> kNumbers = {
        "1", "1", "1", "1", "2", "2", "3", "3", "5", "6", "7", "0", "8", "9", "4", "7777"};
    const int pick = between(0, int(kNumbers.size()) + 1);
    if (pick >= int(kNumbers.size())) return std::to_string(between(10, 99999));
    return std::string(kNumbers[std::size_t(pick)]);
  }

  std::string garbage(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(between(0, 255));
    return text;
  }

  std::string signedNumber() {
    static constexpr std::array<std::string_view, 8> kSigns = {"-",  "+",  "--", "+-",
                                                               "-+", " -", "- ", "+ "};
    return std::string(kSigns[std::size_t(between(0, 7))]) +
           (between(0, 3) == 0 ? "" : menuNumber());
  }

  std::string huge() {
    static constexpr std::array<std::string_view, 6> kEdges = {
        "4294967295",  "4294967296",           "-4294967295",
        "-4294967296", "18446744073709551617", "000000000000000000000000000001"};
    if (between(0, 1) == 0) return std::string(kEdges[std::size_t(between(0, 5))]);
    std::string digits;
    for (int i = between(10, 60); i > 0; --i) digits += char('0' + between(0, 9));
    return digits;
  }

  // What may stand between two numbers on one line, a NUL included.
  std::string separator() {
    static constexpr std::array<char, 6> kSeparators = {' ', '\t', 'x', '\r', '.', '\0'};
    return std::string(1, kSeparators[std::size_t(between(0, 5))]);
  }

  // A line of thousands of characters: digits, blanks or garbage.
  std::string longLine() {
    const int length = between(1000, 8000);
    switch (between(0, 2)) {
      case 0: return std::string(std::size_t(length), char('0' + between(0, 9))) + "\n";
      case 1: return std::string(std::size_t(length), ' ') + menuNumber() + "\n";
      default: return garbage(length) + "\n";
    }
  }

  std::mt19937 random_;
  const std::string story_;
};

// The input as C escapes, shortened, for a failure message.
std::string shown(std::string_view input) {
  std::string text;
  for (const unsigned char c : input.substr(0, 600)) {
    if (c == '\n') {
      text += "\\n";
    } else if (std::isprint(c) != 0 && c != '\\') {
      text += char(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      text += escape;
    }
  }
  if (input.size() > 600) text += "... (" + std::to_string(input.size()) + " bytes)";
  return text;
}

// Calls check(first, second) for every "first/second" after each label.
template <typename Check>
void forEachFraction(std::string_view output, std::string_view label, Check check) {
  for (auto at = output.find(label); at != std::string_view::npos;
       at = output.find(label, at + 1)) {
    long first = 0;
    long second = 0;
    const std::string text(output.substr(at + label.size(), 40));
    if (std::sscanf(text.c_str(), "%ld/%ld", &first, &second) == 2) check(first, second);
  }
}

TEST(AnyInput, EndsAndReplaysExactly) {
  Scribbler scribbler(20240611);
  for (int round = 0; round < 1500; ++round) {
    const std::string input = scribbler.input();
    const Played first = playGame(input);
    const Played second = playGame(input);
    ASSERT_EQ(first.output, second.output) << shown(input);
    // The title comes before the first read, whatever follows.
    ASSERT_TRUE(first.output.starts_with(kTitle)) << shown(input);
  }
}

TEST(AnyInput, StopsQuietlyWhereverTheInputEnds) {
  Scribbler scribbler(777);
  for (int round = 0; round < 200; ++round) {
    const std::string input = scribbler.input();
    const std::string whole = playGame(input).output;
    for (int cut = 0; cut < 6; ++cut) {
      const auto at = std::size_t(scribbler.between(0, int(input.size())));
      // Cutting a number short would change the number, and so the game.
      if (at > 0 && at < input.size() && std::isdigit(static_cast<unsigned char>(input[at - 1])) &&
          std::isdigit(static_cast<unsigned char>(input[at]))) {
        continue;
      }
      const Played part = playGame(std::string_view(input).substr(0, at));
      ASSERT_TRUE(whole.starts_with(part.output)) << "cut at " << at << " of " << shown(input);
    }
  }
}

TEST(AnyInput, EndingAtAPausePrintsNothingMore) {
  const std::string firstParagraph =
      "\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\nTO RID THE VILLAGE OF JETEK FROM A "
      "CURSE.\n";
  EXPECT_EQ(playGame("").output, kTitle);
  EXPECT_EQ(playGame("\n").output, std::string(kTitle) + firstParagraph);
  // The statistics wait for Enter, which never comes: no main menu after them.
  const std::string stats = playGame("\n\n\n3").output;
  EXPECT_TRUE(stats.ends_with("\nWEAPON: UNARMED\nARMOUR: OLD CLOTHES\n\n")) << stats;
}

TEST(AnyInput, KeepsEveryShownNumberWithinItsLimits) {
  Scribbler scribbler(31337);
  for (int round = 0; round < 1500; ++round) {
    const std::string input = scribbler.input();
    const std::string output = playGame(input).output;
    const auto atMost = [&](long value, long limit) {
      EXPECT_LE(value, limit) << shown(input);
      EXPECT_GE(limit, 0) << shown(input);
    };
    forEachFraction(output, "HP:", atMost);  // the hero's and the monster's
    forEachFraction(output, "HEALTH: ", atMost);
    forEachFraction(output, "MANA  : ", atMost);
    forEachFraction(output, "MP:", [&](long mp, long maxMp) {
      atMost(mp, maxMp);
      EXPECT_GE(mp, 0) << shown(input);
    });
    for (auto at = output.find("GOLD: "); at != std::string::npos;
         at = output.find("GOLD: ", at + 1)) {
      ASSERT_NE(output[at + 6], '-') << "a purse below 0 in " << shown(input);
    }
    if (HasFailure()) return;
  }
}

TEST(AnyInput, HugeLinesAreThrownAwayAndTheGameGoesOn) {
  const std::string opening = "\n\n\n";
  const std::string quit = "3\n\n4\n";
  const std::string expected = playGame(opening + quit).output;
  for (const std::string& line : {std::string(1 << 20, '7'), std::string(1 << 20, 'x'),
                                  std::string(1 << 20, '\0'), "-" + std::string(1 << 20, '9')}) {
    const Played game = playGame(opening + line + "\n" + quit);
    // Not a number: the main menu again, then the same statistics as without it.
    EXPECT_EQ(game.output, std::string(expected).insert(expected.find(kMainMenu), kMainMenu));
  }
}

TEST(AnyInput, ALongBattleOfOneNumberEnds) {
  const std::string battleMenu =
      "\n*****BATTLE*****\n1:ATTACK\n2:DEFEND\n3:MAGIC\n4:STATS\n5:ITEM\n6:RUN\n";
  std::string input = "\n\n\n1\n1\n1\n";                       // a GOBLIN
  for (int round = 0; round < 20000; ++round) input += "5\n";  // ITEM, over and over
  const Played game = playGame(input);
  EXPECT_TRUE(game.output.ends_with(battleMenu));
  std::size_t menus = 0;
  for (auto at = game.output.find(battleMenu); at != std::string::npos;
       at = game.output.find(battleMenu, at + 1)) {
    ++menus;
  }
  EXPECT_EQ(menus, 20001u);
  // ITEM never gives the monster its turn.
  EXPECT_EQ(game.output.find("DAMAGED BY"), std::string::npos);
}

}  // namespace
}  // namespace dusk::test
