#!/usr/bin/env bash
# A DUNMERE_MACHINE description that cannot be read, parsed or loaded: before any window of
# the program exists, a "Warning" box (warning icon, one OK) names the problem, with the line
# standard error gets; after OK the main window lists the demo machine's drives.
source "$(dirname "$0")/session.sh" "$1" machine_warning
folder=$gui_build/artifacts/gui-machines/$gui_test
rm -rf "$folder"
mkdir -p "$folder"
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# The dialog text as guidriver prints it: line ends as \n, backslashes doubled.
escaped() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

printf '{ "disks": [ {"number": 0,' > "$folder/unparsable.json"
# The image would lie inside a file, so it cannot be made.
cat > "$folder/unloadable.json" <<'JSON'
{ "disks": [ {"number": 0, "size": "16 MiB", "image": "unparsable.json/disk0.img"} ], "volumes": [] }
JSON

# Table: case, description file, the start of what is wrong with it (after "<path>: ").
while IFS='|' read -r name file problem; do
  description=$(windows_path "$folder/$file")
  export DUNMERE_MACHINE="$description"
  wine "$gui_bin/dunmere-sim.exe" </dev/null 2>"$folder/$name.stderr" &
  sim_pid=$!
  gui_pids+=("$sim_pid")
  wine "$gui_bin/guidriver.exe" wait "dialog:Warning" visible 20000 </dev/null >/dev/null ||
    fail "$name: no Warning before the demo"
  drive dialog Warning
  expect "$out" "icon=1" "$name: warning icon"
  expect "$out" "button=1 text=OK"
  [ "$(printf '%s\n' "$out" | grep -c '^button=')" = 1 ] || fail "$name: more than one button: $out"
  text=$(value "$out" text)
  head="The machine description could not be used:\\n$(escaped "$description"): $problem"
  case $text in
    "$head"*"\\n\\nThe demo machine is loaded instead. Its disks and volumes are simulated; none of them is a disk of this computer.") ;;
    *) fail "$name: warning text: $text" ;;
  esac
  # Nothing of the demo is on screen yet.
  drive count TForm1
  expect "$out" "count=0" "$name: main windows while the warning is up"
  [ "$name" = unparsable ] && screenshot warning

  drive click "dialog:Warning" 1
  wine "$gui_bin/guidriver.exe" wait TForm1 visible 20000 </dev/null >/dev/null ||
    fail "$name: no main window after the warning"
  drive list TForm1 112
  for row in 'row=0 checked=0 cells=C:\\|NTFS|' 'row=1 checked=0 cells=D:\\|' 'row=2 checked=0 cells=E:\\|' \
             'row=3 checked=0 cells=F:\\|'; do
    printf '%s\n' "$out" | grep -qF -- "$row" || fail "$name: the demo's drives are not listed: $out"
  done
  drive close TForm1
  wait_exit "$sim_pid"
  [ "$exit_code" = 0 ] || fail "$name: exit code $exit_code"
  # Standard error still gets the same problem, for whoever started the demo from a console.
  grep -qF "dunmere-sim: $description: $problem" "$folder/$name.stderr" ||
    fail "$name: standard error: $(cat "$folder/$name.stderr")"
done <<CASES
unreadable|missing.json|the machine description cannot be read
unparsable|unparsable.json|not valid JSON
unloadable|unloadable.json|disk 0: cannot create the image file
CASES
note "passed"
