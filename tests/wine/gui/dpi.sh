#!/usr/bin/env bash
# At 144 dots per inch (the LogPixels setting of a prefix of the test's own) the three windows
# and the dialogs are one and a half times their design size, with every control inside its
# window and none over another (beyond the page control and the caption bar behind the pages),
# and the lists without a horizontal scroll bar; the closed method box shows its entries whole,
# and the log window opens on the screen. Screenshots of each show that nothing is cut.
gui_build=$(dirname "$(cd "$1" && pwd)")
export DUNMERE_WINE_ROOT=$gui_build/wine-dpi144
source "$(dirname "$0")/session.sh" "$1" dpi
for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
  wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 || fail "could not set LogPixels in $key"
done
# The setting is read when the prefix's processes start.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
start_wine
fresh_machine 40
start_sim
xdotool mousemove 1023 767   # no hint where the pointer would rest
# The first start at a new DPI makes the fonts anew and answers late.
for _ in $(seq 1 15); do
  wine "$gui_bin/guidriver.exe" info TForm1 </dev/null >/dev/null 2>&1 && break
  sleep 2
done

# layout_clean <window> [what]: every control inside, no two over each other, except the
# layering of the main window's pages (the page control, id 100, and a caption bar, id 0, lie
# behind the page's caption, link and list).
layout_clean() {
  drive layout "$1"
  printf '%s\n' "$out" | grep '^outside=' && fail "${2:-$1}: a control reaches outside the window: $out"
  printf '%s\n' "$out" | grep '^overlap=' | grep -Ev '^overlap=(0 (110|111|120|121|100)|100 [0-9]+)$' &&
    fail "${2:-$1}: controls over each other: $out"
  return 0
}

# ---- TForm1 ----
drive info TForm1
expect "$out" "client=824 551" "main window at 144 DPI"
layout_clean TForm1 "main window"
drive control TForm1 100
[ "$(size_of "$(rect_of "$out")")" = "810 381" ] || fail "page control at 144 DPI: $out"
# The method box at least its design width, scaled; the buttons after it share what is left.
drive control TForm1 130
[ "$(size_of "$(rect_of "$out")" | cut -d' ' -f1)" -ge 425 ] || fail "control 130 at 144 DPI: $out"
drive control TForm1 131
[ "$(size_of "$(rect_of "$out")" | cut -d' ' -f1)" = 23 ] || fail "control 131 at 144 DPI: $out"
drive control TForm1 132
wipe_width=$(size_of "$(rect_of "$out")" | cut -d' ' -f1)
drive control TForm1 133
[ "$(size_of "$(rect_of "$out")" | cut -d' ' -f1)" = "$wipe_width" ] || fail "control 133 at 144 DPI: $out"
for list in 112 122; do
  drive list TForm1 $list
  printf '%s\n' "$out" | grep -q '^column=0 width=150 ' || fail "first column of list $list not scaled: $out"
done
# The drive list fits its client area; the disk list's first three columns fit it the same way,
# and only the model column after them scrolls.
drive list TForm1 112
expect "$out" "hscroll=0" "drive list at 144 DPI"
label_width=$(printf '%s\n' "$out" | sed -n 's/^column=3 width=\([0-9]*\) .*/\1/p')
drive list TForm1 122
expect "$out" "column=2 width=$((label_width + 150)) text= Logical drives on disk" "disk list at 144 DPI"
drive status TForm1 140
expect "$out" "edges=600 750"
screenshot main
drive combo TForm1 130
[ "$(value "$out" droppedwidth)" -ge 425 ] || fail "the method list is narrower than its box: $out"
# The closed box shows its longest entry whole.
[ "$(value "$out" itemwidth)" -ge "$(value "$out" widesttext)" ] || fail "the closed method box cuts its text: $out"
drive drop TForm1 130 1
screenshot methods
drive drop TForm1 130 0
drive page TForm1 100 1
screenshot disk-page
drive page TForm1 100 0

# ---- Dialogs ----
press TForm1 131
drive wait "dialog:How to choose wipe method"
layout_clean "dialog:How to choose wipe method" "help dialog"
screenshot help
drive key "dialog:How to choose wipe method" return
drive wait "dialog:How to choose wipe method" gone 5000

# ---- TForm3 and TForm2, during a run and after it ----
drive select TForm1 130 2
drive check TForm1 112 2 1   # E:
press TForm1 132
drive wait "dialog:Confirm 1 of 2"
layout_clean "dialog:Confirm 1 of 2" "confirmation"
screenshot confirm
press "dialog:Confirm 1 of 2" 6
drive wait "dialog:Confirm 2 of 2"
press "dialog:Confirm 2 of 2" 6
drive wait TForm3 visible
drive info TForm3
expect "$out" "client=945 162" "progress window at 144 DPI"
layout_clean TForm3 "progress window"
drive control TForm3 410
[ "$(size_of "$(rect_of "$out")")" = "914 33" ] || fail "progress bar at 144 DPI: $out"
sleep 1.5
screenshot running
drive click TForm3 413
drive wait TForm3 hidden 10000
drive wait TForm1 visible 5000
drive info TForm2
expect "$out" "client=747 215" "log window at 144 DPI"
# Opened by the main window's anchor, its offsets as large as the window, and on the screen.
set -- $(value "$out" rect)
[ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ "$3" -le 1024 ] && [ "$4" -le 768 ] || fail "the log window lies off the 1024 x 768 screen: $out"
layout_clean TForm2 "log window"
screenshot log
note "passed"
