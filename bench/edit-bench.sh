#!/bin/sh
# Edit benchmark: a 10-minute 44.1 kHz 16-bit stereo WAV, velmora-cli's open
# and four edits beside cp of the same file and the matching sox commands,
# all in this run.  Prints medians and ratios.
#
# Usage: bench/edit-bench.sh [RUNS]   (needs a built build/bin/velmora-cli)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli="$here/../build/bin/velmora-cli"
runs=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

in="$work/ten-minutes.wav"
sox -n -r 44100 -c 2 -b 16 "$in" synth 600 sine 440 sine 660 vol 0.7
columns=$("$cli" "$in" --info | sed -n 's/^ColumnCount=//p')
half=$((columns / 2))
quarter=$((columns / 4))
cat "$in" >/dev/null  # warm the cache

t_cp=$(time_runs "$runs" cp "$in" "$work/copy.wav")
t_open=$(time_runs "$runs" "$cli" "$in" --info)
t_vol=$(time_runs "$runs" "$cli" "$in" --select-all --volume 50)
t_fade=$(time_runs "$runs" "$cli" "$in" --markers "0:$half" --fade-in)
t_del=$(time_runs "$runs" "$cli" "$in" --markers "$quarter:$((quarter + half))" --delete)
t_sox_vol=$(time_runs "$runs" sox "$in" "$work/sox.wav" vol 0.5)
t_sox_fade=$(time_runs "$runs" sox "$in" "$work/sox.wav" fade t 300)
t_sox_trim=$(time_runs "$runs" sox "$in" "$work/sox.wav" trim 0 =150 =450)

mem_vol=$(peak_rss_mb "$cli" "$in" --select-all --volume 50)
mem_del=$(peak_rss_mb "$cli" "$in" --markers "$quarter:$((quarter + half))" --delete)

echo "10-minute 44.1 kHz 16-bit stereo WAV ($(stat -c %s "$in") bytes), median of $runs runs, seconds"
printf '%-42s %6s\n' "cp" "$t_cp"
printf '%-42s %6s\n' "velmora-cli open + peaks" "$t_open"
for row in "select-all, volume 50|$t_vol|$t_sox_vol|sox vol 0.5" \
           "fade-in over the first half|$t_fade|$t_sox_fade|sox fade t 300" \
           "delete of the middle half|$t_del|$t_sox_trim|sox trim"; do
    name=${row%%|*}; rest=${row#*|}
    t=${rest%%|*}; rest=${rest#*|}
    ts=${rest%%|*}; soxname=${rest#*|}
    added=$(minus "$t" "$t_open")
    printf '%-42s %6s  adds %s = %sx cp | %-14s %6s = %sx the added, %sx the whole run\n' \
        "velmora-cli $name" "$t" "$added" "$(ratio "$added" "$t_cp")" "$soxname" "$ts" \
        "$(ratio "$ts" "$added")" "$(ratio "$ts" "$t")"
done
echo "peak memory: volume ${mem_vol} MB, delete ${mem_del} MB"
