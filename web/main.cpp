// DUSK LYNX in a web page: the page's counterpart of src/main.cpp. The game
// plays on two stream buffers that talk to the page's script (page.js): input
// comes from the page one line at a time, and output goes to it at every
// flush. When a game ends, the page may ask for a new one; it starts from the
// title with a fresh generator, so the same input replays the same game.

#include <emscripten.h>

#include <istream>
#include <ostream>
#include <streambuf>

#include "play.hpp"

namespace dusk::page {

// The bridge to page.js, which hands its side to the module as `Module.page`.

// Waits until the player has sent a line (or ended the input), copies at most
// `size` bytes of what is unread to `buffer` and returns how many: 0 only at
// the end of the input. `pause` tells the page whether the game waits for
// Enter alone rather than for a choice, should it have to wait.
EM_ASYNC_JS(int, readInput, (char* buffer, int size, bool pause), {
  const bytes = await Module.page.read(size, Boolean(pause));
  HEAPU8.set(bytes, buffer);
  return bytes.length;
});

// Shows `size` bytes from `bytes` on the page.
EM_JS(void, writeOutput, (const char* bytes, int size),
      { Module.page.write(HEAPU8.slice(bytes, bytes + size)); });

// Tells the page that the game ended with `status`, and waits until the player
// asks for a new game.
EM_ASYNC_JS(void, awaitNewGame, (int status), { await Module.page.ended(status); });

// The player's lines, one at a time, as a terminal in its ordinary
// (canonical) mode hands them over: a read waits only when all that was sent
// has been read. A line longer than the buffer comes in several reads.
//
// The game reads a choice by looking at the next character first (sgetc,
// which calls underflow() when nothing is left), and waits for Enter alone by
// taking one (sbumpc, which calls uflow()), so the two calls tell a menu from
// a pause.
class PageInput : public std::streambuf {
 protected:
  int_type underflow() override { return fill(false); }

  int_type uflow() override {
    const int_type c = fill(true);
    if (!traits_type::eq_int_type(c, traits_type::eof())) gbump(1);
    return c;
  }

 private:
  int_type fill(bool pause) {
    const int count = readInput(buffer_, static_cast<int>(sizeof buffer_), pause);
    if (count <= 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + count);
    return traits_type::to_int_type(buffer_[0]);
  }

  char buffer_[1024];
};

// The game's output, handed to the page whenever the buffer fills or the game
// flushes (at each endLine(), not at a "\n" inside a text, and before each
// read), so that a screen is shown whole before the game waits.
class PageOutput : public std::streambuf {
 public:
  PageOutput() { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    handOver();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return sputc(traits_type::to_char_type(c));
  }

  int sync() override {
    handOver();
    return 0;
  }

 private:
  void handOver() {
    if (pptr() != pbase()) writeOutput(pbase(), static_cast<int>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
  }

  char buffer_[4096];
};

}  // namespace dusk::page

int main() {
  using namespace dusk::page;
  for (;;) {
    PageInput input;
    PageOutput output;
    std::istream in(&input);
    std::ostream out(&output);
    dusk::play(in, out);
    out.flush();
    awaitNewGame(0);  // the console program's status: every end of a game is an ordinary one
  }
}
