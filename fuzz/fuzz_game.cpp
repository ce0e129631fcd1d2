// libFuzzer entry point: plays one whole game with the fuzzer's bytes as the
// player's input and throws the output away. A crash, a sanitizer report, a
// game that does not end (the fuzzer's -timeout) is a finding.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>

#include "play.hpp"

namespace {

// Takes everything and keeps nothing, so long games cost no memory.
class Discard : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  Discard discard;
  std::ostream out(&discard);
  dusk::play(in, out);
  return 0;
}
