#!/usr/bin/env python3
"""Many players at once through the network service's own launcher.

    net_test.py GAME LAUNCHER_TEMPLATE STORY [--players N] [--connect PORT]

The raw port's launcher, the ExecStart line of its template (the game's path
pointed at GAME), runs as the service would, listening on a free port of
127.0.0.1 in place of the Unix socket its front passes the players to; it gives
each game a user of its own, which needs root. With --connect, the players go
instead to PORT of 127.0.0.1, where a host serves the installed package (see
.ci/host.sh), and the processes are not counted. All players connect at once,
from 32 addresses of 127.0.0.0/8 as a crowd would; each plays its own
scripted game (a random walk through the menus, a part of the whole story, or
all of it), sending a few lines at a time, some with CR LF line ends. Each must
receive exactly what the console game prints for the same keys, with every LF
sent as CR LF. When the players are gone, every game and translator must have
ended by itself, and no process may be left.

Exits 0 when all is well, 1 on a failure, 77 (skipped) where socat is
missing or the test does not run as root. Only 127.0.0.1 is used; the whole run is
bounded by DEADLINE seconds.
"""

import argparse
import asyncio
import random
import signal
import socket
import tempfile
import time
from pathlib import Path

from net_support import (children_of, collect_orphans, console_transcript, fail, kill_children, live_children,
                         skip_unless_launcher_runs, start_server, wait_until)

DEADLINE = 180


# --- the players' scripts --------------------------------------------------------

def random_walk(seed):
    """Title and introduction, then menu numbers, blank lines and some garbage."""
    rng = random.Random(seed)
    lines = ["", "", ""]
    for _ in range(rng.randint(10, 80)):
        roll = rng.random()
        if roll < 0.12:
            lines.append("")
        elif roll < 0.18:
            lines.append(rng.choice(["x", "7777", "-1", "99999999999", " 2", "1 3"]))
        else:
            lines.append(rng.choice("1111223567804"))
    return lines


def scripts(count, story):
    """A different game for each player: (lines, whether the game ends by itself)."""
    result = []
    for player in range(count):
        if player % 100 == 99:
            # The whole story, after some looks at the statistics, ends with QUIT.
            result.append((story[:3] + ["3"] * (player // 100) + story[3:], True))
        elif player % 2:
            result.append((story[: 3 + player], False))
        else:
            result.append((random_walk(player), False))
    return result


# --- the players -------------------------------------------------------------------

def address_of(player):
    """Players come from 32 addresses, as many as the per-address cap lets play."""
    return f"127.0.0.{2 + player % 32}"


async def play(port, lines, crlf, ends_itself, seed):
    """Plays one game a few lines at a time; returns all the bytes received."""
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(address_of(seed), 0))
    writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    received = bytearray()

    async def read_all():
        try:
            while chunk := await reader.read(65536):
                received.extend(chunk)
        except ConnectionError:
            # A reset may have cost the player the end of the game.
            received.extend(b"\n[the connection was reset]")

    reading = asyncio.create_task(read_all())
    rng = random.Random(seed)
    end = "\r\n" if crlf else "\n"
    at = 0
    try:
        while at < len(lines) and not reading.done():
            step = len(lines) if ends_itself else rng.randint(1, 3)
            writer.write("".join(line + end for line in lines[at : at + step]).encode())
            await writer.drain()
            at += step
            await asyncio.sleep(rng.uniform(0, 0.03))
        if not ends_itself:
            writer.write_eof()
    except OSError:
        pass  # the game ended before the script did, and the connection with it
    await reading
    writer.close()
    return bytes(received)


async def play_all(port, games):
    return await asyncio.gather(
        *(play(port, lines, player % 3 == 1, ends_itself, player) for player, (lines, ends_itself, _) in enumerate(games))
    )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game")
    parser.add_argument("template")
    parser.add_argument("story")
    parser.add_argument("--players", type=int, default=500)
    parser.add_argument("--connect", type=int, help="the port of a host to play on")
    args = parser.parse_args()
    if not args.connect:
        skip_unless_launcher_runs()
    game = str(Path(args.game).resolve())
    story = Path(args.story).read_text().splitlines()

    games = [(lines, ends_itself, console_transcript(game, "".join(l + "\n" for l in lines).encode()))
             for lines, ends_itself in scripts(args.players, story)]
    if len({tuple(lines) for lines, _, _ in games}) != len(games):
        fail("two players have the same script")

    # Games whose translator is gone come to this process, to be counted.
    collect_orphans()

    def timeout(*_):
        raise TimeoutError(f"the test took more than {DEADLINE} s")

    signal.signal(signal.SIGALRM, timeout)
    signal.alarm(DEADLINE)
    if args.connect:
        started = time.monotonic()
        transcripts = asyncio.run(play_all(args.connect, games))
        played = time.monotonic() - started
        left = None
    else:
        transcripts, played, left = play_here(args.template, game, games)
    signal.alarm(0)
    report(games, transcripts, played, left)


def play_here(template, game, games):
    """The players on the launcher run here: (transcripts, time, processes left)."""
    with tempfile.NamedTemporaryFile(prefix="dusk-net-") as log:
        server, port = start_server(template, game, log)
        try:
            started = time.monotonic()
            transcripts = asyncio.run(play_all(port, games))
            played = time.monotonic() - started
            # Every game ends by itself once its player is gone.
            if not wait_until(lambda: not children_of(server.pid), 20):
                fail(f"{len(children_of(server.pid))} games still run after their players left")
        finally:
            server.terminate()
            server.wait()
            left = live_children()
            kill_children()
    return transcripts, played, left


def report(games, transcripts, played, left):
    if left:
        fail(f"{len(left)} processes were left after the players and the server: {left}")
    failures = 0
    for player, ((lines, _, expected), received) in enumerate(zip(games, transcripts)):
        wanted = expected.replace(b"\n", b"\r\n")
        if received != wanted:
            failures += 1
            if failures <= 5:
                at = next((i for i, (a, b) in enumerate(zip(received, wanted)) if a != b), min(len(received), len(wanted)))
                near = slice(max(0, at - 40), at + 40)
                print(f"player {player} ({len(lines)} lines): received {len(received)} bytes, expected {len(wanted)};"
                      f" they part at byte {at}: {received[near]!r} against {wanted[near]!r}")
    if failures:
        fail(f"{failures} of {len(games)} players did not receive the console game's transcript")
    total = sum(len(t) for t in transcripts)
    print(f"PASS: {len(games)} players at once, {total} bytes, every transcript the console game's, "
          f"played in {played:.1f} s{'' if left is None else '; no process left'}")


if __name__ == "__main__":
    main()
