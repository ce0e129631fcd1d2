#!/usr/bin/env bash
# Builds the Debian package from a Release build without the tests, checks what
# it holds and its manual page, unpacks it into a scratch root and plays a
# short scripted game with the installed binary; then tries `cmake --install`
# into a staging folder. Run from the repository's root.
# DUSK_PACKAGE_BUILD names another build folder (default build/package).
set -euo pipefail

build=${DUSK_PACKAGE_BUILD:-build/package}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "package: $*" >&2; exit 1; }

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDUSK_TESTS=OFF -DDUSK_WERROR=ON
cmake --build "$build" -j 2
rm -f "$build"/dusk-lynx_*.deb
(cd "$build" && cpack -G DEB)

debs=("$build"/dusk-lynx_1.6_*.deb)
[[ -f ${debs[0]} ]] || fail "no dusk-lynx_1.6_*.deb in $build"
((${#debs[@]} == 1)) || fail "more than one package: ${debs[*]}"
deb=${debs[0]}
echo "== $deb"

# What the package holds.
# (Listings go to files first: grep -q quits early, and under pipefail the
# writer's broken pipe would fail the check.)
dpkg-deb -c "$deb" >"$scratch/listing"
dpkg-deb -I "$deb" >"$scratch/info"
awk '{print $NF}' "$scratch/listing" >"$scratch/contents"
for path in ./usr/games/dusk-lynx ./usr/share/man/man6/dusk-lynx.6 \
            ./usr/share/doc/dusk-lynx/README.md ./usr/share/doc/dusk-lynx/copyright; do
  grep -qxF "$path" "$scratch/contents" || fail "$path is not in the package"
done
grep -q '^-rwxr-xr-x .* ./usr/games/dusk-lynx$' "$scratch/listing" ||
  fail "./usr/games/dusk-lynx is not an executable file"

# Its control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == dusk-lynx ]] || fail "Package: $(field Package)"
[[ $(field Version) == 1.6 ]] || fail "Version: $(field Version)"
[[ $(field Section) == games ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Depends) == *libc6* ]] || fail "Depends: '$(field Depends)' (no libc6)"
grep -q '^ Depends: ' "$scratch/info" || fail "no Depends line"
grep -q '^ Description: ' "$scratch/info" || fail "no Description"

# The manual page: groff prints nothing at all when it has no complaint.
groff -ww -man -z man/dusk-lynx.6 >"$scratch/groff.out" 2>&1
[[ ! -s $scratch/groff.out ]] || { cat "$scratch/groff.out"; fail "groff warns about the manual page"; }

# The installed game plays: title, introduction, main menu, statistics, quit.
root=$scratch/root
dpkg -x "$deb" "$root"
menu='\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n'
{
  printf '*THE ADVENTURES*\n*******OF*******\n***DUSK  LYNX***\nV1.6\nCREATED BY:\n     DUSK LYNX\n'
  printf '\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\nTO RID THE VILLAGE OF JETEK FROM A CURSE.\n'
  printf 'HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?\n(YOU SHOULD BUY A SWORD)\n'
  printf %b "$menu"
  printf '\n\nDUSK LYNX : STATISTICS\n----------------------\nLEVEL: 1\tGOLD: 50\nEXPERIENCE: 0/100\n'
  printf 'HEALTH: 50/50\nMANA  : 20/20\nATTACK: 10\nDEFNCE: 0\nWEAPON: UNARMED\nARMOUR: OLD CLOTHES\n\n'
  printf %b "$menu"
} >"$scratch/expected"

status=0
printf '\n\n\n3\n\n4\n' | "$root/usr/games/dusk-lynx" >"$scratch/actual" || status=$?
((status == 0)) || fail "the installed game exited with status $status"
cmp "$scratch/expected" "$scratch/actual" ||
  { diff <(cat -A "$scratch/expected") <(cat -A "$scratch/actual") || true; fail "the installed game printed the wrong text"; }

# The same rules without the package.
stage=$scratch/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr
for path in usr/games/dusk-lynx usr/share/man/man6/dusk-lynx.6 usr/share/doc/dusk-lynx/README.md; do
  [[ -f $stage/$path ]] || fail "cmake --install left out /$path"
done
[[ -x $stage/usr/games/dusk-lynx ]] || fail "cmake --install: /usr/games/dusk-lynx is not executable"

echo "== package ok: $deb"
