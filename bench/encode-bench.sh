#!/bin/sh
# Encode benchmark: saving a 10-minute 44.1 kHz 16-bit stereo WAV as MP3 at
# 128 kbit/s beside `lame -b 128`, and as WMA at 96 kbit/s beside
# `ffmpeg -c:a wmav2 -b:a 96k`, and as FLAC, Ogg Vorbis (quality 5) and
# Opus (96 kbit/s) beside ffmpeg's same encoders, in the same run.  velmora-cli's time covers
# the whole command (open, peak scan, save).  Prints medians and ratios.
#
# Usage: bench/encode-bench.sh [RUNS]   (needs a built build/)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli="$here/../build/bin/velmora-cli"
runs=${1:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

in="$work/ten-minutes.wav"
sox -n -r 44100 -c 2 -b 16 "$in" synth 600 sine 440 sine 660 vol 0.7
cat "$in" >/dev/null

t_lame=$(time_runs "$runs" lame --quiet -b 128 "$in" "$work/lame.mp3")
t_mp3=$(time_runs "$runs" "$cli" "$in" --bitrate 128 --save "$work/velmora.mp3")
t_ffmpeg=$(time_runs "$runs" ffmpeg -v error -y -i "$in" -c:a wmav2 -b:a 96k "$work/ffmpeg.wma")
t_wma=$(time_runs "$runs" "$cli" "$in" --bitrate 96 --save "$work/velmora.wma")
t_fflac=$(time_runs "$runs" ffmpeg -v error -y -i "$in" -c:a flac "$work/ffmpeg.flac")
t_flac=$(time_runs "$runs" "$cli" "$in" --save "$work/velmora.flac")
t_fogg=$(time_runs "$runs" ffmpeg -v error -y -i "$in" -c:a libvorbis -q:a 5 "$work/ffmpeg.ogg")
t_ogg=$(time_runs "$runs" "$cli" "$in" --save "$work/velmora.ogg")
t_fopus=$(time_runs "$runs" ffmpeg -v error -y -i "$in" -c:a libopus -b:a 96k "$work/ffmpeg.opus")
t_opus=$(time_runs "$runs" "$cli" "$in" --bitrate 96 --save "$work/velmora.opus")
mem=$(peak_rss_mb "$cli" "$in" --bitrate 128 --save "$work/velmora.mp3")

echo "10-minute 44.1 kHz 16-bit stereo WAV, median of $runs runs, seconds"
printf 'MP3 128k: lame -b 128 %s, velmora-cli --save %s = %sx lame\n' "$t_lame" "$t_mp3" "$(ratio "$t_mp3" "$t_lame")"
printf 'WMA 96k: ffmpeg wmav2 %s, velmora-cli --save %s = %sx ffmpeg\n' "$t_ffmpeg" "$t_wma" "$(ratio "$t_wma" "$t_ffmpeg")"
printf 'FLAC: ffmpeg %s, velmora-cli --save %s = %sx ffmpeg\n' "$t_fflac" "$t_flac" "$(ratio "$t_flac" "$t_fflac")"
printf 'Ogg Vorbis q5: ffmpeg %s, velmora-cli --save %s = %sx ffmpeg\n' "$t_fogg" "$t_ogg" "$(ratio "$t_ogg" "$t_fogg")"
printf 'Opus 96k: ffmpeg %s, velmora-cli --save %s = %sx ffmpeg\n' "$t_fopus" "$t_opus" "$(ratio "$t_opus" "$t_fopus")"
printf 'peak memory of the MP3 save: %s MB\n' "$mem"
