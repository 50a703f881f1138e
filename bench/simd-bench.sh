#!/bin/sh
# Whether the sample loops' AVX-512 and AVX2 builds (picked at run time)
# pay for themselves: Volume, the fades and their undos of a 1-hour stereo
# WAV timed with velmora-cli as built (build/) beside one whose loops are
# built once for any x86-64 (build-plain/, configured here with
# -DVELMORA_VECTOR_CLONES=OFF when missing).  Each time is the step's own
# (--times); medians of RUNS runs, the two builds alternating run by run,
# each after a `sync`.
#
# Usage: bench/simd-bench.sh [RUNS] [FOLDER]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root="$here/.."
. "$here/lib.sh"
runs=${1:-7}
work=${2:-$(mktemp -d)}
mkdir -p "$work"
export TMPDIR="$work"
trap 'rm -rf "$work"/velmora-*' EXIT
if [ ! -x "$root/build-plain/bin/velmora-cli" ]; then
    cmake -G Ninja -B "$root/build-plain" -S "$root" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELMORA_BUILD_GUI=OFF -DVELMORA_VECTOR_CLONES=OFF >/dev/null
    cmake --build "$root/build-plain" --target velmora-cli >/dev/null
fi
make_hour_wav "$work/hour.wav"
columns=$("$root/build/bin/velmora-cli" "$work/hour.wav" --info | sed -n 's/^ColumnCount=//p')

edits="volume_all:--select-all --volume 50
volume_150:--select-all --volume 150
fade_all:--select-all --fade-out
fade_half:--markers 0:$((columns / 2)) --fade-in"

for row in $(echo "$edits" | tr ' ' '~'); do
    name=${row%%:*}
    steps=$(echo "${row#*:}" | tr '~' ' ')
    i=0
    while [ "$i" -lt "$runs" ]; do
        if [ $((i % 2)) -eq 0 ]; then order="build build-plain"; else order="build-plain build"; fi
        for tree in $order; do
            cli="$root/$tree/bin/velmora-cli"
            kind=$(echo "$tree" | tr -d '-')
            # shellcheck disable=SC2086
            measure_last_step "${name}_${kind}_edit" "$cli" "$work/hour.wav" --no-undo $steps
            # shellcheck disable=SC2086
            measure_last_step "${name}_${kind}_kept" "$cli" "$work/hour.wav" $steps
            # shellcheck disable=SC2086
            measure_last_step "${name}_${kind}_undo" "$cli" "$work/hour.wav" $steps --undo
        done
        i=$((i + 1))
    done
done

echo "Medians of $runs alternating runs, seconds of the step alone: three loops (build) / one (build-plain)"
printf '%-12s %-6s %10s %12s %8s\n' edit step "3 loops" "1 loop" "1 / 3"
for row in $(echo "$edits" | tr ' ' '~'); do
    name=${row%%:*}
    for step in edit kept undo; do
        clones=$(median_of "${name}_build_${step}")
        plain=$(median_of "${name}_buildplain_${step}")
        printf '%-12s %-6s %10s %12s %7sx\n' "$name" "$step" "$clones" "$plain" "$(ratio "$plain" "$clones")"
    done
done
echo "(the three loops stay only where the one loop is at least 1.15x slower)"
