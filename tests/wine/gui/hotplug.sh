#!/usr/bin/env bash
# Disks come and go while dunmere-sim.exe runs: its machine description is rewritten, the stick
# is pulled out and another one plugged in under its number. Each time the lists follow at once
# with no row checked, and the status bar names the checked target (model, serial, size).
source "$(dirname "$0")/session.sh" "$1" hotplug
source "$(dirname "$0")/hotplug_machine.sh"
hotplug_machine "$gui_build/artifacts/gui-machines/hotplug"

describe "$stick" "$stick_f"
start_sim
wait_rows 112 3
# Nothing checked: the panel says that the disks are simulated.
expect_note "Simulated PC"
drive check TForm1 112 2 1   # F:
drive check TForm1 122 2 1   # Disk2
expect_checks TForm1 112 "0 0 1" "drive list with the stick checked"
expect_note "F:\\"
expect_note "on simulated Disk2: DUNMERE POCKET STICK 16"
expect_note "S/N DMS0003"
screenshot stick-checked

describe "" ""
wait_rows 112 2
wait_rows 122 2
expect_checks TForm1 112 "0 0" "drive list after the stick was pulled out"
expect_checks TForm1 122 "0 0" "disk list after the stick was pulled out"
expect_note "Simulated PC"
screenshot stick-pulled

describe "$other" "$other_f"
wait_rows 112 3
wait_rows 122 3
expect_checks TForm1 112 "0 0 0" "drive list after another stick came"
drive list TForm1 112
printf '%s\n' "$out" | grep -q '^row=2 checked=0 cells=F:\\\\|NTFS|.*|BACKUPSTICK$' || fail "the new stick's volume: $out"
drive list TForm1 122
printf '%s\n' "$out" | grep -q '^row=2 checked=0 cells=Disk2|32 MB|F:\\\\ \[BACKUPSTICK\] |OTHER POCKET STICK 32' ||
  fail "the new stick: $out"
drive page TForm1 100 1
drive check TForm1 122 2 1
expect_note "Simulated Disk2, 32 MB: OTHER POCKET STICK 32"
expect_note "S/N OPS0042"
screenshot other-stick-checked
note "passed"
