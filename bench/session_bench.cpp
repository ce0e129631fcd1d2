// Whole games played in-process, as fast as the screens and the console go when
// printing costs nothing: a long battle of ITEM choices, and the main menu
// shown again and again. One item is one menu input of the repeated part.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "play.hpp"

namespace {

// Takes every character and keeps none, as /dev/null does; only counts them.
class DiscardBuffer : public std::streambuf {
 public:
  std::int64_t taken = 0;

 protected:
  int_type overflow(int_type c) override {
    ++taken;
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    taken += count;
    return count;
  }
};

// Hands out a prepared script in place, so that no copy of it is timed.
class ScriptBuffer : public std::streambuf {
 public:
  explicit ScriptBuffer(std::string& script) {
    setg(script.data(), script.data(), script.data() + script.size());
  }
};

// The title's three waits, then `opening`, then `input` repeated `count` times;
// the game ends where the script ends.
std::string script(const char* opening, const char* input, std::int64_t count) {
  std::string text = std::string("\n\n\n") + opening;
  for (std::int64_t i = 0; i < count; ++i) text += input;
  return text;
}

// Plays the script over and over. Each repeated input must print at least
// `screen` (the screen that it shows again), or the session is not the one meant.
void playScript(benchmark::State& state, std::string text, std::string_view screen) {
  DiscardBuffer discard;
  std::ostream out(&discard);
  for (auto _ : state) {
    ScriptBuffer input(text);
    std::istream in(&input);
    dusk::play(in, out);
    // A game that ended early would make every figure a lie.
    if (input.in_avail() != 0) {
      state.SkipWithError("the game stopped before the end of its input");
      break;
    }
  }
  const std::int64_t inputs = state.iterations() * state.range(0);
  state.SetItemsProcessed(inputs);
  if (inputs > 0 && discard.taken / inputs < static_cast<std::int64_t>(screen.size())) {
    state.SkipWithError("the repeated input does not show its screen again");
  }
}

// BATTLE, FOREST, GOBLIN, then ITEM over and over: the status header and the
// BATTLE menu each time, and the monster never acts.
void longBattle(benchmark::State& state) {
  playScript(state, script("1\n1\n1\n", "5\n", state.range(0)),
             "\n*****BATTLE*****\n1:ATTACK\n2:DEFEND\n3:MAGIC\n4:STATS\n5:ITEM\n6:RUN\n");
}

// 0 at the main menu shows the menu again.
void mainMenuLoop(benchmark::State& state) {
  playScript(state, script("", "0\n", state.range(0)),
             "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n");
}

}  // namespace

BENCHMARK(longBattle)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(mainMenuLoop)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
