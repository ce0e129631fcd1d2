#!/usr/bin/env python3
"""Checks the checker: plants one fault at a time in a copy of the game and runs the tests.

    python3 tests/plant_faults.py [--only TEXT] [--jobs N] [--keep]

Each fault moves one bound of one random draw by one (or forgets a halving, or
moves the level-up's stop at 99). The source tree is copied to a scratch folder
and built there once; each fault is then planted alone, the tests are built and
run, and the fault is taken out again. The report says, for every fault, which
tests failed. A fault that no test notices is a hole in the tests, unless no
input at all can tell it apart (the closing lines name those). Not run by CI: it
takes a while (one incremental build per fault).
"""

import argparse
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def bounds(path, template, low, high, label, halved=()):
    """The four faults of a draw written `template` with {low} and {high} in it:
    each bound one lower and one higher; `halved` adds (low, high, what) variants."""
    def moved(expression, by):
        if expression.isdigit():
            return str(int(expression) + by)
        return "%s %s 1" % (expression, "-" if by < 0 else "+")

    original = template.format(low=low, high=high)
    faults = []
    for end, expression in (("low", low), ("high", high)):
        for by in (-1, 1):
            other = dict(low=low, high=high)
            other[end] = moved(expression, by)
            faults.append((path, original, template.format(**other),
                           "%s: %s %+d" % (label, end, by)))
    for new_low, new_high, what in halved:
        faults.append((path, original, template.format(low=new_low, high=new_high),
                       "%s: %s" % (label, what)))
    return faults


def spell(message, low, high, label):
    """A spell's row in the spell table: its range is the row's last two numbers."""
    path = "src/battle/magic.cpp"
    row = re.search(r"^(.*" + re.escape(message) + r".*,\s*)(\d+),(\s*)(\d+)\},$",
                    (ROOT / path).read_text(), re.M)
    assert (int(row.group(2)), int(row.group(4))) == (low, high), row.group(0)
    faults = []
    for index, by in ((0, -1), (0, 1), (1, -1), (1, 1)):
        new = [low, high]
        new[index] += by
        faults.append((path, row.group(0), "%s%d,%s%d}," % (row.group(1), new[0], row.group(3),
                                                           new[1]),
                       "%s: %s %+d" % (label, ("low", "high")[index], by)))
    return faults


def faults():
    level_up, blows = "src/world/level_up.cpp", "src/battle/blows.cpp"
    moves = "src/battle/monster_moves.cpp"
    found = []
    found += bounds(level_up, "randomInRange(generator, {low}, {high}) * level", "10", "50",
                    "level-up hp gain")
    found += bounds(level_up, "randomInRange(generator, {low}, {high});", "level", "level * 10",
                    "level-up mp gain")
    found += bounds(level_up, "randomInRange(generator, {low}, {high}) + level;\n    hero.def",
                    "1", "10", "level-up attack gain")
    found += bounds(level_up, "randomInRange(generator, {low}, {high}) + level;\n    hero.next",
                    "1", "5", "level-up defence gain")
    due = "&& hero.level < kTopLevel;"
    for moved, limit in (("kTopLevel - 1", 98), ("kTopLevel + 1", 100)):
        found.append((level_up, due, due.replace("kTopLevel", moved),
                      "levels stop after level %d" % limit))
    halving = (("attack", "attack * 2", "low attack / 2 -> attack"),)
    found += bounds(blows, "hit = randomInRange(game.generator, {low}, {high});", "attack / 2",
                    "attack * 2", "hero's blow", halving)
    found += bounds(blows, "blow = randomInRange(game.generator, {low}, {high});", "attack / 2",
                    "attack * 2", "monster's blow", halving)
    found += bounds("src/battle/round.cpp", "randomInRange(game.generator, {low}, {high}) <",
                    "1", "100", "special move's chance")
    found += bounds(moves, "roll = randomInRange(game.generator, {low}, {high});", "1", "6",
                    "DOOM DICE roll")
    found += bounds(moves, "hp = randomInRange(game.generator, {low}, {high});", "1", "4",
                    "DOOM DICE hit points")
    found += bounds(moves, "drain = randomInRange(game.generator, {low}, {high});", "attack / 2",
                    "attack + attack / 2", "BLOOD DRAIN",
                    (("attack", "attack + attack / 2", "low attack / 2 -> attack"),
                     ("attack / 2", "attack + attack", "high attack + attack / 2 -> 2 attack")))
    found += bounds(moves, "blow = randomInRange(game.generator, {low}, {high});\n  const",
                    "attack / 2", "attack", "DUAL BLOW",
                    (("attack", "attack", "low attack / 2 -> attack"),))
    found += bounds(moves, "randomInRange(generator, {low}, {high}));\n      break;\n    case Move::heal",
                    "30", "120", "@FIRE")
    found += bounds(moves, "randomInRange(generator, {low}, {high});\n      game.monster.heal",
                    "16", "80", "*HEAL")
    a_halving = (("a", "2 * a", "low a / 2 -> a"),)
    found += bounds(moves, "randomInRange(generator, {low}, {high}) + 5", "a / 2", "2 * a",
                    "POISON SPORE", a_halving)
    found += bounds(moves, "2 * randomInRange(generator, {low}, {high})", "a / 2", "2 * a",
                    "CLEAVE", a_halving)
    found += bounds(moves, "randomInRange(generator, {low}, {high}));\n      break;\n    case Move::fireBreath",
                    "1", "2000", "ACID BREATH")
    found += bounds(moves, "randomInRange(generator, {low}, {high}));\n      break;\n    case Move::moonwalk",
                    "1", "3000", "FIRE BREATH")
    for message, low, high, label in (
            ("CASTING @FIRE...", 30, 120, "spell FIRE"), ("CASTING @ICE...", 70, 240, "spell ICE"),
            ("CASTING @BOLT...", 50, 180, "spell BOLT"), ("CASTING *CURE...", 16, 80, "spell CURE"),
            ("CASTING @FIRE2", 200, 600, "spell FIRE2"), ("CASTING @ICE2", 240, 700, "spell ICE2"),
            ("CASTING @BOLT2", 100, 1000, "spell BOLT2"),
            ("CASTING *CURE2", 200, 500, "spell CURE2")):
        found += spell(message, low, high, label)
    return found


# Faults that no input can tell apart from the game, and why.
UNTELLABLE = {
    "*HEAL": "no monster in the catalogue has the move *HEAL, so its draw is never made",
}


def run(command, cwd, quiet=True):
    return subprocess.run(command, cwd=cwd, capture_output=quiet, text=True, check=False)


def build(folder, jobs):
    done = run(["cmake", "--build", "build", "-j", str(jobs)], folder)
    if done.returncode != 0:
        raise SystemExit("plant_faults: the build failed\n" + done.stdout + done.stderr)


TRANSCRIPT = "Transcripts/ApprovedTranscript.PlaysExactlyAsApproved/"


def failing_tests(folder):
    """The tests that fail, each run alone as the suite runs them, so that one that
    crashes or never ends (a range whose low bound has passed its high one draws for
    ever) does not hide the others."""
    # The network tests compare the game with itself, so no planted fault shows there.
    done = run(["ctest", "--test-dir", "build", "-j2", "--timeout", "60", "-E",
                "^(terminal|network|telnet)$"], folder)
    failed = re.findall(r"^\s*\d+ - (\S+) \((.+)\)$",
                        done.stdout.split("The following tests FAILED:")[-1], re.M)
    if done.returncode != 0 and not failed:
        raise SystemExit("plant_faults: ctest failed\n" + done.stdout + done.stderr)
    if not failed:
        # The rest of the suite: the game in a real terminal.
        terminal = run(["ctest", "--test-dir", "build", "-R", "^terminal$"], folder)
        if terminal.returncode != 0:
            failed = [("terminal", "Failed")]
    return ["%s (%s)" % (name, how) if how != "Failed" else name for name, how in failed]


def short(test):
    return "transcript " + test[len(TRANSCRIPT):] if test.startswith(TRANSCRIPT) else test


def plant(folder, fault, jobs):
    path, old, new, _ = fault
    source = folder / path
    text = source.read_text()
    assert text.count(old) == 1, "not found once in %s: %r" % (path, old)
    source.write_text(text.replace(old, new))
    try:
        build(folder, jobs)
        return failing_tests(folder)
    finally:
        source.write_text(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--only", help="plant only the faults whose name holds this text")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    args = parser.parse_args()
    planted = [f for f in faults() if not args.only or args.only in f[3]]
    scratch = Path(tempfile.mkdtemp(prefix="dusk-faults-"))
    folder = scratch / "src-tree"
    shutil.copytree(ROOT, folder, ignore=shutil.ignore_patterns(".git", "build", "build-*",
                                                                  "*.unapproved.txt"))
    try:
        run(["cmake", "-S", ".", "-B", "build", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DCMAKE_CXX_COMPILER=g++"], folder)
        build(folder, args.jobs)
        if failing_tests(folder):
            raise SystemExit("plant_faults: the tests fail before any fault is planted")
        missed, by_transcripts, by_transcripts_alone = [], 0, 0
        for number, fault in enumerate(planted, 1):
            failed = plant(folder, fault, args.jobs)
            # The transcripts first, then the other tests.
            names = sorted((short(test) for test in failed),
                           key=lambda name: (not name.startswith("transcript "), name))
            shown = ", ".join(names[:5]) + (" and %d more" % (len(names) - 5)
                                            if len(names) > 5 else "")
            print("%3d %-40s %s" % (number, fault[3], shown or "NOT CAUGHT"), flush=True)
            transcripts = [name for name in names if name.startswith("transcript ")]
            if not failed:
                missed.append(fault[3])
            by_transcripts += bool(transcripts)
            by_transcripts_alone += bool(transcripts) and len(transcripts) == len(names)
        print("\n%d faults planted, %d caught; the transcripts catch %d, %d of them alone"
              % (len(planted), len(planted) - len(missed), by_transcripts, by_transcripts_alone))
        for label in missed:
            reason = next((why for key, why in UNTELLABLE.items() if label.startswith(key)), None)
            print("not caught: %s%s" % (label, " (%s)" % reason if reason else ""))
        sys.exit(1 if any(not any(l.startswith(k) for k in UNTELLABLE) for l in missed) else 0)
    finally:
        if not args.keep:
            shutil.rmtree(scratch)


if __name__ == "__main__":
    main()
