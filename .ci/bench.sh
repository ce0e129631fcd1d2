#!/usr/bin/env bash
# The short benchmark of continuous integration: builds the benchmarks (the
# bench preset, in build/bench), plays the in-process sessions briefly, then takes the process
# figures (peak memory, writes per input, time against the write floor) at the
# two smallest sizes. It fails only when the memory or the writes per input are
# clearly off target; timings differ between machines and never fail it.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench
cmake --build --preset bench

build/bench/bench/dusk_bench --benchmark_min_time=0.1

# Peak memory is taken with /usr/bin/time, which a fresh Debian lacks.
if [[ ! -x /usr/bin/time && $(id -u) == 0 ]] && command -v apt-get >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends time
fi
python3 bench/measure.py --build build/bench --sizes 10000,100000 --repeats 3 --check
