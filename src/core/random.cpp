#include "core/random.hpp"

namespace dusk {

std::int32_t Generator::next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<std::int32_t>((state_ >> 16) & 0x7FFFu);
}

std::int32_t randomInRange(Generator& generator, std::int32_t low, std::int32_t high) {
  std::int32_t value = 0;
  do {
    value = generator.next() % (high + 1);
  } while (value < low);
  return value;
}

}  // namespace dusk
