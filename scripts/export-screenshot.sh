#!/usr/bin/env bash
# Takes docs/screenshots/history-export.png anew: the page "quillet-history export --format html"
# makes of a few days with one contact (Cyrillic, emoji, a text over several lines), in a desktop
# window, as headless Chromium shows it.
#
# The sample pages are the ones the browser check of the HTML export writes
# (tests/unit/html_export_test.cpp); QUILLET_HTML_EXPORT_KEEP makes it leave them in
# build/native/html-export. Emoji need a colour emoji font (fonts-noto-color-emoji).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native -j2 --target quillet-unit-tests
out="$PWD/build/native/html-export"
rm -rf "$out"
QUILLET_HTML_EXPORT_KEEP="$out" build/native/tests/quillet-unit-tests \
  --gtest_filter='HtmlExportInBrowser.*' >/dev/null

profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
/usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --hide-scrollbars --window-size=1000,1040 \
  --screenshot="$PWD/docs/screenshots/history-export.png" \
  "file://$out/ICQ_777_48151623.html" 2>/dev/null
echo "docs/screenshots/history-export.png"
