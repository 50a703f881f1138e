#!/bin/sh
# The speed targets in one run: velmora-cli beside the peer commands on the
# same files, medians of RUNS interleaved runs, each after a `sync` so that
# no run pays for the write-back of the one before.
#
#   open a 10-minute MP3 / WMA          vs  ffmpeg -i IN -f wav OUT
#   open a 1-hour MP3                   vs  ffmpeg -i IN -f wav OUT
#   open a 1-hour WAV                   vs  cp
#   volume / fade out over it all       added to the open, vs cp
#   delete of the first half            added to the open, vs cp
#   save as WAV                         added to the open, vs a second cp
#                                       + sync added to a first one
#   cut out a few seconds, with and     added to the open, vs cp
#   without Undo
#   save a 1-hour document as MP3 / WMA vs lame -b 128 / ffmpeg -c:a wmav2
#   the MP3 save's quality (in parts,   vs lame -b 128 -m s, the one encoder
#   one a core) on 10 minutes of noise  the save's settings amount to
#   peak memory of a 2-hour document    open, edit and save
#
# A velmora-cli run ends by removing its working file, so the peers of the
# opens are timed with the removal of what they wrote, right after it and
# without a sync in between (removing 635 MB that are still in the page
# cache takes about 40 ms).  The ratio against the peer alone is shown too.
#
# The save comes after an open in the same run, with the working file's
# 635 MB still dirty in the page cache; where the kernel's dirty limit is
# about that size (as here), the save's output is written back beside it.
# Its peer therefore copies to a working copy first as well: cp IN WORK,
# then cp WORK OUT and sync OUT, then rm WORK; what that adds to cp IN WORK
# and rm WORK is set against what the save adds to the open.
#
# Usage: bench/speed-bench.sh [RUNS] [FOLDER]   (needs build/bin/velmora-cli;
# FOLDER, default a new one under $TMPDIR, holds about 3 GB of files)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli="$here/../build/bin/velmora-cli"
runs=${1:-5}
work=${2:-$(mktemp -d)}
mkdir -p "$work"
export TMPDIR="$work"
trap 'rm -rf "$work"/out.* "$work"/copy.* "$work"/work.wav "$work"/velmora-*' EXIT

make_hour_wav "$work/hour.wav"
[ -f "$work/two-hours.wav" ] || sox -n -r 44100 -c 2 -b 16 "$work/two-hours.wav" synth 7200 sine 440 vol 0.7
[ -f "$work/ten.mp3" ] || { sox "$work/hour.wav" "$work/ten.wav" trim 0 600; lame --quiet -b 128 "$work/ten.wav" "$work/ten.mp3"; }
[ -f "$work/ten.wma" ] || ffmpeg -v error -i "$work/ten.wav" -c:a wmav2 -b:a 128k "$work/ten.wma"
[ -f "$work/hour.mp3" ] || lame --quiet -b 128 "$work/hour.wav" "$work/hour.mp3"
columns=$("$cli" "$work/hour.wav" --info | sed -n 's/^ColumnCount=//p')
half=$((columns / 2))


i=0
while [ "$i" -lt "$runs" ]; do
    for kind in mp3 wma; do
        measure ffmpeg_$kind ffmpeg -v error -y -i "$work/ten.$kind" -f wav "$work/out.wav"
        measure_unsynced rm_ffmpeg_$kind rm "$work/out.wav"
        measure open_$kind "$cli" "$work/ten.$kind" --info
    done
    measure ffmpeg_hour ffmpeg -v error -y -i "$work/hour.mp3" -f wav "$work/out.wav"
    measure_unsynced rm_ffmpeg_hour rm "$work/out.wav"
    measure open_hour_mp3 "$cli" "$work/hour.mp3" --info
    measure cp cp "$work/hour.wav" "$work/copy.wav"
    measure_unsynced rm_cp rm "$work/copy.wav"
    measure cp_sync sh -c "cp '$work/hour.wav' '$work/copy.wav' && sync '$work/copy.wav'"
    rm -f "$work/copy.wav"
    measure cp_cp_sync sh -c "cp '$work/hour.wav' '$work/work.wav' && cp '$work/work.wav' '$work/copy.wav' &&
                              sync '$work/copy.wav' && rm '$work/work.wav'"
    rm -f "$work/copy.wav"
    measure open "$cli" "$work/hour.wav" --info
    # The edits themselves; what keeping them for Undo adds is
    # bench/undo-bench.sh's.
    measure volume "$cli" "$work/hour.wav" --no-undo --select-all --volume 50
    measure fade "$cli" "$work/hour.wav" --no-undo --select-all --fade-out
    measure delete "$cli" "$work/hour.wav" --no-undo --markers "0:$half" --delete
    measure save "$cli" "$work/hour.wav" --save "$work/out.wav"
    rm -f "$work/out.wav"
    measure cutout "$cli" "$work/hour.wav" --markers 100:110 --cut-out
    measure cutout_no_undo "$cli" "$work/hour.wav" --no-undo --markers 100:110 --cut-out
    measure lame lame --quiet -b 128 "$work/hour.wav" "$work/out.mp3"
    measure save_mp3 "$cli" "$work/hour.wav" --bitrate 128 --save "$work/out.mp3"
    measure ffmpeg_save_wma ffmpeg -v error -y -i "$work/hour.wav" -c:a wmav2 -b:a 128k "$work/out.wma"
    measure save_wma "$cli" "$work/hour.wav" --bitrate 128 --save "$work/out.wma"
    rm -f "$work/out.mp3" "$work/out.wma"
    i=$((i + 1))
done

echo "Medians of $runs runs, seconds; ratios against the peer command in the same run"
for kind in mp3 wma; do
    peer=$(plus "$(median_of ffmpeg_$kind)" "$(median_of rm_ffmpeg_$kind)")
    printf 'open a 10-minute %s     %6s  ffmpeg -f wav + rm %6s  = %sx   (target 0.6x; ffmpeg alone %sx)\n' "$kind" \
        "$(median_of open_$kind)" "$peer" "$(ratio "$(median_of open_$kind)" "$peer")" \
        "$(ratio "$(median_of open_$kind)" "$(median_of ffmpeg_$kind)")"
done
peer=$(plus "$(median_of ffmpeg_hour)" "$(median_of rm_ffmpeg_hour)")
printf 'open a 1-hour mp3         %6s  ffmpeg -f wav + rm %6s  = %sx   (ffmpeg alone %sx)\n' \
    "$(median_of open_hour_mp3)" "$peer" "$(ratio "$(median_of open_hour_mp3)" "$peer")" \
    "$(ratio "$(median_of open_hour_mp3)" "$(median_of ffmpeg_hour)")"
open=$(median_of open)
cp=$(median_of cp)
peer=$(plus "$cp" "$(median_of rm_cp)")
printf 'open a 1-hour wav         %6s  cp + rm %6s  = %sx   (target 1.1x; cp alone %sx)\n' "$open" "$peer" \
    "$(ratio "$open" "$peer")" "$(ratio "$open" "$cp")"
for row in "volume 50, all|volume|1.2" "fade out, all|fade|1.2" "delete, first half|delete|0.7"; do
    label=${row%%|*}; rest=${row#*|}; name=${rest%%|*}; target=${rest#*|}
    t=$(median_of "$name")
    added=$(minus "$t" "$open")
    printf '%-25s %6s  adds %6s = %sx cp   (target %sx)\n' "$label" "$t" "$added" "$(ratio "$added" "$cp")" "$target"
done
save=$(median_of save)
added=$(minus "$save" "$open")
peer=$(minus "$(median_of cp_cp_sync)" "$(plus "$cp" "$(median_of rm_cp)")")
printf 'save as wav               %6s  adds %6s = %sx what cp + sync adds to a cp (%s)   (target 1.1x; cp + sync of a clean file %s = %sx)\n' \
    "$save" "$added" "$(ratio "$added" "$peer")" "$peer" "$(median_of cp_sync)" "$(ratio "$added" "$(median_of cp_sync)")"
for row in "cut out 10 columns|cutout" "the same, --no-undo|cutout_no_undo"; do
    label=${row%%|*}; name=${row#*|}
    t=$(median_of "$name")
    printf '%-25s %6s  adds %6s = %sx cp\n' "$label" "$t" "$(minus "$t" "$open")" "$(ratio "$(minus "$t" "$open")" "$cp")"
done
for row in "save a 1-hour doc as mp3|save_mp3|lame|lame -b 128" "save a 1-hour doc as wma|save_wma|ffmpeg_save_wma|ffmpeg wmav2"; do
    label=${row%%|*}; rest=${row#*|}; name=${rest%%|*}; rest=${rest#*|}; peer=${rest%%|*}; what=${rest#*|}
    printf '%-25s %6s  %s %6s = %sx\n' "$label" "$(median_of "$name")" "$what" "$(median_of "$peer")" \
        "$(ratio "$(median_of "$name")" "$(median_of "$peer")")"
done

# The MP3 save encodes in parts, one a core: its quality beside one
# encoder's on loud noise, where the bit reservoir works hardest.
[ -f "$work/noise.wav" ] || sox -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 600 pinknoise vol 0.5
"$cli" "$work/noise.wav" --bitrate 128 --save "$work/out.mp3"
lame --quiet -b 128 -m s "$work/noise.wav" "$work/out.one.mp3"
complaints=$(ffmpeg -v error -i "$work/out.mp3" -f wav -y "$work/out.parts.wav" 2>&1 | wc -l)
ffmpeg -v error -i "$work/out.one.mp3" -f wav -y "$work/out.one.wav"
# Halved on the way, so that the difference cannot clip.
rms() { sox "$@" -n stat 2>&1 | sed -n 's/^RMS *amplitude: *//p'; }
peak() { file=$1; shift; sox "$file" -n "$@" stat 2>&1 | sed -n 's/^Maximum amplitude: *//p'; }
snr() { awk -v s="$(rms -v 0.5 "$work/noise.wav")" -v n="$(rms -m -v 0.5 "$work/noise.wav" -v -0.5 "$1")" \
            'BEGIN { printf "%.2f", 20 * log(s / n) / log(10) }'; }
printf 'mp3 save in parts, 10 minutes of pink noise: SNR %s dB, one encoder %s dB; decoder complaints: %s\n' \
    "$(snr "$work/out.parts.wav")" "$(snr "$work/out.one.wav")" "$complaints"
sox -m -v 0.5 "$work/noise.wav" -v -0.5 "$work/out.parts.wav" "$work/out.diff.wav"
# The joins: at most 32 frames of 1152 after the even split points.
frames=$((600 * 44100)); parts=$(nproc); [ "$parts" -gt 8 ] && parts=8
while [ "$parts" -gt 1 ] && [ $((frames / parts)) -lt $((30 * 44100)) ]; do parts=$((parts - 1)); done
k=1
while [ "$k" -lt "$parts" ]; do
    join=$(( frames / 1152 * k / parts * 1152 ))
    printf '  largest error around join %s: %s (whole file %s)\n' "$k" \
        "$(peak "$work/out.diff.wav" trim "$((join - 2304))s" "$((36 * 1152))s")" "$(peak "$work/out.diff.wav")"
    k=$((k + 1))
done
rm -f "$work"/out.*
sync
mem_cli=$(peak_rss_mb "$cli" "$work/two-hours.wav" --select-all --fade-in --markers "0:1000" --delete --save "$work/out.mp3")
rm -f "$work/out.mp3"
printf 'peak memory, velmora-cli: open, fade in, delete and save as MP3 a 2-hour document: %s MB   (target 64 MB)\n' "$mem_cli"
