#!/bin/sh
# The journal's cost: each edit of a 1-hour stereo WAV with its bytes kept
# for Undo beside the same edit without (--no-undo), and the undo of it.
# Each time is the step's own, as velmora-cli --times reports it; medians
# of RUNS runs, each after a `sync`.
#
# Usage: bench/undo-bench.sh [RUNS] [FOLDER]   (needs build/bin/velmora-cli;
# FOLDER, default a new one under $TMPDIR, holds about 1.3 GB of files)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli="$here/../build/bin/velmora-cli"
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


# Each kind of run is repeated back to back: on this virtual machine a run
# that follows one of another kind (which freed other pages) is slowed at
# random by up to several times, which would say more about the machine
# than about the journal.
for row in $(echo "$edits" | tr ' ' '~'); do
    name=${row%%:*}
    steps=$(echo "${row#*:}" | tr '~' ' ')
    for kind in plain kept undone; do
        case $kind in
        plain) extra_before="--no-undo" extra_after="" ;;
        kept) extra_before="" extra_after="" ;;
        undone) extra_before="" extra_after="--undo" ;;
        esac
        # One run first that is not counted: it meets whatever the run
        # before left behind.
        # shellcheck disable=SC2086
        measure_last_step warmup "$cli" "$work/hour.wav" $extra_before $steps $extra_after
        i=0
        while [ "$i" -lt "$runs" ]; do
            # shellcheck disable=SC2086
            measure_last_step "${name}_$kind" "$cli" "$work/hour.wav" $extra_before $steps $extra_after
            i=$((i + 1))
        done
    done
done

echo "Medians of $runs runs, seconds of the step alone"
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
