#!/usr/bin/env bash
# The confirmation before a wipe: "Yes" has the focus and answers Enter; "No", Escape and the
# close button all answer no, and then nothing starts. The dialog is centred on the main window.
source "$(dirname "$0")/session.sh" "$1" confirm
fresh_machine
start_sim
drive info TForm1
main_centre=$(centre_of "$(value "$out" rect)")

drive check TForm1 112 2 1   # E:, neither the system drive nor unformatted

# ask: "Wipe it now" and the first confirmation, checked in full.
ask() {
  press TForm1 132
  drive wait "dialog:Confirm 1 of 2"
  drive dialog "Confirm 1 of 2"
  expect "$out" 'text=You have selected to wipe drive E:\nAre you sure?'
  expect "$out" "icon=1"
  expect "$out" "button=6 text=Yes"
  expect "$out" "button=7 text=No"
  expect "$out" "default=6"
  expect "$out" "owner=TForm1"
  near "$(centre_of "$(value "$out" rect)")" "$main_centre" || fail "not centred on the main window: $out"
  drive focus "dialog:Confirm 1 of 2"
  expect "$out" "focus=6" "Yes has the focus"
}

# nothing_started: the dialog is gone, no second one came, the main window is back in charge.
nothing_started() {
  drive wait "dialog:Confirm 1 of 2" gone 5000
  sleep 0.5
  drive count "dialog:Confirm 2 of 2"
  expect "$out" "count=0" "a 'No' still led to the second confirmation"
  drive info TForm3
  expect "$out" "visible=0" "progress window after a 'No'"
  drive info TForm1
  expect "$out" "visible=1" "main window after a 'No'"
  expect "$out" "enabled=1" "main window after a 'No'"
}

ask
screenshot first-confirmation
drive key "dialog:Confirm 1 of 2" escape
nothing_started

ask
drive close "dialog:Confirm 1 of 2"
nothing_started

ask
press "dialog:Confirm 1 of 2" 7
nothing_started

# Enter answers Yes: the second confirmation follows; its No stops everything.
ask
drive key "dialog:Confirm 1 of 2" return
drive wait "dialog:Confirm 2 of 2"
drive dialog "Confirm 2 of 2"
expect "$out" 'text=Every byte on the drive will be permanently erased and no chance to recover the data.\nAre you sure you want to process?'
expect "$out" "default=6"
press "dialog:Confirm 2 of 2" 7
drive wait "dialog:Confirm 2 of 2" gone 5000
drive info TForm3
expect "$out" "visible=0" "progress window after the second 'No'"
expect_checks TForm1 112 "0 0 1 0" "the checked drive after two questions"
note "passed"
