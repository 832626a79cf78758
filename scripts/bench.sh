#!/usr/bin/env bash
# Times one message through the plug-in against the floor (the same entry appended with one open,
# one write and one close), natively and for the Windows DLL under Wine, and prints the ratios
# (RATIO lines) and time per message as alias rules and exclusion entries grow (SCALE lines).
#   scripts/bench.sh [native|wine]   (both when no argument is given)
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
fi

if [[ "$which" == all || "$which" == wine ]]; then
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
