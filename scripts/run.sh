#!/usr/bin/env bash
# The main job: replays a conversation through the plug-in with the reference host, into a fresh
# folder, shows the history files it wrote, and reads them back with quillet-history.
#
#   scripts/run.sh                      the bundled sample, native build
#   scripts/run.sh --wine               the same through the Windows DLL under Wine
#   scripts/run.sh --replay FILE        another conversation (JSON Lines, docs/replay-format.md)
#   scripts/run.sh --out DIR            where to put the plug-in and its files (default: out/run)
set -euo pipefail
cd "$(dirname "$0")/.."

wine_run=false
replay=samples/conversation.jsonl
out=out/run
while [ $# -gt 0 ]; do
  case "$1" in
    --wine) wine_run=true ;;
    --replay) replay=$2; shift ;;
    --out) out=$2; shift ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "run: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
replay=$(realpath "$replay")

if $wine_run; then
  preset=win32 module=Quillet.dll host=quillet-host.exe tool=quillet-history.exe what="Windows plug-in"
else
  preset=native module=Quillet.so host=quillet-host tool=quillet-history what="native plug-in"
fi
# One line per step: on a fresh machine the set-up and the first build take a minute or two.
built=false
if [ -x "build/$preset/$host" ]; then
  echo "== Bringing the $what and the reference host up to date (build/$preset)"
  cmake --build --preset "$preset" --target Quillet quillet-host quillet-history >/dev/null 2>&1 && built=true
fi
if ! $built; then
  echo "== Setting up the machine (packages, Wine prefix)"
  scripts/setup.sh >/dev/null
  echo "== Configuring build/$preset"
  cmake --preset "$preset" >/dev/null
  echo "== Building the $what and the reference host"
  cmake --build --preset "$preset" --target Quillet quillet-host quillet-history >/dev/null
fi

# A fresh folder with the plug-in, the history tool and the sample's list and settings files
# beside it, as a user installs them.
rm -rf "$out" && mkdir -p "$out"
cp "build/$preset/$module" "build/$preset/$tool" "$out/"
if [ "$replay" = "$(realpath samples/conversation.jsonl)" ]; then
  cp samples/aliases.ini samples/Exclude.ini samples/Quillet.ini "$out/"
fi

lines=$(grep -c . "$replay" || true)
echo "== Replaying $lines lines of $(basename "$replay") through $out/$module"
if $wine_run; then
  export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"
  wine "build/$preset/$host" "$out/$module" --replay "$replay" --progress 1000
else
  QUILLET_TIME_FORMAT=${QUILLET_TIME_FORMAT:-HH:mm:ss} \
    "build/$preset/$host" "$out/$module" --replay "$replay" --progress 1000
fi

echo
echo "== History files (ANSI ones shown converted from code page 1252, line ends as ␍␊)"
find "$out" -type f -path '*HISTORY*' | sort | while read -r file; do
  if [ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' ')" = efbbbf ]; then
    echo "-- ${file#"$out"/} ($(stat -c %s "$file") bytes, UTF-8)"
    tail -c +4 "$file" | sed 's/\r$/␍␊/' | head -n 60
  else
    echo "-- ${file#"$out"/} ($(stat -c %s "$file") bytes, ANSI)"
    iconv -f CP1252 -t UTF-8 "$file" | sed 's/\r$/␍␊/' | head -n 60
  fi
done

# What went in comes out: the tool beside the plug-in finds the history through its settings.
word="ваше здоровье"
if $wine_run; then
  read_back() { wine "$out/$tool" "$@"; }
else
  read_back() { "$out/$tool" "$@"; }
fi
echo
echo "== Reading it back: $tool list"
read_back list
echo
echo "== $tool search \"$word\" (letter case ignored)"
read_back search "$word" || true
