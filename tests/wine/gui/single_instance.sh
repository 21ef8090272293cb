#!/usr/bin/env bash
# One copy per logon session: a second dunmere-sim.exe builds its windows, says "Dunmere is
# already running!" in a plain box (caption "Warning", one OK, no icon) and ends with 0; the
# first copy runs on untouched.
source "$(dirname "$0")/session.sh" "$1" single_instance
fresh_machine
start_sim
first_pid=$sim_pid

start_second
wine "$gui_bin/guidriver.exe" wait "dialog:Warning" visible 20000 >/dev/null ||
  fail "the second copy did not say that one is already running"
drive dialog Warning
expect "$out" "text=Dunmere is already running!"
expect "$out" "icon=0" "the box shows an icon"
expect "$out" "button=1 text=OK"
[ "$(printf '%s\n' "$out" | grep -c '^button=')" = 1 ] || fail "the box has more than an OK button: $out"
expect "$out" "owner=none"
# The second copy made its main window before the check, and never shows it.
drive count TForm1
expect "$out" "count=2" "main windows while the box is up"
screenshot already-running

drive click "dialog:Warning" 1
wait_exit "$second_pid"
[ "$exit_code" = 0 ] || fail "the second copy ended with $exit_code"
drive count TForm1
expect "$out" "count=1" "main windows after the second copy ended"
kill -0 "$first_pid" 2>/dev/null || fail "the first copy ended too"
drive info TForm1
expect "$out" "visible=1" "first copy's main window"
expect "$out" "enabled=1" "first copy's main window"

drive close TForm1
wait_exit "$first_pid"
[ "$exit_code" = 0 ] || fail "the first copy ended with $exit_code"
note "passed"
