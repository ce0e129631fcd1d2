#!/usr/bin/env bash
# `bash .ci/host.sh up [PACKAGE.deb]` boots the Debian package just built (by
# default the one in build/release) in a container with systemd as process 1:
# systemd-nspawn over a Debian 12 root made by debootstrap, which is kept under
# /var/cache/dusk-lynx-host between runs. Every socket and service the package
# ships with an [Install] section is enabled; the container shares the host's
# network, so the game's ports listen on the host's 127.0.0.1, and `up`
# returns once they all do. `bash .ci/host.sh down` stops the container and
# removes everything `up` made. `bash .ci/host.sh run COMMAND...` runs a
# command inside the running container. Run as root, from the repository's root.
set -euo pipefail

cache=/var/cache/dusk-lynx-host
base=$cache/bookworm
state=/run/dusk-lynx-host
machine=dusk-lynx-ci
# The ports the package serves on: those its socket units name, and those of
# services that bind their own port, listed here (the SSH port's sshd).
service_ports=(4079)
ports_of() { { sed -n 's/^ListenStream=\(.*:\)\{0,1\}\([0-9][0-9]*\)$/\2/p' "$@"; printf '%s\n' "${service_ports[@]}"; } |
  sed '/^$/d' | sort -u; }

fail() { echo "host: $*" >&2; exit 1; }
# The units enabled in ROOT: the links under its /etc/systemd/system.
enabled_units() { (cd "$1/etc/systemd/system" && find . -type l | sort); }
# Runs a shell command in ROOT, not booted, as apt would at an install.
in_root() {
  systemd-nspawn "${nspawn[@]}" -D "$1" -M "$machine-setup" --pipe -E DEBIAN_FRONTEND=noninteractive \
    sh -c "$2" </dev/null
}
# No machined or service manager on the host to register with (the host's
# process 1 need not be systemd): the container stays in this command's cgroup.
nspawn=(--quiet --register=no --keep-unit)

make_base() {
  [[ -x $base/lib/systemd/systemd ]] && return 0
  source .ci/install.sh
  install_missing debootstrap systemd-container
  rm -rf "$base.new"
  mkdir -p "$cache"
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,libcap2-bin,procps \
    bookworm "$base.new" http://deb.debian.org/debian
  mv "$base.new" "$base"
}

up() {
  local deb=${1:-}
  [[ -n $deb ]] || deb=$(ls build/release/dusk-lynx_*.deb 2>/dev/null | head -n 1)
  [[ -f $deb ]] || fail "no package: build it first (bash .ci/package.sh)"
  [[ ! -e $state ]] || fail "a container is up already ($state); run down first"
  make_base
  mkdir -p "$state"
  # nspawn keeps its mount propagation folders under /run/systemd/nspawn and
  # refuses to remove them from a disk: where /run is no tmpfs, one is
  # mounted there for the container's life.
  if ! findmnt -n -t tmpfs -T /run/systemd/nspawn >/dev/null; then
    mkdir -p /run/systemd/nspawn
    mount -t tmpfs -o mode=0755 dusk-lynx-host /run/systemd/nspawn
    touch "$state/propagate-mount"
  fi
  local root=$state/root
  cp -a "$base" "$root"
  cp "$deb" "$root/root/dusk-lynx.deb"
  # The package with what it recommends, as a new Debian 12 root gets it:
  # that must enable no unit (a daemon started at each boot). Then what the
  # ports need and the package only suggests, since each starts a daemon of
  # its own: haproxy, telnetd and sshd; of their own units, haproxy's and the
  # container's sshd (port 22, and the container shares the host's network)
  # stay off.
  local enabled_before enabled_after
  enabled_before=$(enabled_units "$root")
  in_root "$root" 'apt-get update -qq && apt-get install -y -qq /root/dusk-lynx.deb >/dev/null'
  enabled_after=$(enabled_units "$root")
  [[ $enabled_before == "$enabled_after" ]] ||
    fail "installing the package enabled: $(comm -13 <(echo "$enabled_before") <(echo "$enabled_after") | tr '\n' ' ')"
  in_root "$root" 'apt-get install -y -qq haproxy inetutils-telnetd busybox-static openssh-server >/dev/null'
  systemctl --root="$root" mask haproxy.service ssh.service ssh.socket >/dev/null
  local units=() unit
  for unit in "$root"/usr/lib/systemd/system/dusk-lynx*.{socket,service}; do
    grep -q '^\[Install\]' "$unit" && units+=("$(basename "$unit")")
  done
  ((${#units[@]})) || fail "the package ships no unit to enable"
  systemctl --root="$root" enable "${units[@]}" >/dev/null
  # A bound on the container's journal, whatever the tests make it log.
  mkdir -p "$root/etc/systemd/journald.conf.d"
  printf '[Journal]\nSystemMaxUse=256M\n' >"$root/etc/systemd/journald.conf.d/dusk-lynx-host.conf"
  mapfile -t ports < <(ports_of "$root"/usr/lib/systemd/system/dusk-lynx*.socket)
  echo "${ports[*]}" >"$state/ports"
  # Process 1 of the container: systemd, its console on a log file.
  setsid systemd-nspawn "${nspawn[@]}" --boot -D "$root" -M "$machine" \
    --console=passive </dev/null >"$state/console.log" 2>&1 &
  echo $! >"$state/pid"
  local port deadline=$((SECONDS + 120))
  for port in "${ports[@]}"; do
    until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
      kill -0 "$(cat "$state/pid")" 2>/dev/null || { cat "$state/console.log"; fail "the container stopped"; }
      ((SECONDS < deadline)) || { cat "$state/console.log"; fail "port $port does not listen"; }
      sleep 0.5
    done
  done
  echo "host: up, listening on 127.0.0.1: ${ports[*]}"
}

# The container's process 1 and its children.
leader() { cat /proc/"$(cat "$state/pid")"/task/*/children 2>/dev/null | awk '{print $1; exit}'; }

run() {
  local pid
  pid=$(leader)
  [[ -n $pid ]] || fail "no container is up"
  nsenter -t "$pid" -m -u -i -n -p -C -- "$@"
}

down() {
  [[ -e $state ]] || return 0
  local pid
  pid=$(cat "$state/pid" 2>/dev/null || true)
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    # Asking the container's systemd to power off stops every game cleanly.
    kill -s SIGRTMIN+4 "$(leader)" 2>/dev/null || true
    for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
    kill -0 "$pid" 2>/dev/null && kill -s KILL "$pid" 2>/dev/null
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  fi
  # Whatever nspawn left mounted under the root, deepest first.
  awk -v root="$state/root" '$2 == root || index($2, root "/") == 1 {print $2}' /proc/mounts |
    sort -r | xargs -r -n 1 umount -l
  # The folder nspawn needs may serve another container by now: it stays
  # mounted while anything uses it.
  if [[ -e $state/propagate-mount ]] && ! umount /run/systemd/nspawn 2>/dev/null; then
    echo "host: /run/systemd/nspawn is in use by another container; left mounted" >&2
  fi
  rm -rf "$state"
  echo "host: down"
}

case ${1:-} in
  up) shift; up "$@" ;;
  down) down ;;
  run) shift; run "$@" ;;
  *) fail "usage: host.sh up [PACKAGE.deb] | down | run COMMAND..." ;;
esac
