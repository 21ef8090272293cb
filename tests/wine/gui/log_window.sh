#!/usr/bin/env bash
# The message log: the first logged line shows the hidden log window at the anchor taken from
# the main window (twice its centre) less (525, 195), clamped at 0, without taking activation
# from the main window; closing only hides it, and it comes back, with its lines, at the
# anchor of the main window's latest activation.
source "$(dirname "$0")/session.sh" "$1" log_window
fresh_machine
start_sim

line_pattern='^\[[0-9]{1,2}:[0-9]{1,2} [0-9]{1,2}\.[0-9]{1,2}s\] : '

# expected_log_place: where the log opens for the main window's current place.
expected_log_place() {
  drive info TForm1
  set -- $(value "$out" rect)
  local x=$((2 * ($1 + ($3 - $1) / 2) - 525)) y=$((2 * ($2 + ($4 - $2) / 2) - 195))
  [ "$x" -lt 0 ] && x=0
  [ "$y" -lt 0 ] && y=0
  echo "$x $y"
}

log_lines() {
  drive control TForm2 300
  printf '%s\n' "$out" | sed -n 's/.* text=//p' | sed 's/\\r\\n/\n/g'
}

drive info TForm2
expect "$out" "visible=0" "log window before the first line"

# "Wipe it now" with no row checked logs a line.
press TForm1 132
drive wait TForm2 visible
drive info TForm2
set -- $(value "$out" rect)
place="$1 $2"
[ "$place" = "$(expected_log_place)" ] || fail "log window at $place, expected $(expected_log_place)"
# Centred main window: the anchor is the desktop's bottom-right corner (give or take the
# halving of odd sizes, doubled).
near "$place" "$((1024 - 525)) $((768 - 195))" 3 || fail "log window not near the bottom-right: $place"
lines=$(log_lines)
[ "$(printf '%s\n' "$lines" | wc -l)" = 1 ] || fail "expected one line: $lines"
printf '%s\n' "$lines" | grep -Eq "${line_pattern}Please choose the drive first\.\$" || fail "log line: $lines"
drive focus TForm1
expect "$out" "active=TForm1" "the log window took the activation"
screenshot first-line

# Closing hides it; the next line shows it again at the anchor with both lines.
drive close TForm2
drive wait TForm2 hidden
press TForm1 132
drive wait TForm2 visible
drive info TForm2
set -- $(value "$out" rect)
[ "$1 $2" = "$place" ] || fail "reopened log window at $1 $2, expected $place"
lines=$(log_lines)
[ "$(printf '%s\n' "$lines" | grep -Ec "${line_pattern}Please choose the drive first\.\$")" = 2 ] ||
  fail "lines after reopening: $lines"

# The anchor follows the main window when it is activated again; an anchor closer than
# 525 / 195 to the screen's left / top edge puts the log at 0 on that axis.
drive move TForm1 -100 40
drive activate TForm2
drive activate TForm1
drive close TForm2
drive wait TForm2 hidden
expected=$(expected_log_place)
set -- $expected
[ "$1" = 0 ] || fail "test set-up: the moved main window should clamp the left edge, expected $expected"
press TForm1 132
drive wait TForm2 visible
drive info TForm2
set -- $(value "$out" rect)
[ "$1 $2" = "$expected" ] || fail "log window at $1 $2 after moving the main window, expected $expected"
screenshot moved
note "passed"
