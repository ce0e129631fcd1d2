#!/usr/bin/env bash
# The Wine of the windows preset's tests, around a ctest run:
#   tests/wine_server.sh PREFIX start   makes the prefix once (a few seconds and
#                                       some hundred MB), then starts one server
#                                       that outlives each program, so that a
#                                       program starts in tenths of a second;
#   tests/wine_server.sh PREFIX stop    ends that server.
# The server ends by itself two minutes after its last program, should a run
# be broken off before its stop.
set -euo pipefail
prefix=${1:?usage: wine_server.sh PREFIX start|stop}
export WINEPREFIX=$prefix WINEDEBUG=-all
unset WINEPATH

case ${2-} in
  start)
    if [[ ! -f $prefix/system.reg ]]; then
      # Made aside and moved into place when whole, so that a broken-off
      # attempt is never taken for a prefix. Neither Mono nor Gecko is wanted.
      rm -rf "$prefix.new"
      WINEPREFIX=$prefix.new WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
      WINEPREFIX=$prefix.new wineserver -w
      mv "$prefix.new" "$prefix"
    fi
    # The server puts itself in the background once it is ready; it must not
    # keep the test's output open. Nor may Wine's own services, which the
    # first program of a server starts and which inherit its output: ctest
    # would wait for them. So a first program is run here, with no output.
    setsid wineserver -p120 </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w
    ;;
  *)
    echo "usage: wine_server.sh PREFIX start|stop" >&2
    exit 2
    ;;
esac
