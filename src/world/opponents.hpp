#pragma once
// The monster catalogue: 21 distinct opponents behind 24 menu slots. The
// CASTLE list repeats the three area bosses; its slots refer to the very same
// rows, so the victory screen recognises a boss wherever it was fought.

#include <cstdint>
#include <span>

#include "core/records.hpp"

namespace dusk {

// The bosses that move the story on.
extern const Opponent kLordOchu;
extern const Opponent kDurahan;
extern const Opponent kBlackDragon;
extern const Opponent kRedDragon;
extern const Opponent kSorvaneTellick;
extern const Opponent kUltimaWeapon;

// The FIGHT WHO lists, menu number 1 first.
std::span<const Opponent* const> forestOpponents();
std::span<const Opponent* const> graveyardOpponents();
std::span<const Opponent* const> cavesOpponents();
// Slots 1 to 4 of the CASTLE; slot 5, once the story is over, is kUltimaWeapon.
std::span<const Opponent* const> castleOpponents();

}  // namespace dusk
