#include "town/items.hpp"

#include <iterator>

namespace dusk {
namespace {

// clang-format off
//                              name                   bonus  price
constexpr Item kWeapons[] = {   {"RUSTY SWORD",           10,    15},
                                {"BRONZE SWORD",          28,    50},
                                {"ANGURVADAL",            98,   600},
                                {"ASSASSIN BLADE",       273,  1500},
                                {"RENDING AXE",          460,  3000}};
constexpr Item kRagnarok        {"RAGNAROK",            9000,     1};

constexpr Item kArmours[] = {   {"LEATHER ARMOUR",         5,    10},
                                {"CHAINMAIL",             10,   100},
                                {"HALF PLATEMAIL",        15,   450},
                                {"AEGIS ARMOUR",          25,  2000},
                                {"WHITE DRAGON ARMOUR",   40,  5000}};
constexpr Item kRedDragonArmour {"RED DRAGON ARMOUR",    501,     1};
// clang-format on

// The shops number their items from 1 and then list SELL and BACK: a sixth item
// would take SELL's number.
static_assert(kSell == 6 && kSell < kBack, "SELL is 6, before BACK");
static_assert(std::size(kWeapons) < kSell, "the weapon shop's list outgrows its menu");
static_assert(std::size(kArmours) < kSell, "the armour shop's list outgrows its menu");

}  // namespace

std::span<const Item> weaponCatalogue() { return kWeapons; }
std::span<const Item> armourCatalogue() { return kArmours; }
const Item& hiddenWeapon() { return kRagnarok; }
const Item& hiddenArmour() { return kRedDragonArmour; }

}  // namespace dusk
