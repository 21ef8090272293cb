#!/usr/bin/env bash
# The two pages: only the active page's panel and list are shown and take input; the commands
# work on the active page; the scan link and its menu item rebuild the lists with no row checked.
source "$(dirname "$0")/session.sh" "$1" pages
fresh_machine
start_sim

# page_state <page>: the drive page's controls shown and enabled when it is 0, the disk page's
# when it is 1, and the others hidden and disabled.
page_state() {
  local active=$1 id shown
  drive tabs TForm1 100
  expect "$out" "selected=$active" "active page"
  for id in 110 111 112 120 121 122; do
    shown=0
    { [ "$active" = 0 ] && [ "$id" -lt 120 ]; } || { [ "$active" = 1 ] && [ "$id" -ge 120 ]; } && shown=1
    drive control TForm1 $id
    printf '%s\n' "$out" | grep -q "visible=$shown enabled=$shown" ||
      fail "page $active: control $id should be visible=$shown enabled=$shown: $out"
  done
}

page_state 0
screenshot wipe-drive

drive page TForm1 100 1
sleep 0.3
page_state 1
drive list TForm1 122
printf '%s\n' "$out" | grep -q '^row=1 checked=0 cells=Disk1|192 MB|D:\\\\ \[Data\] E:\\\\ \[Backup\]' ||
  fail "disk list rows: $out"
screenshot wipe-disk

# "Wipe it now" works on the active page: a drive checked on the other page does not count.
drive page TForm1 100 0
sleep 0.3
drive check TForm1 112 2 1
drive page TForm1 100 1
sleep 0.3
page_state 1
press TForm1 132
drive wait TForm2 visible
drive control TForm2 300
printf '%s\n' "$out" | grep -q 'Please choose the disk first\.$' || fail "Wipe it now on the disk page: $out"

# The scan link on the disk page rebuilds both lists, no row checked.
drive check TForm1 122 1 1
expect_checks TForm1 112 "0 0 1 0" "drive list before the scan"
expect_checks TForm1 122 "0 1 0" "disk list before the scan"
drive linkclick TForm1 121
sleep 0.5
expect_checks TForm1 112 "0 0 0 0" "drive list after the scan link"
expect_checks TForm1 122 "0 0 0" "disk list after the scan link"

# The same through File > Scan for hardware changes, from the drive page.
drive page TForm1 100 0
sleep 0.3
page_state 0
drive check TForm1 112 1 1
drive command TForm1 201
sleep 0.5
expect_checks TForm1 112 "0 0 0 0" "drive list after the menu's scan"
note "passed"
