#!/usr/bin/env bash
# A whole disk wipe from the "Wipe disk" page, done as a person does it: a click on the page's
# tab, a click on the check box of Disk1, a click on "Wipe it now", a click on Yes in the first
# confirmation and Enter on the second; then the progress window until the main window is back.
# The run never formats: the log ends with the success line and the two lines on partitioning,
# the disk's volumes are gone with its partition table (their letters leave the drive list), and
# the disk's image is zeros from its first byte to its last, partition table included, while the
# other disks are as they were.
source "$(dirname "$0")/session.sh" "$1" disk_wipe
source "$(dirname "$0")/wipe_steps.sh"
mib=1048576
images=$gui_build/artifacts/gui-machines/$gui_test
disk=$images/disk1.img

# The demo's layout in a few MiB. 400 ms per MiB makes the 32 MiB of Disk1 last about 13 s, long
# enough for the looks in the middle of the run on a busy machine; the blocks are short enough for
# the window to answer the driver's looks quickly between them.
rm -rf "$images"
mkdir -p "$images"
cat > "$images/machine.json" <<'JSON'
{ "windowsDirectory": "C:\\WINDOWS",
  "realClock": true,
  "writeDelayMs": 400,
  "readDelayMs": 50,
  "disks": [
    {"number": 0, "size": "8 MiB", "image": "disk0.img"},
    {"number": 1, "size": "32 MiB", "image": "disk1.img"},
    {"number": 2, "size": "4 MiB", "image": "disk2.img"}
  ],
  "volumes": [
    {"letter": "C", "disk": 0, "offset": "1 MiB", "length": "7 MiB", "fileSystem": "NTFS", "label": "System"},
    {"letter": "D", "disk": 1, "offset": "1 MiB", "length": "16 MiB", "fileSystem": "NTFS", "label": "Data"},
    {"letter": "E", "disk": 1, "offset": "17 MiB", "length": "15 MiB", "fileSystem": "FAT32", "label": "Backup"},
    {"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "3 MiB",
     "fileSystem": "FAT32", "label": "USBSTICK"}
  ]
}
JSON
export DUNMERE_MACHINE="Z:$(printf '%s' "$images/machine.json" | tr '/' '\\')"

# A used disk: old content everywhere but in its partition table and the boot sectors of its two
# volumes, the gap between the table and the first volume included.
first_use "$disk" 512 $mib $((mib + 512)) $((17 * mib)) $((17 * mib + 512)) $((32 * mib))
others_before=$(cat "$images/disk0.img" "$images/disk2.img" | cksum)

rm -rf "$gui_bin/Reports"
start_sim
drive list TForm1 122
expect "$out" 'row=1 checked=0 cells=Disk1|32 MB|D:\\ [Data] E:\\ [Backup] |' "Disk1 before the wipe"

click_on TForm1 tabpoint TForm1 100 1
wait_for selected 1 tabs TForm1 100
drive control TForm1 122
printf '%s\n' "$out" | grep -q 'visible=1 enabled=1' || fail "the disk list after the tab click: $out"

click_on TForm1 rowpoint TForm1 122 1
wait_checks TForm1 122 "0 1 0" "disk list after clicking the check box of Disk1"
screenshot disk-page

click_on TForm1 point TForm1 132
answer_both_confirmations 'You have selected to wipe disk1\nAre you sure?' \
  'Every byte on the disk will be permanently erased and no chance to recover the data.\nAre you sure you want to process?'
watch_run
drive control TForm3 411
printf '%s\n' "$out" | grep -q 'enabled=0 .*checked=0 ' || fail "format box during a disk run: $out"
picture_mid_run "  Wiping disk1 with standard overwrite, performing overwrite 1 of 1" "32 MB"
# The pass, then its read-back; a disk run has no formatting caption.
finish_run "  Wiping disk1 with standard overwrite, performing overwrite 1 of 1
  Verifying disk1 . . ."
check_report "disk 1" "Standard overwrite (overwrite with zeros) (1 pass)" "completed"
expect_log "Verification: every byte read back as written.
Disk 1 wiped successfully.
You can partition and format the disk in Control panel->
Administrator's tool->Computer management->Disk management.
Report saved: $report_logged"

# Both lists rebuilt, nothing checked: Disk1 without volumes (its table is gone, and so are D:
# and E:), the other drives as before.
drive list TForm1 122
expect "$out" 'row=1 checked=0 cells=Disk1|32 MB||' "Disk1 after the wipe"
expect "$out" 'row=0 checked=0 cells=Disk0|8 MB|C:\\ [System] |' "Disk0 after the wipe"
expect "$out" 'row=2 checked=0 cells=Disk2|4 MB|F:\\ [USBSTICK] |' "Disk2 after the wipe"
drive list TForm1 112
expect "$out" 'row=0 checked=0 cells=C:\\|NTFS|7 MB|System' "C: after the disk wipe"
printf '%s\n' "$out" | grep -q '^row=1 checked=0 cells=F:\\\\|FAT32|.*|USBSTICK$' || fail "F: after the disk wipe: $out"
printf '%s\n' "$out" | grep -q 'cells=[DE]:' && fail "D: or E: is still listed after the disk wipe: $out"

drive close TForm1
wait_exit "$sim_pid"

# From the host's side: zeros from the disk's first byte to its last, nothing else changed.
[ "$(stat -c %s "$disk")" = $((32 * mib)) ] || fail "Disk1's image changed its size"
cmp -s -n $((32 * mib)) "$disk" /dev/zero || fail "Disk1's image is not all zeros: $(cmp -n $((32 * mib)) "$disk" /dev/zero)"
[ "$(cat "$images/disk0.img" "$images/disk2.img" | cksum)" = "$others_before" ] ||
  fail "the wipe of Disk1 changed the other disks"
note "passed"
