#include "world/opponents.hpp"

#include <iterator>

#include "core/game.hpp"

namespace dusk {
namespace {

using enum Move;

constexpr bool kFixed = false;
constexpr bool kPerLevel = true;
constexpr bool kTab = true;  // a tab after the name in battle (see Opponent)
constexpr bool kNoTab = false;

// clang-format off
//                                  name                   maxHp  atk  def      exp  divided      gold move         chance  tab
constexpr Opponent kGoblin         {"GOBLIN",                30,   10,   0,      50, kPerLevel,      50, none,        25, kNoTab};
constexpr Opponent kWolf           {"WOLF",                 100,   14,   0,     100, kPerLevel,      60, none,        25, kTab};
constexpr Opponent kGnoll          {"GNOLL",                150,   20,   0,     150, kPerLevel,      80, none,        25, kTab};
constexpr Opponent kDireBoar       {"DIRE BOAR",            220,   26,   0,     200, kPerLevel,      90, dualBlow,    55, kNoTab};
constexpr Opponent kLizardman      {"LIZARDMAN",            260,   30,   0,     220, kPerLevel,     100, fire,        15, kNoTab};

constexpr Opponent kZombie         {"ZOMBIE",               120,   20,  30,     200, kPerLevel,      80, none,        25, kNoTab};
constexpr Opponent kSkeleton       {"SKELETON",             200,   32, 100,     400, kPerLevel,     150, none,        25, kNoTab};
constexpr Opponent kWraith         {"WRAITH",               180,   28, 300,    1000, kPerLevel,     300, fire,        74, kNoTab};
constexpr Opponent kNecromancer    {"NECROMANCER",          750,   58,   0,    1500, kPerLevel,     330, doomDice,    90, kNoTab};
constexpr Opponent kVampire        {"VAMPIRE",             1000,  100, 250,    3000, kPerLevel,     400, bloodDrain,  50, kNoTab};

constexpr Opponent kBat            {"BAT",                    3,    1,   0,       1, kFixed,          1, bloodDrain,  99, kTab};
constexpr Opponent kOgre           {"OGRE",                 840,   80,   0,    2000, kPerLevel,     300, none,        25, kNoTab};
constexpr Opponent kDrow           {"DROW",                1500,   50,  50,    2500, kPerLevel,     400, none,        25, kNoTab};
constexpr Opponent kHookHorror     {"HOOK HORROR",          700,  190, 300,    4000, kPerLevel,     500, dualBlow,    25, kNoTab};
constexpr Opponent kUmberHulk      {"UMBER HULK",          2000,  120, 400,    5000, kPerLevel,     750, none,        25, kNoTab};

constexpr const Opponent* kForest[] = {&kGoblin, &kWolf, &kGnoll, &kDireBoar, &kLizardman, &kLordOchu};
constexpr const Opponent* kGraveyard[] = {&kZombie, &kSkeleton, &kWraith, &kNecromancer, &kVampire, &kDurahan};
constexpr const Opponent* kCaves[] = {&kBat, &kOgre, &kDrow, &kHookHorror, &kUmberHulk, &kBlackDragon};
constexpr const Opponent* kCastle[] = {&kLordOchu, &kDurahan, &kBlackDragon, &kRedDragon};
// clang-format on

// A FIGHT WHO list numbers its opponents from 1 and tests them before BACK, so a
// list as long as BACK's number would silently give BACK's place to a monster.
// The CASTLE's list has ULTIMA WEAPON after its four. FIGHT WHO shows the last
// of an area's list as its boss.
static_assert(std::size(kForest) < kBack, "the FOREST's list outgrows its menu");
static_assert(std::size(kGraveyard) < kBack, "the GRAVEYARD's list outgrows its menu");
static_assert(std::size(kCaves) < kBack, "the CAVES' list outgrows its menu");
static_assert(std::size(kCastle) + 1 < kBack, "the CASTLE's list outgrows its menu");
static_assert(std::end(kForest)[-1] == &kLordOchu, "the FOREST's boss comes last");
static_assert(std::end(kGraveyard)[-1] == &kDurahan, "the GRAVEYARD's boss comes last");
static_assert(std::end(kCaves)[-1] == &kBlackDragon, "the CAVES' boss comes last");

}  // namespace

// The bosses, with ULTIMA WEAPON and the final boss, which have no area of their own.
// clang-format off
const Opponent kLordOchu       {"LORD OCHU",           3500,   50,   5,    1000, kFixed,        300, poisonSpore, 45, kNoTab};
const Opponent kDurahan        {"DURAHAN",             5000,  120, 200,   10000, kPerLevel,    1000, cleave,      80, kNoTab};
const Opponent kBlackDragon    {"BLACK DRAGON",       35000,  350, 300,   50000, kPerLevel,    5000, acidBreath,  25, kNoTab};
const Opponent kRedDragon      {"RED DRAGON",         50000,  700, 500,   25000, kPerLevel,   25000, fireBreath,  25, kNoTab};
const Opponent kSorvaneTellick {"SORVANE TELLICK",    99999,  500, 500, 1000000, kPerLevel,   99999, moonwalk,    25, kNoTab};
const Opponent kUltimaWeapon   {"ULTIMA WEAPON",    1500000, 1500, 500, 1000000, kFixed,    1000000, ultimaBeam,  25, kNoTab};
// clang-format on

std::span<const Opponent* const> forestOpponents() { return kForest; }
std::span<const Opponent* const> graveyardOpponents() { return kGraveyard; }
std::span<const Opponent* const> cavesOpponents() { return kCaves; }
std::span<const Opponent* const> castleOpponents() { return kCastle; }

}  // namespace dusk
