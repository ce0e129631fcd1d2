#!/usr/bin/env python3
"""Telnet clients through the telnet service's own launcher.

    telnet_test.py GAME LAUNCHER_TEMPLATE STORY [--players N] [--connect PORT]

The telnet port's launcher, the ExecStart line of its template (the game's
path pointed at GAME), runs as the service would, listening on a free port of
127.0.0.1 in place of the Unix socket its front passes the players to, with
TCP_NODELAY on each connection as the front gives it (without it each screen
that telnetd sends in two pieces waits some 40 ms for the player's
acknowledgement). For each connection it runs telnetd, which runs the game on
a pseudo-terminal, as a user of the game's own (which needs root). With
--connect, the players go instead to PORT of 127.0.0.1, where a host serves
the installed package (see .ci/host.sh), and the processes are not counted.
The players come from 32 addresses of 127.0.0.0/8, as a crowd would.

The players are telnet clients of three kinds, each answering the server's
options as it goes:
- one that opens with PuTTY's negotiation and sends a line at a time, ending
  it with CR LF;
- the same, ending lines with CR NUL, the telnet standard's bare carriage
  return;
- one that sends each key on its own, and now and then a wrong key and a
  Backspace (DEL) before the right one.
Each waits at every wait of the game for the whole screen before it types,
and checks that nothing more came: the game must hold each wait. What a player
sees is what the console game prints for the same lines, each LF as CR LF,
with the terminal's echo of the keys typed at each wait after its screen: the
keys, "\\b \\b" for a Backspace that erases one, and CR LF for Enter. No
negotiation byte may reach the game: one would be taken as a key, and the
screens would differ.

First one player of each kind, and the Linux `telnet` program on a
pseudo-terminal of its own, play the whole story alone, each checking for a
while at the first waits that nothing more comes; then N players (200 by
default) of the three kinds play at once, each a part of the story of another
length, a few of them the whole story. Every player must see exactly what it
should; then every game must have ended, and no process may be left.

Exits 0 when all is well, 1 on a failure, 77 (skipped) where telnetd or
socat is missing or the test does not run as root. Only 127.0.0.1 is used; the whole run is bounded by DEADLINE seconds.
"""

import argparse
import asyncio
import os
import pty
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from net_support import (children_of, collect_orphans, conclude, console_transcript, fail, kill_children, live_children,
                         skip_unless_launcher_runs, start_server, wait_until)

DEADLINE = 240
# How long a player waits for a screen, and how long it watches for more at a wait.
SCREEN_TIMEOUT = 30
SETTLE = 0.05

DEL = b"\x7f"
ERASED = b"\b \b"  # the terminal's echo of a Backspace that erases a key


# --- the telnet protocol, the client's side ---------------------------------------------

IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240
ECHO, SGA, TTYPE, NAWS, TSPEED, NEW_ENVIRON = 1, 3, 24, 31, 32, 39
IS, SEND = 0, 1

# PuTTY's Telnet type opens with these as soon as it connects.
OPENING = bytes([IAC, WILL, NAWS, IAC, WILL, TSPEED, IAC, WILL, TTYPE, IAC, WILL, NEW_ENVIRON,
                 IAC, DO, ECHO, IAC, WILL, SGA, IAC, DO, SGA])


class TelnetOptions:
    """A client's half of the option negotiation, as PuTTY's: it offers the
    window size, terminal type and speed, environment and SGA, and wants the
    server to echo and to suppress go-ahead; it refuses every other option and
    answers the server's requests for the terminal's details. feed() takes the
    bytes received and returns the data in them and the answer to send."""

    OURS = {NAWS, TSPEED, TTYPE, NEW_ENVIRON, SGA}
    THEIRS = {ECHO, SGA}
    DETAILS = {TTYPE: b"XTERM", TSPEED: b"38400,38400", NEW_ENVIRON: b""}

    def __init__(self):
        self.we_will = set(self.OURS)  # offered in the opening
        self.they_do = set(self.THEIRS)
        self.state = None
        self.command = None
        self.sub = bytearray()

    def feed(self, chunk):
        data, answer = bytearray(), bytearray()
        for byte in chunk:
            if self.state is None:
                if byte == IAC:
                    self.state = IAC
                else:
                    data.append(byte)
            elif self.state == IAC:
                self.state = None
                if byte == IAC:
                    data.append(IAC)
                elif byte in (WILL, WONT, DO, DONT):
                    self.state, self.command = "option", byte
                elif byte == SB:
                    self.state = "sub"
                    self.sub.clear()
            elif self.state == "option":
                answer += self.answer(self.command, byte)
                self.state = None
            elif self.state == "sub":
                if byte == IAC:
                    self.state = "sub IAC"
                else:
                    self.sub.append(byte)
            elif self.state == "sub IAC":
                self.state = "sub"
                if byte == SE:
                    answer += self.details(bytes(self.sub))
                    self.state = None
                else:
                    self.sub.append(byte)
        return bytes(data), bytes(answer)

    def answer(self, command, option):
        """The answer to one option: only changes are answered, so nothing loops."""
        if command == DO:
            if option not in self.OURS:
                return bytes([IAC, WONT, option])
            reply = b"" if option in self.we_will else bytes([IAC, WILL, option])
            self.we_will.add(option)
            if option == NAWS:
                reply += bytes([IAC, SB, NAWS, 0, 80, 0, 24, IAC, SE])
            return reply
        if command == WILL:
            if option not in self.THEIRS:
                return bytes([IAC, DONT, option])
            reply = b"" if option in self.they_do else bytes([IAC, DO, option])
            self.they_do.add(option)
            return reply
        mine, verb = (self.we_will, WONT) if command == DONT else (self.they_do, DONT)
        if option in mine:
            mine.discard(option)
            return bytes([IAC, verb, option])
        return b""

    def details(self, sub):
        if len(sub) < 2 or sub[1] != SEND or sub[0] not in self.DETAILS:
            return b""
        return bytes([IAC, SB, sub[0], IS]) + self.DETAILS[sub[0]] + bytes([IAC, SE])


# --- what each kind of player types and sees ---------------------------------------------

KINDS = ("CR LF", "CR NUL", "a key at a time")


def typing(kind, line, rng):
    """The writes that type one line, and the terminal's echo of them."""
    keys = line.encode()
    if kind == "a key at a time":
        writes, echo = [], b""
        for key in [keys[i : i + 1] for i in range(len(keys))] + [b""]:
            if rng.random() < 0.3:
                wrong = rng.choice(b"0123456789x")
                writes += [bytes([wrong]), DEL]
                echo += bytes([wrong]) + ERASED
            writes.append(key or b"\r\0")
            echo += key
        return writes, echo + b"\r\n"
    if kind == "telnet program":
        return [keys + b"\r"], keys + b"\r\n"
    return [keys + (b"\r\n" if kind == "CR LF" else b"\r\0")], keys + b"\r\n"


def story_screens(game, story):
    """For each number of lines of the story typed, what the console game
    prints next before it waits for more: screens[i] after i lines."""
    keys = ["".join(line + "\n" for line in story[:i]).encode() for i in range(len(story) + 1)]
    with ThreadPoolExecutor(os.cpu_count()) as pool:
        outputs = list(pool.map(lambda k: console_transcript(game, k), keys))
    for i in range(len(story)):
        if not outputs[i + 1].startswith(outputs[i]):
            fail(f"the console game's output for {i} lines of the story is not the start of that for {i + 1}")
    return [later[len(earlier):].replace(b"\n", b"\r\n") for earlier, later in zip([b""] + outputs, outputs)]


# --- the players -----------------------------------------------------------------------------

class Seen:
    """The bytes a player has seen so far, and news of more."""

    def __init__(self):
        self.data = bytearray()
        self.closed = False
        self.news = asyncio.Event()

    def add(self, data):
        self.data += data
        self.news.set()

    def close(self):
        self.closed = True
        self.news.set()

    async def at_least(self, size):
        while len(self.data) < size and not self.closed:
            self.news.clear()
            await asyncio.wait_for(self.news.wait(), SCREEN_TIMEOUT)


class TelnetClient:
    """A telnet client written here: a TCP connection with TelnetOptions."""

    # What a reset adds to what the player saw, to be judged with it. A reset
    # after the peer's end comes as a broken pipe, and ends the reading alike.
    RESET = b"[the connection was reset]"

    async def open(self, port, address):
        self.reader, self.writer = await self.connect(port, address)
        self.writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.seen, self.options = Seen(), TelnetOptions()
        self.writer.write(OPENING)
        self.reading = asyncio.create_task(self.read())

    async def connect(self, port, address):
        return await asyncio.open_connection("127.0.0.1", port, local_addr=(address, 0))

    async def read(self):
        try:
            while chunk := await self.reader.read(65536):
                data, answer = self.options.feed(chunk)
                if answer:
                    self.writer.write(answer)
                self.seen.add(data)
        except ConnectionError:
            self.seen.add(self.RESET)
        self.closed()
        self.seen.close()

    def closed(self):
        """Called as the connection ends, before the player is told."""

    async def type(self, keys):
        self.writer.write(keys)
        await self.writer.drain()

    async def leave(self):
        self.writer.write_eof()

    async def finish(self, failed):
        if failed:
            self.writer.transport.abort()
        await self.reading
        self.writer.close()


class TelnetProgram:
    """The Linux telnet client on a pseudo-terminal, as a player runs it. A
    terminal shows nothing for NUL, which telnetd sends now and then after its
    options: those are left out of what the player sees."""

    BANNER = b"Trying 127.0.0.1...\r\nConnected to 127.0.0.1.\r\nEscape character is '^]'.\r\n"
    FAREWELL = b"Connection closed by foreign host.\r\n"

    async def open(self, port, _):
        self.master, slave = pty.openpty()
        self.program = subprocess.Popen(["telnet", "127.0.0.1", str(port)], stdin=slave, stdout=slave,
                                        stderr=slave, start_new_session=True)
        os.close(slave)
        self.seen = Seen()
        asyncio.get_running_loop().add_reader(self.master, self.read)

    def read(self):
        try:
            chunk = os.read(self.master, 65536)
        except OSError:  # the program has ended and its terminal with it
            chunk = b""
        if chunk:
            self.seen.add(chunk.replace(b"\0", b""))
        else:
            asyncio.get_running_loop().remove_reader(self.master)
            self.seen.close()

    async def type(self, keys):
        os.write(self.master, keys)

    async def leave(self):
        pass

    async def finish(self, failed):
        if failed:
            self.program.kill()
        await asyncio.to_thread(self.program.wait, SCREEN_TIMEOUT)
        asyncio.get_running_loop().remove_reader(self.master)
        os.close(self.master)


async def play(client, kind, port, story, screens, length, seed, settle_waits):
    """Plays the first LENGTH lines of the story; returns None or what went wrong."""
    rng = random.Random(seed)
    await client.open(port, f"127.0.0.{2 + seed % 32}")
    seen, problem = client.seen, "it stopped"
    expected = bytearray(getattr(client, "BANNER", b""))
    try:
        for line in range(length + 1):
            expected += screens[line]
            if line == len(story):
                break  # the game has ended: what follows is checked below
            await seen.at_least(len(expected))
            if line < settle_waits:
                await asyncio.sleep(SETTLE)
            if seen.data != expected:
                problem = mismatch(seen.data, expected, line)
                return problem
            if line == length:
                break
            writes, echo = typing(kind, story[line], rng)
            for keys in writes:
                await client.type(keys)
                if kind == "a key at a time" and rng.random() < 0.1:
                    await asyncio.sleep(0.002)
            expected += echo
        if length < len(story):
            await client.leave()
        else:
            expected += getattr(client, "FAREWELL", b"")
        await seen.at_least(len(expected) + 1)  # the end, or what more came
        problem = None if seen.data == expected and seen.closed else mismatch(seen.data, expected, length)
        return problem
    except asyncio.TimeoutError:
        problem = mismatch(seen.data, expected, line) + f"; nothing more came for {SCREEN_TIMEOUT} s"
        return problem
    finally:
        await client.finish(problem is not None)


def mismatch(seen, expected, line):
    at = next((i for i, (a, b) in enumerate(zip(seen, expected)) if a != b), min(len(seen), len(expected)))
    near = slice(max(0, at - 50), at + 50)
    return (f"at line {line} of the story: saw {len(seen)} bytes, expected {len(expected)}; they part at byte "
            f"{at}: {bytes(seen[near])!r} against {bytes(expected[near])!r}")


async def play_alone(port, story, screens, with_program):
    """One player of each kind plays the whole story alone."""
    failures = []
    players = [(TelnetClient(), kind) for kind in KINDS]
    if with_program:
        players.append((TelnetProgram(), "telnet program"))
    for seed, (client, kind) in enumerate(players):
        started = time.monotonic()
        problem = await play(client, kind, port, story, screens, len(story), seed, 40)
        print(f"  {kind}: the whole story, {len(story)} lines, in {time.monotonic() - started:.1f} s"
              f"{': ' + problem if problem else ''}")
        if problem:
            failures.append(f"{kind}: {problem}")
    return failures


def lengths(players, story):
    """A part of the story of another length for each player; every fiftieth plays it all."""
    return [len(story) if player % 50 == 49 else 3 + (player * 37) % 150 for player in range(players)]


async def play_together(port, story, screens, players):
    games = [play(TelnetClient(), KINDS[player % 3], port, story, screens, length, 100 + player, 0)
             for player, length in enumerate(lengths(players, story))]
    return [f"player {player} ({KINDS[player % 3]}): {problem}"
            for player, problem in enumerate(await asyncio.gather(*games)) if problem]


# --- the server ---------------------------------------------------------------------------

def play_all(port, story, screens, players, with_program):
    """Each kind alone, then the crowd: (failures, the crowd's time)."""
    print("alone:")
    failures = asyncio.run(play_alone(port, story, screens, with_program))
    started = time.monotonic()
    failures += asyncio.run(play_together(port, story, screens, players))
    return failures, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game")
    parser.add_argument("template")
    parser.add_argument("story")
    parser.add_argument("--players", type=int, default=200)
    parser.add_argument("--connect", type=int, help="the port of a host to play on")
    args = parser.parse_args()
    game = str(Path(args.game).resolve())
    if not args.connect:
        if not shutil.which("telnetd", path=os.environ.get("PATH", "") + ":/usr/sbin"):
            print("SKIP: telnetd is not installed")
            sys.exit(77)
        if not os.access("/bin/busybox", os.X_OK):
            print("SKIP: busybox is not installed (the shell that waits with each telnet game)")
            sys.exit(77)
        skip_unless_launcher_runs()
    with_program = shutil.which("telnet") is not None
    story = Path(args.story).read_text().splitlines()
    screens = story_screens(game, story)

    collect_orphans()

    def timeout(*_):
        raise TimeoutError(f"the test took more than {DEADLINE} s")

    signal.signal(signal.SIGALRM, timeout)
    signal.alarm(DEADLINE)
    if args.connect:
        failures, played = play_all(args.connect, story, screens, args.players, with_program)
        left = []
    else:
        with tempfile.NamedTemporaryFile(prefix="dusk-telnet-") as log:
            server, port = start_server(args.template, game, log)
            try:
                failures, played = play_all(port, story, screens, args.players, with_program)
                if not wait_until(lambda: not children_of(server.pid), 20):
                    failures.append(f"{len(children_of(server.pid))} games still run after their players left")
            finally:
                server.kill()
                server.wait()
                left = live_children()
                kill_children()
    signal.alarm(0)
    conclude(failures, left, f"{args.players} telnet players at once, each with what it should see, played in "
             f"{played:.1f} s{'' if with_program else ' (the telnet program is not installed and was not tried)'}"
             f"{'' if args.connect else '; no process left'}")


if __name__ == "__main__":
    main()
