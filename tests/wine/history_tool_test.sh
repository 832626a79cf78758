#!/usr/bin/env bash
# quillet-history.exe under Wine on history files that Quillet.dll itself wrote (registered in
# tests/wine/CMakeLists.txt):
#
#   history_tool_test.sh HOST DLL TOOL SAMPLES WORK
#
# replays the sample conversation through the DLL with the reference host into two fresh
# folders under WORK, both under LANG=ru_RU.UTF-8 (ANSI code page 1251): one with the sample's
# settings, whose history files are UTF-8, one without settings, whose files are ANSI and keep
# Cyrillic in 1251. The tool lies beside each DLL and finds the history through the settings
# file there. A Cyrillic word on the command line must find the Cyrillic entry of both files
# under ru_RU, and of the UTF-8 file under LANG=en_US.UTF-8 too, where the ANSI code page (1252)
# has no Cyrillic letter: the tool takes its command line in UTF-16.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

host=$1 dll=$2 tool=$3 samples=$4 work=$5
rm -rf "$work" && mkdir -p "$work/utf8" "$work/ansi"
cp "$samples/Quillet.ini" "$work/utf8/"
conversation=$(winepath -w "$samples/conversation.jsonl")
for folder in utf8 ansi; do
  cp "$dll" "$tool" "$work/$folder/"
  LANG=ru_RU.UTF-8 wine "$host" "$(winepath -w "$work/$folder/Quillet.dll")" \
    --replay "$conversation" --quiet >/dev/null ||
    fail "the host could not replay the sample through $work/$folder/Quillet.dll"
done
head -c 3 "$work/utf8/HISTORY/Jabber/mira@jabber.example/juergen@jabber.example.TXT" |
  cmp -s - <(printf '\xef\xbb\xbf') || fail "the sample's settings did not give a UTF-8 file"

# The Jabber contact's first entry ends in "Ваше здоровье!" (to your health).
file='Jabber\mira@jabber.example\juergen@jabber.example.TXT'
cheers='Ваше здоровье!'

# search LANG FOLDER WORD [OPTION...]: the tool of FOLDER searching for WORD; its output.
search() {
  local lang=$1 folder=$2 word=$3
  shift 3
  local status=0
  LANG=$lang wine "$work/$folder/$(basename "$tool")" search "$word" --quiet "$@" \
    >"$work/found" 2>"$work/errors" || status=$?
  [ "$status" -eq 0 ] ||
    fail "$lang, $folder: search $word $* ended with $status: $(cat "$work/found" "$work/errors")"
  cat "$work/found"
}

for folder in utf8 ansi; do
  found=$(search ru_RU.UTF-8 "$folder" здоровье)
  [ "$(grep -c . <<<"$found")" -eq 1 ] || fail "ru_RU, $folder: not one entry found: $found"
  grep -qF "$file:1: 12/12/2007 21:40:00 " <<<"$found" || fail "ru_RU, $folder: found $found"
  grep -qF "$cheers" <<<"$found" || fail "ru_RU, $folder: the text is not in UTF-8: $found"
  json=$(search ru_RU.UTF-8 "$folder" ЗДОРОВЬЕ --json)
  grep -qF '"direction":"received"' <<<"$json" && grep -qF "$cheers\"}" <<<"$json" ||
    fail "ru_RU, $folder: as JSON: $json"
done

found=$(search en_US.UTF-8 utf8 ЗДОРОВЬЕ)
grep -qF "$file:1: " <<<"$found" && grep -qF "$cheers" <<<"$found" ||
  fail "en_US, utf8: found $found"

echo "a Cyrillic word on the command line found the entry of the UTF-8 and the 1251 file"
