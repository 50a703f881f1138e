#!/bin/sh
# The journal's cost: each edit of a 1-hour stereo WAV with what it destroys
# kept for Undo beside the same edit without (--no-undo), and the undo of
# it.  Each time is the step's own, as velmora-cli --times reports it;
# medians of RUNS runs.  The kinds are interleaved - run after run the
# three alternate, each after a `sync`, the order turning every run - so
# that whatever the machine does to one kind it does to the others.
#
# Usage: bench/undo-bench.sh [RUNS] [FOLDER]   (needs build/bin/velmora-cli;
# FOLDER, default a new one under $TMPDIR, holds about 1.3 GB of files)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli=${VELMORA_CLI:-"$here/../build/bin/velmora-cli"}
runs=${1:-5}
work=${2:-$(mktemp -d)}
mkdir -p "$work"
export TMPDIR="$work"
trap 'rm -rf "$work"/velmora-*' EXIT
make_hour_wav "$work/hour.wav"
columns=$("$cli" "$work/hour.wav" --info | sed -n 's/^ColumnCount=//p')
tenth=$((columns / 10))
half=$((columns / 2))

# The edits: a name and the steps that select and apply it.
edits="volume_all:--select-all --volume 50
fade_tenth:--markers $((4 * tenth)):$((5 * tenth)) --fade-in
fade_all:--select-all --fade-out
delete_tenth:--markers $((4 * tenth)):$((5 * tenth)) --delete
delete_half:--markers 0:$half --delete
cutout_half:--markers $tenth:$((tenth + half)) --cut-out"

run_kind() {
    case $1 in
    plain) measure_last_step "${2}_plain" "$cli" "$work/hour.wav" --no-undo $3 ;;
    kept) measure_last_step "${2}_kept" "$cli" "$work/hour.wav" $3 ;;
    undone) measure_last_step "${2}_undone" "$cli" "$work/hour.wav" $3 --undo ;;
    esac
}

for row in $(echo "$edits" | tr ' ' '~'); do
    name=${row%%:*}
    steps=$(echo "${row#*:}" | tr '~' ' ')
    # One round that is not counted: it meets whatever the rows before left.
    for kind in plain kept undone; do
        # shellcheck disable=SC2086
        run_kind "$kind" warmup "$steps"
    done
    i=0
    while [ "$i" -lt "$runs" ]; do
        case $((i % 3)) in
        0) order="plain kept undone" ;;
        1) order="kept undone plain" ;;
        *) order="undone plain kept" ;;
        esac
        for kind in $order; do
            # shellcheck disable=SC2086
            run_kind "$kind" "$name" "$steps"
        done
        i=$((i + 1))
    done
done

echo "Medians of $runs interleaved runs, seconds of the step alone"
printf '%-14s %10s %10s %8s %10s %8s\n' edit "no undo" "kept" ratio "undo" "vs edit"
for row in $(echo "$edits" | tr ' ' '~'); do
    name=${row%%:*}
    plain=$(median_of "${name}_plain")
    kept=$(median_of "${name}_kept")
    undo=$(median_of "${name}_undone")
    printf '%-14s %10s %10s %7sx %10s %7sx\n' "$name" "$plain" "$kept" "$(ratio "$kept" "$plain")" "$undo" \
        "$(ratio "$undo" "$plain")"
done
echo "(target: kept at most 1.5x the edit without the journal; undo of volume and fades no more than the edit)"
