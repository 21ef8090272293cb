#!/usr/bin/env bash
# The demo tour that scripts/run shows when there is no display, run into a scratch folder of the
# build: it must finish, and leave a screenshot of every step and the message log with the
# cancel of the first run and the success of the resumed one.
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
folder=$(dirname "$bin")/artifacts/gui-demo-tour
fail() {
  echo "FAIL [demo_tour]: $*" >&2
  exit 1
}

"$here/../demo-tour" "$bin" "$folder" || fail "the tour did not finish"

for step in 01-drives 02-stick-chosen 03-first-confirmation 04-progress 05-cancelled 06-restarted \
  07-resume-confirmation 08-resumed-progress 09-finished; do
  shot=$folder/demo-tour-$step.png
  [ -s "$shot" ] || fail "no screenshot $shot"
  [ "$(identify -format '%m %w %h' "$shot" 2>/dev/null)" = "PNG 1024 768" ] || fail "$shot is no picture of the desktop"
done
log=$folder/message-log.txt
[ -s "$log" ] || fail "no message log in $folder"
grep -Eq '^\[[0-9:. s]+\] : User canceled\.$' "$log" || fail "no cancel line in the log: $(cat "$log")"
grep -Eq '^\[[0-9:. s]+\] : Drive F: wiped successfully\.$' "$log" || fail "no success line in the log: $(cat "$log")"
[ "$(grep -n 'User canceled' "$log" | cut -d: -f1)" -lt "$(grep -n 'wiped successfully' "$log" | cut -d: -f1)" ] ||
  fail "the success came before the cancel: $(cat "$log")"
echo "[demo_tour] passed"
