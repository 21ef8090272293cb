#!/usr/bin/env bash
# "Disable sound" lives in setting.bin next to the executable: 50 bytes written at each normal
# close, byte 0 = 0xFF when the item is checked; the next start begins with the item as saved.
source "$(dirname "$0")/session.sh" "$1" settings
fresh_machine
settings_file="$gui_bin/setting.bin"
rm -f "$settings_file"

# run_once <toggle: 0|1> <expected byte 0> [screenshot name]: one start, optionally a click on
# Option > Disable sound, a normal close, then the file is checked.
run_once() {
  local toggle=$1 expected=$2 shot=${3:-}
  start_sim
  if [ "$toggle" = 1 ]; then
    drive command TForm1 211
    sleep 0.3
  fi
  if [ -n "$shot" ]; then
    # Opened with the keyboard, as a person would, to show the check mark.
    xdotool key --delay 300 F10 Right Down
    sleep 0.5
    screenshot "$shot"
    xdotool key Escape Escape
    sleep 0.3
  fi
  drive close TForm1
  wait_exit "$sim_pid"
  [ "$exit_code" = 0 ] || fail "exit code $exit_code"
  [ -f "$settings_file" ] || fail "no setting.bin after closing"
  [ "$(stat -c %s "$settings_file")" = 50 ] || fail "setting.bin is $(stat -c %s "$settings_file") bytes"
  local byte
  byte=$(od -An -tx1 -N1 "$settings_file" | tr -d ' \n')
  [ "$byte" = "$expected" ] || fail "setting.bin byte 0 is $byte, expected $expected (toggle $toggle)"
}

run_once 0 00                # a first start without the file: sounds on
run_once 1 ff                # checked and saved
run_once 0 ff option-menu    # started checked, saved unchanged
run_once 1 00                # started checked: one click unchecks it
rm -f "$settings_file"
note "passed"
