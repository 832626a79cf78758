#!/usr/bin/env bash
# Prepares this machine for building and testing: installs what a fresh Debian machine lacks
# (when run as root), adds the i386 architecture that wine32 needs, and creates the Wine prefix
# the Windows tests run in. Safe to run again: it only does what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest
          libbenchmark-dev nlohmann-json3-dev libcli11-dev g++-mingw-w64-i686 wine wine32:i386 xvfb xauth
          imagemagick locales fonts-wine fonts-liberation ripgrep chromium time valgrind
          fonts-noto-color-emoji)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages (run as root to install them): ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows tests' prefix, without the Mono and Gecko installers, so nothing can stop to ask.
# Wine runs 32-bit Windows programs through its own 32-bit Linux loader, so a kernel without
# 32-bit support (some virtual machines) cannot run them at all: then there is no prefix, and
# scripts/test.sh builds the Windows programs but says that it did not run them.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"
if ! scripts/can-run-wine.sh; then
  echo "setup: this machine cannot run 32-bit programs (its kernel lacks IA32 emulation): no Wine prefix"
elif [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# Wine's own fonts (Tahoma, Marlett for the title bar's close box) where its programs find them,
# so that the options dialog shows the fonts it asks for.
if [ -d /usr/share/wine/fonts ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
  ln -sf /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi

# The locales the Windows tests run under (Wine takes the user's locale from LANG, and needs the
# glibc locale to map file names outside ASCII).
if [ "$(id -u)" = 0 ]; then
  for locale in en_US en_GB de_DE ru_RU ja_JP ko_KR; do
    locale -a 2>/dev/null | grep -qi "^${locale}\.utf-\?8$" ||
      localedef -i "$locale" -f UTF-8 "$locale.UTF-8" 2>/dev/null || true
  done
fi
