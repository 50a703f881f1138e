#!/bin/sh
# Runs the working-file fuzzer for a bounded time from a few seed files made
# with sox.  Usage: run-fuzzer.sh FUZZER DICT SECONDS
set -eu
fuzzer=$1
dict=$2
seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
sox -n -r 8000 -c 1 -b 8 "$work/corpus/a.wav" synth 0.3 sine 440
sox -n -r 22050 -c 2 -b 16 "$work/corpus/b.wav" synth 0.2 sine 440
sox -n -r 11025 -c 4 -b 16 "$work/corpus/c.wav" synth 0.1 sine 440
sox -n -r 8000 -c 1 -b 16 --comment "odd comment" "$work/corpus/d.wav" synth 0.1 sine 440
cd "$work"
exec "$fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 \
    -dict="$dict" -print_final_stats=1 corpus
