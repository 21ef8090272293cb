#!/usr/bin/env bash
# dunmere-cli-sim.exe under Wine, as a script calls it: two simulated disks erased in one call,
# named by number and by serial, with their reports, the summary page and the CSV in the folder
# asked for; the exit codes of a usage error and of a refusal; and the refusal to write without
# --yes when input is not a console. Nothing is written by a call that is refused. Then Ctrl+C,
# twice, in the middle of a wipe of two disks at once: both runs are cancelled with their records
# saved (exit code 4), and one resume finishes both.
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
build=$(dirname "$bin")
work=$(dirname "$bin")/artifacts/cli-sim
# Under Wine the simulated program's folder is the bin folder, as Wine names it.
reports_host=$bin/cli-sim-reports
reports="Z:$(printf '%s' "$reports_host" | tr '/' '\\')"
rm -rf "$work" "$reports_host"
mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# One wineserver for every call (a console program needs no display): the build's prefix, as
# tests/wine/wine-run sets it up, ended on exit.
export DUNMERE_WINE_ROOT=${DUNMERE_WINE_ROOT:-$build/wine}
export HOME=$DUNMERE_WINE_ROOT/home WINEPREFIX=$DUNMERE_WINE_ROOT/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
mkdir -p "$HOME"
source "$here/../wine-session"
trap wine_session_end EXIT
"$here/../wine-prefix" >/dev/null 2>&1 || fail "could not prepare the Wine prefix"
wine_session_server || fail "could not start the wineserver"

cat > "$work/machine.json" <<'JSON'
{
  "windowsDirectory": "C:\\WINDOWS",
  "realClock": true,
  "writeDelayMs": 25,
  "disks": [
    {"number": 0, "size": "64 MiB", "image": "disk0.img"},
    {"number": 3, "size": "8 MiB", "image": "disk3.img", "model": "DUNMERE VIRTUAL DISK 8", "serial": "SER3"},
    {"number": 4, "size": "8 MiB", "image": "disk4.img", "model": "DUNMERE VIRTUAL DISK 8", "serial": "SER4"},
    {"number": 5, "size": "64 MiB", "image": "disk5.img"},
    {"number": 6, "size": "64 MiB", "image": "disk6.img"}
  ],
  "volumes": [
    {"letter": "C", "disk": 0, "offset": "1 MiB", "length": "63 MiB", "fileSystem": "NTFS", "label": "System"}
  ]
}
JSON
export DUNMERE_MACHINE="Z:$(printf '%s' "$work/machine.json" | tr '/' '\\')"
mib=1048576
for n in 3 4; do
  head -c $((8 * mib)) /dev/zero | tr '\000' '\253' > "$work/disk$n.img"
done

cli() {  # args...: runs the program with input from /dev/null, output in $work/out, $work/err
  wine "$bin/dunmere-cli-sim.exe" "$@" </dev/null >"$work/out" 2>"$work/err"
}

# Refused calls first: they must leave the disks as they are.
cli wipe disk3 --speed 9 --yes
[ $? -eq 2 ] || fail "an unknown option: exit code $? ($(cat "$work/err"))"
grep -q 'Unknown option "--speed"' "$work/err" || fail "unknown option message: $(cat "$work/err")"

cli wipe disk3 disk0 --yes
rc=$?
[ $rc -eq 3 ] || fail "the Windows disk: exit code $rc"
grep -q "disk0: Current Windows drive on the disk, can not wipe." "$work/err" || fail "refusal: $(cat "$work/err")"

cli wipe disk3 serial=SER4
rc=$?
[ $rc -eq 2 ] || fail "without --yes and a console: exit code $rc"
grep -q "Without --yes the targets must be confirmed at a console" "$work/err" || fail "no --yes: $(cat "$work/err")"

for n in 3 4; do
  [ "$(tr -d '\253' < "$work/disk$n.img" | wc -c)" -eq 0 ] || fail "disk $n was written by a refused call"
done

# Both disks in one call, the second by its serial.
cli wipe disk3 serial=SER4 --yes --field "Asset=A-17" --report-dir "$reports"
rc=$?
[ $rc -eq 0 ] || fail "two disks: exit code $rc; $(cat "$work/err")"
for n in 3 4; do
  cmp -s -n $((8 * mib)) "$work/disk$n.img" /dev/zero || fail "disk $n not erased with zeros"
  grep -q "^disk$n: completed" "$work/out" || fail "no result line for disk $n: $(cat "$work/out")"
done
ls "$reports_host"/*" disk 3.html" "$reports_host"/*" disk 4.json" >/dev/null || fail "reports: $(ls "$reports_host")"
summary=$(ls "$reports_host"/*" summary.html" 2>/dev/null | head -1)
csv=$(ls "$reports_host"/*" summary.csv" 2>/dev/null | head -1)
[ -n "$summary" ] && [ -n "$csv" ] || fail "no summary page or CSV: $(ls "$reports_host")"
[ "$(wc -l < "$csv")" -eq 3 ] || fail "CSV of $(wc -l < "$csv") lines"
head -1 "$csv" | grep -q "^target,serial,model,size_bytes,method,result," || fail "CSV header: $(head -1 "$csv")"
grep -q "^disk 3,SER3,DUNMERE VIRTUAL DISK 8,8388608,.*,completed," "$csv" || fail "CSV line of disk 3: $(cat "$csv")"
grep -q "^disk 4,SER4,.*,completed," "$csv" || fail "CSV line of disk 4: $(cat "$csv")"
grep -q "Asset: A-17" "$summary" || fail "the summary page without the user's field"
cp "$summary" "$csv" "$work/"
rm -rf "$reports_host"

# Ctrl+C (Wine hands a SIGINT to the console handler) once both runs show their first pass,
# and a second one at once: the runs still end by themselves, cancelled, with their records.
for n in 5 6; do head -c $((64 * mib)) /dev/zero | tr '\000' '\253' > "$work/disk$n.img"; done
wine "$bin/dunmere-cli-sim.exe" wipe disk5 disk6 --yes </dev/null >"$work/out" 2>"$work/err" &
runner=$!
pid=""
for _ in $(seq 1 300); do
  grep -q "^disk5 .*pass 1 of 1" "$work/out" 2>/dev/null && grep -q "^disk6 .*pass 1 of 1" "$work/out" 2>/dev/null &&
    pid=$(pgrep -f "dunmere-cli-sim.exe wipe disk5 disk6" | tail -1)
  [ -n "$pid" ] && break
  sleep 0.1
done
[ -n "$pid" ] || { kill "$runner"; fail "the wipe of disks 5 and 6 showed no pass of each: $(cat "$work/out" "$work/err")"; }
kill -INT "$pid"
kill -INT "$pid"
wait "$runner"
rc=$?
[ $rc -eq 4 ] || fail "Ctrl+C: exit code $rc; $(cat "$work/out" "$work/err")"
for n in 5 6; do
  grep -q "^disk$n: cancelled" "$work/out" || fail "no cancelled line for disk $n: $(cat "$work/out")"
done
cli resume disk5 disk6 --yes
rc=$?
[ $rc -eq 0 ] || fail "resume after Ctrl+C: exit code $rc; $(cat "$work/err")"
for n in 5 6; do
  cmp -s -n $((64 * mib)) "$work/disk$n.img" /dev/zero || fail "disk $n not erased after the resume"
done
rm -f "$bin/Reports/"*" disk 5."* "$bin/Reports/"*" disk 6."* "$bin/Reports/"*" summary."*
echo "PASS: two disks erased in one call, summary $(basename "$summary"); Ctrl+C left two records that one resume finished"
