#!/usr/bin/env bash
# Disks come and go while dunmere-sim.exe runs: its machine description is rewritten, the stick
# is pulled out and another one plugged in under its number. Each time the lists follow at once
# with no row checked, and the status bar names the checked target (model, serial, size).
source "$(dirname "$0")/session.sh" "$1" hotplug
folder="$gui_build/artifacts/gui-machines/hotplug"
rm -rf "$folder"
mkdir -p "$folder"

# describe <stick disk> <stick volume>: the machine with disks 0 and 1 and, when given, a stick.
describe() {
  local stick_disk=${1:+,$1} stick_volume=${2:+,$2}
  cat > "$folder/machine.json.new" <<JSON
{ "windowsDirectory": "C:\\\\WINDOWS", "realClock": true,
  "disks": [
    {"number": 0, "size": "64 MiB", "image": "disk0.img", "model": "DUNMERE VIRTUAL DISK 64", "serial": "DM0001"},
    {"number": 1, "size": "32 MiB", "image": "disk1.img", "model": "DUNMERE VIRTUAL DISK 32", "serial": "DM0002"}
    $stick_disk
  ],
  "volumes": [
    {"letter": "C", "disk": 0, "offset": "1 MiB", "length": "63 MiB", "fileSystem": "NTFS", "label": "System"},
    {"letter": "E", "disk": 1, "offset": "1 MiB", "length": "31 MiB", "fileSystem": "FAT32", "label": "Backup"}
    $stick_volume
  ]
}
JSON
  # Written whole in one step, as an editor saves it.
  mv "$folder/machine.json.new" "$folder/machine.json"
}

# wait_rows <list id> <rows>: until the list holds that many rows (3 s at most).
wait_rows() {
  local i
  for i in $(seq 1 30); do
    drive list TForm1 "$1"
    [ "$(value "$out" rows)" = "$2" ] && return 0
    sleep 0.1
  done
  printf '%s\n' "$out" >&2
  fail "list $1 did not come to $2 rows"
}

# expect_note <text>: the status bar's right panel shows this (fixed string).
expect_note() {
  drive status TForm1 140
  printf '%s\n' "$out" | grep '^panel=1 ' | grep -qF -- "$1" || fail "status bar: expected '$1': $out"
}

stick='{"number": 2, "size": "16 MiB", "image": "stick-a.img", "model": "DUNMERE POCKET STICK 16", "serial": "DMS0003", "bus": "USB"}'
stick_f='{"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "15 MiB", "fileSystem": "FAT32", "label": "USBSTICK"}'
other='{"number": 2, "size": "32 MiB", "image": "stick-b.img", "model": "OTHER POCKET STICK 32", "serial": "OPS0042", "bus": "USB"}'
other_f='{"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "31 MiB", "fileSystem": "NTFS", "label": "BACKUPSTICK"}'

describe "$stick" "$stick_f"
export DUNMERE_MACHINE="Z:$(printf '%s' "$folder/machine.json" | tr '/' '\\')"
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
