#!/usr/bin/env bash
# Passes every test: sets the machine up, builds the native and the Windows presets, and runs
# the native tests (also under the sanitizers), a short fuzz run, and the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset native
cmake --build --preset native
ctest --preset native
# The soak: a million messages through one loaded plug-in, open handles and memory flat.
QUILLET_SOAK_MESSAGES=1000000 build/native/tests/quillet-unit-tests --gtest_filter='Soak.*'

# The core and the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# every fuzz target for a short bounded time (scripts/fuzz.sh 600 for a long run).
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
scripts/fuzz.sh 10

cmake --preset win32
cmake --build --preset win32
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"

# The dialog tests need a screen: a virtual one, for this run only.
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
trap 'wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

# One server for all the Windows tests, so each start is quick. Its background processes (services,
# the desktop window) start here, with no pipe of ctest's to inherit: ctest would otherwise wait
# for them to close it.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
ctest --preset win32
