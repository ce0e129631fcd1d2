#!/usr/bin/env python3
"""Players with Debian's OpenSSH client on the game's own sshd.

    ssh_test.py GAME SSH_DIR STORY [--players N]
    ssh_test.py GAME SSH_DIR STORY --server HOST:PORT --host-key FILE.pub [--players N]

Without --server (run as root): sshd runs with the package's configuration
(SSH_DIR/sshd_config.in) on a free port of 127.0.0.1 with host keys made for
the run, and an account `play` with an empty password whose shell is the
package's launcher (SSH_DIR/shell.in), the game's path pointed at a copy of
GAME (the account must reach it from wherever the checkout is). The account
and the privilege separation folder are made only if missing, and whatever the
test made is removed at the end. With --server, the players go to a server
already running (the installed service, in its container), checked against
the given host key; only what can be seen from outside is tried there.

Every client is `ssh -tt` with BatchMode=yes and a known_hosts made from the
new host key, stdin and stdout pipes: what it prints is what the game's
pseudo-terminal sends, the console game's output with each LF as CR LF and,
after each screen, the terminal's echo of the line typed.
- One player plays the whole story, waiting at each wait for the whole screen
  and watching at the first 40 that nothing more comes; then N players at
  once (200 by default), each a part of the story of another length, a few
  all of it. Each must see exactly what it should.
- Every way out is tried: a command named by the client (with and without a
  terminal), -T, every forwarding (-L, -R, -D, -W), sftp and scp (both
  protocols), another user name. Each must be refused, or give the game and
  only the game. Then, with the game swapped for a probe that shows what a
  game can see, agent and X11 forwarding, environment variables (SendEnv,
  SetEnv, ~/.ssh/environment) and a user rc file must reach nothing, and
  the probe must see no other process, no other terminal and no capability.
  A tunnel (-w) needs a tun device on the client's side: the test reads it
  from sshd's own effective settings instead (`sshd -T`).
- A client that never logs in is dropped by LoginGraceTime, one that logs
  in but opens no session (ssh -N) by UnusedConnectionTimeout, and one that
  stops answering (stopped with SIGSTOP) within a minute.
- Afterwards no process of the account, and no child of sshd, may be left.

Exits 0 when all is well, 1 on a failure, 77 (skipped) where sshd or ssh is
missing, or without root. Only 127.0.0.1 (or the given server) is used; the
whole run is bounded by DEADLINE seconds.
"""

import argparse
import asyncio
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from net_support import (children_of, collect_orphans, conclude, fail, free_port, kill_children, live_children, reap_children,
                         wait_until)
from telnet_test import Seen, mismatch, story_screens

DEADLINE = 280
ACCOUNT = "play"
SETTLE = 0.05
SSHD = "/usr/sbin/sshd"


# --- the server ------------------------------------------------------------------------

class LocalServer:
    """The package's sshd configuration on a free port, with an account of its own."""

    def __init__(self, game, ssh_dir):
        self.scratch = Path(tempfile.mkdtemp(prefix="dusk-ssh-"))
        self.made_account = self.made_privsep = False
        self.server = None
        self.scratch.chmod(0o755)  # the account reaches its game and home through it
        self.game = self.scratch / "game"
        shutil.copy(game, self.game)
        self.game.chmod(0o755)
        self.home = self.scratch / "home"
        (self.home / ".ssh").mkdir(parents=True)
        self.marks = self.scratch / "marks"  # where a user rc file would leave its mark
        self.marks.mkdir()
        self.marks.chmod(0o1777)
        self.keys = self.scratch / "keys"
        (self.keys / "etc" / "ssh").mkdir(parents=True)
        subprocess.run(["ssh-keygen", "-A", "-f", str(self.keys)], check=True, stdout=subprocess.DEVNULL)
        self.shell_template = (Path(ssh_dir) / "shell.in").read_text()
        self.shell = self.scratch / "shell"
        self.point_shell_at(self.game)
        self.config_template = (Path(ssh_dir) / "sshd_config.in").read_text()
        self.host_key = self.keys / "etc" / "ssh" / "ssh_host_ed25519_key.pub"

    def point_shell_at(self, program):
        self.shell.write_text(self.shell_template.replace("@DUSK_GAME@", str(program)))
        self.shell.chmod(0o755)

    def config(self, port):
        text = self.config_template.replace("@DUSK_SSH_KEYS@", str(self.keys / "etc" / "ssh"))
        # The host's drop-ins stay out; the port is this run's, on 127.0.0.1 only.
        text = re.sub(r"(?m)^Include .*$", f"Include {self.scratch}/conf.d/*.conf", text)
        text, ports = re.subn(r"(?m)^Port 4079$", f"Port {port}\nListenAddress 127.0.0.1", text)
        if ports != 1:
            fail("sshd_config.in has no line 'Port 4079'")
        path = self.scratch / "sshd_config"
        path.write_text(text)
        return path

    def make_account(self):
        try:
            pwd.getpwnam(ACCOUNT)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", str(self.home),
                            "--shell", str(self.shell), "--gid", "nogroup", ACCOUNT], check=True)
            self.made_account = True
            subprocess.run(["passwd", "--quiet", "--delete", ACCOUNT], check=True)
            return
        print(f"SKIP: an account named {ACCOUNT} already exists on this machine; the test makes its own")
        sys.exit(77)

    def start(self):
        self.make_account()
        if not os.path.isdir("/run/sshd"):
            os.makedirs("/run/sshd", mode=0o755)
            self.made_privsep = True
        log = self.scratch / "sshd.log"
        for _ in range(5):
            self.port = free_port()
            config = self.config(self.port)
            with open(log, "wb") as out:
                self.server = subprocess.Popen([SSHD, "-D", "-e", "-f", str(config)], stdin=subprocess.DEVNULL,
                                               stdout=out, stderr=out)
            if wait_until(lambda: self.server.poll() is not None or b"Server listening" in log.read_bytes(), 10) \
                    and self.server.poll() is None:
                return
            self.server.kill()
            self.server.wait()
        fail("sshd did not listen:\n" + log.read_text())

    def effective(self):
        """sshd's own reading of the configuration: {setting: value}."""
        done = subprocess.run([SSHD, "-T", "-f", str(self.scratch / "sshd_config"), "-C",
                               f"user={ACCOUNT},host=localhost,addr=127.0.0.1"],
                              stdout=subprocess.PIPE, text=True, check=True)
        return dict(line.split(" ", 1) for line in done.stdout.splitlines() if " " in line)

    def sessions(self):
        """The processes still left of every game: the account's, and sshd's children."""
        reap_children()  # the processes orphaned as sessions end come to this one
        account = pwd.getpwnam(ACCOUNT).pw_uid
        mine = [pid for pid in os.listdir("/proc") if pid.isdigit() and owner(pid) == account]
        return mine + (children_of(self.server.pid) if self.server else [])

    def stop(self):
        if self.server:
            self.server.terminate()
            self.server.wait()
        if self.made_account:
            # userdel refuses while the account has processes: a failed run may leave games.
            for _ in range(10):
                left = self.sessions()
                if not left:
                    break
                for pid in left:
                    try:
                        os.kill(int(pid), signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                time.sleep(0.1)
            subprocess.run(["userdel", ACCOUNT], check=False)
        if self.made_privsep:
            shutil.rmtree("/run/sshd", ignore_errors=True)
        shutil.rmtree(self.scratch, ignore_errors=True)


def describe(pid):
    try:
        return f"{pid} " + Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode()[:80]
    except OSError:
        return pid


def owner(pid):
    try:
        return os.stat(f"/proc/{pid}").st_uid
    except OSError:
        return None


# --- the clients -----------------------------------------------------------------------

class Client:
    """How to reach the server with Debian's ssh, its host key known."""

    def __init__(self, host, port, host_key, scratch):
        self.host, self.port = host, port
        entry = host if port == 22 else f"[{host}]:{port}"
        key = " ".join(Path(host_key).read_text().split()[:2])
        self.known_hosts = Path(scratch) / "known_hosts"
        self.known_hosts.write_text(f"{entry} {key}\n")
        self.algorithm = key.split()[0]

    def options(self):
        return ["-F", "/dev/null", "-o", "BatchMode=yes", "-o", f"UserKnownHostsFile={self.known_hosts}",
                "-o", "GlobalKnownHostsFile=/dev/null", "-o", "StrictHostKeyChecking=yes",
                "-o", f"HostKeyAlgorithms={self.algorithm}", "-o", "LogLevel=ERROR", "-o", "ConnectTimeout=30"]

    def ssh(self, *extra, user=ACCOUNT, command=()):
        return ["ssh", *self.options(), "-p", str(self.port), *extra, f"{user}@{self.host}", *command]


async def play(client, story, screens, length, settle_waits, extra=(), command=()):
    """Plays the first LENGTH lines of the story on `ssh -tt`; returns None or what went wrong."""
    process = await asyncio.create_subprocess_exec(*client.ssh("-tt", *extra, command=command),
                                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                                   stderr=subprocess.PIPE)
    seen = Seen()

    async def read():
        while chunk := await process.stdout.read(65536):
            seen.add(chunk)
        seen.close()

    reading = asyncio.create_task(read())
    expected, line, problem = bytearray(), 0, "it stopped"
    try:
        for line in range(length + 1):
            expected += screens[line]
            if line == len(story):
                break
            await seen.at_least(len(expected))
            if line < settle_waits:
                await asyncio.sleep(SETTLE)
            if seen.data != expected:
                problem = mismatch(seen.data, expected, line)
                return problem
            if line == length:
                problem = None
                return None
            keys = story[line].encode()
            process.stdin.write(keys + b"\n")
            await process.stdin.drain()
            expected += keys + b"\r\n"  # the terminal's echo of the line
        await seen.at_least(len(expected) + 1)
        status = await process.wait()
        problem = None if seen.data == expected and status == 0 else \
            mismatch(seen.data, expected, line) + f"; ssh ended with status {status}"
        return problem
    except asyncio.TimeoutError:
        problem = mismatch(seen.data, expected, line) + " and nothing more came"
        return problem
    finally:
        if process.returncode is None:
            process.terminate()  # the player closes the window
        await process.wait()
        await reading
        stderr = await process.stderr.read()
        if problem and stderr:
            problem += f" (ssh said: {stderr.decode(errors='replace').strip()[:300]})"


def lengths(players, story):
    """A part of the story of another length for each player; every fiftieth plays it all."""
    return [len(story) if player % 50 == 49 else 3 + (player * 37) % 150 for player in range(players)]


async def play_together(client, story, screens, players):
    games = [play(client, story, screens, length, 0) for length in lengths(players, story)]
    return [f"player {player}: {problem}" for player, problem in enumerate(await asyncio.gather(*games)) if problem]


# --- the ways out --------------------------------------------------------------------------

def run(command, timeout=40, **kwargs):
    return subprocess.run(command, stdin=kwargs.pop("stdin", subprocess.DEVNULL), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout, **kwargs)


def refused_without_terminal(client):
    """Without a terminal nothing runs, whatever is asked; returns the failures."""
    failures = []
    tries = {
        "ssh -T": client.ssh("-T"),
        "a command, no terminal": client.ssh(command=["/bin/sh", "-c", "echo ESCAPED; id"]),
        "ssh -T with a command": client.ssh("-T", command=["cat", "/etc/passwd"]),
    }
    for name, command in tries.items():
        done = run(command, input=b"\n\n\n4\n", stdin=None)
        if done.returncode == 0 or done.stdout:
            failures.append(f"{name}: status {done.returncode}, {len(done.stdout)} bytes: {done.stdout[:200]!r}")
    return failures


def refused_forwarding(client, scratch):
    failures = []
    target = f"127.0.0.1:{client.port}"
    # -W: stdio forwarding is a channel of its own, refused at once.
    done = run(client.ssh("-W", target))
    if done.returncode != 255 or b"SSH-" in done.stdout:
        failures.append(f"-W: status {done.returncode}, {done.stdout[:100]!r}")
    # -R: the server would listen on the host for the client.
    listen = free_port()
    done = run(client.ssh("-N", "-o", "ExitOnForwardFailure=yes", "-R", f"127.0.0.1:{listen}:{target}"))
    if done.returncode != 255 or not re.search(rb"forwarding failed", done.stderr):
        failures.append(f"-R: status {done.returncode}, {done.stderr[:200]!r}")
    # -L and -D: the client listens on its side, and each connection through it
    # asks the server for a channel that it refuses: nothing of sshd's port comes back.
    for flag in ("-L", "-D"):
        local = free_port()
        forwarding = f"127.0.0.1:{local}:{target}" if flag == "-L" else f"127.0.0.1:{local}"
        forwarder = subprocess.Popen(client.ssh("-N", flag, forwarding), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            got = through_forwarding(local, flag == "-D", client.port)
            if got is None:
                failures.append(f"{flag}: the client never listened")
            elif b"SSH-" in got:
                failures.append(f"{flag}: sshd's port answered through the forwarding: {got[:60]!r}")
        finally:
            forwarder.terminate()
            forwarder.wait()
    return failures


def through_forwarding(port, socks, target_port):
    """What comes back through a client's forwarding port: None if it never listened."""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
                if socks:  # SOCKS 5, no authentication, CONNECT 127.0.0.1:target_port
                    connection.sendall(b"\x05\x01\x00")
                    connection.recv(2)
                    connection.sendall(b"\x05\x01\x00\x01\x7f\x00\x00\x01" + target_port.to_bytes(2, "big"))
                got = bytearray()
                try:
                    while chunk := connection.recv(4096):
                        got += chunk
                        if b"SSH-" in got:
                            break
                except (ConnectionResetError, TimeoutError):
                    pass
                return bytes(got)
        except ConnectionRefusedError:
            time.sleep(0.1)
    return None


def refused_file_transfer(client, scratch):
    failures = []
    common = client.options()
    fetched = scratch / "fetched"
    tries = {
        "sftp": ["sftp", *common, "-P", str(client.port), "-b", "-", f"{ACCOUNT}@{client.host}"],
        "scp": ["scp", *common, "-P", str(client.port), f"{ACCOUNT}@{client.host}:/etc/passwd", str(fetched)],
        "scp -O": ["scp", "-O", *common, "-P", str(client.port), f"{ACCOUNT}@{client.host}:/etc/passwd",
                   str(fetched)],
    }
    for name, command in tries.items():
        done = run(command, input=b"get /etc/passwd " + str(fetched).encode() + b"\n", stdin=None)
        if done.returncode == 0 or fetched.exists():
            failures.append(f"{name}: status {done.returncode}, a file fetched: {fetched.exists()}")
    return failures


def refused_other_users(client):
    failures = []
    for user in ("root", "nobody", "sshd", "no-such-user"):
        done = run(client.ssh("-T", user=user, command=["true"]))
        if done.returncode != 255 or b"Permission denied" not in done.stderr:
            failures.append(f"user {user}: status {done.returncode}, {done.stderr[:200]!r}")
    return failures


def a_command_gives_the_game(client, game):
    """With a terminal, a command the client names starts the game and nothing else."""
    keys = ["", "", "", "4"]
    screens = story_screens(game, keys)
    failures = []
    for command in (["/bin/sh", "-c", "'echo ESCAPED; id'"], ["exec", "/bin/bash", "-i"], ["internal-sftp"]):
        problem = asyncio.run(play(client, keys, screens, len(keys), 0, command=command))
        if problem:
            failures.append(f"-tt {' '.join(command)}: {problem}")
    return failures


# What a game could learn of its world, printed by the probe in its place.
PROBE = r"""#!/bin/sh
echo "arguments: $#"
echo "processes: $(ls /proc | grep -c '^[0-9]')"
echo "programs: $(cat /proc/[0-9]*/comm 2>/dev/null | sort -u | tr '\n' ' ')"
kill -0 "$SSHD_PID" 2>/dev/null && echo "sshd: signalled" || echo "sshd: out of reach"
echo "terminals: $(ls -A /dev/pts | wc -l)"
echo "shared memory: $(ls -A /dev/shm | wc -l)"
"$PYTHON" - <<'END'
import ctypes, socket
libc = ctypes.CDLL(None)
print("capabilities:", [cap for cap in range(64) if libc.prctl(23, cap) == 1])  # PR_CAPBSET_READ
print("no new privileges:", libc.prctl(39, 0, 0, 0, 0))  # PR_GET_NO_NEW_PRIVS
print("host name:", "changed" if libc.sethostname(b"probe", 5) == 0 else "refused")  # wants a capability
try:
    socket.create_connection(("127.0.0.1", SSHD_PORT), timeout=5).close()
    print("network: sshd reached")
except OSError:
    print("network: nothing reached")
END
env | sort | sed 's/^/env: /'
"""


def the_probe_sees_nothing(server, client):
    """The game swapped for the probe: what forwardings and environments reach it."""
    probe = server.scratch / "probe"
    probe.write_text(PROBE.replace("$SSHD_PID", str(server.server.pid)).replace("$PYTHON", "/usr/bin/python3")
                     .replace("SSHD_PORT", str(server.port)))
    probe.chmod(0o755)
    home = server.home / ".ssh"
    (home / "environment").write_text("DUSK_FROM_HOME=1\n")
    (home / "rc").write_text(f"#!/bin/sh\ntouch {server.marks}/rc-ran\n")
    agent = subprocess.run(["ssh-agent", "-s"], stdout=subprocess.PIPE, text=True, check=True).stdout
    agent_env = dict(re.findall(r"(SSH_AUTH_SOCK|SSH_AGENT_PID)=([^;]+);", agent))
    server.point_shell_at(probe)
    failures = []
    try:
        env = {**os.environ, **agent_env, "DISPLAY": "127.0.0.1:7", "DUSK_SENT": "1", "LC_DUSK": "1"}
        done = run(client.ssh("-tt", "-A", "-X", "-o", "SendEnv=DUSK_SENT LC_*", "-o", "SetEnv=DUSK_SET=1",
                              command=["echo", "ESCAPED"]), env=env)
        seen = done.stdout.decode(errors="replace").replace("\r\n", "\n")
        wanted = {
            "arguments: 0": "the probe was handed arguments",
            "sshd: out of reach": "it can signal sshd",
            "terminals: 0": "it sees terminals in /dev/pts",
            "shared memory: 0": "it sees /dev/shm's files",
            "capabilities: []": "it could gain capabilities",
            "no new privileges: 1": "it could gain privileges",
            "host name: refused": "it has capabilities",
            "network: nothing reached": "it reaches sshd's port",
        }
        for line, problem in wanted.items():
            if line not in seen.splitlines():
                failures.append(f"the probe: {problem}")
        # Its own: timeout, the probe's shell and what it runs (none at all where /proc is hidden).
        counted = re.search(r"^processes: (\d+)$", seen, re.M)
        if not counted or int(counted[1]) > 8 or re.search(r"^programs: .*\bsshd\b", seen, re.M):
            failures.append("the probe: it sees processes beyond its own")
        for name in ("SSH_AUTH_SOCK", "DISPLAY", "DUSK_SENT", "LC_DUSK", "DUSK_SET", "DUSK_FROM_HOME"):
            if f"env: {name}=" in seen:
                failures.append(f"the probe: {name} reached it")
        if "ESCAPED" in seen:
            failures.append("the probe: the client's command ran")
        if (server.marks / "rc-ran").exists():
            failures.append("the user rc file ran")
        if failures:
            failures.append(f"the probe saw:\n{seen}")
    finally:
        server.point_shell_at(server.game)
        subprocess.run(["kill", agent_env.get("SSH_AGENT_PID", "0")], check=False, stderr=subprocess.DEVNULL)
    return failures


def settings_refuse_the_rest(server):
    """What no client here can try: sshd's own reading of the settings."""
    wanted = {"permittunnel": "no", "disableforwarding": "yes", "permituserrc": "no", "usepam": "no",
              "permituserenvironment": "no", "allowusers": ACCOUNT, "maxstartups": "250:30:500",
              "clientaliveinterval": "5", "clientalivecountmax": "3"}
    effective = server.effective()
    failures = [f"sshd -T: {key} is {effective.get(key)!r}, not {value!r}" for key, value in wanted.items()
                if effective.get(key) != value]
    if "subsystem" in effective:
        failures.append(f"sshd -T: a subsystem is offered: {effective['subsystem']}")
    if "acceptenv" in effective:
        failures.append(f"sshd -T: environment is accepted: {effective['acceptenv']}")
    return failures


def dropped_before_login(client, grace):
    """A client that never logs in is dropped within LoginGraceTime (and some slack)."""
    started = time.monotonic()
    with socket.create_connection((client.host, client.port), timeout=grace + 15) as connection:
        connection.sendall(b"SSH-2.0-silent\r\n")
        try:
            while connection.recv(4096):
                pass
        except (ConnectionResetError, TimeoutError):
            pass
    took = time.monotonic() - started
    return [] if took < grace + 5 else [f"a client that never logged in was kept {took:.0f} s"]


def dropped_without_session(client, unused):
    """A client that logs in and opens nothing (ssh -N) is closed after UnusedConnectionTimeout."""
    try:
        run(client.ssh("-N"), timeout=unused + 20)
    except subprocess.TimeoutExpired:
        return [f"a connection that opened no session was kept more than {unused + 20} s"]
    return []


def dropped_when_frozen(server, client):
    """A client that stops answering (SIGSTOP: its connection stays up) is dropped within a minute."""
    frozen = subprocess.Popen(client.ssh("-tt"), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    try:
        if not frozen.stdout.read(1):
            return ["the client to be frozen got no game"]
        frozen.send_signal(signal.SIGSTOP)
        log = server.scratch / "sshd.log"
        if not wait_until(lambda: b"Timeout, client not responding" in log.read_bytes(), 60):
            return ["a client that stopped answering was not dropped within a minute"]
        return []
    finally:
        frozen.send_signal(signal.SIGCONT)
        frozen.kill()
        frozen.wait()


# --- the run ----------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game")
    parser.add_argument("ssh_dir")
    parser.add_argument("story")
    parser.add_argument("--players", type=int, default=200)
    parser.add_argument("--server", help="HOST:PORT of a server already running")
    parser.add_argument("--host-key", help="its host key's .pub file")
    args = parser.parse_args()
    for tool in ("ssh", "sftp", "scp", "ssh-keygen", "ssh-agent"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} (openssh-client) is not installed")
            sys.exit(77)
    game = str(Path(args.game).resolve())
    if not args.server:
        if not os.access(SSHD, os.X_OK):
            print(f"SKIP: {SSHD} (openssh-server) is not installed")
            sys.exit(77)
        if os.geteuid() != 0:
            print("SKIP: sshd must run as root to start games as the account")
            sys.exit(77)
        # The launcher gives each game namespaces of its own through a user namespace.
        if subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "unshare", "--user",
                           "--map-root-user", "--pid", "--fork", "true"], stderr=subprocess.DEVNULL).returncode:
            print("SKIP: unshare: an unprivileged user cannot make a user namespace on this machine")
            sys.exit(77)
    story = Path(args.story).read_text().splitlines()
    screens = story_screens(game, story)

    def timeout(*_):
        raise TimeoutError(f"the test took more than {DEADLINE} s")

    signal.signal(signal.SIGALRM, timeout)
    signal.alarm(DEADLINE)
    collect_orphans()
    server = None
    failures = []
    try:
        if args.server:
            host, port = args.server.rsplit(":", 1)
            scratch = Path(tempfile.mkdtemp(prefix="dusk-ssh-client-"))
            client = Client(host, int(port), args.host_key, scratch)
        else:
            server = LocalServer(game, args.ssh_dir)
            server.start()
            scratch = server.scratch
            client = Client("127.0.0.1", server.port, server.host_key, scratch)
        # The silent client waits out LoginGraceTime while the others play.
        grace = int(server.effective()["logingracetime"]) if server else 20
        with ThreadPoolExecutor(3) as pool:
            silent = pool.submit(dropped_before_login, client, grace)
            idle = pool.submit(dropped_without_session, client, 10)
            dead = pool.submit(dropped_when_frozen, server, client) if server else None
            failures += run_players(client, story, screens, args.players)
            failures += run_ways_out(server, client, game, scratch)
            failures += silent.result() + idle.result() + (dead.result() if dead else [])
        if server:
            if not wait_until(lambda: not server.sessions(), 30):
                left = server.sessions()
                failures.append(f"{len(left)} processes of the games are left after their players: "
                                + ", ".join(describe(pid) for pid in left[:10]))
    finally:
        if server:
            server.stop()
        else:
            shutil.rmtree(scratch, ignore_errors=True)
        left = live_children()
        kill_children()
    signal.alarm(0)
    conclude(failures, left, f"{args.players} SSH players at once, each with what it should see; every way out "
             f"refused{'' if server else ' (tried from outside only)'}; no process left")


def run_players(client, story, screens, players):
    started = time.monotonic()
    problem = asyncio.run(play(client, story, screens, len(story), 40))
    print(f"alone: the whole story, {len(story)} lines, in {time.monotonic() - started:.1f} s"
          f"{': ' + problem if problem else ''}")
    failures = [f"alone: {problem}"] if problem else []
    started = time.monotonic()
    failures += asyncio.run(play_together(client, story, screens, players))
    print(f"together: {players} players in {time.monotonic() - started:.1f} s")
    return failures


def run_ways_out(server, client, game, scratch):
    failures = refused_without_terminal(client)
    failures += a_command_gives_the_game(client, game)
    failures += refused_forwarding(client, scratch)
    failures += refused_file_transfer(client, scratch)
    failures += refused_other_users(client)
    if server:
        failures += the_probe_sees_nothing(server, client)
        failures += settings_refuse_the_rest(server)
    print(f"ways out: {'none got through' if not failures else f'{len(failures)} got through'}")
    return failures


if __name__ == "__main__":
    main()
