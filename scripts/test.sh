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
if ! scripts/can-run-wine.sh; then
  tests=$(ctest --preset win32 -N | sed -n 's/^Total Tests: //p')
  echo "test: NOT RUN: the ${tests} Windows tests (built above) need Wine, and this machine cannot run"
  echo "test: 32-bit programs (its kernel lacks IA32 emulation); run scripts/test.sh on one that can"
  exit 0
fi
# The dialog tests need a screen: a virtual one, for this run only.
source scripts/wine-screen.sh
ctest --preset win32
