#!/bin/sh
# Waveform view benchmark: the work of one 100 ms timer tick while playing
# (cursor repaint included) at 1:1 zoom, for a one-minute and a two-hour
# 44.1 kHz stereo document, and the program's peak memory with the
# two-hour one open.  A tick should cost about the same for both.
#
# Usage: bench/view-bench.sh [TICKS]   (needs a built build/; writes a
# 1.3 GB file to the temporary folder)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench="$here/../build/bin/velmora-view-bench"
ticks=${1:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -c 2 -b 16 "$work/one-minute.wav" synth 60 sine 440 vol 0.5
sox -n -r 44100 -c 2 -b 16 "$work/two-hours.wav" synth 7200 sine 440 vol 0.5
short=$("$bench" "$work/one-minute.wav" "$ticks")
long=$("$bench" "$work/two-hours.wav" "$ticks")
echo "one minute: $short"
echo "two hours:  $long"
a=$(echo "$short" | sed 's/.*tick_median_us=\([0-9.]*\).*/\1/')
b=$(echo "$long" | sed 's/.*tick_median_us=\([0-9.]*\).*/\1/')
echo "tick cost, two hours / one minute: $(echo "$b / $a" | bc -l | awk '{printf "%.2f", $1}')x"
