#!/usr/bin/env python3
"""Makes the approved transcripts: long games, their input and, on request, their output.

    make_transcripts.py                          writes every NAME.in (no game needed)
    make_transcripts.py --check BUILD/dusk-lynx  plays each NAME.in and checks that the
                                                 game did what the player foresaw
    make_transcripts.py --approve BUILD/dusk-lynx
                                                 also writes NAME.out and manifest.txt from
                                                 that build: only after a deliberate change
                                                 to the rules (see README.md)
    make_transcripts.py --only NAME ...          works on the named games alone

Making the inputs needs no built game. The player here keeps its own copy of the
game's rules and of its generator, so it knows before every round what each
choice would draw and bring. It uses that foresight to stay alive, and to steer
into rounds that would print other numbers if any bound of a draw were one off
(see README.md). Its other choices come from seeded random sources, so the
inputs are the same on every run. --check plays every input on the built game
and compares each battle status and statistics screen with what the player
foresaw, which tells at once when this copy of the rules has drifted from the
game's.
"""

import argparse
import copy
import random
import re
import subprocess
import sys
from array import array
from pathlib import Path

HERE = Path(__file__).resolve().parent
CAP = 9999


# --- the generator -----------------------------------------------------------


class Sequence:
    """The generator's values, by position from the start of a game."""

    def __init__(self):
        self.values = array("H")
        self.state = 1

    def extend(self, upto):
        values, state = self.values, self.state
        while len(values) <= upto:
            state = (state * 214013 + 2531011) & 0xFFFFFFFF
            values.append((state >> 16) & 0x7FFF)
        self.state = state


SEQ = Sequence()
SEQ.extend(1 << 16)


# --- the game's tables -------------------------------------------------------

# name: maxHp, attack, defence, experience, divided by the level, gold, move, chance
OPPONENTS = {
    "GOBLIN": (30, 10, 0, 50, True, 50, 0, 25),
    "WOLF\t": (100, 14, 0, 100, True, 60, 0, 25),
    "GNOLL\t": (150, 20, 0, 150, True, 80, 0, 25),
    "DIRE BOAR": (220, 26, 0, 200, True, 90, 101, 55),
    "LIZARDMAN": (260, 30, 0, 220, True, 100, 1, 15),
    "LORD OCHU": (3500, 50, 5, 1000, False, 300, 100, 45),
    "ZOMBIE": (120, 20, 30, 200, True, 80, 0, 25),
    "SKELETON": (200, 32, 100, 400, True, 150, 0, 25),
    "WRAITH": (180, 28, 300, 1000, True, 300, 1, 74),
    "NECROMANCER": (750, 58, 0, 1500, True, 330, 103, 90),
    "VAMPIRE": (1000, 100, 250, 3000, True, 400, 104, 50),
    "DURAHAN": (5000, 120, 200, 10000, True, 1000, 102, 80),
    "BAT\t": (3, 1, 0, 1, False, 1, 104, 99),
    "OGRE": (840, 80, 0, 2000, True, 300, 0, 25),
    "DROW": (1500, 50, 50, 2500, True, 400, 0, 25),
    "HOOK HORROR": (700, 190, 300, 4000, True, 500, 101, 25),
    "UMBER HULK": (2000, 120, 400, 5000, True, 750, 0, 25),
    "BLACK DRAGON": (35000, 350, 300, 50000, True, 5000, 105, 25),
    "RED DRAGON": (50000, 700, 500, 25000, True, 25000, 106, 25),
    "SORVANE TELLICK": (99999, 500, 500, 1000000, True, 99999, 107, 25),
    "ULTIMA WEAPON": (1500000, 1500, 500, 1000000, False, 1000000, 108, 25),
}
AREAS = {
    1: ["GOBLIN", "WOLF\t", "GNOLL\t", "DIRE BOAR", "LIZARDMAN", "LORD OCHU"],
    2: ["ZOMBIE", "SKELETON", "WRAITH", "NECROMANCER", "VAMPIRE", "DURAHAN"],
    3: ["BAT\t", "OGRE", "DROW", "HOOK HORROR", "UMBER HULK", "BLACK DRAGON"],
    4: ["LORD OCHU", "DURAHAN", "BLACK DRAGON", "RED DRAGON", "ULTIMA WEAPON"],
}
# Where each opponent is fought from: FIGHT WHERE and FIGHT WHO numbers.
WHERE = {name: (area, who + 1) for area in (3, 2, 1) for who, name in enumerate(AREAS[area])}
WHERE["RED DRAGON"] = (4, 4)
WHERE["ULTIMA WEAPON"] = (4, 5)
WHERE["SORVANE TELLICK"] = (4, 1)
STAGE_BOSSES = {"LORD OCHU": 0, "DURAHAN": 1, "BLACK DRAGON": 2, "RED DRAGON": 3}

# MAGIC menu number: name, cost, listed above this level, effect, low, high
SPELLS = {
    1: ("FIRE", 3, 2, "damage", 30, 120),
    2: ("BOLT", 4, 4, "damage", 50, 180),
    3: ("ICE", 5, 6, "damage", 70, 240),
    4: ("CURE", 4, 3, "heal", 16, 80),
    5: ("FIRE2", 22, 9, "damage", 200, 600),
    6: ("ICE2", 24, 12, "damage", 240, 700),
    7: ("BOLT2", 28, 13, "damage", 100, 1000),
    8: ("CURE2", 20, 11, "heal", 200, 500),
    9: ("CURE4", 50, 19, "full", 0, 0),
}
DAMAGE_SPELLS = [n for n, s in SPELLS.items() if s[3] == "damage"]
MOVES = {1: "@FIRE", 100: "POISON SPORE", 101: "DUAL BLOW", 102: "CLEAVE", 103: "DOOM DICE",
         104: "BLOOD DRAIN", 105: "ACID BREATH", 106: "FIRE BREATH"}
HIDDEN = 7777
WEAPONS = [("RUSTY SWORD", 10, 15), ("BRONZE SWORD", 28, 50), ("ANGURVADAL", 98, 600),
           ("ASSASSIN BLADE", 273, 1500), ("RENDING AXE", 460, 3000)]
ARMOURS = [("LEATHER ARMOUR", 5, 10), ("CHAINMAIL", 10, 100), ("HALF PLATEMAIL", 15, 450),
           ("AEGIS ARMOUR", 25, 2000), ("WHITE DRAGON ARMOUR", 40, 5000)]
SHOP_ITEMS = {1: dict(enumerate(WEAPONS, 1)), 2: dict(enumerate(ARMOURS, 1))}
SHOP_ITEMS[1][HIDDEN] = ("RAGNAROK", 9000, 1)
SHOP_ITEMS[2][HIDDEN] = ("RED DRAGON ARMOUR", 501, 1)

# Every random draw of the game, by the place that makes it.
SITES = ["hp gain", "mp gain", "attack gain", "defence gain", "hero blow", "monster blow",
         "move chance", "@FIRE", "POISON SPORE", "DUAL BLOW", "CLEAVE", "DOOM DICE",
         "DOOM DICE hp", "BLOOD DRAIN", "ACID BREATH", "FIRE BREATH"] + [
         SPELLS[n][0] for n in (1, 3, 2, 4, 5, 6, 7, 8)]


# --- the game, as the player foresees it ----------------------------------------


class Hang(Exception):
    """A range with its low bound above its high one: the game would draw for ever."""


def moved(kind, low, high, whole):
    """A range with one bound moved by one, or without one of its halvings."""
    low, high = {"low-1": (low - 1, high), "low+1": (low + 1, high),
                 "high-1": (low, high - 1), "high+1": (low, high + 1),
                 "whole low": (whole[0] if whole else low, high),
                 "whole high": (low, whole[1] if whole else high)}[kind]
    if low > high:
        raise Hang()
    return low, high


class Game:
    """The player's copy of the game's rules: the records, the generator's position
    and the input typed so far. A copy made with foresee() types nothing and keeps
    only the draws of what it tries."""

    def __init__(self):
        self.pos = 0
        self.lines = []
        self.pending = False  # a typed number leaves its line break unread
        self.draws = []
        self.shown = []  # battle statuses and statistics screens, for --check
        self.said = None  # the numbers a foreseen round prints
        self.mutation = None  # a bound moved, in a foreseen round: (site, kind)
        self.over = False
        self.hp = self.max_hp = self.mp = self.max_mp = self.attack = self.defence = 0
        self.weapon, self.weapon_attack, self.weapon_price = "UNARMED", 0, 0
        self.armour, self.armour_defence, self.armour_price = "OLD CLOTHES", 0, 0
        self.gold = self.level = self.exp = self.next_exp = self.progress = 0
        self.monster = None
        self.m_hp = self.m_max = self.m_attack = self.m_defence = 0
        self.m_exp = self.m_gold = self.m_move = self.m_chance = 0
        self.new_game()

    def foresee(self):
        other = copy.copy(self)
        other.lines = other.shown = None
        other.draws, other.said = [], []
        return other

    def branch(self):
        """A copy that plays on and can be kept (commit) or thrown away."""
        other = copy.copy(self)
        other.lines, other.draws, other.shown = [], [], []
        return other

    def commit(self, other):
        lines, draws, shown = self.lines, self.draws, self.shown
        lines.extend(other.lines)
        draws.extend(other.draws)
        shown.extend(other.shown)
        self.__dict__.update(other.__dict__)
        self.lines, self.draws, self.shown = lines, draws, shown

    # input
    def choose(self, number):
        if self.lines is not None:
            self.lines.append("%d\n" % number)
        self.pending = True

    def pause(self):
        if self.pending:
            self.pending = False
        elif self.lines is not None:
            self.lines.append("\n")

    def draw(self, site, low, high, whole=None):
        """randomInRange at the place `site`; `whole` is what a halved bound would be
        without its halving."""
        if self.mutation and self.mutation[0] == site:
            low, high = moved(self.mutation[1], low, high, whole)
        values, pos, rejected = SEQ.values, self.pos, ()
        if pos + 64 >= len(values):
            SEQ.extend(pos + (1 << 16))
            values = SEQ.values
        while True:
            r = values[pos] % (high + 1)
            pos += 1
            if r >= low:
                break
            rejected += (r,)
        self.pos = pos
        self.draws.append((site, low, high, rejected, r, whole))
        return r

    def say(self, number):
        if self.said is not None:
            self.said.append(number)

    # the hero
    @property
    def total_attack(self):
        return self.attack + self.weapon_attack

    @property
    def total_defence(self):
        return self.defence + self.armour_defence

    def new_game(self):
        self.level, self.gold, self.next_exp = 1, 50, 100
        self.hp = self.max_hp = 50
        self.mp = self.max_mp = 20
        self.attack, self.defence = 10, 0
        self.weapon, self.weapon_attack, self.weapon_price = "UNARMED", 0, 0
        self.armour, self.armour_defence, self.armour_price = "OLD CLOTHES", 0, 0
        self.progress = 0
        for _ in range(3):
            self.pause()
        self.to_main()

    def to_main(self):
        if self.max_hp > 9999 and self.progress != 999:
            self.max_hp = 9999
        self.hp = min(self.hp, self.max_hp)
        self.max_mp = min(self.max_mp, 9999)
        self.mp = max(0, min(self.mp, self.max_mp))
        self.attack = min(self.attack, 999)
        self.defence = min(self.defence, 999)
        if self.level > 99:
            self.level, self.next_exp = 100, 9999999
        self.exp = min(self.exp, 9999999)

    def strike_hero(self, amount):
        amount = max(amount, 1)
        self.hp -= min(amount, CAP)
        self.say(amount)

    def damage_monster(self, amount):
        self.m_hp -= max(1, min(amount, CAP) - self.m_defence)
        self.say(min(amount, CAP))

    def heal_monster(self, amount):
        self.m_hp = min(self.m_hp + min(amount, CAP), self.m_max)

    def heal_hero(self, amount):
        self.hp = min(self.hp + min(amount, CAP), self.max_hp)

    def show_stats(self):
        if self.shown is not None:
            self.shown.append(("stats", self.level, self.gold, self.exp, self.next_exp, self.hp,
                               self.max_hp, self.mp, self.max_mp, self.total_attack,
                               self.total_defence, self.weapon, self.armour))
        self.pause()

    # the main menu and the town
    def stats(self):
        self.choose(3)
        self.show_stats()
        self.to_main()

    def restart(self):
        self.choose(5)
        self.new_game()

    def quit(self):
        self.choose(4)
        self.over = True

    def inn(self):
        self.choose(2)
        self.choose(4)
        self.choose(1)
        if self.gold >= 50:
            self.hp, self.mp = self.max_hp, self.max_mp
            self.gold -= 50
            self.pause()
        self.to_main()

    def buy(self, shop, number):
        name, bonus, price = SHOP_ITEMS[shop][number]
        self.choose(2)
        self.choose(shop)
        self.choose(number)
        self.choose(1)
        held = self.weapon if shop == 1 else self.armour
        if held == name or self.gold < price:
            self.pause()
            self.choose(5)
        else:
            self.gold -= price
            if shop == 1:
                self.weapon, self.weapon_attack, self.weapon_price = name, bonus, price
            else:
                self.armour, self.armour_defence, self.armour_price = name, bonus, price
            self.pause()
        self.to_main()

    def sell(self, shop):
        self.choose(2)
        self.choose(shop)
        self.choose(6)
        if shop == 1 and self.weapon != "UNARMED":
            self.choose(1)
            self.gold += -(-self.weapon_price * 3 // 4)
            self.weapon, self.weapon_attack, self.weapon_price = "UNARMED", 0, 0
        elif shop == 2 and self.armour != "OLD CLOTHES":
            self.choose(1)
            self.gold += self.armour_price * 3 // 4
            self.armour, self.armour_defence, self.armour_price = "OLD CLOTHES", 0, 0
        self.pause()
        self.choose(5)
        self.to_main()

    # choosing a fight
    def fight(self, name):
        assert self.can_fight(name), name
        area, who = WHERE[name]
        self.choose(1)
        self.choose(area)
        self.choose(who)
        if name == "ULTIMA WEAPON":
            self.pause()
        elif name == "SORVANE TELLICK":
            self.pause()
            self.pause()
        hp, attack, defence, exp, divided, gold, move, chance = OPPONENTS[name]
        self.monster, self.m_hp, self.m_max = name, hp, hp
        self.m_attack, self.m_defence = attack, defence
        self.m_exp = exp // self.level if divided else exp
        self.m_gold, self.m_move, self.m_chance = gold, move, chance

    def can_fight(self, name):
        area = WHERE[name][0]
        if name == "SORVANE TELLICK":
            return self.progress == 4
        if area == 4:
            return self.progress == 999 or (self.progress == 3 and name != "ULTIMA WEAPON")
        return self.progress >= area - 1

    def can_cast(self, number):
        _, cost, above, _, _, _ = SPELLS[number]
        return self.level > above and self.mp >= cost

    # one round of a battle: "attack", "defend", "run", "stats" or a MAGIC menu number
    def round(self, action):
        if self.shown is not None:
            self.shown.append(("status", self.hp, self.max_hp, self.mp, self.max_mp, self.monster,
                               self.m_hp, self.m_max))
        if action == "attack":
            self.choose(1)
            if self.hp == 777:
                self.damage_monster(7777)
            else:
                t = self.total_attack
                self.damage_monster(self.draw("hero blow", t // 2, t * 2, (t, None)))
        elif action == "defend":
            self.choose(2)
        elif action == "run":
            self.choose(6)
            self.gold = max(0, self.gold - 100)
            self.pause()
            self.to_main()
            return "ran"
        elif action == "stats":
            self.choose(4)
            self.show_stats()
            return "again"
        else:
            self.choose(3)
            self.choose(action)
            if self.level > SPELLS[action][2]:
                if self.mp < SPELLS[action][1]:
                    self.pause()
                    return "again"
                self.cast(action)
        if self.enemy_turn() == "instant death":
            self.pause()
            self.over = True
            return "lost"
        self.pause()
        if self.hp <= 0:
            self.pause()
            self.over = True
            return "lost"
        if self.m_hp <= 0:
            self.victory()
            return "won"
        return "again"

    def cast(self, number):
        name, cost, _, effect, low, high = SPELLS[number]
        self.mp -= cost
        if effect == "damage":
            self.damage_monster(self.draw(name, low, high))
        else:
            amount = self.draw(name, low, high) if effect == "heal" else self.max_hp
            self.heal_hero(amount)
            self.say(amount)

    def enemy_turn(self):
        if self.m_move and self.draw("move chance", 1, 100) < self.m_chance:
            return self.special()
        a = self.m_attack
        self.strike_hero(self.draw("monster blow", a // 2, a * 2, (a, None)) - self.total_defence)
        return None

    def special(self):
        move, a = self.m_move, self.m_attack
        if move == 1:
            self.strike_hero(self.draw("@FIRE", 30, 120))
        elif move == 100:
            self.strike_hero(self.draw("POISON SPORE", a // 2, 2 * a, (a, None)) + 5)
        elif move == 101:
            d = self.draw("DUAL BLOW", a // 2, a, (a, None)) - self.total_defence
            self.strike_hero(d)
            self.strike_hero(d)
        elif move == 102:
            self.strike_hero(2 * self.draw("CLEAVE", a // 2, 2 * a, (a, None)))
        elif move == 103:
            roll = self.draw("DOOM DICE", 1, 6)
            self.say(roll)
            if roll == 6:
                if self.level <= 4:
                    return "instant death"
                self.hp = self.draw("DOOM DICE hp", 1, 4)
        elif move == 104:
            d = self.draw("BLOOD DRAIN", a // 2, a + a // 2, (a, a + a))
            self.strike_hero(d)
            self.heal_monster(d)
            self.say(d)
        elif move == 105:
            self.strike_hero(self.draw("ACID BREATH", 1, 2000))
        elif move == 106:
            self.strike_hero(self.draw("FIRE BREATH", 1, 3000))
        elif move == 107:
            self.hp = 1
        elif move == 108:
            self.strike_hero(CAP)
        return None

    def victory(self):
        self.exp += self.m_exp
        self.gold = min(self.gold + self.m_gold, 2**31 - 1)
        self.pause()
        if self.monster == "SORVANE TELLICK":
            for _ in range(3 + 5):  # the ending, then the credits
                self.pause()
            self.progress = 999
        else:
            if STAGE_BOSSES.get(self.monster) == self.progress:
                self.progress += 1
            self.pause()
            if self.exp >= self.next_exp and self.level <= 99:
                self.level_up()
        self.to_main()

    def level_up(self):
        while True:
            self.level += 1
            level = self.level
            self.max_hp += self.draw("hp gain", 10, 50) * level
            self.max_mp += self.draw("mp gain", level, level * 10)
            self.attack += self.draw("attack gain", 1, 10) + level
            self.defence += self.draw("defence gain", 1, 5) + level
            self.next_exp += level * 100
            self.pause()
            if not (self.exp >= self.next_exp and self.level <= 99):
                break

    def worst_blow(self, name=None):
        """The most that the monster's (or the named one's) next action can take."""
        a, move = (self.m_attack, self.m_move) if name is None else (OPPONENTS[name][1],
                                                                     OPPONENTS[name][6])
        ordinary = max(1, 2 * a - self.total_defence)
        special = {1: 120, 100: 2 * a + 5, 101: 2 * max(1, a - self.total_defence), 102: 4 * a,
                   103: 0 if self.level > 4 else 10**9, 104: a + a // 2, 105: 2000, 106: 3000,
                   108: CAP}.get(move, 0)
        return min(CAP, max(ordinary, special))


# --- what the draws have shown ------------------------------------------------------

# The faults that each place of drawing can have: a bound one too low or too high,
# or a halved bound without its halving.
KINDS = {site: ["low-1", "low+1", "high-1", "high+1"] for site in SITES}
for _site in ("hero blow", "monster blow", "POISON SPORE", "DUAL BLOW", "CLEAVE", "BLOOD DRAIN"):
    KINDS[_site].append("whole low")
KINDS["BLOOD DRAIN"].append("whole high")


class Tally:
    """How many rounds so far would have looked different with each fault: a round
    counts for a fault when, played again with that one bound moved, it prints
    other numbers or leaves the records otherwise. It also counts the ends of each
    range that came up, for the report: 'low-1' is a value one below the range that
    was drawn and thrown away, 'low' and 'high' the ends themselves."""

    def __init__(self, want):
        self.want = want  # (site, kind) -> how many rounds we look for
        self.count = {}
        self.ends = {}

    def branch(self):
        other = copy.copy(self)
        other.count, other.ends = dict(self.count), dict(self.ends)
        return other

    def commit(self, other):
        self.count, self.ends = other.count, other.ends

    def wanted(self, key):
        return self.count.get(key, 0) < self.want.get(key, 0)

    def add(self, shown, draws):
        for key in shown:
            self.count[key] = self.count.get(key, 0) + 1
        for site, low, high, rejected, r, _ in draws:
            for kind, came in (("draws", True), ("low-1", low >= 1 and low - 1 in rejected),
                               ("low", r == low), ("high", r == high)):
                if came:
                    self.ends[site, kind] = self.ends.get((site, kind), 0) + 1

    def missing(self):
        return {k: n - self.count.get(k, 0) for k, n in self.want.items() if self.wanted(k)}


def wanted_faults(times, rare=None):
    """Every fault of every place of drawing, `times` rounds each (fewer where `rare` says)."""
    return {(site, kind): (rare or {}).get(site, times) for site in SITES for kind in KINDS[site]}


def signature(game, outcome):
    """What a player sees of a round: the numbers printed and the records shown after it."""
    return (outcome, game.hp, game.mp, game.m_hp, game.max_hp, game.max_mp, game.attack,
            game.defence, tuple(game.said))


def revealed(before, action, after, outcome, tally, sites=None):
    """The wanted faults that would change what this round shows: `after` is a foreseen
    copy of the round played from `before`."""
    candidates = []
    for site, low, high, rejected, r, whole in after.draws:
        if sites is not None and site not in sites:
            continue
        for kind in KINDS[site]:
            key = (site, kind)
            if key in candidates or not tally.wanted(key):
                continue
            # A bound moved inwards changes a draw only where the draw hit the old
            # bound; moved outwards, only where a value just outside came up.
            if ((kind == "low-1" and (low < 1 or low - 1 not in rejected))
                    or (kind == "low+1" and r != low) or (kind == "whole low" and r >= whole[0])):
                continue
            candidates.append(key)
    shown = []
    seen = signature(after, outcome)
    for key in candidates:
        other = before.foresee()
        other.mutation = key
        try:
            differs = signature(other, other.round(action)) != seen
        except Hang:
            differs = True
        if differs:
            shown.append(key)
    return shown


# --- playing a battle ------------------------------------------------------------


class Style:
    """How the player fights: how far ahead it hunts for rounds that show wanted
    faults (and of which places), and how it chooses otherwise. A harmless hunt
    keeps the monster above half its hit points, so that a long hunt does not end
    the fight."""

    def __init__(self, weights, depth=0, harmless=False, sites=None, limit=3000, last=False):
        self.weights, self.depth, self.harmless = weights, depth, harmless
        self.sites, self.limit = sites, limit
        self.last = last  # the hunt ends the fight: its last round need only be survived


def choices(game):
    """What the hero can do in a round that gives the monster its turn. DEFEND and
    CURE4 draw nothing, so CURE4 stands in for DEFEND when the hero needs it."""
    rest = 9 if game.can_cast(9) and game.hp < game.max_hp // 2 else "defend"
    return ["attack", rest] + [n for n in range(1, 9) if game.can_cast(n)]


def try_round(game, action):
    other = game.foresee()
    return other, other.round(action)


def comfortable(other, outcome):
    return outcome == "won" or (outcome == "again" and other.hp > other.worst_blow())


def alive(other, outcome):
    return outcome == "won" or (outcome == "again" and other.hp > 0)


def play_round(game, tally, action):
    """Plays a round for real and counts the faults that it shows."""
    other, outcome = try_round(game, action)
    if outcome in ("won", "again", "lost") and action not in ("run", "stats"):
        tally.add(revealed(game, action, other, outcome, tally), other.draws)
    return game.round(action)


def hunt(game, tally, style):
    """The shortest safe run of actions that ends in a round showing a wanted fault."""
    frontier, seen, tried = [(game, ())], {game.pos}, 0
    for _ in range(style.depth):
        later = []
        for state, path in frontier:
            for action in choices(state):
                other, outcome = try_round(state, action)
                tried += 1
                if not alive(other, outcome):
                    continue
                if not (alive if style.last else comfortable)(other, outcome) or (
                        style.harmless and other.m_hp * 2 < other.m_max):
                    continue
                if revealed(state, action, other, outcome, tally, style.sites):
                    return path + (action,)
                if outcome == "again" and other.pos not in seen:
                    seen.add(other.pos)
                    later.append((other, path + (action,)))
        if not later or tried > style.limit:
            return None
        frontier = later
    return None


def pick(game, rng, weights):
    """A safe action chosen at random by weight; a heal when nothing keeps the hero
    out of reach of the monster's worst; running away when nothing at all is safe."""
    options = []
    for action in choices(game):
        other, outcome = try_round(game, action)
        if alive(other, outcome):
            options.append((action, comfortable(other, outcome), (outcome == "won", other.hp)))
    pool = [a for a, ok, _ in options if ok]
    if not pool:
        heals = [a for a, _, _ in options if a in (4, 8, 9)]
        if heals or not options:
            return max(heals) if heals else "run"
        return max(options, key=lambda option: option[2])[0]
    pool = [a for a in pool if weights(game, a) > 0] or pool
    return rng.choices(pool, [max(weights(game, a), 1e-9) for a in pool])[0]


def battle(game, tally, rng, style):
    """Fights the current monster to the end of the fight; shows the statistics after a
    victory that brought levels which the screen can still tell apart."""
    outcome, level = "again", game.level
    while outcome == "again":
        path = hunt(game, tally, style) if style.depth else None
        for action in path or (pick(game, rng, style.weights),):
            outcome = play_round(game, tally, action)
            if outcome != "again":
                break
    if outcome == "won" and game.level != level and (game.attack < 999 or game.defence < 999):
        game.stats()
    return outcome


def hunt_in_fight(game, tally, style):
    """Steers the current fight to the nearest round that shows a wanted fault of
    `style.sites`, then runs away. False when no such round is within reach."""
    path = hunt(game, tally, style)
    if path is None:
        return False
    for action in path:
        outcome = play_round(game, tally, action)
    if outcome == "again":
        game.round("run")
    return outcome != "lost"


def attempt(game, tally, rng, plan):
    """Plays `plan` on a copy of the game and keeps it only when it says it succeeded."""
    other, counted, chance = game.branch(), tally.branch(), random.Random()
    chance.setstate(rng.getstate())
    if not plan(other, counted, chance):
        return False
    game.commit(other)
    tally.commit(counted)
    rng.setstate(chance.getstate())
    return True


# --- checking the foresight against the game ------------------------------------

SHOWN = re.compile(
    r"\nDUSK LYNX: \tHP:(-?\d+)/(\d+)\n\t\tMP:(-?\d+)/(\d+)\n\n(.*?): \tHP:(-?\d+)/(\d+)\n"
    r"|LEVEL: (\d+)\tGOLD: (\d+)\nEXPERIENCE: (\d+)/(\d+)\nHEALTH: (-?\d+)/(\d+)\n"
    r"MANA  : (\d+)/(\d+)\nATTACK: (\d+)\nDEFNCE: (\d+)\nWEAPON: (.*)\nARMOUR: (.*)\n")


def shown_by(output):
    for m in SHOWN.finditer(output):
        if m.group(1) is not None:
            yield ("status",) + tuple(int(x) for x in m.groups()[0:4]) + (
                m.group(5), int(m.group(6)), int(m.group(7)))
        else:
            g = m.groups()[7:]
            yield ("stats",) + tuple(int(x) for x in g[0:10]) + (g[10], g[11])


def play(binary, text):
    done = subprocess.run([binary], input=text.encode(), capture_output=True, check=False)
    return done.stdout, done.returncode


def check(binary, name, text, foreseen):
    """Plays the input on the built game; fails where it shows what was not foreseen."""
    output, status = play(binary, text)
    actual = list(shown_by(output.decode("latin-1")))
    for i, (want, got) in enumerate(zip(foreseen, actual)):
        if want != got:
            raise SystemExit("%s: screen %d foreseen as %r but the game showed %r"
                             % (name, i, want, got))
    if len(actual) != len(foreseen):
        raise SystemExit("%s: %d screens foreseen, the game showed %d"
                         % (name, len(foreseen), len(actual)))
    return output, status


# --- the games -------------------------------------------------------------------

BOSSES = ["LORD OCHU", "DURAHAN", "BLACK DRAGON", "RED DRAGON", "SORVANE TELLICK"]


def attack_mostly(game, action):
    return 50 if action == "attack" else 1


def rest(game, part=1):
    """The inn, when hit or magic points are below `part` of their maximum."""
    if (game.hp < game.max_hp * part or game.mp < game.max_mp * part) and game.gold >= 50:
        game.inn()


def fight_and_win(name, style):
    def plan(game, tally, rng):
        game.fight(name)
        return battle(game, tally, rng, style) == "won"
    return plan


def mean_hit(game, name):
    """What the hero's blow takes from the named monster, on average."""
    t, defence = game.total_attack, OPPONENTS[name][2]
    return sum(max(1, h - defence) for h in range(t // 2, 2 * t + 1)) / (1.5 * t + 1)


def mean_blow(game, name):
    """What the named monster's turn takes from the hero, on average (its special move
    counted at its worst)."""
    a, chance = OPPONENTS[name][1], OPPONENTS[name][7] if OPPONENTS[name][6] else 0
    ordinary = sum(max(1, r - game.total_defence) for r in range(a // 2, 2 * a + 1)) / (1.5 * a + 1)
    special = min(game.worst_blow(name), CAP)
    return ordinary * (1 - chance / 100) + special * chance / 100


class Climb:
    """A player without the hidden items: it buys what it can afford, fights what
    its level can stand, from the GOBLIN to the BLACK DRAGON, and at last stands and
    dies."""

    def __init__(self, tally, rng, lines):
        self.game, self.tally, self.rng, self.lines = Game(), tally, rng, lines
        self.fought = {}

    def play(self):
        game = self.game
        game.stats()
        menus = 0
        while len(game.lines) < self.lines:
            menus += 1
            if menus % 12 == 0:
                game.stats()
            if game.hp * 2 < game.max_hp and game.gold < 50:
                game.sell(1 if game.weapon_price >= game.armour_price else 2)
            rest(game, 0.5)
            self.shop()
            name = self.opponent()
            game.fight(name)
            self.fought[name] = self.fought.get(name, 0) + 1
            battle(game, self.tally, self.rng, Style(self.weights, depth=3))
        self.last_stand()
        return game

    def shop(self):
        game = self.game
        for shop, held, items in ((1, game.weapon_price, WEAPONS), (2, game.armour_price, ARMOURS)):
            better = [n for n, (_, _, price) in enumerate(items, 1)
                      if held < price <= game.gold + held * 3 // 4 - 50]
            if better:
                if held:
                    game.sell(shop)
                game.buy(shop, max(better))

    def opponent(self):
        """A fight that lasts but that the hero can stand, the rarer the likelier."""
        game, fit = self.game, []
        for name, (hp, _, _, exp, divided, *_rest) in OPPONENTS.items():
            if not game.can_fight(name) or name in ("ULTIMA WEAPON", "SORVANE TELLICK"):
                continue
            rounds = hp / mean_hit(game, name)
            if name == "GOBLIN" or (game.worst_blow(name) * 3 <= game.max_hp and rounds <= 60
                                    and rounds * mean_blow(game, name) <= game.max_hp * 0.6):
                fit.append(name)
        wanted = {site for site, _ in self.tally.missing()}
        return self.rng.choices(fit, [(1 + 3 * (MOVES.get(OPPONENTS[n][6]) in wanted))
                                      / (1 + self.fought.get(n, 0)) for n in fit])[0]

    def weights(self, game, action):
        if action == "attack":
            return 6
        if action == "defend":
            return 0.5
        if action in DAMAGE_SPELLS:
            return 1.5 if SPELLS[action][5] > game.m_defence else 0.2
        return 0

    def last_stand(self):
        game = self.game
        rest(game)
        game.fight(max((n for n in OPPONENTS if game.can_fight(n)), key=game.worst_blow))
        while not game.over:
            game.round("defend")


class Story:
    """A player with the hidden items, which it buys first: the story to its end by
    the shortest safe way, each boss as soon as foresight says that it can be
    beaten, else the monster that pays the most experience."""

    GRIND = ["UMBER HULK", "HOOK HORROR", "VAMPIRE", "OGRE", "DROW", "NECROMANCER", "WRAITH",
             "SKELETON", "ZOMBIE", "LIZARDMAN", "DIRE BOAR", "GNOLL\t", "WOLF\t", "GOBLIN"]

    def __init__(self, tally, rng):
        self.game, self.tally, self.rng = Game(), tally, rng
        self.boss_style = Style(attack_mostly, depth=2)

    def win(self, name, style=None):
        return attempt(self.game, self.tally, self.rng, fight_and_win(name, style or self.boss_style))

    def story(self):
        game = self.game
        game.stats()
        game.buy(1, HIDDEN)
        game.buy(2, HIDDEN)
        while game.progress != 999:
            rest(game)
            boss = BOSSES[game.progress]
            if self.win(boss):
                continue
            level = game.level
            grind = sorted((n for n in self.GRIND if game.can_fight(n)),
                           key=lambda n: -(OPPONENTS[n][3] // (level if OPPONENTS[n][4] else 1)))
            if not any(self.win(name) for name in grind):
                raise SystemExit("nothing can be fought safely")


# Where a new game's hero at level 100 goes to draw a special move: the bosses on
# the way, then the monster that has the move. Anything else is drawn against
# LORD OCHU. (Blows on the hero land as 1 through its armour at that level: they
# are shown by heroes of level 1.)
HUNTS = {
    "FIRE BREATH": BOSSES[:4],
    "ACID BREATH": BOSSES[:3],
    "CLEAVE": BOSSES[:2],
    "BLOOD DRAIN": ["LORD OCHU", "VAMPIRE"],
    "DOOM DICE": ["LORD OCHU", "NECROMANCER"],
    "DOOM DICE hp": ["LORD OCHU", "NECROMANCER"],
    "@FIRE": ["LIZARDMAN"],
}
AT_THE_TOP = set(HUNTS) | {"move chance", "POISON SPORE"} | {s[0] for s in SPELLS.values()}
# What the first fight of a new game shows: a level-1 hero wears no armour and its
# blow is small; the levels that its victory brings stay below the limits.
AT_THE_BOTTOM = {"hero blow", "monster blow", "DUAL BLOW", "@FIRE", "hp gain", "mp gain",
                 "attack gain", "defence gain"}


class Summit(Story):
    """The story; then new games whose first victory takes a level-1 hero to some
    forty levels at once; then LORD OCHU again and again for his fixed 1000
    experience, which stops at level 99 on the way (485100 to 494999 experience,
    statistics shown) before the level that costs the most (statistics again at
    100); then new games whose first victory takes the hero from 1 to 100, which
    moves the generator far on at little cost, each steering a fight onto a round
    that shows a fault still wanted."""

    def __init__(self, tally, rng, cycles):
        super().__init__(tally, rng)
        self.cycles = cycles
        self.missed = {}  # new games in a row that found no wanted round of a move

    def play(self):
        self.story()
        self.new_games(AT_THE_BOTTOM, self.low_game)
        self.to_the_top()
        self.new_games(AT_THE_TOP, self.high_game)
        self.game.stats()
        self.game.quit()
        return self.game

    def to_the_top(self):
        """LORD OCHU until level 100 and 505000 experience, with statistics at 99 and 100."""
        game, shown = self.game, False
        if game.level == 1:
            # The last new game may have ended with a run from its first fight.
            game.restart()
            game.buy(1, HIDDEN)
            self.win("GOBLIN")
        style = Style(attack_mostly, depth=3)
        # Past 505000 a level-up loop that forgot to stop at 100 would go on.
        while game.level < 100 or game.exp < 505000:
            rest(game, 0.5)
            if not self.win("LORD OCHU", style):
                raise SystemExit("summit: LORD OCHU could not be beaten")
            if game.level in (99, 100) and shown != game.level:
                game.stats()
                shown = game.level

    def new_games(self, sites, new_game):
        for _ in range(self.cycles):
            missing = {site for site, _ in self.tally.missing()} & sites
            if not missing:
                break
            self.game.restart()
            new_game(missing)

    def low_game(self, missing):
        """A first fight at level 1, whichever shows the most wanted faults: unarmed
        against the GOBLIN for the blows; with the hidden sword against a monster whose
        move is wanted; or a round of the DIRE BOAR's, run away from, after none to
        three rounds of the GOBLIN's (a level-1 hero outlives one DUAL BLOW, and without
        armour every number of it shows)."""
        style = Style(attack_mostly, depth=3)
        best, most = self.first_fight("GOBLIN", True, style), 0
        plans = [("DUAL BLOW", self.first_fight("DIRE BOAR", True, style)),
                 ("@FIRE", self.first_fight("LIZARDMAN", True, style)),
                 ("hero blow", self.first_fight("GOBLIN", False, style)),
                 ("monster blow", self.first_fight("GOBLIN", False, style))]
        plans += [("DUAL BLOW", self.one_round("DIRE BOAR", rounds)) for rounds in range(4)]
        for site, plan in plans:
            if site in missing:
                tally, other, chance = self.tally.branch(), self.game.branch(), random.Random()
                chance.setstate(self.rng.getstate())
                if plan(other, tally, chance):
                    shown = sum(tally.count.values()) - sum(self.tally.count.values())
                    if shown > most:
                        best, most = plan, shown
        if not attempt(self.game, self.tally, self.rng, best):
            raise SystemExit("summit: a level-1 hero could not win its first fight")

    @staticmethod
    def first_fight(name, armed, style):
        def plan(game, tally, rng):
            if armed:
                game.buy(1, HIDDEN)
            game.fight(name)
            return battle(game, tally, rng, style) == "won"
        return plan

    @staticmethod
    def one_round(name, rounds):
        """`rounds` rounds of defending against the GOBLIN, then one of `name`'s that
        shows a wanted fault of its move, running away from both."""
        def plan(game, tally, rng):
            if rounds:
                game.fight("GOBLIN")
                for _ in range(rounds):
                    if play_round(game, tally, "defend") != "again":
                        return False
                game.round("run")
            game.fight(name)
            return hunt_in_fight(game, tally,
                                 Style(None, depth=1, sites={MOVES[game.m_move]}, last=True))
        return plan

    def high_game(self, missing):
        self.game.buy(1, HIDDEN)
        self.win("GOBLIN")
        for site in [s for s in HUNTS if s in missing] + [None]:
            # A short hunt is cheaper than a long one, but a new game moves the generator
            # some 450 draws on: after a few misses, one long hunt before the round passes.
            depth = 40 if self.missed.get(site, 0) < 3 else 150
            if self.steer(HUNTS.get(site, ["LORD OCHU"]), {site} if site else missing, depth):
                self.missed[site] = 0
                return
            self.missed[site] = self.missed.get(site, 0) + 1

    def steer(self, chain, sites, depth):
        """Beats the bosses of `chain` but the last, in whose fight it steers onto a round
        that shows a wanted fault of `sites` (then runs away); nothing is kept when no
        such round is within `depth` rounds."""
        style = Style(None, depth=depth, harmless=True, sites=sites, limit=20000)

        def plan(game, tally, rng):
            rest(game)
            for boss in chain[:-1]:
                if not fight_and_win(boss, self.boss_style)(game, tally, rng):
                    return False
            game.fight(chain[-1])
            return hunt_in_fight(game, tally, style)
        return attempt(self.game, self.tally, self.rng, plan)


class Ultima(Story):
    """The story, then ULTIMA WEAPON again and again until the experience reaches its
    limit of 9999999, the next level's cost at level 100: only there would a victory
    that forgot the level's limit raise the hero further. Statistics, one more
    victory, statistics."""

    def play(self):
        game = self.game
        self.story()
        style = Style(lambda g, a: 1000 if a == "attack" else 1, depth=1)
        # The levels that the master's experience brings come with the next victory.
        self.win("GOBLIN")
        while game.exp < 9999999:
            rest(game)
            if not self.win("ULTIMA WEAPON", style):
                raise SystemExit("ultima: ULTIMA WEAPON could not be beaten")
        game.stats()
        self.win("GOBLIN")
        game.stats()
        game.quit()
        return game


# --- the transcripts ---------------------------------------------------------------

# Every fault of every draw, shown by two rounds; those of the two breaths, whose
# lowest values come up once in some ten thousand draws, by one.
WANT = wanted_faults(2, {"ACID BREATH": 1, "FIRE BREATH": 1})

# name, seed, how it is played; each game hunts only the faults that those before it
# have not shown.
GAMES = [
    ("climb", 7, lambda tally, rng: Climb(tally, rng, 3000).play()),
    ("summit", 11, lambda tally, rng: Summit(tally, rng, 80).play()),
    ("ultima", 13, lambda tally, rng: Ultima(tally, rng).play()),
]
STORY = ("story", HERE.parent / "story.txt")


def make():
    """Plays every game; yields its name, its input, what it shows and the tally so far."""
    tally = Tally(WANT)
    for name, seed, player in GAMES:
        game = player(tally, random.Random(seed))
        yield name, "".join(game.lines), game.shown, tally
    for key, short in sorted(tally.missing().items()):
        print("not shown: %s %s (%d more rounds wanted)" % (key + (short,)), file=sys.stderr)


def coverage(tally):
    """The draws of every place, the ends of its range that came up, and how many
    rounds would have shown each of its faults."""
    kinds = ["low-1", "low+1", "high-1", "high+1", "whole low", "whole high"]
    rows = ["%-13s %6s %5s %4s %4s |%s" % ("draw", "draws", "low-1", "low", "high",
                                             "".join("%11s" % k for k in kinds))]
    for site in SITES:
        ends = [tally.ends.get((site, k), 0) for k in ("draws", "low-1", "low", "high")]
        shown = ["%11s" % (tally.count.get((site, k), 0) if k in KINDS[site] else "-")
                 for k in kinds]
        rows.append("%-13s %6d %5d %4d %4d |%s" % ((site,) + tuple(ends) + ("".join(shown),)))
    return "\n".join(rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", metavar="GAME", help="play the inputs on this built game")
    parser.add_argument("--approve", metavar="GAME",
                        help="write the outputs of this built game as the approved ones")
    parser.add_argument("--only", nargs="*", help="the games to work on (all by default)")
    parser.add_argument("--coverage", action="store_true",
                        help="print the draws made and the faults they show")
    args = parser.parse_args()
    binary = args.approve or args.check
    manifest = ["# name input exit-status: one approved transcript, NAME.out, per line"]
    for name, text, shown, tally in make():
        if args.only and name not in args.only:
            continue
        (HERE / (name + ".in")).write_text(text)
        line = "%s %s.in" % (name, name)
        if binary:
            output, status = check(binary, name, text, shown)
            line += " %d" % status
            if args.approve:
                (HERE / (name + ".out")).write_bytes(output)
            print("%s: %d lines in, %d bytes out, status %d" % (name, text.count("\n"),
                                                               len(output), status))
        manifest.append(line)
    if args.coverage:
        print(coverage(tally))
    if args.approve and not args.only:
        output, status = play(args.approve, STORY[1].read_text())
        (HERE / "story.out").write_bytes(output)
        manifest.insert(1, "story ../story.txt %d" % status)
        (HERE / "manifest.txt").write_text("\n".join(manifest) + "\n")
        print("story: %d bytes out, status %d" % (len(output), status))


if __name__ == "__main__":
    main()
