#!/usr/bin/env bash
# Times one message through the plug-in against the floor (the same entry appended with one open,
# one write and one close), natively and for the Windows DLL under Wine, and prints the ratios
# (RATIO lines) and time per message as alias rules and exclusion entries grow (SCALE lines),
# and natively the instructions per message that callgrind counts (INSTR lines).
# Then searches a tree of history files with quillet-history against ripgrep and grep, exports
# it to JSON Lines, and reads one 4 GB file for its peak memory (SEARCH, EXPORT, MEMORY lines).
# Then converts a tree of ANSI history files to UTF-8 with quillet-history against iconv
# (CONVERT line).
#   scripts/bench.sh [native|wine|search|convert]   (all four when no argument is given)
# Build folders: $QUILLET_BENCH_BUILD (default build/bench)/native and .../win32.
set -euo pipefail
cd "$(dirname "$0")/.."
root="${QUILLET_BENCH_BUILD:-build/bench}"
which="${1:-all}"

if [[ "$which" == all || "$which" == native ]]; then
  cmake --preset native -B "$root/native" -DQUILLET_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$root/native" -j2 --target quillet-bench
  echo "== native ($(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores)"
  "$root/native/bench/quillet-bench" --benchmark_min_time=0.3 | grep -E '^(RATIO|SCALE)'
  # Instructions per message, which callgrind counts the same on every machine whatever its
  # load: the event entry's instructions for 1 100 messages less those for 100 (the setup's own
  # message and the first reads of the files cancel out), over 1 000. The template's references
  # are looked up in the environment, so its size counts too: the lines say it.
  if command -v valgrind >/dev/null; then
    count() {  # instructions of HandleEvent for $1 messages of the case $2
      valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*TDaxPlugin::HandleEvent*' \
        --callgrind-out-file="$root/callgrind.out" \
        "$root/native/bench/quillet-bench" --messages "$1" "$2" 2>&1 |
        sed -n 's/.*Collected : *//p'
    }
    for case in default aliases_100_exclude_10000 contacts_2_in_turn; do
      few=$(count 100 "$case") many=$(count 1100 "$case")
      printf "INSTR  %-26s %8d instructions per message (%d environment variables)\n" \
        "$case" $(((many - few) / 1000)) "$(env | grep -c '^[^ =]*=')"
    done
  else
    echo "INSTR: not counted (no valgrind; scripts/setup.sh installs it)"
  fi
fi

if [[ "$which" == all || "$which" == wine ]] && scripts/can-run-wine.sh; then
  cmake --preset win32 -B "$root/win32" >/dev/null
  cmake --build "$root/win32" -j2 --target quillet-win32-bench Quillet
  export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree=d;mshtml=d"
  [[ -d "$WINEPREFIX" ]] || scripts/setup.sh  # Wine and the project's prefix
  # Every file operation under Wine is a round trip to wineserver. With the program and the
  # server on one core the trip costs a fraction of a wake-up across cores, and the figures stay
  # the same from run to run; both sides of each ratio run under the same conditions.
  wineserver -k 2>/dev/null || true
  taskset -c 0 wineserver -p5
  echo "== Windows DLL under $(wine --version), program and wineserver on one core"
  taskset -c 0 wine "$root/win32/bench/quillet-win32-bench.exe" "$root/win32/Quillet.dll" 0.3
fi

# The search: 1 000 history files, 1 GB in all, as the plug-in writes them (half ANSI, half UTF-8
# with Cyrillic and emoji, texts of one to four lines), one entry in a thousand holding the word,
# searched for it ignoring case, with the page cache warm. Each program runs three times and its
# best time counts; all run in this one run, one after the other.
if [[ "$which" == all || "$which" == search ]]; then
  scripts/setup.sh >/dev/null  # ripgrep, GNU time
  cmake --preset native -B "$root/native" -DQUILLET_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$root/native" -j2 --target quillet-history make-history-tree
  tree="$root/history-tree" big="$root/history-4gb" word=zanzibar
  [[ -d "$tree/ICQ" ]] || "$root/native/bench/make-history-tree" "$tree" 1024 1000 "$word"
  [[ -d "$big/ICQ" ]] || "$root/native/bench/make-history-tree" "$big" 4096 1 "$word"
  bytes=$(du -sbL "$tree" | cut -f1)
  cat "$tree"/ICQ/777/* >/dev/null
  best() {  # the best of three wall-clock times of a command, in seconds; its output to a file
    local best=
    for _ in 1 2 3; do
      local t
      /usr/bin/time -o "$root/time.out" -f %e "$@" >"$root/search.out" 2>/dev/null || true
      t=$(tail -1 "$root/time.out")
      [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}' && best=$t
    done
    echo "$best"
  }
  tool="$root/native/quillet-history"
  q=$(best "$tool" --root "$tree" --quiet search "$word")
  hits=$(wc -l <"$root/search.out")
  r=$(best rg -i -F -n "$word" "$tree")
  g=$(best grep -r -i -F -n "$word" "$tree")
  echo "== search of $((bytes / 1048576)) MB in 1000 files for \"$word\" ignoring case ($hits entries found)"
  awk -v q="$q" -v r="$r" -v g="$g" 'BEGIN {
    printf "SEARCH quillet-history %.2f s, rg -i -F %.2f s, grep -r -i -F %.2f s\n", q, r, g
    printf "SEARCH ratio to rg %.2f (goal at most 1.5), to grep %.2f (goal below 1)\n", q / r, q / g }'
  e=$(best "$tool" --root "$tree" --quiet export --format jsonl)
  awk -v e="$e" -v b="$bytes" 'BEGIN { printf "EXPORT JSON Lines %.2f s, %.0f MB/s (goal at least 200)\n", e, b / 1048576 / e }'
  /usr/bin/time -o "$root/time.out" -f "%M %e" "$tool" --root "$big" --quiet search "$word" >/dev/null || true
  read -r m s <"$root/time.out"
  echo "MEMORY search of one $(( $(du -sbL "$big" | cut -f1) / 1048576 )) MB file: peak $((m / 1024)) MB in $s s (goal below 64 MB)"
  if scripts/can-run-wine.sh; then
    cmake --preset win32 -B "$root/win32" >/dev/null
    cmake --build "$root/win32" -j2 --target quillet-history
    export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"
    wineserver -p5
    w=$(best wine "$root/win32/quillet-history.exe" --root "Z:$(realpath "$tree")" --quiet search "$word")
    awk -v w="$w" -v q="$q" 'BEGIN { printf "SEARCH under Wine %.2f s, ratio to native %.2f (goal at most 3)\n", w, w / q }'
  else
    echo "SEARCH under Wine: not run (this machine cannot run 32-bit programs)"
  fi
fi

# The conversion: 1 000 history files, 1 GB in all, every one in code page 1252 (ASCII words with
# "café" and "naïve" among them), turned into UTF-8 by quillet-history and by iconv, one file
# after the other, each written beside and moved over its file. Each runs three times, every
# time on a fresh copy of the tree (the copy is not timed), and its best time counts; both run
# in this one run, one after the other.
if [[ "$which" == all || "$which" == convert ]]; then
  command -v iconv >/dev/null || { echo "CONVERT: not run (no iconv on this system)"; exit 1; }
  cmake --preset native -B "$root/native" -DQUILLET_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$root/native" -j2 --target quillet-history make-history-tree
  ansi="$root/ansi-tree" copy="$root/convert-copy"
  [[ -d "$ansi/ICQ" ]] || "$root/native/bench/make-history-tree" --all-ansi "$ansi" 1024 1000 >/dev/null
  bytes=$(du -sbL "$ansi" | cut -f1)
  best_on_copy() {  # the best of three wall-clock times of a command run on a fresh $copy
    local best=
    for _ in 1 2 3; do
      local t
      rm -rf "$copy" && cp -r "$ansi" "$copy" && sync
      /usr/bin/time -o "$root/time.out" -f %e "$@" >"$root/convert.out" 2>/dev/null || true
      t=$(tail -1 "$root/time.out")
      [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}' && best=$t
    done
    echo "$best"
  }
  q=$(best_on_copy "$root/native/quillet-history" --root "$copy" convert --code-page 1252 --quiet)
  totals=$(tail -1 "$root/convert.out")
  # The same bytes as iconv's after the mark: the comparison is fair only when the output is.
  first=ICQ/777/100000.TXT
  if tail -c +4 "$copy/$first" | cmp -s - <(iconv -f CP1252 -t UTF-8 "$ansi/$first"); then
    same="the same bytes as iconv's after the mark"
  else
    same="NOT the bytes iconv makes"
  fi
  i=$(best_on_copy find "$copy" -type f -name '*.TXT' -exec sh -c \
    'for f; do iconv -f CP1252 -t UTF-8 "$f" >"$f.new" && mv "$f.new" "$f"; done' sh {} +)
  rm -rf "$copy"
  echo "== conversion of $((bytes / 1048576)) MB in 1000 ANSI files (code page 1252) to UTF-8 ($totals; $first: $same)"
  awk -v q="$q" -v i="$i" -v b="$bytes" 'BEGIN {
    printf "CONVERT quillet-history %.2f s, %.0f MB/s; iconv file by file %.2f s, %.0f MB/s; ratio to iconv %.2f (goal at most 1.5)\n",
      q, b / 1048576 / q, i, b / 1048576 / i, q / i }'
fi
