#!/usr/bin/env bash
# The release archive as a user meets it (registered in tests/wine/CMakeLists.txt).
#
#   release_archive_test.sh unpack BUILD SOURCE OBJDUMP WINDRES WORK
#     packs the archive from the build folder BUILD with CPack, as scripts/release.sh does, into
#     WORK, unpacks it into the fresh folder WORK/unpacked and checks what lies there: the DLL
#     without symbols and with the archive's version in its version record, the history tool
#     without symbols, a console program, the Languages folder of the checkout SOURCE file for
#     file, and the three texts written for Notepad from their sources, and nothing else.
#   release_archive_test.sh replay HOST BUILT_DLL SAMPLES WORK
#     unpacks the archive again into a fresh folder and replays the sample conversation through
#     its DLL with the reference host under Wine, then through the build's own DLL in another
#     fresh folder: both must write the same history files, byte for byte. The archive's history
#     tool, run where it was unpacked, must list those files.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The one archive CPack left in WORK.
archive_in() {
  local archives=("$1"/Quillet-*-win32.zip)
  [ ${#archives[@]} -eq 1 ] && [ -f "${archives[0]}" ] || fail "no single archive in $1"
  echo "${archives[0]}"
}

# A text of the archive against its source: CR LF after every line, a UTF-8 byte-order mark
# exactly when the text holds anything beyond ASCII, and otherwise the source's bytes.
check_text() {
  local source=$1 shipped=$2
  [ -f "$shipped" ] || fail "$(basename "$shipped") is missing"
  [ "$(tail -c 2 "$shipped" | od -An -tx1 | tr -d ' ')" = "0d0a" ] ||
    fail "$(basename "$shipped") does not end with CR LF"
  if grep -q $'\r.' "$shipped" || grep -qv $'\r$' "$shipped"; then
    fail "$(basename "$shipped") has a line end other than CR LF"
  fi
  local bom=false
  [ "$(head -c 3 "$shipped" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] && bom=true
  local beyond_ascii=false
  LC_ALL=C grep -q $'[^\t\r -~]' "$source" && beyond_ascii=true
  [ "$bom" = "$beyond_ascii" ] ||
    fail "$(basename "$shipped"): byte-order mark $bom, text beyond ASCII $beyond_ascii"
  if $bom; then
    tail -c +4 "$shipped"
  else
    cat "$shipped"
  fi | tr -d '\r' | cmp -s - <(tr -d '\r' <"$source"; [ -z "$(tail -c 1 "$source")" ] || echo) ||
    fail "$(basename "$shipped") is not the text of $source"
}

unpack() {
  local build=$1 source=$2 objdump=$3 windres=$4 work=$5
  rm -rf "$work" && mkdir -p "$work/unpacked"
  cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not pack the archive"; }
  local zip
  zip=$(archive_in "$work")
  (cd "$work/unpacked" && cmake -E tar xf "$zip")

  local top
  top=$(cd "$work/unpacked" && LC_ALL=C ls -A | tr '\n' ' ')
  [ "$top" = "CHANGELOG.txt LICENSE.txt Languages Quillet.dll Quillet.txt quillet-history.exe " ] ||
    fail "the archive's top level holds: $top"
  diff -r "$source/Languages" "$work/unpacked/Languages" ||
    fail "the archive's Languages folder is not the checkout's"
  check_text "$source/docs/user-guide.md" "$work/unpacked/Quillet.txt"
  check_text "$source/CHANGELOG.md" "$work/unpacked/CHANGELOG.txt"
  check_text "$source/LICENSE" "$work/unpacked/LICENSE.txt"
  local symbols resources version=${zip##*/Quillet-}
  version=${version%-win32.zip}
  symbols=$("$objdump" -t "$work/unpacked/Quillet.dll")
  grep -q "no symbols" <<<"$symbols" || fail "Quillet.dll in the archive keeps its symbols"
  resources=$("$windres" -i "$work/unpacked/Quillet.dll" -J coff -O rc)
  grep -qF "VALUE \"FileVersion\", \"$version\"" <<<"$resources" ||
    fail "Quillet.dll in the archive does not carry the version $version"
  local tool="$work/unpacked/quillet-history.exe"
  grep -q "no symbols" <<<"$("$objdump" -t "$tool")" ||
    fail "quillet-history.exe in the archive keeps its symbols"
  grep -q "(Windows CUI)" <<<"$("$objdump" -p "$tool")" ||
    fail "quillet-history.exe in the archive is not a console program"
  echo "$(basename "$zip"): unpacked into $work/unpacked, as expected"
}

replay() {
  local host=$1 built=$2 samples=$3 work=$4
  local from_archive="$work/replay-archive" from_build="$work/replay-build"
  rm -rf "$from_archive" "$from_build" && mkdir -p "$from_archive" "$from_build"
  (cd "$from_archive" && cmake -E tar xf "$(archive_in "$work")")
  cp "$built" "$from_build/"
  # Windows paths for the host: it would take "/work/..." for a "/" option.
  local conversation
  conversation=$(winepath -w "$samples/conversation.jsonl")
  for folder in "$from_archive" "$from_build"; do
    cp "$samples/aliases.ini" "$samples/Exclude.ini" "$folder/"
    wine "$host" "$(winepath -w "$folder/Quillet.dll")" --replay "$conversation" --quiet ||
      fail "the host could not replay the sample through $folder/Quillet.dll"
  done
  local written
  written=$(cd "$from_build" && find . -type f -ipath './history/*' | sort)
  [ -n "$written" ] || fail "the build's DLL wrote no history file"
  while read -r file; do
    cmp "$from_build/$file" "$from_archive/$file" ||
      fail "$file differs from what the build's DLL wrote"
  done <<<"$written"
  [ "$(cd "$from_archive" && find . -type f -ipath './history/*' | sort)" = "$written" ] ||
    fail "the archive's DLL wrote other history files than the build's"
  # The tool beside the DLL reads the settings there and so finds the history the DLL wrote.
  local listed
  listed=$(cd "$from_archive" && wine ./quillet-history.exe list --quiet) ||
    fail "the archive's quillet-history.exe could not list the history"
  [ "$(grep -c . <<<"$listed")" -eq "$(grep -c . <<<"$written")" ] ||
    fail "the archive's quillet-history.exe listed: $listed"
  echo "history files written alike by both: $(echo "$written" | tr '\n' ' ')"
}

mode=$1
shift
case "$mode" in
  unpack) unpack "$@" ;;
  replay) replay "$@" ;;
  *) fail "unknown mode $mode" ;;
esac
