#!/usr/bin/env bash
# Every release artifact, made into DIR with its SHA256SUMS, and each checked
# the way its user would use it:
#
#   bash .ci/artifacts.sh DIR
#
#   dusk-lynx-VERSION.tar.gz                 the source (git archive of HEAD)
#   dusk-lynx_VERSION_amd64.deb              the Debian packages, built from that
#   dusk-lynx_VERSION_arm64.deb              source as its README says
#   dusk-lynx-VERSION-windows-x86_64.zip     dusk-lynx.exe, README, LICENSE, CHANGELOG
#   dusk-lynx-VERSION-web.zip                the site
#
# The packages and the Windows zip are made twice, from two unpacked copies of
# the source in two build folders, some seconds apart, and must be the same
# bytes. Every time stamp is SOURCE_DATE_EPOCH (by default the last commit's).
# The builds are made in build/artifacts (DUSK_ARTIFACTS_WORK). Needs what the
# release, arm64, windows and web presets need, plus zip, unzip, lintian,
# qemu-user, Wine and Chromium (see .ci/run and .ci/web.sh).
set -euo pipefail
out=${1:?usage: .ci/artifacts.sh DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=${DUSK_ARTIFACTS_WORK:-$root/build/artifacts}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
umask 022

version=$(sed -n 's/^project(dusk-lynx VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "artifacts: no version in CMakeLists.txt" >&2; exit 1; }
name=dusk-lynx-$version
source_tar=$name.tar.gz
debs=("dusk-lynx_${version}_amd64.deb" "dusk-lynx_${version}_arm64.deb")
windows_zip=$name-windows-x86_64.zip
web_zip=$name-web.zip

fail() { echo "artifacts: $*" >&2; exit 1; }
say() { echo; echo "== artifacts: $*"; }

rm -rf "$work"
mkdir -p "$work"
rm -f "$out/$source_tar" "${debs[@]/#/$out/}" "$out/$windows_zip" "$out/$web_zip" "$out/SHA256SUMS"

# A zip that depends on nothing but the files' contents and names: one time
# stamp, fixed modes, the names in order, no extra fields.
reproducible_zip() {
  local zip_file=$1 folder=$2
  find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  find "$folder" -type d -exec chmod 755 {} +
  find "$folder" -type f -exec chmod 644 {} +
  [[ ! -e $folder/$name/dusk-lynx.exe ]] || chmod 755 "$folder/$name/dusk-lynx.exe"
  (cd "$folder" && find . -mindepth 1 -printf '%P\n' | sort | zip -X -D -q -9 "$zip_file" -@)
}

say "the source, $source_tar"
git -C "$root" archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$out/$source_tar"

# The packages and the Windows zip, from the source unpacked into $1.
make_binaries() {
  local place=$1 src=$1/$name
  mkdir -p "$place"
  tar -xzf "$out/$source_tar" -C "$place"
  (
    cd "$src"
    cmake --preset release
    cmake --build --preset release
    (cd build/release && cpack -G DEB)
    cmake --preset arm64
    cmake --build --preset arm64 --target dusk-lynx dusk_docs
    (cd build/arm64 && cpack -G DEB)
    cmake --preset windows
    cmake --build --preset windows --target dusk-lynx
  ) >"$place/log" 2>&1 || { tail -n 40 "$place/log"; fail "a build in $place failed (all of it in $place/log)"; }
  cp "$src/build/release/${debs[0]}" "$src/build/arm64/${debs[1]}" "$place/"
  # Notepad's own line ends, and names that Windows opens with it.
  local folder=$place/windows/$name
  mkdir -p "$folder"
  x86_64-w64-mingw32-strip -o "$folder/dusk-lynx.exe" "$src/build/windows/dusk-lynx.exe"
  for text in README.md:README.txt LICENSE:LICENSE.txt CHANGELOG.md:CHANGELOG.txt; do
    sed 's/$/\r/' "$src/${text%%:*}" >"$folder/${text##*:}"
  done
  reproducible_zip "$place/$windows_zip" "$place/windows"
}

say "the packages and the Windows zip, twice"
make_binaries "$work/first"
sleep 2
make_binaries "$work/second"
for file in "${debs[@]}" "$windows_zip"; do
  cmp "$work/first/$file" "$work/second/$file" ||
    fail "$file is not the same when made again (diffoscope $work/first/$file $work/second/$file)"
  cp "$work/first/$file" "$out/"
done
echo "the same bytes both times: ${debs[*]} $windows_zip"

say "the web page, $web_zip"
src=$work/first/$name
# The browser tests' npm packages, when this tree has them, rather than a new download.
[[ ! -d $root/web/node_modules ]] || ln -s "$root/web/node_modules" "$src/web/node_modules"
(cd "$src" && cmake --preset web && cmake --build --preset web) >"$work/web.log" 2>&1 ||
  { tail -n 40 "$work/web.log"; fail "the web build failed (all of it in $work/web.log)"; }
mkdir -p "$work/web"
cp -r "$src/build/web/site" "$work/web/$name-web"
reproducible_zip "$out/$web_zip" "$work/web"

(cd "$out" && sha256sum "$source_tar" "${debs[@]}" "$windows_zip" "$web_zip" >SHA256SUMS)

# --- each artifact as its user has it ---------------------------------------

check=$work/check
mkdir -p "$check"
play() { python3 "$root/tests/binary_test.py" --data "$root/tests/data" --version "$version" "$@"; }

say "checking the packages"
for deb in "${debs[@]}"; do
  arch=${deb%.deb}
  arch=${arch##*_}
  field() { dpkg-deb -f "$out/$deb" "$1"; }
  [[ $(field Architecture) == "$arch" ]] || fail "$deb: Architecture: $(field Architecture)"
  depends=$(field Depends)
  echo "$deb: Architecture: $arch; Depends: $depends"
  [[ $depends =~ (^|, )libc6\ \(\>=\ [0-9.]+\)(,|$) ]] || fail "$deb: no libc6 (>= VERSION) in Depends"
  [[ $depends =~ (^|, )socat(,|$) ]] || fail "$deb: no socat in Depends"
  [[ $depends != *cross* ]] || fail "$deb: Depends names a cross toolchain's package"
  lintian --fail-on error,warning "$out/$deb" || fail "lintian finds fault with $deb"
  dpkg -x "$out/$deb" "$check/$arch"
  file "$check/$arch/usr/games/dusk-lynx"
done
play -- "$check/amd64/usr/games/dusk-lynx"
play -- qemu-aarch64 -L /usr/aarch64-linux-gnu "$check/arm64/usr/games/dusk-lynx"

say "checking the Windows zip"
unzip -q "$out/$windows_zip" -d "$check/windows"
for text in README.txt LICENSE.txt CHANGELOG.txt; do
  [[ -s $check/windows/$name/$text ]] || fail "$windows_zip has no $text"
  ! grep -qv $'\r$' "$check/windows/$name/$text" || fail "$text has a line that does not end in CR LF"
done
bash "$root/tests/libraries_test.sh" x86_64-w64-mingw32-objdump "$check/windows/$name/dusk-lynx.exe" \
  --subsystem "Windows CUI" KERNEL32.dll msvcrt.dll
# The Wine prefix of the windows preset, made there or now.
wine_prefix=$root/build/windows/wine
wine_server=(bash "$root/tests/wine_server.sh" "$wine_prefix")
"${wine_server[@]}" start
trap '"${wine_server[@]}" stop' EXIT
play --windows -- env -u WINEPATH WINEDEBUG=-all WINEPREFIX="$wine_prefix" wine \
  "$check/windows/$name/dusk-lynx.exe"

say "checking the source: the README's build, and its game"
# make_binaries built the release preset from the unpacked source, as the README says.
tar -tzf "$out/$source_tar" >"$check/source-list"
! grep -q "^$name/build/" "$check/source-list" || fail "$source_tar holds a build folder"
grep -qF 'cmake --preset release && cmake --build --preset release && ./build/release/dusk-lynx' \
  "$work/first/$name/README.md" || fail "the README no longer gives the build command checked here"
play -- "$work/first/$name/build/release/dusk-lynx"

say "checking the web zip in Chromium"
unzip -q "$out/$web_zip" -d "$check/web"
[[ -f $check/web/$name-web/index.html ]] || fail "$web_zip has no $name-web/index.html"
(cd "$root" && node bench/web_measure.mjs --site "$check/web/$name-web" --lines 10 --repeats 1 --check)

say "made into $out"
(cd "$out" && ls -l "$source_tar" "${debs[@]}" "$windows_zip" "$web_zip" SHA256SUMS && cat SHA256SUMS)
