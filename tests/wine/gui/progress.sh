#!/usr/bin/env bash
# A wipe through the real windows: the main window gives way to the progress window, whose
# values and bar (drawn with its percentage) move; closing it only hides it until the run's
# next block, minimising keeps it minimised (until the next run), and Cancel ends the run,
# brings the main window back and leaves the drive resumable (the hidden "Wipe resumable"
# option is on by default).
source "$(dirname "$0")/session.sh" "$1" progress
fresh_machine 60   # 60 ms per MiB written: seven passes over E: take about half a minute
start_sim

drive tick TForm3 412 1    # "Shutdown computer when finished" ticked before: each run clears it
drive control TForm3 412
printf '%s\n' "$out" | grep -q 'checked=1' || fail "could not tick the shutdown box: $out"

drive select TForm1 130 2  # DoD 5220.22-M (ECE), 7 passes
drive check TForm1 112 2 1 # E:
press TForm1 132
drive wait "dialog:Confirm 1 of 2"
press "dialog:Confirm 1 of 2" 6
drive wait "dialog:Confirm 2 of 2"
press "dialog:Confirm 2 of 2" 6
drive wait TForm3 visible
drive info TForm1
expect "$out" "visible=0" "main window during the run"
drive info TForm3
[ "$(value "$out" caption)" != " Wiping .  .  ." ] || fail "the run did not describe itself in the caption"
drive controls TForm3
printf '%s\n' "$out" | grep -q '^id=411 .*enabled=1 .*checked=1 ' || fail "format box at the start of a drive run: $out"
printf '%s\n' "$out" | grep -q '^id=412 .*checked=0 ' || fail "shutdown box at the start of a run: $out"

drive bar TForm3 410
first_position=$(value "$out" position)
drive control TForm3 404
first_amount=$(printf '%s\n' "$out" | sed -n 's/.* text=//p')
sleep 1.5
drive bar TForm3 410
drive control TForm3 404
[ "$(printf '%s\n' "$out" | sed -n 's/.* text=//p')" != "$first_amount" ] ||
  fail "the amount did not move: $first_amount"
screenshot running

# Closing is no cancel: the run goes on and shows the window again after its next block. (The
# window is hidden only until then, too briefly to be watched from outside under Wine.)
drive close TForm3
sleep 0.5
drive wait TForm3 visible 5000
drive control TForm3 404
closed_amount=$(printf '%s\n' "$out" | sed -n 's/.* text=//p')
sleep 1
drive control TForm3 404
[ "$(printf '%s\n' "$out" | sed -n 's/.* text=//p')" != "$closed_amount" ] ||
  fail "the run stopped after the progress window was closed"
drive info TForm1
expect "$out" "visible=0" "main window after closing the progress window"

# Minimised, it stays minimised while the run goes on.
drive minimize TForm3
sleep 1
drive info TForm3
expect "$out" "iconic=1" "progress window after minimising"
sleep 1
drive info TForm3
expect "$out" "iconic=1" "the run restored the minimised progress window"

drive click TForm3 413   # minimised, so not active: the message alone
drive wait TForm3 hidden 10000
drive wait TForm1 visible 5000
drive list TForm1 112
printf '%s\n' "$out" | grep -q '^row=2 checked=0 cells=E:.*Incomplete wipe, resumable\.' ||
  fail "E: after a cancelled run: $out"
screenshot cancelled

# The window was minimised when the run ended; the next run shows it in its normal size.
drive check TForm1 112 3 1 # F:
press TForm1 132
drive wait "dialog:Confirm 1 of 2"
press "dialog:Confirm 1 of 2" 6
drive wait "dialog:Confirm 2 of 2"
press "dialog:Confirm 2 of 2" 6
drive wait TForm3 visible
drive info TForm3
expect "$out" "iconic=0" "progress window at the start of the next run"
press TForm3 413
drive wait TForm3 hidden 10000
drive wait TForm1 visible 5000
note "passed"
