# The steps of a whole wipe driven as a person does it, shared by drive_wipe.sh and
# disk_wipe.sh (sourced after session.sh, not run): real clicks and keys where Wine delivers
# them, the driver to look at what the windows show.

# point_of <verb> <arguments>: the screen point a driver verb gives, as "x y".
point_of() {
  drive "$@"
  echo "$(value "$out" x) $(value "$out" y)"
}

# click_on <window> <verb> <arguments>: a real mouse click at that point, once the window is
# active.
click_on() {
  local window=$1
  shift
  wait_active "$window"
  xdotool mousemove $(point_of "$@") click 1
}

# wait_for <key> <value> <verb> <arguments>: until the verb's answer holds key=value, which is
# then in $out.
wait_for() {
  local key=$1 want=$2 i
  shift 2
  for i in $(seq 1 50); do
    drive "$@"
    [ "$(value "$out" "$key")" = "$want" ] && return 0
    sleep 0.1
  done
  fail "$*: $key is not $want: $out"
}

# wait_checks <window> <list id> "<flags>" [what]: until a click has been handled.
wait_checks() {
  local i
  for i in $(seq 1 50); do
    read_checks "$1" "$2"
    [ "$checked" = "$3" ] && return 0
    sleep 0.1
  done
  fail "${4:-check marks}: expected '$3', found '$checked'"
}

# first_use <image> <from> <to> ...: the first start makes the images, with the boot sectors of
# their volumes; then the program ends and the image gets old content, a line of text over and
# over, in each byte range [from, to). The next start finds it as a used device.
first_use() {
  local image=$1
  shift
  start_sim
  drive close TForm1
  wait_exit "$sim_pid"
  while [ $# -ge 2 ]; do
    yes "$old_text" | head -c $(($2 - $1)) | dd of="$image" bs=1M seek="$1" oflag=seek_bytes conv=notrunc status=none
    shift 2
  done
}
old_text='old content, to be erased'

# answer_both_confirmations "<first text>" "<second text>": checks each question and answers
# Yes, the first with a click on its button, the second with Enter (Yes has the focus). A
# screenshot named "confirmation" shows the first.
answer_both_confirmations() {
  drive wait "dialog:Confirm 1 of 2"
  drive dialog "Confirm 1 of 2"
  expect "$out" "text=$1"
  expect "$out" "icon=1"
  expect "$out" "button=6 text=Yes"
  expect "$out" "button=7 text=No"
  screenshot confirmation
  click_on "dialog:Confirm 1 of 2" point "dialog:Confirm 1 of 2" 6
  drive wait "dialog:Confirm 2 of 2"
  drive dialog "Confirm 2 of 2"
  expect "$out" "text=$2"
  expect "$out" "default=6"
  wait_active "dialog:Confirm 2 of 2"
  xdotool key Return
}

# watch_run: once the progress window shows, its captions are recorded from inside one driver
# process (finish_run reads them) while the main window must be hidden.
watch_run() {
  drive wait TForm3 visible 10000
  captions_file=$gui_build/artifacts/gui-machines/$gui_test/captions.txt
  wine "$gui_bin/guidriver.exe" captions TForm3 60000 </dev/null >"$captions_file" &
  watcher=$!
  gui_pids+=("$watcher")
  drive info TForm1
  expect "$out" "visible=0" "main window during the run"
}

# picture_mid_run <caption> <size text>: once the bar has moved, the caption and the four values
# are checked and a screenshot "progress" taken; the run must still be going after it.
picture_mid_run() {
  local i
  for i in $(seq 1 100); do
    drive bar TForm3 410
    [ "$(value "$out" position)" -gt 0 ] && break
    sleep 0.1
  done
  [ "$(value "$out" position)" -gt 0 ] || fail "the progress bar did not move: $out"
  drive info TForm3
  printf '%s\n' "$out" | grep -qx -- "caption=$1" || fail "progress caption mid-run: $(value "$out" caption)"
  # One control at a time: every look waits for the run to handle messages between blocks.
  local values="" id
  for id in 402 404 406 408; do
    drive control TForm3 $id
    values+="$(printf '%s\n' "$out" | sed 's/.* text=//')|"
  done
  printf '%s\n' "$values" | grep -Eqx "[0-9]+ MB/S\|[0-9]+ MB/$2\|([0-9]+h[0-9]+m[0-9]+s\|){2}" ||
    fail "progress values mid-run (speed, amount, elapsed, time left): $values"
  screenshot progress
  drive info TForm3
  expect "$out" "visible=1" "the progress window after the mid-run picture (the run ended too soon)"
}

# finish_run "<captions>": waits for the end of the run; the captions shown from the first pass
# on must be exactly these lines; the main window is back and enabled.
finish_run() {
  wait "$watcher" || fail "watching the progress window's captions failed"
  local seen
  seen=$(tr -d '\r' <"$captions_file" | sed -n '/^caption=  Wiping /,$p' | sed 's/^caption=//')
  [ "$seen" = "$1" ] || fail "the progress window's captions were: $(cat "$captions_file")"
  drive wait TForm1 visible 10000
  drive info TForm1
  expect "$out" "enabled=1" "main window after the run"
  drive info TForm3
  expect "$out" "visible=0" "progress window after the run"
}

# expect_log "<lines>": the log holds exactly these lines (without their times); a click on its
# text brings the log window, opened behind the main window, to the front for a screenshot "log".
expect_log() {
  drive control TForm2 300
  local log
  log=$(printf '%s\n' "$out" | sed -n 's/.* text=//p' | sed 's/\\r\\n/\n/g' | sed 's/^\[[^]]*\] : //')
  [ "$log" = "$1" ] || fail "log at the end: $log"
  drive wait TForm2 visible
  click_on TForm1 point TForm2 300
  wait_active TForm2
  screenshot log
}

# check_report <target> <method> <result>: the run left exactly one report of the target ("drive
# F", "disk 1") in Reports next to the program, naming the method and the result; report_file
# is its host path, report_logged the path the program logged as the driver reads the log (every
# backslash doubled). The page as headless Chromium renders it is kept with the screenshots as
# "report".
check_report() {
  local found
  found=$(find "$gui_bin/Reports" -maxdepth 1 -name "Dunmere * $1.html" 2>/dev/null)
  [ -n "$found" ] && [ "$(printf '%s\n' "$found" | wc -l)" = 1 ] || fail "expected one report of $1: $found"
  report_file=$found
  report_logged="Z:$(printf '%s' "$found" | sed 's|/|\\\\|g')"
  grep -qF "<tr><th>Method</th><td>$2</td></tr>" "$report_file" || fail "the report does not name the method $2"
  grep -qF "<tr><th>Result</th><td>$3</td></tr>" "$report_file" || fail "the report does not say $3"
  local shot="$gui_shots/$gui_test-report.png"
  rm -f "$shot"
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$gui_root/chromium" \
    --window-size=820,1160 --screenshot="$shot" "file://$(printf '%s' "$report_file" | sed 's/ /%20/g')" \
    >/dev/null 2>&1 </dev/null
  [ -s "$shot" ] || fail "Chromium did not render the report"
  note "screenshot: $shot"
}
