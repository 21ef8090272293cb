#!/usr/bin/env bash
# Start-up refusals through the real windows: on the 9x family, and with no readable disk, the
# program says so in its "Warning" dialog (warning icon, one OK, centred on the screen, the main
# window never shown) and ends with 0 without writing setting.bin. Both can come in one start,
# the platform first.
source "$(dirname "$0")/session.sh" "$1" startup_checks
settings_file="$gui_bin/setting.bin"
win9x='Dunmere does not support Win9x system (Win95 Win98 WinMe). '
no_disk='Did not find any disk drive in your machine. Please be sure that you are logged on as administrator and close any other disk management software.'

# answer_warning "<text>": the next Warning dialog, checked in full, then OK.
answer_warning() {
  wine "$gui_bin/guidriver.exe" wait "dialog:Warning" visible 20000 </dev/null >/dev/null || fail "no Warning dialog for: $1"
  drive dialog Warning
  expect "$out" "text=$1" "warning text"
  expect "$out" "icon=1" "warning icon"
  expect "$out" "button=1 text=OK"
  [ "$(printf '%s\n' "$out" | grep -c '^button=')" = 1 ] || fail "more than one button: $out"
  near "$(centre_of "$(value "$out" rect)")" "512 384" || fail "warning not centred on the screen: $out"
  drive info TForm1
  expect "$out" "visible=0" "main window during the start-up checks"
  [ -n "${2:-}" ] && screenshot "$2"
  drive click "dialog:Warning" 1
  # Gone, or followed by the next warning.
  local i answer
  for i in $(seq 1 50); do
    answer=$(wine "$gui_bin/guidriver.exe" dialog Warning </dev/null 2>/dev/null) || return 0
    [ "$(value "$answer" text)" != "$1" ] && return 0
    sleep 0.1
  done
  fail "the Warning dialog stayed after OK: $1"
}

# Table: case, machine fields, disk fields, the warnings in order. Outside the NT family the
# disks are probed through the sector library, so without it no disk is readable either.
while IFS='|' read -r name machine disk first second; do
  rm -f "$settings_file"
  fresh_machine 0 "$machine" "$disk"
  start_second   # no main window will appear; the process id is all there is
  answer_warning "$first" "$name"
  [ -n "$second" ] && answer_warning "$second"
  wait_exit "$second_pid"
  [ "$exit_code" = 0 ] || fail "exit code $exit_code after the start-up refusal"
  [ -f "$settings_file" ] && fail "a refused start wrote setting.bin"
done <<CASES
win9x|"platformId": 1, "sectorLibrary": true,||$win9x|
no-disk||"openable": false,|$no_disk|
both|"platformId": 1,||$win9x|$no_disk
CASES
note "passed"
