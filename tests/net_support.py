"""What the network tests and the network benchmark share: a service's command
line, the console game's output for some keys, and the processes that a server
leaves behind.

Imported by tests/net_test.py, tests/telnet_test.py and bench/net_measure.py;
run as `net_support.py --serve on|off ADDRESS PORT -- COMMAND...`, it is the
activator of start_activator().
"""

import ctypes
import os
import shlex
import signal
import socket
import subprocess
import sys
import time
from pathlib import Path

PLACEHOLDER = "@DUSK_GAME@"


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


def service_command(template, game):
    """The service's ExecStart line, split as systemd splits it, running GAME."""
    lines = [line for line in Path(template).read_text().splitlines() if line.startswith("ExecStart=")]
    if len(lines) != 1:
        fail(f"{template} has {len(lines)} ExecStart lines, not one")
    words = shlex.split(lines[0].removeprefix("ExecStart="))
    if sum(PLACEHOLDER in word for word in words) != 1:
        fail(f"the ExecStart line names the game {PLACEHOLDER} not exactly once")
    return [word.replace(PLACEHOLDER, game) for word in words]


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


def start_server(command, log):
    """systemd-socket-activate on a free port of 127.0.0.1: (process, port)."""
    for _ in range(5):
        port = free_port()
        log.seek(0)
        log.truncate()
        server = subprocess.Popen(
            ["systemd-socket-activate", "--inetd", "--accept", "--listen", f"127.0.0.1:{port}", *command],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        listening = lambda: server.poll() is not None or b"Listening on" in Path(log.name).read_bytes()
        if wait_until(listening, 10) and server.poll() is None:
            return server, port
        server.kill()
        server.wait()
    fail("systemd-socket-activate did not listen:\n" + Path(log.name).read_text())


def start_activator(no_delay, command, listen=("127.0.0.1", 0), namespace=None, quiet=False):
    """An activator of this file's own: (process, port). It listens on LISTEN
    (a free port of 127.0.0.1 unless told), inside the network namespace
    NAMESPACE if one is named; QUIET drops what the commands log.

    Like systemd-socket-activate --inetd --accept, it runs COMMAND for each
    connection with the connection as its standard input and output; unlike it,
    it can set TCP_NODELAY on the listening socket, as NoDelay=yes does (the
    connections inherit it). It collects its ended children, and runs until
    killed."""
    inside = ["ip", "netns", "exec", namespace] if namespace else []
    activator = subprocess.Popen([*inside, sys.executable, __file__, "--serve", "on" if no_delay else "off",
                                  listen[0], str(listen[1]), "--", *command],
                                 stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL if quiet else None)
    port = activator.stdout.readline()
    if not port:
        activator.wait()
        fail(f"the activator did not listen on {listen[0]}:{listen[1]}")
    return activator, int(port)


def serve(no_delay, address, port, command):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if no_delay:
        listener.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    listener.bind((address, port))
    listener.listen(4096)
    listener.settimeout(0.1)
    print(listener.getsockname()[1], flush=True)
    while True:
        try:
            connection, _ = listener.accept()
        except TimeoutError:
            reap_children()
            continue
        actions = [(os.POSIX_SPAWN_DUP2, connection.fileno(), 0), (os.POSIX_SPAWN_DUP2, connection.fileno(), 1)]
        os.posix_spawnp(command[0], command, os.environ, file_actions=actions)
        connection.close()
        reap_children()


if __name__ == "__main__" and sys.argv[1:2] == ["--serve"]:
    serve(sys.argv[2] == "on", sys.argv[3], int(sys.argv[4]), sys.argv[6:])
