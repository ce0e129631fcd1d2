#!/usr/bin/env bash
# The installed service under systemd as process 1 (.ci/host.sh's container),
# after the package step has built build/release's package: 500 raw and 500
# telnet players, each playing a game of its own that must be exact; the SSH
# port's test with Debian's ssh (the story, 200 players, every way out); then
# tests/host_test.py (a crowd arriving together, the caps and their line, the
# idle limit, the limit on a game's length, the isolation probe, a flood). The
# container is removed however the tests end; the whole step is bounded in
# time. Run as root, from the repository's root.
set -euo pipefail

game=build/release/dusk-lynx
story=tests/data/story.txt
trap 'bash .ci/host.sh down' EXIT
bash .ci/host.sh up
timeout 300 python3 tests/net_test.py "$game" packaging/systemd/dusk-lynx-games.service.in "$story" \
  --players 500 --connect 4077
timeout 300 python3 tests/telnet_test.py "$game" packaging/systemd/dusk-lynx-telnet-games.service.in "$story" \
  --players 500 --connect 4078
timeout 300 python3 tests/ssh_test.py "$game" packaging/ssh "$story" --players 200 --server 127.0.0.1:4079 \
  --host-key /run/dusk-lynx-host/root/var/lib/dusk-lynx-ssh/etc/ssh/ssh_host_ed25519_key.pub
timeout 660 python3 tests/host_test.py "$game" "$story"
