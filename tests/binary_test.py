#!/usr/bin/env python3
"""The game program itself, played through its standard input and output as a
script plays it: each approved transcript's input is piped into the program
(under its emulator when it is built for another machine) and what it prints
must be the approved output, byte for byte, with the status approved for it.

    tests/binary_test.py --data tests/data --version 1.6 [--windows] -- [EMULATOR...] PROGRAM

With --windows, the program is a Windows console program, which reads and
writes its standard streams as text:
  - what it prints is the approved output with every line end written CR LF;
  - a script with CR LF line ends replays the same game as with LF ones;
  - Ctrl-Z (then Enter) ends the input: the game ends there with status 0, as
    at the end of the input elsewhere.
Nothing may come on its standard error.
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

CTRL_Z = b"\x1a"


def manifest(folder):
    """The approved transcripts: (name, input file, status), from manifest.txt."""
    for line in (folder / "manifest.txt").read_text().splitlines():
        fields = line.split()
        if len(fields) == 3 and not line.startswith("#"):
            yield fields[0], folder / fields[1], int(fields[2])


def with_version(text, version):
    """The approved text as this build prints it: its title shows this version."""
    return re.sub(rb"(\*\*\*DUSK  LYNX\*\*\*\nV)[^\n]*", rb"\g<1>" + version.encode(), text)


def where_they_part(expected, actual):
    at = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b),
              min(len(expected), len(actual)))
    return (f"they part at byte {at} of {len(expected)} (got {len(actual)}):\n"
            f"  expected {expected[max(0, at - 60):at + 40]!r}\n"
            f"  actual   {actual[max(0, at - 60):at + 40]!r}")


class Player:
    def __init__(self, command):
        self.command = command
        self.failures = 0

    def play(self, data):
        done = subprocess.run(self.command, input=data, capture_output=True, timeout=120)
        if done.stderr:
            self.fail(f"the program wrote to its standard error: {done.stderr[:300]!r}")
        return done.stdout, done.returncode

    def fail(self, message):
        print("FAIL:", message)
        self.failures += 1

    def expect(self, what, data, output, status):
        actual, actual_status = self.play(data)
        if actual_status != status:
            self.fail(f"{what}: exit status {actual_status}, not {status}")
        if actual != output:
            self.fail(f"{what}: not the expected output; {where_they_part(output, actual)}")
        else:
            print(f"ok   {what} ({len(actual)} bytes)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    player = Player(args.command)
    folder = args.data / "transcripts"
    # As printed: LF, or CR LF on Windows.
    printed = (lambda text: text.replace(b"\n", b"\r\n")) if args.windows else (lambda text: text)

    for name, input_file, status in manifest(folder):
        script = input_file.read_bytes()
        approved = printed(with_version((folder / f"{name}.out").read_bytes(), args.version))
        player.expect(f"{name}", script, approved, status)
        if args.windows:
            player.expect(f"{name}, its script with CR LF", script.replace(b"\n", b"\r\n"),
                          approved, status)

    if args.windows:
        # At the main menu, Ctrl-Z and Enter; what follows (STATS, then QUIT)
        # is never read. The game ends as where the input ends.
        opening = b"\n\n\n"
        ended, _ = player.play(opening)
        if b"STATISTICS" in ended:
            player.fail("the opening alone already shows the statistics")
        for ending in (CTRL_Z + b"\r\n", CTRL_Z + b"\n", CTRL_Z):
            player.expect(f"Ctrl-Z {ending[1:]!r} at the main menu", opening + ending + b"3\r\n\r\n4\r\n",
                          ended, 0)

    if player.failures:
        sys.exit(1)


if __name__ == "__main__":
    main()
