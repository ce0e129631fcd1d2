#pragma once
// The console: the game's one input and one output stream.
//
// Reading follows the game's menu convention: white space is skipped, one
// sign may come (a minus wraps modulo 2^32, as unsigned extraction does), then
// digits up to the first non-digit, which stays unread. A line with no number
// on it, or a number above 4294967295, is not a number: the rest of that line
// is thrown away (never stored, however long) and the caller shows its screen
// again.
//
// When a read finds the input ended, the console is ended for good: every
// later read comes back at once, and nothing more is printed, so the screen in
// progress runs out quietly and the screen loop stops after it. A number that
// the end of the input cuts short (at a terminal: "1", then Ctrl-D) still
// counts, but the console remembers that the input is over: the next read or
// wait ends it at once and never asks the terminal again.
//
// Output goes through in large pieces. It is flushed only by endLine(), before
// every read, and by flush() when the game ends, so a player always sees a
// whole screen before typing. An end of line, in this game's words, is
// endLine(): a newline and a flush. A "\n" inside a text is a newline alone,
// so a screen of several lines goes out in one piece. Both streams must outlive
// the console.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace dusk {

class Console {
 public:
  Console(std::istream& in, std::ostream& out);

  // One menu number; nothing when the line held no number or the input ended.
  std::optional<std::uint32_t> readChoice();
  // Reads one character and throws it away (the player presses Enter).
  void pause();
  bool ended() const { return ended_; }

  Console& operator<<(std::string_view text);
  Console& operator<<(std::int32_t number);
  // One line of a menu that lists a table: "N:NAME", tabs up to the tab stop
  // at `column` (at least one tab), the value (a price or a cost), a newline.
  void printMenuLine(std::int32_t number, std::string_view name, std::int32_t value,
                     std::size_t column);
  // A sale value, in the output stream's default floating-point format.
  void printValue(double value);
  // An end of line: a newline, then a flush (a "\n" in a text does not flush).
  void endLine();
  void flush();

 private:
  // Flushes; false once the console has ended (or ends now, after the input did).
  bool startReading();
  void discardLine();
  void end() { ended_ = true; }
  // The input's current character, the one after it, or the current one taken
  // away; each notes the end of the input when it finds it.
  int peek();
  int advance();
  int take();
  int noteEnd(int c);

  std::ostream& out_;
  std::streambuf& input_;
  std::streambuf& output_;
  bool inputEnded_ = false;  // a read found the end of the input
  bool ended_ = false;       // and a later read came: the game is over
};

}  // namespace dusk
