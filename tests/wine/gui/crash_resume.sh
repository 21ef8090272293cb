#!/usr/bin/env bash
# A wipe that ends without warning, as a crash or a power loss would end it: dunmere-sim.exe is
# killed (SIGKILL to its process, so nothing of the program runs any more) at a drawn block of a
# drawn pass. Started again, the program lists the stick as "Incomplete wipe, resumable.", and
# Resume runs the rest of the wipe and the format. Afterwards nothing of the stick's former
# content is left on its image, the last pass (the complement of the drawn byte) covers the whole
# volume behind the new boot sector, and the bytes of the disk outside the volume are unchanged.
#
# The crash point is printed; DUNMERE_CRASH_AT="<pass> <block> <ms>" runs the same one again.
source "$(dirname "$0")/session.sh" "$1" crash_resume

readonly delay_ms=150                        # per MiB written: a pass takes about 1.5 s
readonly volume_offset=$((1024 * 1024))
readonly volume_length=$((10 * 1024 * 1024 + 64 * 1024))   # 10 blocks and a tail
readonly blocks=$((volume_length / 1048576))
readonly disk_size=$((12 * 1024 * 1024))
readonly original_marker="ORIGINAL-STICK-CONTENT"
readonly outside_marker="OUTSIDE-THE-VOLUME"
readonly caption_prefix="  Wiping drive F: with US Army AR380-19, performing overwrite"

machine_dir=$gui_build/artifacts/gui-machines/crash_resume
image=$machine_dir/stick.img

# put <file> <offset> <printf format> [args]: bytes into the file at the offset, in place.
put() {
  local file=$1 offset=$2 format=$3
  shift 3
  # shellcheck disable=SC2059
  printf "$format" "$@" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# le32 <number>: its four bytes, least significant first, as a printf format.
le32() { printf '\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# make_stick: the stick's disk as a host file, written before the program first sees it (an
# existing image is used as it is): a partition table whose one FAT32 entry is the volume, a
# FAT32 boot sector labelled ORIGINAL at the volume's start, the original marker in every other
# byte run of the volume, the outside marker around it.
make_stick() {
  rm -rf "$machine_dir"
  mkdir -p "$machine_dir"
  yes "$outside_marker" | head -c "$disk_size" > "$image"
  head -c 64 /dev/zero | dd of="$image" bs=1 seek=446 conv=notrunc status=none
  put "$image" 446 "\\000\\000\\000\\000\\014\\000\\000\\000$(le32 $((volume_offset / 512)))$(le32 $((volume_length / 512)))"
  put "$image" 510 '\125\252'
  yes "$original_marker" | head -c "$volume_length" |
    dd of="$image" bs=1M seek="$volume_offset" oflag=seek_bytes conv=notrunc status=none
  head -c 512 /dev/zero | dd of="$image" bs=512 seek=$((volume_offset / 512)) conv=notrunc status=none
  put "$image" "$volume_offset" '\353\130\220MSDOS5.0\000\002'          # jump, OEM id, 512 bytes a sector
  put "$image" $((volume_offset + 71)) 'ORIGINAL   FAT32   '            # label and file system
  put "$image" $((volume_offset + 408)) 'ORIGINAL'                      # label as reported
  put "$image" $((volume_offset + 510)) '\125\252'
  cp "$image" "$machine_dir/original.img"
  cat > "$machine_dir/machine.json" <<JSON
{ "windowsDirectory": "C:\\\\WINDOWS",
  "realClock": true,
  "writeDelayMs": $delay_ms,
  "disks": [
    {"number": 0, "size": "64 MiB"},
    {"number": 2, "size": $disk_size, "image": "stick.img"}
  ],
  "volumes": [
    {"letter": "C", "disk": 0, "offset": "1 MiB", "length": "63 MiB", "fileSystem": "NTFS", "label": "System"},
    {"letter": "F", "driveType": "removable", "disk": 2, "offset": $volume_offset, "length": $volume_length}
  ]
}
JSON
  export DUNMERE_MACHINE="Z:$(printf '%s' "$machine_dir/machine.json" | tr '/' '\\')"
}

# bytes_at <file> <offset> <count>: the bytes as decimal numbers, separated by blanks.
bytes_at() { od -An -v -tu1 -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }

# u32_at <file> <offset>: a little-endian 32-bit number.
u32_at() {
  set -- $(bytes_at "$1" "$2" 4)
  echo $(($1 + 256 * $2 + 65536 * $3 + 16777216 * $4))
}

# snap <name>: a picture at once, without the settling pause of screenshot (the run goes on).
snap() {
  local desktop file="$gui_shots/$gui_test-$1.png"
  desktop=$(xdotool search --name 'Default - Wine desktop' | head -1)
  [ -n "$desktop" ] || fail "no Wine desktop window to take a picture of"
  import -window "$desktop" "$file" || fail "screenshot $file"
  note "screenshot: $file"
}

yes_to() {
  drive wait "dialog:$1"
  press "dialog:$1" 6
  drive wait "dialog:$1" gone 5000
}

stick_row() {
  drive list TForm1 112
  printf '%s\n' "$out" | grep '^row=[0-9]* checked=[01] cells=F:' || fail "F: is not listed: $out"
}

make_stick
start_sim
row=$(stick_row)
printf '%s\n' "$row" | grep -q 'cells=F:\\\\|FAT32|10 MB|ORIGINAL$' || fail "the stick before the wipe: $row"
stick=$(printf '%s\n' "$row" | sed 's/^row=\([0-9]*\).*/\1/')

# The crash point: a block of a pass at which the run has saved its record (block 0 of a later
# pass overwrites the record until the save before block 1). A block is "reached" when the
# progress window shows it, after it was written; the kill follows a drawn number of ms later.
if [ -n "${DUNMERE_CRASH_AT:-}" ]; then
  read -r crash_pass crash_block crash_ms <<<"$DUNMERE_CRASH_AT"
else
  crash_pass=$((RANDOM % 3))
  crash_block=$((1 + RANDOM % (blocks - 2)))
  crash_ms=$((RANDOM % delay_ms))
fi
note "crash point: DUNMERE_CRASH_AT=\"$crash_pass $crash_block $crash_ms\" (pass index, first block watched for, ms after it)"

drive select TForm1 130 3           # US Army AR380-19, three passes
drive check TForm1 112 "$stick" 1
# The watch starts before the run does: starting a Wine process can take a second on a busy
# machine, which would let the drawn block pass unseen.
# A later block of the pass is as good, when the watch gets its turn late.
amounts=$(seq -s '|' "$crash_block" $((blocks - 2)) | sed 's/|/ MB\/|/g; s/$/ MB\//')
watch_for TForm3 120000 0 "$caption_prefix $((crash_pass + 1)) of 3" 404 "$amounts"
press TForm1 132
yes_to "Confirm 1 of 2"
yes_to "Confirm 2 of 2"
wait "$watch_pid" || fail "the run never showed block $crash_block of pass $crash_pass"
snap running
sleep "$(printf '0.%03d' "$crash_ms")"
kill -KILL "$sim_pid" || fail "dunmere-sim.exe had already ended before the kill"
killed_at=$(date +%s%N)
wait "$sim_pid" 2>/dev/null
drive count TForm1
expect "$out" "count=0" "windows of the killed program"

# What the killed run left at the start of the volume: its last record.
signature=$(bytes_at "$image" "$volume_offset" 2)
[ "$signature" = "68 77" ] && [ "$(bytes_at "$image" $((volume_offset + 510)) 2)" = "68 77" ] ||
  fail "no breakpoint record on the stick after the kill (first bytes: $signature)"
record_block=$(u32_at "$image" $((volume_offset + 20)))
set -- $(bytes_at "$image" $((volume_offset + 32)) 2)
record_pass=$1 record_method=$2
note "killed at pass $record_pass, block $record_block (record); $(( ($(date +%s%N) - killed_at) / 1000000 )) ms ago"
[ "$record_method" = 3 ] || fail "the record names method $record_method"
[ "$record_pass" = "$crash_pass" ] || fail "the record is of pass $record_pass, the kill was meant for pass $crash_pass"
[ "$record_block" -ge "$crash_block" ] && [ "$record_block" -lt "$blocks" ] ||
  fail "the record is at block $record_block, the kill followed block $crash_block"

# Started again, as after a reboot: the stick is listed as resumable.
start_sim
row=$(stick_row)
printf '%s\n' "$row" | grep -q '|Incomplete wipe, resumable\.' || fail "the stick after the restart: $row"
screenshot resumable

drive check TForm1 112 "$stick" 1
press TForm1 133                    # Resume
drive wait "dialog:Confirm"
drive dialog Confirm
expect "$out" 'text=You have selected to continue wiping drive F:\nAre you sure?'
press "dialog:Confirm" 6
drive wait TForm3 visible
# Where the resumed run is at the first look, once it shows a block: never before the record.
# The amount is read before the caption, so a pass that ends between the two reads cannot make
# the position look earlier than it is.
for _ in $(seq 1 100); do
  drive control TForm3 404
  amount=$(printf '%s\n' "$out" | sed -n 's/.* text=//p')
  [ "$amount" != "0 MB/0 MB" ] && break
  sleep 0.05
done
drive info TForm3
seen_pass=$(value "$out" caption | sed -n "s/^$caption_prefix \([1-3]\) of 3\$/\1/p")
# Past the last block: the read-back or the format after the last pass.
case "$(value "$out" caption)" in
  "  Formatting drive . . ." | "  Verifying drive "*) seen_pass=3 ;;
esac
seen_block=${amount%% MB/*}
[ -n "$seen_pass" ] && [ -n "$seen_block" ] || fail "the resumed run shows '$(value "$out" caption)', '$amount'"
seen_pass=$((seen_pass - 1))
[ "$seen_pass" -gt "$record_pass" ] || { [ "$seen_pass" = "$record_pass" ] && [ "$seen_block" -ge "$record_block" ]; } ||
  fail "the resumed run is at pass $seen_pass, block $seen_block, before its record"
note "the resumed run was first seen at pass $seen_pass, block $seen_block"
snap progress-resumed
drive wait TForm3 hidden 60000
drive wait TForm1 visible 10000

drive control TForm2 300
log=$(printf '%s\n' "$out" | sed -n 's/.* text=//p' | sed 's/\\r\\n/\n/g')
printf '%s\n' "$log" | grep -q ' : Drive F: wiped successfully\.$' || fail "no success line in the log: $log"
printf '%s\n' "$log" | grep -qi 'error\|aborted' && fail "the resumed run reported a problem: $log"
row=$(stick_row)
printf '%s\n' "$row" | grep -q 'cells=F:\\\\|FAT32|10 MB|CLEAN$' || fail "the stick after the resumed run: $row"
screenshot finished

# The image: no original byte run left, the record gone, one byte behind the new boot sector (the
# complement pass over everything, whichever pass the crash broke), the outside untouched.
grep -aq "$original_marker" "$image" && fail "original content is left on the stick"
[ "$(bytes_at "$image" "$volume_offset" 2)" != "68 77" ] || fail "the record is still at the volume's start"
[ "$(bytes_at "$image" $((volume_offset + 510)) 2)" = "85 170" ] || fail "no boot sector after the format"
cmp -s <(dd if="$image" bs=512 skip=$((volume_offset / 512)) count=1 status=none) \
  <(dd if="$machine_dir/original.img" bs=512 skip=$((volume_offset / 512)) count=1 status=none) &&
  fail "the original boot sector is still there"
last=$(bytes_at "$image" $((volume_offset + 512)) 1)
cmp -s <(dd if="$image" bs=512 skip=$((volume_offset / 512 + 1)) count=$((volume_length / 512 - 1)) status=none) \
  <(head -c $((volume_length - 512)) /dev/zero | tr '\0' "\\$(printf '%03o' "$last")") ||
  fail "the volume is not one byte ($last) behind its boot sector"
cmp -s -n "$volume_offset" "$image" "$machine_dir/original.img" || fail "the disk changed before the volume"
cmp -s -i $((volume_offset + volume_length)) "$image" "$machine_dir/original.img" ||
  fail "the disk changed behind the volume"
note "passed"
