"""What the network tests and the network benchmark share: a launcher's command
line, the console game's output for some keys, and the processes that a server
leaves behind.

Imported by tests/net_test.py, tests/telnet_test.py, tests/cluster_test.py and
bench/net_measure.py.
"""

import atexit
import ctypes
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

PLACEHOLDER = "@DUSK_GAME@"
TERMINAL = "@DUSK_TERMINAL@"
# What starts each game, and what telnetd runs it with, as installed beside the units.
PLAY = Path(__file__).resolve().parent.parent / "packaging" / "dusk-lynx-play"
TERMINAL_SCRIPT = Path(__file__).resolve().parent.parent / "packaging" / "dusk-lynx-terminal.in"


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


def launcher_command(template, game, port, address="127.0.0.1"):
    """The launcher's ExecStart line, split as systemd splits it, running GAME,
    listening on PORT of ADDRESS in place of the Unix socket that the front
    reaches it on (with no delay on each connection, as the front gives), and
    saying when it listens. Each game runs as a user of its own: GAME, and the
    script that telnetd runs it with, are copied where any user may run them."""
    lines = [line for line in Path(template).read_text().splitlines() if line.startswith("ExecStart=")]
    if len(lines) != 1:
        fail(f"{template} has {len(lines)} ExecStart lines, not one")
    words = shlex.split(lines[0].removeprefix("ExecStart="))
    if sum(PLACEHOLDER in word or TERMINAL in word for word in words) != 1:
        fail(f"the ExecStart line names the game ({PLACEHOLDER} or {TERMINAL}) not exactly once")
    folder = Path(tempfile.mkdtemp(prefix="dusk-games-"))
    atexit.register(shutil.rmtree, folder, True)
    folder.chmod(0o755)
    shutil.copy(game, folder / "dusk-lynx")
    terminal = folder / "dusk-lynx-terminal"
    terminal.write_text(TERMINAL_SCRIPT.read_text().replace(PLACEHOLDER, str(folder / "dusk-lynx")))
    terminal.chmod(0o755)
    words = [word.replace(PLACEHOLDER, str(folder / "dusk-lynx")).replace(TERMINAL, str(terminal))
             .replace("@DUSK_PLAY@", str(PLAY)) for word in words]
    listening = [i for i, word in enumerate(words) if word.startswith("UNIX-LISTEN:")]
    if len(listening) != 1:
        fail(f"the ExecStart line has {len(listening)} UNIX-LISTEN addresses, not one")
    # The Unix socket's own options (its file's mode, its removal) go with it.
    options = [option for option in words[listening[0]].split(",")[1:]
               if not re.match(r"(mode|unlink-early|backlog)\b", option)]
    words[listening[0]] = ",".join([f"TCP-LISTEN:{port}", f"bind={address}", "reuseaddr", "nodelay", "backlog=4096",
                                    *options])
    return [words[0], "-d", "-d", *words[1:]]


def console_transcript(game, keys):
    """What the console game prints for these keys."""
    done = subprocess.run([game], input=keys, stdout=subprocess.PIPE, timeout=60, check=True)
    return done.stdout


# --- processes -----------------------------------------------------------------------

def children_of(pid):
    try:
        return Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
    except OSError:
        return []


def reap_children():
    """Collects every child of this process that has ended, without waiting."""
    try:
        while os.waitpid(-1, os.WNOHANG)[0] > 0:
            pass
    except ChildProcessError:
        pass


def collect_orphans():
    """Makes the processes orphaned below this one its children, to be counted."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
        fail("cannot collect orphaned processes")


def live_children():
    """This process's children after a short grace, the ended ones collected."""

    def none_left():
        reap_children()
        return not children_of(os.getpid())

    wait_until(none_left, 2)
    return children_of(os.getpid())


def kill_children():
    for _ in range(10):
        pids = live_children()
        if not pids:
            return
        for pid in pids:
            os.kill(int(pid), signal.SIGKILL)


def conclude(failures, left, passed, shown=8):
    """Ends a test: fails, showing the first SHOWN of FAILURES, where there are
    any or processes (LEFT) outlived the players and the server; else passes."""
    if left:
        failures.append(f"{len(left)} processes were left after the players and the server: {left}")
    for problem in failures[:shown]:
        print(problem)
    if failures:
        fail(f"{len(failures)} failures")
    print(f"PASS: {passed}")


def wait_until(check, seconds):
    deadline = time.monotonic() + seconds
    while not check():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


# --- the activator -------------------------------------------------------------------

def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start_server(template, game, log, port=None, address="127.0.0.1", namespace=None):
    """The launcher of TEMPLATE on a free port of 127.0.0.1, or on PORT of
    ADDRESS inside the network namespace NAMESPACE if they are named: (process,
    port). What it logs goes to the file LOG."""
    inside = ["ip", "netns", "exec", namespace] if namespace else []
    for _ in range(1 if port else 5):
        chosen = port or free_port()
        log.seek(0)
        log.truncate()
        server = subprocess.Popen([*inside, *launcher_command(template, game, chosen, address)],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        listening = lambda: server.poll() is not None or b"listening on" in Path(log.name).read_bytes()
        if wait_until(listening, 10) and server.poll() is None:
            return server, chosen
        server.kill()
        server.wait()
    fail("the launcher did not listen:\n" + Path(log.name).read_text())


def skip_unless_launcher_runs():
    """The launcher gives each game a user of its own, which only root can do."""
    for tool in ("socat", "setpriv", "perl"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed")
            sys.exit(77)
    if os.geteuid() != 0:
        print("SKIP: run as root: the launcher gives each game a user of its own")
        sys.exit(77)
