#!/usr/bin/env python3
"""The network service's cost: many players at once on 127.0.0.1.

    python3 bench/net_measure.py --game build/release/dusk-lynx [--telnet] [--players 500]
        [--rounds 20] [--alone 1000] [--port PORT] [--spread SECONDS]

As root, the raw port's launcher (the ExecStart line of
packaging/systemd/dusk-lynx-games.service.in, the game's path pointed at
--game) runs here as the tests run it, listening on 127.0.0.1 with TCP_NODELAY
in place of the Unix socket its front reaches it on; it starts each game
through dusk-lynx-play. With --telnet it is the telnet port's launcher
instead (telnetd in place of socat's translation), and each player opens with
PuTTY's negotiation, answers the server's and sees the terminal's echo of its
keys before each screen. What this leaves out is the front (HAProxy) and the
units' sandbox.

It measures:
- the time for all the players, connecting at once, to reach the main menu
  (each presses Enter at the title and the introduction as they appear);
- the memory of each player's processes (socat's fork and the game, or
  telnetd, its script and the game), proportional set size from
  /proc/PID/smaps_rollup, while all sit at the main menu, and with --port
  each player's share of the fronts and launchers;
- the CPU time of each player's arrival: what those processes have used
  (/proc/PID/schedstat) from the connection to the main menu;
- the time from a line sent (3, the statistics, then the main menu again) to
  the last byte of the screen that follows: all players at once, --rounds each,
  then one player alone, --alone times. The players' own sockets have
  TCP_NODELAY too, so only the server's side is measured.

With --port, the players go instead to the service already listening on
127.0.0.1:PORT (the installed units in .ci/host.sh's container, say), from 40
loopback addresses so as to stay within the cap on an address; --game then
only tells the expected screens, and the memory is that of every game and the
processes above it up to the launcher, plus the share of each player in the
HAProxy and socat processes that serve all (the fronts and launchers).
"""

import argparse
import asyncio
import socket
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests"))
import tempfile  # noqa: E402

from net_support import children_of, console_transcript, start_server  # noqa: E402
from telnet_test import OPENING, TelnetOptions  # noqa: E402


# --- the players -----------------------------------------------------------------

def screens(game, telnet):
    """The bytes a player receives after each key: the title, three Enters, 3;
    through telnetd, each after the terminal's echo of the key."""
    keys = ["", "\n", "\n\n", "\n\n\n", "\n\n\n3\n"]
    outputs = [console_transcript(game, k.encode()).replace(b"\n", b"\r\n") for k in keys]
    shown = [later[len(earlier):] for earlier, later in zip([b""] + outputs, outputs)]
    if telnet:
        shown = shown[:1] + [echo + screen for echo, screen in zip([b"\r\n"] * 3 + [b"3\r\n"], shown[1:])]
    return shown


class TelnetReader:
    """The data of a telnet connection, the options answered on the way."""

    def __init__(self, reader, writer):
        self.reader, self.writer = reader, writer
        self.options, self.data = TelnetOptions(), bytearray()
        writer.write(OPENING)

    async def readexactly(self, size):
        while len(self.data) < size:
            chunk = await self.reader.read(65536)
            if not chunk:
                raise asyncio.IncompleteReadError(bytes(self.data), size)
            data, answer = self.options.feed(chunk)
            self.writer.write(answer)
            self.data += data
        taken = bytes(self.data[:size])
        del self.data[:size]
        return taken

    async def read(self):
        return await self.reader.read()


async def player(port, shown, at_menu, go, rounds, times, telnet, source=None):
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=source and (source, 0))
    writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    if telnet:
        reader = TelnetReader(reader, writer)

    async def expect(screen):
        if await reader.readexactly(len(screen)) != screen:
            raise RuntimeError("a player received the wrong screen")

    await expect(shown[0])
    for screen in shown[1:4]:
        writer.write(b"\r\n")
        await expect(screen)
    at_menu.append(time.monotonic())
    await go.wait()
    for _ in range(rounds):
        sent = time.perf_counter()
        writer.write(b"3\r\n")
        await expect(shown[4])
        times.append(time.perf_counter() - sent)
    writer.write(b"4\r\n")
    await reader.read()
    writer.close()


def costs(activator, telnet):
    """Proportional and resident set sizes in KiB, and CPU time used in ms, of
    each player's processes beside the game (socat's fork, or telnetd and its script),
    of the game, and of the processes that serve all players (none here, or
    the fronts and launchers of an installed service)."""

    def sizes(pids):
        total = {"Pss": 0, "Rss": 0, "CPU": 0.0}
        for pid in pids:
            lines = Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines()
            fields = dict(line.split(":", 1) for line in lines if ":" in line)
            total["Pss"] += int(fields["Pss"].split()[0])
            total["Rss"] += int(fields["Rss"].split()[0])
            total["CPU"] += int(Path(f"/proc/{pid}/schedstat").read_text().split()[0]) / 1e6
        return total

    # Other processes on the machine come and go meanwhile.
    def parent(pid):
        try:
            return Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[1]
        except OSError:
            return "0"

    def name(pid):
        try:
            return Path(f"/proc/{pid}/comm").read_text().strip()
        except OSError:
            return ""

    def environ(pid):
        try:
            return Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
        except OSError:
            return []

    def games_user(pid):
        """A game of the service (each has a user of its own, from 2^30 up), not
        a game that another test on this machine plays."""
        try:
            return name(pid) == "dusk-lynx" and (Path(f"/proc/{pid}").stat().st_uid >> 30) > 0
        except OSError:
            return False

    def below(pid):
        return [pid] + [low for child in children_of(pid) for low in below(child)]

    if activator:
        players = [below(translator) for translator in children_of(activator.pid)]
        shared = []
    else:
        players = []
        for game in (p.name for p in Path("/proc").iterdir() if p.name.isdigit() and games_user(p.name)):
            chain = [game]
            while name(parent(chain[-1])) in ("telnetd", "dusk-lynx-termi"):
                chain.append(parent(chain[-1]))
            # On the raw port, socat's fork for this player, below the launcher.
            if name(parent(chain[-1])) == "socat" and name(parent(parent(chain[-1]))) == "socat":
                chain.append(parent(chain[-1]))
            players.append(chain)
        # This port's front and launcher: what serves the players above.
        launchers = {parent(chain[-1]) for chain in players}
        games_socket = f"DUSK_GAMES=/run/dusk-lynx{'-telnet' if telnet else ''}-games/games".encode()
        fronts = [p.name for p in Path("/proc").iterdir() if p.name.isdigit() and name(p.name) == "haproxy"
                  and games_socket in environ(p.name)]
        shared = sorted(launchers) + fronts
    translators = [[pid for pid in player if name(pid) != "dusk-lynx"] for player in players]
    games = [[pid for pid in player if name(pid) == "dusk-lynx"] for player in players]
    return [sizes(pids) for pids in translators], [sizes(pids) for pids in games], sizes(shared)


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def report_times(label, times):
    ms = [t * 1000 for t in times]
    print(f"  {label}: {len(ms)} lines, median {statistics.median(ms):.2f} ms, 90th percentile "
          f"{percentile(ms, 0.9):.2f} ms, 99th {percentile(ms, 0.99):.2f} ms, at most {max(ms):.2f} ms")


async def crowd(port, shown, players, rounds, activator, telnet, spread=0):
    at_menu, times, go = [], [], asyncio.Event()
    started = time.monotonic()
    sources = [None] * players if activator else [f"127.0.2.{n % 40 + 1}" for n in range(players)]
    tasks = []
    for n, source in enumerate(sources):
        tasks.append(asyncio.create_task(player(port, shown, at_menu, go, rounds, times, telnet, source)))
        if spread and n % 100 == 99:
            await asyncio.sleep(spread * 100 / players)
    while len(at_menu) < players:
        await asyncio.sleep(0.01)
        for task in tasks:
            if task.done() and task.exception():
                raise task.exception()
    print(f"  {players} players connecting {f'over {spread} s' if spread else 'at once'}, all at the main menu after "
          f"{max(at_menu) - started:.2f} s (half of them after {statistics.median(at_menu) - started:.2f} s)")
    translators, games, shared = costs(activator, telnet)
    for name, measured in (("telnetd and its script" if telnet else "socat's fork", translators),
                           ("the game", games)):
        print(f"  {name}, {len(measured)} players: {statistics.mean(m['Pss'] for m in measured):.0f} KiB "
              f"proportional each, {statistics.mean(m['Rss'] for m in measured):.0f} KiB resident, "
              f"{statistics.mean(m['CPU'] for m in measured):.1f} ms of CPU each to the main menu")
    if shared["Pss"]:
        print(f"  the fronts and launchers: {shared['Pss']} KiB proportional in all, {shared['Pss'] / players:.0f} KiB"
              " a player")
    total = sum(m["Pss"] for m in translators + games) + shared["Pss"]
    cpu = sum(m["CPU"] for m in translators + games)
    print(f"  memory per player: {total / players:.0f} KiB proportional, {total / 1024:.1f} MiB for all {players}")
    print(f"  CPU time of an arrival (from the connection to the main menu): {cpu / players:.1f} ms a player")
    go.set()
    await asyncio.gather(*tasks)
    report_times(f"all {players} players, {rounds} lines each, a line sent to the next screen received", times)


async def alone(port, shown, rounds, telnet):
    times, go = [], asyncio.Event()
    go.set()
    await player(port, shown, [], go, rounds, times, telnet)
    report_times("one player alone, a line sent to the next screen received", times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--telnet", action="store_true", help="the telnet port's service and telnet players")
    parser.add_argument("--service", help="the launcher's template (by default the raw or the telnet port's)")
    parser.add_argument("--players", type=int, default=500)
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--alone", type=int, default=1000)
    parser.add_argument("--port", type=int, help="measure the service listening on 127.0.0.1:PORT")
    parser.add_argument("--spread", type=float, default=0, help="the players arrive over this many seconds")
    args = parser.parse_args()
    game = str(Path(args.game).resolve())
    shown = screens(game, args.telnet)
    if args.port:
        print(f"the service on 127.0.0.1:{args.port}:")
        asyncio.run(crowd(args.port, shown, args.players, args.rounds, None, args.telnet, args.spread))
        asyncio.run(alone(args.port, shown, args.alone, args.telnet))
        return
    template = args.service or ROOT / f"packaging/systemd/dusk-lynx{'-telnet' if args.telnet else ''}-games.service.in"
    with tempfile.NamedTemporaryFile(prefix="dusk-measure-") as log:
        launcher, port = start_server(template, game, log)
        try:
            asyncio.run(crowd(port, shown, args.players, args.rounds, launcher, args.telnet))
            asyncio.run(alone(port, shown, args.alone, args.telnet))
        finally:
            launcher.kill()
            launcher.wait()

if __name__ == "__main__":
    main()
