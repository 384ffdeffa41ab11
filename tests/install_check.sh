#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that everything lands where
# the programs and the desktop look for it, and that the installed programs find
# their samples and help page from there.
set -euo pipefail
build="$1"
desktop="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
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
