#include "core/console.hpp"

#include <charconv>
#include <istream>
#include <ostream>
#include <string>

namespace dusk {
namespace {

using Traits = std::char_traits<char>;

bool isBlank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c) { return c >= '0' && c <= '9'; }

constexpr std::size_t kTabWidth = 8;

// The decimal digits of `number`, written into `digits`.
std::string_view decimal(std::int32_t number, char (&digits)[12]) {
  const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return {digits, static_cast<std::size_t>(end - digits)};
}

}  // namespace

Console::Console(std::istream& in, std::ostream& out)
    : out_(out), input_(*in.rdbuf()), output_(*out.rdbuf()) {}

std::optional<std::uint32_t> Console::readChoice() {
  if (!startReading()) return std::nullopt;
  int c = peek();  // sgetc: a menu read (see the header: front ends rely on it)
  while (isBlank(c)) c = advance();
  if (inputEnded_) {
    end();
    return std::nullopt;
  }
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = advance();
  if (!isDigit(c)) {
    discardLine();
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (; isDigit(c); c = advance()) {
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > UINT32_MAX) {
      discardLine();
      return std::nullopt;
    }
  }
  // A number that the end of the input cut short still counts; the next read ends the game.
  const auto number = static_cast<std::uint32_t>(value);
  return negative ? 0u - number : number;
}

void Console::pause() {
  if (!startReading()) return;
  take();  // sbumpc: a pause (see the header: front ends rely on it)
  if (inputEnded_) end();
}

bool Console::startReading() {
  flush();
  if (inputEnded_) end();
  return !ended_;
}

void Console::discardLine() {
  while (!inputEnded_) {
    if (take() == '\n') return;
  }
  end();
}

int Console::peek() { return noteEnd(input_.sgetc()); }
int Console::advance() { return noteEnd(input_.snextc()); }
int Console::take() { return noteEnd(input_.sbumpc()); }

int Console::noteEnd(int c) {
  if (Traits::eq_int_type(c, Traits::eof())) inputEnded_ = true;
  return c;
}

Console& Console::operator<<(std::string_view text) {
  if (!ended_) output_.sputn(text.data(), static_cast<std::streamsize>(text.size()));
  return *this;
}

Console& Console::operator<<(std::int32_t number) {
  char digits[12];
  return *this << decimal(number, digits);
}

void Console::printMenuLine(std::int32_t number, std::string_view name, std::int32_t value,
                            std::size_t column) {
  char digits[12];
  const std::string_view label = decimal(number, digits);
  *this << label << ":" << name;
  std::size_t at = label.size() + 1 + name.size();
  do {
    *this << "\t";
    at = (at / kTabWidth + 1) * kTabWidth;
  } while (at < column);
  *this << value << "\n";
}

void Console::printValue(double value) {
  if (!ended_) out_ << value;
}

void Console::endLine() {
  *this << "\n";
  flush();
}

void Console::flush() {
  if (!ended_) output_.pubsync();
}

}  // namespace dusk
