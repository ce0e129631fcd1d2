#!/usr/bin/env bash
# The shared libraries that a built program needs, as its headers name them,
# are all among those given; with --subsystem, its Windows subsystem is the one
# named ("Windows CUI": a console program, which Windows gives a console
# window of its own when it is started from the desktop).
#
#   tests/libraries_test.sh OBJDUMP PROGRAM [--subsystem NAME] LIBRARY...
#
# Exits 0 when all is well, 1 on a failure, 77 (skipped) without objdump.
set -euo pipefail
objdump=${1:?usage: libraries_test.sh OBJDUMP PROGRAM [--subsystem NAME] LIBRARY...}
program=${2:?usage: libraries_test.sh OBJDUMP PROGRAM [--subsystem NAME] LIBRARY...}
shift 2
subsystem=
if [[ ${1-} == --subsystem ]]; then
  subsystem=${2:?--subsystem needs a name}
  shift 2
fi
allowed=("$@")
command -v "$objdump" >/dev/null || { echo "SKIP: no $objdump"; exit 77; }

headers=$("$objdump" -p "$program")
# PE: "	DLL Name: KERNEL32.dll"; ELF: "  NEEDED               libc.so.6".
needed=$(sed -n -e 's/^[[:space:]]*DLL Name: //p' -e 's/^[[:space:]]*NEEDED[[:space:]]*//p' <<<"$headers")
[[ -n $needed ]] || { echo "FAIL: $objdump -p names no library of $program"; exit 1; }
echo "$program needs:" $needed
status=0
for library in $needed; do
  found=0
  for name in "${allowed[@]}"; do
    [[ ${library,,} == "${name,,}" ]] && found=1
  done
  ((found)) || { echo "FAIL: $program needs $library, which is not among: ${allowed[*]}"; status=1; }
done
if [[ -n $subsystem ]]; then
  line=$(grep -E '^Subsystem[[:space:]]' <<<"$headers" || true)
  echo "$line"
  [[ $line == *"($subsystem)"* ]] || { echo "FAIL: the subsystem is not $subsystem"; status=1; }
fi
exit $status
