#!/usr/bin/env bash
# Generates the three sounds the program plays: warning.wav (before a confirmation), ding.wav
# (a refusal or a failed run) and finish.wav (a run that succeeded). Short, soft, plucked
# tones, 22.05 kHz mono 16-bit. Needs sox. Output beside this script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
format=(-r 22050 -c 1 -b 16)

note() {  # name, length in seconds, output
  sox -R -n "${format[@]}" "$3" synth "$2" pluck "$1" fade q 0.004 "$2" 0.12 gain -5
}

# warning: two notes falling a fourth, a gentle "attention".
note A5 0.22 "$work/w1.wav"
note E5 0.42 "$work/w2.wav"
sox -R "$work/w1.wav" "$work/w2.wav" "${format[@]}" "$here/warning.wav"

# ding: one bell-like note.
note E6 0.6 "$here/ding.wav"

# finish: a rising major arpeggio that ends on the octave.
note C5 0.13 "$work/f1.wav"
note E5 0.13 "$work/f2.wav"
note G5 0.13 "$work/f3.wav"
note C6 0.6 "$work/f4.wav"
sox -R "$work/f1.wav" "$work/f2.wav" "$work/f3.wav" "$work/f4.wav" "${format[@]}" "$here/finish.wav"

echo "wrote $here/warning.wav $here/ding.wav $here/finish.wav"
