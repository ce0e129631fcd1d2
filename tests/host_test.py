#!/usr/bin/env python3
"""The installed service under systemd, as a crowd and an attacker meet it.

    host_test.py GAME STORY

Run on the host while `.ci/host.sh up` has the package running in its
container (the ports on 127.0.0.1); GAME is the same game, for the console's
output. In turn:
- arrivals: 500 raw players, then 500 telnet players, arrive together from 32
  addresses; each must see exactly the console game's screens up to the main
  menu, all within ARRIVAL_LIMIT seconds; the median and slowest are printed;
- the caps: with the caps lowered by a drop-in, a player past the cap of
  games, and one past the cap of an address, each get one line saying so (and
  to try again later), then a clean close, not a reset, even after sending
  telnet options on arrival;
- the idle limit, lowered by a drop-in: a raw player who types nothing and a
  telnet client that never answers telnetd's options are both closed on, and
  their games end;
- the limit on a game's length, lowered by a drop-in: a raw and a telnet
  player who keep typing are closed on at the limit, not before, and their
  games end;
- a launcher restarted (as after a drop-in): a player who
  arrives the moment systemctl is done sees the title, on each port, each of
  RESTARTS times;
- isolation: a probe stands in for the game under the real launcher and
  sandbox, and reports its user, capabilities, system-call filter, where it
  can write, and whether it can see, signal or read another game or the
  launchers;
- a flood of FLOOD connections from 4 addresses in a few seconds; afterwards
  every unit still runs, and a new player is served.
After each, no game may be left running. Only 127.0.0.0/8 is used; every loop
is bounded in count and time. Exits 0 when all is well, 1 on a failure.
"""

import argparse
import asyncio
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

from net_support import console_transcript, fail
from telnet_test import OPENING, TelnetClient, play, story_screens

HOST = ["bash", str(Path(__file__).resolve().parent.parent / ".ci" / "host.sh"), "run"]
RAW, TELNET = 4077, 4078
FRONTS = ("dusk-lynx.service", "dusk-lynx-telnet.service")
LAUNCHERS = ("dusk-lynx-games.service", "dusk-lynx-telnet-games.service")
ARRIVAL_LIMIT = 5.0
RESTARTS = 4
FLOOD = 10000
DEADLINE = 600
# Games run as users numbered from here (dusk-lynx-play).
GAME_USERS = 1 << 30
PROBE = "/usr/local/libexec/dusk-lynx-probe"


def inside(script, check=True):
    """Runs a shell script in the container; returns its output."""
    done = subprocess.run([*HOST, "sh", "-c", script], capture_output=True, text=True, timeout=120)
    if check and done.returncode != 0:
        fail(f"in the container, {script!r} failed: {done.stdout}{done.stderr}")
    return done.stdout


def games_running():
    return int(inside(f"ps -eo uid= | awk '$1 >= {GAME_USERS}' | wc -l"))


def no_game_left(what):
    deadline = time.monotonic() + 10
    while games_running():
        if time.monotonic() > deadline:
            fail(f"after {what}, {games_running()} game processes still run")
        time.sleep(0.2)


def drop_in(unit, lines):
    """Sets (or, with no lines, removes) the test's drop-in for UNIT and restarts it.
    The test restarts units more often than systemd's start limit allows (5 in
    10 s), so their start counts are reset first."""
    folder = f"/etc/systemd/system/{unit}.d"
    write = f"mkdir -p {folder} && printf '%s\\n' {' '.join(repr(line) for line in lines)} > {folder}/test.conf"
    inside(f"{write if lines else f'rm -f {folder}/test.conf'} && systemctl daemon-reload && systemctl reset-failed"
           f" && systemctl restart {unit}")


def lowered(units, setting, check, after):
    """Runs the coroutine CHECK with SETTING (an Environment= line's) set by a
    drop-in on each of UNITS, then takes the drop-ins away."""
    for unit in units:
        drop_in(unit, ["[Service]", f"Environment={setting}"])
    asyncio.run(check)
    no_game_left(after)
    for unit in units:
        drop_in(unit, [])


def address(player):
    return f"127.0.0.{2 + player % 32}"


# --- arrivals ----------------------------------------------------------------------------

async def raw_arrival(player, menu, source=None):
    started = time.monotonic()
    reader, writer = await asyncio.open_connection("127.0.0.1", RAW, local_addr=(source or address(player), 0))
    writer.write(b"\n\n\n")
    received = bytearray()
    while len(received) < len(menu) and (chunk := await reader.read(65536)):
        received += chunk
    took = time.monotonic() - started
    writer.close()
    return took, None if received == menu else f"raw player {player} saw {bytes(received[-80:])!r}"


async def telnet_arrival(player, story, screens):
    started = time.monotonic()
    problem = await play(TelnetClient(), "CR LF", TELNET, story, screens, 3, player, 0)
    return time.monotonic() - started, problem and f"telnet player {player}: {problem}"


def arrivals(name, players):
    results = asyncio.run(gather(players))
    problems = [problem for _, problem in results if problem]
    times = sorted(took for took, _ in results)
    print(f"  {name}: {len(times)} players at once, at the main menu after {statistics.median(times):.2f} s"
          f" (median), {times[-1]:.2f} s (slowest)")
    if problems:
        fail(f"{len(problems)} {name} players saw something else; the first: {problems[0]}")
    if times[-1] > ARRIVAL_LIMIT:
        fail(f"the slowest {name} player reached the main menu after {times[-1]:.2f} s, not {ARRIVAL_LIMIT} s")


async def gather(coroutines):
    return await asyncio.gather(*coroutines)


# --- the caps and the idle limit ---------------------------------------------------------

async def hold(port, source):
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
    await reader.read(16)  # the first bytes: the game (or telnetd) is up
    return writer


async def turned_away(port, source):
    """What a player past a cap receives, sending telnet options on arrival: (data, how it ended)."""
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
    writer.write(OPENING)
    data = bytearray()
    try:
        while chunk := await asyncio.wait_for(reader.read(4096), 10):
            data += chunk
        ended = "closed"
    except ConnectionError:
        ended = "reset"
    except asyncio.TimeoutError:
        ended = "still open after 10 s"
    writer.close()
    return bytes(data), ended


def check_line(data, ended, what):
    lines = data.split(b"\r\n")
    if ended != "closed" or len(lines) != 2 or lines[1] or b"TRY AGAIN LATER" not in lines[0]:
        fail(f"{what}: received {data!r}, then the connection was {ended}; expected one line asking to try "
             "again later, then a clean close")
    print(f"  {what}: {lines[0].decode()!r}, then a clean close")


async def caps():
    """With 3 games a port and 1 an address."""
    kept = [await hold(RAW, address(0)), await hold(RAW, address(1))]
    data, ended = await turned_away(RAW, address(0))
    check_line(data, ended, "port 4077, an address at its cap")
    if b"ADDRESS" not in data:
        fail(f"an address at its cap: the line does not say so: {data!r}")
    kept += [await hold(RAW, address(2))] + [await hold(TELNET, address(i)) for i in range(3)]
    for port in (RAW, TELNET):
        data, ended = await turned_away(port, address(9))
        check_line(data, ended, f"port {port} full")
        if b"FULL" not in data:
            fail(f"port {port} full: the line does not say that the server is full: {data!r}")
    for writer in kept:
        writer.close()


async def idle(limit):
    async def left_alone(port):
        started = time.monotonic()
        reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(address(5), 0))
        try:
            while await asyncio.wait_for(reader.read(4096), limit + 20):
                pass
        except ConnectionError:
            pass
        writer.close()
        return time.monotonic() - started

    for port, took in zip((RAW, TELNET), await asyncio.gather(left_alone(RAW), left_alone(TELNET))):
        print(f"  port {port}: a client that sends nothing closed on after {took:.1f} s")
        if took < limit:
            fail(f"port {port}: an idle client was closed on after {took:.1f} s, before the {limit} s limit")


async def age(limit):
    """A raw and a telnet player each type a line every half second until
    they are closed on; returns how long each lasted and what each saw."""
    keys = b"\r\n3\r\n"  # on through the title, then the statistics again and again

    async def raw():
        started = time.monotonic()
        reader, writer = await asyncio.open_connection("127.0.0.1", RAW, local_addr=(address(6), 0))
        seen = bytearray()

        async def typing():
            while True:
                writer.write(keys)
                await asyncio.sleep(0.5)

        typist = asyncio.create_task(typing())
        try:
            while chunk := await asyncio.wait_for(reader.read(65536), limit + 20):
                seen += chunk
        except (ConnectionError, asyncio.TimeoutError):
            pass  # a reset is a close too; a port never closed on fails below, on the time
        typist.cancel()
        writer.close()
        return time.monotonic() - started, bytes(seen)

    async def telnet():
        started = time.monotonic()
        client = TelnetClient()
        await client.open(TELNET, address(6))
        try:
            while not client.seen.closed and time.monotonic() - started < limit + 20:
                await client.type(keys)
                await asyncio.sleep(0.5)
        except ConnectionError:
            pass
        took = time.monotonic() - started
        await client.finish(not client.seen.closed)
        return took, bytes(client.seen.data)

    for port, (took, seen) in zip((RAW, TELNET), await asyncio.gather(raw(), telnet())):
        print(f"  port {port}: a player who kept typing closed on after {took:.1f} s")
        if b"OPTIONS:" not in seen:
            fail(f"port {port}: the player never reached the main menu: {seen[-200:]!r}")
        if not limit <= took < limit + 10:
            fail(f"port {port}: a player who kept typing was closed on after {took:.1f} s, not at the {limit} s limit")


async def first_screen(port, title):
    """What a player arriving on PORT sees of the title (its first bytes)."""
    if port == TELNET:
        client = TelnetClient()
        await client.open(TELNET, address(11))
        try:
            await client.seen.at_least(len(title))
        except asyncio.TimeoutError:
            pass
        await client.leave()
        await client.finish(False)
        return bytes(client.seen.data[:len(title)])
    reader, writer = await asyncio.open_connection("127.0.0.1", RAW, local_addr=(address(11), 0))
    try:
        return await asyncio.wait_for(reader.readexactly(len(title)), 10)
    except (asyncio.IncompleteReadError, asyncio.TimeoutError, ConnectionError) as error:
        return getattr(error, "partial", b"")
    finally:
        writer.close()


def restarts(title):
    for _ in range(RESTARTS):
        for launcher, port in zip(LAUNCHERS, (RAW, TELNET)):
            inside(f"systemctl reset-failed && systemctl restart {launcher}")
            seen = asyncio.run(first_screen(port, title))
            if seen != title:
                fail(f"port {port}: a player arriving as its launcher restarted saw {seen!r}, not the title")
    print(f"  {RESTARTS} restarts of each launcher: the player arriving right after each saw the title")


# --- isolation ---------------------------------------------------------------------------

PROBE_SCRIPT = r"""#!/bin/sh
# Stands in for the game: reports what a game can do, with the shell's own
# commands (a game may start only a few processes). Reads the ids to try.
read -r pids
while read -r key value; do
  case $key in Uid:|Gid:|Groups:|CapInh:|CapPrm:|CapEff:|CapAmb:|NoNewPrivs:|Seccomp:) echo "$key ${value:--}" ;; esac
done </proc/self/status
for dir in /tmp /var/tmp /dev/shm /dev/mqueue /run /var/lib /var/games /etc /usr/games /root /home; do
  if true 2>/dev/null >"$dir/probe.$$"; then echo "write $dir: yes"; rm -f "$dir/probe.$$"; else echo "write $dir: no"; fi
done
others=0
for entry in /proc/[0-9]*; do [ -O "$entry" ] || others=$((others + 1)); done
echo "others seen: $others"
for pid in $pids; do
  if kill -0 "$pid" 2>/dev/null; then echo "signal $pid: yes"; else echo "signal $pid: no"; fi
  if true 2>/dev/null <"/proc/$pid/environ"; then echo "read $pid: yes"; else echo "read $pid: no"; fi
done
"""


async def probe_report(others):
    reader, writer = await asyncio.open_connection("127.0.0.1", RAW, local_addr=(address(7), 0))
    writer.write(" ".join(others).encode() + b"\n")
    report = (await asyncio.wait_for(reader.read(), 20)).decode().replace("\r\n", "\n")
    writer.close()
    return report


def isolation():
    inside(f"mkdir -p {Path(PROBE).parent} && cat >{PROBE} <<'EOF'\n{PROBE_SCRIPT}EOF\nchmod 755 {PROBE}")
    game_line = inside("grep ^ExecStart= /lib/systemd/system/dusk-lynx-games.service").strip()
    drop_in("dusk-lynx-games.service", ["[Service]", "ExecStart=", game_line.replace("/usr/games/dusk-lynx", PROBE)])
    try:
        async def with_a_game():
            victim = TelnetClient()
            await victim.open(TELNET, address(3))
            await victim.seen.at_least(16)  # the title: the game runs
            game = inside("pgrep -x -n dusk-lynx").strip()
            launchers = [inside(f"systemctl show -P MainPID {unit}").strip()
                         for unit in ("dusk-lynx-games", "dusk-lynx-telnet-games", "dusk-lynx")]
            report = await probe_report([game, *launchers])
            await victim.leave()
            await victim.finish(False)
            return report, [game, *launchers]

        report, others = asyncio.run(with_a_game())
    finally:
        drop_in("dusk-lynx-games.service", [])
    print("  the probe, in place of the game:\n    " + report.strip().replace("\n", "\n    "))
    fields = {key.strip(): (value.split() or ["-"])[0]
              for key, value in (line.split(":", 1) for line in report.strip().splitlines() if ":" in line)}
    wanted = {"CapInh": "0000000000000000", "CapPrm": "0000000000000000", "CapEff": "0000000000000000",
              "CapAmb": "0000000000000000", "NoNewPrivs": "1", "Seccomp": "2", "others seen": "0"}
    wrong = [f"{key}: {fields.get(key)!r}, not {value!r}" for key, value in wanted.items() if fields.get(key) != value]
    uid = fields.get("Uid", "0")
    if int(uid) < GAME_USERS:
        wrong.append(f"the probe runs as user {uid}, not one of the games' own")
    wrong += [f"{key}: yes" for key, value in fields.items() if key.split()[0] in ("write", "signal", "read")
              and value == "yes"]
    missing = [pid for pid in others if f"signal {pid}" not in fields]
    if wrong or missing:
        fail(f"the probe could do what a game must not: {wrong}; untried: {missing}")


# --- a flood -----------------------------------------------------------------------------

async def flood():
    """FLOOD connections from 4 addresses, each closed at once, at most 500 open at a time."""
    gate = asyncio.Semaphore(500)
    refused = 0

    async def one(n):
        nonlocal refused
        async with gate:
            try:
                _, writer = await asyncio.wait_for(
                    asyncio.open_connection("127.0.0.1", (RAW, TELNET)[n % 2], local_addr=(f"127.0.1.{n % 4 + 1}", 0)),
                    5)
                writer.close()
            except (OSError, asyncio.TimeoutError):
                refused += 1

    started = time.monotonic()
    await asyncio.gather(*(one(n) for n in range(FLOOD)))
    print(f"  {FLOOD} connections from 4 addresses in {time.monotonic() - started:.1f} s"
          f" ({refused} turned away at once)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game")
    parser.add_argument("story")
    args = parser.parse_args()
    game = str(Path(args.game).resolve())
    story = Path(args.story).read_text().splitlines()
    signal.signal(signal.SIGALRM, lambda *_: fail(f"the test took more than {DEADLINE} s"))
    signal.alarm(DEADLINE)

    print("arrivals:")
    menu = console_transcript(game, b"\n\n\n").replace(b"\n", b"\r\n")
    arrivals("raw", [raw_arrival(player, menu) for player in range(500)])
    no_game_left("the raw players left")
    # The title's three waits and the menu's: the player leaves at the menu.
    screens = story_screens(game, story[:4])
    arrivals("telnet", [telnet_arrival(player, story[:4], screens) for player in range(500)])
    no_game_left("the telnet players left")

    print("the caps, lowered to 3 games and 1 an address:")
    lowered(FRONTS, "DUSK_MAX_GAMES=3 DUSK_MAX_PER_ADDRESS=1", caps(), "the players past the caps left")
    print("the idle limit, lowered to 3 s:")
    lowered(FRONTS, "DUSK_IDLE=3s", idle(3), "the idle clients were closed on")
    print("the limit on a game's length, lowered to 4 s:")
    lowered(LAUNCHERS, "DUSK_MAX_AGE=4", age(4), "the players who kept typing were closed on")

    print("a launcher restarted:")
    restarts(menu[:16])
    no_game_left("the players who arrived as the launchers restarted")

    print("isolation:")
    isolation()
    no_game_left("the probe")

    print("a flood:")
    asyncio.run(flood())
    states = inside("systemctl is-active dusk-lynx.socket dusk-lynx-telnet.socket dusk-lynx.service "
                    "dusk-lynx-telnet.service dusk-lynx-games.service dusk-lynx-telnet-games.service",
                    check=False).split()
    if set(states) != {"active"}:
        fail(f"after the flood the units are {states}")
    time.sleep(7)  # the flooding addresses' rate has passed: they are served again
    took, problem = asyncio.run(raw_arrival(40, menu, "127.0.1.1"))
    if problem:
        fail(f"after the flood, {problem}")
    print(f"  every unit still runs; a new player reached the main menu in {took:.2f} s")
    no_game_left("the flood")
    # The games log nothing under their own users: the journal would keep a
    # file for each.
    users = "ls /var/log/journal/*/ | sed -n 's/^user-\\([0-9]*\\).*/\\1/p'"
    files = inside(f"{users} | awk '$1 >= {GAME_USERS}' | wc -l").strip()
    if files != "0":
        fail(f"the journal holds {files} files of games' users")
    signal.alarm(0)
    print("PASS: the installed service takes a crowd, caps, idle clients and a flood, and keeps its games apart")


if __name__ == "__main__":
    sys.exit(main())
