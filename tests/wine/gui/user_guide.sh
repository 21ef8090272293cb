#!/usr/bin/env bash
# Help > User guide opens userguide.chm from the program's folder in the help viewer: the
# viewer's window carries the guide's title and its contents pane lists the guide's contents
# exactly as the project's contents file gives them. The menu is opened with the keyboard, as a
# person would. Wine's viewer draws its frame, toolbar and contents; its topic pane stays
# blank because the prefix has no HTML engine.
source "$(dirname "$0")/session.sh" "$1" user_guide
contents_file=$gui_here/../../../docs/userguide/userguide.hhc
guide=$gui_bin/userguide.chm
viewer="window:Dunmere user guide"
[ -f "$guide" ] || fail "no $guide"
fresh_machine
# Explorer starts a program in its own folder; the guide is looked for by its bare name there.
cd "$gui_bin"
start_sim

drive count "$viewer"
[ "$(value "$out" count)" = 0 ] || fail "a help viewer is open before the menu was used"
wait_active TForm1
xdotool key --delay 300 F10 Right Right Right Right Down
sleep 0.5
screenshot help-menu
xdotool key Return
drive wait "$viewer" visible 30000

# The viewer was started for this very file: its command line names the guide in the bin folder.
guide_windows=$(printf 'Z:%s' "$guide" | tr '/' '\\')
viewer_line=$(ps -eo args= | grep -i 'hh\.exe' | grep -iF -- "$guide_windows" | grep -v grep | head -1)
[ -n "$viewer_line" ] ||
  fail "no hh.exe started with $guide_windows: $(ps -eo args= | grep -i 'hh\.exe' | grep -v grep)"
note "viewer: $viewer_line"

# Depth and name of every entry of the contents file, in order, as the tree should show them.
expected=$(awk '
  /<ul>/ { depth++ }
  /<\/ul>/ { depth-- }
  /name="Name"/ { sub(/.*value="/, ""); sub(/">.*/, ""); print "item=" depth - 1 " text=" $0 }
' "$contents_file")
[ -n "$expected" ] || fail "no entries in $contents_file"
drive tree "$viewer"
[ "$out" = "$expected" ] || { printf 'shown:\n%s\nexpected:\n%s\n' "$out" "$expected" >&2; fail "contents pane"; }

drive info "$viewer"
expect "$out" "visible=1" "help viewer"
screenshot viewer
# The guide is the viewer's own window: the main window stays as it was, and nothing is logged.
drive info TForm1
expect "$out" "enabled=1" "main window"
drive info TForm2
expect "$out" "visible=0" "the menu logged something"
note "passed"
