#!/usr/bin/env bash
# The release artifacts: `bash .ci/artifacts.sh DIR` makes, into DIR,
#   dusk-lynx-VERSION.tar.gz               the source (git archive of HEAD)
#   dusk-lynx_VERSION_amd64.deb            the Debian package, amd64
#   dusk-lynx_VERSION_arm64.deb            the Debian package, arm64
#   dusk-lynx-VERSION-windows-x86_64.zip   the Windows program and its texts
#   dusk-lynx-VERSION-web.zip              the web page's site folder
#   SHA256SUMS
# The programs are built from the source archive, unpacked, as its users build
# it: the README's commands for amd64, the arm64 and windows presets for the
# others. The site is the web preset's (build/web/site, reused when .ci/web.sh
# built it already). Every date in them is SOURCE_DATE_EPOCH, the last
# commit's date unless set, so the same commit gives the same bytes.
#
# Then it checks each artifact as its user would: it unpacks it and plays a
# short game with the unpacked program (amd64 natively, arm64 under qemu,
# Windows under Wine), has lintian check both packages, opens the site's page
# from the unpacked zip in Chromium; and it makes the source archive, the
# packages and both zips again, later and in other folders, and checks that
# they are the same bytes. Builds go to build/artifacts. Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/install.sh
source .ci/short_game.sh

packages=(cmake make g++ git gzip zip unzip file lintian dpkg-dev
          g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user
          g++-mingw-w64-x86-64-posix wine wine64
          emscripten chromium fonts-dejavu-core)
command -v npm >/dev/null || packages+=(nodejs npm)
install_missing "${packages[@]}"
export PUPPETEER_SKIP_DOWNLOAD=1

fail() { echo "artifacts: $*" >&2; exit 1; }
say() { echo "== [${SECONDS} s] $*"; }

[[ -n ${1-} ]] || fail "usage: bash .ci/artifacts.sh DIR"
mkdir -p "$1"
out=$(realpath "$1")
work=$PWD/build/artifacts
rm -rf "$work"
mkdir -p "$work"

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
umask 022
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^project(dusk-lynx VERSION \([0-9.]*\).*/\1/p')
[[ -n $version ]] || fail "no project version in CMakeLists.txt"
[[ -z $(git status --porcelain --untracked-files=no) ]] ||
  echo "artifacts: WARNING: the source archive and the programs are HEAD's, without the changes not committed" >&2
name=dusk-lynx-$version
say "artifacts of $name, dated $(date -d "@$SOURCE_DATE_EPOCH" '+%F %T') (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"

# --- making them ----------------------------------------------------------------

# FOLDER/NAME into ZIP, the same bytes for the same files: the names in order,
# every date SOURCE_DATE_EPOCH's, the modes set, no owner (zip -X).
zip_folder() {
  local folder=$1 top=$2 zip=$3
  find "$folder/$top" -type d -exec chmod 755 {} + -o -type f ! -name '*.exe' -exec chmod 644 {} +
  find "$folder/$top" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$zip"
  (cd "$folder" && find "$top" -type f | sort | zip -X -D -q -9 "$zip" -@)
}

# A text file for Notepad: CR LF line ends, and a byte order mark should it
# hold anything but ASCII.
notepad_text() {
  local from=$1 to=$2
  if grep -qP '[^\x00-\x7F]' "$from"; then printf '\xEF\xBB\xBF' >"$to"; else : >"$to"; fi
  sed 's/\r*$/\r/' "$from" >>"$to"
}

# The files' modes as a checkout has them whatever git's tar.umask says, their
# dates the commit's, and gzip without a name or a date.
source_archive() {
  git -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$1"
}

# The programs and what holds them, made from the source archive unpacked in
# FOLDER, into OUTPUT.
make_programs() {
  local folder=$1 output=$2
  mkdir -p "$folder" "$output"
  tar -xzf "$out/$name.tar.gz" -C "$folder"
  local source=$folder/$name
  (
    cd "$source"
    # The README's commands, and the game they build plays.
    cmake --preset release >"$folder/release.log" && cmake --build --preset release >>"$folder/release.log" ||
      { cat "$folder/release.log"; fail "the README's commands do not build the source archive"; }
    mkdir "$folder/play"
    play_short_game "the source archive's game" "$version" "$folder/play" ./build/release/dusk-lynx ||
      fail "the game built from the source archive does not play"
    for preset in arm64 windows; do
      cmake --preset "$preset" -DDUSK_TESTS=OFF --no-warn-unused-cli >"$folder/$preset.log" &&
        cmake --build --preset "$preset" >>"$folder/$preset.log" ||
        { cat "$folder/$preset.log"; fail "the $preset preset does not build"; }
    done
    for preset in release arm64; do
      (cd "build/$preset" && cpack -G DEB >"$folder/cpack-$preset.log") ||
        { cat "$folder/cpack-$preset.log"; fail "cpack fails in build/$preset"; }
    done
  )
  [[ $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$source/build/release/CMakeCache.txt") == "$version" ]] ||
    fail "CMake's project version is not $version"
  cp "$source/build/release/dusk-lynx_${version}_amd64.deb" "$source/build/arm64/dusk-lynx_${version}_arm64.deb" \
     "$output/"

  local stage=$folder/windows windows=$name-windows-x86_64
  mkdir -p "$stage/$windows"
  x86_64-w64-mingw32-strip -o "$stage/$windows/dusk-lynx.exe" "$source/build/windows/dusk-lynx.exe"
  chmod 755 "$stage/$windows/dusk-lynx.exe"
  notepad_text "$source/README.md" "$stage/$windows/README.txt"
  notepad_text "$source/LICENSE" "$stage/$windows/LICENSE.txt"
  notepad_text "$source/CHANGELOG.md" "$stage/$windows/CHANGELOG.txt"
  zip_folder "$stage" "$windows" "$output/$windows.zip"
}

# The site folder into OUTPUT's web zip.
web_zip() {
  local output=$1 stage=$work/web
  rm -rf "$stage"
  mkdir -p "$stage"
  cp -r build/web/site "$stage/$name-web"
  zip_folder "$stage" "$name-web" "$output/$name-web.zip"
}

say "the source archive"
rm -f "$out"/dusk-lynx[-_]"$version"* "$out/SHA256SUMS"
source_archive "$out/$name.tar.gz"

say "the site (the web preset)"
cmake --preset web >"$work/web.log" && cmake --build --preset web >>"$work/web.log" ||
  { cat "$work/web.log"; fail "the web preset does not build"; }
web_zip "$out"

say "the packages and the Windows zip, from the source archive"
make_programs "$work/first" "$out"

(cd "$out" && sha256sum "$name.tar.gz" dusk-lynx_"$version"_{amd64,arm64}.deb \
   "$name-windows-x86_64.zip" "$name-web.zip" >SHA256SUMS)

# --- checking them as their users would -------------------------------------------

check=$work/check
mkdir -p "$check"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# The packages: the architecture, the dependencies an arm64 machine has too,
# lintian, and the unpacked game plays.
for arch in amd64 arm64; do
  deb=$out/dusk-lynx_${version}_$arch.deb
  say "$(basename "$deb")"
  field() { dpkg-deb -f "$deb" "$1"; }
  [[ $(field Package) == dusk-lynx && $(field Version) == "$version" ]] ||
    fail "$deb: Package '$(field Package)', Version '$(field Version)'"
  [[ $(field Architecture) == "$arch" ]] || fail "$deb: Architecture '$(field Architecture)'"
  root=$check/$arch
  dpkg-deb -x "$deb" "$root"
  game=$root/usr/games/dusk-lynx
  case $arch in
    amd64) machine=x86-64 objdump=objdump run=() ;;
    arm64) machine="ARM aarch64" objdump=aarch64-linux-gnu-objdump run=(qemu-aarch64 -L /usr/aarch64-linux-gnu) ;;
  esac
  file -b "$game" >"$check/$arch.file"
  grep -q "ELF 64-bit .*, $machine," "$check/$arch.file" || fail "$deb holds a game for another machine: $(cat "$check/$arch.file")"
  # The C library at the version of the newest symbol the game takes from it
  # (on amd64, dpkg-shlibdeps says so; on arm64, cmake/foreign-depends.cmake),
  # adduser for the SSH port's account, and on arm64 what amd64 needs besides;
  # the network tools are recommended or suggested alike on both.
  "$objdump" -T "$game" >"$check/$arch.symbols"
  glibc=$(grep -o 'GLIBC_[0-9.]*[0-9]' "$check/$arch.symbols" | sed 's/GLIBC_//' | sort -uV | tail -n 1)
  field Depends | sed 's/, /\n/g' | sort >"$check/$arch.depends"
  grep -qxF "libc6 (>= $glibc)" "$check/$arch.depends" && grep -qx adduser "$check/$arch.depends" ||
    fail "$deb: Depends '$(field Depends)' (wanted adduser and libc6 (>= $glibc))"
  grep -v '^libc6 ' "$check/$arch.depends" >"$check/$arch.others"
  printf 'Recommends: %s\nSuggests: %s\n' "$(field Recommends)" "$(field Suggests)" >>"$check/$arch.others"
  [[ $arch == amd64 ]] || diff "$check/amd64.others" "$check/$arch.others" ||
    fail "$deb: its Depends, Recommends or Suggests differ from the amd64 package's"
  lintian --fail-on error,warning "$deb" || fail "lintian finds fault with $deb"
  mkdir "$check/$arch-play"
  play_short_game "the $arch package's game" "$version" "$check/$arch-play" "${run[@]}" "$game" ||
    fail "the game of $deb does not play"
done

# The Windows zip: one folder, the program and three texts for Notepad; the
# program needs only Windows's own DLLs and plays under Wine, from a script
# with LF or CR LF line ends.
zip=$out/$name-windows-x86_64.zip
say "$(basename "$zip")"
windows=$name-windows-x86_64
unzip -Z1 "$zip" >"$check/windows.list"
printf '%s\n' "$windows/CHANGELOG.txt" "$windows/LICENSE.txt" "$windows/README.txt" "$windows/dusk-lynx.exe" |
  diff - "$check/windows.list" || fail "$zip holds other files"
unzip -q "$zip" -d "$check"
for text in README LICENSE CHANGELOG; do
  file=$check/$windows/$text.txt
  [[ -s $file ]] && ! grep -q $'[^\r]$' "$file" && ! grep -q '^$' "$file" ||
    fail "$file has a line that does not end in CR LF"
done
exe=$check/$windows/dusk-lynx.exe
x86_64-w64-mingw32-objdump -p "$exe" >"$check/windows.headers"
dlls=$(sed -n 's/^\tDLL Name: //p' "$check/windows.headers" | sort -f | tr '\n' ' ')
[[ $dlls == "KERNEL32.dll msvcrt.dll " ]] || fail "$exe needs these DLLs: $dlls"
# A Wine prefix takes seconds to make: the windows tests' one, when it is there.
prefix=$PWD/build/windows/wine
[[ -f $prefix/system.reg ]] || prefix=$PWD/build/artifacts-wine
bash tests/wine_server.sh "$prefix" start
trap 'bash tests/wine_server.sh "$prefix" stop' EXIT
wine=(env -u WINEPATH WINEDEBUG=-all WINEPREFIX="$prefix" wine)
for script in lf crlf; do
  mkdir "$check/windows-$script"
  options=(--windows)
  [[ $script == crlf ]] && options+=(--crlf)
  play_short_game "${options[@]}" "the Windows zip's game (a script with $script line ends)" "$version" \
    "$check/windows-$script" "${wine[@]}" "$exe" || fail "the game of $zip does not play under Wine"
done

# The web zip: its page, opened from disk, draws the title and plays.
zip=$out/$name-web.zip
say "$(basename "$zip")"
unzip -q "$zip" -d "$check"
[[ -f $check/$name-web/index.html ]] || fail "$zip has no $name-web/index.html"
short_game_screens "$version" >"$check/web-expected"
node .ci/open_site.mjs "$check/$name-web" "$check/web-expected" "${short_game_lines[@]}" ||
  fail "the page of $zip does not play"

# --- the same bytes again -----------------------------------------------------------

say "all of them again, later and in other folders"
again=$work/again
source_archive "$work/$name.tar.gz"
cmp "$out/$name.tar.gz" "$work/$name.tar.gz" || fail "git archive made another source archive"
make_programs "$work/second" "$again"
web_zip "$again"
for artifact in dusk-lynx_"$version"_{amd64,arm64}.deb "$name-windows-x86_64.zip" "$name-web.zip"; do
  cmp "$out/$artifact" "$again/$artifact" || fail "$artifact came out other bytes the second time"
done

say "artifacts ok, in $out:"
(cd "$out" && ls -l "$name.tar.gz" dusk-lynx_"$version"_{amd64,arm64}.deb "$name-windows-x86_64.zip" \
   "$name-web.zip" SHA256SUMS)
