# Shared by the hot-plug test and the demo tour (sourced, not run, after session.sh): a machine
# description that dunmere-sim.exe watches while it runs, rewritten to pull a USB stick out and
# plug another one in under its number.
#
#   hotplug_machine <folder>          sets hotplug_folder and DUNMERE_MACHINE (not yet written)
#   describe <stick disk> <stick volume>   disks 0 and 1 and, when given, the stick
#   wait_rows <list id> <rows>        until the list holds that many rows (3 s at most)
#   expect_note <text>                the status bar's right panel shows this (fixed string)

stick='{"number": 2, "size": "16 MiB", "image": "stick-a.img", "model": "DUNMERE POCKET STICK 16", "serial": "DMS0003", "bus": "USB"}'
stick_f='{"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "15 MiB", "fileSystem": "FAT32", "label": "USBSTICK"}'
other='{"number": 2, "size": "32 MiB", "image": "stick-b.img", "model": "OTHER POCKET STICK 32", "serial": "OPS0042", "bus": "USB"}'
other_f='{"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "31 MiB", "fileSystem": "NTFS", "label": "BACKUPSTICK"}'

hotplug_machine() {
  hotplug_folder=$1
  rm -rf "$hotplug_folder"
  mkdir -p "$hotplug_folder"
  export DUNMERE_MACHINE="Z:$(printf '%s' "$hotplug_folder/machine.json" | tr '/' '\\')"
}

describe() {
  local stick_disk=${1:+,$1} stick_volume=${2:+,$2}
  cat > "$hotplug_folder/machine.json.new" <<JSON
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
  mv "$hotplug_folder/machine.json.new" "$hotplug_folder/machine.json"
}

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

expect_note() {
  drive status TForm1 140
  printf '%s\n' "$out" | grep '^panel=1 ' | grep -qF -- "$1" || fail "status bar: expected '$1': $out"
}
