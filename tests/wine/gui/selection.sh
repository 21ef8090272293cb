#!/usr/bin/env bash
# At most one checked row per list: checking a row unchecks the one checked before, also when
# the check comes from a real mouse click; the two lists are independent.
source "$(dirname "$0")/session.sh" "$1" selection
fresh_machine
start_sim

expect_checks TForm1 112 "0 0 0 0" "drive list at start"

# Table of steps on the drive list: row, new state, the check marks that must follow.
while read -r row state expected; do
  drive check TForm1 112 "$row" "$state"
  expect_checks TForm1 112 "$expected" "drive list after setting row $row to $state"
done <<'STEPS'
0 1 1 0 0 0
2 1 0 0 1 0
3 1 0 0 0 1
3 0 0 0 0 0
1 1 0 1 0 0
STEPS

# The disk list keeps its own choice; the drive list's stays.
drive page TForm1 100 1
sleep 0.3
drive check TForm1 122 0 1
drive check TForm1 122 2 1
expect_checks TForm1 122 "0 0 1" "disk list"
expect_checks TForm1 112 "0 1 0 0" "drive list after checking disks"

# A person's click on the check box of disk row 1.
drive rowpoint TForm1 122 1
xdotool mousemove "$(value "$out" x)" "$(value "$out" y)" click 1
sleep 0.5
expect_checks TForm1 122 "0 1 0" "disk list after clicking row 1's check box"
screenshot clicked

# File > Wipe it now clicks the button: with the disk page active it asks for a disk only when
# none is checked, so uncheck first.
drive check TForm1 122 1 0
expect_checks TForm1 122 "0 0 0" "disk list after unchecking"
drive command TForm1 202
drive wait TForm2 visible
drive control TForm2 300
printf '%s\n' "$out" | grep -q 'Please choose the disk first\.$' || fail "File > Wipe it now: $out"
note "passed"
