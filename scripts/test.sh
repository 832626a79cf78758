#!/usr/bin/env bash
# Passes every test: sets the machine up, builds the native and the Windows presets, and runs
# the native tests and the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

cmake --preset win32
cmake --build --preset win32
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"
wineserver -p  # one server for all the Windows tests, so each start is quick
trap 'wineserver -k 2>/dev/null || true' EXIT
# The dialog tests need a screen: a virtual one, for this run only.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win32
