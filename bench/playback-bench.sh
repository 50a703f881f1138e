#!/bin/sh
# Playback continuity: records what the editor plays through a PulseAudio
# null sink, beside paplay playing the same 24.2 s file, with the machine
# idle and with a busy loop on every core (and two more), and compares each
# recording sample for sample with the file (bench/playback-gaps.py).
# Continuous playback shows 0 gaps, 0 jumps and 24.200 s of sound.
#
# Usage: bench/playback-bench.sh [RUNS]   (needs a built build/, pulseaudio,
# pulseaudio-utils, xvfb-run, openbox and xdotool; starts its own sound
# server in a private folder and stops it at the end)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
editor="$here/../build/bin/velmora"
gaps="$here/playback-gaps.py"
runs=${1:-3}
work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
loops=""
cleanup() {
    [ -z "$loops" ] || kill $loops 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load="module-null-sink sink_name=nul" \
    --load="module-native-protocol-unix" --log-target=file:"$work/pulse.log"
for _ in 1 2 3 4 5 6 7 8 9 10; do pactl info >/dev/null 2>&1 && break; sleep 0.3; done
pactl set-default-sink nul

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 24.2 sine 440 sine 660 vol 0.5

record() {  # record OUT: records the sink's monitor into OUT until killed
    exec parec --latency-msec=20 -d nul.monitor --format=s16le --rate=44100 --channels=2 >"$1"
}

play_paplay() {
    record "$work/played.raw" &
    recorder=$!
    sleep 0.5
    paplay "$work/tone.wav"
    sleep 1
    kill -INT "$recorder"
    wait "$recorder" || true
}

# The editor under Xvfb with a window manager; Space starts playback.
cat >"$work/editor.sh" <<SCRIPT
#!/bin/sh
openbox >/dev/null 2>&1 &
sleep 1
mkdir -p "$work/tmp"
TMPDIR="$work/tmp" "$editor" "$work/tone.wav" >/dev/null 2>&1 &
editor=\$!
for _ in \$(seq 50); do
    window=\$(xdotool search --name "^Velmora Audio Editor\$" | head -1) && [ -n "\$window" ] && break
    sleep 0.2
done
xdotool windowactivate --sync "\$window" 2>/dev/null
sleep 0.5
parec --latency-msec=20 -d nul.monitor --format=s16le --rate=44100 --channels=2 >"$work/played.raw" &
recorder=\$!
sleep 0.5
xdotool key space
sleep 26
kill -INT \$recorder
wait \$recorder
kill \$editor
SCRIPT
chmod +x "$work/editor.sh"
play_editor() { xvfb-run -a "$work/editor.sh" >/dev/null 2>&1; }

busy() {
    cores=$(nproc)
    i=0
    while [ "$i" -lt $((cores + 2)) ]; do
        sh -c 'while :; do :; done' &
        loops="$loops $!"
        i=$((i + 1))
    done
}

echo "player    load   run  sound_s  gaps  jumps"
for load in idle busy; do
    [ "$load" = idle ] || busy
    for player in paplay editor; do
        run=1
        while [ "$run" -le "$runs" ]; do
            rm -f "$work/played.raw"
            "play_$player"
            set -- $("$gaps" "$work/played.raw" "$work/tone.wav")
            printf '%-8s  %-5s  %3d  %7.3f  %4d  %5d\n' "$player" "$load" "$run" "$1" "$2" "$3"
            run=$((run + 1))
        done
    done
done
