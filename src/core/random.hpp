#pragma once
// The game's only source of chance. Our own generator, so that the same input
// replays the same game on every platform: it starts from the same state in
// every run and is never reseeded, not even by a new game.

#include <cstdint>

namespace dusk {

class Generator {
 public:
  // The next value, from 0 to 32767.
  std::int32_t next();

 private:
  std::uint32_t state_ = 1;
};

// A value from low to high, both included: draws until a value modulo high + 1
// is at least low. Callers keep 0 <= low <= high and low <= 32767, or it would
// draw for ever.
std::int32_t randomInRange(Generator& generator, std::int32_t low, std::int32_t high);

}  // namespace dusk
