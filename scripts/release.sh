#!/usr/bin/env bash
# Makes the release archive from this checkout: sets the machine up when something is missing,
# configures and builds the release preset (the 32-bit Windows DLL, optimised, without tests) in
# build/release, and packs it with CPack. The archive's path is the last line printed:
#   build/release/Quillet-<version>-win32.zip   (the version of project() in CMakeLists.txt)
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Setting up the machine (packages, Wine prefix)"
scripts/setup.sh

echo "== Configuring, building and packing the release preset in build/release"
rm -f build/release/Quillet-*-win32.zip
cmake --workflow --preset release

archives=(build/release/Quillet-*-win32.zip)
if [ ${#archives[@]} -ne 1 ] || [ ! -f "${archives[0]}" ]; then
  echo "release: expected one archive in build/release, found: ${archives[*]}" >&2
  exit 1
fi
realpath "${archives[0]}"
