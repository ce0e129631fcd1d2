#!/usr/bin/env python3
"""Writes story.txt: the input of one whole game, from the title to ULTIMA WEAPON.

    python3 tests/data/make_story.py BUILD/dusk-lynx [tests/data/story.txt]

The game is deterministic and ends quietly where its input ends, so this script
plays it: it runs the game on the input written so far, looks at the screen
that waits for the next line, and appends that line. It plays as a careful
player would: it never lets the worst that the monster can do next kill the
hero; when no spell can make the hero safe it runs away, rests at the inn and
tries again later (the random numbers will have moved on by then).

See story.md for the stretches of the story and how long it takes.
"""

import re
import subprocess
import sys
from pathlib import Path

HIDDEN_ITEM = 7777
MAX_LINES = 20000  # far more than a whole story needs; stops a plan that goes round in circles

MAIN_MENU = "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n"
SHOPS_MENU = "\n*****SHOPS*****\n1:WEAPON SHOP\n2:ARMOUR SHOP\n3:MISC. SHOP\n4:INN\n5:BACK\n"
BATTLE_MENU = "\n*****BATTLE*****\n1:ATTACK\n2:DEFEND\n3:MAGIC\n4:STATS\n5:ITEM\n6:RUN\n"

# The screens that read a menu number, known by how they end. Any other ending
# is a pause, which takes one character: an empty line.
SCREEN_ENDINGS = [
    ("main", MAIN_MENU),
    ("shops", SHOPS_MENU),
    ("inn", "1:REST, PAY 50G\n2:BACK\n"),
    ("weaponShop", "5:RENDING AXE\t\t3000\n6:SELL\n7:BACK\n"),
    ("armourShop", "5:WHITE DRAGON ARMOUR\t5000\n6:SELL\n7:BACK\n"),
    ("confirm", "?\n1:BUY\n2:BACK\n"),
    ("area", "6:BOSS:LORD OCHU\n7:BACK\n"),
    ("area", "6:BOSS:DURAHAN\n7:BACK\n"),
    ("area", "6:BOSS:BLACK DRAGON\n7:BACK\n"),
    ("area", "4:RED DRAGON\n7:BACK"),
    ("area", "5:ULTIMA WEAPON\n\n7:BACK"),
    ("area", "1:THE MASTER\n7:BACK\n"),
    ("battle", BATTLE_MENU),
    ("where", "**FIGHT WHERE?**\n1:FOREST\n0:BACK\n"),
    ("where", "2:GRAVEYARD\n0:BACK\n"),
    ("where", "3:CAVES\n0:BACK\n"),
    ("where", "4:CASTLE\n0:BACK\n"),
    ("magic", "0:BACK\n"),  # after every FIGHT WHERE ending above
]

# name on the battle screen: (attack, special move)
MONSTERS = {
    "GOBLIN": (10, 0), "WOLF\t": (14, 0), "GNOLL\t": (20, 0), "DIRE BOAR": (26, 101),
    "LIZARDMAN": (30, 1), "LORD OCHU": (50, 100), "ZOMBIE": (20, 0), "SKELETON": (32, 0),
    "WRAITH": (28, 1), "NECROMANCER": (58, 103), "VAMPIRE": (100, 104), "DURAHAN": (120, 102),
    "BAT\t": (1, 104), "OGRE": (80, 0), "DROW": (50, 0), "HOOK HORROR": (190, 101),
    "UMBER HULK": (120, 0), "BLACK DRAGON": (350, 105), "RED DRAGON": (700, 106),
    "SORVANE TELLICK": (500, 107), "ULTIMA WEAPON": (1500, 108),
}

# Fights by name: (FIGHT WHERE number, FIGHT WHO number)
DIRE_BOAR, LORD_OCHU = (1, 4), (1, 6)
VAMPIRE, DURAHAN = (2, 5), (2, 6)
UMBER_HULK, BLACK_DRAGON = (3, 5), (3, 6)
CASTLE_BLACK_DRAGON, RED_DRAGON, ULTIMA_WEAPON = (4, 3), (4, 4), (4, 5)
THE_MASTER = (4, 1)

STATS = re.compile(
    r"LEVEL: (\d+)\tGOLD: (\d+)\nEXPERIENCE: (\d+)/(\d+)\nHEALTH: (-?\d+)/(\d+)\n"
    r"MANA  : (\d+)/(\d+)\nATTACK: (\d+)\nDEFNCE: (\d+)\nWEAPON: (.*)\nARMOUR: (.*)\n")
STATUS = re.compile(r"DUSK LYNX: \tHP:(-?\d+)/(\d+)\n\t\tMP:(\d+)/(\d+)\n\n(.*): \tHP:(-?\d+)/(\d+)\n")


def worst_blow(monster, defence, level):
    """The most that one action of the monster can take from the hero."""
    attack, move = MONSTERS[monster]
    ordinary = max(1, 2 * attack - defence)
    special = {
        1: 120,
        100: 2 * attack + 5,
        101: 2 * max(1, attack - defence),
        102: 4 * attack,
        103: 0 if level > 4 else 10**9,  # DOOM DICE kills outright up to level 4
        104: attack + attack // 2,
        105: 2000,
        106: 3000,
        107: 0,  # MOONWALK leaves the hero at 1 HP
        108: 9999,
    }.get(move, 0)
    return min(9999, max(ordinary, special))


class Player:
    def __init__(self, game):
        self.game = game
        self.lines = []
        self.output = ""
        self.stats = None
        self.stats_fresh = False
        self.plan = None
        self.spell = None

    def play(self):
        text = "".join(self.lines).encode()
        done = subprocess.run([self.game], input=text, capture_output=True, check=True)
        self.output = done.stdout.decode()

    def progress(self):
        out = self.output
        if "WHOLE WORLD CAN NOW REST IN PEACE." in out:
            return 999
        if "THE MASTER AWAITS..." in out:
            return 4
        return out.count("YOU CAN NOW FIGHT IN A NEW AREA!")

    def screen(self):
        for name, ending in SCREEN_ENDINGS:
            if self.output.endswith(ending):
                return name
        return "pause"

    def run(self):
        for _ in range(MAX_LINES):
            self.play()
            line = self.next_line()
            self.lines.append(line)
            if self.plan == "quit":
                self.play()
                return
        raise SystemExit("make_story: the story did not end within %d lines" % MAX_LINES)

    def next_line(self):
        screen = self.screen()
        if screen == "pause":
            if self.output.endswith("\nYOU WERE SLAIN.\n\tGAME OVER\n"):
                raise SystemExit("make_story: the hero died; the careful play has a hole")
            return "\n"
        return "%d\n" % getattr(self, "on_" + screen)()

    # The hub: look at the hero's sheet, then decide what to do next.
    def on_main(self):
        if not self.stats_fresh:
            self.stats_fresh = True
            return 3
        self.stats_fresh = False
        self.stats = self.read_stats()
        self.plan = self.choose_plan()
        if self.plan == "quit":
            return 4
        return 1 if isinstance(self.plan, tuple) else 2

    def read_stats(self):
        found = STATS.findall(self.output)[-1]
        keys = ["level", "gold", "exp", "next", "hp", "maxHp", "mp", "maxMp", "attack",
                "defence", "weapon", "armour"]
        return {k: (v if k in ("weapon", "armour") else int(v)) for k, v in zip(keys, found)}

    def choose_plan(self):
        s = self.stats
        if "YOU DEFEATED: ULTIMA WEAPON" in self.output:
            return "quit"
        if s["weapon"] != "RAGNAROK":
            return "weapon"
        if s["armour"] != "RED DRAGON ARMOUR":
            return "armour"
        target = self.choose_fight()
        boss = target in (LORD_OCHU, DURAHAN, BLACK_DRAGON, RED_DRAGON, THE_MASTER, ULTIMA_WEAPON)
        tired = s["hp"] < s["maxHp"] and (boss or s["hp"] <= s["maxHp"] // 2)
        if s["gold"] >= 50 and (tired or (boss and s["mp"] < s["maxMp"])):
            return "inn"
        return target

    def choose_fight(self):
        s, progress = self.stats, self.progress()
        strong = s["level"] >= 20  # CURE4 heals fully
        if progress == 0:
            return LORD_OCHU if s["maxHp"] > 150 else DIRE_BOAR
        if progress == 1:
            if s["maxHp"] > 1000:
                return DURAHAN
            return VAMPIRE if s["maxHp"] > 300 else DIRE_BOAR
        if progress == 2:
            return BLACK_DRAGON if strong and s["maxHp"] > 4000 else UMBER_HULK
        if progress == 3:
            if strong and s["maxHp"] > 6000:
                return RED_DRAGON
            return CASTLE_BLACK_DRAGON if strong and s["maxHp"] > 4000 else UMBER_HULK
        if progress == 4:
            return THE_MASTER if strong and s["maxMp"] >= 500 else UMBER_HULK
        # The story is over: the levels earned from the master come with the next
        # victory, and ULTIMA WEAPON needs more than 9999 HP and plenty of MP.
        if s["maxHp"] >= 20000 and s["maxMp"] >= 4000:
            return ULTIMA_WEAPON
        return CASTLE_BLACK_DRAGON

    def on_shops(self):
        return {"weapon": 1, "armour": 2, "inn": 4}[self.plan]

    def on_weaponShop(self):
        return HIDDEN_ITEM

    def on_armourShop(self):
        return HIDDEN_ITEM

    def on_confirm(self):
        return 1

    def on_inn(self):
        return 1

    def on_where(self):
        return self.plan[0]

    def on_area(self):
        return self.plan[1]

    # One round: strike while the monster's worst cannot kill, else heal, else run.
    def on_battle(self):
        hp, max_hp, mp, _, monster, _, _ = STATUS.findall(self.output)[-1]
        hp, max_hp, mp = int(hp), int(max_hp), int(mp)
        level = self.stats["level"]
        worst = worst_blow(monster, self.stats["defence"], level)
        if hp > worst:
            return 1
        cures = [(9, 50, 20, min(max_hp, 9999)), (8, 20, 12, 200), (4, 4, 4, 16)]
        for number, cost, from_level, least in cures:
            if level >= from_level and mp >= cost and min(max_hp, hp + least) > worst:
                self.spell = number
                return 3
        return 6

    def on_magic(self):
        return self.spell


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    target = Path(sys.argv[2]) if len(sys.argv) == 3 else Path(__file__).with_name("story.txt")
    player = Player(sys.argv[1])
    player.run()
    target.write_text("".join(player.lines))
    print("%s: %d lines, %d bytes of output" % (target, len(player.lines), len(player.output)))


if __name__ == "__main__":
    main()
