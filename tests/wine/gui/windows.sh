#!/usr/bin/env bash
# dunmere-sim.exe starts on its built-in demo machine with its three windows: the main window
# shown and centred, the message log and the progress window created hidden, each with its
# class, caption, border, size and controls.
source "$(dirname "$0")/session.sh" "$1" windows
unset DUNMERE_MACHINE
start_sim

# The frame draws its minimise and close buttons as Marlett glyphs; a prefix without Wine's own
# fonts shows the letters "0" and "r" in their place.
drive font Marlett
expect "$out" "face=Marlett" "title bar font"

# ---- TForm1 ----
drive info TForm1
# Resizable and maximisable, so that the lists can take the room and show the model whole.
for line in "caption=  Dunmere v1.0.0" "visible=1" "client=549 367" "sysmenu=1" "minimizebox=1" \
            "maximizebox=1" "thickframe=1" "owner=none" "menu=1"; do
  expect "$out" "$line" "main window"
done
main_rect=$(value "$out" rect)
near "$(centre_of "$main_rect")" "512 384" || fail "main window not centred on the desktop: $main_rect"

drive tabs TForm1 100
expect "$out" "bottom=1"
expect "$out" "selected=0"
expect "$out" "tab=0 text=Wipe drive"
expect "$out" "tab=1 text=Wipe disk"
drive control TForm1 100
[ "$(size_of "$(rect_of "$out")")" = "540 254" ] || fail "page control size: $out"

drive control TForm1 110
printf '%s\n' "$out" | grep -q ' text=Choose Drive $' || fail "drive panel caption: $out"
drive control TForm1 120
printf '%s\n' "$out" | grep -q ' text=Choose Disk$' || fail "disk panel caption: $out"
for id in 111 121; do
  drive control TForm1 $id
  printf '%s\n' "$out" | grep -q ' text=Scan for hardware changes$' || fail "scan link $id: $out"
done

drive list TForm1 112
for line in report=1 showselalways=1 nosortheader=1 editlabels=0 checkboxes=1 gridlines=1 \
            trackselect=1 fullrowselect=1 "column=0 width=100 text= Drive" \
            "column=1 width=100 text= File system" "column=2 width=100 text= Capacity" \
            "column=3 width=228 text= Label" hscroll=0; do
  expect "$out" "$line" "drive list"
done
printf '%s\n' "$out" | grep -q '^row=0 checked=0 cells=C:' || fail "the demo's drives are not listed: $out"
drive list TForm1 122
for line in report=1 checkboxes=1 gridlines=1 trackselect=1 fullrowselect=1 nosortheader=1 \
            "column=0 width=100 text= Disk" "column=1 width=100 text= Capacity" \
            "column=2 width=328 text= Logical drives on disk" "column=3 width=280 text= Model"; do
  expect "$out" "$line" "disk list"
done
printf '%s\n' "$out" | grep -q '^row=0 checked=0 cells=Disk0|' || fail "the demo's disks are not listed: $out"
# The model column, last: what each demo disk says of itself, the stick's padded serial trimmed.
printf '%s\n' "$out" | grep -qx 'row=0 checked=0 cells=Disk0|256 MB|C:\\\\ \[System\] |DUNMERE VIRTUAL DISK 256 · S/N DM0001' ||
  fail "Disk0's model: $out"
printf '%s\n' "$out" | grep -q '^row=2 .*|DUNMERE POCKET STICK 64 · S/N DMS0003$' || fail "Disk2's model: $out"
# The NVMe disk that can erase itself says so beside its model.
printf '%s\n' "$out" | grep -qx 'row=3 checked=0 cells=Disk3|128 MB|H:\\\\ \[Scratch\] |DUNMERE NVME DISK 128 (can sanitize) · S/N DM0004' ||
  fail "Disk3's model: $out"
# The disk page scrolled to its right end, for a picture of the new column.
drive page TForm1 100 1
drive wait TForm1 visible
sleep 0.5
drive scroll TForm1 122 400
screenshot disk-list-model
drive scroll TForm1 122 -400
drive page TForm1 100 0

drive combo TForm1 130
for line in "dropdownlist=1" "selected=0" \
            "item=0 text=Standard overwrite (overwrite with zeros) (1 pass)" \
            "item=1 text=US Dept. of Defense DoD 5220.22-M (E) (3 passes)" \
            "item=2 text=US Dept. of Defense DoD 5220.22-M(ECE) (7 passes)" \
            "item=3 text=US Army AR380-19  (3 passes)" \
            "item=4 text=Russian GOST P50739-95 (2 passes)" \
            "item=5 text=Device sanitize"; do
  expect "$out" "$line" "method box"
done
[ "$(printf '%s\n' "$out" | grep -c '^item=')" = 6 ] || fail "the method box has other than five methods and the disk's own sanitize"
# The closed box is wide enough for its longest entry (at least its design width, 283); the two
# buttons after it give up what it takes beyond that, and the row still ends at the page's edge.
[ "$(value "$out" itemwidth)" -ge "$(value "$out" widesttext)" ] || fail "the closed method box cuts its text: $out"
drive control TForm1 130
box_width=$(size_of "$(rect_of "$out")" | cut -d' ' -f1)
[ "$box_width" -ge 283 ] || fail "method box width: $out"

for item in "131 ?" "132 Wipe it now" "133 Resume"; do
  set -- $item
  id=$1; shift
  drive control TForm1 $id
  printf '%s\n' "$out" | grep -q " text=$*\$" || fail "button $id caption: $out"
done
drive control TForm1 131
[ "$(size_of "$(rect_of "$out")" | cut -d' ' -f1)" = 15 ] || fail "button 131 width: $out"
drive control TForm1 132
wipe_rect=$(rect_of "$out")
drive control TForm1 133
resume_rect=$(rect_of "$out")
[ "$(size_of "$wipe_rect" | cut -d' ' -f1)" = "$(size_of "$resume_rect" | cut -d' ' -f1)" ] ||
  fail "the two buttons differ in width: $wipe_rect, $resume_rect"
[ "$(echo "$resume_rect" | cut -d' ' -f3)" -le 544 ] || fail "Resume reaches past the page control: $resume_rect"

drive hints TForm1
expect "$out" 'hint=130 text=Standard overwrite (overwrite with zeros) (1 pass)\r\nChoose wipe method'
expect "$out" "hint=131 text=How to choose wipe method"
expect "$out" "hint=132 text=Erase every byte on drve or disk"
expect "$out" "hint=133 text=Resume broken wipe"

drive status TForm1 140
expect "$out" "edges=400 500"
expect "$out" "panel=0 text=Dunmere v1.0.0"
printf '%s\n' "$out" | grep -q '^panel=1 text=\\t\\t.' || fail "right status panel not right-aligned: $out"
# Nothing checked: the right panel says that the disks are simulated.
printf '%s\n' "$out" | grep -q '^panel=1 text=.*Simulated PC' || fail "the status bar does not say the disks are simulated: $out"

# ---- TForm2 ----
drive info TForm2
for line in "caption= Message log" "visible=0" "client=498 143" "sysmenu=1" "minimizebox=0" \
            "maximizebox=0" "thickframe=0" "owner=TForm1"; do
  expect "$out" "$line" "log window"
done
drive control TForm2 300
printf '%s\n' "$out" | grep -q 'class=Edit ' || fail "log box: $out"
printf '%s\n' "$out" | grep -q 'multiline=1 readonly=1 vscroll=1' || fail "log box style: $out"
[ "$(size_of "$(rect_of "$out")")" = "498 113" ] || fail "log box size: $out"

# ---- TForm3 ----
drive info TForm3
for line in "caption= Wiping .  .  ." "visible=0" "client=630 108" "sysmenu=1" "minimizebox=1" \
            "maximizebox=0" "thickframe=0" "owner=none"; do
  expect "$out" "$line" "progress window"
done
near "$(centre_of "$(value "$out" rect)")" "512 384" || fail "progress window not centred: $out"
drive controls TForm3
for item in "401 Speed:" "402 0 MB/S" "403 Wiped/Total:" "404 4096000000 MB/4096 TB" \
            "405 Elapsed time:" "406 00h00m00s" "407 Time left this pass:" "408 00h00m00s"; do
  id=${item%% *} text=${item#* }
  printf '%s\n' "$out" | grep -q "^id=$id class=Static .* text=$text\$" || fail "label $id: expected '$text'"
done
bar_line=$(printf '%s\n' "$out" | grep '^id=410 ')
[ "$(size_of "$(rect_of "$bar_line")" | cut -d' ' -f1)" = 609 ] || fail "progress bar width: $bar_line"
drive bar TForm3 410
expect "$out" "low=0"
expect "$out" "high=100"
expect "$out" "position=0"
drive controls TForm3
printf '%s\n' "$out" | grep -q '^id=411 class=Button .*enabled=1 .*checked=1 .*text=Format the drive when finished$' ||
  fail "format box: $out"
printf '%s\n' "$out" | grep -q '^id=412 class=Button .*checked=0 .*text=Shutdown computer when finished$' ||
  fail "shutdown box: $out"
cancel_line=$(printf '%s\n' "$out" | grep '^id=413 ')
printf '%s\n' "$cancel_line" | grep -q 'text=Cancel$' || fail "cancel button: $cancel_line"
# Right-aligned: its right edge is the bar's.
[ "$(rect_of "$cancel_line" | cut -d' ' -f3)" = "$(rect_of "$bar_line" | cut -d' ' -f3)" ] ||
  fail "Cancel is not right-aligned with the bar"
drive hints TForm3
expect "$out" "hint=410 text=Current pass"

screenshot main
drive close TForm1
wait_exit "$sim_pid"
[ "$exit_code" = 0 ] || fail "exit code $exit_code after closing the main window"
note "passed"
