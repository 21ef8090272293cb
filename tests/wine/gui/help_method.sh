#!/usr/bin/env bash
# "?" shows how to choose a method: a dialog "How to choose wipe method" with the help icon,
# the whole text (its apostrophe the typographic one) and one OK, centred on the screen; Enter
# and Escape both close it, and nothing is logged.
source "$(dirname "$0")/session.sh" "$1" help_method
fresh_machine
start_sim

help_text='Flash memory:\nPlease choose standard overwrite. It is secure enough.\n\nHard drive:\nStandard overwrite is secure enough to prevent software level recovery.\n\nBut a single pass with zeros doesn’t completely erase magnetic artifacts from a disk. Special technology can recover the data has been overwritten. There are some algorithms used to eliminate magnetic artifacts.\n\nFor tight security, recommend you use DoD 5220.22-M(E)(3 passes).\nFor absolute security, please use DoD 5220.22-M(ECE)(7 passes).\n\nDetailed algorithm of each method, please see user guide.\n\nDevice sanitize:\nThe disk erases itself with its own sanitize command (crypto erase where the disk offers it, else block erase), reaching spare and remapped cells that no overwrite reaches. Whole NVMe disks on the "Wipe disk" page only. Once sent it cannot be stopped, and no breakpoint is kept: after a power cut the disk carries it on by itself. Samples of the disk are read before and after to show the change.'

for key in return escape; do
  press TForm1 131
  drive wait "dialog:How to choose wipe method"
  drive dialog "How to choose wipe method"
  expect "$out" "text=$help_text" "help text"
  expect "$out" "icon=1" "help icon"
  expect "$out" "button=1 text=OK"
  expect "$out" "default=1"
  [ "$(printf '%s\n' "$out" | grep -c '^button=')" = 1 ] || fail "more than one button: $out"
  near "$(centre_of "$(value "$out" rect)")" "512 384" || fail "help dialog not centred on the screen: $out"
  drive focus "dialog:How to choose wipe method"
  expect "$out" "focus=1" "the OK button has the focus"
  [ "$key" = return ] && screenshot dialog
  drive key "dialog:How to choose wipe method" "$key"
  drive wait "dialog:How to choose wipe method" gone 5000
done

drive info TForm1
expect "$out" "enabled=1" "main window after the dialog"
drive info TForm2
expect "$out" "visible=0" "the help logged something"
note "passed"
