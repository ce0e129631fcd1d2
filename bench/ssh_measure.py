#!/usr/bin/env python3
"""The SSH port's cost: many players arriving at once on 127.0.0.1.

    sudo python3 bench/ssh_measure.py --game build/release/dusk-lynx [--players 200]

As tests/ssh_test.py does, it runs sshd with the package's configuration and
launcher on a free port, with a `play` account of its own (made and removed),
and connects the players at once with Debian's `ssh -tt`; each presses Enter
at the title and the introduction as they appear. It measures:
- the time for all of them to reach the main menu;
- the memory of each player's processes on the server (the two sshd
  processes of the session, the launcher's unshare, timeout and the game),
  proportional set size from /proc/PID/smaps_rollup, while all sit at the
  main menu;
- their CPU time from the connection to the main menu (utime and stime of
  each, with those of the children they collected: the launcher's mounts).
The clients' own cost (ssh) is not counted. Without systemd, the service's
sandbox and cgroup are left out.
"""

import argparse
import asyncio
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests"))
from net_support import children_of, collect_orphans, console_transcript  # noqa: E402
from ssh_test import Client, LocalServer  # noqa: E402


def descendants(pid):
    result = []
    for child in children_of(pid):
        result += [child] + descendants(child)
    return result


def pss_kib(pid):
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
        if line.startswith("Pss:"):
            return int(line.split()[1])
    return 0


def cpu_ms(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    ticks = sum(int(value) for value in fields[11:15])  # utime stime cutime cstime
    return ticks * 1000 / os.sysconf("SC_CLK_TCK")


async def arrive(client, menu_size):
    process = await asyncio.create_subprocess_exec(*client.ssh("-tt"), stdin=subprocess.PIPE,
                                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seen = bytearray()
    enters = 0
    while len(seen) < menu_size:
        chunk = await asyncio.wait_for(process.stdout.read(65536), 120)
        if not chunk:
            raise RuntimeError(f"a player's connection closed after {len(seen)} bytes")
        seen += chunk
        # One Enter at each of the three waits before the menu, as each appears.
        while enters < 3 and len(seen) >= wait_sizes[enters]:
            process.stdin.write(b"\n")
            enters += 1
    return process


wait_sizes = []


async def crowd(client, players, menu_size, measure):
    started = time.monotonic()
    processes = await asyncio.gather(*(arrive(client, menu_size) for _ in range(players)))
    took = time.monotonic() - started
    measure(took)
    for process in processes:
        process.terminate()
    await asyncio.gather(*(process.wait() for process in processes))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--players", type=int, default=200)
    args = parser.parse_args()
    game = str(Path(args.game).resolve())
    keys = [b"", b"\n", b"\n\n", b"\n\n\n"]
    outputs = [console_transcript(game, k).replace(b"\n", b"\r\n") for k in keys]
    # What a player has seen at each wait: the screens so far and the echo of each Enter.
    wait_sizes.extend(len(outputs[i]) + 2 * i for i in range(3))
    menu_size = len(outputs[3]) + 6
    collect_orphans()
    server = LocalServer(game, ROOT / "packaging" / "ssh")
    server.start()
    try:
        client = Client("127.0.0.1", server.port, server.host_key, server.scratch)

        def measure(took):
            sessions = children_of(server.server.pid)
            memory = [sum(pss_kib(pid) for pid in [session] + descendants(session)) for session in sessions]
            cpu = [sum(cpu_ms(pid) for pid in [session] + descendants(session)) for session in sessions]
            print(f"{args.players} players at the main menu in {took:.1f} s")
            print(f"memory per player (PSS): median {statistics.median(memory):.0f} KiB, "
                  f"all {sum(memory) / 1024:.0f} MiB ({len(sessions)} sessions)")
            print(f"CPU per player to the main menu: median {statistics.median(cpu):.1f} ms, "
                  f"mean {statistics.mean(cpu):.1f} ms; sshd's listener {cpu_ms(server.server.pid):.0f} ms in all")

        asyncio.run(crowd(client, args.players, menu_size, measure))
    finally:
        server.stop()


if __name__ == "__main__":
    main()
