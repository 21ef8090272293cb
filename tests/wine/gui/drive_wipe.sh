#!/usr/bin/env bash
# A whole drive wipe of the USB stick F:, done as a person does it: a click on the check box of
# its row, a method picked from the method box with the keyboard, a click on "Wipe it now", Yes
# to both confirmations; then the progress window through every pass, the verification and the
# format, until the main window is back. Afterwards the log tells the verification and the
# success, the stick is FAT32 "CLEAN" again, and its image holds nothing of what it held before,
# while the bytes in front of the volume and the other disks are as they were. The erasure
# report names the method and the result.
source "$(dirname "$0")/session.sh" "$1" drive_wipe
source "$(dirname "$0")/wipe_steps.sh"
# 40 ms per MiB: a pass over the 63 MiB stick lasts about 2.5 s, long enough to be watched; the
# read-back of the last pass at 80 ms per MiB about 5 s, long enough for its picture ("Verify
# after wipe" is checked in a new setting.bin).
# The volume comes back from FORMAT.COM at the second poll, so the format caption shows about 2 s.
fresh_machine 40 '"formatPolls": 2, "readDelayMs": 80,'
images=$gui_build/artifacts/gui-machines/$gui_test
stick=$images/disk2.img
mib=1048576

# A used stick: old content all over the volume behind its boot sector, and in the first MiB of
# the disk, in front of the volume, its partition table and a boot loader behind it, which a drive
# wipe must leave alone.
first_use "$stick" $((mib + 512)) $((64 * mib))
printf 'boot loader of the stick' | dd of="$stick" seek=512 oflag=seek_bytes conv=notrunc status=none
front_before=$(head -c $mib "$stick" | cksum)
others_before=$(cat "$images/disk0.img" "$images/disk1.img" | cksum)

rm -rf "$gui_bin/Reports"
start_sim
drive list TForm1 112
expect "$out" 'row=3 checked=0 cells=F:\\|FAT32|63 MB|USBSTICK' "the stick before the wipe"

click_on TForm1 rowpoint TForm1 112 3
wait_checks TForm1 112 "0 0 0 1" "drive list after clicking the check box of F:"

# US Army AR380-19 (3 passes): the box opened with a click, three entries down and Enter.
click_on TForm1 point TForm1 130
wait_for dropped 1 combo TForm1 130
xdotool key --delay 100 Down Down Down Return
wait_for dropped 0 combo TForm1 130
expect "$out" "selected=3" "the method box after choosing"

click_on TForm1 point TForm1 132
answer_both_confirmations 'You have selected to wipe drive F:\nAre you sure?' \
  'Every byte on the drive will be permanently erased and no chance to recover the data.\nAre you sure you want to process?'
watch_run
drive control TForm3 411
printf '%s\n' "$out" | grep -q 'enabled=1 .*checked=1 ' || fail "format box during a drive run: $out"
# The read-back after the last pass, once its bar has started again from 0 and moved: the
# caption, the amount counting the blocks read, and a screenshot "verifying". Watched from before
# the passes end: a watch started once the picture below is taken can come up too late on a busy
# machine, when the read-back is already past the amounts it waits for.
watch_for TForm3 120000 0 "  Verifying drive F: . . ." 404 "$(seq -s '|' 2 30 | sed 's/|/ MB\/63 MB|/g; s/$/ MB\/63 MB/')"
verify_watch=$watch_pid
picture_mid_run "  Wiping drive F: with US Army AR380-19, performing overwrite [123] of 3" "63 MB"
wait "$verify_watch" || fail "no verification caption with its amount after the last pass"
screenshot verifying
drive info TForm3
printf '%s\n' "$out" | grep -qx -- "caption=  Verifying drive F: . . ." ||
  fail "the verification ended before its picture: $(value "$out" caption)"
finish_run "  Wiping drive F: with US Army AR380-19, performing overwrite 1 of 3
  Wiping drive F: with US Army AR380-19, performing overwrite 2 of 3
  Wiping drive F: with US Army AR380-19, performing overwrite 3 of 3
  Verifying drive F: . . .
  Formatting drive . . ."
check_report "drive F" "US Army AR380-19  (3 passes)" "completed"
expect_log "Verification: every byte read back as written.
Drive F: wiped successfully.
Successfully formatted the drive.
Report saved: $report_logged"

drive list TForm1 112
expect "$out" 'row=3 checked=0 cells=F:\\|FAT32|63 MB|CLEAN' "the stick after the wipe and format"
drive list TForm1 122
expect "$out" 'row=2 checked=0 cells=Disk2|64 MB|F:\\ [CLEAN] |' "the stick's disk after the wipe"
[ -e "$gui_bin/format.bat" ] && fail "format.bat was left next to the program"

drive close TForm1
wait_exit "$sim_pid"

# The image from the host's side: in front of the volume nothing changed; the volume starts
# with the new FAT32 boot sector labelled CLEAN; behind it lies the last pass alone, one byte
# value all over; the old text and the old label are nowhere.
[ "$(stat -c %s "$stick")" = $((64 * mib)) ] || fail "the stick's image changed its size"
[ "$(head -c $mib "$stick" | cksum)" = "$front_before" ] || fail "the wipe changed bytes in front of the volume"
[ "$(cat "$images/disk0.img" "$images/disk1.img" | cksum)" = "$others_before" ] ||
  fail "the wipe of F: changed the other disks"
[ "$(dd if="$stick" bs=1 skip=$((mib + 82)) count=8 status=none)" = "FAT32   " ] ||
  fail "no FAT32 boot sector at the start of the volume"
[ "$(dd if="$stick" bs=1 skip=$((mib + 71)) count=11 status=none)" = "CLEAN      " ] ||
  fail "the boot sector's label is not CLEAN"
last_byte=$(od -An -tx1 -j $((mib + 512)) -N1 "$stick" | tr -d ' \n')
others=$(tail -c +$((mib + 513)) "$stick" | tr -d "\\$(printf '%03o' "0x$last_byte")" | wc -c)
[ "$others" = 0 ] || fail "$others bytes of the volume differ from the last pass's byte $last_byte"
grep -qaF "$old_text" "$stick" && fail "the stick's old content is still in its image"
grep -qaF 'USBSTICK' "$stick" && fail "the stick's old label is still in its image"
note "passed"
