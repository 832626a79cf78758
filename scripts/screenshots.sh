#!/usr/bin/env bash
# Takes the pictures of the options dialog in docs/screenshots anew, as the dialog is shipped
# (the language files and icons of Languages/ beside the plug-in): builds the Windows GUI test,
# runs it under Wine on a virtual screen of its own and converts the BMP files it writes.
#
#   scripts/screenshots.sh                   refreshes every picture docs/screenshots holds
#   scripts/screenshots.sh options-preview   ... and adds options-preview.png (a new page)
#
# The test names its pictures options-<page> (English, every page), options-german-<page> and
# options-language-german-chosen; see tests/wine/options_dialog_gui_test.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Quillet options_dialog_gui_test
export QUILLET_SCREENSHOT_DIR="$PWD/build/win32/tests/wine/screenshots"
rm -rf "$QUILLET_SCREENSHOT_DIR"
source scripts/wine-screen.sh
# English, the system's ANSI code page 1252, as the pictures have always been taken.
LANG=en_US.UTF-8 ctest --preset win32 -R '^options_dialog_gui_test$'

names=("$@")
for png in docs/screenshots/*.png; do names+=("$(basename "$png" .png)"); done
for name in "${names[@]}"; do
  convert "$QUILLET_SCREENSHOT_DIR/$name.bmp" -strip -define png:compression-level=9 \
    "docs/screenshots/$name.png"
  echo "docs/screenshots/$name.png"
done
