#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that everything lands where
# the programs and the desktop look for it, and that the installed programs find
# their samples and help page from there.
set -euo pipefail
build="$(cd "$1" && pwd)"
desktop="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
cmake --install "$build" --prefix "$prefix" >/dev/null
need() { [ -e "$prefix/$1" ] || { echo "missing after install: $1" >&2; exit 1; }; }
need bin/cellarium-cli
need share/cellarium/help/life.htm
need share/cellarium/samples/glider_gun.rle
grep -q 'id="Main_Contents"' "$prefix/share/cellarium/help/life.htm"
if [ "$desktop" = "ON" ]; then
  need bin/cellarium
  need share/applications/cellarium.desktop
  need share/icons/hicolor/scalable/apps/cellarium.svg
  need share/mime/packages/cellarium.xml
  grep -q '^Exec=cellarium %f' "$prefix/share/applications/cellarium.desktop"
  for glob in '*.lif' '*.l' '*.rle' '*.cells'; do
    grep -qF "pattern=\"$glob\"" "$prefix/share/mime/packages/cellarium.xml"
  done
  # What software centres and menus read, valid as their tools see it.
  metainfo=share/metainfo/io.github.cellarium.Cellarium.metainfo.xml
  need "$metainfo"
  grep -q '<image>.*/docs/screenshot.png</image>' "$prefix/$metainfo"
  appstreamcli validate --no-net "$prefix/$metainfo" >/dev/null ||
    { appstreamcli validate --no-net "$prefix/$metainfo" >&2; exit 1; }
  desktop-file-validate "$prefix/share/applications/cellarium.desktop" >/dev/null ||
    { desktop-file-validate "$prefix/share/applications/cellarium.desktop" >&2; exit 1; }
  [ "$("$prefix/bin/cellarium" --version)" = "cellarium $version" ] ||
    { echo "cellarium --version: unexpected" >&2; exit 1; }
fi
# The installed runner works away from the source tree.
out="$(cd "$prefix" && bin/cellarium-cli share/cellarium/samples/glider_gun.rle -g 30)"
[ "$out" = "G:00030 C:00041 B:00018 D:00025 Z:x1" ] || { echo "unexpected: $out" >&2; exit 1; }
# The Python module and its survey program, when they were built.
if [ -d "$build/python/cellarium" ]; then
  need bin/cellarium-survey
  rows="$(cd "$prefix" && bin/cellarium-survey --seeds 0:1 --size 150x150 --limit 10 --serial \
          --no-progress 2>/dev/null)"
  [ "$(echo "$rows" | head -1)" = "rule,seed,size,density,first_repeat,period,population,limit" ] &&
    [ "$(echo "$rows" | wc -l)" = 2 ] || { echo "unexpected survey: $rows" >&2; exit 1; }
fi
echo "install layout complete under a fresh prefix"

# The Debian package: made by cpack from the same install rules, installed,
# run and removed again. It installs into the system, so only as root, one
# check at a time, and never over a cellarium package already installed.
if [ "$(id -u)" != 0 ]; then
  echo "skipped the Debian package: installing it needs root"
  exit 0
fi
exec 9>/tmp/cellarium-package-check.lock
flock 9
if dpkg -s cellarium >/dev/null 2>&1; then
  echo "skipped the Debian package: a cellarium package is installed already"
  exit 0
fi
work="$(mktemp -d)"
trap 'dpkg -s cellarium >/dev/null 2>&1 && dpkg -r cellarium >/dev/null; rm -rf "$prefix" "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb="$work/cellarium_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "cpack made no $deb" >&2; exit 1; }
# The libraries the programs link are dependencies (from dpkg-shlibdeps).
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libstdc++6 zlib1g; do
  echo "$depends" | grep -q "$lib" || { echo "no $lib in Depends: $depends" >&2; exit 1; }
done
if [ "$desktop" = "ON" ]; then
  echo "$depends" | grep -q libqt6widgets6 || { echo "no Qt in Depends: $depends" >&2; exit 1; }
fi
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; exit 1; }
out="$(cd / && cellarium-cli /usr/share/cellarium/samples/glider_gun.rle -g 30)"
[ "$out" = "G:00030 C:00041 B:00018 D:00025 Z:x1" ] ||
  { echo "installed runner: unexpected $out" >&2; exit 1; }
if [ "$desktop" = "ON" ]; then
  [ "$(cellarium --version)" = "cellarium $version" ] ||
    { echo "installed cellarium --version: unexpected" >&2; exit 1; }
  cellarium --help | grep -q '^Usage: cellarium'
fi
if [ -d "$build/python/cellarium" ]; then
  [ "$(cd / && /usr/bin/python3 -c 'import cellarium; print(cellarium.__version__)')" = "$version" ] ||
    { echo "installed module: unexpected version" >&2; exit 1; }
fi
dpkg -r cellarium >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; exit 1; }
for gone in /usr/bin/cellarium-cli /usr/bin/cellarium /usr/share/cellarium \
            /usr/share/metainfo/io.github.cellarium.Cellarium.metainfo.xml; do
  [ ! -e "$gone" ] || { echo "left after removal: $gone" >&2; exit 1; }
done
echo "the Debian package installs, runs and removes cleanly"
