#!/usr/bin/env bash
# A broken wipe resumed through the windows: cancel a run of E:, then File > Resume (which
# clicks the "Resume" button) asks "Confirm" in the same dialog as the wipe, and a Yes runs the
# rest through the progress window until the drive is no longer resumable.
source "$(dirname "$0")/session.sh" "$1" resume
fresh_machine 150   # slow enough to cancel in the middle, quick enough to resume to the end
start_sim

# yes_to <caption>: waits for a confirmation and answers Yes.
yes_to() {
  drive wait "dialog:$1"
  press "dialog:$1" 6
  drive wait "dialog:$1" gone 5000
}

drive check TForm1 112 2 1   # E:
press TForm1 132
yes_to "Confirm 1 of 2"
yes_to "Confirm 2 of 2"
drive wait TForm3 visible
press TForm3 413
drive wait TForm3 hidden 10000
drive wait TForm1 visible 5000
drive list TForm1 112
printf '%s\n' "$out" | grep -q '^row=2 checked=0 cells=E:.*Incomplete wipe, resumable\.' ||
  fail "E: after the cancelled run: $out"

drive check TForm1 112 2 1
drive command TForm1 203
drive wait "dialog:Confirm"
drive dialog Confirm
expect "$out" 'text=You have selected to continue wiping drive E:\nAre you sure?'
expect "$out" "icon=1"
expect "$out" "default=6"
screenshot confirm-resume
press "dialog:Confirm" 6
drive wait TForm3 visible
drive info TForm1
expect "$out" "visible=0" "main window while resuming"
drive wait TForm3 hidden 60000
drive wait TForm1 visible 5000
drive list TForm1 112
printf '%s\n' "$out" | grep -q '^row=2 .*Incomplete wipe' && fail "E: is still resumable after the resumed run: $out"
screenshot resumed
note "passed"
