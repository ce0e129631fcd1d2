#include "session.hpp"

#include <fstream>
#include <iterator>

namespace dusk::test {

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string readStory() { return readFile(DUSK_TEST_DATA "/story.txt"); }

std::int32_t Predictor::next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<std::int32_t>((state_ >> 16) & 0x7FFFu);
}

std::int32_t Predictor::inRange(std::int32_t low, std::int32_t high) {
  std::int32_t value = next() % (high + 1);
  while (value < low) value = next() % (high + 1);
  return value;
}

}  // namespace dusk::test
