# Shared helpers of the benchmark scripts (sourced, not run).

# make_hour_wav FILE: one hour of 44.1 kHz 16-bit stereo (635 MB), unless
# FILE is already there.
make_hour_wav() {
    [ -f "$1" ] || sox -n -r 44100 -c 2 -b 16 "$1" synth 3600 sine 440 sine 660 vol 0.7
}

# Seconds since the epoch, with nanoseconds.
now() { date +%s.%N; }

# time_runs N COMMAND...: runs the command N times (output discarded) and
# prints the median wall time in seconds.
time_runs() {
    runs=$1
    shift
    i=0
    times=""
    while [ "$i" -lt "$runs" ]; do
        start=$(now)
        "$@" >/dev/null 2>&1 || { echo "benchmark command failed: $*" >&2; exit 1; }
        end=$(now)
        times="$times $(echo "$end - $start" | bc -l)"
        i=$((i + 1))
    done
    echo "$times" | tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {
        m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f\n", m }'
}

# peak_rss_mb COMMAND...: the command's peak resident memory in MB.
peak_rss_mb() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.1f", $1 / 1024}'
}

# ratio A B: A / B with two decimals.
ratio() { echo "$1 / $2" | bc -l | awk '{printf "%.2f", $1}'; }

# minus A B
minus() { echo "$1 - $2" | bc -l | awk '{printf "%.3f", $1}'; }

# measure_unsynced NAME COMMAND...: one timed run, added to NAME's times;
# for a step that must find the one before as it left the page cache
# (removing a file just written).
measure_unsynced() {
    measured=$1
    shift
    start=$(now)
    "$@" >/dev/null 2>&1 || { echo "benchmark command failed: $*" >&2; exit 1; }
    end=$(now)
    eval "times_$measured=\"\${times_$measured:-} $(minus "$end" "$start")\""
}

# measure NAME COMMAND...: the same after a sync, so that no run pays for
# the write-back of the one before.
measure() {
    sync
    measure_unsynced "$@"
}

# measure_last_step NAME VELMORA-CLI ARGS...: after a sync, one run of
# velmora-cli with --times; the time its last step took, as the program
# measured it, is added to NAME's times.
measure_last_step() {
    measured=$1
    shift
    sync
    took=$("$@" --times 2>&1 >/dev/null | sed -n 's/^velmora-cli: step [0-9]* took \([0-9.]*\) s$/\1/p' | tail -1)
    [ -n "$took" ] || { echo "benchmark command failed: $*" >&2; exit 1; }
    eval "times_$measured=\"\${times_$measured:-} $took\""
}

# plus A B
plus() { echo "$1 + $2" | bc -l | awk '{printf "%.3f", $1}'; }

# median_of NAME: the median of the times measure collected for NAME.
median_of() {
    eval "echo \${times_$1:-}" | tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {
        m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f\n", m }'
}
