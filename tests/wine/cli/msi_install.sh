#!/usr/bin/env bash
# The installer as an administrator deploys it: a silent install with Wine's msiexec puts both
# programs, the sounds and the user guide in Program Files\Dunmere and a shortcut in the Start
# menu; the installed dunmere-cli.exe lists the devices from there (a path with a blank); a
# silent uninstall removes them again.
set -u
bin=$(cd "$1" && pwd)
msi=$2
here=$(cd "$(dirname "$0")" && pwd)
build=$(dirname "$bin")
export DUNMERE_WINE_ROOT=${DUNMERE_WINE_ROOT:-$build/wine}
prefix=$DUNMERE_WINE_ROOT/prefix
folder="$prefix/drive_c/Program Files/Dunmere"
work=$build/artifacts/msi
rm -rf "$work"
mkdir -p "$work"
win_msi="Z:$(printf '%s' "$msi" | tr '/' '\\')"

fail() { echo "FAIL: $*" >&2; wine msiexec /x "$win_msi" /qn >/dev/null 2>&1; exit 1; }

# One wineserver for the install, the use and the uninstall; nothing here needs a display.
export HOME=$DUNMERE_WINE_ROOT/home WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
mkdir -p "$HOME"
source "$here/../wine-session"
trap wine_session_end EXIT
"$here/../wine-prefix" >/dev/null 2>&1 || { echo "FAIL: could not prepare the Wine prefix" >&2; exit 1; }
wine_session_server || { echo "FAIL: could not start the wineserver" >&2; exit 1; }

wine msiexec /i "$win_msi" /qn >"$work/install.log" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "msiexec /i: exit code $rc ($(tail -3 "$work/install.log"))"
for f in dunmere.exe dunmere-cli.exe warning.wav ding.wav finish.wav userguide.chm readme.txt; do
  [ -f "$folder/$f" ] || fail "not installed: $f"
done
cmp -s "$folder/dunmere-cli.exe" "$bin/dunmere-cli.exe" || fail "the installed dunmere-cli.exe is not the one built"
shortcut=$(find "$prefix/drive_c" -iname 'Dunmere.lnk' 2>/dev/null | head -1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut"

wine 'C:\Program Files\Dunmere\dunmere-cli.exe' list </dev/null >"$work/list.txt" 2>"$work/list.err"
rc=$?
[ $rc -eq 0 ] || fail "installed dunmere-cli.exe list: exit code $rc ($(cat "$work/list.err"))"
head -1 "$work/list.txt" | grep -q '^Target  Size' || fail "list printed: $(head -3 "$work/list.txt")"

wine msiexec /x "$win_msi" /qn >"$work/uninstall.log" 2>&1
rc=$?
[ $rc -eq 0 ] || { echo "FAIL: msiexec /x: exit code $rc" >&2; exit 1; }
[ ! -e "$folder/dunmere-cli.exe" ] || { echo "FAIL: dunmere-cli.exe left after the uninstall" >&2; exit 1; }
echo "PASS: installed, listed from Program Files, uninstalled"
