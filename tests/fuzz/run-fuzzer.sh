#!/bin/sh
# Runs a fuzzer for a bounded time from a few seed files made with the
# peer tools.  Usage: run-fuzzer.sh FUZZER DICT SECONDS SEEDS, where SEEDS
# is "wav" (working files) or "compressed" (MP3, WMA, FLAC, Ogg Vorbis,
# Opus, M4A, AAC and AIFF files, each behind the byte that picks its kind).
set -eu
fuzzer=$1
dict=$2
seconds=$3
seeds=${4:-wav}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
if [ "$seeds" = compressed ]; then
    sox -n -r 22050 -c 2 -b 16 "$work/s.wav" synth 0.15 sine 440
    lame --quiet -b 32 "$work/s.wav" "$work/s.mp3"
    ffmpeg -v quiet -i "$work/s.wav" -c:a wmav2 -b:a 32k "$work/s.wma"
    { printf '\000'; cat "$work/s.mp3"; } > "$work/corpus/mp3"
    { printf '\001'; cat "$work/s.wma"; } > "$work/corpus/wma"
    # The later kinds in mono at 8000 Hz, to stay within -max_len (sox's
    # FLAC has no padding block, ffmpeg's has 8 KiB); each behind its
    # place in the fuzzer's list of extensions.
    sox "$work/s.wav" -r 8000 -c 1 "$work/s.flac"
    for made in libvorbis:s.ogg libopus:s.opus aac:s.m4a alac:alac.m4a aac:s.aac pcm_s16be:s.aiff; do
        ffmpeg -nostdin -v quiet -i "$work/s.wav" -ac 1 -ar 8000 -c:a "${made%%:*}" "$work/${made#*:}"
    done
    for seed in 2:s.flac 3:s.ogg 4:s.opus 5:s.m4a 5:alac.m4a 6:s.aac 7:s.aiff; do
        { printf "\\00${seed%%:*}"; cat "$work/${seed#*:}"; } > "$work/corpus/${seed#*:}"
    done
    dictarg=
else
    sox -n -r 8000 -c 1 -b 8 "$work/corpus/a.wav" synth 0.3 sine 440
    sox -n -r 22050 -c 2 -b 16 "$work/corpus/b.wav" synth 0.2 sine 440
    sox -n -r 11025 -c 4 -b 16 "$work/corpus/c.wav" synth 0.1 sine 440
    sox -n -r 8000 -c 1 -b 16 --comment "odd comment" "$work/corpus/d.wav" synth 0.1 sine 440
    dictarg=-dict="$dict"
fi
cd "$work"
exec "$fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=20 \
    $dictarg -print_final_stats=1 corpus
