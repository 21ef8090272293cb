# Shared by the GUI test scripts (sourced, not run): a private Wine prefix and home inside the
# build folder and an Xvfb display of the test's own, as tests/wine/wine-run sets them up, with
# dunmere-sim.exe started in the background and driven by guidriver.exe.
#
#   source session.sh <bin folder> <test name>
#
# Everything started here is ended on exit: the programs and Xvfb by their process ids, the
# wineserver of the prefix (one for the whole test, see wine-session) through wineserver -k.

set -u
gui_bin=$(cd "$1" && pwd)
gui_test=$2
gui_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
gui_build=$(dirname "$gui_bin")
gui_root=${DUNMERE_WINE_ROOT:-$gui_build/wine}
gui_shots=$gui_build/artifacts/screenshots
mkdir -p "$gui_root/home" "$gui_shots"
export HOME="$gui_root/home" WINEPREFIX="$gui_root/prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

source "$gui_here/../wine-session"
gui_pids=()

gui_cleanup() {
  local pid
  for pid in "${gui_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wine_session_end
  for pid in "${gui_pids[@]}"; do wait "$pid" 2>/dev/null; done
}
trap gui_cleanup EXIT

fail() {
  echo "FAIL [$gui_test]: $*" >&2
  exit 1
}

# Every step of the test, with the time it began, in the build's artifacts/gui-steps/: what a
# test that went wrong was doing, and how long each step took on a busy machine.
gui_steps=$gui_build/artifacts/gui-steps/$gui_test.log
mkdir -p "$(dirname "$gui_steps")"
: > "$gui_steps"
gui_step() { printf '%s %s\n' "$(date +%T.%N | cut -c1-12)" "$*" >> "$gui_steps"; }

# A test still running shortly before CTest's time limit says what it was waiting for and ends
# with a failure of its own: CTest kills a test that runs out of time without showing anything
# it did. DUNMERE_GUI_TIMEOUT is the limit CTest was given.
gui_watchdog() {
  local limit=$(( ${DUNMERE_GUI_TIMEOUT:-240} - 15 ))
  # The sleep holds none of the test's output pipes: CTest waits for them to close.
  sleep "$limit" </dev/null >/dev/null 2>&1 &
  wait $!
  {
    echo "FAIL [$gui_test]: still running after $limit s; its steps:"
    sed 's/^/  /' "$gui_steps"
    echo "  Wine and Xvfb processes now:"
    ps -eo pid=,ppid=,etimes=,stat=,args= | grep -E 'wine|\.exe|Xvfb' | grep -v grep | sed 's/^/  /'
  } >&2
  # The Wine programs first: a step waiting for one of them then fails and the test ends
  # through its own exit, which ends the rest.
  wineserver -k >/dev/null 2>&1
  kill -TERM "$gui_shell" 2>/dev/null
}
gui_shell=$$
gui_watchdog &
gui_pids+=("$!")

note() { echo "[$gui_test] $*"; }

gui_step "display"
wine_session_display "$gui_root" || fail "Xvfb did not start"
gui_step "prefix"
"$gui_here/../wine-prefix" >/dev/null 2>&1 || fail "could not prepare the Wine prefix"

# start_wine: the prefix's wineserver and desktop, up before the program under test starts. The
# first program of a new wineserver waits for Wine's own start-up (wineboot) and has the desktop
# process started, seconds on a busy machine, while the driver polls beside it; the program under
# test comes second, into a session that is ready. Call it again after ending the wineserver in
# the middle of a test.
start_wine() {
  gui_step "wineserver"
  wine_session_server || fail "could not start the wineserver"
  gui_step "desktop"
  wine "$gui_bin/guidriver.exe" desktop 600000 </dev/null >/dev/null || fail "the Wine desktop did not come up"
}
start_wine

# drive <verb> ...: guidriver's answer in $out; a verb that fails fails the test.
drive() {
  gui_step "drive $*"
  out=$(wine "$gui_bin/guidriver.exe" "$@" </dev/null) || fail "guidriver $*"
}

# expect "<output>" "<exact line>" [what]
expect() {
  printf '%s\n' "$1" | grep -qxF -- "$2" || { printf '%s\n' "$1" >&2; fail "${3:-expected} line: $2"; }
}

# value "<output>" <key>: the value of the first key=value line.
value() { printf '%s\n' "$1" | sed -n "s/^$2=//p" | head -1; }

# start_sim: starts dunmere-sim.exe in the background and waits for its main window. sim_pid
# names it for wait_exit.
start_sim() {
  gui_step "start dunmere-sim.exe"
  wine "$gui_bin/dunmere-sim.exe" </dev/null &
  sim_pid=$!
  gui_pids+=("$sim_pid")
  wine "$gui_bin/guidriver.exe" wait TForm1 visible 60000 </dev/null >/dev/null ||
    fail "dunmere-sim.exe did not show its main window"
}

# watch_for <waittext arguments...>: guidriver's waittext in the background, its process id in
# watch_pid; returns once it has taken its first look, so an action after it cannot run ahead of
# the watch while the watching Wine process is still starting. click_when <clickwhen arguments>
# the same with a click at the moment the texts are seen.
watch_for() { watch_with waittext "$@"; }
click_when() { watch_with clickwhen "$@"; }
watch_with() {
  local verb=$1 said="$gui_root/watch.$$" i
  shift
  gui_step "$verb $*"
  rm -f "$said"
  wine "$gui_bin/guidriver.exe" "$verb" "$@" </dev/null >"$said" &
  watch_pid=$!
  gui_pids+=("$watch_pid")
  for i in $(seq 1 1200); do
    grep -q '^watching$' "$said" 2>/dev/null && return 0
    kill -0 "$watch_pid" 2>/dev/null || return 0   # already seen, or failed: wait tells which
    sleep 0.1
  done
  fail "the watch for $1 did not start"
}

# start_second: a further copy in the background, its process id in second_pid.
start_second() {
  wine "$gui_bin/dunmere-sim.exe" </dev/null &
  second_pid=$!
  gui_pids+=("$second_pid")
}

# wait_exit <pid> [seconds]: waits for a program to end; its exit code in exit_code.
wait_exit() {
  local pid=$1 limit=${2:-20} i
  gui_step "wait for process $pid to end"
  for i in $(seq 1 $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "process $pid did not end within $limit s"
  wait "$pid"
  exit_code=$?
}

# screenshot <name>: the whole virtual desktop into the build's artifacts/screenshots/.
screenshot() {
  local desktop file="$gui_shots/$gui_test-$1.png"
  sleep 0.5  # let the windows finish painting
  desktop=$(xdotool search --name 'Default - Wine desktop' | head -1)
  [ -n "$desktop" ] || fail "no Wine desktop window to take a picture of"
  import -window "$desktop" "$file" || fail "screenshot $file"
  note "screenshot: $file"
}

# fresh_machine [write delay ms] [machine fields] [disk fields]: the demo's layout (disks 0 to
# 2, C: the system volume, D: and E: on disk 1, F: a removable stick) in new images of this
# test's own, for the next starts. The fields are extra JSON members, each ending in a comma.
fresh_machine() {
  local delay=${1:-0} machine=${2:-} disk=${3:-} folder="$gui_build/artifacts/gui-machines/$gui_test"
  rm -rf "$folder"
  mkdir -p "$folder"
  cat > "$folder/machine.json" <<JSON
{ $machine
  "windowsDirectory": "C:\\\\WINDOWS",
  "realClock": true,
  "writeDelayMs": $delay,
  "disks": [
    {$disk "number": 0, "size": "256 MiB", "image": "disk0.img"},
    {$disk "number": 1, "size": "192 MiB", "image": "disk1.img"},
    {$disk "number": 2, "size": "64 MiB", "image": "disk2.img"}
  ],
  "volumes": [
    {"letter": "C", "disk": 0, "offset": "1 MiB", "length": "255 MiB", "fileSystem": "NTFS", "label": "System"},
    {"letter": "D", "disk": 1, "offset": "1 MiB", "length": "127 MiB", "fileSystem": "NTFS", "label": "Data"},
    {"letter": "E", "disk": 1, "offset": "128 MiB", "length": "64 MiB", "fileSystem": "FAT32", "label": "Backup"},
    {"letter": "F", "driveType": "removable", "disk": 2, "offset": "1 MiB", "length": "63 MiB",
     "fileSystem": "FAT32", "label": "USBSTICK"}
  ]
}
JSON
  export DUNMERE_MACHINE="Z:$(printf '%s' "$folder/machine.json" | tr '/' '\\')"
}

# read_checks <window> <list id>: the rows' check marks in $checked, e.g. "0 0 1 0".
read_checks() {
  drive list "$1" "$2"
  checked=$(printf '%s\n' "$out" | sed -n 's/^row=[0-9]* checked=\([01]\).*/\1/p' | tr '\n' ' ' | sed 's/ $//')
}

# expect_checks <window> <list id> "<flags>" [what]
expect_checks() {
  read_checks "$1" "$2"
  [ "$checked" = "$3" ] || fail "${4:-check marks}: expected '$3', found '$checked'"
}

# centre_of "<l t r b>": the centre as "x y".
centre_of() {
  set -- $1
  echo "$((($1 + $3) / 2)) $((($2 + $4) / 2))"
}

# near "<x y>" "<x y>" [pixels]: true when both coordinates differ by at most that (1).
near() {
  local limit=${3:-1}
  set -- $1 $2
  local dx=$(($1 - $3)) dy=$(($2 - $4))
  [ "${dx#-}" -le "$limit" ] && [ "${dy#-}" -le "$limit" ]
}

# field "<line>" <key>: the value of key=value inside one line of controls/control output (up to
# the next blank for rect-like fields is not enough, so rect is handled by rect_of).
rect_of() { printf '%s\n' "$1" | sed -n 's/.* rect=\([-0-9]* [-0-9]* [-0-9]* [-0-9]*\).*/\1/p' | head -1; }
size_of() {
  set -- $1
  echo "$(($3 - $1)) $(($4 - $2))"
}

# wait_active <window>: until it is the active window of its program. Under Wine the activation
# of a window that was just shown, or uncovered by a closed dialog, finishes asynchronously, and
# a click that arrives in the middle of it can lose the mouse capture and come to nothing.
wait_active() {
  drive active "$1" 20000
}

# press <window> <button id>: a person's click on a button of the active window.
press() {
  wait_active "$1"
  drive click "$1" "$2"
}
