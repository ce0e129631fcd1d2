#!/usr/bin/env bash
# The installed service under systemd as process 1 (.ci/host.sh's container),
# after the package step has built build/release's package: 500 raw and 500
# telnet players, each playing a game of its own that must be exact; then
# tests/host_test.py (a crowd arriving together, the caps and their line, the
# idle limit, the isolation probe, a flood). The container is removed however
# the tests end; the whole step is bounded in time. Run as root, from the
# repository's root.
set -euo pipefail

game=build/release/dusk-lynx
story=tests/data/story.txt
trap 'bash .ci/host.sh down' EXIT
bash .ci/host.sh up
timeout 300 python3 tests/net_test.py "$game" packaging/systemd/dusk-lynx-games.service.in "$story" \
  --players 500 --connect 4077
timeout 300 python3 tests/telnet_test.py "$game" packaging/systemd/dusk-lynx-telnet-games.service.in "$story" \
  --players 500 --connect 4078
timeout 660 python3 tests/host_test.py "$game" "$story"
