#!/usr/bin/env bash
# The demo is heard: each of the three sounds goes to Wine's own sndPlaySoundA with SND_ASYNC
# alone, as the wave file beside dunmere-sim.exe, which Wine opens and reads as a wave. The
# test prefix has no audio device, so Wine stops short of the speaker; its winmm trace shows
# how far each sound got. Sounds of a wipe of the stick (two warnings, finish) and of a refusal
# (ding), in that order.
source "$(dirname "$0")/session.sh" "$1" demo_sounds
fresh_machine 0 '"formatPolls": 1,'
trace=$gui_build/artifacts/gui-machines/$gui_test/winmm.trace

WINEDEBUG=+winmm wine "$gui_bin/dunmere-sim.exe" </dev/null 2>"$trace" &
sim_pid=$!
gui_pids+=("$sim_pid")
drive wait TForm1 visible 20000

drive check TForm1 112 3 1   # F:, the USB stick
press TForm1 132
drive wait "dialog:Confirm 1 of 2"
press "dialog:Confirm 1 of 2" 6
drive wait "dialog:Confirm 2 of 2"
press "dialog:Confirm 2 of 2" 6
drive wait TForm3 visible 10000
drive wait TForm3 hidden 60000
drive wait TForm1 visible 10000

drive check TForm1 112 0 1   # C:, the Windows volume: refused with the ding
press TForm1 132
for _ in $(seq 1 100); do
  drive control TForm2 300
  printf '%s\n' "$out" | grep -qF "It is current Windows drive, can not wipe." && break
  sleep 0.1
done
printf '%s\n' "$out" | grep -qF "It is current Windows drive, can not wipe." || fail "C: was not refused: $out"
sleep 1   # the sound thread reads its file after the call returned
drive close TForm1
wait_exit "$sim_pid"

folder=$(printf 'Z:%s' "$gui_bin" | tr '/' '\\' | sed 's/\\/\\\\/g')
played=$(sed -n 's/.*proc_PlaySound SoundName=L"\(.*\)" !.*/\1/p' "$trace")
expected=$(printf '%s\\\\%s\n' "$folder" warning.wav "$folder" warning.wav "$folder" finish.wav "$folder" ding.wav)
[ "$played" = "$expected" ] || fail "sounds handed to Wine: $played"
[ "$(grep -c 'MULTIMEDIA_PlaySound .* fdwSound=00000001$' "$trace")" = 4 ] ||
  fail "not four calls with SND_ASYNC alone: $(grep MULTIMEDIA_PlaySound "$trace")"
[ "$(grep -c 'proc_PlaySound ParentChunk ckid=RIFF fccType=WAVE' "$trace")" = 4 ] ||
  fail "Wine did not read four waves: $(grep proc_PlaySound "$trace")"
note "passed"
