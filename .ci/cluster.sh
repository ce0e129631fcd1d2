#!/usr/bin/env bash
# The cluster test (tests/cluster_test.py): three game hosts behind the shipped
# HAProxy configuration, in network namespaces of their own, with 1,500
# players, a host that dies and comes back, and the caps on one address. Runs
# as root (it makes namespaces); installs HAProxy and what the hosts' services
# run, builds the game, and removes every namespace of the run whatever
# happens. Run from the repository's root.
set -euo pipefail
source .ci/install.sh
install_missing haproxy iproute2 socat inetutils-telnetd busybox-static util-linux python3

[[ $(id -u) == 0 ]] || { echo "cluster: the test makes network namespaces, which needs root" >&2; exit 1; }

cmake --preset release
cmake --build --preset release --target dusk-lynx

# Every namespace of this run is named after it: whatever stops the test,
# these go, with every process inside them.
prefix=dlc$$
cleanup() {
  local name pid
  for name in $(ip netns list | awk -v p="$prefix-" 'index($1, p) == 1 {print $1}'); do
    for pid in $(ip netns pids "$name"); do kill -KILL "$pid" 2>/dev/null || true; done
    ip netns del "$name" || true
  done
  rm -rf "${TMPDIR:-/tmp}/$prefix"
}
trap cleanup EXIT

cd tests
timeout --signal=TERM --kill-after=30 600 \
  python3 cluster_test.py ../build/release/dusk-lynx data/story.txt --prefix "$prefix"
