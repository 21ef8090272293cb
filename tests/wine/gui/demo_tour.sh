#!/usr/bin/env bash
# The demo tour that scripts/run shows when there is no display, run into a scratch folder of the
# build: it must finish, and leave a screenshot of every step and the message log with the
# cancel and the success of the resumed run, first of the stick's wipe, then of the disk's.
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
  07-resume-confirmation 08-resumed-progress 09-finished 10-disk-chosen 11-disk-confirmation \
  12-disk-progress 13-disk-cancelled 14-drives-without-disk1 15-disk-restarted \
  16-disk-resume-confirmation 17-disk-resumed-progress 18-disk-finished 19-sanitize-chosen \
  20-sanitize-progress 21-sanitize-finished 23-stick-checked 24-stick-pulled 25-other-stick-checked; do
  shot=$folder/demo-tour-$step.png
  [ -s "$shot" ] || fail "no screenshot $shot"
  [ "$(identify -format '%m %w %h' "$shot" 2>/dev/null)" = "PNG 1024 768" ] || fail "$shot is no picture of the desktop"
done
# The sanitize's report as Chromium shows it.
report_shot=$folder/demo-tour-22-sanitize-report.png
[ -s "$report_shot" ] || fail "no picture of the sanitize's report"
[ "$(identify -format '%m %w' "$report_shot" 2>/dev/null)" = "PNG 1024" ] || fail "$report_shot is no picture of the report"
grep -q '<td>Device sanitize</td>' "$folder/sanitize-report.html" || fail "the report does not name the method"
log=$folder/message-log.txt
[ -s "$log" ] || fail "no message log in $folder"
grep -Eq '^\[[0-9:. s]+\] : User canceled\.$' "$log" || fail "no cancel line in the log: $(cat "$log")"
grep -Eq '^\[[0-9:. s]+\] : Drive F: wiped successfully\.$' "$log" || fail "no success line in the log: $(cat "$log")"
# Disk1 hides sectors from every overwrite: the warning came before its questions.
grep -Eq '^\[[0-9:. s]+\] : Disk 1 hides 16,384 sectors \(a host protected area\) that no overwrite reaches\.$' "$log" ||
  fail "no hidden-area warning in the log: $(cat "$log")"
# The stick's cancel, its success, the disk's cancel and the disk's success, in this order.
order=$(grep -E ' : (User canceled|Drive F: wiped successfully|Disk 1 wiped successfully)\.$' "$log" | sed 's/.* : //' | tr '\n' '/')
grep -Eq '^\[[0-9:. s]+\] : Disk 3 sanitized by its own crypto erase\.$' "$log" || fail "no sanitize line in the log: $(cat "$log")"
# The scratch volume's files make the samples count: only a few were one value before.
samples=$(grep -E ' : Verification: [0-9,]+ samples .* of disk 3\) read before and after; none holds its former content' "$log") ||
  fail "no sampling verdict for disk 3 in the log: $(cat "$log")"
constant=$(printf '%s' "$samples" | sed -n 's/.*; \([0-9,]*\) w[a-z]* one value throughout.*/\1/p' | tr -d ,)
[ "${constant:-0}" -lt 100 ] || fail "most samples of disk 3 held one value before its sanitize: $samples"
[ "$order" = "User canceled./Drive F: wiped successfully./User canceled./Disk 1 wiped successfully./" ] ||
  fail "the cancels and successes are not in the order of the tour ($order): $(cat "$log")"
echo "[demo_tour] passed"
