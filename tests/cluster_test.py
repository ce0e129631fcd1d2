#!/usr/bin/env python3
"""Several game hosts behind the shipped HAProxy configuration, on one machine.

    cluster_test.py GAME STORY [--players N] [--prefix NAME]

As root, with network namespaces joined by veth pairs to a bridge that lives
in a namespace of its own (nothing is added to this machine's own network):
one namespace runs HAProxy with packaging/haproxy/haproxy.cfg (only its
logging, the hosts' addresses and a runtime socket for the test's questions
changed), three are game hosts, and four hold
the players, each with addresses of its own. Every host runs, for each port,
the package's launcher by its own command line, as the network tests run it:
on a TCP port in place of the Unix socket, each game as a user of its own
(start_host below). The hosts' fronts are left out: behind the balancer their
caps are raised out of the way (docs/network.md), and the balancer keeps them.

1. N players (1,500) arrive at once, raw and telnet ones, from every client
   namespace; each plays its own game and must see exactly what it should,
   and the hosts must have taken the players evenly (within 10%).
2. In the middle, one host is killed; in its place the same launchers start,
   whose game cannot start (the host still accepts connections). Its players'
   connections must close within seconds; every other game goes on exact.
   From the kill on, a new player arrives every 50 ms: those that arrive more
   than one check interval later, and a crowd of new players, must all reach a
   live host and play exactly.
3. The host comes back; once the balancer has seen it, a crowd of new players
   must play exactly, and the host must take its share.
4. From one address, the caps hold across the whole cluster on each port: as
   many games as a host allows from one address, spread over the hosts; one
   more is refused; one ended makes room for one more. And once more
   connections than a host allows in 3 s have come from one address, the
   next is refused (port 4077).
5. Figures: the balancer's memory for each connection, the time from a line
   typed to the end of its screen through the balancer and directly, and how
   long after the host died new players stopped going to it.

Afterwards no namespace, process or address of the test may be left. Exits 0
when all is well, 1 on a failure, 77 (skipped) when not root or when haproxy,
socat, telnetd or ip is missing. Traffic stays inside the test's namespaces;
the whole run is bounded by DEADLINE seconds.
"""

import argparse
import asyncio
import ctypes
import fcntl
import os
import random
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from net_support import (collect_orphans, console_transcript, fail, kill_children, live_children,
                         skip_unless_launcher_runs, start_server)
from net_test import random_walk
from telnet_test import KINDS, TelnetClient, play, story_screens

DEADLINE = 420
SOURCE = Path(__file__).resolve().parent.parent
CONFIG = SOURCE / "packaging/haproxy/haproxy.cfg"
UNITS = SOURCE / "packaging/systemd"
# Each port the package serves, and the launcher that starts its games.
SERVICES = ((4077, "dusk-lynx-games.service.in"), (4078, "dusk-lynx-telnet-games.service.in"))
RAW, TELNET = (port for port, _ in SERVICES)

# The test's network, private to its namespaces: the balancer, the hosts (the
# configuration's placeholders 192.0.2.1N become 10.77.0.1N), and the clients'
# addresses, 10.77.C.1 to 10.77.C.ADDRESSES in client namespace C.
NETWORK = "10.77"
BALANCER = f"{NETWORK}.0.1"
HOSTS = 3
CLIENTS = 4
ADDRESSES = 40
KILLED = 2  # the host that dies

TITLE = b"***DUSK  LYNX***"
ARRIVAL = 2.0  # the crowd arrives within this many seconds
PROBE_EVERY = 0.05
CUT = "its game was cut short"
F_SETPIPE_SZ = 1031


# --- the network ---------------------------------------------------------------------

def ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class Network:
    """The namespaces, named PREFIX-..., each joined to the bridge in PREFIX-net."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.bridge = f"{prefix}-net"
        self.balancer = f"{prefix}-lb"
        self.hosts = [f"{prefix}-host{i}" for i in range(1, HOSTS + 1)]
        self.clients = [f"{prefix}-client{i}" for i in range(1, CLIENTS + 1)]

    def build(self):
        ip("netns", "add", self.bridge)
        ip("-n", self.bridge, "link", "add", "br0", "type", "bridge")
        ip("-n", self.bridge, "link", "set", "br0", "up")
        nodes = [(self.balancer, [BALANCER]), *((host, [f"{NETWORK}.0.{11 + i}"]) for i, host in enumerate(self.hosts)),
                 *((client, self.client_addresses(i)) for i, client in enumerate(self.clients))]
        for number, (name, addresses) in enumerate(nodes):
            ip("netns", "add", name)
            ip("-n", self.bridge, "link", "add", f"v{number}", "type", "veth", "peer", "name", "eth0", "netns", name)
            ip("-n", self.bridge, "link", "set", f"v{number}", "master", "br0", "up")
            batch = "".join(f"address add {address}/16 dev eth0\n" for address in addresses)
            subprocess.run(["ip", "-n", name, "-batch", "-"], input=batch, text=True, check=True)
            ip("-n", name, "link", "set", "eth0", "up")
            ip("-n", name, "link", "set", "lo", "up")

    @staticmethod
    def client_addresses(client):
        return [f"{NETWORK}.{client + 1}.{i}" for i in range(1, ADDRESSES + 1)]

    def existing(self):
        listed = ip("netns", "list").stdout.split("\n")
        return [line.split()[0] for line in listed if line.split() and line.split()[0].startswith(self.prefix + "-")]

    def kill_inside(self, name):
        """Ends every process in the namespace (all of them started by this test),
        as a host that dies ends them: all at once. Each is stopped before any is
        killed, so that none sees another end: a telnet game's shell would write
        "Killed" to its player when the game went first."""
        for _ in range(20):
            pids = [int(pid) for pid in ip("netns", "pids", name, check=False).stdout.split()]
            if not pids:
                return
            for sent in (signal.SIGSTOP, signal.SIGKILL):
                for pid in pids:
                    try:
                        os.kill(pid, sent)
                    except ProcessLookupError:
                        pass
            time.sleep(0.05)

    def remove(self):
        for name in reversed(self.existing()):
            self.kill_inside(name)
            ip("netns", "del", name, check=False)


class Origin:
    """A client namespace: sockets opened here belong to its network."""

    CLONE_NEWNET = 0x40000000
    libc = ctypes.CDLL(None, use_errno=True)
    home = None

    def __init__(self, namespace):
        self.fd = os.open(f"/run/netns/{namespace}", os.O_RDONLY)
        if Origin.home is None:
            Origin.home = os.open("/proc/self/ns/net", os.O_RDONLY)

    def socket(self):
        if self.libc.setns(self.fd, self.CLONE_NEWNET) != 0:
            fail(f"cannot enter a client namespace: {os.strerror(ctypes.get_errno())}")
        try:
            return socket.socket()
        finally:
            if self.libc.setns(Origin.home, self.CLONE_NEWNET) != 0:
                fail("cannot come back to this process's own network")


async def connect(origin, address, target, port):
    """A connection from ADDRESS in ORIGIN's namespace: (reader, writer)."""
    sock = origin.socket()
    sock.setblocking(False)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    sock.bind((address, 0))
    try:
        await asyncio.get_running_loop().sock_connect(sock, (target, port))
    except BaseException:
        sock.close()
        raise
    return await asyncio.open_connection(sock=sock)


# --- the hosts and the balancer ----------------------------------------------------------

def start_host(namespace, game, directory):
    """A game host as the network tests run one: for each port, the launcher's
    own command line, listening on the port on every address of NAMESPACE and
    logging to a file in DIRECTORY."""
    for port, template in SERVICES:
        with open(directory / f"{namespace}-{port}.log", "wb") as log:
            start_server(UNITS / template, game, log, port, "0.0.0.0", namespace)


def balancer_config(directory):
    """The shipped configuration, logging to standard output, with the test's hosts."""
    text = CONFIG.read_text()
    text, logs = re.subn(r"(?m)^(\s*)log /dev/log (\S+)$", r"\1log stdout format raw \2", text)
    text, servers = re.subn(r"(?m)^(\s*server \S+ )192\.0\.2\.", rf"\g<1>{NETWORK}.0.", text)
    text = text.replace("\nglobal\n", f"\nglobal\n    stats socket {directory / 'admin.sock'}\n", 1)
    if logs != 1 or servers != HOSTS * len(SERVICES):
        fail(f"{CONFIG} should log to /dev/log once and name {HOSTS} hosts in each of {len(SERVICES)} backends")
    path = directory / "haproxy.cfg"
    path.write_text(text)
    return path


def shipped_settings():
    """The configuration's check interval and its caps on one address (games
    at once, connections in 3 s); fails where its timeouts are shorter than a
    game, or its caps are not a host's own."""
    text = CONFIG.read_text()
    seconds = {"s": 1, "m": 60, "h": 3600}
    timeouts = re.findall(r"(?m)^\s*timeout (?:client|server|tunnel) (\d+)([smh])$", text)
    longest = [int(n) * seconds[unit] for n, unit in timeouts]
    game = re.search(r"DUSK_MAX_AGE:-(\d+)\}", (SOURCE / "packaging/dusk-lynx-play").read_text())
    if len(longest) != 3 or not game or min(longest) < int(game.group(1)):
        fail(f"the balancer's client, server and tunnel timeouts ({longest} s) must outlast a game")
    front = (UNITS / "front.service.in").read_text()
    caps = []
    for counted, setting in (("conn_cur", "DUSK_MAX_PER_ADDRESS"), ("conn_rate", "DUSK_MAX_RATE")):
        lines = re.findall(rf"(?m)^\s*tcp-request connection reject if {{ sc0_{counted} gt (\d+) }}$", text)
        balancer, host = set(lines), set(re.findall(rf"\b{setting}=(\d+)\b", front))
        if len(lines) != len(SERVICES) or len(balancer) != 1 or balancer != host:
            fail(f"the balancer's {counted} caps on one address {balancer} are not a host's own {setting} {host}")
        caps.append(int(balancer.pop()))
    inter = re.search(r"(?m)^\s*default-server .*\binter (\d+)s\b", text)
    return int(inter.group(1)), *caps


class Balancer:
    """HAProxy in the foreground: its reports, each with the time it came, and
    what it says on its runtime socket."""

    def __init__(self, namespace, config):
        self.socket = config.parent / "admin.sock"
        self.process = subprocess.Popen(["ip", "netns", "exec", namespace, "haproxy", "-db", "-f", str(config)],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True)
        # HAProxy drops a line rather than wait for a full pipe: a large one keeps
        # the reports the test waits for among the games' lines.
        fcntl.fcntl(self.process.stdout.fileno(), F_SETPIPE_SZ, 1 << 20)
        self.lines = []
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def ask(self, command):
        with socket.socket(socket.AF_UNIX) as runtime:
            runtime.connect(str(self.socket))
            runtime.sendall(command.encode() + b"\n")
            answer = b""
            while chunk := runtime.recv(65536):
                answer += chunk
        return answer.decode()

    def sessions(self):
        """The players' connections now: (client address, client port) -> host."""
        pattern = re.compile(r" src=(\S+):(\d+) fe=\S+ be=\S+ srv=(\S+) ")
        return {(match[1], int(match[2])): match[3] for match in pattern.finditer(self.ask("show sess"))}

    def held(self, frontend, address):
        """The games that FRONTEND's table counts for ADDRESS now."""
        listed = re.search(rf"key=::ffff:{re.escape(address)} .*\bconn_cur=(\d+)", self.ask(f"show table {frontend}"))
        return int(listed[1]) if listed else None

    def stats(self):
        return [row.split(",") for row in self.ask("show stat").splitlines() if row.count(",") > 7]

    def served(self):
        """How many players each host has taken, on both ports together."""
        counts = {}
        for fields in self.stats():
            if fields[0] in ("raw_hosts", "telnet_hosts") and fields[1].startswith("host"):
                counts[fields[1]] = counts.get(fields[1], 0) + int(fields[7])  # stot
        return counts

    def most(self):
        """The most players it has held at once, both ports together."""
        return sum(int(fields[5]) for fields in self.stats() if fields[1] == "FRONTEND")  # smax

    def when(self, text, after):
        return next((at for at, line in self.lines if at >= after and text in line), None)

    def cpu(self):
        """The CPU time it has used, in seconds."""
        fields = Path(f"/proc/{self.process.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def memory(self):
        status = Path(f"/proc/{self.process.pid}/status").read_text()
        return int(re.search(r"VmRSS:\s+(\d+) kB", status).group(1))


# --- the players ---------------------------------------------------------------------

class Player:
    """One player: where it connects from, what it plays, and what happened."""

    def __init__(self, number, origin, address, port):
        self.number, self.origin, self.address, self.port = number, origin, address, port
        self.local = None
        self.arrived = asyncio.Event()
        self.closed_at = None
        self.problem = None  # what went wrong, when the game was not as it should be
        self.received = b""  # what came, when the game was not as it should be
        self.wanted = None  # how much should have come, where the test knows


async def play_raw(player, lines, expected, pace):
    """A raw player types one to three lines at a time, and thinks between."""
    rng = random.Random(player.number)
    reader, writer = await connect(player.origin, player.address, BALANCER, RAW)
    player.local = writer.get_extra_info("sockname")[:2]
    received = bytearray()

    async def read_all():
        try:
            while chunk := await reader.read(65536):
                received.extend(chunk)
                player.arrived.set()
        except ConnectionError:  # a reset, or one after the host's end (a broken pipe)
            pass
        player.closed_at = time.monotonic()

    reading = asyncio.create_task(read_all())
    at = 0
    try:
        while at < len(lines) and not reading.done():
            step = rng.randint(1, 3)
            writer.write("".join(line + "\n" for line in lines[at : at + step]).encode())
            await writer.drain()
            at += step
            await asyncio.sleep(rng.uniform(*pace))
        writer.write_eof()
    except OSError:
        pass  # the host has gone, and the connection with it
    await reading
    writer.close()
    if received != expected:
        cut = expected.startswith(received)
        player.problem = CUT if cut else "not the console game's output"
        player.received, player.wanted = bytes(received), len(expected)


class ClusterTelnet(TelnetClient):
    """The telnet test's client, connecting from a client namespace, and
    thinking after each line it types."""

    RESET = b""  # a close like any other: what came before it is judged

    def __init__(self, player, pace):
        self.player, self.pace, self.rng = player, pace, random.Random(player.number)

    async def connect(self, port, _address):
        """Connects from the player's own address, not the one play() names."""
        reader, writer = await connect(self.player.origin, self.player.address, BALANCER, port)
        self.player.local = writer.get_extra_info("sockname")[:2]
        return reader, writer

    def closed(self):
        self.player.closed_at = time.monotonic()

    async def type(self, keys):
        self.player.arrived.set()
        await super().type(keys)
        if b"\r" in keys:
            await asyncio.sleep(self.rng.uniform(*self.pace))


async def play_telnet(player, kind, story, screens, length, pace):
    client = ClusterTelnet(player, pace)
    try:
        problem = await play(client, kind, TELNET, story, screens, length, player.number, 0)
    except OSError:
        # The connection failed as the player typed: all it saw before was as it should be.
        problem = CUT
    if problem:
        # Cut short: the connection closed after the start of the game, all of it as it should be.
        part = re.search(r"saw (\d+) bytes, expected (\d+); they part at byte (\d+)", problem)
        cut = part and client.seen.closed and int(part[1]) == int(part[3]) < int(part[2])
        player.problem = CUT if cut else problem
        player.received = bytes(client.seen.data) if hasattr(client, "seen") else b""


class Crowd:
    """Players and their games: a raw player's lines with the bytes it must
    receive, a telnet player's kind and length of the story."""

    def __init__(self, game, story, origins):
        self.game, self.story, self.origins = game, story, origins
        self.screens = story_screens(game, story)
        self.players = []
        self.next_address = 0

    def origin(self):
        """The client namespaces and their addresses in turn; the last address of each is kept for the checks."""
        client, index = self.next_address % CLIENTS, self.next_address // CLIENTS % (ADDRESSES - 1)
        self.next_address += 1
        return self.origins[client], Network.client_addresses(client)[index]

    def make(self, count, first):
        """COUNT games, two raw ones for each telnet one: (player, coroutine factory)."""
        raw = [number for number in range(first, first + count) if number % 3]
        lines = {number: random_walk(number) if number % 2 else self.story[: 3 + number % 90] for number in raw}
        with ThreadPoolExecutor(os.cpu_count()) as pool:
            keys = ["".join(line + "\n" for line in lines[number]).encode() for number in raw]
            outputs = pool.map(lambda k: console_transcript(self.game, k), keys)
            expected = {number: output.replace(b"\n", b"\r\n") for number, output in zip(raw, outputs)}
        games = []
        for number in range(first, first + count):
            origin, address = self.origin()
            if number % 3:
                player = Player(number, origin, address, RAW)
                games.append((player, lambda p=player, n=number: play_raw(p, lines[n], expected[n], (0.2, 0.6))))
            else:
                player = Player(number, origin, address, TELNET)
                kind, length = KINDS[number // 3 % 3], 3 + number * 37 % 60
                games.append((player, lambda p=player, k=kind, n=length: play_telnet(p, k, self.story, self.screens, n,
                                                                                     (0.05, 0.25))))
        self.players += [player for player, _ in games]
        return games


async def arrive(games):
    """Each player arrives within ARRIVAL seconds and plays: the tasks."""
    rng = random.Random(len(games))

    async def later(start):
        await asyncio.sleep(rng.uniform(0, ARRIVAL))
        await start()

    return [asyncio.create_task(later(start)) for _, start in games]


async def probe(origin, address, port=RAW):
    """A new player who looks for the title, then quits: whether it came."""
    try:
        reader, writer = await connect(origin, address, BALANCER, port)
    except OSError:
        return False
    seen = b""
    try:
        async with asyncio.timeout(10):
            while TITLE not in seen and (chunk := await reader.read(4096)):
                seen += chunk
        if TITLE in seen:
            writer.write(b"\n\n\n4\n")
            await reader.read()
    except (OSError, TimeoutError):
        pass
    writer.close()
    return TITLE in seen


# --- the story of the test -----------------------------------------------------------------

async def scenario(network, balancer, crowd, directory, players, inter, caps):
    failures, figures = [], {}
    origins = crowd.origins
    before = balancer.memory()

    first, second, third = crowd.make(players, 0), crowd.make(150, players), crowd.make(150, players + 150)

    # 1. The crowd arrives; when every player has seen a host's first bytes, the
    # balancer's memory is read, against the most games it has held at once.
    tasks = await arrive(first)
    arrived = asyncio.gather(*(player.arrived.wait() for player, _ in first))
    try:
        async with asyncio.timeout(120):
            await arrived
    except TimeoutError:
        fail(f"{sum(not p.arrived.is_set() for p, _ in first)} of the first players saw nothing from a host in 120 s")
    figures["memory"] = (balancer.memory() - before, balancer.most())
    figures["spread"] = balancer.served()

    # 2. A host dies; in its place the launchers whose game cannot start. A new
    # player arrives every 50 ms: those that come more than one check interval
    # later (and a second for the check itself) must reach a live host, as must
    # a crowd a second later still (the telnet port's check of the dead host
    # takes a second more: telnetd's script waits a second after the game).
    await asyncio.sleep(2)
    on_killed = {local for local, host in balancer.sessions().items() if host == f"host{KILLED}"}
    killed_at = time.monotonic()
    network.kill_inside(network.hosts[KILLED - 1])
    start_host(network.hosts[KILLED - 1], "/bin/false", directory)
    probes = []

    async def probing(until):
        # From the last namespace's addresses in turn: one address would open
        # more connections in 3 s than the balancer lets in.
        probers = Network.client_addresses(CLIENTS - 1)
        while time.monotonic() < until:
            started = time.monotonic()
            prober = probers[len(probes) % ADDRESSES]
            probes.append((started - killed_at, asyncio.create_task(probe(origins[-1], prober))))
            await asyncio.sleep(PROBE_EVERY)

    watching = asyncio.create_task(probing(killed_at + inter + 4))
    await asyncio.sleep(inter + 2)
    tasks += await arrive(second)
    await watching
    results = [(at, await task) for at, task in probes]
    lost = [at for at, ok in results if not ok]
    figures["stopped"] = max(lost) if lost else 0.0
    down = balancer.when(f"raw_hosts/host{KILLED} is DOWN", killed_at)
    figures["down"] = down - killed_at if down else None
    late = [at for at in lost if at > inter + 1]
    if late:
        failures.append(f"{len(late)} new players more than {inter + 1} s after the host died did not reach a live "
                        f"host (the latest at {max(late):.2f} s)")

    # 3. The host comes back and, once the balancer has seen it, takes players.
    network.kill_inside(network.hosts[KILLED - 1])
    back_at = time.monotonic()
    start_host(network.hosts[KILLED - 1], crowd.game, directory)
    deadline = time.monotonic() + 30
    while not all(balancer.when(f"{backend}/host{KILLED} is UP", back_at) for backend in ("raw_hosts", "telnet_hosts")):
        if time.monotonic() > deadline:
            fail(f"the balancer did not see host{KILLED} again within 30 s")
        await asyncio.sleep(0.1)
    before_third = balancer.served()
    tasks += await arrive(third)
    await asyncio.gather(*(player.arrived.wait() for player, _ in third))
    figures["back"] = balancer.served()[f"host{KILLED}"] - before_third[f"host{KILLED}"]

    # 4. The caps on one address, on each port, across the cluster.
    cap, rate = caps
    failures += await check_cap(balancer, origins[0], Network.client_addresses(0)[ADDRESSES - 1], cap)
    failures += await check_rate(balancer, origins[2], Network.client_addresses(2)[ADDRESSES - 1], rate)

    try:
        async with asyncio.timeout(240):
            await asyncio.gather(*tasks)
    except TimeoutError:
        fail("the players had not finished after 240 s")

    # 5. The time from a line typed to its screen's last byte: through the
    # balancer, and directly to a host.
    figures["screen"] = await screen_times(origins[1], crowd)
    figures["cpu"] = balancer.cpu(), sum(balancer.served().values())
    players = [[player for player, _ in games] for games in (first, second, third)]
    return killed_at, on_killed, *players, failures, figures


async def check_cap(balancer, origin, address, cap):
    failures = []
    for port in (RAW, TELNET):
        held = []
        for _ in range(cap):
            reader, writer = await connect(origin, address, BALANCER, port)
            held.append((reader, writer))
        firsts = await asyncio.gather(*(reader.read(1) for reader, _ in held))
        if not all(firsts):
            failures.append(f"port {port}: {sum(not f for f in firsts)} of {cap} games from one address got nothing")
        sessions = balancer.sessions()
        hosts = {sessions.get(writer.get_extra_info("sockname")[:2]) for _, writer in held}
        if len(hosts) < 2 or None in hosts:
            failures.append(f"port {port}: the {cap} games from one address were not spread over the hosts: {hosts}")
        try:
            reader, writer = await connect(origin, address, BALANCER, port)
            extra = await asyncio.wait_for(reader.read(1), 10)
            writer.close()
        except (OSError, TimeoutError):
            extra = b""
        if extra:
            failures.append(f"port {port}: game {cap + 1} from one address was let in")
        held.pop()[1].close()
        for _ in range(50):  # the balancer counts the ended game out (slowly enough to stay below the rate cap)
            await asyncio.sleep(0.5)
            reader, writer = await connect(origin, address, BALANCER, port)
            try:
                again = await asyncio.wait_for(reader.read(1), 10)
            except (OSError, TimeoutError):
                again = b""
            held.append((reader, writer))
            if again:
                break
            held.pop()[1].close()
        else:
            failures.append(f"port {port}: no room came after one of {cap} games from one address ended")
        for _, writer in held:
            writer.close()
    return failures


async def screen_times(origin, crowd):
    """The time from the Enter of a line of the story to the last byte of the
    screen that follows it, through the balancer and directly to a host: the
    median and 90th percentile of each over the story's first 300 lines, the
    two games played a line about, so that both see the same load."""
    address = Network.client_addresses(1)[ADDRESSES - 1]
    games = [await connect(origin, address, target, RAW) for target in (BALANCER, f"{NETWORK}.0.11")]
    times = [[], []]
    for reader, _ in games:
        await reader.readexactly(len(crowd.screens[0]))
    for line in range(300):
        for (reader, writer), measured in zip(games, times):
            started = time.perf_counter()
            writer.write(crowd.story[line].encode() + b"\n")
            await reader.readexactly(len(crowd.screens[line + 1]))
            measured.append(time.perf_counter() - started)
    for _, writer in games:
        writer.close()
    return [(statistics.median(measured), statistics.quantiles(measured, n=10)[-1]) for measured in times]


async def check_rate(balancer, origin, address, rate):
    """From one address, a connection is closed at once once RATE have come in
    3 s. Twice RATE connections come first, each closed as soon as it
    connects: on a busy machine their games outlive them for a moment, so some
    meet the cap of games at once (refused ones count in the rate too); then,
    with none of the address's games left to count, one more must be refused.
    On port 4077, whose games end as soon as the player leaves; port 4078's
    lines are the same (shipped_settings)."""
    for _ in range(2 * rate):
        try:
            _, writer = await connect(origin, address, BALANCER, RAW)
            writer.close()
        except OSError:
            pass
    for _ in range(40):
        if balancer.held("raw", address) == 0:
            break
        await asyncio.sleep(0.05)
    else:
        return [f"port {RAW}: the closed connections from one address still counted as games after 2 s"]
    try:
        reader, writer = await connect(origin, address, BALANCER, RAW)
        extra = await asyncio.wait_for(reader.read(1), 10)
        writer.close()
    except (OSError, TimeoutError):
        extra = b""
    return [f"port {RAW}: a connection from one address after {2 * rate} in 3 s was let in"] if extra else []


def judge(killed_at, on_killed, first, later, figures):
    """Every game exact, but those cut when their host died, whose connections closed."""
    failures = []
    for player in first + later:
        there = player in first and player.local in on_killed
        if there and player.problem == CUT:
            if player.closed_at is None:
                failures.append(f"player {player.number}: its connection never closed after its host died")
            elif not killed_at <= player.closed_at <= killed_at + 10:
                failures.append(f"player {player.number}: its connection closed "
                                f"{player.closed_at - killed_at:+.1f} s from its host's death")
        elif player.problem:
            failures.append(f"player {player.number}{' on the host that died' * there} (port {player.port}): "
                            f"{player.problem} (received {len(player.received)} bytes of {player.wanted})")
    fair = sum(figures["spread"].values()) / HOSTS
    if any(abs(count - fair) > fair / 10 for count in figures["spread"].values()):
        failures.append(f"the first players were not spread within 10%: {figures['spread']}")
    if figures["back"] < 150 / HOSTS:
        failures.append(f"host{KILLED} came back but took only {figures['back']} of 150 new players")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game")
    parser.add_argument("story")
    parser.add_argument("--players", type=int, default=1500)
    parser.add_argument("--prefix", default=f"dlc{os.getpid()}")
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("SKIP: the cluster test makes network namespaces, which needs root")
        sys.exit(77)
    for tool in ("haproxy", "ip", "/usr/sbin/telnetd", "/bin/busybox"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed")
            sys.exit(77)
    skip_unless_launcher_runs()
    game = str(Path(args.game).resolve())
    story = Path(args.story).read_text().splitlines()
    inter, cap, rate = shipped_settings()

    def stop(number, _):
        # An exception, so that everything the test made is removed on the way out.
        raise TimeoutError(f"the test took more than {DEADLINE} s" if number == signal.SIGALRM else "stopped")

    signal.signal(signal.SIGALRM, stop)
    signal.signal(signal.SIGTERM, stop)
    signal.alarm(DEADLINE)
    collect_orphans()
    links, addresses = ip("-br", "link").stdout, ip("-br", "address").stdout
    network = Network(args.prefix)
    directory = Path(os.environ.get("TMPDIR", "/tmp")) / args.prefix
    directory.mkdir()
    balancer = None
    try:
        network.build()
        origins = [Origin(name) for name in network.clients]
        for host in network.hosts:
            start_host(host, game, directory)
        balancer = Balancer(network.balancer, balancer_config(directory))
        time.sleep(inter + 1)  # every host passes its first check
        crowd = Crowd(game, story, origins)
        killed_at, on_killed, first, second, third, failures, figures = asyncio.run(
            scenario(network, balancer, crowd, directory, args.players, inter, (cap, rate)))
        failures += judge(killed_at, on_killed, first, second + third, figures)
    finally:
        network.remove()
        if balancer:
            balancer.process.wait()
        left = live_children()
        kill_children()
        shutil.rmtree(directory, ignore_errors=True)
    signal.alarm(0)
    if left:
        failures.append(f"{len(left)} processes were left: {left}")
    if network.existing():
        failures.append(f"namespaces were left: {network.existing()}")
    if ip("-br", "link").stdout != links or ip("-br", "address").stdout != addresses:
        failures.append("this machine's own links or addresses changed")
    for problem in failures[:10]:
        print(problem)
    memory, connected = figures["memory"]
    cut = sum(player.local in on_killed and player.problem == CUT for player in first)
    print(f"the first {len(first)} players by host: {figures['spread']}; {cut} cut when host{KILLED} died; "
          f"{figures['back']} of {len(third)} later players on host{KILLED} when it came back")
    print(f"balancer memory: {memory} KiB more, with at most {connected} games at once "
          f"({memory * 1024 / max(connected, 1) / 1000:.1f} kB each)")
    down = "never marked down" if figures["down"] is None else f"marked down after {figures['down']:.2f} s"
    print(f"host{KILLED} died: {down}; the last new player sent to it arrived "
          f"{figures['stopped']:.2f} s after it died (check interval {inter} s)")
    (through, through90), (direct, direct90) = figures["screen"]
    print(f"a line to its screen's last byte, median and 90th percentile: {through * 1000:.2f} and "
          f"{through90 * 1000:.2f} ms through the balancer, {direct * 1000:.2f} and {direct90 * 1000:.2f} ms directly")
    cpu, served = figures["cpu"]
    print(f"balancer CPU time: {cpu:.1f} s for {served} games and the checks ({cpu / served * 1000:.1f} ms a game)")
    if failures:
        fail(f"{len(failures)} failures")
    print(f"PASS: {len(first)} players, then {len(second)} after host{KILLED} died and {len(third)} after it came "
          f"back, every game exact; the cap of {cap} games from one address held on each port, and of {rate} "
          "connections in 3 s on port 4077; nothing left")


if __name__ == "__main__":
    main()
