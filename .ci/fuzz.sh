#!/usr/bin/env bash
# A bounded fuzzing run: builds the libFuzzer harness (the fuzz preset: clang++,
# in build/fuzz) and lets it play the game for a minute, starting from the seed inputs in
# fuzz/corpus and the whole story (tests/data/story.txt). The corpus grows in a
# temporary folder, so the repository is not changed. Fails when the fuzzer
# reports a finding (crash, sanitizer report, timeout, running out of memory).
#   DUSK_FUZZ_SECONDS  how long to fuzz (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/fuzz

cmake --preset fuzz
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus" "$work/findings"
cp fuzz/corpus/* tests/data/story.txt "$work/corpus/"

# libFuzzer exits non-zero on a finding and writes it to findings/.
set +e
"$build/fuzz/fuzz_game" -max_total_time="${DUSK_FUZZ_SECONDS:-60}" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/findings/" \
  "$work/corpus" >"$work/log" 2>&1
status=$?
set -e
# The executions and coverage at the start and the end, and the final figures.
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::' "$work/log" || true
if ((status != 0)) || compgen -G "$work/findings/*" >/dev/null; then
  echo "fuzzing found a fault (exit status $status):"
  tail -n 60 "$work/log"
  mkdir -p "$build/findings"
  for finding in "$work"/findings/*; do
    [[ -e $finding ]] || continue
    cp "$finding" "$build/findings/"
    echo "== $build/findings/$(basename "$finding") (replay: $build/fuzz/fuzz_game FILE)"
    od -c "$finding" | head -n 40
  done
  exit 1
fi
echo "fuzzing: no findings"
