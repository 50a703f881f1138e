#!/bin/sh
# Decode benchmark: a 10-minute file of each kind the editor decodes (MP3
# and WMA at 128 kbit/s, FLAC, Ogg Vorbis, Opus, AAC and ALAC in M4A, AIFF)
# opened by velmora-cli (decode into the working file plus the peak scan,
# `--info`) beside `ffmpeg -i IN OUT.wav`, in the same run.  Prints medians
# and the ratio.
#
# Usage: bench/decode-bench.sh [RUNS]   (needs a built build/bin/velmora-cli)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli="$here/../build/bin/velmora-cli"
runs=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -c 2 -b 16 "$work/src.wav" synth 600 sine 440 sine 660 vol 0.7
lame --quiet -b 128 "$work/src.wav" "$work/ten-minutes.mp3"
ffmpeg -v error -i "$work/src.wav" -c:a wmav2 -b:a 128k "$work/ten-minutes.wma"
ffmpeg -v error -i "$work/src.wav" -c:a flac "$work/ten-minutes.flac"
ffmpeg -v error -i "$work/src.wav" -c:a libvorbis "$work/ten-minutes.ogg"
ffmpeg -v error -i "$work/src.wav" -c:a libopus "$work/ten-minutes.opus"
ffmpeg -v error -i "$work/src.wav" -c:a aac -b:a 128k "$work/ten-minutes.m4a"
ffmpeg -v error -i "$work/src.wav" -c:a alac "$work/ten-minutes-alac.m4a"
ffmpeg -v error -i "$work/src.wav" -c:a pcm_s16be "$work/ten-minutes.aiff"
rm "$work/src.wav"

for name in ten-minutes.mp3 ten-minutes.wma ten-minutes.flac ten-minutes.ogg ten-minutes.opus ten-minutes.m4a \
    ten-minutes-alac.m4a ten-minutes.aiff; do
    in="$work/$name"
    kind=${name#ten-minutes}
    kind=${kind#?}
    cat "$in" >/dev/null
    t_ffmpeg=$(time_runs "$runs" ffmpeg -v error -y -i "$in" "$work/out.wav")
    t_cli=$(time_runs "$runs" "$cli" "$in" --info)
    mem=$(peak_rss_mb "$cli" "$in" --info)
    printf '10-minute %s, median of %s runs: ffmpeg -i IN OUT.wav %ss, velmora-cli IN --info %ss = %sx ffmpeg, peak memory %s MB\n' \
        "$kind" "$runs" "$t_ffmpeg" "$t_cli" "$(ratio "$t_cli" "$t_ffmpeg")" "$mem"
done
